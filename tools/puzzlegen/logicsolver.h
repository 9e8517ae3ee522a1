#pragma once

#include "tools/puzzlegen/sudokugrid.h"

#include <algorithm>
#include <bit>
#include <set>
#include <vector>

namespace puzzlegen {

// ---------------------------------------------------------------------------------
// Logical solver used for grading.

enum Technique {
    NakedSingle = 1,
    HiddenSingle,
    LockedCandidates,
    Pair,
    Triple,
    Fish,
    TechniqueCount = Fish
};

inline const char *techniqueName(int t)
{
    switch (t) {
    case NakedSingle: return "naked single";
    case HiddenSingle: return "hidden single";
    case LockedCandidates: return "locked candidates";
    case Pair: return "pair";
    case Triple: return "triple";
    case Fish: return "fish";
    default: return "-";
    }
}

class LogicSolver {
public:
    // Solves with techniques up to maxTechnique. Returns the hardest technique the
    // solve needed, or 0 when it got stuck.
    int solve(const Grid &puzzle, int maxTechnique)
    {
        m_value.fill(0);
        m_cand.fill(AllDigits);
        m_open = 81;
        m_broken = false;
        for (int k = 0; k < 81; ++k) {
            if (puzzle[k] != 0 && !place(k, puzzle[k]))
                return 0;
        }
        int hardest = 0;
        while (m_open > 0) {
            int used = 0;
            for (int t = 1; t <= maxTechnique && used == 0; ++t) {
                if (apply(t))
                    used = t;
            }
            if (used == 0 || m_broken)
                return 0;
            hardest = std::max(hardest, used);
        }
        return hardest;
    }

private:
    bool place(int k, int d)
    {
        if (m_value[k] != 0 || !(m_cand[k] & (1u << (d - 1)))) {
            if (m_value[k] != d)
                m_broken = true;
            return !m_broken;
        }
        m_value[k] = d;
        m_cand[k] = 0;
        --m_open;
        for (int p : tables().peers[k]) {
            m_cand[p] &= Mask(~(1u << (d - 1)));
            if (m_value[p] == 0 && m_cand[p] == 0)
                m_broken = true;
        }
        return !m_broken;
    }

    bool eliminate(int k, Mask bits)
    {
        if (m_value[k] != 0 || !(m_cand[k] & bits))
            return false;
        m_cand[k] &= Mask(~bits);
        if (m_cand[k] == 0)
            m_broken = true;
        return true;
    }

    bool apply(int t)
    {
        switch (t) {
        case NakedSingle: return nakedSingle();
        case HiddenSingle: return hiddenSingle();
        case LockedCandidates: return lockedCandidates();
        case Pair: return nakedSubset(2) || hiddenSubset(2);
        case Triple: return nakedSubset(3) || hiddenSubset(3);
        case Fish: return fish(2) || fish(3);
        default: return false;
        }
    }

    bool nakedSingle()
    {
        for (int k = 0; k < 81; ++k) {
            if (m_value[k] == 0 && std::popcount(m_cand[k]) == 1) {
                place(k, std::countr_zero(m_cand[k]) + 1);
                return true;
            }
        }
        return false;
    }

    bool hiddenSingle()
    {
        for (const auto &unit : tables().units) {
            for (int d = 1; d <= 9; ++d) {
                int where = -1;
                int n = 0;
                for (int k : unit) {
                    if (m_value[k] == d) {
                        n = -1;
                        break;
                    }
                    if (m_cand[k] & (1u << (d - 1))) {
                        where = k;
                        ++n;
                    }
                }
                if (n == 1) {
                    place(where, d);
                    return true;
                }
            }
        }
        return false;
    }

    // A digit confined to one line inside a box leaves the rest of that line, and a
    // digit confined to one box inside a line leaves the rest of that box.
    bool lockedCandidates()
    {
        const Tables &tb = tables();
        for (int u = 0; u < 27; ++u) {
            for (int d = 1; d <= 9; ++d) {
                const Mask bit = Mask(1u << (d - 1));
                std::vector<int> cells;
                for (int k : tb.units[u]) {
                    if (m_cand[k] & bit)
                        cells.push_back(k);
                }
                if (cells.size() < 2)
                    continue;
                auto same = [&](auto key) {
                    for (int k : cells) {
                        if (key(k) != key(cells[0]))
                            return false;
                    }
                    return true;
                };
                std::vector<int> targets;
                if (u >= 18) {
                    if (same([](int k) { return k / 9; }))
                        targets.assign(tb.units[cells[0] / 9].begin(), tb.units[cells[0] / 9].end());
                    else if (same([](int k) { return k % 9; }))
                        targets.assign(tb.units[9 + cells[0] % 9].begin(), tb.units[9 + cells[0] % 9].end());
                } else if (same([&](int k) { return tb.boxOf[k]; })) {
                    const auto &box = tb.units[18 + tb.boxOf[cells[0]]];
                    targets.assign(box.begin(), box.end());
                }
                bool changed = false;
                for (int k : targets) {
                    bool inside = false;
                    for (int c : tb.units[u])
                        inside = inside || c == k;
                    if (!inside)
                        changed = eliminate(k, bit) || changed;
                }
                if (changed)
                    return true;
            }
        }
        return false;
    }

    // n open cells of a unit holding only n digits between them.
    bool nakedSubset(int n)
    {
        for (const auto &unit : tables().units) {
            for (unsigned pick = 1; pick < 512; ++pick) {
                if (std::popcount(pick) != n)
                    continue;
                Mask all = 0;
                bool ok = true;
                for (int i = 0; i < 9 && ok; ++i) {
                    if (pick & (1u << i)) {
                        ok = m_value[unit[i]] == 0;
                        all |= m_cand[unit[i]];
                    }
                }
                if (!ok || std::popcount(all) != n)
                    continue;
                bool changed = false;
                for (int i = 0; i < 9; ++i) {
                    if (!(pick & (1u << i)))
                        changed = eliminate(unit[i], all) || changed;
                }
                if (changed)
                    return true;
            }
        }
        return false;
    }

    // n digits of a unit that fit only into the same n cells.
    bool hiddenSubset(int n)
    {
        for (const auto &unit : tables().units) {
            std::array<unsigned, 9> places{}; // per digit: positions inside the unit
            Mask placed = 0;
            for (int i = 0; i < 9; ++i) {
                const int k = unit[i];
                if (m_value[k] != 0)
                    placed |= Mask(1u << (m_value[k] - 1));
                for (int d = 0; d < 9; ++d) {
                    if (m_cand[k] & (1u << d))
                        places[d] |= 1u << i;
                }
            }
            for (unsigned digits = 1; digits < 512; ++digits) {
                if (std::popcount(digits) != n || (digits & placed))
                    continue;
                unsigned cells = 0;
                for (int d = 0; d < 9; ++d) {
                    if (digits & (1u << d))
                        cells |= places[d];
                }
                if (std::popcount(cells) != n)
                    continue;
                bool changed = false;
                for (int i = 0; i < 9; ++i) {
                    if (cells & (1u << i))
                        changed = eliminate(unit[i], Mask(~digits & AllDigits)) || changed;
                }
                if (changed)
                    return true;
            }
        }
        return false;
    }

    // X-wing (n = 2) and swordfish (n = 3), on rows and on columns.
    bool fish(int n)
    {
        for (int byColumn = 0; byColumn < 2; ++byColumn) {
            for (int d = 0; d < 9; ++d) {
                std::array<unsigned, 9> lines{};
                for (int a = 0; a < 9; ++a) {
                    for (int b = 0; b < 9; ++b) {
                        const int k = byColumn ? b * 9 + a : a * 9 + b;
                        if (m_cand[k] & (1u << d))
                            lines[a] |= 1u << b;
                    }
                }
                for (unsigned pick = 1; pick < 512; ++pick) {
                    if (std::popcount(pick) != n)
                        continue;
                    unsigned cover = 0;
                    bool ok = true;
                    for (int a = 0; a < 9 && ok; ++a) {
                        if (pick & (1u << a)) {
                            ok = lines[a] != 0;
                            cover |= lines[a];
                        }
                    }
                    if (!ok || std::popcount(cover) != n)
                        continue;
                    bool changed = false;
                    for (int a = 0; a < 9; ++a) {
                        if (pick & (1u << a))
                            continue;
                        for (int b = 0; b < 9; ++b) {
                            if (cover & (1u << b)) {
                                const int k = byColumn ? b * 9 + a : a * 9 + b;
                                changed = eliminate(k, Mask(1u << d)) || changed;
                            }
                        }
                    }
                    if (changed)
                        return true;
                }
            }
        }
        return false;
    }

    Grid m_value{};
    std::array<Mask, 81> m_cand{};
    int m_open = 81;
    bool m_broken = false;
};

inline int grade(const Grid &puzzle)
{
    LogicSolver s;
    return s.solve(puzzle, TechniqueCount);
}

inline bool singlesSolve(const Grid &puzzle)
{
    LogicSolver s;
    return s.solve(puzzle, HiddenSingle) != 0;
}

} // namespace puzzlegen
