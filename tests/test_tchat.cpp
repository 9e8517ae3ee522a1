// The main window: launch modes, the real widgets driven at their places, a
// solo game over a real loopback connection, and the closing rules.
#include "app/settings.h"
#include "app/soundplayer.h"
#include "base/gamedefaults.h"
#include "client/hostlink.h"
#include "fakeconnection.h"
#include "host/puzzlestore.h"
#include "host/tserver.h"
#include "hostfeed.h"
#include "net/tsock.h"
#include "windows/chatview.h"
#include "windows/tabout.h"
#include "windows/tchat.h"
#include "windows/tdownload.h"
#include "windows/tgamestart.h"
#include "windows/thelp.h"
#include "windows/tphrases.h"
#include "windows/tspylist.h"
#include "windows/ttallylist.h"

#include <QMessageBox>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QMenu>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextBlock>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The windows a launch uses, with a host that listens on a free port.
struct Rig
{
    Rig()
    {
        settings = dir.filePath(QStringLiteral("brenviklobby.ini"));
        chat.settingsPath = settings;
        chat.link().gamePort = 0;
        chat.link().lobbyPort = 9001;
        puzzles.loadResource();
        server.setPuzzleStore(&puzzles);
        server.setListenerFactory([](QObject *parent) { return new TSockListener(parent); });
        chat.setWindows({nullptr, &about, &download, &gamestart, nullptr, &phrases, &server, &spylist});
    }
    QLabel *label(const QString &name) { return chat.findChild<QLabel *>(name); }
    QWidget *widget(const QString &name) { return chat.findChild<QWidget *>(name); }
    // Launches the window as "Cy", joining a host on this machine's port,
    // with no lobby to link to.
    void joinHostAt(quint16 port)
    {
        chat.link().gamePort = port;
        chat.link().connector = [](TSock &sock, const QString &host, quint16 to) {
            if (to == Game::LobbyLinkPort)
                return;
            sock.setHostName(host);
            sock.setPortName(QString::number(to));
            sock.open();
        };
        chat.setLaunchParameters({QStringLiteral("Cy"), QStringLiteral("127.0.0.1"), QStringLiteral("false")});
    }

    QTemporaryDir dir;
    QString settings;
    PuzzleStore puzzles;
    TServer server;
    Tabout about;
    Tdownload download;
    Tgamestart gamestart;
    Tphrases phrases;
    Tspylist spylist;
    Tchat chat;
};

// A window that builds its other windows on first use, as the game does.
struct LazyRig
{
    LazyRig()
    {
        chat.settingsPath = dir.filePath(QStringLiteral("brenviklobby.ini"));
        chat.link().gamePort = 0;
        chat.link().lobbyPort = 9001;
        puzzles.loadResource();
        server.setPuzzleStore(&puzzles);
        server.setListenerFactory([](QObject *parent) { return new TSockListener(parent); });
        Tchat::Windows windows;
        windows.server = &server;
        chat.setWindows(windows, Tchat::Missing::BuildOnFirstUse);
    }
    QTemporaryDir dir;
    PuzzleStore puzzles;
    TServer server;
    Tchat chat;
};

// The top-level window of that object name, if one exists.
QWidget *topLevel(const QString &name)
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == name)
            return widget;
    }
    return nullptr;
}

} // namespace

class TestTchat : public QObject
{
    Q_OBJECT

private slots:
    void soloGameOverLoopback()
    {
        Rig rig;
        rig.chat.show();
        QVERIFY(rig.download.isVisible());
        QVERIFY(rig.chat.chatView()->toPlainText().startsWith(QStringLiteral("Loading Solo Game..Please wait.")));
        ClientSession &s = rig.chat.session();
        QTRY_VERIFY(s.state().loggedIn);
        // Nobody from the network reaches a solo game.
        QCOMPARE(static_cast<TSockListener *>(rig.server.listener())->address(), QHostAddress(QHostAddress::LocalHost));
        QTRY_COMPARE(rig.label(QStringLiteral("label_playername1"))->text(), QStringLiteral("You"));
        QTRY_VERIFY(rig.chat.chatView()->toPlainText().contains(QStringLiteral("You are Connected.")));
        QVERIFY(rig.widget(QStringLiteral("button_start"))->isVisible());
        QVERIFY(rig.chat.rememberedBounds().has_value());

        // Start Game, Hard, First To Complete.
        QTest::mouseClick(rig.widget(QStringLiteral("button_start")), Qt::LeftButton);
        QVERIFY(rig.gamestart.isVisible());
        rig.gamestart.image_1Click(3);
        rig.gamestart.image_puzzletype1Click(3);
        QTest::mouseClick(rig.gamestart.findChild<QWidget *>(QStringLiteral("button_start")), Qt::LeftButton);
        QVERIFY(!rig.gamestart.isVisible());
        QTRY_COMPARE(s.state().labelStatus, QStringLiteral("Your Turn."));
        QCOMPARE(rig.label(QStringLiteral("label_status"))->text(), QStringLiteral("Your Turn."));
        QCOMPARE(rig.label(QStringLiteral("label_puzzletype"))->text(), QStringLiteral("Hard Puzzle"));
        QCOMPARE(rig.server.gameType, 3);

        // Without stored settings the player types; the first half of the board
        // is typed into the typing box, the rest chosen on the number strip.
        QCOMPARE(s.state().selectMode, 1);
        const int empties = 81 - s.state().filledCount;
        QPoint lastEmpty;
        QWidget *board = rig.widget(QStringLiteral("board"));
        QWidget *strip = rig.widget(QStringLiteral("image_select"));
        const int xs[9] = {20, 70, 120, 170, 220, 270, 320, 370, 420};
        const int ys[9] = {20, 70, 120, 170, 220, 270, 320, 370, 420};
        for (int c = 1; c <= 9; ++c) {
            for (int r = 1; r <= 9; ++r) {
                if (s.state().board.cell(c, r).value != 0)
                    continue;
                lastEmpty = QPoint(c, r);
                if (c == 5 && s.state().selectMode == 1)
                    rig.chat.findChild<QAction *>(QStringLiteral("Clicking1"))->trigger();
                QTest::mouseClick(board, Qt::LeftButton, {}, QPoint(xs[c - 1], ys[r - 1]));
                const int d = rig.server.solution[c - 1][r - 1];
                if (s.state().selectMode == 1) {
                    auto *fill = rig.chat.findChild<QLineEdit *>(QStringLiteral("edit_fill"));
                    QVERIFY(fill->isVisible());
                    QTest::keyClicks(fill, QString::number(d));
                } else {
                    QVERIFY(strip->isVisible());
                    const QPoint at((d % 2 == 1) ? 10 : 40, ((d - 1) / 2) * 28 + 10);
                    QTest::mouseClick(strip, Qt::LeftButton, {}, at);
                }
                QCOMPARE(s.state().board.cell(c, r).value, d);
            }
        }
        QTest::mouseClick(rig.widget(QStringLiteral("button_check")), Qt::LeftButton);
        QTRY_VERIFY(s.state().panelWinnerVisible);
        QCOMPARE(s.state().labelStatus, QStringLiteral("%1 CORRECT 0 MISPLACED").arg(empties));
        QVERIFY(rig.widget(QStringLiteral("panel_winner"))->isVisible());
        QCOMPARE(rig.label(QStringLiteral("label_winner1"))->text(), QStringLiteral("You have Won the Game!"));
        QCOMPARE(s.state().board.cell(lastEmpty.x(), lastEmpty.y()).value,
                 rig.server.solution[lastEmpty.x() - 1][lastEmpty.y() - 1] + 27);
        QCOMPARE(s.state().labelLeft, QStringLiteral("Empty Squares: 0"));
        QVERIFY(rig.widget(QStringLiteral("button_start"))->isVisible());
    }

    void penaltyPictureIsDecodedWhenFirstShown()
    {
        // Only a penalty shows the picture, so the window's start does not
        // decode it.
        Rig rig;
        QLabel *picture = rig.label(QStringLiteral("image_penalty"));
        QVERIFY(picture);
        QVERIFY(picture->pixmap().isNull());
        rig.chat.session().setMyName(QStringLiteral("Ann"));
        rig.chat.session().setLoginName(QStringLiteral("Ann"));
        feed(rig.chat.session(), {"CMD_sendlogininfo+2", "CMD_newplayerinfo+2+Ann", "CMD_startgame+Ann+3+1+",
                                  "CMD_theboard+1+1+1+5+2+2+6", "CMD_nextplayer+2+"});
        QVERIFY(picture->pixmap().isNull());
        feed(rig.chat.session(), {"CMD_checkresult+2+5+2+"});
        QTRY_VERIFY(rig.widget(QStringLiteral("panel_penalty"))->isVisibleTo(&rig.chat));
        QCOMPARE(picture->pixmap().size(), QSize(438, 440));
        qDeleteAll(rig.chat.findChildren<QMessageBox *>()); // no host answers the login
    }

    void tallyListsTheOtherPlayers()
    {
        // The player is not in his own tally list; a player named as the
        // empty seat's label is.
        Rig rig;
        Ttallylist tally(rig.dir.filePath(QStringLiteral("tally.tld")));
        rig.chat.setWindows({&tally, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr});
        rig.chat.session().setMyName(QStringLiteral("You"));
        feed(rig.chat.session(), {"CMD_sendlogininfo+3", "CMD_newplayerinfo+3+You",
                                  "CMD_newplayerinfo+1+<Waiting>", "CMD_newplayerinfo+2+Bob"});
        rig.chat.findChild<QAction *>(QStringLiteral("ViewTally1"))->trigger();
        auto *list = tally.findChild<QListWidget *>(QStringLiteral("checklist"));
        QStringList names;
        for (int i = 0; i < list->count(); ++i)
            names.append(list->item(i)->text());
        QCOMPARE(names, (QStringList{QStringLiteral("<Waiting>"), QStringLiteral("Bob")}));
        qDeleteAll(rig.chat.findChildren<QMessageBox *>()); // no host answers the login
    }

    void colourDialogs_data()
    {
        QTest::addColumn<QString>("item");
        QTest::newRow("text colour") << QStringLiteral("TextColor1");
        QTest::newRow("action colour") << QStringLiteral("ActionColor1");
    }

    void colourDialogs()
    {
        // A chosen colour is stored (the text colour also colours the input);
        // a cancelled dialog keeps the colour there was.
        QFETCH(QString, item);
        const bool text = item == QLatin1String("TextColor1");
        Rig rig;
        rig.chat.loadinifile();
        auto *input = rig.chat.findChild<QLineEdit *>(QStringLiteral("mychat"));
        const auto choose = [&](const QColor &colour, bool accept) {
            rig.chat.findChild<QAction *>(item)->trigger();
            QColorDialog *dialog = nullptr;
            QTRY_VERIFY((dialog = rig.chat.findChild<QColorDialog *>()) != nullptr);
            dialog->setCurrentColor(colour);
            if (accept)
                dialog->accept();
            else
                dialog->reject();
            QTRY_VERIFY(rig.chat.findChild<QColorDialog *>() == nullptr);
        };
        const auto stored = [&rig, text] {
            Settings s;
            s.load(rig.settings);
            return text ? s.textColor : s.actionColor;
        };
        choose(Qt::red, true);
        QCOMPARE(stored(), 0x0000FFu);
        if (text)
            QCOMPARE(input->palette().color(QPalette::Text), QColor(Qt::red));
        choose(Qt::blue, false);
        QCOMPARE(stored(), 0x0000FFu);
        if (text)
            QCOMPARE(input->palette().color(QPalette::Text), QColor(Qt::red));
    }

    void helpKeyAndStatusLines()
    {
        // F1 is the Help menu's Content item and opens the help.
        Thelp help;
        Rig rig;
        rig.chat.setWindows({nullptr, nullptr, nullptr, nullptr, &help, nullptr, nullptr, nullptr});
        auto *content = rig.chat.findChild<QAction *>(QStringLiteral("Help2"));
        QVERIFY(content->associatedObjects().size() == 1);
        QCOMPARE(qobject_cast<QMenu *>(content->associatedObjects().first())->title(), QStringLiteral("&Help"));
        rig.chat.show();
        rig.chat.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&rig.chat));
        QTest::keyClick(&rig.chat, Qt::Key_F1);
        QTRY_VERIFY(help.isVisible());

        // The two status lines hide under the Start Game button.
        ClientSession &s = rig.chat.session();
        for (const bool start : {true, false, true}) {
            s.showStartGame(start);
            rig.chat.refresh();
            QCOMPARE(rig.widget(QStringLiteral("button_start"))->isVisible(), start);
            QCOMPARE(rig.label(QStringLiteral("label_status"))->isVisible(), !start);
            QCOMPARE(rig.label(QStringLiteral("label_left"))->isVisible(), !start);
        }
    }

    void generatingNoticeCountsItsDots()
    {
        Rig rig;
        feed(rig.chat.session(), {"CMD_generating+"});
        QVERIFY(rig.widget(QStringLiteral("panel_generating"))->isVisibleTo(&rig.chat));
        ClientSession &s = rig.chat.session();
        for (const int dots : {1, 2, 3, 4, 5, 6, 1}) {
            s.turntimeTimer();
            const QString text = QStringLiteral("Generating Puzzle. Please Wait") + QString(dots, QLatin1Char('.'));
            QCOMPARE(rig.label(QStringLiteral("label_generating"))->text(), text);
            QCOMPARE(rig.label(QStringLiteral("label_generating2"))->text(), text);
        }
        feed(rig.chat.session(), {"CMD_nextplayer+1+"});
        QVERIFY(!rig.widget(QStringLiteral("panel_generating"))->isVisibleTo(&rig.chat));
    }

    void arrowKeysMoveTheSelection()
    {
        // The first arrow selects the top-left cell; the selection stays on the board.
        Rig rig;
        ClientSession &s = rig.chat.session();
        s.setMyName(QStringLiteral("You"));
        feed(rig.chat.session(), {"CMD_sendlogininfo+1", "CMD_newplayerinfo+1+You",
                                  "CMD_startgame+You+2+1+", "CMD_nextplayer+1+"});
        QWidget *board = rig.widget(QStringLiteral("board"));
        const struct
        {
            Qt::Key key;
            QPoint selected;
        } steps[] = {{Qt::Key_Down, {1, 1}}, {Qt::Key_Right, {2, 1}}, {Qt::Key_Down, {2, 2}},
                     {Qt::Key_Left, {1, 2}},  {Qt::Key_Up, {1, 1}},    {Qt::Key_Up, {1, 1}},
                     {Qt::Key_Left, {1, 1}}};
        for (const auto &step : steps) {
            QTest::keyClick(board, step.key);
            QCOMPARE(QPoint(s.state().board.selectedColumn, s.state().board.selectedRow), step.selected);
        }
        for (int i = 0; i < 10; ++i) {
            QTest::keyClick(board, Qt::Key_Right);
            QTest::keyClick(board, Qt::Key_Down);
        }
        QCOMPARE(QPoint(s.state().board.selectedColumn, s.state().board.selectedRow), QPoint(9, 9));
        qDeleteAll(rig.chat.findChildren<QMessageBox *>());
    }

    void optionMenusAndSounds()
    {
        struct Recording : SoundOutput
        {
            void play(const QString &clip) override { played.append(clip); }
            QStringList played;
        } sounds;
        Rig rig;
        rig.chat.setSoundOutput(&sounds);
        ClientSession &s = rig.chat.session();
        auto item = [&rig](const char *name) { return rig.chat.findChild<QAction *>(QLatin1String(name)); };
        // Before and after the settings load the check marks tell what plays.
        for (const bool loaded : {false, true}) {
            if (loaded)
                rig.chat.loadinifile();
            QCOMPARE(item("PlaySounds1")->isChecked(), s.state().playSounds);
            QCOMPARE(item("PlayChatterSounds1")->isChecked(), s.state().playChatterSounds);
        }
        QVERIFY(s.state().playSounds && s.state().playChatterSounds); // a missing key turns chatter on
        item("PlaySounds1")->trigger();
        item("New1")->trigger();
        item("Clicking1")->trigger();
        item("N12")->trigger();
        Settings stored;
        QVERIFY(stored.load(rig.settings));
        QVERIFY(!stored.playSounds);
        QCOMPARE(stored.turnSound, Settings::TurnSound::New);
        QCOMPARE(stored.select, Settings::SelectMode::Clicking);
        QCOMPARE(stored.textSize, 12);
        QVERIFY(item("N8")->isChecked()); // choosing a size does not move the mark
        QVERIFY(!item("N12")->isChecked());

        // With Play Sounds off game events are silent; chatter still plays.
        s.setMyName(QStringLiteral("You"));
        feed(s, {"CMD_sendlogininfo+1", "CMD_newplayerinfo+1+You", "CMD_startgame+You+2+1+",
                 "CMD_nextplayer+1+", "CMD_playasound+1+wave3+"});
        QCOMPARE(sounds.played, QStringList{QStringLiteral("wave3")});
        item("PlaySounds1")->trigger();
        feed(s, {"CMD_nextplayer+1+"});
        QCOMPARE(sounds.played.last(), QStringLiteral("turnnew"));
    }

    void hostIsAskedAndJoinerIsToldWhenTheGameEnds()
    {
        // The hosting window, with a joiner seated.
        Rig rig;
        rig.chat.link().addressSource = [] { return QList<QHostAddress>(); };
        rig.chat.setLaunchParameters({QStringLiteral("Ann"), QStringLiteral("x"), QStringLiteral("true")});
        QSignalSpy hostClosed(&rig.chat, &Tchat::closed);
        rig.chat.show();
        QTRY_VERIFY(rig.chat.session().state().loggedIn);
        Rig joiner;
        joiner.joinHostAt(rig.server.listener()->port());
        QSignalSpy joinerClosed(&joiner.chat, &Tchat::closed);
        joiner.chat.show();
        QTRY_VERIFY(rig.chat.session().state().seats[2].occupied);

        const auto question = [&rig] { return rig.chat.findChild<QMessageBox *>(); };
        rig.chat.close();
        QVERIFY(question());
        QCOMPARE(question()->text(), QStringLiteral("Other players are still in the game. If you close it, the game "
                                                    "ends for them too. Close it?"));
        question()->button(QMessageBox::No)->click();
        QVERIFY(rig.chat.isVisible());
        QCOMPARE(hostClosed.size(), 0);
        QTRY_VERIFY(!question()); // the answered box is gone
        rig.chat.close();
        QTRY_VERIFY(question());
        question()->button(QMessageBox::Yes)->click();
        QCOMPARE(hostClosed.size(), 1);
    }

    void joinerIsToldTheHostClosedTheGame()
    {
        auto server = std::make_unique<TServer>();
        server->setListenerFactory([](QObject *parent) { return new TSockListener(parent); });
        server->listen(0, Listener::AnyAddress);
        Rig joiner;
        joiner.joinHostAt(server->listener()->port());
        QSignalSpy joinerClosed(&joiner.chat, &Tchat::closed);
        joiner.chat.show();
        QTRY_VERIFY(joiner.chat.session().state().loggedIn);
        server.reset();

        // The joiner reads why before its window goes.
        QMessageBox *box = nullptr;
        QTRY_VERIFY((box = joiner.chat.findChild<QMessageBox *>()) != nullptr);
        QCOMPARE(box->text(), QStringLiteral("The host has closed the game."));
        QVERIFY(joiner.chat.isVisible());
        QCOMPARE(joinerClosed.size(), 0);
        box->button(QMessageBox::Ok)->click();
        QCOMPARE(joinerClosed.size(), 1);
    }

    void refusedPlayerReadsGameIsFull()
    {
        Rig rig;
        rig.server.listen(0);
        FakeConnection seated[9];
        for (FakeConnection &c : seated)
            rig.server.admit(&c);
        rig.joinHostAt(rig.server.listener()->port());
        QSignalSpy hostClosed(&rig.chat.link(), &HostLink::hostClosed);
        rig.chat.show();
        QMessageBox *box = nullptr;
        QTRY_VERIFY((box = rig.chat.findChild<QMessageBox *>()) != nullptr);
        QCOMPARE(box->text(), QStringLiteral("Game is full"));
        QTRY_COMPARE(hostClosed.size(), 1);
        QVERIFY(rig.chat.isVisible()); // the window waits for the player to read it
        box->accept();
        QTRY_VERIFY(!rig.chat.isVisible());
    }

    void chatInputIsBounded()
    {
        Rig rig;
        auto *input = rig.chat.findChild<QLineEdit *>(QStringLiteral("mychat"));
        QCOMPARE(input->maxLength(), ClientSession::MaxChatInput);
        QCOMPARE(ClientSession::MaxChatInput, 4000);
        QGuiApplication::clipboard()->setText(QString(10000, QLatin1Char('x')));
        rig.chat.findChild<QAction *>(QStringLiteral("Paste1"))->trigger();
        QCOMPARE(input->text().size(), 4000);
    }

    void peerTextIsShownAsText()
    {
        Rig rig;
        const QByteArray markup = "<h1>Big</h1><a href=\"http://127.0.0.1/\">link</a>";
        rig.chat.session().setMyName(QStringLiteral("You"));
        feed(rig.chat.session(),
             {"CMD_sendlogininfo+1", "CMD_newplayerinfo+1+You", "CMD_newplayerinfo+2+" + markup,
              "CMD_startgame+" + markup + "+2+1+", "CMD_hisscore+2+" + markup + "+1+",
              "CMD_winner+" + markup + "+"});
        rig.chat.refresh();
        QCOMPARE(rig.label(QStringLiteral("label_playername2"))->text(), QString::fromUtf8(markup));
        QCOMPARE(rig.label(QStringLiteral("label_score2"))->text(), QString::fromUtf8(markup));
        // Every label of the window draws its text as it is.
        // (No host listens here: the login reply's failed send opened a box.)
        qDeleteAll(rig.chat.findChildren<QMessageBox *>());
        for (QLabel *label : rig.chat.findChildren<QLabel *>())
            QVERIFY2(label->textFormat() == Qt::PlainText, qPrintable(label->objectName()));

        // A bad number field from a peer reaches the error box as text.
        feed(rig.chat.session(), {"CMD_hisscore+" + markup + "+1+1+"});
        QMessageBox *box = nullptr;
        QTRY_VERIFY((box = rig.chat.findChild<QMessageBox *>()) != nullptr);
        QCOMPARE(box->text(), QStringLiteral("'%1' is not a valid integer value").arg(QString::fromUtf8(markup)));
        QCOMPARE(box->textFormat(), Qt::PlainText);
    }

    void chatLinesLeaveTheBoardUnpainted()
    {
        Rig rig;
        rig.chat.session().setMyName(QStringLiteral("You"));
        feed(rig.chat.session(),
             {"CMD_sendlogininfo+1", "CMD_newplayerinfo+1+You", "CMD_newplayerinfo+2+Bo"});
        qDeleteAll(rig.chat.findChildren<QMessageBox *>()); // no host answers the login
        rig.chat.show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.chat));
        QWidget *board = rig.widget(QStringLiteral("board"));
        QVERIFY(board);
        struct PaintCounter : QObject {
            int paints = 0;
            bool eventFilter(QObject *, QEvent *e) override
            {
                if (e->type() == QEvent::Paint || e->type() == QEvent::UpdateRequest)
                    ++paints;
                return false;
            }
        } counter;
        QCoreApplication::processEvents();
        board->installEventFilter(&counter);

        // Relayed chat and action lines reach the chat view and leave the board alone.
        for (int i = 0; i < 40; ++i)
            feed(rig.chat.session(), {"CMD_chat+Bo: line " + QByteArray::number(i) + "|clBlack",
                                      "CMD_action+Bo waves|clRed"});
        QTRY_VERIFY(rig.chat.chatView()->toPlainText().contains(QStringLiteral("Bo: line 38\nBo waves\nBo: line 39\nBo waves")));
        QCOMPARE(counter.paints, 0);

        // A change of the board still paints it, and so does switching an aid
        // that changes how the same board is drawn.
        feed(rig.chat.session(), {"CMD_highliteit+1+5"});
        QTRY_VERIFY(counter.paints > 0);
        for (const char *aid : {"Highlight1", "Conflicts1"}) {
            QCoreApplication::processEvents();
            counter.paints = 0;
            auto *item = rig.chat.findChild<QAction *>(QLatin1String(aid));
            QVERIFY2(item, aid);
            item->trigger();
            QTRY_VERIFY2(counter.paints > 0, aid);
        }
    }

    void aFloodingHostBuriesNothing()
    {
        Rig rig;
        QTcpServer fake;
        QVERIFY(fake.listen(QHostAddress::LocalHost, 0));
        rig.joinHostAt(fake.serverPort());
        rig.chat.show();
        QTRY_VERIFY(fake.hasPendingConnections());
        QTcpSocket *peer = fake.nextPendingConnection();

        // The client takes one message a millisecond, so the flood is kept to
        // a size the suite can wait for; SUDOKU_FLOOD=10 gives the full-size
        // flood of 2,000 boxes and 20,000 watchers.
        const int scale = std::max(1, qEnvironmentVariableIntValue("SUDOKU_FLOOD"));
        QByteArray flood;
        for (int i = 0; i < 200 * scale; ++i)
            flood += FrameBuffer::frame("CMD_full+");
        for (int i = 0; i < 2000 * scale; ++i)
            flood += FrameBuffer::frame("CMD_newplayerinfo+" + QByteArray::number(5 + i % 7) + "+W"
                                        + QByteArray::number(i));
        flood += FrameBuffer::frame("CMD_chat+END|clRed");
        peer->write(flood);

        // The window keeps turning its event loop while it works through the
        // flood: a call posted now runs long before the flood is handled.
        bool turned = false;
        QMetaObject::invokeMethod(&rig.chat, [&turned] { turned = true; }, Qt::QueuedConnection);
        QTRY_VERIFY(turned);
        QTRY_VERIFY_WITH_TIMEOUT(rig.chat.chatView()->document()->lastBlock().text() == QLatin1String("END"),
                                 150000);
        QCOMPARE(rig.chat.findChildren<QMessageBox *>().size(), 1);
        QCOMPARE(rig.chat.findChild<QMessageBox *>()->text(), QStringLiteral("Game is full"));
        QCOMPARE(rig.chat.findChild<QMessageBox *>()->textFormat(), Qt::PlainText);
        QCOMPARE(rig.spylist.entries().size(), 5);
        QCOMPARE(rig.spylist.entries(), rig.chat.session().state().spectators);
        QVERIFY(rig.chat.chatView()->document()->blockCount() <= ChatView::MaxLines);
        QVERIFY(rig.chat.isVisible()); // still waiting for the player to read the box
    }

    void closingKeepsStoredSettings()
    {
        // A window closed before the settings were loaded writes nothing.
        Rig rig;
        QFile file(rig.settings);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[sudoku]\nTop=40\nLeft=50\nWidth=800\nHeight=600\n");
        file.close();
        rig.chat.show();
        rig.chat.close();
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("[sudoku]\nTop=40\nLeft=50\nWidth=800\nHeight=600\n"));
        file.close();

        // After loading, unchanged bounds write nothing; a window wider than
        // the work area is kept 15 pixels narrower.
        Rig loaded;
        QFile same(loaded.settings);
        QVERIFY(same.open(QIODevice::WriteOnly));
        same.write("[sudoku]\nTop=40\nLeft=50\nWidth=760\nHeight=540\n");
        same.close();
        loaded.chat.loadinifile();
        QVERIFY(QFile::remove(loaded.settings)); // a save would make it again
        loaded.chat.close();
        QVERIFY(!QFile::exists(loaded.settings));

        // Bounds on a screen since removed come back onto the primary screen.
        const QRect work = loaded.chat.screen()->availableGeometry();
        const QRect lost(work.right() + 2000, 40, 760, 540);
        const QRect placed = Tchat::placeOnScreen(lost);
        QVERIFY(work.contains(placed.topLeft()));
        QCOMPARE(placed.size(), lost.size());
        QCOMPARE(Tchat::placeOnScreen(QRect(40, 50, 760, 540)), QRect(40, 50, 760, 540));

        Rig wide;
        wide.chat.loadinifile();
        const int workWidth = wide.chat.screen()->availableGeometry().width();
        wide.chat.setGeometry(10, 10, workWidth + 20, 500);
        wide.chat.close();
        Settings stored;
        QVERIFY(stored.load(wide.settings));
        QCOMPARE(stored.width, workWidth + 5);
    }

    void storedBoundsFitTheScreen()
    {
        // A stored size no screen can show is cut to the work area; the place
        // is the frame's, so the title bar stays on the screen; "Reset Screen
        // Location" puts the frame at (3,3) with the smallest size.
        const QByteArray stored[] = {
            "[sudoku]\nTop=3\nLeft=3\nWidth=30000\nHeight=30000\n",
            "[sudoku]\nTop=-5000\nLeft=-5000\nWidth=30000\nHeight=30000\n",
            "[sudoku]\nTop=20\nLeft=30\nWidth=-40\nHeight=0\n",
        };
        for (const QByteArray &text : stored) {
            Rig rig;
            QFile file(rig.settings);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(text);
            file.close();
            rig.chat.show(); // the settings are read at login, once the window shows
            QVERIFY(QTest::qWaitForWindowExposed(&rig.chat));
            rig.chat.loadinifile();
            const QRect work = rig.chat.screen()->availableGeometry();
            QVERIFY2(work.contains(rig.chat.frameGeometry().topLeft()), text.constData());
            QVERIFY(rig.chat.frameGeometry().width() <= work.width());
            QVERIFY(rig.chat.frameGeometry().height() <= work.height());
            QVERIFY(rig.chat.width() >= Tchat::ClientWidth);
            QVERIFY(rig.chat.height() >= Tchat::ClientHeight);

            rig.chat.findChild<QAction *>(QStringLiteral("ResetScreenLocation1"))->trigger();
            QTRY_COMPARE(rig.chat.frameGeometry().topLeft(), QPoint(3, 3));
            QCOMPARE(rig.chat.width(), Tchat::ClientWidth);
        }
    }

    void chatPanelAndPhrases()
    {
        Rig rig;
        QList<QByteArray> sent;
        connect(&rig.chat.session(), &ClientSession::send, [&sent](const QByteArray &m) { sent.append(m); });
        feed(rig.chat.session(), {"CMD_sendlogininfo+2"});
        sent.clear();
        qDeleteAll(rig.chat.findChildren<QMessageBox *>()); // no host took the login
        auto *input = rig.chat.findChild<QLineEdit *>(QStringLiteral("mychat"));
        QCOMPARE(input->text(), QStringLiteral("<Enter Chat Here>"));
        QTest::keyClick(input, Qt::Key_Return); // the untouched greeting sends nothing
        QVERIFY(sent.isEmpty());
        QCOMPARE(input->text(), QString());
        QTest::keyClicks(input, QStringLiteral("hi there"));
        QTest::keyClick(input, Qt::Key_Return);
        QCOMPARE(sent, QList<QByteArray>{"CMD_chat+2+hi there|clBlack"});
        QCOMPARE(input->text(), QString());

        // Paste replaces the whole line.
        QTest::keyClicks(input, QStringLiteral("abc"));
        QGuiApplication::clipboard()->setText(QStringLiteral("pasted"));
        rig.chat.findChild<QAction *>(QStringLiteral("Paste1"))->trigger();
        QCOMPARE(input->text(), QStringLiteral("pasted"));

        // Both Scroll Chat Off items always show the same mark.
        auto *options = rig.chat.findChild<QAction *>(QStringLiteral("ScrollChatOff1"));
        auto *inView = rig.chat.findChild<QAction *>(QStringLiteral("ScrollChatOff2"));
        inView->trigger();
        QVERIFY(options->isChecked() && inView->isChecked() && rig.chat.chatView()->scrollChatOff);
        options->trigger();
        QVERIFY(!options->isChecked() && !inView->isChecked() && !rig.chat.chatView()->scrollChatOff);

        // The phrase editor shows the buttons' phrases; Done applies and stores them.
        rig.chat.findChild<QAction *>(QStringLiteral("PrhaseList1"))->trigger();
        auto *third = rig.phrases.findChild<QLineEdit *>(QStringLiteral("phrase3"));
        QCOMPARE(third->text(), QStringLiteral("Nice Try!"));
        QCOMPARE(third->maxLength(), 50);
        third->setText(QStringLiteral("/me bows"));
        rig.phrases.findChild<QLineEdit *>(QStringLiteral("phrase4"))->clear();
        rig.phrases.button_doneClick();
        auto *button3 = rig.chat.findChild<QAbstractButton *>(QStringLiteral("b_phrase3"));
        QCOMPARE(button3->toolTip(), QStringLiteral("/me bows"));
        sent.clear();
        QTest::mouseClick(button3, Qt::LeftButton);
        QCOMPARE(sent, QList<QByteArray>{"CMD_action+2+bows|clBlack"});

        // After a restart the stored phrase comes back; the emptied one keeps its default.
        Tphrases phrases;
        Tchat again;
        again.settingsPath = rig.settings;
        again.setWindows({nullptr, nullptr, nullptr, nullptr, nullptr, &phrases, nullptr, nullptr});
        again.loadinifile();
        QCOMPARE(again.findChild<QAbstractButton *>(QStringLiteral("b_phrase3"))->toolTip(),
                 QStringLiteral("/me bows"));
        QCOMPARE(again.findChild<QAbstractButton *>(QStringLiteral("b_phrase4"))->toolTip(),
                 QStringLiteral("Excellent!"));
    }
    void hiddenWindowsAreBuiltByTheirFirstUse()
    {
        const QStringList windows = {QStringLiteral("Ttallylist"), QStringLiteral("Tspylist"),
                                     QStringLiteral("Tphrases"), QStringLiteral("Thelp"),
                                     QStringLiteral("Tabout"), QStringLiteral("Tgamestart"),
                                     QStringLiteral("Tdownload")};
        const struct
        {
            const char *window;
            std::function<void(LazyRig &)> use;
        } uses[] = {
            {"Ttallylist",
             [](LazyRig &r) {
                 r.chat.findChild<QAction *>(QStringLiteral("ViewTally1"))->trigger();
             }},
            {"Tspylist",
             [](LazyRig &r) {
                 r.chat.findChild<QAction *>(QStringLiteral("SpyList1"))->trigger();
             }},
            {"Tphrases",
             [](LazyRig &r) {
                 r.chat.findChild<QAction *>(QStringLiteral("PrhaseList1"))->trigger();
             }},
            {"Thelp",
             [](LazyRig &r) { r.chat.findChild<QAction *>(QStringLiteral("Help2"))->trigger(); }},
            {"Tabout",
             [](LazyRig &r) { r.chat.findChild<QAction *>(QStringLiteral("About1"))->trigger(); }},
            {"Tgamestart",
             [](LazyRig &r) {
                 feed(r.chat.session(), {"CMD_sendlogininfo+1", "CMD_newplayerinfo+1+You"});
                 r.chat.session().startGameClick();
             }},
            // A solo start shows the download window.
            {"Tdownload", [](LazyRig &r) { r.chat.show(); }},
        };
        for (const auto &use : uses) {
            const QString name = QString::fromLatin1(use.window);
            LazyRig rig;
            use.use(rig);
            QWidget *window = topLevel(name);
            QVERIFY2(window, use.window);
            QTRY_VERIFY2(window->isVisible(), use.window);
            // The others are still not built.
            for (const QString &other : windows)
                QVERIFY2(other == name || !topLevel(other), qPrintable(name + QStringLiteral(" built ") + other));
        }
        QVERIFY(!topLevel(QStringLiteral("Tdownload")));
    }

    void windowsBuiltLateShowWhatCameBefore()
    {
        LazyRig rig;
        // The game options loaded from the settings are marked once the window is built.
        QFile file(rig.chat.settingsPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[sudoku]\nGametype=1\nPuzzletype=3\n");
        file.close();
        rig.chat.loadinifile();
        // A spectator who came while hosting is in the list, which offers removal.
        emit rig.chat.link().hostingStarted();
        feed(rig.chat.session(),
             {"CMD_sendlogininfo+1", "CMD_newplayerinfo+1+You", "CMD_newplayerinfo+6+Wes"});
        rig.chat.session().startGameClick();
        auto *gamestart = qobject_cast<Tgamestart *>(topLevel(QStringLiteral("Tgamestart")));
        QVERIFY(gamestart);
        QCOMPARE(gamestart->markedGameType(), 1);
        QCOMPARE(gamestart->puzzleType(), 3);
        auto *spylist = qobject_cast<Tspylist *>(topLevel(QStringLiteral("Tspylist")));
        QVERIFY(spylist);
        QCOMPARE(spylist->entries().size(), 1);
        QVERIFY(spylist->entries().first().endsWith(QStringLiteral("Wes")));
        QVERIFY(spylist->removeEnabled());

        // The help's About button opens the about box, not built before.
        rig.chat.findChild<QAction *>(QStringLiteral("Help2"))->trigger();
        QVERIFY(!topLevel(QStringLiteral("Tabout")));
        QTest::mouseClick(topLevel(QStringLiteral("Thelp"))->findChild<QWidget *>(QStringLiteral("button_about")),
                          Qt::LeftButton);
        QWidget *about = topLevel(QStringLiteral("Tabout"));
        QVERIFY(about);
        QTRY_VERIFY(about->isVisible());
    }
};

QTEST_MAIN(TestTchat)
#include "test_tchat.moc"
