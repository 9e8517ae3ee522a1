#pragma once

#include "tools/puzzlegen/random.h"
#include "tools/puzzlegen/sudokugrid.h"

#include <algorithm>
#include <bit>

namespace puzzlegen {

// ---------------------------------------------------------------------------------
// Backtracking: counting solutions and filling random complete grids.

class Backtracker {
public:
    // Returns false when the givens already clash.
    bool init(const Grid &g)
    {
        m_grid = g;
        m_row.fill(0);
        m_col.fill(0);
        m_box.fill(0);
        for (int k = 0; k < 81; ++k) {
            const int d = g[k];
            if (d == 0)
                continue;
            const Mask bit = Mask(1u << (d - 1));
            const int r = k / 9, c = k % 9, b = tables().boxOf[k];
            if ((m_row[r] | m_col[c] | m_box[b]) & bit)
                return false;
            m_row[r] |= bit;
            m_col[c] |= bit;
            m_box[b] |= bit;
        }
        return true;
    }

    int count(int limit)
    {
        m_found = 0;
        m_limit = limit;
        m_random = nullptr;
        search();
        return m_found;
    }

    bool fillRandom(Random &random)
    {
        m_found = 0;
        m_limit = 1;
        m_random = &random;
        search();
        return m_found == 1;
    }

    const Grid &solution() const { return m_solution; }

private:
    Mask free(int k) const
    {
        return Mask(~(m_row[k / 9] | m_col[k % 9] | m_box[tables().boxOf[k]]) & AllDigits);
    }

    void set(int k, int d, bool on)
    {
        const Mask bit = Mask(1u << (d - 1));
        const int r = k / 9, c = k % 9, b = tables().boxOf[k];
        m_grid[k] = on ? d : 0;
        m_row[r] ^= bit;
        m_col[c] ^= bit;
        m_box[b] ^= bit;
    }

    void search()
    {
        int best = -1;
        int bestCount = 10;
        for (int k = 0; k < 81 && bestCount > 1; ++k) {
            if (m_grid[k] != 0)
                continue;
            const int n = std::popcount(free(k));
            if (n < bestCount) {
                best = k;
                bestCount = n;
            }
        }
        if (best < 0) {
            if (m_found++ == 0)
                m_solution = m_grid;
            return;
        }
        if (bestCount == 0)
            return;
        std::vector<int> digits;
        for (int d = 1; d <= 9; ++d) {
            if (free(best) & (1u << (d - 1)))
                digits.push_back(d);
        }
        if (m_random)
            m_random->shuffle(digits);
        for (int d : digits) {
            set(best, d, true);
            search();
            set(best, d, false);
            if (m_found >= m_limit)
                return;
        }
    }

    Grid m_grid{};
    Grid m_solution{};
    std::array<Mask, 9> m_row{}, m_col{}, m_box{};
    int m_found = 0;
    int m_limit = 2;
    Random *m_random = nullptr;
};

inline int countSolutions(const Grid &g, int limit)
{
    Backtracker b;
    if (!b.init(g))
        return 0;
    return b.count(limit);
}

} // namespace puzzlegen
