// The launch modes without a window: which sockets open where, whether this
// program hosts, and what the session is told.
#include "client/clientsession.h"
#include "client/hostlink.h"
#include "host/tserver.h"
#include "net/framebuffer.h"
#include "net/tsock.h"
#include "portmap/portmapper.h"
#include "tests/fakerouter.h"

#include <QTcpServer>
#include <QtTest>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

struct Opened
{
    QString host;
    quint16 port; // 0: the host's own listening port
    bool operator==(const Opened &) const = default;
};

// A loopback port that takes one connection and then answers no more: its
// queue of one is full, so the next caller hears nothing back.
struct SilentPort
{
    SilentPort()
    {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (::bind(fd, reinterpret_cast<sockaddr *>(&a), len) != 0 || ::listen(fd, 0) != 0
            || ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len) != 0)
            return;
        port = ntohs(a.sin_port);
        filler.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
        filled = filler.waitForConnected(5000);
    }
    ~SilentPort() { ::close(fd); }
    int fd = -1;
    quint16 port = 0;
    QTcpSocket filler;
    bool filled = false;
};

quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// Joins straight to the game port; the lobby is not there.
void connectDirectly(HostLink &link)
{
    link.lobbyPort = 0;
    link.connector = [](TSock &sock, const QString &address, quint16 port) {
        if (port == 0)
            return;
        sock.setHostName(address);
        sock.setPortName(QString::number(port));
        sock.open();
    };
}

QStringList texts(const QSignalSpy &lines)
{
    QStringList all;
    for (const QList<QVariant> &line : lines)
        all << line.value(0).toString();
    return all;
}

// A mapper that asks only the fake router, over loopback, and soon gives up.
PortMapConfig fakeRouterConfig(const FakeRouter &router)
{
    PortMapConfig c;
    c.rootDescUrl = router.rootUrl();
    c.tryNatpmp = false;
    c.discoveryMs = 300;
    c.answerTimeoutMs = 6000;
    c.minissdpdSocket = QStringLiteral("/nonexistent/minissdpd.sock");
    return c;
}

} // namespace

Q_DECLARE_METATYPE(QList<Opened>)
Q_DECLARE_METATYPE(HostLink::Mode)

class TestHostLink : public QObject
{
    Q_OBJECT

private slots:
    void launchModes_data()
    {
        QTest::addColumn<QStringList>("parameters");
        QTest::addColumn<bool>("portTaken");
        QTest::addColumn<QList<Opened>>("opened");
        QTest::addColumn<HostLink::Mode>("mode");
        QTest::addColumn<QString>("line");

        const QString multi = QStringLiteral("Loading Multi-player Game.. Please Wait.");
        // No row logs in, so none opens the lobby link (test_lobby: it
        // follows the login).
        QTest::newRow("solo on loopback") << QStringList() << false << QList<Opened>{{"127.0.0.1", 0}}
                                          << HostLink::Mode::Solo
                                          << QStringLiteral("Loading Solo Game..Please wait.");
        QTest::newRow("hosting connects to loopback")
            << QStringList{"Ann", "10.0.0.5", "true"} << false
            << QList<Opened>{{"127.0.0.1", 0}} << HostLink::Mode::Host << multi;
        QTest::newRow("joining is case sensitive")
            << QStringList{"Ann", "10.0.0.5", "True"} << false
            << QList<Opened>{{"10.0.0.5", 7772}} << HostLink::Mode::Join << multi;
        QTest::newRow("two parameters start nothing")
            << QStringList{"Ann", "10.0.0.5"} << false << QList<Opened>{} << HostLink::Mode::None << multi;
        QTest::newRow("one parameter starts nothing")
            << QStringList{"Ann"} << false << QList<Opened>{} << HostLink::Mode::None << multi;
        QTest::newRow("a listen failure starts nothing")
            << QStringList{"Ann", "x", "true"} << true << QList<Opened>{} << HostLink::Mode::None << multi;
    }

    void launchModes()
    {
        QFETCH(QStringList, parameters);
        QFETCH(bool, portTaken);
        QFETCH(QList<Opened>, opened);
        QFETCH(HostLink::Mode, mode);
        QFETCH(QString, line);

        QTcpServer taken;
        QVERIFY(taken.listen(QHostAddress::Any, 0));
        ClientSession session;
        TServer server;
        server.setListenerFactory([](QObject *parent) { return new TSockListener(parent); });
        HostLink link(session);
        link.setServer(&server);
        const bool hosting = mode == HostLink::Mode::Solo || mode == HostLink::Mode::Host;
        link.gamePort = portTaken ? taken.serverPort() : (hosting ? 0 : 7772);
        QList<Opened> seen;
        link.connector = [&](TSock &, const QString &host, quint16 port) {
            const bool own = hosting && server.listener() && port == server.listener()->port();
            seen.append({host, own ? quint16(0) : port});
        };
        QSignalSpy lines(&link, &HostLink::lineAdded);
        QSignalSpy solo(&link, &HostLink::soloStarted);
        QSignalSpy hostingStarted(&link, &HostLink::hostingStarted);
        QSignalSpy errors(&link, &HostLink::errorText);

        link.launch(parameters);

        QCOMPARE(seen, opened);
        QCOMPARE(link.mode(), mode);
        QCOMPARE(lines.value(0).value(0).toString(), line);
        QCOMPARE(session.state().isHost, hosting);
        QCOMPARE(session.state().buttonStartVisible, hosting);
        QCOMPARE(session.state().startGameEnabled, hosting);
        QCOMPARE(solo.size(), mode == HostLink::Mode::Solo ? 1 : 0);
        QCOMPARE(hostingStarted.size(), hosting ? 1 : 0);
        QCOMPARE(errors.size(), portTaken ? 1 : 0);
        QCOMPARE(session.state().myName, parameters.isEmpty() ? QStringLiteral("You") : parameters.at(0));
        QCOMPARE(session.state().loginName, opened.isEmpty() ? QString() : session.state().myName);
        if (hosting) {
            // Nobody from the network reaches a solo game.
            QCOMPARE(static_cast<TSockListener *>(server.listener())->address(), mode == HostLink::Mode::Solo
                                                       ? QHostAddress(QHostAddress::LocalHost)
                                                       : QHostAddress(QHostAddress::Any));
        } else if (!portTaken) {
            QVERIFY(!server.listener() || !server.listener()->isListening());
        }
        if (opened.isEmpty()) {
            // Start Game before a login answers so.
            QSignalSpy boxes(&session, &ClientSession::messageBox);
            session.startGameClick();
            QCOMPARE(boxes.value(0).value(0).toString(), QStringLiteral("You are not connected"));
        }
    }

    void failedJoinSaysWhyAndCanTryAgain_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("reason"); // %1 the port
        QTest::newRow("refused") << "refused" << "127.0.0.1" << "No game answers at 127.0.0.1, port %1.";
        QTest::newRow("silent") << "silent" << "127.0.0.1"
                                << "No answer from 127.0.0.1, port %1: the computer may be off, or a firewall "
                                   "is in the way.";
        QTest::newRow("unknown name") << "unknown" << "nosuchhost.invalid"
                                      << "No computer named nosuchhost.invalid was found.";
    }

    void failedJoinSaysWhyAndCanTryAgain()
    {
        QFETCH(QString, fault);
        QFETCH(QString, address);
        QFETCH(QString, reason);
        SilentPort silent;
        QVERIFY(silent.filled);
        ClientSession session;
        HostLink link(session);
        connectDirectly(link);
        link.connectTimeoutMs = 300;
        link.gamePort = fault == u"silent" ? silent.port : closedPort();
        bool known = fault != u"unknown";
        link.resolver = [&known](const QString &, std::function<void(const QList<QHostAddress> &)> done) {
            done(known ? QList<QHostAddress>{QHostAddress(QHostAddress::LocalHost)} : QList<QHostAddress>{});
        };
        QSignalSpy lines(&link, &HostLink::lineAdded);
        QSignalSpy failed(&link, &HostLink::joinFailedChanged);
        QSignalSpy closed(&link, &HostLink::hostClosed);
        QVERIFY(!link.joinFailed());

        link.launch({QStringLiteral("Cy"), address, QStringLiteral("false")});
        QTRY_VERIFY(link.joinFailed());
        QVERIFY(texts(lines).contains(reason.replace(QStringLiteral("%1"), QString::number(link.gamePort))));
        QCOMPARE(failed.size(), 1);
        QCOMPARE(closed.size(), 0); // the window stays open

        // Try Again connects anew, to a host that now answers.
        QTcpServer host;
        QVERIFY(host.listen(QHostAddress::LocalHost, 0));
        link.gamePort = host.serverPort();
        known = true;
        link.tryAgain();
        QVERIFY(!link.joinFailed());
        QVERIFY(host.waitForNewConnection(5000));
        QTRY_VERIFY(link.gameConnection().isConnected());
        QCOMPARE(texts(lines).last(), QStringLiteral("Connecting to 127.0.0.1, port %1\u2026").arg(host.serverPort()));
        QCOMPARE(closed.size(), 0);
    }

    void joinsByNameAndIpv6_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("shown"); // the lookup's line, if any
        QTest::newRow("IPv6 literal") << "::1" << QString();
        QTest::newRow("host name") << "localhost" << "Found localhost at ";
    }

    void joinsByNameAndIpv6()
    {
        QFETCH(QString, address);
        QFETCH(QString, shown);
        if (address == u"::1") {
            QTcpServer v6;
            if (!v6.listen(QHostAddress::LocalHostIPv6, 0))
                QSKIP("This machine has no IPv6 loopback.");
        }
        // A hosted game, listening as the program does.
        TServer server;
        server.setListenerFactory([](QObject *parent) { return new TSockListener(parent); });
        server.listen(0, Listener::AnyAddress);
        ClientSession session;
        HostLink link(session);
        connectDirectly(link);
        link.gamePort = server.listener()->port();
        QSignalSpy lines(&link, &HostLink::lineAdded);
        link.launch({QStringLiteral("Cy"), address, QStringLiteral("false")});
        QTRY_VERIFY(session.state().loggedIn);
        const QStringList all = texts(lines);
        if (!shown.isEmpty()) {
            const QStringList found = all.filter(shown);
            QCOMPARE(found.size(), 1);
            QVERIFY2(found.first().contains(QStringLiteral("127.0.0.1")), qPrintable(found.first()));
        } else {
            QVERIFY(all.filter(QStringLiteral("Found ")).isEmpty());
        }
        QVERIFY(all.filter(QStringLiteral("Connecting to ")).first().endsWith(
            QStringLiteral(", port %1\u2026").arg(link.gamePort)));
        if (address == u"::1")
            QVERIFY(all.contains(QStringLiteral("Connecting to ::1, port %1\u2026").arg(link.gamePort)));
        QVERIFY(!link.joinFailed());
    }

    void hostTellsWhereFriendsCanJoin_data()
    {
        QTest::addColumn<QStringList>("interfaces");
        QTest::addColumn<QStringList>("parameters");
        QTest::addColumn<QString>("line"); // %1 the port; empty: no such line
        const QStringList hosting{"Ann", "x", "true"};
        QTest::newRow("one address, loopback and link-local left out")
            << QStringList{"127.0.0.1", "192.168.1.5", "fe80::1", "::1"} << hosting
            << "Friends on your network can join at 192.168.1.5, port %1.";
        QTest::newRow("several addresses")
            << QStringList{"192.168.1.5", "10.0.0.7", "2001:db8::5"} << hosting
            << "Friends on your network can join at 192.168.1.5, 10.0.0.7 or 2001:db8::5, port %1.";
        QTest::newRow("no network") << QStringList{"127.0.0.1", "::1"} << hosting
                                    << "This computer is on no network, so friends elsewhere cannot join this game.";
        QTest::newRow("a solo game tells nothing") << QStringList{"192.168.1.5"} << QStringList() << QString();
    }

    void hostTellsWhereFriendsCanJoin()
    {
        QFETCH(QStringList, interfaces);
        QFETCH(QStringList, parameters);
        QFETCH(QString, line);
        TServer server;
        server.setListenerFactory([](QObject *parent) { return new TSockListener(parent); });
        ClientSession session;
        HostLink link(session);
        link.setServer(&server);
        link.gamePort = 0;
        link.connector = [](TSock &, const QString &, quint16) {};
        link.addressSource = [interfaces] {
            QList<QHostAddress> all;
            for (const QString &a : interfaces)
                all << QHostAddress(a);
            return all;
        };
        QSignalSpy lines(&link, &HostLink::lineAdded);
        link.launch(parameters);
        QVERIFY(server.listener() && server.listener()->isListening());
        const QStringList all = texts(lines);
        const QStringList told = all.filter(QStringLiteral("friends"), Qt::CaseInsensitive);
        if (line.isEmpty()) {
            QCOMPARE(told, QStringList());
        } else {
            QCOMPARE(told, QStringList{line.replace(QStringLiteral("%1"), QString::number(server.listener()->port()))});
            // Every such line is a system line.
            QCOMPARE(lines.at(all.indexOf(told.first())).value(1).toUInt(), ClientSession::SystemColour);
        }
    }

    void hostedGameOpensTheRouterPort_data()
    {
        QTest::addColumn<QStringList>("parameters");
        QTest::addColumn<bool>("option");
        QTest::addColumn<bool>("routerAnswers");
        QTest::addColumn<QString>("line"); // %1 the port; empty: the router is never asked
        const QStringList hosting{"Ann", "x", "true"};
        QTest::newRow("the router opens the port")
            << hosting << true << true << "Friends on the internet can join at 203.0.113.7, port %1.";
        QTest::newRow("no router opens it")
            << hosting << true << false
            << "No router opened port %1 for this game. For friends on the internet, forward TCP port %1 on your "
               "router to this computer (192.168.1.5) by hand.";
        QTest::newRow("a solo game never asks") << QStringList() << true << true << QString();
        QTest::newRow("the option off never asks") << hosting << false << true << QString();
    }

    void hostedGameOpensTheRouterPort()
    {
        QFETCH(QStringList, parameters);
        QFETCH(bool, option);
        QFETCH(bool, routerAnswers);
        QFETCH(QString, line);
        FakeRouter::Setup setup;
        setup.ssdp = false;
        setup.upnp = routerAnswers;
        FakeRouter router(setup);
        TServer server;
        server.setListenerFactory([](QObject *parent) { return new TSockListener(parent); });
        ClientSession session;
        auto link = std::make_unique<HostLink>(session);
        link->setServer(&server);
        link->gamePort = 0;
        link->connector = [](TSock &, const QString &, quint16) {};
        link->addressSource = [] { return QList<QHostAddress>{QHostAddress(QStringLiteral("192.168.1.5"))}; };
        int mappers = 0;
        link->portMapperFactory = [&](QObject *parent) {
            ++mappers;
            return new PortMapper(fakeRouterConfig(router), parent);
        };
        link->setOpenRouterPort(option);
        QSignalSpy lines(link.get(), &HostLink::lineAdded);
        link->launch(parameters);
        QVERIFY(server.listener() && server.listener()->isListening());
        if (line.isEmpty()) {
            QCOMPARE(mappers, 0); // no mapper, so no word to any router
            QVERIFY(texts(lines).filter(QStringLiteral("router"), Qt::CaseInsensitive).isEmpty());
            return;
        }
        const QString port = QString::number(server.listener()->port());
        line.replace(QStringLiteral("%1"), port);
        QTRY_VERIFY_WITH_TIMEOUT(texts(lines).contains(line), 10000);
        QCOMPARE(lines.at(texts(lines).indexOf(line)).value(1).toUInt(), ClientSession::SystemColour);
        if (!routerAnswers) {
            QCOMPARE(router.mappings(), QStringList());
            return;
        }
        const QStringList open{port + QStringLiteral("/TCP")};
        QCOMPARE(router.mappings(), open);

        // Switched off while hosting: the forward goes, and the chat says so.
        link->setOpenRouterPort(false);
        QTRY_COMPARE(router.mappings(), QStringList());
        QTRY_COMPARE(texts(lines).last(), QStringLiteral("Port %1 is no longer open on the router.").arg(port));
        // On again, and the game closes: the forward is gone before the link is.
        link->setOpenRouterPort(true);
        QTRY_COMPARE(router.mappings(), open);
        // The router holds the forward before its answer reaches the game.
        QTRY_COMPARE(texts(lines).filter(QStringLiteral("Friends on the internet")).size(), 2);
        link.reset();
        QCOMPARE(router.mappings(), QStringList());
        QCOMPARE(router.calls(QStringLiteral("DeletePortMapping")).size(), 2);
        QCOMPARE(mappers, 1);
    }

    void joinerLearnsWhyTheGameEnded_data()
    {
        QTest::addColumn<bool>("kicked");
        QTest::newRow("removed by the host") << true;
        QTest::newRow("the host closed the game") << false;
    }

    void joinerLearnsWhyTheGameEnded()
    {
        QFETCH(bool, kicked);
        // A real loopback host with its own player, and one joiner.
        auto server = std::make_unique<TServer>();
        server->setListenerFactory([](QObject *parent) { return new TSockListener(parent); });
        ClientSession hostSession;
        auto host = std::make_unique<HostLink>(hostSession);
        host->setServer(server.get());
        host->gamePort = 0;
        connectDirectly(*host);
        host->addressSource = [] { return QList<QHostAddress>(); };
        host->launch({QStringLiteral("Ann"), QStringLiteral("x"), QStringLiteral("true")});
        QTRY_VERIFY(hostSession.state().loggedIn);

        ClientSession session;
        HostLink link(session);
        connectDirectly(link);
        link.gamePort = server->listener()->port();
        QSignalSpy gone(&link, &HostLink::hostGone);
        QSignalSpy closed(&link, &HostLink::hostClosed);
        link.launch({QStringLiteral("Cy"), QStringLiteral("127.0.0.1"), QStringLiteral("false")});
        QTRY_VERIFY(session.state().loggedIn);
        QTRY_VERIFY(hostSession.state().seats[2].occupied);

        if (kicked) {
            hostSession.kicking(2);
        } else {
            host.reset();
            server.reset();
        }
        QTRY_COMPARE(gone.size(), 1);
        QCOMPARE(gone.first().value(0).toString(), kicked ? QStringLiteral("You were removed from the game.")
                                                          : QStringLiteral("The host has closed the game."));
        QCOMPARE(closed.size(), 0);
        if (kicked) {
            // Finding out left no trace with the host's players.
            QTRY_VERIFY(!hostSession.state().seats[2].occupied);
            QVERIFY(hostSession.state().spectators.isEmpty());
        }
    }

    void hostsWordsAreHandledBeforeItsClose()
    {
        // A real loopback host that says the game is full and closes: the
        // session reads the box's text before the link reports the close.
        QTcpServer host;
        QVERIFY(host.listen(QHostAddress::LocalHost, 0));
        ClientSession session;
        HostLink link(session);
        link.gamePort = host.serverPort();
        link.lobbyPort = 0;
        link.connector = [](TSock &sock, const QString &address, quint16 port) {
            if (port == 0)
                return; // no lobby here
            sock.setHostName(address);
            sock.setPortName(QString::number(port));
            sock.open();
        };
        QStringList order;
        connect(&session, &ClientSession::messageBox, this, [&order](const QString &text) { order << text; });
        connect(&link, &HostLink::hostClosed, this, [&order] { order << QStringLiteral("closed"); });
        link.launch({QStringLiteral("Cy"), QStringLiteral("127.0.0.1"), QStringLiteral("false")});
        QVERIFY(host.waitForNewConnection(5000));
        QTcpSocket *peer = host.nextPendingConnection();
        peer->write(FrameBuffer::frame("CMD_full+"));
        peer->flush();
        peer->disconnectFromHost();
        QTRY_COMPARE(order, (QStringList{QStringLiteral("Game is full"), QStringLiteral("closed")}));
    }
};

QTEST_MAIN(TestHostLink)
#include "test_hostlink.moc"
