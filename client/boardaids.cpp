#include "client/boardaids.h"

#include <cstddef>

namespace BoardAids {

int CellSet::count() const
{
    int n = 0;
    for (int c = 1; c <= 9; ++c) {
        for (int r = 1; r <= 9; ++r)
            n += on[c][r] ? 1 : 0;
    }
    return n;
}

int shownDigit(int value)
{
    if (value < 1 || value > 36)
        return 0;
    return (value - 1) % 9 + 1;
}

bool peers(int column1, int row1, int column2, int row2)
{
    if (column1 == column2 && row1 == row2)
        return false;
    const bool sameBox = (column1 - 1) / 3 == (column2 - 1) / 3 && (row1 - 1) / 3 == (row2 - 1) / 3;
    return column1 == column2 || row1 == row2 || sameBox;
}

CellSet highlight(const BoardState &board)
{
    CellSet set;
    const int sc = board.selectedColumn;
    const int sr = board.selectedRow;
    if (!BoardState::onBoard(sc) || !BoardState::onBoard(sr))
        return set;
    const int digit = shownDigit(board.cell(sc, sr).value);
    for (int c = 1; c <= 9; ++c) {
        for (int r = 1; r <= 9; ++r) {
            const bool sameDigit = digit != 0 && shownDigit(board.cell(c, r).value) == digit;
            set.on[c][r] = (c == sc && r == sr) || peers(c, r, sc, sr) || sameDigit;
        }
    }
    return set;
}

CellSet conflicts(const BoardState &board)
{
    CellSet set;
    for (int c = 1; c <= 9; ++c) {
        for (int r = 1; r <= 9; ++r) {
            const int value = board.cell(c, r).value;
            if (value < 1 || value > 9)
                continue;
            for (int c2 = 1; c2 <= 9 && !set.on[c][r]; ++c2) {
                for (int r2 = 1; r2 <= 9; ++r2) {
                    if (peers(c, r, c2, r2) && shownDigit(board.cell(c2, r2).value) == value) {
                        set.on[c][r] = true;
                        break;
                    }
                }
            }
        }
    }
    return set;
}

int clearPencilPeers(BoardState &board, int column, int row, int digit)
{
    if (!BoardState::onBoard(column) || !BoardState::onBoard(row) || !BoardState::onBoard(digit))
        return 0;
    int removed = 0;
    for (int c = 1; c <= 9; ++c) {
        for (int r = 1; r <= 9; ++r) {
            int &mark = board.cell(c, r).pencil[digit];
            if (mark != 0 && peers(c, r, column, row)) {
                mark = 0;
                ++removed;
            }
        }
    }
    return removed;
}

} // namespace BoardAids

BoardHistory::Snapshot BoardHistory::take(const BoardState &board)
{
    Snapshot s;
    for (int c = 1; c <= 9; ++c) {
        for (int r = 1; r <= 9; ++r)
            s.cells[std::size_t((c - 1) * 9 + r - 1)] = board.cell(c, r);
    }
    return s;
}

void BoardHistory::restore(BoardState &board, const Snapshot &snapshot)
{
    for (int c = 1; c <= 9; ++c) {
        for (int r = 1; r <= 9; ++r) {
            BoardCell &now = board.cell(c, r);
            const BoardCell &then = snapshot.cells[std::size_t((c - 1) * 9 + r - 1)];
            if (now.value > 9 || then.value > 9)
                continue;
            now = then;
        }
    }
}

void BoardHistory::record(const BoardState &board)
{
    m_undo.push_back(take(board));
    if (m_undo.size() > std::size_t(MaxSteps))
        m_undo.erase(m_undo.begin());
    m_redo.clear();
}

bool BoardHistory::undo(BoardState &board)
{
    if (m_undo.empty())
        return false;
    m_redo.push_back(take(board));
    restore(board, m_undo.back());
    m_undo.pop_back();
    return true;
}

bool BoardHistory::redo(BoardState &board)
{
    if (m_redo.empty())
        return false;
    m_undo.push_back(take(board));
    restore(board, m_redo.back());
    m_redo.pop_back();
    return true;
}

void BoardHistory::clear()
{
    m_undo.clear();
    m_redo.clear();
}
