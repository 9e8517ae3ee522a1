#include "app/launcher.h"
#include "app/settings.h"
#include "client/clientsession.h"
#include "client/hostlink.h"
#include "host/tserver.h"
#include "lobby/lobbywindow.h"
#include "net/tsock.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QGuiApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct RecordingLauncher : Launcher
{
    struct Start
    {
        QString program;
        QStringList arguments;
    };
    QList<Start> starts;
    bool openUrl(const QUrl &) override { return true; }
    bool startDetached(const QString &program, const QStringList &arguments) override
    {
        starts.append({program, arguments});
        return true;
    }
};

QAbstractButton *button(LobbyWindow &window, const char *name)
{
    return window.findChild<QAbstractButton *>(QString::fromLatin1(name));
}

QString readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

class TestLobby : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void hostingAndJoiningStartTheGame();
    void missingNameOrAddressStartsNothing();
    void nameAndAddressAreRemembered();
    void gameLinkIsShown();
    void lampWaitsForTheLoginAndHostShowsAddresses();

private:
    RecordingLauncher launcher;
    std::unique_ptr<QTemporaryDir> dir;
    QString iniPath;
};

void TestLobby::init()
{
    launcher = RecordingLauncher();
    Launcher::setInstance(&launcher);
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    iniPath = dir->filePath(QStringLiteral("brenviklobby.ini"));
}

void TestLobby::cleanup()
{
    Launcher::setInstance(nullptr);
    dir.reset();
}

void TestLobby::hostingAndJoiningStartTheGame()
{
    LobbyWindow window;
    window.setSettingsPath(iniPath);
    window.setGameProgram(QStringLiteral("/opt/games/sudoku"));
    QTest::keyClicks(window.findChild<QLineEdit *>(QStringLiteral("edit_name")), QStringLiteral("Ann Lee"));
    QTest::keyClicks(window.findChild<QLineEdit *>(QStringLiteral("edit_address")), QStringLiteral("10.0.0.5"));

    QTest::mouseClick(button(window, "button_host"), Qt::LeftButton);
    QCOMPARE(launcher.starts.size(), 1);
    QCOMPARE(launcher.starts.at(0).program, QStringLiteral("/opt/games/sudoku"));
    QCOMPARE(launcher.starts.at(0).arguments,
             QStringList({QStringLiteral("Ann Lee"), QStringLiteral("127.0.0.1"), QStringLiteral("true")}));

    QTest::mouseClick(button(window, "button_join"), Qt::LeftButton);
    QCOMPARE(launcher.starts.size(), 2);
    QCOMPARE(launcher.starts.at(1).arguments,
             QStringList({QStringLiteral("Ann Lee"), QStringLiteral("10.0.0.5"), QStringLiteral("false")}));
}

void TestLobby::missingNameOrAddressStartsNothing()
{
    LobbyWindow window;
    window.setSettingsPath(iniPath);
    window.setGameProgram(QStringLiteral("/opt/games/sudoku"));
    QVERIFY(!window.hostGame());
    QVERIFY(!window.joinGame());
    window.setName(QStringLiteral("Bob"));
    QVERIFY(!window.joinGame()); // no address
    window.setName(QStringLiteral("A+B"));
    QVERIFY(!window.hostGame()); // "+" would split the game's messages
    QVERIFY(launcher.starts.isEmpty());
    QVERIFY(!QFile::exists(iniPath));
}

void TestLobby::nameAndAddressAreRemembered()
{
    // The game's own section is already there and must come through unchanged.
    {
        QFile file(iniPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[sudoku]\nTextSize=12\nPhrase1=Well done!\n");
    }
    {
        LobbyWindow window;
        window.setSettingsPath(iniPath);
        window.setGameProgram(QStringLiteral("/opt/games/sudoku"));
        window.setName(QStringLiteral("Zo\u00eb"));
        window.setAddress(QStringLiteral("games.example.org"));
        QVERIFY(window.joinGame());
    }
    const QString text = readFile(iniPath);
    QVERIFY(text.contains(QStringLiteral("[sudoku]\nTextSize=12\nPhrase1=Well done!\n")));
    QVERIFY(text.contains(QStringLiteral("[lobby]")));

    LobbyWindow again;
    again.setSettingsPath(iniPath);
    again.loadSettings();
    QCOMPARE(again.name(), QStringLiteral("Zo\u00eb"));
    QCOMPARE(again.address(), QStringLiteral("games.example.org"));
}

void TestLobby::gameLinkIsShown()
{
    LobbyWindow window;
    QVERIFY(window.listen(0));
    QSignalSpy changes(&window, &LobbyWindow::linksChanged);
    auto *state = window.findChild<QLabel *>(QStringLiteral("label_link"));
    QCOMPARE(state->text(), QStringLiteral("No game running"));

    // The game's side of the link: a connection that carries nothing.
    QTcpSocket game;
    game.connectToHost(QStringLiteral("127.0.0.1"), window.linkPort());
    QVERIFY(game.waitForConnected(5000));
    QTRY_COMPARE(window.connectedGames(), 1);
    QCOMPARE(state->text(), QStringLiteral("A game is connected"));
    auto *status = window.findChild<QLabel *>(QStringLiteral("label_status"));
    QCOMPARE(status->text(), QStringLiteral("Your game is running. Have fun!"));

    game.disconnectFromHost();
    QTRY_COMPARE(window.connectedGames(), 0);
    QCOMPARE(state->text(), QStringLiteral("No game running"));
    QCOMPARE(status->text(), QStringLiteral("The game has closed. Host or join another one."));
    QCOMPARE(changes.count(), 2);

    // A second lobby cannot take the same port.
    LobbyWindow second;
    QVERIFY(!second.listen(window.linkPort()));
}

void TestLobby::lampWaitsForTheLoginAndHostShowsAddresses()
{
    LobbyWindow window;
    window.setSettingsPath(iniPath);
    window.setGameProgram(QStringLiteral("/opt/games/sudoku"));
    window.addressSource = [] {
        return QList<QHostAddress>{QHostAddress(QStringLiteral("127.0.0.1")), QHostAddress(QStringLiteral("192.168.1.5")),
                                   QHostAddress(QStringLiteral("fe80::1")), QHostAddress(QStringLiteral("10.0.0.7"))};
    };
    QVERIFY(window.listen(0));
    auto *state = window.findChild<QLabel *>(QStringLiteral("label_link"));
    auto *addresses = window.findChild<QLabel *>(QStringLiteral("label_addresses"));
    QVERIFY(addresses && !addresses->isVisibleTo(&window));

    // A join that reaches no host never logs in: it must not light the lamp.
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
    const quint16 closedPort = closed.serverPort();
    closed.close();
    ClientSession joinSession;
    HostLink join(joinSession);
    join.lobbyPort = window.linkPort();
    join.gamePort = closedPort;
    join.launch({QStringLiteral("Cy"), QStringLiteral("127.0.0.1"), QStringLiteral("false")});
    QTRY_VERIFY(join.joinFailed());

    // The lobby hosts a game; the game's link shows only once it logged in.
    window.setName(QStringLiteral("Ann"));
    QVERIFY(window.hostGame());
    TServer server;
    server.setListenerFactory([](QObject *parent) { return new TSockListener(parent); });
    ClientSession session;
    HostLink host(session);
    host.setServer(&server);
    host.gamePort = 0;
    host.lobbyPort = window.linkPort();
    host.addressSource = [] { return QList<QHostAddress>(); };
    bool seatedWhenLit = false;
    connect(&window, &LobbyWindow::linksChanged, this, [&](int count) {
        if (count > 0)
            seatedWhenLit = session.state().mySeat == 1 && session.state().seats[1].occupied;
    });
    host.launch({QStringLiteral("Ann"), QStringLiteral("127.0.0.1"), QStringLiteral("true")});
    QTRY_COMPARE(state->text(), QStringLiteral("A game is connected"));
    QVERIFY(seatedWhenLit);
    QCOMPARE(window.connectedGames(), 1); // the failed join never linked

    // The hosting game's join addresses, worded as its own chat line.
    const QString line = QStringLiteral("Friends on your network can join at 192.168.1.5 or 10.0.0.7, port 7772.");
    QVERIFY(addresses->isVisibleTo(&window));
    QCOMPARE(addresses->text(), line);
    QGuiApplication::clipboard()->clear();
    QTest::mouseClick(button(window, "button_copy"), Qt::LeftButton);
    QCOMPARE(QGuiApplication::clipboard()->text(), line);

    // The game's router forwards the port: its internet address joins them.
    const QString both = line + QStringLiteral("\nFriends on the internet can join at 203.0.113.7, port 7772.");
    QVERIFY(Settings::writeText(iniPath, Settings::InternetAddressKey, QStringLiteral("203.0.113.7")));
    QTRY_COMPARE(addresses->text(), both);
    QTest::mouseClick(button(window, "button_copy"), Qt::LeftButton);
    QCOMPARE(QGuiApplication::clipboard()->text(), both);
    QVERIFY(Settings::writeText(iniPath, Settings::InternetAddressKey, QString()));
    QTRY_COMPARE(addresses->text(), line);

    // The game ends: the addresses go with it.
    host.gameConnection().close();
    host.lobbySocket().close();
    QTRY_COMPARE(window.connectedGames(), 0);
    QVERIFY(!addresses->isVisibleTo(&window));
}

QTEST_MAIN(TestLobby)
#include "test_lobby.moc"
