#pragma once

#include <QPoint>

// Where things sit on the board's paint box (450×448). The cell origins are
// measured from the grid picture and are not evenly spaced: steps are 47 or
// 48 pixels inside a box and 53 or 54 across a box border.
namespace BoardGeometry {

constexpr int CellSize = 43;        // a cell picture is 43×43
constexpr int FrameWidth = 149;     // a box frame picture is 149×150
constexpr int FrameHeight = 150;
constexpr int PencilSize = 13;      // a pencil-mark picture is 13×13

// Top-left corner of the cell picture of a column / a row (1–9). A number
// outside 1–9 gives the origin of column or row 1.
int getoffsetx(int column);
int getoffsety(int row);
QPoint cellOrigin(int column, int row);

// Top-left corner of the frame picture of box 1–9 (boxes run down each
// column of boxes first). A number outside 1–9 gives box 1.
QPoint boxOrigin(int box);

// Offset of pencil mark 1–9 from its cell's origin; outside 1–9 gives mark 1.
QPoint pencilOffset(int mark);

// Box 1–9 that holds a cell (column, row 1–9); 0 for a cell off the board.
int boxOf(int column, int row);

} // namespace BoardGeometry
