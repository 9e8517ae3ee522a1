#pragma once

#include <QString>
#include <QtGlobal>

#include <atomic>
#include <memory>

// Where and how long to look for the router. The defaults suit a home
// network; tests point the lookups at a fake router on loopback.
struct PortMapConfig {
    // How long SSDP discovery waits for an IGD to answer, in milliseconds:
    // two searches, each waiting whole seconds, at least one.
    int discoveryMs = 2000;
    // How long a NAT-PMP request is retried before the gateway counts as
    // silent, in milliseconds.
    int natpmpMs = 2500;
    // The whole attempt (discovery, add, external address, NAT-PMP) gives
    // up after this long, even if a call is still stuck on the worker.
    int answerTimeoutMs = 8000;
    // Lease asked for, in seconds; renewed at half the lease granted.
    int leaseSeconds = 3600;
    // A failed renewal is tried again after this long while the lease lasts.
    int renewRetryMs = 30000;
    // A router that grants another outside port than the one asked for is
    // of no use when the peers always dial the asked-for port: the forward
    // is then removed and the attempt fails.
    bool requireSamePort = true;
    // Shown in the router's table of forwarded ports.
    QString description = QStringLiteral("Sudoku game");

    bool tryUpnp = true;
    bool tryNatpmp = true;
    // Skips SSDP and reads the IGD's root description from this address.
    QString rootDescUrl;
    // The local interface address SSDP requests leave from (empty: the
    // system's choice).
    QString multicastInterface;
    // The minissdpd socket asked before SSDP (empty: the library's default).
    QString minissdpdSocket;
    // The NAT-PMP gateway (dotted IPv4); empty: the default route's gateway.
    QString natpmpGateway;
};

// What one exchange with the router came to.
struct PortMapOutcome {
    bool ok = false;
    QString reason;          // plain words when !ok
    QString externalAddress; // when ok after open
    quint16 externalPort = 0;
    QString method;          // "UPnP" or "NAT-PMP"
    int leaseSeconds = 0;    // granted; 0 = no expiry
};

// The blocking talk with one router, run on a worker thread only. open()
// finds a router and forwards the port, renew() refreshes the lease,
// close() removes the forward. Every call ends within the config's bounds
// or the library's own socket timeouts of a few seconds.
class RouterSession {
public:
    explicit RouterSession(const PortMapConfig &config);
    ~RouterSession();
    RouterSession(const RouterSession &) = delete;
    RouterSession &operator=(const RouterSession &) = delete;

    PortMapOutcome open(quint16 port);
    PortMapOutcome renew();
    PortMapOutcome close();
    bool isOpen() const { return m_method != Method::None; }

    // Set from any thread: the NAT-PMP wait ends at its next poll.
    std::atomic<bool> cancelled{false};

private:
    enum class Method { None, Upnp, Natpmp };
    struct Upnp;

    PortMapOutcome openUpnp(quint16 port, bool *routerFound);
    PortMapOutcome addUpnp(bool renewal);
    PortMapOutcome openNatpmp(quint16 port, bool *routerFound);
    PortMapOutcome mapNatpmp(quint16 publicPort, quint32 lifetime, bool *answered);

    PortMapConfig m_config;
    Method m_method = Method::None;
    quint16 m_port = 0;
    quint16 m_externalPort = 0;
    int m_lease = 0;
    std::unique_ptr<Upnp> m_upnp;
};
