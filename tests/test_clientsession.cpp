// The main window's model driven by host messages and player input, with the
// texts compared exactly.
#include "client/boardaids.h"
#include "client/boardgeometry.h"
#include "client/clientsession.h"
#include "hostfeed.h"
#include "net/framebuffer.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

struct Recorder
{
    explicit Recorder(ClientSession &s)
    {
        QObject::connect(&s, &ClientSession::send, [this](const QByteArray &m) { sent.append(m); });
        QObject::connect(&s, &ClientSession::lineAdded, [this](const QString &l, quint32 c) {
            lines.append(l);
            colours.append(c);
        });
        QObject::connect(&s, &ClientSession::soundRequested, [this](const QString &n) { sounds.append(n); });
        QObject::connect(&s, &ClientSession::messageBox,
                         [this](const QString &t, bool) { boxes.append(t); });
        QObject::connect(&s, &ClientSession::errorText, [this](const QString &t) { errors.append(t); });
        QObject::connect(&s, &ClientSession::tallyGame, [this](const QString &t) { tally.append(t); });
    }
    QList<QByteArray> sent;
    QStringList lines;
    QList<quint32> colours;
    QStringList sounds;
    QStringList boxes;
    QStringList errors;
    QStringList tally;
};

// A logged-in player in the given seat, with a game of the given type running.
void seatedInGame(ClientSession &s, int seat, const char *gameType = "2")
{
    s.setMyName(QStringLiteral("Ann"));
    s.setLoginName(QStringLiteral("Ann"));
    feed(s, {qPrintable(QStringLiteral("CMD_sendlogininfo+%1").arg(seat)),
             qPrintable(QStringLiteral("CMD_newplayerinfo+%1+Ann").arg(seat)),
             qPrintable(QStringLiteral("CMD_startgame+Ann+%1+1+").arg(QLatin1String(gameType))),
             "CMD_theboard+1+1+1+5+2+2+6",
             qPrintable(QStringLiteral("CMD_nextplayer+%1+").arg(seat))});
}

} // namespace

class TestClientSession : public QObject
{
    Q_OBJECT

private slots:
    void loginAndRoster()
    {
        ClientSession s;
        Recorder r(s);
        s.setLoginName(QStringLiteral("Zoë+1"));
        feed(s, {"CMD_sendlogininfo+5"});
        QCOMPARE(s.state().mySeat, 5);
        QVERIFY(s.state().loggedIn);
        QCOMPARE(r.sent, QList<QByteArray>{QByteArray("CMD_logininfo+5+1.0.2+") + QString("Zoë+1").toUtf8()});

        QSignalSpy load(&s, &ClientSession::loadSettingsRequested);
        feed(s, {"CMD_existingplayers+1+Bob", "CMD_existingplayers+2+",
                 "CMD_newplayerinfo+5+Zo\xc3\xab+1"});
        QCOMPARE(r.lines, (QStringList{"Bob is Connected.", " is Connected.", "You are Connected.",
                                       "You are spying."}));
        QCOMPARE(load.count(), 1);
        QCOMPARE(s.state().seats[1].name, QStringLiteral("Bob"));
        QCOMPARE(s.state().seats[2].name, QString());
        QCOMPARE(s.state().spectators, QStringList{QStringLiteral("5: Zoë+1")});
        QCOMPARE(r.sounds, (QStringList{"entered", "entered", "entered"}));
        QVERIFY(r.colours.count(ClientSession::SystemColour) == r.colours.size());

        // A seat still waiting leaves no line; a watcher that leaves goes from the list.
        r.lines.clear();
        feed(s, {"CMD_playerdisconnected+3+Cy", "CMD_playerdisconnected+1+Bob",
                 "CMD_playerdisconnected+6+Nobody", "CMD_playerdisconnected+5+Zo\xc3\xab+1"});
        QCOMPARE(r.lines, (QStringList{"Bob disconnected.", "Zoë+1 has left."}));
        QCOMPARE(s.state().seats[1].name, QStringLiteral("<Waiting>"));
        QVERIFY(s.state().spectators.isEmpty());

        feed(s, {"CMD_havewrongversion+Cy", "CMD_wrongversion+"});
        QCOMPARE(r.lines.mid(2), (QStringList{"Cy has a different version of the game then you.",
                                              "You have a differnt version of the game then the host."}));
    }

    void aPlayerNamedWaitingIsAPlayer()
    {
        // The empty seat's text is only what its label shows: a player who
        // calls himself so still sits there.
        ClientSession s;
        Recorder r(s);
        s.setIsHost(true);
        feed(s,
             {"CMD_sendlogininfo+1", "CMD_newplayerinfo+1+Ann", "CMD_newplayerinfo+2+<Waiting>"});
        QVERIFY(s.seatMenuFor(2).remove);
        QVERIFY(!s.seatMenuFor(3).remove);
        r.lines.clear();
        feed(s, {"CMD_playerdisconnected+2+<Waiting>", "CMD_playerdisconnected+3+"});
        QCOMPARE(r.lines, QStringList{QStringLiteral("<Waiting> disconnected.")});
        QVERIFY(!s.seatMenuFor(2).remove);
        QCOMPARE(s.state().seats[2].name, QStringLiteral("<Waiting>"));
    }

    void justWatching()
    {
        ClientSession s;
        Recorder r(s);
        feed(s, {"CMD_sendlogininfo+2", "CMD_newplayerinfo+2+Ann"});
        r.lines.clear();
        feed(s, {"CMD_justwatching+6+1"});
        QVERIFY(r.lines.isEmpty());
        feed(s, {"CMD_justwatching+2+1"});
        QVERIFY(s.state().justWatchChecked);
        QVERIFY(s.state().seats[2].eyes);
        feed(s, {"CMD_justwatching+2+2"});
        QVERIFY(!s.state().justWatchChecked);
        QVERIFY(!s.state().seats[2].eyes);
        QCOMPARE(r.lines, (QStringList{"Ann is just watching", "Ann is now playing again"}));
        // The menu item asks; it changes nothing itself.
        s.justWatchClick();
        QCOMPARE(r.sent.last(), QByteArray("CMD_justwatch+2+1"));
        QVERIFY(!s.state().justWatchChecked);
    }

    void seatMenuAndKicking()
    {
        ClientSession s;
        Recorder r(s);
        feed(s, {"CMD_sendlogininfo+1", "CMD_newplayerinfo+2+Bob"});
        ClientSession::SeatMenu menu = s.seatMenuFor(3);
        QVERIFY(!menu.remove && !menu.setWatch && !menu.unsetWatch);
        s.setIsHost(true);
        menu = s.seatMenuFor(3);
        QVERIFY(!menu.remove && menu.setWatch && menu.unsetWatch);
        QVERIFY(s.seatMenuFor(2).remove);
        QVERIFY(!s.seatMenuFor(1).setWatch);
        s.kicking(2);
        s.seatMenuWatch(3, true);
        s.seatMenuWatch(7, true);
        QCOMPARE(r.sent.mid(1), (QList<QByteArray>{"CMD_kickhim+1+2+", "CMD_justwatch+3+1"}));
    }

    void runningGameState()
    {
        ClientSession s;
        feed(s, {"CMD_loadstats+3+2+t+15+0+-3+7+"});
        QCOMPARE(s.state().labelGametype, QStringLiteral("First to Complete"));
        QCOMPARE(s.state().labelScore, QStringLiteral("Squares Filled"));
        QCOMPARE(s.state().labelPuzzletype, QStringLiteral("Medium Puzzle"));
        QCOMPARE(s.state().labelTeamgame, QStringLiteral("TEAM GAME: ON"));
        QCOMPARE(s.state().seats[3].score, QStringLiteral("-3"));
        QVERIFY(s.state().gameInProgress);
        feed(s, {"CMD_loadstats+1+9+++++++"});
        QCOMPARE(s.state().labelGametype, QStringLiteral("Score and Show"));
        QCOMPARE(s.state().labelScore, QStringLiteral("Points"));
        QCOMPARE(s.state().labelPuzzletype, QStringLiteral("Easy Puzzle"));
        QCOMPARE(s.state().labelTeamgame, QStringLiteral("GOOD LUCK!"));
    }

    void gameStartBoardAndTurn()
    {
        ClientSession s;
        Recorder r(s);
        s.setMyName(QStringLiteral("Ann"));
        feed(s, {"CMD_sendlogininfo+2", "CMD_newplayerinfo+2+Ann", "CMD_startgame+Bob+2+3+"});
        QCOMPARE(r.lines.last(), QStringLiteral("Bob has started a Score and Hide game."));
        QCOMPARE(s.state().labelPuzzletype, QStringLiteral("Hard Puzzle"));
        QCOMPARE(s.state().labelLeft, QString());
        QVERIFY(s.state().gameInProgress);

        // 30 givens leave 51 empty squares.
        QByteArray board = "CMD_theboard+2";
        for (int k = 0; k < 30; ++k)
            board += "+" + QByteArray::number(k % 9 + 1) + "+" + QByteArray::number(k / 9 + 1) + "+"
                     + QByteArray::number(k % 9 + 1);
        feed(s, {board.constData()});
        QCOMPARE(s.state().labelLeft, QStringLiteral("Empty Squares: 51"));
        QCOMPARE(s.state().board.cell(3, 1).value, 12);

        feed(s, {"CMD_nextplayer+2+"});
        QCOMPARE(s.state().labelStatus, QStringLiteral("Your Turn."));
        QCOMPARE(r.sounds.last(), QStringLiteral("turn"));
        QVERIFY(s.clockRunning());
        for (int i = 0; i < 75; ++i)
            s.turntimeTimer();
        QCOMPARE(s.state().labelTimer, QStringLiteral("GAME TIME: 1:15"));
        QCOMPARE(r.sounds.count(QStringLiteral("time")), 12);

        // A watcher's turn message names its own slot: counted as seat 1.
        s.setTurnSound(1);
        feed(s, {"CMD_nextplayer+7+"});
        QCOMPARE(s.state().turnSeat, 1);
        QCOMPARE(s.state().labelStatus, QStringLiteral("Play Has Begun."));
        QCOMPARE(r.sounds.last(), QStringLiteral("filled"));
        QCOMPARE(s.state().turnSeconds, 0);
    }

    void judgedDigits()
    {
        ClientSession s;
        seatedInGame(s, 2, "1");
        QCOMPARE(s.state().filledCount, 2);
        // An unchecked digit of this player over a pencil mark.
        s.input().boardMouseUp(Qt::RightButton, 175, 175);
        s.input().image_pencilMouseUp(5, 32);
        QCOMPARE(s.state().board.cell(4, 4).pencil[3], 3);
        s.input().typeDigit(7);
        QCOMPARE(s.state().board.cell(4, 4).value, 7);
        feed(s, {"CMD_correct+2+4+4+7+0+5+5+1+0", "CMD_correct+3+1+1+5+1+6+6+2+0+4+4+7+1"});
        QCOMPARE(s.state().board.cell(4, 4).value, 7 + 9); // confirmed then re-reported: locked red
        QCOMPARE(s.state().board.cell(5, 5).value, 1 + 27);
        QCOMPARE(s.state().board.cell(1, 1).value, 5 + 9);
        QCOMPARE(s.state().board.cell(6, 6).value, 2 + 18);
        QCOMPARE(s.state().board.cell(4, 4).pencil[3], 0);
        QCOMPARE(s.state().filledCount, 5);
        QCOMPARE(s.state().labelLeft, QStringLiteral("Empty Squares: 76"));
    }

    void checkResultsScoresAndPenalty()
    {
        ClientSession s;
        Recorder r(s);
        seatedInGame(s, 2, "3");
        feed(s, {"CMD_checkresult+3+1+1+"});
        QCOMPARE(s.state().labelStatus, QStringLiteral("Your Turn."));
        feed(s, {"CMD_checkresult+2+5+2+", "CMD_highliteit+2+4+9+12"});
        QCOMPARE(s.state().labelStatus, QStringLiteral("5 CORRECT 2 MISPLACED"));
        QCOMPARE(r.sounds.last(), QStringLiteral("wrong"));
        QVERIFY(s.state().panelPenaltyVisible);
        QCOMPARE(s.state().board.boxHighlight[4], 1);
        QCOMPARE(s.state().board.boxHighlight[9], 1);
        QCOMPARE(s.state().board.boxHighlight[1], 0);
        for (int i = 0; i < 4; ++i)
            s.turntimeTimer();
        QVERIFY(s.state().panelPenaltyVisible);
        s.turntimeTimer();
        QVERIFY(!s.state().panelPenaltyVisible);

        feed(s, {"CMD_hisscore+1+3+3+", "CMD_hisscore+2+14+-3+"});
        QCOMPARE(s.state().seats[2].score, QStringLiteral("14"));
        QCOMPARE(s.state().seats[2].bonus, QStringLiteral("-3"));
        QCOMPARE(s.state().seats[1].bonus, QString());
        feed(s, {"CMD_hisscore+1+8+5+", "CMD_hisscore+9+8+5+"});
        QCOMPARE(s.state().seats[1].bonus, QStringLiteral("+5"));

        // In a score game a misplaced digit costs points, not a penalty.
        ClientSession hide;
        seatedInGame(hide, 2, "2");
        feed(hide, {"CMD_checkresult+2+0+2+"});
        QVERIFY(!hide.state().panelPenaltyVisible);
    }

    void winnerAndTally()
    {
        ClientSession s;
        Recorder r(s);
        seatedInGame(s, 2);
        s.setIsHost(true);
        feed(s, {"CMD_winner+Ann and Bob+"});
        QCOMPARE(s.state().winnerText, QStringLiteral("Ann and Bob has Won the Game!"));
        QCOMPARE(r.lines.last(), s.state().winnerText);
        QCOMPARE(r.tally, QStringList{QStringLiteral("Ann and Bob")});
        QVERIFY(s.state().panelWinnerVisible && s.state().buttonStartVisible && !s.state().gameInProgress);
        feed(s, {"CMD_startgame+Ann+2+1+", "CMD_winner+Ann+"});
        QCOMPARE(s.state().winnerText, QStringLiteral("You have Won the Game!"));
        QCOMPARE(r.tally.last(), QStringLiteral("addtomine"));

        ClientSession watcher;
        Recorder w(watcher);
        seatedInGame(watcher, 6);
        feed(watcher, {"CMD_winner+Ann+"});
        QCOMPARE(watcher.state().winnerText, QStringLiteral("Ann has Won the Game!"));
        QVERIFY(w.tally.isEmpty());
    }

    void theHostNamesThisPlayer()
    {
        // Two players logged in as Bob; the host renamed the second one's seat.
        ClientSession s;
        Recorder r(s);
        s.setMyName(QStringLiteral("Bob"));
        s.setLoginName(QStringLiteral("Bob"));
        feed(s, {"CMD_sendlogininfo+2", "CMD_existingplayers+1+Bob", "CMD_newplayerinfo+2+Bob (2)",
                 "CMD_startgame+Bob+2+1+", "CMD_nextplayer+2+"});
        QCOMPARE(s.state().myName, QStringLiteral("Bob (2)"));
        QCOMPARE(s.state().loginName, QStringLiteral("Bob")); // what was sent at login stays
        QCOMPARE(s.state().labelStatus, QStringLiteral("Your Turn."));
        feed(s, {"CMD_winner+Bob+"});
        QCOMPARE(s.state().winnerText, QStringLiteral("Bob has Won the Game!"));
        QCOMPARE(r.tally, QStringList{QStringLiteral("Bob")});
        feed(s, {"CMD_startgame+Bob+2+1+", "CMD_winner+Bob (2)+"});
        QCOMPARE(s.state().winnerText, QStringLiteral("You have Won the Game!"));
        QCOMPARE(r.tally.last(), QStringLiteral("addtomine"));
        // Another seat's announcement never renames this player.
        feed(s, {"CMD_newplayerinfo+3+Cy"});
        QCOMPARE(s.state().myName, QStringLiteral("Bob (2)"));
    }

    void aGameIsTalliedOnce()
    {
        // A winner announced again, or one for a game this window never saw
        // start, adds nothing; a late joiner's catch-up counts as the start.
        struct Case
        {
            const char *name;
            QList<const char *> messages;
            QStringList tally;
        };
        const QList<Case> cases = {
            {"repeated winner", {"CMD_startgame+Ann+2+1+", "CMD_winner+Bob+", "CMD_winner+Bob+", "CMD_winner+Ann+"},
             {"Bob"}},
            {"no start seen", {"CMD_winner+Bob+", "CMD_winner+Bob+"}, {}},
            {"late joiner", {"CMD_loadstats+2+1++0+0+0+0+", "CMD_winner+Ann+", "CMD_winner+Ann+"}, {"addtomine"}},
            {"next game counts", {"CMD_startgame+Ann+2+1+", "CMD_winner+Bob+", "CMD_startgame+Ann+2+1+",
                                  "CMD_winner+Ann+"}, {"Bob", "addtomine"}},
        };
        for (const Case &c : cases) {
            ClientSession s;
            Recorder r(s);
            s.setMyName(QStringLiteral("Ann"));
            s.setLoginName(QStringLiteral("Ann"));
            feed(s, {"CMD_sendlogininfo+2", "CMD_newplayerinfo+2+Ann"});
            for (const char *m : c.messages)
                feed(s, {m});
            QVERIFY2(r.tally == c.tally, c.name);
        }
    }

    void thePenaltyBlocksBoardInput()
    {
        ClientSession s;
        Recorder r(s);
        seatedInGame(s, 2, "3");
        s.input().boardMouseUp(Qt::LeftButton, 160, 160); // column 4, row 4
        s.input().typeDigit(6);
        feed(s, {"CMD_checkresult+2+0+1+"});
        QVERIFY(s.state().panelPenaltyVisible);
        QVERIFY(!s.state().imageSelectVisible && !s.state().editFillVisible);
        const BoardState before = s.state().board;
        r.sent.clear();
        const int soundsBefore = r.sounds.size();
        s.input().moveSelection(1, 0);
        s.input().typeDigit(7);
        s.input().boardMouseUp(Qt::LeftButton, 260, 260);
        s.input().boardMouseUp(Qt::RightButton, 370, 30);
        s.input().image_selectMouseUp(40, 40);
        s.input().image_pencilMouseUp(20, 30);
        s.input().edit_fillChange(QStringLiteral("8"));
        s.input().button_checkClick();
        s.input().button_clearClick();
        QVERIFY(!s.state().imageSelectVisible && !s.state().imagePencilVisible && !s.state().editFillVisible);
        QCOMPARE(s.state().board.selectedColumn, before.selectedColumn);
        QCOMPARE(s.state().board.selectedRow, before.selectedRow);
        for (int c = 1; c <= 9; ++c)
            for (int r2 = 1; r2 <= 9; ++r2)
                QCOMPARE(s.state().board.cell(c, r2).value, before.cells[c][r2].value);
        QVERIFY(r.sent.isEmpty());
        QCOMPARE(r.sounds.size(), soundsBefore);
        // Once the picture goes the board answers again.
        for (int i = 0; i < 5; ++i)
            s.turntimeTimer();
        QVERIFY(!s.state().panelPenaltyVisible);
        s.input().boardMouseUp(Qt::LeftButton, 260, 260);
        s.input().typeDigit(7);
        QCOMPARE(s.state().board.cell(6, 6).value, 7);
    }

    void aHostileHostStaysBounded()
    {
        ClientSession s;
        Recorder r(s);
        seatedInGame(s, 2);
        // Watchers live in the host's five slots, 5 to 9: one entry per slot,
        // a slot announced again replaces its entry, any other number is refused.
        QSignalSpy added(&s, &ClientSession::spectatorAdded);
        QSignalSpy removed(&s, &ClientSession::spectatorRemoved);
        QByteArray flood;
        for (int i = 0; i < 20000; ++i)
            flood += FrameBuffer::frame("CMD_newplayerinfo+" + QByteArray::number(5 + i % 7) + "+W"
                                        + QByteArray::number(i));
        s.received(flood);
        while (s.dispatcher().dispatchOne()) {
        }
        QCOMPARE(s.state().spectators.size(), 5);
        QCOMPARE(s.state().spectators.last(), QStringLiteral("5: W19999"));
        QCOMPARE(added.count() - removed.count(), 5);
        feed(s, {"CMD_playerdisconnected+9+W19996"});
        QCOMPARE(s.state().spectators.size(), 4);
        QCOMPARE(removed.last().value(0).toString(), QStringLiteral("9: W19996"));

        // No count of empty squares leaves 0..81, however often a cell is named.
        QByteArray board = "CMD_theboard+1";
        for (int i = 0; i < 10000; ++i)
            board += "+1+1+5";
        feed(s, {board.constData()});
        QCOMPARE(s.state().labelLeft, QStringLiteral("Empty Squares: 79")); // (2,2) was already given
        for (int i = 0; i < 200; ++i)
            feed(s, {"CMD_correct+2+3+3+4+0", "CMD_correct+1+3+3+4+1"});
        QCOMPARE(s.state().labelLeft, QStringLiteral("Empty Squares: 78"));
        QCOMPARE(s.state().filledCount, 3);
        // A check result no board can give is refused.
        const QString status = s.state().labelStatus;
        feed(s,
             {"CMD_checkresult+2+99999+0+", "CMD_checkresult+2+3+-1+", "CMD_checkresult+2+0+82+"});
        QCOMPARE(s.state().labelStatus, status);
        QVERIFY(!s.state().panelPenaltyVisible);
    }

    void badHostInputIsContained()
    {
        ClientSession s;
        Recorder r(s);
        seatedInGame(s, 2);
        // A field that is no number ends that handler only.
        feed(s, {"CMD_hisscore+x+1+1+", "CMD_hisscore+2+7+1+"});
        QCOMPARE(r.errors, QStringList{QStringLiteral("'x' is not a valid integer value")});
        QCOMPARE(s.state().seats[2].score, QStringLiteral("7"));
        // Seats, cells, digits and boxes out of range never index anything.
        feed(s, {"CMD_newplayerinfo+-4+X", "CMD_justwatching+0+1", "CMD_theboard+1+0+10+3+10+1+99",
                 "CMD_correct+2+-1+5+5+0+3+3+0+0", "CMD_highliteit+2+0+10+-2147483648",
                 "CMD_checkresult+2+99999+0+", "CMD_playerdisconnected+2147483647+a"});
        QCOMPARE(s.state().board.cell(3, 3).value, 0);
        // Unknown and wrongly written names are dropped.
        const int linesBefore = r.lines.size();
        feed(s, {"cmd_chat+x|clRed", "CMD_full", "", "CMD_nothing+1"});
        QCOMPARE(r.lines.size(), linesBefore);
        // A host that floods, or never ends its message, loses this player.
        QSignalSpy closing(&s, &ClientSession::closeRequested);
        s.received(QByteArray(ClientSession::MaxQueued, '\xff'));
        QCOMPARE(closing.count(), 0);
        s.received(QByteArray(2, '\xff'));
        QCOMPARE(closing.count(), 1);
        while (s.dispatcher().dispatchOne()) {
        }
        s.received(QByteArray(70 * 1024, 'x'));
        QCOMPARE(closing.count(), 2);
    }

    void chatReceivedAndSent()
    {
        ClientSession s;
        Recorder r(s);
        feed(s, {"CMD_chat+Ann chats: hi|clBlue", "CMD_action+Ann says: a|b|clRed",
                 "CMD_chat+no colour", "CMD_chat+x|$00FF0000"});
        QCOMPARE(r.lines, (QStringList{"Ann chats: hi", "Ann says: a", "no colour", "x"}));
        QCOMPARE(r.colours, (QList<quint32>{0xFF0000, 0x0000FF, 0x0000FF, 0xFF0000}));

        QVERIFY(!s.sendit(QStringLiteral("early"), 0, 0)); // not logged in: kept
        feed(s, {"CMD_sendlogininfo+3"});
        r.sent.clear();
        QVERIFY(s.sendit(QStringLiteral("hi+|"), 0x000000, 0x0000FF));
        QVERIFY(s.sendit(QStringLiteral("/me waves"), 0x000000, 0x0000FF));
        QVERIFY(s.sendit(QStringLiteral("/ME shouts"), 0x000000, 0x0000FF));
        QVERIFY(s.sendit(QStringLiteral("/me"), 0x000000, 0x123456));
        QCOMPARE(r.sent, (QList<QByteArray>{"CMD_chat+3+hi+||clBlack", "CMD_action+3+waves|clRed",
                                            "CMD_action+3+|$00123456"}));

        r.sent.clear();
        s.sendPhrase(QStringLiteral("Good One!"), 0);
        s.sendPhrase(QStringLiteral("Thanks!"), 0); // locked for two seconds
        QCOMPARE(r.sent, QList<QByteArray>{"CMD_action+3+says: Good One!|clBlack"});
    }

    void chatterSounds()
    {
        ClientSession s;
        Recorder r(s);
        seatedInGame(s, 2);
        s.sendChatterSound(0);
        s.sendChatterSound(17);
        QCOMPARE(r.sent.last(), QByteArray("CMD_playasound+2+wave17+"));
        s.setPlaySounds(false);
        s.setPlayChatterSounds(true);
        feed(s, {"CMD_playasound+2+wave17+"});
        QCOMPARE(r.sounds.last(), QStringLiteral("wave17"));
        s.setPlayChatterSounds(false);
        feed(s,
             {"CMD_playasound+2+wave17+", "CMD_playasound+6+wave3+", "CMD_playasound+2+wave99+"});
        QCOMPARE(r.lines.last(), QStringLiteral("Ann: <Chatter Sound> Cheer"));
        QCOMPARE(r.colours.last(), ClientSession::SystemColour);

        ClientSession watcher;
        Recorder w(watcher);
        seatedInGame(watcher, 5);
        watcher.sendChatterSound(3);
        QVERIFY(w.sent.size() == 1); // only the login
    }

    void clickingOnTheBoard()
    {
        ClientSession s;
        Recorder r(s);
        feed(s, {"CMD_sendlogininfo+2"});
        s.input().boardMouseUp(Qt::LeftButton, 30, 30); // before a game: nothing opens
        QVERIFY(!s.state().imageSelectVisible && s.state().board.selectedColumn == 0);

        seatedInGame(s, 2);
        QCOMPARE(BoardInput::columnAt(52), 1);
        QCOMPARE(BoardInput::columnAt(53), 2);
        QCOMPARE(BoardInput::rowAt(453), 9);
        QCOMPARE(BoardInput::rowAt(454), 0);

        s.input().boardMouseUp(Qt::LeftButton, 380, 420); // column 8, row 9
        QVERIFY(s.state().imageSelectVisible);
        QCOMPARE(s.state().imageSelectPos, QPoint(380 - 60 + 10, 420 - 140 + 10));
        s.input().image_selectMouseUp(40, 40); // right column, second row: digit 4
        QCOMPARE(s.state().board.cell(8, 9).value, 4);
        QVERIFY(s.state().buttonCheckVisible && s.state().buttonClearVisible);
        QCOMPARE(r.sounds.last(), QStringLiteral("putnum"));

        // The same digit again does nothing, not even a sound.
        s.input().boardMouseUp(Qt::LeftButton, 380, 420);
        const int soundsBefore = r.sounds.size();
        s.input().image_selectMouseUp(40, 40);
        QCOMPARE(r.sounds.size(), soundsBefore);

        // Right click on a cell with a digit opens nothing; on an empty one the pencil strip.
        s.input().boardMouseUp(Qt::RightButton, 380, 420);
        QVERIFY(!s.state().imagePencilVisible);
        s.input().boardMouseUp(Qt::RightButton, 370, 30); // column 8, row 1
        QCOMPARE(s.state().imagePencilPos, QPoint(370 - 35 + 10, 30 + 3 + 10));
        s.input().image_pencilMouseUp(20, 30); // right column, row 1: mark 4
        QCOMPARE(s.state().board.cell(8, 1).pencil[4], 4);
        s.input().boardMouseUp(Qt::RightButton, 370, 30);
        s.input().image_pencilMouseUp(20, 30);
        QCOMPARE(s.state().board.cell(8, 1).pencil[4], 0);
        s.input().boardMouseUp(Qt::RightButton, 370, 30);
        s.input().image_pencilMouseUp(0, 0);
        s.input().boardMouseUp(Qt::RightButton, 370, 30);
        s.input().image_pencilMouseUp(0, 140); // the pencil's tip chooses nothing
        QCOMPARE(s.state().board.cell(8, 1).pencil[1], 1);
        s.input().boardMouseUp(Qt::RightButton, 370, 30);
        s.input().image_pencilMouseUp(20, 110); // the eraser
        QCOMPARE(s.state().board.cell(8, 1).pencil[1], 0);
        QCOMPARE(r.sounds.last(), QStringLiteral("pencil"));

        // A given cannot be changed.
        s.input().boardMouseUp(Qt::LeftButton, 10, 10);
        s.input().image_selectMouseUp(0, 0);
        QCOMPARE(s.state().board.cell(1, 1).value, 14);

        // Check sends the unchecked digits column by column; clear removes them.
        s.input().boardMouseUp(Qt::LeftButton, 75, 320);
        s.input().typeDigit(4);
        s.input().boardMouseUp(Qt::LeftButton, 225, 25);
        s.input().typeDigit(9);
        r.sent.clear();
        s.input().button_checkClick();
        QCOMPARE(r.sent, QList<QByteArray>{"CMD_checkit+2+2+7+4+5+1+9+8+9+4"});
        s.input().button_clearClick();
        QCOMPARE(s.state().board.cell(2, 7).value, 0);
        QCOMPARE(s.state().board.cell(1, 1).value, 14);
        r.sent.clear();
        s.input().button_checkClick();
        QVERIFY(r.sent.isEmpty());
    }

    void stripChoices_data()
    {
        // Where a release on a strip lands: the number strip's rows are 28
        // pixels high and its columns 29 wide, the pencil strip's 27 and 16;
        // each strip's last row ends at pixel 139. 0 is the eraser, -1 nothing.
        QTest::addColumn<bool>("pencil");
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<int>("choice");
        QTest::newRow("number: last left pixel") << false << QPoint(28, 0) << 1;
        QTest::newRow("number: first right pixel") << false << QPoint(29, 0) << 2;
        QTest::newRow("number: last row pixel of 1") << false << QPoint(0, 27) << 1;
        QTest::newRow("number: first row pixel of 3") << false << QPoint(0, 28) << 3;
        QTest::newRow("number: bottom pixel row") << false << QPoint(0, 139) << 9;
        QTest::newRow("number: below the strip") << false << QPoint(0, 140) << -1;
        QTest::newRow("pencil: last left pixel") << true << QPoint(15, 0) << 1;
        QTest::newRow("pencil: first right pixel") << true << QPoint(16, 0) << 2;
        QTest::newRow("pencil: first row pixel of 3") << true << QPoint(0, 27) << 3;
        QTest::newRow("pencil: bottom pixel row") << true << QPoint(0, 139) << 9;
    }

    void stripChoices()
    {
        QFETCH(bool, pencil);
        QFETCH(QPoint, at);
        QFETCH(int, choice);
        ClientSession s;
        seatedInGame(s, 2);
        const auto &cell = s.state().board.cell(8, 9);
        s.input().boardMouseUp(pencil ? Qt::RightButton : Qt::LeftButton, 380, 420);
        if (pencil) {
            s.input().image_pencilMouseUp(at.x(), at.y());
            for (int d = 1; d <= 9; ++d)
                QCOMPARE(cell.pencil[d], d == choice ? d : 0);
        } else {
            s.input().image_selectMouseUp(at.x(), at.y());
            QCOMPARE(cell.value, qMax(choice, 0));
        }
    }

    void typingMode()
    {
        ClientSession s;
        Recorder r(s);
        seatedInGame(s, 2);
        s.input().setSelectMode(1);
        s.input().boardMouseUp(Qt::LeftButton, 160, 160); // column 4, row 4
        QVERIFY(s.state().editFillVisible);
        QCOMPARE(s.state().editFillPos, QPoint(161, 159));
        s.input().edit_fillChange(QStringLiteral("x"));
        QCOMPARE(r.boxes, QStringList{QStringLiteral("HAHA")});
        s.input().boardMouseUp(Qt::LeftButton, 160, 160);
        s.input().edit_fillChange(QStringLiteral("12"));
        QCOMPARE(s.state().board.cell(4, 4).value, 0);
        s.input().boardMouseUp(Qt::LeftButton, 160, 160);
        s.input().edit_fillChange(QStringLiteral("7"));
        QCOMPARE(s.state().board.cell(4, 4).value, 7);
        s.input().boardMouseUp(Qt::LeftButton, 160, 160);
        s.input().edit_fillChange(QStringLiteral("0"));
        QCOMPARE(s.state().board.cell(4, 4).value, 0);

        // The keyboard plays the selected cell too.
        s.input().moveSelection(1, 0);
        s.input().typeDigit(5);
        QCOMPARE(s.state().board.cell(5, 4).value, 5);
        s.input().moveSelection(-9, -9);
        s.input().typeDigit(3); // a given stays
        QCOMPARE(s.state().board.cell(1, 1).value, 14);

        // A watcher's click hides the buttons and opens nothing.
        // (A player who typed a digit and was then given a watcher's slot.)
        ClientSession w;
        seatedInGame(w, 2);
        w.input().boardMouseUp(Qt::LeftButton, 125, 125);
        w.input().typeDigit(4);
        QVERIFY(w.state().buttonCheckVisible);
        feed(w, {"CMD_sendlogininfo+5"});
        w.input().boardMouseUp(Qt::LeftButton, 160, 160);
        QVERIFY(!w.state().buttonCheckVisible && !w.state().imageSelectVisible);
    }

    // The board's keys, in both modes: what each key does to the session.
    void boardKeys()
    {
        QCOMPARE(BoardInput::digitOfKey(Qt::Key_5, 0), 5);
        QCOMPARE(BoardInput::digitOfKey(Qt::Key_Percent, 0), 5); // Shift+5, US layout
        QCOMPARE(BoardInput::digitOfKey(Qt::Key_ParenRight, 0), 0);
        QCOMPARE(BoardInput::digitOfKey(Qt::Key_section, 15), 6); // another layout's Shift+6
        QCOMPARE(BoardInput::digitOfKey(Qt::Key_A, 38), -1);

        ClientSession s;
        Recorder r(s);
        seatedInGame(s, 2);
        BoardInput &in = s.input();
        const BoardState &b = s.state().board;
        auto key = [&](int k, Qt::KeyboardModifiers m = Qt::NoModifier, const QString &text = {}) {
            return in.keyPress(k, m, BoardInput::digitOfKey(k, 0), text);
        };

        // The arrows stop at the edges.
        key(Qt::Key_Down);
        QCOMPARE(QPoint(b.selectedColumn, b.selectedRow), QPoint(1, 1));
        key(Qt::Key_Left);
        key(Qt::Key_Up);
        QCOMPARE(QPoint(b.selectedColumn, b.selectedRow), QPoint(1, 1));
        for (int i = 0; i < 12; ++i) {
            key(Qt::Key_Right);
            key(Qt::Key_Down);
        }
        QCOMPARE(QPoint(b.selectedColumn, b.selectedRow), QPoint(9, 9));

        // Ctrl+digit and Shift+digit toggle a mark of an empty cell only.
        key(Qt::Key_5, Qt::ControlModifier);
        QCOMPARE(b.cell(9, 9).pencil[5], 5);
        key(Qt::Key_Percent, Qt::ShiftModifier, QStringLiteral("%"));
        QCOMPARE(b.cell(9, 9).pencil[5], 0);
        QCOMPARE(b.cell(9, 9).value, 0);
        key(Qt::Key_3);
        QCOMPARE(b.cell(9, 9).value, 3);
        key(Qt::Key_4, Qt::ControlModifier);
        QCOMPARE(b.cell(9, 9).pencil[4], 0);
        key(Qt::Key_Backspace);
        QCOMPARE(b.cell(9, 9).value, 0);

        // Space opens the mode's chooser at the selected cell; Escape closes it.
        QVERIFY(!key(Qt::Key_Escape));
        key(Qt::Key_Space);
        QVERIFY(s.state().imageSelectVisible);
        QCOMPARE(QPoint(b.selectedColumn, b.selectedRow), QPoint(9, 9));
        QVERIFY(key(Qt::Key_Escape));
        QVERIFY(!s.state().imageSelectVisible);

        // Only a letter, only in Typing mode, gets "HAHA".
        QVERIFY(!key(Qt::Key_X, Qt::NoModifier, QStringLiteral("x")));
        in.setSelectMode(1);
        key(Qt::Key_Right);
        key(Qt::Key_Space);
        QVERIFY(s.state().editFillVisible);
        QCOMPARE(QPoint(b.selectedColumn, b.selectedRow), QPoint(9, 9));
        QVERIFY(key(Qt::Key_Escape));
        QVERIFY(!s.state().editFillVisible && s.state().editFillText.isEmpty());
        key(Qt::Key_Comma, Qt::NoModifier, QStringLiteral(","));
        key(Qt::Key_X, Qt::ControlModifier, QStringLiteral("\x18"));
        QVERIFY(r.boxes.isEmpty());
        QVERIFY(key(Qt::Key_X, Qt::NoModifier, QStringLiteral("x")));
        QCOMPARE(r.boxes, QStringList{QStringLiteral("HAHA")});

        // Return checks.
        key(Qt::Key_7);
        key(Qt::Key_Return);
        QCOMPARE(r.sent.last(), QByteArray("CMD_checkit+2+9+9+7"));
        // After the check the first arrow comes back to the same cell.
        QCOMPARE(b.selectedColumn, 0);
        key(Qt::Key_Left);
        QCOMPARE(QPoint(b.selectedColumn, b.selectedRow), QPoint(9, 9));
    }

    // What the aids mark on a board: one row per kind of neighbour.
    void highlightAndConflicts_data()
    {
        QTest::addColumn<QList<QPoint>>("player"); // (column*10 + row, digit) of the player's digits
        QTest::addColumn<QPoint>("selected");
        QTest::addColumn<int>("highlighted");
        QTest::addColumn<QList<QPoint>>("conflicting"); // columns and rows
        // The board holds the givens 5 at (1,1) and 6 at (2,2).
        QTest::newRow("no selection") << QList<QPoint>{} << QPoint(0, 0) << 0 << QList<QPoint>{};
        QTest::newRow("empty cell: row, column, box")
            << QList<QPoint>{} << QPoint(5, 5) << 21 << QList<QPoint>{};
        QTest::newRow("a given draws its twins")
            << QList<QPoint>{{48, 5}} << QPoint(1, 1) << 22 << QList<QPoint>{};
        QTest::newRow("same row as a given")
            << QList<QPoint>{{71, 5}} << QPoint(0, 0) << 0 << QList<QPoint>{{7, 1}};
        QTest::newRow("same column as a given")
            << QList<QPoint>{{28, 6}} << QPoint(0, 0) << 0 << QList<QPoint>{{2, 8}};
        QTest::newRow("same box, two of the player's")
            << QList<QPoint>{{44, 3}, {66, 3}} << QPoint(0, 0) << 0 << QList<QPoint>{{4, 4}, {6, 6}};
        QTest::newRow("box of a given")
            << QList<QPoint>{{33, 5}} << QPoint(0, 0) << 0 << QList<QPoint>{{3, 3}};
        QTest::newRow("apart: no conflict")
            << QList<QPoint>{{45, 3}, {78, 3}, {99, 5}} << QPoint(0, 0) << 0 << QList<QPoint>{};
    }

    void highlightAndConflicts()
    {
        QFETCH(QList<QPoint>, player);
        QFETCH(QPoint, selected);
        QFETCH(int, highlighted);
        QFETCH(QList<QPoint>, conflicting);
        ClientSession s;
        seatedInGame(s, 2);
        for (const QPoint &p : player) {
            s.input().moveSelection(0, 0);
            s.input().moveSelection(p.x() / 10 - s.state().board.selectedColumn,
                                    p.x() % 10 - s.state().board.selectedRow);
            s.input().typeDigit(p.y());
        }
        BoardState board = s.state().board;
        board.selectedColumn = selected.x();
        board.selectedRow = selected.y();
        const BoardAids::CellSet lit = BoardAids::highlight(board);
        QCOMPARE(lit.count(), highlighted);
        if (highlighted)
            QVERIFY(lit.has(selected.x(), selected.y()) && lit.has(9, selected.y()) && lit.has(selected.x(), 9));
        const BoardAids::CellSet red = BoardAids::conflicts(board);
        QList<QPoint> got;
        for (int c = 1; c <= 9; ++c) {
            for (int r = 1; r <= 9; ++r) {
                if (red.has(c, r))
                    got.append(QPoint(c, r));
            }
        }
        QCOMPARE(got, conflicting);
    }

    // A digit entered any way takes its mark off the cells it sees.
    void pencilCleanUp()
    {
        for (int way = 0; way < 4; ++way) {
            ClientSession s;
            seatedInGame(s, 2, "3");
            BoardInput &in = s.input();
            in.aids.pencilCleanup = way != 3;
            const QPoint marked[4] = {{4, 9}, {9, 4}, {5, 5}, {6, 7}}; // column, row, box, apart
            for (const QPoint &m : marked) {
                in.boardMouseUp(Qt::RightButton, BoardGeometry::cellOrigin(m.x(), m.y()).x() + 5,
                                BoardGeometry::cellOrigin(m.x(), m.y()).y() + 5);
                in.togglePencil(7);
            }
            s.setPlaySounds(false);
            const QPoint at = BoardGeometry::cellOrigin(4, 4) + QPoint(5, 5);
            if (way == 0) {
                in.boardMouseUp(Qt::LeftButton, at.x(), at.y());
                in.image_selectMouseUp(5, 5 + 3 * 28); // 7
            } else if (way == 1) {
                in.setSelectMode(1);
                in.boardMouseUp(Qt::LeftButton, at.x(), at.y());
                in.edit_fillChange(QStringLiteral("7"));
            } else {
                in.boardMouseUp(Qt::LeftButton, at.x(), at.y());
                in.typeDigit(7);
            }
            const BoardState &b = s.state().board;
            QCOMPARE(b.cell(4, 4).value, 7);
            const bool kept = way == 3;
            QCOMPARE(b.cell(4, 9).pencil[7] != 0, kept);
            QCOMPARE(b.cell(9, 4).pencil[7] != 0, kept);
            QCOMPARE(b.cell(5, 5).pencil[7] != 0, kept);
            QCOMPARE(b.cell(6, 7).pencil[7], 7);
        }
    }

    // Undo and redo walk the player's own steps since the last check, never
    // a given or a judged digit.
    void undoAndRedo()
    {
        ClientSession s;
        Recorder r(s);
        seatedInGame(s, 2);
        BoardInput &in = s.input();
        const BoardState &b = s.state().board;
        in.moveSelection(0, 0);
        in.moveSelection(2, 2); // (3,3)
        in.typeDigit(3);
        in.moveSelection(1, 1); // (4,4)
        in.togglePencil(4);
        in.typeDigit(4); // covers the mark, cleans nothing else
        in.undo();
        QCOMPARE(b.cell(4, 4).value, 0);
        QCOMPARE(b.cell(4, 4).pencil[4], 4);
        in.undo();
        QCOMPARE(b.cell(4, 4).pencil[4], 0);
        in.undo();
        QCOMPARE(b.cell(3, 3).value, 0);
        in.undo(); // nothing left: the givens stay
        QCOMPARE(b.cell(1, 1).value, 14);
        in.redo();
        in.redo();
        QCOMPARE(b.cell(3, 3).value, 3);
        QCOMPARE(b.cell(4, 4).pencil[4], 4);

        // Clear is a step too.
        in.button_clearClick();
        QCOMPARE(b.cell(3, 3).value, 0);
        in.undo();
        QCOMPARE(b.cell(3, 3).value, 3);

        // A check ends the history; the host's answer is never undone.
        in.button_checkClick();
        QCOMPARE(r.sent.last(), QByteArray("CMD_checkit+2+3+3+3"));
        feed(s, {"CMD_correct+2+3+3+3+0"});
        in.undo();
        QCOMPARE(b.cell(3, 3).value, 30);
        QCOMPARE(b.cell(4, 4).pencil[4], 4); // a mark from before the check stays
        in.moveSelection(0, 0); // back at (4,4)
        in.moveSelection(-1, -1);
        in.typeDigit(8); // (3,3) is confirmed: nothing happens
        QCOMPARE(b.cell(3, 3).value, 30);
        in.moveSelection(1, 0);
        in.typeDigit(8);
        feed(s, {"CMD_correct+3+5+5+9+0"}); // another player fills a cell meanwhile
        in.undo();
        QCOMPARE(b.cell(4, 3).value, 0);
        QCOMPARE(b.cell(5, 5).value, 27);
        in.redo();
        QCOMPARE(b.cell(4, 3).value, 8);
        in.undo();

        // With the aid off, and in a new game, nothing is redone.
        in.aids.undo = false;
        in.redo();
        QCOMPARE(b.cell(4, 3).value, 0);
        in.aids.undo = true;
        feed(s, {"CMD_startgame+Ann+2+1+", "CMD_nextplayer+2+"});
        in.moveSelection(0, 0);
        in.redo();
        QCOMPARE(b.cell(4, 3).value, 0);
        QVERIFY(!in.history().canUndo() && !in.history().canRedo());
    }
};

QTEST_GUILESS_MAIN(TestClientSession)
#include "test_clientsession.moc"
