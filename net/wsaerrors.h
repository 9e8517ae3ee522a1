#pragma once

#include <QAbstractSocket>
#include <QString>

// Socket errors are reported with the Windows Sockets number and name that
// players and the lobby know them by: "Error #10061 (WSAECONNREFUSED)".
namespace WsaErrors {

// The standard name of a Windows Sockets error code, or "UNKNOWN ERROR".
QString name(int code);
// The nearest Windows Sockets code for a Qt socket error.
int codeFor(QAbstractSocket::SocketError error);
// "Error #" code " (" name ")"
QString errorText(int code);

} // namespace WsaErrors
