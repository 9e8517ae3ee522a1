#include "portmap/routersession.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QStringList>

#include <miniupnpc/miniupnpc.h>
#include <miniupnpc/upnpcommands.h>
#include <miniupnpc/upnperrors.h>
#include <natpmp.h>

#include <arpa/inet.h>
#include <sys/select.h>
#include <unistd.h>

#include <algorithm>

namespace {

// UPnP's answer when a router keeps only leases without expiry.
constexpr int OnlyPermanentLeasesSupported = 725;

PortMapOutcome failure(const QString &reason)
{
    PortMapOutcome o;
    o.reason = reason;
    return o;
}

QString upnpError(int code)
{
    const char *text = strupnperror(code);
    return text ? QStringLiteral("%1 %2").arg(code).arg(QString::fromUtf8(text))
                : QStringLiteral("error %1").arg(code);
}

QString natpmpError(int code)
{
    switch (code) {
    case NATPMP_ERR_UNSUPPORTEDVERSION: return QStringLiteral("it does not speak this NAT-PMP version");
    case NATPMP_ERR_UNSUPPORTEDOPCODE: return QStringLiteral("it does not know the request");
    case NATPMP_ERR_NOTAUTHORIZED: return QStringLiteral("not authorized or refused");
    case NATPMP_ERR_NETWORKFAILURE: return QStringLiteral("its outside connection is down");
    case NATPMP_ERR_OUTOFRESOURCES: return QStringLiteral("it has no room for more forwarded ports");
    default: return QStringLiteral("error %1").arg(code);
    }
}

bool isNatpmpRefusal(int code)
{
    return code == NATPMP_ERR_UNSUPPORTEDVERSION || code == NATPMP_ERR_UNSUPPORTEDOPCODE
        || code == NATPMP_ERR_UNDEFINEDERROR || code == NATPMP_ERR_NOTAUTHORIZED
        || code == NATPMP_ERR_NETWORKFAILURE || code == NATPMP_ERR_OUTOFRESOURCES;
}

enum class Answer { Answered, Silent, Refused };

// An outside address that the internet cannot reach: private ranges, the
// providers' shared range (carrier NAT), loopback, link-local, unset.
bool isUnreachableFromInternet(const QString &address)
{
    in_addr a{};
    if (inet_pton(AF_INET, address.toLatin1().constData(), &a) != 1)
        return false;
    const quint32 v = ntohl(a.s_addr);
    const auto in = [v](quint32 net, int bits) { return (v >> (32 - bits)) == (net >> (32 - bits)); };
    return in(0x00000000, 8) || in(0x0A000000, 8) || in(0x64400000, 10) || in(0x7F000000, 8)
        || in(0xA9FE0000, 16) || in(0xAC100000, 12) || in(0xC0A80000, 16);
}

QString privateOutsideAddress(const QString &address, quint16 port)
{
    return QStringLiteral("The router's internet address %1 is itself a private one: another router or the "
                          "internet provider sits in between, so friends on the internet cannot reach port %2 "
                          "this way.")
        .arg(address)
        .arg(port);
}

} // namespace

struct RouterSession::Upnp {
    UPNPUrls urls{};
    IGDdatas data{};
    char lanAddress[64] = {};
    ~Upnp() { FreeUPNPUrls(&urls); }
};

RouterSession::RouterSession(const PortMapConfig &config) : m_config(config) {}

RouterSession::~RouterSession() = default;

PortMapOutcome RouterSession::open(quint16 port)
{
    if (isOpen())
        close();
    QStringList silent;
    if (m_config.tryUpnp && !cancelled) {
        bool found = false;
        PortMapOutcome o = openUpnp(port, &found);
        if (found)
            return o;
        silent << QStringLiteral("UPnP");
    }
    if (m_config.tryNatpmp && !cancelled) {
        bool found = false;
        PortMapOutcome o = openNatpmp(port, &found);
        if (found)
            return o;
        silent << QStringLiteral("NAT-PMP");
    }
    return failure(QStringLiteral("No router on this network answered a request to open port %1 (tried %2).")
                       .arg(port)
                       .arg(silent.join(QStringLiteral(" and "))));
}

PortMapOutcome RouterSession::openUpnp(quint16 port, bool *routerFound)
{
    auto upnp = std::make_unique<Upnp>();
    int igd = 0;
    if (!m_config.rootDescUrl.isEmpty()) {
        igd = UPNP_GetIGDFromUrl(m_config.rootDescUrl.toUtf8().constData(), &upnp->urls, &upnp->data,
                                 upnp->lanAddress, sizeof upnp->lanAddress);
    } else {
        const QByteArray interface = m_config.multicastInterface.toUtf8();
        const QByteArray socket = m_config.minissdpdSocket.toUtf8();
        int error = 0;
        // The library waits whole seconds for each type searched, one type
        // after another, so two types share the time.
        static const char *const types[] = {"urn:schemas-upnp-org:device:InternetGatewayDevice:1",
                                            "urn:schemas-upnp-org:service:WANIPConnection:1", nullptr};
        UPNPDev *devices = upnpDiscoverDevices(types, std::max(m_config.discoveryMs / 2, 1000),
                                               interface.isEmpty() ? nullptr : interface.constData(),
                                               socket.isEmpty() ? nullptr : socket.constData(), UPNP_LOCAL_PORT_ANY,
                                               0, 2, &error, 0);
        if (devices) {
            igd = UPNP_GetValidIGD(devices, &upnp->urls, &upnp->data, upnp->lanAddress,
                                   sizeof upnp->lanAddress);
            freeUPNPDevlist(devices);
            // 3: a UPnP device that is no gateway; its urls are set all the same.
            if (igd == 3) {
                FreeUPNPUrls(&upnp->urls);
                upnp->urls = UPNPUrls{};
                igd = 0;
            }
        }
    }
    // 1: a connected gateway; 2: one that says it is not connected, which
    // some routers say wrongly, so it is asked all the same.
    if (igd == 0 || !upnp->urls.controlURL || upnp->data.first.servicetype[0] == '\0') {
        *routerFound = false;
        return {};
    }
    *routerFound = true;
    m_upnp = std::move(upnp);
    m_port = port;
    m_externalPort = port;
    m_lease = m_config.leaseSeconds;

    PortMapOutcome added = addUpnp(false);
    if (!added.ok) {
        m_upnp.reset();
        return added;
    }
    m_method = Method::Upnp;

    char external[64] = {};
    const int r = UPNP_GetExternalIPAddress(m_upnp->urls.controlURL, m_upnp->data.first.servicetype, external);
    if (r != UPNPCOMMAND_SUCCESS || external[0] == '\0') {
        close();
        return failure(QStringLiteral("The router opened port %1 but would not tell its internet address (%2).")
                           .arg(port)
                           .arg(upnpError(r)));
    }
    added.externalAddress = QString::fromUtf8(external);
    if (isUnreachableFromInternet(added.externalAddress)) {
        close();
        return failure(privateOutsideAddress(added.externalAddress, m_externalPort));
    }
    return added;
}

PortMapOutcome RouterSession::addUpnp(bool renewal)
{
    const QByteArray port = QByteArray::number(m_port);
    const QByteArray externalPort = QByteArray::number(m_externalPort);
    const QByteArray description = m_config.description.toUtf8();
    QByteArray lease = QByteArray::number(m_lease);
    int r = UPNP_AddPortMapping(m_upnp->urls.controlURL, m_upnp->data.first.servicetype, externalPort.constData(),
                                port.constData(), m_upnp->lanAddress, description.constData(), "TCP", nullptr,
                                lease.constData());
    if (r == OnlyPermanentLeasesSupported && m_lease != 0) {
        m_lease = 0;
        r = UPNP_AddPortMapping(m_upnp->urls.controlURL, m_upnp->data.first.servicetype, externalPort.constData(),
                                port.constData(), m_upnp->lanAddress, description.constData(), "TCP", nullptr, "0");
    }
    if (r != UPNPCOMMAND_SUCCESS) {
        return failure(QStringLiteral("The router refused to %1 port %2 (UPnP: %3).")
                           .arg(renewal ? QStringLiteral("keep open") : QStringLiteral("open"))
                           .arg(m_externalPort)
                           .arg(upnpError(r)));
    }
    PortMapOutcome o;
    o.ok = true;
    o.method = QStringLiteral("UPnP");
    o.externalPort = m_externalPort;
    o.leaseSeconds = m_lease;
    return o;
}

namespace {

// One NAT-PMP request and its answer, retried by the library until the
// answer comes, the gateway says no, the time is up or the caller cancels.
template <typename Send>
Answer natpmpExchange(in_addr_t gateway, bool forced, int ms, const std::atomic<bool> &cancelled, Send send,
                      natpmpresp_t *response, int *code)
{
    natpmp_t n;
    *code = initnatpmp(&n, forced ? 1 : 0, gateway);
    if (*code < 0)
        return Answer::Silent;
    *code = send(&n);
    if (*code < 0) {
        closenatpmp(&n);
        return Answer::Silent;
    }
    const QDeadlineTimer deadline(ms);
    Answer answer = Answer::Silent;
    for (;;) {
        if (cancelled || deadline.hasExpired())
            break;
        timeval wait{};
        getnatpmprequesttimeout(&n, &wait);
        // Short slices, so that a cancel or the deadline is noticed soon.
        const qint64 waitMs = std::clamp<qint64>(qint64(wait.tv_sec) * 1000 + wait.tv_usec / 1000, 0,
                                                 std::min<qint64>(deadline.remainingTime(), 100));
        timeval slice{static_cast<time_t>(waitMs / 1000), static_cast<suseconds_t>((waitMs % 1000) * 1000)};
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(n.s, &readable);
        select(n.s + 1, &readable, nullptr, nullptr, &slice);
        *code = readnatpmpresponseorretry(&n, response);
        if (*code == NATPMP_TRYAGAIN)
            continue;
        if (*code >= 0)
            answer = Answer::Answered;
        else if (isNatpmpRefusal(*code))
            answer = Answer::Refused;
        break;
    }
    closenatpmp(&n);
    return answer;
}

} // namespace

PortMapOutcome RouterSession::openNatpmp(quint16 port, bool *routerFound)
{
    *routerFound = false;
    if (!m_config.natpmpGateway.isEmpty()) {
        in_addr gateway{};
        if (inet_pton(AF_INET, m_config.natpmpGateway.toLatin1().constData(), &gateway) != 1)
            return {};
    }
    natpmpresp_t response{};
    int code = 0;
    const Answer answer = natpmpExchange(
        inet_addr(m_config.natpmpGateway.toLatin1().constData()), !m_config.natpmpGateway.isEmpty(),
        m_config.natpmpMs, cancelled, [](natpmp_t *n) { return sendpublicaddressrequest(n); }, &response, &code);
    if (answer == Answer::Silent)
        return {};
    *routerFound = true;
    if (answer == Answer::Refused) {
        return failure(QStringLiteral("The router would not tell its internet address (NAT-PMP: %1).")
                           .arg(natpmpError(code)));
    }
    char external[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &response.pnu.publicaddress.addr, external, sizeof external);

    m_port = port;
    bool answered = false;
    PortMapOutcome o = mapNatpmp(port, quint32(std::max(m_config.leaseSeconds, 1)), &answered);
    if (!o.ok)
        return o;
    m_method = Method::Natpmp;
    o.externalAddress = QString::fromLatin1(external);
    if (m_config.requireSamePort && o.externalPort != port) {
        close();
        return failure(QStringLiteral("The router would open port %1 only as outside port %2; players who join "
                                      "always use port %1.")
                           .arg(port)
                           .arg(o.externalPort));
    }
    if (isUnreachableFromInternet(o.externalAddress)) {
        close();
        return failure(privateOutsideAddress(o.externalAddress, o.externalPort));
    }
    return o;
}

PortMapOutcome RouterSession::mapNatpmp(quint16 publicPort, quint32 lifetime, bool *answered)
{
    natpmpresp_t response{};
    int code = 0;
    const quint16 port = m_port;
    const Answer answer = natpmpExchange(
        inet_addr(m_config.natpmpGateway.toLatin1().constData()), !m_config.natpmpGateway.isEmpty(),
        m_config.natpmpMs, cancelled,
        [port, publicPort, lifetime](natpmp_t *n) {
            return sendnewportmappingrequest(n, NATPMP_PROTOCOL_TCP, port, publicPort, lifetime);
        },
        &response, &code);
    *answered = answer != Answer::Silent;
    if (answer == Answer::Silent)
        return failure(QStringLiteral("The router stopped answering (NAT-PMP)."));
    if (answer == Answer::Refused) {
        return failure(QStringLiteral("The router refused to %1 port %2 (NAT-PMP: %3).")
                           .arg(lifetime == 0 ? QStringLiteral("close") : QStringLiteral("open"))
                           .arg(port)
                           .arg(natpmpError(code)));
    }
    PortMapOutcome o;
    o.ok = true;
    o.method = QStringLiteral("NAT-PMP");
    if (lifetime != 0) {
        // The gateway may hand out another outside port and a shorter lease.
        m_externalPort = response.pnu.newportmapping.mappedpublicport;
        m_lease = int(response.pnu.newportmapping.lifetime);
    }
    o.externalPort = m_externalPort;
    o.leaseSeconds = m_lease;
    return o;
}

PortMapOutcome RouterSession::renew()
{
    switch (m_method) {
    case Method::Upnp:
        return addUpnp(true);
    case Method::Natpmp: {
        bool answered = false;
        return mapNatpmp(m_externalPort, quint32(std::max(m_config.leaseSeconds, 1)), &answered);
    }
    case Method::None:
        break;
    }
    return failure(QStringLiteral("No port is open on the router."));
}

PortMapOutcome RouterSession::close()
{
    // A cancel meant the attempt before; the close itself always runs.
    cancelled = false;
    const Method method = m_method;
    m_method = Method::None;
    PortMapOutcome o;
    if (method == Method::Upnp) {
        const QByteArray externalPort = QByteArray::number(m_externalPort);
        const int r = UPNP_DeletePortMapping(m_upnp->urls.controlURL, m_upnp->data.first.servicetype,
                                             externalPort.constData(), "TCP", nullptr);
        m_upnp.reset();
        if (r != UPNPCOMMAND_SUCCESS)
            return failure(QStringLiteral("The router did not close port %1 (UPnP: %2).")
                               .arg(m_externalPort)
                               .arg(upnpError(r)));
        o.ok = true;
        o.method = QStringLiteral("UPnP");
    } else if (method == Method::Natpmp) {
        // A lease of 0 with outside port 0 asks the gateway to drop the forward.
        bool answered = false;
        o = mapNatpmp(0, 0, &answered);
    } else {
        o.ok = true;
    }
    o.externalPort = m_externalPort;
    return o;
}
