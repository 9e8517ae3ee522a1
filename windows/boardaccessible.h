#pragma once

#include <QAccessibleWidget>
#include <QString>

class BoardView;
struct SessionState;

// What assistive technology sees of the board: a table of 81 cells, row by
// row, each named after its place and what it holds ("row 3, column 5, 7,
// given"). The selected cell is the focused one.
class BoardAccessible : public QAccessibleWidget
{
public:
    explicit BoardAccessible(BoardView *view);
    ~BoardAccessible() override;

    // Makes every board answer with this interface (once per program).
    static void installFactory();
    // Tells assistive technology what changed on the board since the last
    // call: a new selection as a focus event on its cell, and every cell whose
    // name changed. Called after each refresh of the board.
    static void announceChanges(BoardView *view);
    // Where announceChanges sends its events; Qt passes them on to a reader
    // only while one listens, so a test may listen here instead.
    static inline void (*eventSink)(QAccessibleEvent *) = QAccessible::updateAccessibility;

    // The spoken name of a cell (column, row 1-9) of a session's board.
    static QString cellName(const SessionState &state, int column, int row);

    QString text(QAccessible::Text t) const override;
    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;
    QAccessibleInterface *focusChild() const override;

    BoardView *view() const;
    const SessionState &sessionState() const;
    // The child index of a cell: (row - 1) * 9 + column - 1.
    static int indexOf(int column, int row) { return (row - 1) * 9 + column - 1; }

private:
    QAccessible::Id m_cells[81] = {};
};
