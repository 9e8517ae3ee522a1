#include "windows/tspylist.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QtTest>

namespace {

QListWidget *list(Tspylist &window)
{
    return window.findChild<QListWidget *>(QStringLiteral("listbox_spys"));
}

QAction *kickAction(Tspylist &window)
{
    return window.findChild<QAction *>(QStringLiteral("popup_kickhim"));
}

QPoint rowCentre(Tspylist &window, int row)
{
    return list(window)->visualItemRect(list(window)->item(row)).center();
}

QPoint emptySpace(Tspylist &window)
{
    return QPoint(20, list(window)->viewport()->height() - 5);
}

// Opens the list's context menu as a right click at pos does.
void openMenuAt(Tspylist &window, const QPoint &pos)
{
    QWidget *viewport = list(window)->viewport();
    QTest::mouseMove(viewport, pos);
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, viewport->mapToGlobal(pos));
    QCoreApplication::sendEvent(viewport, &event);
}

void closeMenu(Tspylist &window)
{
    window.findChild<QMenu *>(QStringLiteral("popup_kick"))->hide();
}

} // namespace

class TestTspylist : public QObject
{
    Q_OBJECT
private slots:
    void pointerIsTrackedOverEntries();
    void hostRemovesTheSpectatorUnderThePointer();
    void menuOverEmptySpaceSendsNothing();
    void nonHostCannotRemove();
    void entryGoneBeforeTheChoiceSendsNothing();
    void doneCloses();
    void entriesChangeOneByOne();
};

void TestTspylist::pointerIsTrackedOverEntries()
{
    Tspylist window;
    window.setEntries({QStringLiteral("5: Ann"), QStringLiteral("7: Bob")});
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.hoverIndex(), -1);
    QTest::mouseMove(list(window)->viewport(), rowCentre(window, 1));
    QCOMPARE(window.hoverIndex(), 1);
    QTest::mouseMove(list(window)->viewport(), rowCentre(window, 0));
    QCOMPARE(window.hoverIndex(), 0);
    QTest::mouseMove(list(window)->viewport(), emptySpace(window));
    QCOMPARE(window.hoverIndex(), -1);
}

void TestTspylist::hostRemovesTheSpectatorUnderThePointer()
{
    Tspylist window;
    // The main window switches removal on by its property.
    window.setProperty("removeEnabled", true);
    QVERIFY(kickAction(window)->isEnabled());
    // Two spectators of the same name, told apart by their seats.
    window.setEntries({QStringLiteral("5: Ann"), QStringLiteral("6: Ann")});
    list(window)->setCurrentRow(0); // the selection does not count, the pointer does
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy kicks(&window, &Tspylist::kickRequested);

    openMenuAt(window, rowCentre(window, 1));
    kickAction(window)->trigger();
    closeMenu(window);
    QCOMPARE(kicks.count(), 1);
    QCOMPARE(kicks.takeFirst().at(0).toInt(), 6);
    // The entry stays until the host reports the spectator gone.
    QCOMPARE(window.entries().size(), 2);
    window.setEntries({QStringLiteral("5: Ann")});
    QCOMPARE(window.entries(), QStringList{QStringLiteral("5: Ann")});

    openMenuAt(window, rowCentre(window, 0));
    kickAction(window)->trigger();
    closeMenu(window);
    QCOMPARE(kicks.count(), 1);
    QCOMPARE(kicks.takeFirst().at(0).toInt(), 5);
}

void TestTspylist::menuOverEmptySpaceSendsNothing()
{
    Tspylist window;
    window.setRemoveEnabled(true);
    window.setEntries({QStringLiteral("5: Ann")});
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy kicks(&window, &Tspylist::kickRequested);
    // Pointing at an entry first, then opening the menu below the entries.
    QTest::mouseMove(list(window)->viewport(), rowCentre(window, 0));
    openMenuAt(window, emptySpace(window));
    kickAction(window)->trigger();
    closeMenu(window);
    QCOMPARE(kicks.count(), 0);
}

void TestTspylist::nonHostCannotRemove()
{
    Tspylist window;
    window.setEntries({QStringLiteral("5: Ann")});
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(!kickAction(window)->isEnabled());
    QSignalSpy kicks(&window, &Tspylist::kickRequested);
    openMenuAt(window, rowCentre(window, 0));
    window.popup_kickhimClick();
    closeMenu(window);
    QCOMPARE(kicks.count(), 0);
}

void TestTspylist::entryGoneBeforeTheChoiceSendsNothing()
{
    Tspylist window;
    window.setRemoveEnabled(true);
    window.setEntries({QStringLiteral("5: Ann"), QStringLiteral("6: Bob")});
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy kicks(&window, &Tspylist::kickRequested);
    openMenuAt(window, rowCentre(window, 0));
    // Ann leaves while the menu is open; Bob moves up into her row.
    window.setEntries({QStringLiteral("6: Bob")});
    kickAction(window)->trigger();
    closeMenu(window);
    QCOMPARE(kicks.count(), 0);
}

void TestTspylist::doneCloses()
{
    Tspylist window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(window.windowFlags() & Qt::WindowStaysOnTopHint);
    QTest::mouseClick(window.findChild<QAbstractButton *>(QStringLiteral("button_done")), Qt::LeftButton);
    QVERIFY(!window.isVisible());
}

void TestTspylist::entriesChangeOneByOne()
{
    // Arrivals and departures touch their own row only; the rows already
    // there stay as they are, and the list never grows past the host's slots.
    Tspylist window;
    window.addEntry(QStringLiteral("5: Ann"));
    QListWidgetItem *ann = list(window)->item(0);
    for (int seat = 6; seat <= 12; ++seat)
        window.addEntry(QStringLiteral("%1: W").arg(seat));
    QCOMPARE(list(window)->item(0), ann);
    QCOMPARE(window.entries().size(), Tspylist::MaxEntries);
    window.removeEntry(QStringLiteral("6: X")); // not in the list
    window.removeEntry(QStringLiteral("7: W"));
    QCOMPARE(window.entries(), (QStringList{"5: Ann", "6: W", "8: W", "9: W"}));
    QCOMPARE(list(window)->item(0), ann);
}

QTEST_MAIN(TestTspylist)
#include "test_tspylist.moc"
