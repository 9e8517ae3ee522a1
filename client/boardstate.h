#pragma once

// The client's board: what each cell shows, the pencil marks, the highlighted
// box frames, the selected cell and the penalty countdown.
//
// A cell value is also the index of its picture: 0 empty; d (1-9) this
// player's unchecked digit; d+9 a given, or a digit reported again for a cell
// that was already locked; d+18 a digit placed by another player; d+27 this
// player's digit confirmed right.
struct BoardCell
{
    int value = 0;
    int pencil[10] = {}; // [1..9]; pencil[k] is k while mark k is set, else 0
    int placedBy = 0;    // the seat whose check placed a d+18 digit; 0 when not known
};

struct BoardState
{
    BoardCell cells[10][10]; // [column][row], 1-9
    int boxHighlight[10] = {}; // [1..9]
    int selectedColumn = 0;
    int selectedRow = 0;
    int penaltyTicks = 0;

    static bool onBoard(int n) { return n >= 1 && n <= 9; }
    BoardCell &cell(int column, int row) { return cells[column][row]; }
    const BoardCell &cell(int column, int row) const { return cells[column][row]; }
    BoardCell *selected()
    {
        if (!onBoard(selectedColumn) || !onBoard(selectedRow))
            return nullptr;
        return &cells[selectedColumn][selectedRow];
    }
    void clearSelection() { selectedColumn = selectedRow = 0; }
    void resetFrames()
    {
        for (int &b : boxHighlight)
            b = 0;
    }
    void clearMarks(int column, int row)
    {
        for (int &m : cells[column][row].pencil)
            m = 0;
    }
};
