#pragma once

#include "base/decimal.h"
#include "base/errors.h"

#include <QByteArray>

// Reads the "+"-separated fields of a message's argument text, front to back.
// A field is the text up to the next "+"; taking it removes that text and its
// "+". The last field of many messages is "the rest" and may hold "+" itself.
class FieldReader
{
public:
    explicit FieldReader(QByteArray text) : m_text(std::move(text)) {}

    // The text up to the next "+" (all of it when there is none).
    QByteArray take();
    // The field as a decimal integer; throws EConvertError when it is not one.
    int takeInt();
    // Everything that remains, unchanged.
    QByteArray rest() const { return m_text; }
    bool atEnd() const { return m_text.isEmpty(); }

    // Decimal integer with an optional sign; throws "'%s' is not a valid integer value".
    static int toInt(const QByteArray &field) { return decimalToInt(field); }
    static bool isInt(const QByteArray &field) { return isDecimalInt(field); }

private:
    QByteArray m_text;
};
