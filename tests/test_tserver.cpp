#include "host/hostthread.h"
#include "host/puzzlestore.h"
#include "host/tserver.h"
#include "base/errors.h"
#include "net/framebuffer.h"
#include "net/messages.h"
#include "net/tsock.h"
#include "tests/fakeconnection.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTcpSocket>
#include <QtTest>

#include <atomic>
#include <memory>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Cells = QList<Msg::Cell>;

const PuzzleStore &shippedPuzzles()
{
    static PuzzleStore store;
    static const bool loaded = store.loadResource();
    Q_UNUSED(loaded);
    return store;
}

// A host with fake connections: the test plays the clients' side through
// their messages and reads what the host sent each of them.
class Table
{
public:
    explicit Table(unsigned seed = 1)
    {
        server.setPuzzleStore(&shippedPuzzles());
        server.random().seed(seed);
        QObject::connect(&server, &TServer::handlerError, &server,
                         [this](const QString &text) { errors << text; });
    }
    ~Table()
    {
        for (const QPointer<FakeConnection> &c : m_fakes)
            delete c.data();
    }

    // A new connection, admitted by the host.
    FakeConnection *connect()
    {
        auto *c = new FakeConnection;
        m_fakes << c;
        server.admit(c);
        return c;
    }
    // A connection that has logged in under the given name.
    FakeConnection *player(const QByteArray &name, const QByteArray &version = "1.0.2")
    {
        FakeConnection *c = connect();
        say(c, Msg::loginInfo(c->tag, version, name));
        return c;
    }
    // One message from a client, dispatched to the end of the queue.
    void say(FakeConnection *c, const QByteArray &text)
    {
        c->feedMessage(text);
        drain();
    }
    void drain()
    {
        while (server.dispatcher().dispatchOne()) {
        }
    }
    // Forgets everything sent so far.
    void quiet()
    {
        for (const QPointer<FakeConnection> &c : m_fakes) {
            if (c)
                c->sent.clear();
        }
    }
    // Every connection that received anything since the last quiet().
    int talkedTo() const
    {
        int n = 0;
        for (const QPointer<FakeConnection> &c : m_fakes)
            n += c && !c->sent.isEmpty();
        return n;
    }

    // Cells of the current puzzle that are still empty on the shared board.
    Cells emptyCells() const
    {
        Cells out;
        for (int c = 1; c <= 9; ++c) {
            for (int r = 1; r <= 9; ++r) {
                if (server.sharedBoard[c - 1][r - 1] == 0)
                    out.append(right(c, r));
            }
        }
        return out;
    }
    Msg::Cell right(int c, int r) const { return {c, r, server.solution[c - 1][r - 1]}; }
    Msg::Cell wrong(int c, int r) const { return {c, r, server.solution[c - 1][r - 1] % 9 + 1}; }

    TServer server;
    QStringList errors;

private:
    QList<QPointer<FakeConnection>> m_fakes;
};

QByteArray correctGroups(const Cells &cells, const char *flag)
{
    QByteArray out;
    for (const Msg::Cell &c : cells)
        out += Msg::cellList({c}) + '+' + flag;
    return out;
}

int boxOf(const Msg::Cell &c)
{
    return 3 * ((c.column - 1) / 3) + ((c.row - 1) / 3) + 1;
}

} // namespace

class TestTServer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    // admission, login, roster
    void admitsSeatsThenWatchersAndReusesSlots();
    void refusesTheTenthConnection();
    void logsPlayersIn();
    void namesAnEarlyLeaverWithAnEmptyName();
    void catchesUpAPlayerJoiningAGame_data();
    void catchesUpAPlayerJoiningAGame();
    void showsAReturningPlayerTheirOwnBoard_data();
    void showsAReturningPlayerTheirOwnBoard();
    void keepsNamesDistinctAndPut();
    void closesConnectionsThatNeverLogIn();

    // relays and requests
    void relaysChatActionsAndSounds();
    void dropsMessagesSpeakingForAnotherSlot();
    void switchesSeatsToWatching();
    void removesOnlyOnTheHostsRequest();

    // game start
    void startsAGame();
    void startsWithAnUnreadableGameTypeAsScoreAndHide();
    void ignoresPuzzleTypesThatNameNoList();
    void neverDrawsTheLastPuzzleOfAList();

    // judging
    void scoresRunsInScoreAndShow();
    void scoresRightWrongRightAsZero();
    void flagsCellsAlreadyFilled();
    void scoresScoreAndHide();
    void countsSquaresInFirstToComplete();
    void endsScoreAndShowOnTheLastCellWithATie();
    void endsScoreAndHideOnPointsNotSpeed();
    void stopsACheckAtAnUnreadableField();
    void ignoresChecksFromWatchers();
    void judgesNothingOutsideTheBoard();
    void keepsOutOfRangeSlotsOutOfTheTable();

    // bounded input
    void closesAFloodingConnectionOnly();
    void closesAConnectionWithOverlongText();
    void dropsWhatAClosedConnectionLeftQueued();

    // the real thing
    void playsOverLoopbackSockets();
    void refusesOverlongMessagesHoweverTheyArrive_data();
    void refusesOverlongMessagesHoweverTheyArrive();
    void dropsAPeerThatNeverReads();
    void takesFloodersInTurn();
    void listensWhereItIsTold();
    void answersWhileTheWindowThreadIsBusy();
};

void TestTServer::initTestCase()
{
    QVERIFY2(shippedPuzzles().isLoaded(), qPrintable(shippedPuzzles().errorString()));
}

void TestTServer::admitsSeatsThenWatchersAndReusesSlots()
{
    Table t;
    QList<FakeConnection *> c;
    for (int i = 1; i <= 5; ++i) {
        c << t.connect();
        QCOMPARE(c.last()->sent, QList<QByteArray>{"CMD_sendlogininfo+" + QByteArray::number(i)});
        QCOMPARE(c.last()->rawSent, "CMD_sendlogininfo+" + QByteArray::number(i) + '\xFF');
    }
    QCOMPARE(t.server.slotCount, 5);
    for (int i = 0; i < 5; ++i)
        t.say(c[i], Msg::loginInfo(i + 1, "1.0.2", "P" + QByteArray::number(i + 1)));
    t.quiet();

    c[1]->peerClose();
    QVERIFY(!t.server.slot(2).inUse);
    QCOMPARE(t.server.slot(2).name, QByteArray());
    QVERIFY(c[1]->sent.isEmpty());
    for (int i : {0, 2, 3, 4})
        QCOMPARE(c[i]->takeSent(), QList<QByteArray>{"CMD_playerdisconnected+2+P2"});

    FakeConnection *next = t.connect();
    QCOMPARE(next->sent, QList<QByteArray>{"CMD_sendlogininfo+2"});
    QCOMPARE(t.server.slotCount, 5);

    // The watcher at the top leaves: the count of slots handed out stays.
    c[4]->peerClose();
    QCOMPARE(t.server.slotCount, 5);
    QCOMPARE(t.connect()->sent, QList<QByteArray>{"CMD_sendlogininfo+5"});
    QCOMPARE(t.connect()->sent, QList<QByteArray>{"CMD_sendlogininfo+6"});
}

void TestTServer::refusesTheTenthConnection()
{
    Table t;
    QList<FakeConnection *> in;
    for (int i = 1; i <= 9; ++i)
        in << t.player("P" + QByteArray::number(i));
    t.quiet();

    QPointer<FakeConnection> tenth = t.connect();
    QCOMPARE(tenth->sent, QList<QByteArray>{"CMD_full+"});
    QCOMPARE(tenth->rawSent, QByteArray("CMD_full+\xFF"));
    QVERIFY(tenth->closeCount >= 1);
    QVERIFY(!tenth->isConnected());
    QCOMPARE(t.talkedTo(), 1);
    QVERIFY(!t.server.slot(TServer::RefusedSlot).inUse);
    QCOMPARE(t.server.slotCount, 9);
    for (int s = 1; s <= 9; ++s)
        QVERIFY(t.server.slot(s).inUse);

    // A refused peer's words go nowhere.
    tenth->feed("CMD_chat+10+hi|clRed\xFF");
    t.drain();
    QCOMPARE(t.talkedTo(), 1);

    in[6]->peerClose();
    t.quiet();
    FakeConnection *late = t.connect();
    QCOMPARE(late->sent, QList<QByteArray>{"CMD_sendlogininfo+7"});
    QCOMPARE(t.talkedTo(), 1);
}

void TestTServer::logsPlayersIn()
{
    Table t;
    FakeConnection *a = t.player("Ann");
    QCOMPARE(a->takeSent(), (QList<QByteArray>{"CMD_sendlogininfo+1", "CMD_newplayerinfo+1+Ann"}));
    FakeConnection *silent = t.connect(); // slot 2, not logged in yet
    FakeConnection *b = t.connect();      // slot 3
    t.quiet();

    // A name with "+" in it is the last field and stays whole.
    t.say(b, "CMD_logininfo+3+1.0.2+Bo+b+");
    const QByteArray newInfo = "CMD_newplayerinfo+3+Bo+b+";
    QCOMPARE(a->takeSent(), QList<QByteArray>{newInfo});
    QCOMPARE(silent->takeSent(), QList<QByteArray>{newInfo});
    QCOMPARE(b->takeSent(), (QList<QByteArray>{newInfo, "CMD_existingplayers+1+Ann",
                                               "CMD_existingplayers+2+"}));
    QCOMPARE(t.server.slot(3).name, QByteArray("Bo+b+"));

    // Another version: a notice to slot 1 and to the newcomer, and play goes on.
    FakeConnection *old = t.connect(); // slot 4
    t.quiet();
    t.say(old, "CMD_logininfo+4+1.0.1+Cy");
    QCOMPARE(a->takeSent(), (QList<QByteArray>{"CMD_newplayerinfo+4+Cy", "CMD_havewrongversion+Cy"}));
    QCOMPARE(old->takeSent(),
             (QList<QByteArray>{"CMD_newplayerinfo+4+Cy", "CMD_existingplayers+1+Ann",
                                "CMD_existingplayers+2+", "CMD_existingplayers+3+Bo+b+",
                                "CMD_wrongversion+"}));
    QCOMPARE(b->takeSent(), QList<QByteArray>{"CMD_newplayerinfo+4+Cy"});
    QCOMPARE(t.server.slot(4).name, QByteArray("Cy"));

    // The version is compared as exact text; with slot 1 gone only the newcomer hears.
    a->peerClose();
    t.quiet();
    t.say(silent, "CMD_logininfo+2+1.0.2 +Di");
    QCOMPARE(silent->takeSent(),
             (QList<QByteArray>{"CMD_newplayerinfo+2+Di", "CMD_existingplayers+3+Bo+b+",
                                "CMD_existingplayers+4+Cy", "CMD_wrongversion+"}));
    QCOMPARE(b->takeSent(), QList<QByteArray>{"CMD_newplayerinfo+2+Di"});
    QVERIFY(t.errors.isEmpty());
}

void TestTServer::namesAnEarlyLeaverWithAnEmptyName()
{
    Table t;
    FakeConnection *a = t.player("Ann");
    FakeConnection *early = t.connect();
    t.quiet();
    early->peerClose();
    QCOMPARE(a->takeSent(), QList<QByteArray>{"CMD_playerdisconnected+2+"});
    // The host closed it for the peer, then the socket closed once more; the
    // second "Socket Closed" finds the slot free and says nothing.
    QCOMPARE(early->closeCount, 2);
    early->close();
    QCOMPARE(t.talkedTo(), 0);
    QVERIFY(!t.server.slot(2).inUse);
}

void TestTServer::catchesUpAPlayerJoiningAGame_data()
{
    QTest::addColumn<int>("gameType");
    QTest::newRow("score and show") << 1;
    QTest::newRow("score and hide") << 2;
    QTest::newRow("first to complete") << 3;
}

void TestTServer::catchesUpAPlayerJoiningAGame()
{
    QFETCH(int, gameType);
    Table t;
    FakeConnection *a = t.player("Ann");
    t.say(a, Msg::startGame("Ann", gameType, 2));
    QVERIFY(t.server.gameRunning);
    // Five new cells in one check: 1+2+3+4+5 = 15 in Score and Show.
    const Cells five = t.emptyCells().mid(0, 5);
    t.say(a, Msg::checkIt(1, five));
    const int score = t.server.slot(1).score;
    QCOMPARE(score, gameType == 1 ? 15 : gameType == 2 ? 15 + 15 : t.server.slot(1).cellsFilled);
    t.quiet();

    FakeConnection *late = t.player("Bo");
    QList<QByteArray> expected = {"CMD_sendlogininfo+2", "CMD_newplayerinfo+2+Bo",
                                  "CMD_existingplayers+1+Ann",
                                  "CMD_loadstats+" + QByteArray::number(gameType) + "+2++"
                                      + QByteArray::number(score) + "+0+0+0+",
                                  "CMD_theboard+2" + t.server.givensList};
    if (gameType == 1) {
        Cells filled;
        for (int c = 1; c <= 9; ++c) {
            for (int r = 1; r <= 9; ++r) {
                if (t.server.sharedBoard[c - 1][r - 1])
                    filled.append(t.right(c, r));
            }
        }
        QCOMPARE(filled.size(), PuzzleStore::givenCount(t.server.sharedBoard));
        expected << "CMD_correct+2" + correctGroups(filled, "1");
    }
    QCOMPARE(late->takeSent(), expected);
    QCOMPARE(a->takeSent(), QList<QByteArray>{"CMD_newplayerinfo+2+Bo"});

    // Between games nobody is caught up.
    t.server.gameRunning = false;
    FakeConnection *between = t.player("Cy");
    QCOMPARE(between->takeSent(),
             (QList<QByteArray>{"CMD_sendlogininfo+3", "CMD_newplayerinfo+3+Cy",
                                "CMD_existingplayers+1+Ann", "CMD_existingplayers+2+Bo"}));
}

void TestTServer::showsAReturningPlayerTheirOwnBoard_data()
{
    QTest::addColumn<int>("gameType");
    QTest::newRow("score and hide") << 2;
    QTest::newRow("first to complete") << 3;
}

void TestTServer::showsAReturningPlayerTheirOwnBoard()
{
    QFETCH(int, gameType);
    Table t;
    t.player("Ann");
    FakeConnection *bo = t.player("Bo");
    t.say(bo, Msg::startGame("Bo", gameType, 1));
    const Cells placed = t.emptyCells().mid(0, 3);
    t.say(bo, Msg::checkIt(2, placed + Cells{t.wrong(9, 9)}));
    const int score = t.server.slot(2).score;
    bo->peerClose();

    // Back in the same seat: the board the host kept comes with the givens.
    FakeConnection *back = t.player("Bo");
    QCOMPARE(back->tag, 2);
    const QList<QByteArray> got = back->takeSent();
    QCOMPARE(got.mid(got.size() - 3),
             (QList<QByteArray>{"CMD_loadstats+" + QByteArray::number(gameType) + "+1++0+"
                                    + QByteArray::number(score) + "+0+0+",
                                "CMD_theboard+2" + t.server.givensList,
                                "CMD_correct+2" + correctGroups(placed, "1")}));
}

void TestTServer::keepsNamesDistinctAndPut()
{
    Table t;
    FakeConnection *bob = t.player("Bob");
    bob->sent.clear();
    FakeConnection *bob2 = t.player("Bob");
    QCOMPARE(bob2->takeSent(), (QList<QByteArray>{"CMD_sendlogininfo+2", "CMD_newplayerinfo+2+Bob (2)",
                                                  "CMD_existingplayers+1+Bob"}));
    QCOMPARE(bob->takeSent(), (QList<QByteArray>{"CMD_newplayerinfo+2+Bob (2)"}));
    // Only a byte-equal name is taken; empty names stay empty.
    t.player("bob");
    t.player("");
    t.player("");
    FakeConnection *bob3 = t.player("Bob", "1.0.1");
    QCOMPARE(bob->takeSent(), (QList<QByteArray>{"CMD_newplayerinfo+3+bob", "CMD_newplayerinfo+4+",
                                                 "CMD_newplayerinfo+5+", "CMD_newplayerinfo+6+Bob (3)",
                                                 "CMD_havewrongversion+Bob (3)"}));
    QCOMPARE(t.server.slot(6).name, QByteArray("Bob (3)"));

    // A second login changes nothing: the chat still reads as its own.
    t.quiet();
    t.say(bob2, Msg::loginInfo(2, "1.0.2", "Bob"));
    t.say(bob2, Msg::loginInfo(2, "1.0.2", "Ann"));
    QCOMPARE(t.talkedTo(), 0);
    t.say(bob2, Msg::chatLine(2, "hi", "clRed"));
    QCOMPARE(bob->takeSent(), QList<QByteArray>{"CMD_chat+Bob (2) chats: hi|clRed"});

    // A name is free again once its holder has left; the win names the seat.
    bob->peerClose();
    bob3->peerClose();
    FakeConnection *again = t.player("Bob");
    QCOMPARE(t.server.slot(again->tag).name, QByteArray("Bob"));
    t.quiet();
    t.say(bob2, "CMD_startgame+Bob (2)+3+1+");
    for (const Msg::Cell &c : t.emptyCells())
        bob2->feedMessage(Msg::checkIt(2, {c}));
    t.drain();
    QCOMPARE(again->sent.last(), QByteArray("CMD_winner+Bob (2)+"));
    QVERIFY(t.errors.isEmpty());
}

void TestTServer::closesConnectionsThatNeverLogIn()
{
    Table t;
    t.server.setLoginTimeout(100);
    FakeConnection *ann = t.player("Ann");
    // The host lets go of a connection it closes, so each is watched through
    // a guard: a connection is gone once it is closed or deleted.
    const auto gone = [](const QPointer<FakeConnection> &c) { return c.isNull() || c->closeCount == 1; };
    QList<QPointer<FakeConnection>> idle;
    for (int i = 2; i <= TServer::MaxSlots; ++i)
        idle << t.connect();
    // A full house of idle peers turns a player away...
    FakeConnection *refused = t.connect();
    QCOMPARE(refused->takeSent(), QList<QByteArray>{"CMD_full+"});
    // ...only until their time to log in is up.
    for (const QPointer<FakeConnection> &c : idle)
        QTRY_VERIFY(gone(c));
    QCOMPARE(ann->closeCount, 0);
    QCOMPARE(ann->sent.count("CMD_playerdisconnected+5+"), 1);
    FakeConnection *late = t.player("Bo");
    QCOMPARE(late->tag, 2);
    // A peer that logs in in time stays: when a later idle one goes, it is
    // still there.
    QPointer<FakeConnection> later = t.connect();
    QTRY_VERIFY(gone(later));
    QCOMPARE(late->closeCount, 0);
    QCOMPARE(ann->closeCount, 0);
}

void TestTServer::relaysChatActionsAndSounds()
{
    Table t;
    FakeConnection *a = t.player("Ann");
    FakeConnection *b = t.player("Bo");
    FakeConnection *w = t.connect(); // a connection not logged in hears it too
    for (int i = 0; i < 3; ++i)
        t.player("W" + QByteArray::number(i)); // up to a watcher
    t.quiet();

    t.say(b, "CMD_chat+2+a+b|c|d+|clBlack");
    t.say(a, "CMD_action+1+waves|$00FF00FF");
    t.say(b, "CMD_playasound+02+wave17+");
    t.say(a, "CMD_chat+1+|clRed");
    const QList<QByteArray> expected = {"CMD_chat+Bo chats: a+b|c|d+|clBlack",
                                        "CMD_action+Ann waves|$00FF00FF",
                                        "CMD_playasound+2+wave17+", "CMD_chat+Ann chats: |clRed"};
    QCOMPARE(a->takeSent(), expected);
    QCOMPARE(b->takeSent(), expected);
    QCOMPARE(w->takeSent(), expected);
    QCOMPARE(t.talkedTo(), 3);

    // The worked example: Ann in seat 3.
    Table u;
    u.player("X");
    u.player("Y");
    FakeConnection *ann = u.player("Ann");
    u.quiet();
    u.say(ann, "CMD_chat+3+hi|clBlack");
    QCOMPARE(ann->takeSent(), QList<QByteArray>{"CMD_chat+Ann chats: hi|clBlack"});

    // A sender slot that is no number stops the relay: nobody hears anything.
    t.quiet();
    t.say(a, "CMD_chat+x+hi|clRed");
    t.say(a, "CMD_playasound++wave1+");
    QCOMPARE(t.talkedTo(), 0);
    QCOMPARE(t.errors, (QStringList{"'x' is not a valid integer value", "'' is not a valid integer value"}));
}

void TestTServer::dropsMessagesSpeakingForAnotherSlot()
{
    Table t;
    FakeConnection *a = t.player("Ann");
    FakeConnection *b = t.player("Bo");
    t.say(a, Msg::startGame("Ann", 1, 1));
    t.quiet();
    const Msg::Cell cell = t.emptyCells().first();

    t.say(b, Msg::chatLine(1, "I am Ann", "clRed"));
    t.say(b, Msg::actionLine(1, "bows", "clRed"));
    t.say(b, Msg::playASound(1, 3));
    t.say(b, Msg::checkIt(1, {cell}));
    t.say(b, Msg::loginInfo(1, "1.0.2", "Bo"));
    t.say(b, Msg::kickHim(1, 1));
    t.say(b, Msg::justWatch(1, 1));
    QCOMPARE(t.talkedTo(), 0);
    QCOMPARE(t.server.slot(1).name, QByteArray("Ann"));
    QVERIFY(t.server.slot(1).inUse);
    QCOMPARE(t.server.sharedBoard[cell.column - 1][cell.row - 1], 0);

    // Its own slot it may speak for.
    t.say(b, Msg::checkIt(2, {cell}));
    QCOMPARE(t.server.sharedBoard[cell.column - 1][cell.row - 1], cell.digit);
    QVERIFY(t.errors.isEmpty());
}

void TestTServer::switchesSeatsToWatching()
{
    Table t;
    FakeConnection *host = t.player("Ann");
    FakeConnection *b = t.player("Bo");
    t.player("Cy");
    t.player("Di");
    FakeConnection *spy = t.player("Eve"); // slot 5
    t.quiet();

    // Outside a game only the switch back to playing is passed on.
    t.say(b, "CMD_justwatch+2+1");
    QCOMPARE(t.talkedTo(), 0);
    t.say(b, "CMD_justwatch+2+2");
    QCOMPARE(spy->takeSent(), QList<QByteArray>{"CMD_justwatching+2+2"});
    QCOMPARE(host->takeSent(), QList<QByteArray>{"CMD_justwatching+2+2"});
    t.quiet();

    t.say(host, Msg::startGame("Ann", 1, 1));
    t.quiet();
    t.say(b, "CMD_justwatch+2+1");
    QCOMPARE(spy->takeSent(), QList<QByteArray>{"CMD_justwatching+2+1"});
    // The hosting window may switch any seat.
    t.say(host, "CMD_justwatch+4+1");
    QCOMPARE(b->takeSent(), (QList<QByteArray>{"CMD_justwatching+2+1", "CMD_justwatching+4+1"}));
    t.quiet();

    // Nothing else: another seat, a watcher's slot, anything after the mode.
    t.say(b, "CMD_justwatch+3+1");
    t.say(spy, "CMD_justwatch+5+1");
    t.say(spy, "CMD_justwatch+5+2");
    t.say(host, "CMD_justwatch+5+2");
    t.say(b, "CMD_justwatch+2+1+");
    t.say(b, "CMD_justwatch+2+2+");
    t.say(b, "CMD_justwatch+2+3");
    t.say(b, "CMD_justwatch+2");
    t.say(host, "CMD_justwatch+0+2");
    t.say(host, "CMD_justwatch+-1+2");
    t.say(host, "CMD_justwatch+99999+2");
    QCOMPARE(t.talkedTo(), 0);
    QVERIFY(t.errors.isEmpty());
}

void TestTServer::removesOnlyOnTheHostsRequest()
{
    Table t;
    FakeConnection *host = t.player("Ann");
    FakeConnection *b = t.player("Bo");
    FakeConnection *c = t.player("Cy");
    t.quiet();

    t.say(b, "CMD_kickhim+2+3+");
    QVERIFY(t.server.slot(3).inUse);
    QCOMPARE(c->closeCount, 0);
    QCOMPARE(t.talkedTo(), 0);

    for (const char *target : {"0", "10", "11", "12", "-1", "4", "2147483647"})
        t.say(host, QByteArray("CMD_kickhim+1+") + target + '+');
    QCOMPARE(t.talkedTo(), 0);

    t.say(host, "CMD_kickhim+1+3+");
    QCOMPARE(c->closeCount, 1);
    QVERIFY(!t.server.slot(3).inUse);
    QVERIFY(c->sent.isEmpty());
    QCOMPARE(host->takeSent(), QList<QByteArray>{"CMD_playerdisconnected+3+Cy"});
    QCOMPARE(b->takeSent(), QList<QByteArray>{"CMD_playerdisconnected+3+Cy"});
    // Nothing more reaches the removed one.
    t.say(host, "CMD_chat+1+bye|clRed");
    QVERIFY(c->sent.isEmpty());

    // The target field is a number or the request stops.
    t.say(host, "CMD_kickhim+1+two+");
    QCOMPARE(t.errors, QStringList{"'two' is not a valid integer value"});
}

void TestTServer::startsAGame()
{
    Table t;
    FakeConnection *a = t.player("Ann");
    FakeConnection *b = t.player("Bo");
    FakeConnection *c = t.connect(); // not logged in
    t.player("Di");
    FakeConnection *spy = t.player("Eve");
    t.quiet();
    t.server.gameType = 0;

    t.say(b, "CMD_startgame+Bo+3+03+"); // any slot may start; the puzzle type is rewritten
    QVERIFY(t.server.gameRunning);
    QCOMPARE(t.server.gameType, 3);
    QCOMPARE(t.server.puzzleType, 3);
    const QByteArray givens = t.server.givensList;
    QCOMPARE(givens, PuzzleStore::givensList(t.server.sharedBoard));
    const int n = PuzzleStore::givenCount(t.server.sharedBoard);
    QVERIFY(n >= 25 && n <= 29);
    QCOMPARE(givens.count('+'), 3 * n);
    for (int s = 1; s <= 4; ++s) {
        QCOMPARE(t.server.slot(s).cellsFilled, n);
        QCOMPARE(t.server.slot(s).score, 0);
        QVERIFY(std::equal(&t.server.slot(s).ownBoard[0][0], &t.server.slot(s).ownBoard[0][0] + 81,
                           &t.server.sharedBoard[0][0]));
    }
    for (int col = 0; col < 9; ++col) {
        for (int row = 0; row < 9; ++row) {
            const int g = t.server.sharedBoard[col][row];
            QVERIFY(g == 0 || g == t.server.solution[col][row]);
            QVERIFY(t.server.solution[col][row] >= 1 && t.server.solution[col][row] <= 9);
        }
    }
    int s = 0;
    for (FakeConnection *x : {a, b, c, static_cast<FakeConnection *>(nullptr), spy}) {
        ++s;
        if (!x)
            continue;
        QCOMPARE(x->takeSent(), (QList<QByteArray>{"CMD_startgame+Bo+3+3+",
                                                   "CMD_theboard+" + QByteArray::number(s) + givens,
                                                   "CMD_nextplayer+" + QByteArray::number(s) + "+"}));
    }

    // Scores and boards of the last game go; a second start replaces the first.
    t.say(a, Msg::checkIt(1, t.emptyCells().mid(0, 3)));
    QCOMPARE(t.server.slot(1).score, n + 3);
    t.quiet();
    t.say(a, Msg::startGame("Ann", 1, 1));
    QCOMPARE(a->sent.first(), QByteArray("CMD_startgame+Ann+1+1+"));
    QCOMPARE(a->sent.size(), 3);
    QCOMPARE(t.server.slot(1).score, 0);
    QCOMPARE(t.server.slot(1).cellsFilled, PuzzleStore::givenCount(t.server.sharedBoard));
    QCOMPARE(t.server.gameType, 1);
    QVERIFY(t.errors.isEmpty());
}

void TestTServer::startsWithAnUnreadableGameTypeAsScoreAndHide()
{
    Table t;
    FakeConnection *a = t.player("Ann");
    FakeConnection *b = t.player("Bo");
    t.quiet();
    t.say(a, "CMD_startgame+Ann+x+1+");
    QCOMPARE(b->sent.first(), QByteArray("CMD_startgame+Ann+x+1+"));
    QCOMPARE(t.server.gameType, 2);
    t.quiet();
    // Played as Score and Hide: the right cell goes to its player only, for 1 + 3.
    const Msg::Cell cell = t.emptyCells().first();
    t.say(a, Msg::checkIt(1, {cell}));
    QCOMPARE(a->takeSent(), (QList<QByteArray>{"CMD_checkresult+1+1+0+",
                                               "CMD_correct+1" + correctGroups({cell}, "0"),
                                               "CMD_hisscore+1+4+4+"}));
    QCOMPARE(b->takeSent(), QList<QByteArray>{"CMD_hisscore+1+4+4+"});
}

void TestTServer::ignoresPuzzleTypesThatNameNoList()
{
    Table t;
    FakeConnection *a = t.player("Ann");
    t.say(a, Msg::startGame("Ann", 1, 2));
    const QByteArray givens = t.server.givensList;
    t.say(a, Msg::checkIt(1, t.emptyCells().mid(0, 2)));
    t.server.gameRunning = false; // as after a win
    t.quiet();

    for (const char *type : {"4", "0", "-1", "2147483647"}) {
        t.say(a, QByteArray("CMD_startgame+Ann+1+") + type + '+');
        QCOMPARE(t.talkedTo(), 0);
        QVERIFY(!t.server.gameRunning);
        QCOMPARE(t.server.puzzleType, 2);
        QCOMPARE(t.server.givensList, givens);
        QCOMPARE(t.server.slot(1).score, 3);
    }
    QVERIFY(t.errors.isEmpty());

    // A puzzle type that is no number stops the start after the game is marked
    // running: nothing is announced and the old puzzle stays.
    t.say(a, "CMD_startgame+Ann+1+hard+");
    QCOMPARE(t.talkedTo(), 0);
    QVERIFY(t.server.gameRunning);
    QCOMPARE(t.server.givensList, givens);
    QCOMPARE(t.errors, QStringList{"'hard' is not a valid integer value"});
}

void TestTServer::neverDrawsTheLastPuzzleOfAList()
{
    const QList<QByteArray> &hard = shippedPuzzles().list(3);
    QCOMPARE(hard.size(), 10);
    int givens[9][9], solution[9][9];
    QVERIFY(PuzzleStore::parseEntry(hard.last(), givens, solution));
    const QByteArray lastList = PuzzleStore::givensList(givens);

    Table t(12345);
    FakeConnection *a = t.player("Ann");
    QSet<QByteArray> seen;
    for (int i = 0; i < 300; ++i) {
        t.say(a, Msg::startGame("Ann", 1, 3));
        seen.insert(t.server.givensList);
    }
    QVERIFY(!seen.contains(lastList));
    QCOMPARE(seen.size(), 9);
}

void TestTServer::scoresRunsInScoreAndShow()
{
    Table t;
    FakeConnection *a = t.player("Ann");
    FakeConnection *b = t.player("Bo");
    FakeConnection *spy = t.connect();
    t.say(a, Msg::startGame("Ann", 1, 1));
    const int before = t.server.slot(1).cellsFilled;
    Cells empty = t.emptyCells();

    // Four new cells: 1 + 2 + 3 + 4 = 10 points.
    t.say(b, Msg::checkIt(2, empty.mid(0, 4)));
    QCOMPARE(t.server.slot(2).score, 10);
    t.quiet();

    // Three more: bonus 1 + 2 + 3 = 6, score 16, one correct list to everybody.
    const Cells three = empty.mid(4, 3);
    t.say(b, Msg::checkIt(2, three));
    const QByteArray correct = "CMD_correct+2" + correctGroups(three, "0");
    QCOMPARE(b->takeSent(), (QList<QByteArray>{"CMD_checkresult+2+3+0+", correct, "CMD_hisscore+2+16+6+"}));
    QCOMPARE(a->takeSent(), (QList<QByteArray>{correct, "CMD_hisscore+2+16+6+"}));
    QCOMPARE(spy->takeSent(), (QList<QByteArray>{correct, "CMD_hisscore+2+16+6+"}));
    for (int s = 1; s <= 4; ++s)
        QCOMPARE(t.server.slot(s).cellsFilled, before + 7);
    for (const Msg::Cell &c : three)
        QCOMPARE(t.server.sharedBoard[c.column - 1][c.row - 1], c.digit);

    // The worked example's shape: 14 points, one more right cell.
    t.say(a, Msg::checkIt(1, empty.mid(7, 4)));
    t.say(a, Msg::checkIt(1, empty.mid(11, 1)));
    t.say(a, Msg::checkIt(1, empty.mid(12, 2)));
    QCOMPARE(t.server.slot(1).score, 14);
    t.quiet();
    const Msg::Cell one = empty.at(14);
    t.say(a, Msg::checkIt(1, {one}));
    QCOMPARE(a->takeSent(), (QList<QByteArray>{"CMD_checkresult+1+1+0+",
                                               "CMD_correct+1" + correctGroups({one}, "0"),
                                               "CMD_hisscore+1+15+1+"}));
    QVERIFY(t.errors.isEmpty());
}

void TestTServer::scoresRightWrongRightAsZero()
{
    Table t;
    FakeConnection *a = t.player("Ann");
    FakeConnection *b = t.player("Bo");
    t.say(a, Msg::startGame("Ann", 1, 1));
    t.say(b, Msg::checkIt(2, t.emptyCells().mid(0, 4))); // 10 points
    t.quiet();
    const Cells empty = t.emptyCells();
    const Msg::Cell first = empty.at(0), bad = empty.at(1), second = empty.at(2);
    const Msg::Cell wrongOne = t.wrong(bad.column, bad.row);

    t.say(b, Msg::checkIt(2, {first, wrongOne, second}));
    const QByteArray correct = "CMD_correct+2" + correctGroups({first, second}, "0");
    QCOMPARE(b->takeSent(), (QList<QByteArray>{"CMD_checkresult+2+2+1+",
                                               "CMD_highliteit+2+" + QByteArray::number(boxOf(bad)),
                                               correct, "CMD_hisscore+2+10+0+"}));
    QCOMPARE(a->takeSent(), (QList<QByteArray>{correct, "CMD_hisscore+2+10+0+"}));
    QCOMPARE(t.server.sharedBoard[bad.column - 1][bad.row - 1], 0);

    // Only wrong entries: minus three each, boxes named once each, ascending.
    Cells wrongs;
    QList<int> boxes;
    for (const Msg::Cell &c : t.emptyCells()) {
        if (wrongs.size() < 6 && (boxes.isEmpty() || boxOf(c) >= boxes.last())) {
            wrongs.prepend(t.wrong(c.column, c.row)); // sent in descending order
            if (!boxes.contains(boxOf(c)))
                boxes << boxOf(c);
        }
    }
    QByteArray boxText;
    for (int x : boxes)
        boxText += '+' + QByteArray::number(x);
    t.say(b, Msg::checkIt(2, wrongs));
    QCOMPARE(b->takeSent(),
             (QList<QByteArray>{"CMD_checkresult+2+0+" + QByteArray::number(wrongs.size()) + '+',
                                "CMD_highliteit+2" + boxText,
                                "CMD_hisscore+2+" + QByteArray::number(10 - 3 * int(wrongs.size())) + '+'
                                    + QByteArray::number(-3 * int(wrongs.size())) + '+'}));
}

void TestTServer::flagsCellsAlreadyFilled()
{
    // Score and Show: already filled cells come back flagged "1" to everybody,
    // count as right, and raise the points of a later new cell.
    Table t;
    FakeConnection *a = t.player("Ann");
    FakeConnection *b = t.player("Bo");
    t.say(a, Msg::startGame("Ann", 1, 1));
    const Cells empty = t.emptyCells();
    Msg::Cell given{};
    for (int c = 9; c >= 1 && !given.digit; --c) {
        for (int r = 1; r <= 9 && !given.digit; ++r) {
            if (t.server.sharedBoard[c - 1][r - 1])
                given = t.right(c, r);
        }
    }
    QVERIFY(given.digit);
    t.say(a, Msg::checkIt(1, empty.mid(0, 2)));
    t.quiet();
    const Cells old = {empty.at(1), given, empty.at(0)};
    t.say(b, Msg::checkIt(2, old));
    QByteArray groups = correctGroups(old, "1");
    QCOMPARE(b->takeSent(), (QList<QByteArray>{"CMD_checkresult+2+3+0+", "CMD_correct+2" + groups,
                                               "CMD_hisscore+2+0+0+"}));
    QCOMPARE(a->takeSent(), (QList<QByteArray>{"CMD_correct+2" + groups, "CMD_hisscore+2+0+0+"}));
    t.say(b, Msg::checkIt(2, {empty.at(0), empty.at(2)}));
    QCOMPARE(t.server.slot(2).score, 2);

    // Score and Hide: right > 0, but no correct list and no points.
    Table h;
    FakeConnection *c = h.player("Cy");
    FakeConnection *d = h.player("Di");
    h.say(c, Msg::startGame("Cy", 2, 1));
    const Cells mine = h.emptyCells().mid(0, 2);
    h.say(c, Msg::checkIt(1, mine));
    QCOMPARE(h.server.slot(1).score, 9);
    h.quiet();
    h.say(c, Msg::checkIt(1, mine));
    QCOMPARE(c->takeSent(), (QList<QByteArray>{"CMD_checkresult+1+2+0+", "CMD_hisscore+1+9+0+"}));
    QCOMPARE(d->takeSent(), QList<QByteArray>{"CMD_hisscore+1+9+0+"});
    // Another seat's private board knows nothing of them.
    h.say(d, Msg::checkIt(2, mine));
    QCOMPARE(h.server.slot(2).score, 9);
}

void TestTServer::scoresScoreAndHide()
{
    Table t;
    FakeConnection *a = t.player("Ann");
    FakeConnection *b = t.player("Bo");
    t.say(a, Msg::startGame("Ann", 2, 2));
    const int n = t.server.slot(2).cellsFilled;
    t.quiet();
    const Cells two = t.emptyCells().mid(0, 2);
    t.say(b, Msg::checkIt(2, two));
    QCOMPARE(b->takeSent(), (QList<QByteArray>{"CMD_checkresult+2+2+0+",
                                               "CMD_correct+2" + correctGroups(two, "0"),
                                               "CMD_hisscore+2+9+9+"}));
    QCOMPARE(a->takeSent(), QList<QByteArray>{"CMD_hisscore+2+9+9+"});
    QCOMPARE(t.server.slot(2).cellsFilled, n + 2);
    QCOMPARE(t.server.slot(1).cellsFilled, n);
    // The shared board keeps only the givens.
    for (const Msg::Cell &c : two)
        QCOMPARE(t.server.sharedBoard[c.column - 1][c.row - 1], 0);

    // A wrong entry costs three here too.
    const Msg::Cell next = t.emptyCells().at(2);
    t.say(b, Msg::checkIt(2, {t.wrong(next.column, next.row)}));
    QCOMPARE(b->takeSent(), (QList<QByteArray>{"CMD_checkresult+2+0+1+",
                                               "CMD_highliteit+2+" + QByteArray::number(boxOf(next)),
                                               "CMD_hisscore+2+6+-3+"}));
}

void TestTServer::countsSquaresInFirstToComplete()
{
    Table t;
    FakeConnection *a = t.player("Ann");
    FakeConnection *b = t.player("Bo");
    t.say(a, Msg::startGame("Ann", 3, 1));
    const int n = t.server.slot(1).cellsFilled;
    t.quiet();
    const Cells empty = t.emptyCells();
    const Msg::Cell bad = empty.at(3);
    t.say(a, Msg::checkIt(1, {empty.at(0), empty.at(1), t.wrong(bad.column, bad.row), empty.at(2)}));
    const QByteArray score = "CMD_hisscore+1+" + QByteArray::number(n + 3) + "+3+";
    QCOMPARE(a->takeSent(), (QList<QByteArray>{"CMD_checkresult+1+3+1+",
                                               "CMD_highliteit+1+" + QByteArray::number(boxOf(bad)),
                                               "CMD_correct+1" + correctGroups(empty.mid(0, 3), "0"),
                                               score}));
    QCOMPARE(b->takeSent(), QList<QByteArray>{score});

    // The first to fill his board wins, whatever the others did.
    t.say(b, Msg::checkIt(2, empty.mid(0, empty.size() - 1)));
    QVERIFY(t.server.gameRunning);
    t.say(a, Msg::checkIt(1, empty.mid(3)));
    QCOMPARE(t.server.slot(1).score, 81);
    QCOMPARE(a->sent.last(), QByteArray("CMD_winner+Ann+"));
    QCOMPARE(b->sent.last(), QByteArray("CMD_winner+Ann+"));
    QVERIFY(!t.server.gameRunning);
    t.quiet();
    // Nothing stops judging after the win: a full seat announces it again.
    t.say(a, Msg::checkIt(1, {empty.at(0)}));
    QCOMPARE(b->sent, (QList<QByteArray>{"CMD_hisscore+1+81+1+", "CMD_winner+Ann+"}));
}

void TestTServer::endsScoreAndShowOnTheLastCellWithATie()
{
    Table t;
    FakeConnection *a = t.player("A");
    FakeConnection *b = t.player("B");
    FakeConnection *c = t.player("C");
    FakeConnection *d = t.player("D");
    FakeConnection *spy = t.player("Spy");
    t.say(a, Msg::startGame("A", 1, 1));
    const Cells empty = t.emptyCells();
    const int n = int(empty.size());
    // C takes the odd cells first, then A, B and D one cell each in turn, all
    // three ending level on n / 3 points; D places the last cell.
    int i = 0;
    for (; i < n % 3; ++i)
        t.say(c, Msg::checkIt(3, {empty.at(i)}));
    FakeConnection *turn[3] = {a, b, d};
    const int seat[3] = {1, 2, 4};
    for (int k = 0; i < n; ++i, ++k) {
        QVERIFY(t.server.gameRunning);
        t.quiet();
        t.say(turn[k % 3], Msg::checkIt(seat[k % 3], {empty.at(i)}));
    }
    QVERIFY(!t.server.gameRunning);
    for (int s = 1; s <= 4; ++s)
        QCOMPARE(t.server.slot(s).cellsFilled, 81);
    const QByteArray points = QByteArray::number(n / 3);
    for (FakeConnection *x : {a, b, c, spy})
        QCOMPARE(x->takeSent(), (QList<QByteArray>{"CMD_correct+4" + correctGroups({empty.last()}, "0"),
                                                   "CMD_hisscore+4+" + points + "+1+",
                                                   "CMD_winner+A and B and D+"}));
    QCOMPARE(d->sent.last(), QByteArray("CMD_winner+A and B and D+"));
}

void TestTServer::endsScoreAndHideOnPointsNotSpeed()
{
    Table t;
    FakeConnection *a = t.player("Ann");
    FakeConnection *b = t.player("Bo");
    FakeConnection *w = t.player("Cy");
    t.say(a, Msg::startGame("Ann", 2, 1));
    const Cells empty = t.emptyCells();
    const int n = int(empty.size());
    // Bo fills all but one cell in one check: far more points than one by one.
    t.say(b, Msg::checkIt(2, empty.mid(0, n - 1)));
    const int boScore = t.server.slot(2).score;
    QCOMPARE(boScore, (n - 1) * n / 2 + 3 * (n - 1));
    for (int i = 0; i < n - 1; ++i)
        t.say(a, Msg::checkIt(1, {empty.at(i)}));
    QVERIFY(t.server.gameRunning);
    t.quiet();
    t.say(a, Msg::checkIt(1, {empty.last()}));
    QCOMPARE(t.server.slot(1).score, 4 * n);
    QVERIFY(!t.server.gameRunning);
    QCOMPARE(w->takeSent(), (QList<QByteArray>{"CMD_hisscore+1+" + QByteArray::number(4 * n) + "+4+",
                                               "CMD_winner+Bo+"}));
}

void TestTServer::stopsACheckAtAnUnreadableField()
{
    Table t;
    FakeConnection *a = t.player("Ann");
    t.say(a, Msg::startGame("Ann", 1, 1));
    const int before = t.server.slot(3).cellsFilled;
    const Cells empty = t.emptyCells();
    t.quiet();
    const Msg::Cell first = empty.at(0);
    t.say(a, Msg::checkIt(1, {first}) + "+" + QByteArray::number(empty.at(1).column) + "+x+5");
    // The first group is done; no answer is sent for the check.
    QCOMPARE(t.talkedTo(), 0);
    QCOMPARE(t.server.sharedBoard[first.column - 1][first.row - 1], first.digit);
    QCOMPARE(t.server.slot(3).cellsFilled, before + 1);
    QCOMPARE(t.errors, QStringList{"'x' is not a valid integer value"});
    // The next message is judged as usual.
    t.say(a, Msg::checkIt(1, {empty.at(1)}));
    QCOMPARE(a->sent.first(), QByteArray("CMD_checkresult+1+1+0+"));
}

void TestTServer::ignoresChecksFromWatchers()
{
    Table t;
    QList<FakeConnection *> c;
    for (int i = 1; i <= 6; ++i)
        c << t.player("P" + QByteArray::number(i));
    t.say(c[0], Msg::startGame("P1", 1, 1));
    t.quiet();
    const Msg::Cell cell = t.emptyCells().first();
    t.say(c[4], Msg::checkIt(5, {cell}));
    t.say(c[5], Msg::checkIt(6, {cell}));
    QCOMPARE(t.talkedTo(), 0);
    QCOMPARE(t.server.sharedBoard[cell.column - 1][cell.row - 1], 0);
}

void TestTServer::judgesNothingOutsideTheBoard()
{
    Table t;
    FakeConnection *a = t.player("Ann");
    t.quiet();
    // Before any game the solution is empty: a zero digit is still no right one.
    t.say(a, "CMD_checkit+1+1+1+0");
    QCOMPARE(a->takeSent(), (QList<QByteArray>{"CMD_checkresult+1+0+1+", "CMD_highliteit+1+1",
                                               "CMD_hisscore+1+0+0+"}));

    t.say(a, Msg::startGame("Ann", 1, 1));
    const Msg::Cell cell = t.emptyCells().first();
    t.quiet();
    // Off the board: wrong, and no box to name.
    t.say(a, "CMD_checkit+1+0+1+5+10+1+5+1+-1+5+1+10+5+2147483647+-2147483648+1");
    QCOMPARE(a->takeSent(), (QList<QByteArray>{"CMD_checkresult+1+0+5+", "CMD_hisscore+1+-15+-15+"}));
    // Digits outside 1-9 on the board: wrong, in their box.
    const QByteArray at = QByteArray::number(cell.column) + '+' + QByteArray::number(cell.row);
    t.say(a, "CMD_checkit+1+" + at + "+0+" + at + "+10+" + at + "+-" + QByteArray::number(cell.digit));
    QCOMPARE(a->takeSent(), (QList<QByteArray>{"CMD_checkresult+1+0+3+",
                                               "CMD_highliteit+1+" + QByteArray::number(boxOf(cell)),
                                               "CMD_hisscore+1+-24+-9+"}));
    QCOMPARE(t.server.sharedBoard[cell.column - 1][cell.row - 1], 0);
    // A group cut short stops at its missing field.
    t.say(a, "CMD_checkit+1+" + at);
    QCOMPARE(t.talkedTo(), 0);
    QCOMPARE(t.errors, QStringList{"'' is not a valid integer value"});
}

void TestTServer::keepsOutOfRangeSlotsOutOfTheTable()
{
    Table t;
    FakeConnection *a = t.player("Ann");
    t.quiet();
    for (const char *s : {"0", "-1", "10", "11", "12", "2147483647", "-2147483648"}) {
        const QByteArray n(s);
        t.say(a, "CMD_logininfo+" + n + "+1.0.2+X");
        t.say(a, "CMD_chat+" + n + "+hi|clRed");
        t.say(a, "CMD_action+" + n + "+hi|clRed");
        t.say(a, "CMD_playasound+" + n + "+wave1+");
        t.say(a, "CMD_checkit+" + n + "+1+1+1");
        t.say(a, "CMD_justwatch+" + n + "+2");
        t.say(a, "CMD_kickhim+" + n + "+1+");
    }
    QCOMPARE(t.talkedTo(), 0);
    QVERIFY(t.server.slot(1).inUse);
    QCOMPARE(t.server.slot(1).name, QByteArray("Ann"));
    QVERIFY(t.errors.isEmpty());
}

void TestTServer::closesAFloodingConnectionOnly()
{
    Table t;
    FakeConnection *a = t.player("Ann");
    FakeConnection *b = t.player("Bo");
    FakeConnection *c = t.player("Cy");
    t.quiet();

    // 256 waiting entries are allowed.
    QByteArray burst;
    for (int i = 0; i < TServer::MaxQueuedPerConnection; ++i)
        burst += FrameBuffer::frame("CMD_chat+2+" + QByteArray::number(i) + "|clRed");
    b->feed(burst);
    QCOMPARE(b->closeCount, 0);
    QCOMPARE(t.server.dispatcher().size(), TServer::MaxQueuedPerConnection);
    t.drain();
    QCOMPARE(a->sent.size(), TServer::MaxQueuedPerConnection);
    QCOMPARE(a->sent.last(), QByteArray("CMD_chat+Bo chats: 255|clRed"));
    t.quiet();

    // One more than that closes the connection; the others play on.
    c->feedMessage("CMD_chat+3+first|clRed");
    b->feed(burst + FrameBuffer::frame("CMD_chat+2+too many|clRed"));
    QCOMPARE(b->closeCount, 1);
    QVERIFY(!t.server.slot(2).inUse);
    QCOMPARE(a->takeSent(), QList<QByteArray>{"CMD_playerdisconnected+2+Bo"});
    a->feedMessage("CMD_chat+1+after|clRed");
    t.drain();
    // What the flooder had queued is dropped with it.
    QCOMPARE(a->takeSent(), (QList<QByteArray>{"CMD_chat+Cy chats: first|clRed",
                                               "CMD_chat+Ann chats: after|clRed"}));
    QCOMPARE(c->takeSent(), (QList<QByteArray>{"CMD_playerdisconnected+2+Bo",
                                               "CMD_chat+Cy chats: first|clRed",
                                               "CMD_chat+Ann chats: after|clRed"}));
    QVERIFY(b->sent.isEmpty());
    QCOMPARE(t.server.dispatcher().size(), 0);

    // The slot is free for the next player.
    QCOMPARE(t.connect()->sent, QList<QByteArray>{"CMD_sendlogininfo+2"});
}

void TestTServer::closesAConnectionWithOverlongText()
{
    Table t;
    // The longest name a login can carry, twice: the second gets a number.
    const QByteArray login = "CMD_logininfo+1++";
    const QByteArray longName(FrameBuffer::MaxMessage - 1 - login.size(), 'n');
    FakeConnection *a = t.connect();
    t.say(a, login + longName);
    FakeConnection *b = t.connect();
    t.say(b, "CMD_logininfo+2++" + longName);
    QCOMPARE(t.server.slot(2).name, longName + " (2)");
    t.quiet();

    // The longest chat line is relayed whole, and the relay, cut into the
    // reads a socket makes, never passes what a client keeps pending.
    const QByteArray head = "CMD_chat+2+";
    const QByteArray line = head + QByteArray(FrameBuffer::MaxMessage - 1 - head.size(), 'x');
    b->feedMessage(line);
    t.drain();
    QCOMPARE(a->sent.size(), 1);
    const QByteArray relay = FrameBuffer::frame(a->sent.first());
    QCOMPARE(relay.size(), qsizetype(strlen("CMD_chat+") + longName.size() + strlen(" (2) chats: "))
                               + line.size() - head.size() + 1);
    FrameBuffer client;
    for (qsizetype at = 0; at < relay.size(); at += TSock::ReadChunk) {
        QCOMPARE(client.append(relay.mid(at, TSock::ReadChunk)).size(), at + TSock::ReadChunk >= relay.size());
        QVERIFY(!client.overflowed());
    }
    t.quiet();

    // One byte more and the sender is let go; the others play on.
    b->feed(line + "x");
    QCOMPARE(b->closeCount, 1);
    QCOMPARE(a->takeSent(), QList<QByteArray>{"CMD_playerdisconnected+2+" + longName + " (2)"});
    t.say(a, "CMD_chat+1+still here|clRed");
    QCOMPARE(a->takeSent(), QList<QByteArray>{"CMD_chat+" + longName + " chats: still here|clRed"});
}

void TestTServer::dropsWhatAClosedConnectionLeftQueued()
{
    Table t;
    FakeConnection *a = t.player("Ann");
    FakeConnection *b = t.player("Bo");
    t.say(a, Msg::startGame("Ann", 1, 1));
    t.quiet();
    const Msg::Cell cell = t.emptyCells().first();
    b->feedMessage(Msg::checkIt(2, {cell}));
    b->feedMessage("CMD_chat+2+ghost|clRed");
    b->peerClose();
    // A newcomer takes the freed slot before the old entries come up.
    FakeConnection *next = t.connect();
    QCOMPARE(next->tag, 2);
    t.drain();
    QCOMPARE(t.server.sharedBoard[cell.column - 1][cell.row - 1], 0);
    QCOMPARE(a->takeSent(), QList<QByteArray>{"CMD_playerdisconnected+2+Bo"});
    QCOMPARE(next->takeSent(), QList<QByteArray>{"CMD_sendlogininfo+2"});
}

// ---- over real sockets ----

namespace {

// A client on a plain QTcpSocket that collects the host's messages.
struct Peer
{
    QTcpSocket socket;
    FrameBuffer frames;
    QList<QByteArray> got;

    void pump()
    {
        got += frames.append(socket.readAll());
    }
    void send(const QByteArray &text)
    {
        socket.write(FrameBuffer::frame(text));
    }
    bool heard(const QByteArray &text) const { return got.contains(text); }
};

// A peer that has connected to the host on the port and logged in as slot s.
std::unique_ptr<Peer> joined(quint16 port, int s, const QByteArray &name)
{
    auto peer = std::make_unique<Peer>();
    Peer *p = peer.get();
    QObject::connect(&p->socket, &QTcpSocket::readyRead, &p->socket, [p] { p->pump(); });
    p->socket.connectToHost(QHostAddress::LocalHost, port);
    if (!QTest::qWaitFor([p, s] { return p->heard(Msg::sendLoginInfo(s)); }, 5000))
        return nullptr;
    p->send(Msg::loginInfo(s, "1.0.2", name));
    if (!QTest::qWaitFor([p, s, name] { return p->heard(Msg::newPlayerInfo(s, name)); }, 5000))
        return nullptr;
    return peer;
}

Listener *socketListener(QObject *parent)
{
    return new TSockListener(parent);
}

// A host on loopback with a port of its own.
struct LoopbackHost
{
    TServer server;
    quint16 port = 0;
    LoopbackHost()
    {
        server.setPuzzleStore(&shippedPuzzles());
        server.setListenerFactory(socketListener);
        server.listen(0, Listener::Loopback);
        port = server.listener()->port();
    }
};

} // namespace

void TestTServer::playsOverLoopbackSockets()
{
    TServer server;
    server.setPuzzleStore(&shippedPuzzles());
    server.setListenerFactory([](QObject *parent) { return new TSockListener(parent); });
    server.listen(0);
    QVERIFY(server.listener());
    const quint16 port = server.listener()->port();
    QVERIFY(port != 0);

    const QList<QByteArray> names = {"Ann", "Bo", "Cy"};
    std::vector<std::unique_ptr<Peer>> peers;
    for (int i = 0; i < 3; ++i) {
        auto peer = std::make_unique<Peer>();
        Peer *p = peer.get();
        QObject::connect(&p->socket, &QTcpSocket::readyRead, &p->socket, [p] { p->pump(); });
        p->socket.connectToHost(QHostAddress::LocalHost, port);
        QTRY_COMPARE(p->got.size(), 1);
        QCOMPARE(p->got.first(), "CMD_sendlogininfo+" + QByteArray::number(i + 1));
        p->send(Msg::loginInfo(i + 1, "1.0.2", names[i]));
        QTRY_VERIFY(p->got.contains(Msg::newPlayerInfo(i + 1, names[i])));
        peers.push_back(std::move(peer));
    }
    for (auto &p : peers)
        QTRY_VERIFY2(p->got.size() == 4, p->got.join('\n').constData());
    QCOMPARE(peers[2]->got.mid(1), (QList<QByteArray>{"CMD_newplayerinfo+3+Cy", "CMD_existingplayers+1+Ann",
                                                      "CMD_existingplayers+2+Bo"}));
    for (auto &p : peers)
        p->got.clear();

    // Two messages in one write, and one cut in two writes.
    peers[1]->socket.write("CMD_chat+2+one|clRed\xFF" "CMD_chat+2+two|clRed\xFF" "CMD_chat+2+th");
    QTRY_COMPARE(peers[0]->got.size(), 2);
    peers[1]->socket.write("ree|clRed\xFF");
    QTRY_COMPARE(peers[0]->got.size(), 3);
    const QList<QByteArray> chats = {"CMD_chat+Bo chats: one|clRed", "CMD_chat+Bo chats: two|clRed",
                                     "CMD_chat+Bo chats: three|clRed"};
    QCOMPARE(peers[0]->got, chats);
    QTRY_COMPARE(peers[2]->got, chats);
    QTRY_COMPARE(peers[1]->got, chats);

    // A player who leaves is announced to the others; the dispatcher goes idle.
    peers[2]->socket.disconnectFromHost();
    QTRY_COMPARE(peers[0]->got.size(), 4);
    QCOMPARE(peers[0]->got.last(), QByteArray("CMD_playerdisconnected+3+Cy"));
    QTRY_VERIFY(!server.dispatcher().timerActive());

    // The host's removal closes the client's connection.
    peers[0]->send("CMD_kickhim+1+2+");
    QTRY_COMPARE(peers[1]->socket.state(), QAbstractSocket::UnconnectedState);
    QTRY_COMPARE(peers[0]->got.last(), QByteArray("CMD_playerdisconnected+2+Bo"));
}

void TestTServer::refusesOverlongMessagesHoweverTheyArrive_data()
{
    QTest::addColumn<int>("length"); // with its terminator
    QTest::addColumn<int>("piece");
    QTest::addColumn<bool>("terminated");
    for (int length : {70000, 98285, 140000}) {
        QTest::addRow("%d in one piece", length) << length << length << true;
        QTest::addRow("%d in 1000-byte pieces", length) << length << 1000 << true;
    }
    QTest::addRow("unended 140000 in 1000-byte pieces") << 140000 << 1000 << false;
}

void TestTServer::refusesOverlongMessagesHoweverTheyArrive()
{
    QFETCH(int, length);
    QFETCH(int, piece);
    QFETCH(bool, terminated);
    LoopbackHost host;
    auto ann = joined(host.port, 1, "Ann");
    auto bo = joined(host.port, 2, "Bo");
    QVERIFY(ann && bo);

    QByteArray wire = "CMD_chat+2+" + QByteArray(length - 1 - 11, 'x') + '\xFF';
    if (!terminated)
        wire.chop(1);
    for (qsizetype at = 0; at < wire.size() && bo->socket.state() == QAbstractSocket::ConnectedState;
         at += piece) {
        bo->socket.write(wire.mid(at, piece));
        bo->socket.flush();
        QCoreApplication::processEvents(); // the host takes this piece alone
    }
    QTRY_VERIFY(ann->heard("CMD_playerdisconnected+2+Bo"));
    QTRY_COMPARE(bo->socket.state(), QAbstractSocket::UnconnectedState);
    ann->send("CMD_chat+1+still here|clRed");
    QTRY_VERIFY(ann->heard("CMD_chat+Ann chats: still here|clRed"));
    for (const QByteArray &m : ann->got)
        QVERIFY(m.size() < 100);
}

namespace {

// A peer on a plain socket with a tiny receive buffer that it never reads.
int deafPeer(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    int small = 4096;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

void TestTServer::dropsAPeerThatNeverReads()
{
    LoopbackHost host;
    auto ann = joined(host.port, 1, "Ann");
    auto bo = joined(host.port, 2, "Bo");
    QVERIFY(ann && bo);
    const int cy = deafPeer(host.port);
    QVERIFY(cy >= 0);
    const QByteArray login = FrameBuffer::frame(Msg::loginInfo(3, "1.0.2", "Cy"));
    QCOMPARE(::send(cy, login.constData(), size_t(login.size()), 0), ssize_t(login.size()));
    QTRY_VERIFY(ann->heard(Msg::newPlayerInfo(3, "Cy")));

    // Ann talks at length; Cy hears it all and takes none of it.
    const QByteArray text(15000, 'x');
    int rounds = 0;
    while (!ann->heard("CMD_playerdisconnected+3+Cy") && rounds++ < 20) {
        ann->got.clear();
        for (int i = 0; i < 50; ++i)
            ann->send(Msg::chatLine(1, text, "clRed"));
        QTRY_VERIFY_WITH_TIMEOUT(ann->got.count("CMD_chat+Ann chats: " + text + "|clRed") == 50, 20000);
    }
    qInfo("Cy was let go after %d rounds of 50 chat lines", rounds);
    QVERIFY(ann->heard("CMD_playerdisconnected+3+Cy"));
    QVERIFY(!host.server.slot(3).inUse);
    ann->got.clear();
    bo->send("CMD_chat+2+still here|clRed");
    QTRY_VERIFY(ann->heard("CMD_chat+Bo chats: still here|clRed"));
    ::close(cy);
}

void TestTServer::takesFloodersInTurn()
{
    LoopbackHost host;
    auto ann = joined(host.port, 1, "Ann");
    QVERIFY(ann);
    std::vector<std::unique_ptr<Peer>> flooders;
    for (int s = 2; s <= 8; ++s) {
        flooders.push_back(joined(host.port, s, "F" + QByteArray::number(s)));
        QVERIFY(flooders.back());
    }
    // Each flooder fills its share of the queue with requests that do nothing.
    const int burst = TServer::MaxQueuedPerConnection - 6;
    for (int s = 2; s <= 8; ++s) {
        QByteArray wire;
        for (int i = 0; i < burst; ++i)
            wire += FrameBuffer::frame(Msg::justWatch(s, 3));
        flooders[size_t(s - 2)]->socket.write(wire);
    }
    QTRY_VERIFY(host.server.dispatcher().size() >= 7 * burst - 20);

    // A move from a player with nothing waiting goes before every backlog
    // (once the flooders' own first moves have gone): the game starts within
    // a tick or two, not after a turn of each flooder.
    const int arrived = host.server.dispatcher().size();
    QTRY_VERIFY(host.server.dispatcher().size() <= arrived - 10);
    const int flood = host.server.dispatcher().size();
    ann->send("CMD_startgame+Ann+1+1+");
    QElapsedTimer waiting;
    waiting.start();
    while (!host.server.gameRunning && waiting.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    QVERIFY(host.server.gameRunning);
    QVERIFY2(host.server.dispatcher().size() >= flood - 4,
             qPrintable(QStringLiteral("%1 of %2 left").arg(host.server.dispatcher().size()).arg(flood)));

    QElapsedTimer clock;
    clock.start();
    ann->send("CMD_chat+1+hello|clRed");
    QTRY_VERIFY_WITH_TIMEOUT(ann->heard("CMD_chat+Ann chats: hello|clRed"), 30000);
    const qint64 delay = clock.elapsed();
    qInfo("an honest chat behind seven flooders took %lld ms", delay);
    QVERIFY2(delay < 1000, qPrintable(QString::number(delay)));
    for (int s = 2; s <= 8; ++s)
        QVERIFY(host.server.slot(s).inUse);
}

void TestTServer::listensWhereItIsTold()
{
    LoopbackHost solo; // loopback only
    TServer hosted;
    hosted.setListenerFactory(socketListener);
    hosted.listen(0);
    for (auto [port, reachable] : {std::pair{solo.port, false}, std::pair{hosted.listener()->port(), true}}) {
        QTcpSocket other;
        other.connectToHost(QHostAddress(QStringLiteral("127.0.0.2")), port);
        QCOMPARE(other.waitForConnected(5000), reachable);
    }

    // A port someone else holds is named in the error, also when the host
    // listens in its own thread for a window in another.
    for (bool ownThread : {false, true}) {
        HostThread second;
        second.server().setListenerFactory(socketListener);
        if (ownThread)
            second.start();
        try {
            second.server().listen(solo.port, Listener::Loopback);
            QFAIL("listened on a taken port");
        } catch (const ESockException &e) {
            QCOMPARE(e.text(), QStringLiteral("Listen - Error Binding Socket\nAnother program, perhaps another "
                                              "game, is already using port %1.")
                                   .arg(solo.port));
        }
        QCOMPARE(second.server().listeningPort(), quint16(0));
    }
}

void TestTServer::answersWhileTheWindowThreadIsBusy()
{
    // The hosting player's window renders chat and boards on the thread that
    // runs this test; the host must read, judge and answer a check while that
    // thread is busy.
    HostThread host;
    host.server().setListenerFactory(socketListener);
    host.start();
    host.server().listen(0, Listener::Loopback);
    const quint16 port = host.server().listeningPort();
    QVERIFY(port != 0);

    std::atomic<bool> joined = false;
    std::atomic<bool> windowBusy = false;
    std::atomic<bool> answered = false;
    std::atomic<bool> done = false;
    QByteArray heard; // the player's side, read once it is done
    std::thread player([&] {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const timeval wait = {10, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        auto readUntil = [&](const QByteArray &text) {
            char buffer[4096];
            while (!heard.contains(text)) {
                const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
                if (n <= 0)
                    return false;
                heard.append(buffer, n);
            }
            return true;
        };
        const bool in = ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0
                        && readUntil(FrameBuffer::frame(Msg::sendLoginInfo(1)));
        joined = true;
        if (in) {
            while (!windowBusy)
                std::this_thread::yield();
            const QByteArray check = FrameBuffer::frame("CMD_checkit+1+5+5+0");
            if (::send(fd, check.constData(), size_t(check.size()), 0) == check.size()
                && readUntil(FrameBuffer::frame(Msg::checkResult(1, 0, 1))))
                answered = true;
        }
        ::close(fd);
        done = true;
    });

    QVERIFY(QTest::qWaitFor([&] { return joined.load(); }, 10000));
    // The window thread is busy until the answer comes, or for five seconds.
    QElapsedTimer busy;
    busy.start();
    windowBusy = true;
    while (!answered && !done && busy.elapsed() < 5000) {
    }
    const bool answeredWhileBusy = answered;
    const qint64 busyFor = busy.elapsed();
    const bool finished = QTest::qWaitFor([&] { return done.load(); }, 15000);
    player.join();
    QVERIFY(finished);
    QVERIFY2(answeredWhileBusy, heard.constData());
    qInfo("a check was answered %lld ms into the window's busy spell", busyFor);
}

QTEST_GUILESS_MAIN(TestTServer)
#include "test_tserver.moc"
