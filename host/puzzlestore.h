#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>
#include <random>

// The host's three fixed puzzle lists (1 easy, 2 medium, 3 hard), read from the text
// shipped as ":/puzzles.txt" (layout described at the top of resources/puzzles.txt).
//
// An entry is kept as its text: 81 givens "d+" (0 = empty), ":", 81 solution digits
// "d+"; the k-th number belongs to column (k mod 9) + 1, row (k div 9) + 1.
// Every entry is checked when the lists are loaded; damaged text is refused as a whole.
class PuzzleStore
{
public:
    static constexpr int TypeCount = 3;
    static constexpr int EntryLength = 325;

    // Loads all three lists. On any damage returns false, keeps no list, and
    // errorString() names the line and the fault.
    bool load(const QByteArray &text);
    bool loadFile(const QString &path);
    // The lists compiled into the program (needs the program's resources linked in).
    bool loadResource();

    bool isLoaded() const { return m_loaded; }
    QString errorString() const { return m_error; }

    // The list "listbox_" + puzzleType; an empty list for a type other than 1-3.
    const QList<QByteArray> &list(int puzzleType) const;

    // A uniformly drawn index 0 .. count - 2: the last entry of a list is never drawn.
    // -1 when the type names no list or its list holds fewer than two entries.
    int drawIndex(int puzzleType, std::mt19937 &rng) const;

    // Entries a complete list holds (48, 15, 10), and the allowed number of givens.
    static int expectedCount(int puzzleType);
    static int minGivens(int puzzleType);
    static int maxGivens(int puzzleType);

    // Splits an entry into givens and solution, indexed [column - 1][row - 1].
    // Checks the layout only (length, digits, "+" and ":"); false when it is broken.
    static bool parseEntry(const QByteArray &entry, int givens[9][9], int solution[9][9]);

    // Everything wrong with an entry of the given list, or an empty text when it is
    // sound: layout, a complete solution grid, givens agreeing with it, and the
    // number of givens for its difficulty.
    static QString entryError(const QByteArray &entry, int puzzleType);

    // "+column+row+digit" for every non-zero cell, column by column, each column from
    // row 1 down: the cell list the host sends with the givens.
    static QByteArray givensList(const int givens[9][9]);
    static int givenCount(const int givens[9][9]);

private:
    bool fail(const QString &why);

    std::array<QList<QByteArray>, TypeCount> m_lists;
    QString m_error;
    bool m_loaded = false;
};
