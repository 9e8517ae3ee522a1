#pragma once

#include "client/boardstate.h"

#include <array>
#include <vector>

// The player's aids on the board, worked out from what the board shows and
// nothing else (never the solution): which cells to highlight around the
// selection, which of the player's own digits repeat in a row, column or
// box, the pencil clean-up after a digit is entered, and the undo history of
// unchecked entries and pencil marks.
namespace BoardAids {

// A set of cells, [column][row], 1-9.
struct CellSet
{
    bool on[10][10] = {};
    bool has(int column, int row) const { return on[column][row]; }
    int count() const;
};

// The digit a cell shows (1-9), or 0 when it is empty.
int shownDigit(int value);
// Two different cells that share a row, a column or a box.
bool peers(int column1, int row1, int column2, int row2);

// The selected cell's row, column and box, and every cell showing the same
// digit as the selected cell. Empty without a selection.
CellSet highlight(const BoardState &board);

// The player's own unchecked digits (values 1-9) that repeat a digit shown
// in their row, column or box.
CellSet conflicts(const BoardState &board);

// Removes pencil mark `digit` from every cell in the row, column and box of
// (column, row); returns how many marks went.
int clearPencilPeers(BoardState &board, int column, int row, int digit);

} // namespace BoardAids

// Undo and redo of what the player changed on the board since the last
// check: unchecked digits and pencil marks. A step back restores only cells
// that hold no given or judged digit, now or in the stored board, so neither
// a given nor a confirmed digit is ever undone.
class BoardHistory
{
public:
    static constexpr int MaxSteps = 500;

    // Call before a change the player makes.
    void record(const BoardState &board);
    // Returns false when there is nothing to undo (redo).
    bool undo(BoardState &board);
    bool redo(BoardState &board);
    void clear();
    bool canUndo() const { return !m_undo.empty(); }
    bool canRedo() const { return !m_redo.empty(); }

private:
    struct Snapshot
    {
        std::array<BoardCell, 81> cells;
    };
    static Snapshot take(const BoardState &board);
    static void restore(BoardState &board, const Snapshot &snapshot);

    std::vector<Snapshot> m_undo;
    std::vector<Snapshot> m_redo;
};
