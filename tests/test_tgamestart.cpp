// The game options dialog: its marks, the start request and what it stores.
#include "app/settings.h"
#include "windows/tchat.h"
#include "windows/tgamestart.h"

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
};

QTEST_MAIN(TestTgamestart)
#include "test_tgamestart.moc"
