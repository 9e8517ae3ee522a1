#include "client/boardgeometry.h"

namespace BoardGeometry {

namespace {

constexpr int ColumnX[9] = {6, 54, 102, 156, 204, 251, 305, 352, 400};
constexpr int RowY[9] = {5, 53, 101, 154, 201, 249, 302, 349, 396};
constexpr int PencilX[9] = {2, 14, 27, 2, 14, 27, 2, 14, 27};
constexpr int PencilY[9] = {1, 1, 1, 15, 15, 15, 29, 29, 29};

// 1–9 to a table index; anything else to the first entry.
constexpr int slot(int n)
{
    return (n >= 1 && n <= 9) ? n - 1 : 0;
}

} // namespace

int getoffsetx(int column)
{
    return ColumnX[slot(column)];
}

int getoffsety(int row)
{
    return RowY[slot(row)];
}

QPoint cellOrigin(int column, int row)
{
    return QPoint(getoffsetx(column), getoffsety(row));
}

QPoint boxOrigin(int box)
{
    const int i = slot(box);
    // 150 across but 149 down: the grid picture is not square.
    return QPoint((i / 3) * 150, (i % 3) * 149);
}

QPoint pencilOffset(int mark)
{
    const int i = slot(mark);
    return QPoint(PencilX[i], PencilY[i]);
}

int boxOf(int column, int row)
{
    if (column < 1 || column > 9 || row < 1 || row > 9)
        return 0;
    return 3 * ((column - 1) / 3) + (row - 1) / 3 + 1;
}

} // namespace BoardGeometry
