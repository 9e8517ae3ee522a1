#pragma once

// The tally table: the local player's totals in row 0 and one record per
// tallied opponent in the rows below, all as text cells.
//
// Row 0: column 1 the finished games in which the local player held a seat,
// column 2 the games he won, the rest "0".
// Rows 1..n: column 0 the opponent's name; columns 1-4 the games played
// together and who won them (the opponent, the local player, neither) over
// all runs; columns 5-8 the same for this run only.

#include "tally/brenvikstrgrid.h"

#include <QString>
#include <QStringList>

class TallyTable : public StringGrid
{
public:
    static constexpr int Columns = 9;
    // First column of the session counts.
    static constexpr int SessionColumn = 5;

    // The result that stands for a game the local player won.
    static QString mineResult() { return QStringLiteral("addtomine"); }
    // The tally file's name in its folder.
    static QString fileName() { return QStringLiteral("sudoku") + QStringLiteral("tally.tld"); }

    // An empty tally: row 0 alone, every cell "0".
    TallyTable();

    int recordCount() const { return rowCount() - 1; }
    QStringList names() const;
    // The row of the first record whose name matches, letter case ignored;
    // -1 when there is none.
    int findRecord(const QString &name) const;

    // Adds 1 to one counter cell and returns the new count. Throws
    // EConvertError when the cell does not hold a decimal integer.
    int addit(int column, int row);
    int addtomineincrease(int column) { return addit(column, 0); }

    // Counts one finished game. result is mineResult() when the local player
    // won, else the winner text; seated are the other players at the table.
    // Row 0 counts every game; each seated player with a record counts it in
    // his record. A counter that is not a number throws EConvertError, and
    // the counts made before it stay.
    void addgame(const QString &result, const QStringList &seated);

    // Appends a record of zeros for name and returns its row.
    int appendRecord(const QString &name);
    // Removes record row (1..n); the records below move up one row.
    void moverow(int row);
    // Back to the empty tally.
    void reset();
    // A new session: the session counts of every record become "0".
    void zeroSession();
    // Takes a grid read from a file: cut or widened to 9 columns.
    void assignGrid(const StringGrid &grid);
    // Takes a grid read from the tally file as load() does: a new session
    // begins. Throws EConvertError for a counter that is no number.
    void takeLoaded(const StringGrid &grid);

    // ---- the tally file ----

    struct LoadResult
    {
        bool ok = true;
        QString error;      // the reader's message
        QString keptAs;     // where the damaged file was moved, if it was
        // The text for the player's error box.
        QString message() const;
    };

    // Loads the tally from path. No file: the empty tally. A file that
    // cannot be read leaves the empty tally and is moved aside to a free
    // name beside it ("sudokutally.tld.damaged", ".damaged.2", ...), so no
    // save replaces it; if it cannot be moved, saving stays off for this run.
    LoadResult load(const QString &path);
    // Writes the tally to path, replacing the old file atomically. Returns
    // false on any failure, the old file then being left whole.
    bool save(const QString &path) const;
    bool savingBlocked() const { return m_saveBlocked; }

private:
    // Throws EConvertError for a counter that a game could not count; row
    // 0's empty counters become "0".
    void checkCounters();

    bool m_saveBlocked = false;
};
