// puzzlegen: makes the three puzzle lists the host ships in resources/puzzles.txt.
//
//     puzzlegen <seed> <output-file>
//
// The same seed gives the same file, byte for byte, on every platform: the only
// randomness is std::mt19937 (whose sequence the C++ standard fixes), reduced with
// our own arithmetic rather than the library's distributions.
//
// Every puzzle is made from a random complete grid by taking givens away in random
// order, then graded by a small logical solver that always uses the simplest
// technique that still makes progress:
//
//     1 naked single      3 locked candidates (pointing, box-line)
//     2 hidden single     4 naked/hidden pair   5 naked/hidden triple   6 X-wing/swordfish
//
// easy   (30-36 givens): solved by singles alone (levels 1-2)
// medium (26-31 givens): singles get stuck, pointing and box-line steps finish it
// hard   (25-29 givens): needs level 4 or above, and the solver finishes it
//
// Every puzzle has exactly one solution (checked by a backtracking counter).

#include <array>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

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

const Tables &tables()
{
    static const Tables t;
    return t;
}

class Random {
public:
    explicit Random(std::uint32_t seed) : m_engine(seed) {}

    // 0 .. n-1; the tiny modulo bias does not matter here and keeps the output portable.
    int below(int n) { return int(m_engine() % std::uint32_t(n)); }

    template <typename T> void shuffle(std::vector<T> &v)
    {
        for (int i = int(v.size()) - 1; i > 0; --i)
            std::swap(v[i], v[below(i + 1)]);
    }

private:
    std::mt19937 m_engine;
};

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

int countSolutions(const Grid &g, int limit)
{
    Backtracker b;
    if (!b.init(g))
        return 0;
    return b.count(limit);
}

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

const char *techniqueName(int t)
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

int grade(const Grid &puzzle)
{
    LogicSolver s;
    return s.solve(puzzle, TechniqueCount);
}

bool singlesSolve(const Grid &puzzle)
{
    LogicSolver s;
    return s.solve(puzzle, HiddenSingle) != 0;
}

int givenCount(const Grid &g)
{
    int n = 0;
    for (int d : g)
        n += d != 0;
    return n;
}

// ---------------------------------------------------------------------------------
// Making puzzles.

struct Puzzle {
    Grid givens{};
    Grid solution{};
    int level = 0;
};

struct Kind {
    const char *name;
    int minGivens, maxGivens;  // allowed range of the finished puzzle
    int minTarget, maxTarget;  // range of the random number of givens aimed at
    int minLevel, maxLevel;    // hardest technique needed
    bool singlesOnly;          // carve only while singles still finish the puzzle
    int count;
};

Grid randomGrid(Random &random)
{
    Backtracker b;
    b.init(Grid{});
    if (!b.fillRandom(random)) {
        std::cerr << "puzzlegen: could not fill an empty grid\n";
        std::exit(2);
    }
    return b.solution();
}

// Takes givens away in random order down to the target. Easy puzzles keep only
// removals after which singles still finish the puzzle (which also keeps the solution
// unique); the others keep removals that leave exactly one solution.
Grid carve(const Grid &solution, int target, bool singlesOnly, Random &random)
{
    Grid g = solution;
    std::vector<int> order(81);
    for (int k = 0; k < 81; ++k)
        order[k] = k;
    random.shuffle(order);
    int left = 81;
    for (int k : order) {
        if (left <= target)
            break;
        const int keep = g[k];
        g[k] = 0;
        const bool ok = singlesOnly ? singlesSolve(g) : countSolutions(g, 2) == 1;
        if (ok)
            --left;
        else
            g[k] = keep;
    }
    return g;
}

Puzzle makePuzzle(const Kind &kind, Random &random, long &attempts)
{
    for (;;) {
        ++attempts;
        Puzzle p;
        p.solution = randomGrid(random);
        const int target = kind.minTarget + random.below(kind.maxTarget - kind.minTarget + 1);
        p.givens = carve(p.solution, target, kind.singlesOnly, random);
        const int n = givenCount(p.givens);
        if (n < kind.minGivens || n > kind.maxGivens)
            continue;
        p.level = grade(p.givens);
        if (p.level < kind.minLevel || p.level > kind.maxLevel)
            continue;
        return p;
    }
}

// Every puzzle is checked again on its own before it is written.
bool verify(const Puzzle &p, const Kind &kind)
{
    for (int k = 0; k < 81; ++k) {
        if (p.givens[k] != 0 && p.givens[k] != p.solution[k])
            return false;
    }
    for (const auto &unit : tables().units) {
        Mask seen = 0;
        for (int k : unit)
            seen |= Mask(1u << (p.solution[k] - 1));
        if (seen != AllDigits)
            return false;
    }
    const int n = givenCount(p.givens);
    if (n < kind.minGivens || n > kind.maxGivens)
        return false;
    Backtracker b;
    return b.init(p.givens) && b.count(2) == 1 && b.solution() == p.solution;
}

std::string entryText(const Puzzle &p)
{
    std::string s;
    s.reserve(325);
    for (int d : p.givens) {
        s += char('0' + d);
        s += '+';
    }
    s += ':';
    for (int d : p.solution) {
        s += char('0' + d);
        s += '+';
    }
    return s;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::cerr << "usage: puzzlegen <seed> <output-file>\n";
        return 1;
    }
    char *end = nullptr;
    const unsigned long seed = std::strtoul(argv[1], &end, 10);
    if (*argv[1] == '\0' || *end != '\0' || seed > 0xffffffffUL) {
        std::cerr << "puzzlegen: the seed must be a decimal number below 2^32\n";
        return 1;
    }

    const std::array<Kind, 3> kinds{{
        {"easy", 26, 42, 30, 36, NakedSingle, HiddenSingle, true, 48},
        {"medium", 26, 31, 26, 31, LockedCandidates, LockedCandidates, false, 15},
        {"hard", 25, 29, 25, 29, Pair, TechniqueCount, false, 10},
    }};

    Random random{std::uint32_t(seed)};
    std::set<std::string> seen;
    std::string out;
    out += "# Puzzle lists of the host, made by: puzzlegen " + std::to_string(seed) +
           " resources/puzzles.txt\n"
           "#\n"
           "# A line \"[easy]\", \"[medium]\" or \"[hard]\" starts a list; every following line\n"
           "# up to the next such line is one entry of that list, in list order. Lines that\n"
           "# begin with \"#\" and empty lines are ignored.\n"
           "#\n"
           "# An entry is 325 characters: the 81 givens, each a digit 0-9 (0 = empty) followed\n"
           "# by \"+\", then \":\", then the 81 digits of the solution, each followed by \"+\".\n"
           "# The k-th number (from 0) is the cell in column (k mod 9) + 1, row (k div 9) + 1.\n"
           "# easy: 48 entries, 26-42 givens; medium: 15, 26-31; hard: 10, 25-29.\n"
           "# Every puzzle has exactly one solution. The last entry of a list is never drawn.\n";

    for (const Kind &kind : kinds) {
        out += "\n[" + std::string(kind.name) + "]\n";
        long attempts = 0;
        std::array<int, TechniqueCount + 1> levels{};
        int fewest = 81, most = 0;
        for (int i = 0; i < kind.count; ++i) {
            Puzzle p = makePuzzle(kind, random, attempts);
            const std::string text = entryText(p);
            if (!seen.insert(text.substr(0, 162)).second) {
                --i;
                continue;
            }
            if (!verify(p, kind)) {
                std::cerr << "puzzlegen: internal check failed for " << text << "\n";
                return 2;
            }
            ++levels[p.level];
            fewest = std::min(fewest, givenCount(p.givens));
            most = std::max(most, givenCount(p.givens));
            out += text + "\n";
        }
        std::cerr << kind.name << ": " << kind.count << " puzzles from " << attempts
                  << " attempts, givens " << fewest << "-" << most << ", hardest step:";
        for (int t = 1; t <= TechniqueCount; ++t) {
            if (levels[t])
                std::cerr << " " << techniqueName(t) << " " << levels[t];
        }
        std::cerr << "\n";
    }

    std::ofstream file(argv[2], std::ios::binary | std::ios::trunc);
    file << out;
    file.close();
    if (!file) {
        std::cerr << "puzzlegen: could not write " << argv[2] << "\n";
        return 1;
    }
    return 0;
}
