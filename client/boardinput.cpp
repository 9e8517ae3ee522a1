#include "client/boardinput.h"

#include "client/boardgeometry.h"
#include "client/clientsession.h"
#include "net/messages.h"

namespace {

// Where a click lands: the ranges include the gaps, so every point of the
// board belongs to a cell.
constexpr int ColumnEnds[9] = {52, 100, 150, 201, 249, 298, 350, 398, 455};
constexpr int RowEnds[9] = {51, 99, 149, 199, 247, 297, 348, 395, 453};
constexpr int EditFillTop[9] = {12, 60, 108, 159, 207, 255, 308, 356, 404};
constexpr int EditFillLeft[9] = {12, 60, 108, 161, 209, 257, 310, 358, 406};

// Strip rows hold 1 2 / 3 4 / 5 6 / 7 8 / 9 eraser.
constexpr int StripLeft[5] = {1, 3, 5, 7, 9};
constexpr int StripRight[5] = {2, 4, 6, 8, 0};

} // namespace

BoardInput::BoardInput(ClientSession &session) : m_s(session)
{
}

int BoardInput::columnAt(int x)
{
    if (x < 0)
        return 0;
    for (int i = 0; i < 9; ++i) {
        if (x <= ColumnEnds[i])
            return i + 1;
    }
    return 0;
}

int BoardInput::rowAt(int y)
{
    if (y < 0)
        return 0;
    for (int i = 0; i < 9; ++i) {
        if (y <= RowEnds[i])
            return i + 1;
    }
    return 0;
}

int BoardInput::stripChoice(int x, int y, int rowHeight, int columnWidth)
{
    if (y > 139)
        return -1;
    int row = y / rowHeight;
    if (row < 0)
        row = 0; // a point just above the strip counts as its first row
    if (row > 4)
        row = 4;
    const int side = x / columnWidth;
    return side == 0 ? StripLeft[row] : StripRight[row];
}

void BoardInput::boardMouseUp(Qt::MouseButton button, int x, int y)
{
    if (m_s.boardLocked())
        return;
    m_s.hideChoosers();
    if (!m_s.seated() || !m_s.gameInProgress) {
        m_s.showCheckButtons(false);
        emit m_s.changed();
        return;
    }
    const int column = columnAt(x);
    const int row = rowAt(y);
    if (column == 0 || row == 0) {
        emit m_s.changed();
        return;
    }
    const int ybase = row <= 3 ? y + 3 : (row <= 6 ? y - 50 : y - 140);
    if (button == Qt::RightButton) {
        if (m_s.board.cells[column][row].value > 0) {
            emit m_s.changed();
            return;
        }
        const int xbase = column <= 6 ? x + 4 : x - 35;
        m_s.imagePencilPos = QPoint(xbase + 10, ybase + 10);
        m_s.imagePencilVisible = true;
    } else if (m_s.selectMode == 1) {
        m_s.editFillText.clear();
        m_s.editFillPos = QPoint(EditFillLeft[column - 1], EditFillTop[row - 1]);
        m_s.editFillVisible = true;
    } else {
        const int xbase = column <= 6 ? x + 4 : x - 60;
        m_s.imageSelectPos = QPoint(xbase + 10, ybase + 10);
        m_s.imageSelectVisible = true;
    }
    m_s.board.selectedColumn = column;
    m_s.board.selectedRow = row;
    emit m_s.changed();
}

BoardCell *BoardInput::stripCell()
{
    m_s.hideChoosers();
    if (m_s.mySeat > ClientSession::SeatCount) {
        // A watcher's release only takes the buttons away.
        m_s.showCheckButtons(false);
        return nullptr;
    }
    BoardCell *cell = m_s.board.selected();
    return cell && cell->value <= 9 ? cell : nullptr;
}

void BoardInput::image_selectMouseUp(int x, int y)
{
    if (m_s.boardLocked())
        return;
    BoardCell *cell = stripCell();
    const int choice = stripChoice(x, y, 28, 29);
    if (cell && choice >= 0 && choice != cell->value) {
        m_history.record(m_s.board);
        enterDigit(*cell, choice);
        m_s.board.clearMarks(m_s.board.selectedColumn, m_s.board.selectedRow);
        m_s.showCheckButtons(true);
        m_s.editFillText.clear();
        m_s.playsounds(QStringLiteral("putnum"));
    }
    emit m_s.changed();
}

void BoardInput::image_pencilMouseUp(int x, int y)
{
    if (m_s.boardLocked())
        return;
    BoardCell *cell = stripCell();
    const int choice = stripChoice(x, y, 27, 16);
    if (cell && choice >= 0) {
        m_history.record(m_s.board);
        if (choice == 0)
            m_s.board.clearMarks(m_s.board.selectedColumn, m_s.board.selectedRow);
        else
            cell->pencil[choice] = cell->pencil[choice] != 0 ? 0 : choice;
        m_s.playsounds(QStringLiteral("pencil"));
    }
    emit m_s.changed();
}

void BoardInput::edit_fillChange(const QString &text)
{
    if (m_s.boardLocked())
        return;
    m_s.editFillVisible = false;
    m_s.imageSelectVisible = false;
    if (m_s.mySeat > ClientSession::SeatCount) {
        m_s.showCheckButtons(false);
        emit m_s.changed();
        return;
    }
    BoardCell *cell = m_s.board.selected();
    if (text.isEmpty() || !cell || cell->value > 9 || text.size() > 1) {
        emit m_s.changed();
        return;
    }
    const QChar ch = text.at(0);
    if (ch >= QLatin1Char('0') && ch <= QLatin1Char('9')) {
        const int digit = ch.unicode() - '0';
        if (digit != cell->value)
            m_history.record(m_s.board);
        enterDigit(*cell, digit);
        m_s.showCheckButtons(true);
        m_s.editFillText.clear();
        m_s.playsounds(QStringLiteral("putnum"));
    } else {
        emit m_s.messageBox(QStringLiteral("HAHA"), false);
    }
    emit m_s.changed();
}

void BoardInput::typeDigit(int digit)
{
    if (!m_s.seated() || !m_s.gameInProgress || m_s.boardLocked())
        return;
    BoardCell *cell = m_s.board.selected();
    if (!cell || cell->value > 9 || digit < 0 || digit > 9 || cell->value == digit)
        return;
    m_s.hideChoosers();
    m_history.record(m_s.board);
    enterDigit(*cell, digit);
    m_s.showCheckButtons(true);
    m_s.playsounds(QStringLiteral("putnum"));
    emit m_s.changed();
}

void BoardInput::moveSelection(int dColumn, int dRow)
{
    if (!m_s.seated() || !m_s.gameInProgress || m_s.boardLocked())
        return;
    // With no selection (after a check or a change of turn) the first
    // arrow comes back to where the keyboard last was.
    if (m_s.board.selectedColumn == 0) {
        m_s.board.selectedColumn = m_lastColumn;
        m_s.board.selectedRow = m_lastRow;
    } else {
        m_s.board.selectedColumn = qBound(1, m_s.board.selectedColumn + dColumn, 9);
        m_s.board.selectedRow = qBound(1, m_s.board.selectedRow + dRow, 9);
    }
    m_lastColumn = m_s.board.selectedColumn;
    m_lastRow = m_s.board.selectedRow;
    m_s.hideChoosers();
    emit m_s.changed();
}

void BoardInput::button_clearClick()
{
    if (m_s.boardLocked())
        return;
    if (m_s.mySeat > ClientSession::SeatCount) {
        m_s.showCheckButtons(false);
        emit m_s.changed();
        return;
    }
    m_s.imageSelectVisible = false;
    m_s.imagePencilVisible = false;
    m_s.board.clearSelection();
    m_history.record(m_s.board);
    for (int c = 1; c <= 9; ++c) {
        for (int r = 1; r <= 9; ++r) {
            BoardCell &cell = m_s.board.cells[c][r];
            if (cell.value == 0)
                m_s.board.clearMarks(c, r);
            else if (cell.value >= 1 && cell.value <= 9)
                cell.value = 0;
        }
    }
    m_s.board.resetFrames();
    m_s.playsounds(QStringLiteral("clear"));
    emit m_s.changed();
}

void BoardInput::button_checkClick()
{
    if (m_s.mySeat > ClientSession::SeatCount || m_s.boardLocked())
        return;
    m_s.board.resetFrames();
    m_s.imageSelectVisible = false;
    m_s.imagePencilVisible = false;
    m_s.board.clearSelection();
    QList<Msg::Cell> entries;
    for (int c = 1; c <= 9; ++c) {
        for (int r = 1; r <= 9; ++r) {
            const int v = m_s.board.cells[c][r].value;
            if (v >= 1 && v <= 9)
                entries.append({c, r, v});
        }
    }
    if (!entries.isEmpty() && m_s.loggedIn)
        m_s.sendMessage(Msg::checkIt(m_s.mySeat, entries));
    // What was sent is the host's to judge now.
    m_history.clear();
    emit m_s.changed();
}

void BoardInput::setSelectMode(int mode)
{
    m_s.board.clearSelection();
    m_s.imageSelectVisible = false;
    m_s.editFillVisible = false;
    m_s.editFillText.clear();
    m_s.selectMode = mode == 1 ? 1 : 0;
    emit m_s.saveSettingsRequested();
    emit m_s.changed();
}

bool BoardInput::mayPlay() const
{
    return m_s.seated() && m_s.gameInProgress && !m_s.boardLocked();
}

void BoardInput::enterDigit(BoardCell &cell, int digit)
{
    cell.value = digit;
    if (digit != 0 && aids.pencilCleanup)
        BoardAids::clearPencilPeers(m_s.board, m_s.board.selectedColumn, m_s.board.selectedRow, digit);
}

void BoardInput::togglePencil(int mark)
{
    if (!mayPlay() || !BoardState::onBoard(mark))
        return;
    BoardCell *cell = m_s.board.selected();
    if (!cell || cell->value != 0)
        return;
    m_s.hideChoosers();
    m_history.record(m_s.board);
    cell->pencil[mark] = cell->pencil[mark] != 0 ? 0 : mark;
    m_s.playsounds(QStringLiteral("pencil"));
    emit m_s.changed();
}

void BoardInput::openChooser()
{
    if (!mayPlay() || !m_s.board.selected())
        return;
    const QPoint centre = BoardGeometry::cellOrigin(m_s.board.selectedColumn, m_s.board.selectedRow)
        + QPoint(21, 21);
    boardMouseUp(Qt::LeftButton, centre.x(), centre.y());
}

bool BoardInput::closeChoosers()
{
    if (!m_s.editFillVisible && !m_s.imageSelectVisible && !m_s.imagePencilVisible)
        return false;
    m_s.hideChoosers();
    m_s.editFillText.clear();
    emit m_s.changed();
    return true;
}

void BoardInput::checkKey()
{
    if (m_s.buttonCheckVisible)
        button_checkClick();
}

void BoardInput::undo()
{
    if (!aids.undo || !mayPlay() || !m_history.undo(m_s.board))
        return;
    m_s.hideChoosers();
    emit m_s.changed();
}

void BoardInput::redo()
{
    if (!aids.undo || !mayPlay() || !m_history.redo(m_s.board))
        return;
    m_s.hideChoosers();
    emit m_s.changed();
}

int BoardInput::digitOfKey(int key, quint32 scanCode)
{
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return key - Qt::Key_0;
    // A shifted digit key carries the layout's symbol; the X key codes of
    // the digit row are 10 ("1") to 19 ("0") on every layout.
    if (scanCode >= 10 && scanCode <= 19)
        return scanCode == 19 ? 0 : int(scanCode) - 9;
    // Without a key code: the symbols of the US layout's shifted digit row.
    static constexpr int Shifted[10] = {Qt::Key_ParenRight, Qt::Key_Exclam, Qt::Key_At,
                                        Qt::Key_NumberSign, Qt::Key_Dollar, Qt::Key_Percent,
                                        Qt::Key_AsciiCircum, Qt::Key_Ampersand, Qt::Key_Asterisk,
                                        Qt::Key_ParenLeft};
    for (int d = 0; d <= 9; ++d) {
        if (Shifted[d] == key)
            return d;
    }
    return -1;
}

bool BoardInput::keyPress(int key, Qt::KeyboardModifiers modifiers, int digit, const QString &text)
{
    const bool ctrl = modifiers & Qt::ControlModifier;
    const bool shift = modifiers & Qt::ShiftModifier;
    switch (key) {
    case Qt::Key_Left: moveSelection(-1, 0); return true;
    case Qt::Key_Right: moveSelection(1, 0); return true;
    case Qt::Key_Up: moveSelection(0, -1); return true;
    case Qt::Key_Down: moveSelection(0, 1); return true;
    case Qt::Key_Delete:
    case Qt::Key_Backspace: typeDigit(0); return true;
    case Qt::Key_Escape: return closeChoosers();
    case Qt::Key_Space: openChooser(); return true;
    case Qt::Key_Return:
    case Qt::Key_Enter: checkKey(); return true;
    default: break;
    }
    if (digit >= 0 && digit <= 9) {
        if (ctrl || shift) {
            if (digit >= 1)
                togglePencil(digit);
        } else {
            typeDigit(digit);
        }
        return true;
    }
    // A letter typed on the board in Typing mode gets the typing box's answer.
    if (!ctrl && m_s.selectMode == 1 && text.size() == 1 && text.at(0).isLetter() && mayPlay()) {
        const BoardCell *cell = m_s.board.selected();
        if (cell && cell->value <= 9) {
            emit m_s.messageBox(QStringLiteral("HAHA"), false);
            return true;
        }
    }
    return false;
}
