// The game options dialog: its marks, the start request and what it stores.
#include "app/settings.h"
#include "client/clientsession.h"
#include "hostfeed.h"
#include "net/framebuffer.h"
#include "windows/tchat.h"
#include "windows/tgamestart.h"

#include <QApplication>
#include <QMenu>
#include <QMessageBox>

#include <QTemporaryDir>
#include <QtTest>

class TestTgamestart : public QObject
{
    Q_OBJECT

private slots:
    void marksAndStart()
    {
        Tgamestart dialog;
        QCOMPARE(dialog.markedGameType(), 2); // the form's own marks: Score and Hide, Easy
        QCOMPARE(dialog.puzzleType(), 1);
        QSignalSpy start(&dialog, &Tgamestart::startRequested);
        dialog.show();
        QTest::mouseClick(dialog.findChild<QWidget *>(QStringLiteral("image_3")), Qt::LeftButton);
        QTest::mouseClick(dialog.findChild<QWidget *>(QStringLiteral("image_puzzletype3")), Qt::LeftButton);
        QTest::mouseClick(dialog.findChild<QWidget *>(QStringLiteral("button_start")), Qt::LeftButton);
        QCOMPARE(start.count(), 1);
        QCOMPARE(start.at(0).at(0).toInt(), 3);
        QCOMPARE(start.at(0).at(1).toInt(), 3);
        QVERIFY(!dialog.isVisible());

        // No type marked starts Score and Hide; a puzzle type outside 1-3
        // unmarks all and keeps the previous type.
        dialog.checkit(7);
        QCOMPARE(dialog.markedGameType(), 0);
        QCOMPARE(dialog.gameTypeCode(), 2);
        dialog.checkpuzzletype(5);
        QVERIFY(!dialog.puzzleTypeMarked());
        QCOMPARE(dialog.puzzleType(), 3);
        dialog.image_puzzletype1Click(2);
        dialog.image_puzzletype1Click(2);
        QCOMPARE(dialog.puzzleType(), 2);
    }

    void storedChoices()
    {
        // A first run without settings marks First To Complete and Easy; a
        // start stores the dialog's choices.
        QTemporaryDir dir;
        Tgamestart dialog;
        Tchat chat;
        chat.settingsPath = dir.filePath(QStringLiteral("brenviklobby.ini"));
        chat.setWindows({nullptr, nullptr, nullptr, &dialog, nullptr, nullptr, nullptr, nullptr});
        QList<QByteArray> sent;
        chat.loadinifile();
        QCOMPARE(dialog.markedGameType(), 3);
        QCOMPARE(dialog.puzzleType(), 1);
        QVERIFY(dialog.puzzleTypeMarked());

        dialog.image_1Click(2);
        dialog.image_puzzletype1Click(2);
        dialog.button_startClick();
        Settings stored;
        QVERIFY(stored.load(chat.settingsPath));
        QCOMPARE(stored.gameType, std::optional<int>(2));
        QCOMPARE(stored.puzzleType, 2);
    }

    // The dialog from the keyboard: Tab reaches every mark and the button,
    // the arrows move a mark, Space marks, Return starts.
    void keyboard()
    {
        Tgamestart dialog;
        QSignalSpy start(&dialog, &Tgamestart::startRequested);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QWidget *first = dialog.findChild<QWidget *>(QStringLiteral("image_1"));
        first->setFocus();
        QSet<QString> reached;
        for (int i = 0; i < 7; ++i) {
            reached.insert(QApplication::focusWidget()->objectName());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(reached, (QSet<QString>{"image_1", "image_2", "image_3", "image_puzzletype1",
                                         "image_puzzletype2", "image_puzzletype3", "button_start"}));
        first->setFocus();
        QTest::keyClick(first, Qt::Key_Space);
        QCOMPARE(dialog.markedGameType(), 1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up); // wraps to the last
        QCOMPARE(dialog.markedGameType(), 3);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QCOMPARE(dialog.puzzleType(), 1); // the third wraps to the first
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QCOMPARE(dialog.puzzleType(), 2);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(start.count(), 1);
        QCOMPARE(start.at(0).at(0).toInt(), 3);
        QCOMPARE(start.at(0).at(1).toInt(), 2);
        QVERIFY(!dialog.isVisible());
    }

    // The main window's keyboard: the board takes it at game start and after
    // a typed digit, Check and Clear; Tab reaches the chat line and buttons.
    void boardFocus()
    {
        QTemporaryDir dir;
        Tchat chat;
        chat.settingsPath = dir.filePath(QStringLiteral("brenviklobby.ini"));
        QList<QByteArray> sent;
        ClientSession &s = chat.session();
        connect(&s, &ClientSession::send, this, [&sent](const QByteArray &m) { sent.append(m); });
        chat.show();
        QVERIFY(QTest::qWaitForWindowActive(&chat));
        feed(s, {"CMD_sendlogininfo+1", "CMD_newplayerinfo+1+You", "CMD_startgame+You+2+1+",
                 "CMD_theboard+1+1+1+5", "CMD_nextplayer+1+"});
        emit s.changed();
        QWidget *board = chat.findChild<QWidget *>(QStringLiteral("board"));
        QTRY_VERIFY(board->hasFocus());

        QTest::keyClick(board, Qt::Key_Right);
        QTest::keyClick(board, Qt::Key_Right);
        QTest::keyClick(board, Qt::Key_7);
        QCOMPARE(s.state().board.cell(2, 1).value, 7);
        QSet<QString> reached;
        for (int i = 0; i < 12; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            reached.insert(QApplication::focusWidget()->objectName());
        }
        QVERIFY2(reached.contains("board") && reached.contains("mychat") && reached.contains("button_check")
                     && reached.contains("button_clear"),
                 qPrintable(QStringList(reached.values()).join(' ')));

        auto *check = chat.findChild<QWidget *>(QStringLiteral("button_check"));
        check->setFocus();
        QTest::keyClick(check, Qt::Key_Space);
        QCOMPARE(sent.last(), QByteArray("CMD_checkit+1+2+1+7"));
        QVERIFY(board->hasFocus());
        auto *clear = chat.findChild<QWidget *>(QStringLiteral("button_clear"));
        clear->setFocus();
        QTest::keyClick(clear, Qt::Key_Return);
        QCOMPARE(s.state().board.cell(2, 1).value, 0);
        QVERIFY(board->hasFocus());

        // Typing mode: Space opens the box on the cell, a digit goes in and
        // the keyboard is back on the board.
        s.input().setSelectMode(1);
        QTest::keyClick(board, Qt::Key_Left);
        QTest::keyClick(board, Qt::Key_Space);
        auto *fill = chat.findChild<QWidget *>(QStringLiteral("edit_fill"));
        QTRY_VERIFY(fill->hasFocus());
        QTest::keyClick(fill, Qt::Key_4);
        QCOMPARE(s.state().board.cell(2, 1).value, 4);
        QVERIFY(board->hasFocus());
        QTest::keyClick(board, Qt::Key_Space);
        QTRY_VERIFY(fill->hasFocus());
        QTest::keyClick(fill, Qt::Key_Escape);
        QVERIFY(!fill->isVisible() && board->hasFocus());

        // Ctrl+Return checks from the chat line and gives the board the keyboard.
        // (Without a host link each check's send failure opens a box; it is
        // closed so that the main window is the active one again.)
        auto backToWindow = [&chat] {
            for (QMessageBox *box : chat.findChildren<QMessageBox *>())
                box->close();
            chat.activateWindow();
            return QTest::qWaitForWindowActive(&chat);
        };
        QVERIFY(backToWindow());
        QTest::keyClick(board, Qt::Key_Right);
        QTest::keyClick(board, Qt::Key_9);
        auto *chatLine = chat.findChild<QWidget *>(QStringLiteral("mychat"));
        chatLine->setFocus();
        QTest::keyClick(chatLine, Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(sent.last(), QByteArray("CMD_checkit+1+2+1+4+3+1+9"));
        QVERIFY(board->hasFocus());

        // F10 and Alt+F open the File menu.
        QVERIFY(backToWindow());
        const std::pair<Qt::Key, Qt::KeyboardModifier> menuKeys[] = {{Qt::Key_F10, Qt::NoModifier},
                                                                      {Qt::Key_F, Qt::AltModifier}};
        for (const auto &[key, modifier] : menuKeys) {
            QTest::keyClick(board, key, modifier);
            QTRY_VERIFY(QApplication::activePopupWidget());
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            QVERIFY(menu);
            QCOMPARE(menu->title(), QStringLiteral("&File"));
            QApplication::activePopupWidget()->close();
            QTRY_VERIFY(!QApplication::activePopupWidget());
        }
    }
};

QTEST_MAIN(TestTgamestart)
#include "test_tgamestart.moc"
