// The launch modes without a window: which sockets open where, whether this
// program hosts, and what the session is told.
#include "client/clientsession.h"
#include "client/hostlink.h"
#include "host/tserver.h"
#include "net/framebuffer.h"
#include "net/tsock.h"

#include <QTcpServer>
#include <QtTest>

namespace {

struct Opened
{
    QString host;
    quint16 port; // 0: the host's own listening port
    bool operator==(const Opened &) const = default;
};

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
        QTest::newRow("solo on loopback") << QStringList() << false << QList<Opened>{{"127.0.0.1", 0}}
                                          << HostLink::Mode::Solo
                                          << QStringLiteral("Loading Solo Game..Please wait.");
        QTest::newRow("hosting connects to loopback")
            << QStringList{"Ann", "10.0.0.5", "true"} << false
            << QList<Opened>{{"127.0.0.1", 0}, {"127.0.0.1", 9001}} << HostLink::Mode::Host << multi;
        QTest::newRow("joining is case sensitive")
            << QStringList{"Ann", "10.0.0.5", "True"} << false
            << QList<Opened>{{"10.0.0.5", 7772}, {"127.0.0.1", 9001}} << HostLink::Mode::Join << multi;
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
