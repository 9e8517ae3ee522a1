#include "net/wsaerrors.h"

#include <QHash>

namespace WsaErrors {

QString name(int code)
{
    static const QHash<int, const char *> names = {
        {10004, "WSAEINTR"},           {10009, "WSAEBADF"},
        {10013, "WSAEACCES"},          {10014, "WSAEFAULT"},
        {10022, "WSAEINVAL"},          {10024, "WSAEMFILE"},
        {10035, "WSAEWOULDBLOCK"},     {10036, "WSAEINPROGRESS"},
        {10037, "WSAEALREADY"},        {10038, "WSAENOTSOCK"},
        {10039, "WSAEDESTADDRREQ"},    {10040, "WSAEMSGSIZE"},
        {10041, "WSAEPROTOTYPE"},      {10042, "WSAENOPROTOOPT"},
        {10043, "WSAEPROTONOSUPPORT"}, {10044, "WSAESOCKTNOSUPPORT"},
        {10045, "WSAEOPNOTSUPP"},      {10046, "WSAEPFNOSUPPORT"},
        {10047, "WSAEAFNOSUPPORT"},    {10048, "WSAEADDRINUSE"},
        {10049, "WSAEADDRNOTAVAIL"},   {10050, "WSAENETDOWN"},
        {10051, "WSAENETUNREACH"},     {10052, "WSAENETRESET"},
        {10053, "WSAECONNABORTED"},    {10054, "WSAECONNRESET"},
        {10055, "WSAENOBUFS"},         {10056, "WSAEISCONN"},
        {10057, "WSAENOTCONN"},        {10058, "WSAESHUTDOWN"},
        {10059, "WSAETOOMANYREFS"},    {10060, "WSAETIMEDOUT"},
        {10061, "WSAECONNREFUSED"},    {10062, "WSAELOOP"},
        {10063, "WSAENAMETOOLONG"},    {10064, "WSAEHOSTDOWN"},
        {10065, "WSAEHOSTUNREACH"},    {10066, "WSAENOTEMPTY"},
        {10067, "WSAEPROCLIM"},        {10068, "WSAEUSERS"},
        {10069, "WSAEDQUOT"},          {10070, "WSAESTALE"},
        {10071, "WSAEREMOTE"},         {10091, "WSASYSNOTREADY"},
        {10092, "WSAVERNOTSUPPORTED"}, {10093, "WSANOTINITIALISED"},
        {10101, "WSAEDISCON"},         {11001, "WSAHOST_NOT_FOUND"},
        {11002, "WSATRY_AGAIN"},       {11003, "WSANO_RECOVERY"},
        {11004, "WSANO_DATA"},
    };
    const auto it = names.constFind(code);
    return it == names.constEnd() ? QStringLiteral("UNKNOWN ERROR") : QString::fromLatin1(it.value());
}

int codeFor(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError: return 10061;
    case QAbstractSocket::RemoteHostClosedError: return 10054;
    case QAbstractSocket::HostNotFoundError: return 11001;
    case QAbstractSocket::SocketAccessError: return 10013;
    case QAbstractSocket::SocketResourceError: return 10055;
    case QAbstractSocket::SocketTimeoutError: return 10060;
    case QAbstractSocket::DatagramTooLargeError: return 10040;
    case QAbstractSocket::NetworkError: return 10065;
    case QAbstractSocket::AddressInUseError: return 10048;
    case QAbstractSocket::SocketAddressNotAvailableError: return 10049;
    case QAbstractSocket::UnsupportedSocketOperationError: return 10045;
    case QAbstractSocket::TemporaryError: return 10035;
    case QAbstractSocket::OperationError: return 10022;
    default: return 0;
    }
}

QString errorText(int code)
{
    return QStringLiteral("Error #%1 (%2)").arg(code).arg(name(code));
}

} // namespace WsaErrors
