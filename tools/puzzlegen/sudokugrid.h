// Grids, candidate masks and the row, column and box tables of the puzzle maker.
#pragma once

#include <array>
#include <cstdint>

namespace puzzlegen {

// Cells are numbered as in an entry: k = 9 * (row - 1) + (column - 1).
using Grid = std::array<int, 81>;
using Mask = std::uint16_t; // bit d-1 set: digit d is still possible

constexpr Mask AllDigits = 0x1ff;

struct Tables {
    std::array<std::array<int, 9>, 27> units{}; // rows 0-8, columns 9-17, boxes 18-26
    std::array<std::array<int, 20>, 81> peers{};
    std::array<int, 81> boxOf{};

    Tables()
    {
        for (int k = 0; k < 81; ++k) {
            const int r = k / 9;
            const int c = k % 9;
            const int b = (r / 3) * 3 + c / 3;
            boxOf[k] = b;
            units[r][c] = k;
            units[9 + c][r] = k;
            units[18 + b][(r % 3) * 3 + c % 3] = k;
        }
        for (int k = 0; k < 81; ++k) {
            int n = 0;
            for (int j = 0; j < 81; ++j) {
                if (j != k && (j / 9 == k / 9 || j % 9 == k % 9 || boxOf[j] == boxOf[k]))
                    peers[k][n++] = j;
            }
        }
    }
};

inline const Tables &tables()
{
    static const Tables t;
    return t;
}

} // namespace puzzlegen
