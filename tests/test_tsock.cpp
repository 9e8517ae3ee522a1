#include "base/errors.h"
#include "net/localpipe.h"
#include "net/tsock.h"
#include "net/wsaerrors.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Everything one connection reported, in order.
struct Watch
{
    QStringList infos; // "code:text"
    QStringList events;
    QByteArray received;
    QList<qint64> buffered;

    void attach(Connection *c, bool take = true)
    {
        QObject::connect(c, &Connection::info, c, [this](Connection *, int code, const QString &text) {
            infos << QString::number(code) + ':' + text;
            events << QString::number(code) + ':' + text;
        });
        QObject::connect(c, &Connection::peerClosed, c, [this](Connection *) { events << "peerClosed"; });
        QObject::connect(c, &Connection::readReady, c, [this, c, take](Connection *, qint64 n) {
            buffered << n;
            if (take)
                received += c->receiveAll();
        });
    }
    int count(const QString &text) const { return int(infos.count(text)); }
};

QString closedInfo()
{
    return QStringLiteral("2:Socket Closed");
}

// A port on which nothing listens.
quint16 closedPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 1;
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

// Connects a plain socket to a fresh listener and accepts it; nullptr when
// either step fails.
std::unique_ptr<TSock> acceptPeer(TSockListener &listener, QTcpSocket &peer)
{
    listener.listen(0);
    QSignalSpy pending(&listener, &TSockListener::pendingConnection);
    peer.connectToHost(QHostAddress::LocalHost, listener.port());
    if (!peer.waitForConnected(5000) || !QTest::qWaitFor([&] { return pending.count() >= 1; }))
        return nullptr;
    return std::unique_ptr<TSock>(listener.accept());
}

} // namespace

class TestTSock : public QObject
{
    Q_OBJECT

private slots:
    void connectsSendsAndReceives();
    void carriesLargeSendsInOrder();
    void handsEachSendToTheSystemAtOnce();
    void closingTheHostEndClosesTheClient();
    void readsWhatThePeerSentBeforeLeaving();
    void peerResetReportsClosed();
    void refusedConnectIsOnlyReported();
    void raisesSocketErrors();
    void namesWindowsSocketErrors();
    void pipeBehavesAsASocketAcrossThreads_data();
    void pipeBehavesAsASocketAcrossThreads();

private:
    // Opens a client to a fresh listener and accepts it.
    void connectPair(TSockListener &listener, TSock &client, TSock *&accepted);
};

void TestTSock::connectPair(TSockListener &listener, TSock &client, TSock *&accepted)
{
    accepted = nullptr;
    if (!listener.isListening())
        listener.listen(0);
    QSignalSpy pending(&listener, &TSockListener::pendingConnection);
    QSignalSpy connected(&client, &Connection::connectedToPeer);
    client.setHostName(QStringLiteral("127.0.0.1"));
    client.setPortName(QString::number(listener.port()));
    client.open();
    QVERIFY(connected.wait(5000) || connected.count() == 1);
    QTRY_VERIFY(pending.count() >= 1);
    accepted = listener.accept();
    QVERIFY(accepted);
    QVERIFY(accepted->isConnected());
    QVERIFY(client.isConnected());
}

void TestTSock::connectsSendsAndReceives()
{
    TSockListener listener;
    QSignalSpy listenInfo(&listener, &TSockListener::info);
    listener.listen(0);
    QCOMPARE(listenInfo.count(), 1);
    QCOMPARE(listenInfo.at(0).at(1).toString(), QStringLiteral("Listening Started"));
    QVERIFY(listener.port() != 0);

    TSock client;
    Watch cw;
    cw.attach(&client);
    TSock *host = nullptr;
    connectPair(listener, client, host);
    QVERIFY(host);
    QCOMPARE(cw.infos.mid(0, 3),
             (QStringList{"0:Lookup Of Port " + QString::number(listener.port()),
                          "0:Lookup Of Host 127.0.0.1", "1:Non-Blocking Socket Connected"}));
    QCOMPARE(host->hostName(), QStringLiteral("127.0.0.1"));
    QCOMPARE(host->portName(), QString::number(listener.port()));
    // Both ends send each message at once, never held back to be bunched.
    QVERIFY(client.lowDelay());
    QVERIFY(host->lowDelay());
    Watch hw;
    hw.attach(host);

    // Opening an open connection does nothing.
    client.open();
    QVERIFY(client.isConnected());

    host->send("CMD_sendlogininfo+1\xFF");
    QTRY_COMPARE(cw.received, QByteArray("CMD_sendlogininfo+1\xFF"));
    QVERIFY(cw.count("4:Non-Blocking Incoming Data") >= 1);
    client.send("CMD_logininfo+1+1.0.2+Ann\xFF");
    client.send(QByteArray("CMD_chat+1+a\0b|clRed\xFF", 22));
    QTRY_COMPARE(hw.received, QByteArray("CMD_logininfo+1+1.0.2+Ann\xFF"
                                         "CMD_chat+1+a\0b|clRed\xFF", 48));
    QTRY_VERIFY(cw.count("5:Non-Blocking Outgoing Data") >= 1);

    // Changing the address while connected only says so.
    client.setHostName(QStringLiteral("10.0.0.1"));
    QVERIFY(cw.infos.contains("0:Setting HostName While Connected Has No Effect"));
    client.setPortName(QStringLiteral("1"));
    QVERIFY(cw.infos.contains("0:Setting PortName While Connected Has No Effect"));
    QCOMPARE(client.hostName(), QStringLiteral("10.0.0.1"));
}

void TestTSock::carriesLargeSendsInOrder()
{
    TSockListener listener;
    TSock client;
    TSock *host = nullptr;
    connectPair(listener, client, host);
    QVERIFY(host);
    Watch hw;
    hw.attach(host);

    // Far more than the kernel takes at once (but within what a connection
    // may keep unsent): the rest goes out later, in order.
    QByteArray big;
    for (int i = 0; big.size() < TSock::MaxUnsent - 100; ++i)
        big += "CMD_chat+1+" + QByteArray::number(i) + "|clRed\xFF";
    client.send(big.left(1000));
    client.send(big.mid(1000));
    QTRY_VERIFY_WITH_TIMEOUT(hw.received.size() >= big.size(), 20000);
    QCOMPARE(hw.received.size(), big.size());
    QVERIFY(hw.received == big);
    // One readable event takes at most 32768 bytes.
    QVERIFY(hw.buffered.size() > big.size() / TSock::ReadChunk);
    for (qint64 n : hw.buffered)
        QVERIFY(n <= TSock::ReadChunk);
}

void TestTSock::handsEachSendToTheSystemAtOnce()
{
    // A plain socket reads what the host's end sent before the event loop
    // turns again: nothing waits in a buffer of ours.
    TSockListener listener;
    listener.listen(0, Listener::Loopback);
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = htons(listener.port());
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const timeval wait = {5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    QCOMPARE(::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a), 0);
    QTRY_VERIFY(listener.hasPendingConnections());
    TSock *host = listener.accept();
    QVERIFY(host);
    host->send("CMD_sendlogininfo+1\xFF");
    char got[64] = {};
    const ssize_t n = ::recv(fd, got, sizeof got, 0);
    ::close(fd);
    QCOMPARE(QByteArray(got, int(std::max<ssize_t>(n, 0))), QByteArray("CMD_sendlogininfo+1\xFF"));
}

void TestTSock::closingTheHostEndClosesTheClient()
{
    TSockListener listener;
    TSock client;
    TSock *host = nullptr;
    connectPair(listener, client, host);
    QVERIFY(host);
    Watch cw, hw;
    cw.attach(&client);
    hw.attach(host);

    host->close();
    QCOMPARE(hw.infos, QStringList{closedInfo()});
    QVERIFY(!host->isConnected());
    QTRY_COMPARE(cw.count(closedInfo()), 1);
    QCOMPARE(cw.events, (QStringList{"peerClosed", closedInfo()}));
    QVERIFY(!client.isConnected());

    // Closing again says so again.
    host->close();
    QCOMPARE(hw.count(closedInfo()), 2);
    client.close();
    QCOMPARE(cw.count(closedInfo()), 2);
}

void TestTSock::readsWhatThePeerSentBeforeLeaving()
{
    TSockListener listener;
    QTcpSocket peer;
    std::unique_ptr<TSock> host = acceptPeer(listener, peer);
    QVERIFY(host);
    Watch hw;
    hw.attach(host.get());

    peer.write("CMD_chat+2+bye|clRed\xFF");
    peer.disconnectFromHost();
    QTRY_COMPARE(hw.count(closedInfo()), 1);
    QCOMPARE(hw.received, QByteArray("CMD_chat+2+bye|clRed\xFF"));
    QCOMPARE(hw.events.filter("peerClosed").size(), 1);
    QVERIFY(hw.events.indexOf("peerClosed") < hw.events.indexOf(closedInfo()));
}

void TestTSock::peerResetReportsClosed()
{
    TSockListener listener;
    QTcpSocket peer;
    std::unique_ptr<TSock> host = acceptPeer(listener, peer);
    QVERIFY(host);
    Watch hw;
    hw.attach(host.get());

    // A zero linger time turns the close into a reset.
    const linger hard{1, 0};
    QCOMPARE(::setsockopt(int(peer.socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard), 0);
    peer.abort();
    QTRY_COMPARE(hw.count(closedInfo()), 1);
    QVERIFY(!host->isConnected());
    QVERIFY_THROWS_EXCEPTION(ESockException, host->send("CMD_full+\xFF"));
}

void TestTSock::refusedConnectIsOnlyReported()
{
    TSock client;
    Watch cw;
    cw.attach(&client);
    client.setHostName(QStringLiteral("127.0.0.1"));
    client.setPortName(QString::number(closedPort()));
    client.open();
    QTRY_VERIFY(cw.infos.contains("7:Error #10061 (WSAECONNREFUSED)"));
    QVERIFY(!client.isConnected());
    QCOMPARE(cw.count(closedInfo()), 0);
    QVERIFY(!cw.events.contains("peerClosed"));
    QCOMPARE(cw.infos.filter(QRegularExpression("^7:")).size(), 1);
}

void TestTSock::raisesSocketErrors()
{
    auto raised = [](auto &&operation) -> QString {
        try {
            operation();
        } catch (const ESockException &e) {
            return e.text();
        }
        return QStringLiteral("nothing raised");
    };

    TSockListener first;
    first.listen(0);
    TSockListener second;
    QCOMPARE(raised([&] { second.listen(first.port()); }),
             QStringLiteral("Listen - Error Binding Socket"));
    QCOMPARE(raised([&] { first.listen(0); }), QStringLiteral("Listen - Socket Already In Use"));
    QCOMPARE(raised([&] { second.accept(); }),
             QStringLiteral("Accept - Socket Not In Listening Mode"));
    QSignalSpy acceptInfo(&first, &TSockListener::info);
    QCOMPARE(first.accept(), nullptr);
    QCOMPARE(acceptInfo.count(), 1);
    QCOMPARE(acceptInfo.at(0).at(1).toString(), QStringLiteral("Could Not Accept Connection"));

    TSock never;
    QCOMPARE(raised([&] { never.send("CMD_full+\xFF"); }), QStringLiteral("Send - Socket Not Connected"));
    QCOMPARE(raised([&] { never.receiveAll(); }), QStringLiteral("Receive - Socket Not Connected"));

    TSock client;
    TSock *host = nullptr;
    connectPair(first, client, host);
    QVERIFY(host);
    client.close();
    QCOMPARE(raised([&] { client.send("CMD_full+\xFF"); }), QStringLiteral("Send - Socket Not Connected"));

    TSock badHost;
    badHost.setHostName(QStringLiteral("1.2.3.4.5"));
    badHost.setPortName(QStringLiteral("7772"));
    QCOMPARE(raised([&] { badHost.open(); }), QStringLiteral("Host Lookup - Could Not Find Host Entry"));
    TSock badPort;
    badPort.setHostName(QStringLiteral("127.0.0.1"));
    badPort.setPortName(QStringLiteral("no-such-service-here"));
    QCOMPARE(raised([&] { badPort.open(); }), QStringLiteral("Port Lookup - Could Not Find Service Entry"));
}

void TestTSock::namesWindowsSocketErrors()
{
    QCOMPARE(WsaErrors::errorText(10061), QStringLiteral("Error #10061 (WSAECONNREFUSED)"));
    QCOMPARE(WsaErrors::name(10004), QStringLiteral("WSAEINTR"));
    QCOMPARE(WsaErrors::name(11004), QStringLiteral("WSANO_DATA"));
    QCOMPARE(WsaErrors::name(10000), QStringLiteral("UNKNOWN ERROR"));
    int known = 0;
    for (int code = 10000; code <= 11010; ++code)
        known += WsaErrors::name(code) != QStringLiteral("UNKNOWN ERROR");
    QCOMPARE(known, 51);
}

// The in-program pipe between the hosting player's window and its host, the
// far end in a thread of its own as the host is: what is sent arrives whole
// and in order, what was sent before an end goes is read before its "Socket
// Closed", an end that closes or is destroyed closes the other, and an end
// whose peer stops reading is let go.
void TestTSock::pipeBehavesAsASocketAcrossThreads_data()
{
    QTest::addColumn<QString>("ending");
    QTest::newRow("far end destroyed") << "destroyed";
    QTest::newRow("far end closes") << "closes";
    QTest::newRow("near end floods a peer that does not read") << "flood";
}

void TestTSock::pipeBehavesAsASocketAcrossThreads()
{
    QFETCH(QString, ending);
    const auto pair = PipeEnd::makePair();
    PipeEnd *const near = pair.first;
    PipeEnd *const far = pair.second;
    std::unique_ptr<PipeEnd> nearOwned(near);
    struct Thread : QThread {
        ~Thread() override
        {
            quit();
            wait();
        }
    } thread;
    far->moveToThread(&thread);
    QObject::connect(&thread, &QThread::finished, far, &QObject::deleteLater);
    // The far end echoes everything back, from its own thread.
    QObject::connect(far, &Connection::readReady, far, [far](Connection *, qint64) { far->send(far->receiveAll()); });
    thread.start();
    Watch nw;
    nw.attach(near);

    QByteArray sent;
    for (int i = 0; i < 2000; ++i) {
        const QByteArray message = "CMD_chat+1+" + QByteArray(i % 97, char('a' + i % 26)) + '\xFF';
        near->send(message);
        sent += message;
    }
    QTRY_COMPARE(nw.received.size(), sent.size());
    QCOMPARE(nw.received, sent);

    if (ending == "flood") {
        // The far end's thread hangs while more than the limit comes.
        QSemaphore hung, release;
        QMetaObject::invokeMethod(far, [&] {
            hung.release();
            release.acquire();
        });
        hung.acquire();
        const QByteArray big(300 * 1024, 'x');
        for (int i = 0; i < 4 && near->isConnected(); ++i)
            near->send(big);
        release.release();
        QCOMPARE(nw.events, QStringList{closedInfo()});
    } else {
        const bool destroy = ending == "destroyed";
        QMetaObject::invokeMethod(far, [far, destroy] {
            far->send("CMD_chat+1+last words\xFF");
            if (destroy)
                delete far;
            else
                far->close();
        });
        QTRY_COMPARE(nw.events, (QStringList{QStringLiteral("peerClosed"), closedInfo()}));
        QVERIFY(nw.received.endsWith("CMD_chat+1+last words\xFF"));
    }
    QVERIFY(!near->isConnected());
    QVERIFY_THROWS_EXCEPTION(ESockException, near->send("CMD_chat+1+late\xFF"));
}

QTEST_GUILESS_MAIN(TestTSock)
#include "test_tsock.moc"
