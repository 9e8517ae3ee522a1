// What a screen reader is told about the main window: the board's 81 cells
// with their names and the cell that has the focus, a name for every control
// a player can reach, and text that stays readable under a dark palette.
#include "hostfeed.h"
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
#include <QApplication>
#include <QHash>
#include <QLabel>
#include <QPalette>
#include <QtTest>

namespace {

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
    feed(chat.session(),
         {"CMD_sendlogininfo+1", "CMD_newplayerinfo+1+You", "CMD_newplayerinfo+2+Ann",
          "CMD_startgame+You+1+1+", "CMD_theboard+1+5+3+7", "CMD_nextplayer+1+"});
}

// The contrast ratio of two colours, as web guidelines define it (1 to 21).
double contrast(QRgb a, QRgb b)
{
    const auto luminance = [](QRgb c) {
        const auto channel = [](int v) {
            const double s = v / 255.0;
            return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) + 0.0722 * channel(qBlue(c));
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The commonest colour of an area, taken as its background.
QRgb commonest(const QImage &image)
{
    QHash<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            ++counts[image.pixel(x, y) | 0xFF000000u];
    }
    QRgb background = 0;
    int most = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > most) {
            most = it.value();
            background = it.key();
        }
    }
    return background;
}

// How far the strongest pixel of an area stands out from its background.
double bestContrast(const QImage &image)
{
    const QRgb background = commonest(image);
    double best = 1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            best = std::max(best, contrast(background, image.pixel(x, y)));
    }
    return best;
}

// A dark desktop palette, as a dark theme sets it.
QPalette darkPalette()
{
    QPalette p;
    p.setColor(QPalette::Window, QColor(45, 45, 48));
    p.setColor(QPalette::WindowText, Qt::white);
    p.setColor(QPalette::Base, QColor(30, 30, 30));
    p.setColor(QPalette::AlternateBase, QColor(45, 45, 48));
    p.setColor(QPalette::Text, Qt::white);
    p.setColor(QPalette::Button, QColor(45, 45, 48));
    p.setColor(QPalette::ButtonText, Qt::white);
    p.setColor(QPalette::Highlight, QColor(42, 130, 218));
    p.setColor(QPalette::HighlightedText, Qt::black);
    return p;
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
        feed(chat.session(), {"CMD_correct+2+1+1+4+0", "CMD_correct+1+2+1+6+0"});
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
        feed(chat.session(), {"CMD_hisscore+2+15+3+"});
        const auto nameOf = [&chat](const char *label) {
            return QAccessible::queryAccessibleInterface(chat.findChild<QLabel *>(QLatin1String(label)))
                ->text(QAccessible::Name);
        };
        QCOMPARE(nameOf("label_score2"), QStringLiteral("Seat 2 score: 15"));
        QCOMPARE(nameOf("label_bonus1"), QStringLiteral("Seat 1 bonus"));
        QVERIFY2(nameless.isEmpty(), qPrintable(nameless.join(QLatin1String(", "))));
    }

    void textStaysReadableUnderADarkPalette()
    {
        // Every text of the main window as drawn, the chat's lines, the
        // seats and the notices over the board included, stands out from
        // what lies behind it.
        const QPalette before = QApplication::palette();
        QApplication::setPalette(darkPalette());
        {
            Tchat chat;
            startTwoPlayerGame(chat);
            feed(chat.session(),
                 {"CMD_chat+Ann chats: hi|clBlack", "CMD_generating+", "CMD_hisscore+2+15+3+"});
            const QImage shot = chat.grab().toImage();
            // For a person to look at: A11Y_SHOT names a file for the picture.
            if (qEnvironmentVariableIsSet("A11Y_SHOT"))
                shot.save(qEnvironmentVariable("A11Y_SHOT"));
            QStringList faint;
            QList<QWidget *> texts;
            const QStringList shadows = {QStringLiteral("label_generating2"), QStringLiteral("label_winner2")};
            for (QLabel *label : chat.findChildren<QLabel *>()) {
                if (!label->text().trimmed().isEmpty())
                    texts.append(label);
            }
            texts.append(chat.findChild<QWidget *>(QStringLiteral("mainchat")));
            texts.append(chat.findChild<QWidget *>(QStringLiteral("mychat")));
            for (QWidget *w : std::as_const(texts)) {
                // The grey shadows under the notices are drawn faint on purpose.
                if (!w->isVisibleTo(&chat) || w->window() != &chat || shadows.contains(w->objectName()))
                    continue;
                const QRect area(w->mapTo(&chat, QPoint(0, 0)), w->size());
                // A label's own colour against what shows behind it (a shadow
                // under it must not pass for its text); the chat by its pixels.
                auto *label = qobject_cast<QLabel *>(w);
                const double ratio =
                    label ? contrast(label->palette().color(label->foregroundRole()).rgb(), commonest(shot.copy(area)))
                          : bestContrast(shot.copy(area));
                if (ratio < 3)
                    faint.append(QStringLiteral("%1 (%2)").arg(w->objectName()).arg(ratio, 0, 'f', 2));
            }
            QVERIFY2(faint.isEmpty(), qPrintable(faint.join(QLatin1String(", "))));
        }
        QApplication::setPalette(before);
    }
};

QTEST_MAIN(TestAccessibility)
#include "test_accessibility.moc"
