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

#include "tools/puzzlegen/backtracker.h"
#include "tools/puzzlegen/logicsolver.h"
#include "tools/puzzlegen/random.h"
#include "tools/puzzlegen/sudokugrid.h"

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

using namespace puzzlegen;

namespace {

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
