#pragma once

#include <QByteArray>
#include <QString>

// Message texts are 8-bit bytes. Our own programs send UTF-8; an 8-bit peer's
// bytes that are not valid UTF-8 are shown as Latin-1 so they still read.
QString fromWire(const QByteArray &bytes);
inline QByteArray toWire(const QString &text) { return text.toUtf8(); }
