#include "windows/boardaccessible.h"

#include "client/boardgeometry.h"
#include "client/clientsession.h"
#include "windows/boardview.h"

#include <QStringList>

namespace {

// One cell of the board: a leaf that reads its name from the board state
// each time it is asked, so it never goes stale.
class CellAccessible : public QAccessibleInterface
{
public:
    CellAccessible(const BoardAccessible *board, int column, int row)
        : m_board(board), m_column(column), m_row(row)
    {
    }

    bool isValid() const override { return m_board->isValid(); }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return m_board->window(); }
    QAccessibleInterface *parent() const override { return const_cast<BoardAccessible *>(m_board); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    void setText(QAccessible::Text, const QString &) override {}
    QAccessible::Role role() const override { return QAccessible::Cell; }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return BoardAccessible::cellName(m_board->sessionState(), m_column, m_row);
        return QString();
    }

    QRect rect() const override
    {
        const BoardView *view = m_board->view();
        const QPoint origin = view->mapToGlobal(BoardGeometry::cellOrigin(m_column, m_row));
        return QRect(origin, QSize(BoardGeometry::CellSize, BoardGeometry::CellSize));
    }

    QAccessible::State state() const override
    {
        QAccessible::State s;
        const BoardState &board = m_board->sessionState().board;
        const bool selected = board.selectedColumn == m_column && board.selectedRow == m_row;
        s.focusable = true;
        s.selectable = true;
        s.focused = selected;
        s.selected = selected;
        s.readOnly = board.cell(m_column, m_row).value > 9; // givens and judged digits
        s.invisible = !m_board->view()->isVisible();
        return s;
    }

private:
    const BoardAccessible *m_board;
    int m_column;
    int m_row;
};

QAccessibleInterface *boardFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("BoardView") && object && object->isWidgetType())
        return new BoardAccessible(static_cast<BoardView *>(object));
    return nullptr;
}

// The names last told for a board's cells and its last selection, kept on
// the board itself.
class AnnouncedBoard : public QObject
{
public:
    using QObject::QObject;
    QString names[81];
    int selected = -1;
    bool fresh = true; // nothing told yet: the first call only takes note
};

} // namespace

BoardAccessible::BoardAccessible(BoardView *view) : QAccessibleWidget(view, QAccessible::Table)
{
    for (int row = 1; row <= 9; ++row) {
        for (int column = 1; column <= 9; ++column)
            m_cells[indexOf(column, row)] =
                QAccessible::registerAccessibleInterface(new CellAccessible(this, column, row));
    }
}

BoardAccessible::~BoardAccessible()
{
    for (QAccessible::Id id : m_cells)
        QAccessible::deleteAccessibleInterface(id);
}

void BoardAccessible::installFactory()
{
    static const bool installed = [] {
        QAccessible::installFactory(boardFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

BoardView *BoardAccessible::view() const
{
    return static_cast<BoardView *>(widget());
}

const SessionState &BoardAccessible::sessionState() const
{
    return view()->session()->state();
}

QString BoardAccessible::cellName(const SessionState &state, int column, int row)
{
    const BoardCell &cell = state.board.cell(column, row);
    QString name = QStringLiteral("row %1, column %2, ").arg(row).arg(column);
    const int v = cell.value;
    if (v < 1 || v > 36) {
        name += QLatin1String("empty");
        QStringList marks;
        for (int k = 1; k <= 9; ++k) {
            if (cell.pencil[k])
                marks.append(QString::number(k));
        }
        if (!marks.isEmpty())
            name += QLatin1String(", pencil marks ") + marks.join(QLatin1Char(' '));
        return name;
    }
    const int digit = (v - 1) % 9 + 1;
    name += QString::number(digit) + QLatin1String(", ");
    switch ((v - 1) / 9) {
    case 0: return name + QLatin1String("not checked");
    case 1: return name + QLatin1String("given");
    case 3: return name + QLatin1String("confirmed");
    default: break;
    }
    const int seat = cell.placedBy;
    if (seat >= 1 && seat <= ClientSession::SeatCount && state.seats[seat].occupied)
        return name + QLatin1String("placed by ") + state.seats[seat].name;
    return name + QLatin1String("placed by another player");
}

QString BoardAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
        return QStringLiteral("Sudoku board");
    if (t == QAccessible::Description && widget()->accessibleDescription().isEmpty())
        return QStringLiteral("Nine rows of nine cells; arrow keys move, digits fill, Delete empties");
    return QAccessibleWidget::text(t);
}

int BoardAccessible::childCount() const
{
    return 81;
}

QAccessibleInterface *BoardAccessible::child(int index) const
{
    if (index < 0 || index >= 81)
        return nullptr;
    return QAccessible::accessibleInterface(m_cells[index]);
}

int BoardAccessible::indexOfChild(const QAccessibleInterface *child) const
{
    if (!child)
        return -1;
    const QAccessible::Id id = QAccessible::uniqueId(const_cast<QAccessibleInterface *>(child));
    for (int i = 0; i < 81; ++i) {
        if (m_cells[i] == id)
            return i;
    }
    return -1;
}

QAccessibleInterface *BoardAccessible::childAt(int x, int y) const
{
    for (int i = 0; i < 81; ++i) {
        QAccessibleInterface *cell = child(i);
        if (cell->rect().contains(x, y))
            return cell;
    }
    return nullptr;
}

QAccessibleInterface *BoardAccessible::focusChild() const
{
    const BoardState &board = sessionState().board;
    if (!BoardState::onBoard(board.selectedColumn) || !BoardState::onBoard(board.selectedRow))
        return nullptr;
    return child(indexOf(board.selectedColumn, board.selectedRow));
}

void BoardAccessible::announceChanges(BoardView *view)
{
    static const QString trackerName = QStringLiteral("announcedBoard");
    QObject *tracker = view->findChild<QObject *>(trackerName, Qt::FindDirectChildrenOnly);
    if (!tracker) {
        tracker = new AnnouncedBoard(view);
        tracker->setObjectName(trackerName);
    }
    auto *told = static_cast<AnnouncedBoard *>(tracker);
    const SessionState &state = view->session()->state();
    // The first call only takes note.
    const bool listening = !told->fresh;
    told->fresh = false;
    for (int row = 1; row <= 9; ++row) {
        for (int column = 1; column <= 9; ++column) {
            const int i = indexOf(column, row);
            QString name = cellName(state, column, row);
            if (name == told->names[i])
                continue;
            told->names[i] = std::move(name);
            if (listening) {
                QAccessibleEvent event(view, QAccessible::NameChanged);
                event.setChild(i);
                eventSink(&event);
            }
        }
    }
    const BoardState &board = state.board;
    const int selected = BoardState::onBoard(board.selectedColumn) && BoardState::onBoard(board.selectedRow)
                             ? indexOf(board.selectedColumn, board.selectedRow)
                             : -1;
    if (selected == told->selected)
        return;
    told->selected = selected;
    if (listening && selected >= 0) {
        QAccessibleEvent event(view, QAccessible::Focus);
        event.setChild(selected);
        eventSink(&event);
    }
}
