// What a screen reader is told about the main window: the board's 81 cells
// with their names and the cell that has the focus, a name for every control
// a player can reach, and text that stays readable under a dark palette.
#include "net/framebuffer.h"
#include "windows/boardaccessible.h"
#include "windows/tabout.h"
#include "windows/tchat.h"
#include "windows/tdownload.h"
#include "windows/tgamestart.h"
#include "windows/thelp.h"
#include "windows/tphrases.h"
#include "windows/tspylist.h"
#include "windows/ttallylist.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <QAbstractButton>
#include <QLabel>
#include <QtTest>

namespace {

// Hands host messages to a window's session and handles them all.
void feed(Tchat &chat, std::initializer_list<QByteArray> messages)
{
    QByteArray bytes;
    for (const QByteArray &m : messages)
        bytes += FrameBuffer::frame(m);
    chat.session().received(bytes);
    while (chat.session().dispatcher().dispatchOne()) {
    }
}

// The events the board sends to assistive technology, as (kind, child).
QList<QPair<QAccessible::Event, int>> g_events;
QObject *g_watched = nullptr;
void recordEvent(QAccessibleEvent *event)
{
    if (event->object() == g_watched)
        g_events.append({event->type(), event->child()});
}

// The player "You" in seat 1 and "Ann" in seat 2, a game of Score and Show.
void startTwoPlayerGame(Tchat &chat)
{
    chat.session().setMyName(QStringLiteral("You"));
    feed(chat, {"CMD_sendlogininfo+1", "CMD_newplayerinfo+1+You", "CMD_newplayerinfo+2+Ann",
                "CMD_startgame+You+1+1+", "CMD_theboard+1+5+3+7", "CMD_nextplayer+1+"});
}

} // namespace

class TestAccessibility : public QObject
{
    Q_OBJECT

private slots:
    void boardCellsAreNamedAndFocusFollowsTheSelection()
    {
        Tchat chat;
        startTwoPlayerGame(chat);
        ClientSession &s = chat.session();
        QWidget *board = chat.findChild<QWidget *>(QStringLiteral("board"));
        QVERIFY(board);
        QAccessibleInterface *table = QAccessible::queryAccessibleInterface(board);
        QVERIFY(table);
        QCOMPARE(table->role(), QAccessible::Table);
        QCOMPARE(table->childCount(), 81);

        // Ann's right digit, this player's confirmed digit, an unchecked
        // digit and pencil marks, each on its own cell.
        feed(chat, {"CMD_correct+2+1+1+4+0", "CMD_correct+1+2+1+6+0"});
        s.input().boardMouseUp(Qt::LeftButton, 10, 60); // column 1, row 2
        s.input().typeDigit(8);
        s.input().boardMouseUp(Qt::RightButton, 60, 60); // column 2, row 2
        for (const QPoint strip : {QPoint(5, 5), QPoint(5, 60), QPoint(5, 115)})
            s.input().image_pencilMouseUp(strip.x(), strip.y());

        // Children run row by row: child (row - 1) * 9 + column - 1.
        const struct
        {
            int column, row;
            const char *name;
        } cells[] = {
            {5, 3, "row 3, column 5, 7, given"},
            {1, 1, "row 1, column 1, 4, placed by Ann"},
            {2, 1, "row 1, column 2, 6, confirmed"},
            {1, 2, "row 2, column 1, 8, not checked"},
            {2, 2, "row 2, column 2, empty, pencil marks 1 5 9"},
            {9, 9, "row 9, column 9, empty"},
        };
        for (const auto &c : cells) {
            QAccessibleInterface *cell = table->child((c.row - 1) * 9 + c.column - 1);
            QVERIFY(cell);
            QCOMPARE(cell->role(), QAccessible::Cell);
            QCOMPARE(cell->text(QAccessible::Name), QString::fromUtf8(c.name));
            QCOMPARE(cell->parent(), table);
            QCOMPARE(table->indexOfChild(cell), (c.row - 1) * 9 + c.column - 1);
            const QPoint centre = cell->rect().center(); // on the screen
            QCOMPARE(table->childAt(centre.x(), centre.y()), cell);
        }

        // The selected cell has the focus, and moving the selection tells so;
        // a changed digit tells its new name.
        BoardAccessible::eventSink = recordEvent;
        g_watched = board;
        g_events.clear();
        QCOMPARE(table->focusChild(), table->child(9 + 1));
        QVERIFY(table->child(9 + 1)->state().focused);
        QVERIFY(!table->child(9)->state().focused);
        QTest::keyClick(board, Qt::Key_Right);
        QCOMPARE(table->focusChild(), table->child(9 + 2));
        QVERIFY(g_events.contains(qMakePair(QAccessible::Focus, 9 + 2)));
        s.input().typeDigit(3);
        QVERIFY(g_events.contains(qMakePair(QAccessible::NameChanged, 9 + 2)));
        QCOMPARE(table->child(9 + 2)->text(QAccessible::Name), QStringLiteral("row 2, column 3, 3, not checked"));
        // Nothing else changed, so nothing else was told.
        for (const auto &e : std::as_const(g_events))
            QCOMPARE(e.second, 9 + 2);
        BoardAccessible::eventSink = QAccessible::updateAccessibility;
        g_watched = nullptr;
    }

    void everyControlHasAName()
    {
        // Each window as it first shows: whatever a player can reach or read
        // (buttons, option choices, edits, lists, labels) has a name to speak.
        Tchat chat;
        startTwoPlayerGame(chat);
        Tgamestart gamestart;
        Tphrases phrases;
        Tspylist spylist;
        Tdownload download;
        Tabout about;
        Thelp help;
        Ttallylist tally;
        QStringList nameless;
        for (QWidget *window : std::initializer_list<QWidget *>{&chat, &gamestart, &phrases, &spylist,
                                                                &download, &about, &help, &tally}) {
            for (QWidget *w : window->findChildren<QWidget *>()) {
                // Qt's own parts (the menu bar's overflow button) and other
                // windows' controls are not this window's to name.
                if (!w->isVisibleTo(window) || w->window() != window ||
                    w->objectName().startsWith(QLatin1String("qt_")))
                    continue;
                const bool reachable = w->focusPolicy() != Qt::NoFocus || qobject_cast<QAbstractButton *>(w) ||
                                       qobject_cast<QLabel *>(w);
                if (!reachable)
                    continue;
                QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
                if (!iface || iface->text(QAccessible::Name).trimmed().isEmpty())
                    nameless.append(window->objectName() + QLatin1Char('/') + w->metaObject()->className() +
                                    QLatin1Char(' ') + w->objectName());
            }
        }
        for (const QString &n : std::as_const(nameless))
            qWarning("nameless: %s", qPrintable(n));
        // A status line's name follows its text.
        feed(chat, {"CMD_hisscore+2+15+3+"});
        const auto nameOf = [&chat](const char *label) {
            return QAccessible::queryAccessibleInterface(chat.findChild<QLabel *>(QLatin1String(label)))
                ->text(QAccessible::Name);
        };
        QCOMPARE(nameOf("label_score2"), QStringLiteral("Seat 2 score: 15"));
        QCOMPARE(nameOf("label_bonus1"), QStringLiteral("Seat 1 bonus"));
        QVERIFY2(nameless.isEmpty(), qPrintable(nameless.join(QLatin1String(", "))));
    }
};

QTEST_MAIN(TestAccessibility)
#include "test_accessibility.moc"
