#pragma once

// The grid file routines: a grid of text cells written as tally text and
// kept compressed in a WRZL file.
//
// Tally text is 8-bit text, every line ended by CR LF: the column count, the
// row count, then every cell on a line of its own, column by column and,
// within a column, row by row.

#include "base/errors.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// A grid of text cells with at least one column and one row. Cells outside
// the grid read as empty; writes outside it are dropped.
class StringGrid
{
public:
    explicit StringGrid(int columns = 1, int rows = 1);

    int columnCount() const { return m_columns; }
    int rowCount() const { return int(m_rows.size()); }
    // Keeps the cells that stay inside; new cells are empty. Counts below 1
    // count as 1.
    void setSize(int columns, int rows);

    QString cell(int column, int row) const;
    void setCell(int column, int row, const QString &text);

    QStringList row(int row) const { return m_rows.value(row); }
    void removeRow(int row);
    void appendRow(const QStringList &cells);

    bool operator==(const StringGrid &other) const = default;

private:
    int m_columns = 1;
    QList<QStringList> m_rows;
};

// The tally text could not be read: a count line that is not a number, or
// counts that do not fit the text.
class EGridTextError : public GameError
{
public:
    using GameError::GameError;
};

// The largest tally text the reader accepts (the length a WRZL file states
// is checked against it before anything is decompressed).
inline constexpr qsizetype MaxGridTextSize = 32 * 1024 * 1024;
// How many cell lines may be missing at the end of the text; counts that
// claim more cells than that are refused rather than allocated.
inline constexpr qint64 MaxMissingCellLines = 4096;

// The grid as tally text. Cells are written as UTF-8; a CR or LF inside a
// cell becomes a blank so that every cell stays on its own line.
QByteArray gridToText(const StringGrid &grid);

// Reads tally text into grid. Lines end with CR LF, LF or CR. A count line
// is a decimal integer, blanks before it and anything after it on the line
// being ignored. Cell lines missing at the end read as empty cells. Lines
// are UTF-8 where valid, else Latin-1. Throws EGridTextError; grid is only
// changed when the whole text was read.
void textToGrid(const QByteArray &text, StringGrid &grid);

// Writes the grid as compressed tally text to fileName. The file is replaced
// atomically: a temporary file beside it is renamed over it, so a failure
// leaves any previous file whole. Throws ELzrw1Exception.
void SaveGridToFile(const StringGrid &grid, const QString &fileName);

// Reads the grid back from a compressed tally file. Throws ELzrw1Exception
// for a file that cannot be read or decompressed and EGridTextError for text
// that cannot be read; grid is only changed on success.
void LoadGridFromFile(StringGrid &grid, const QString &fileName);

// LoadGridFromFile's reading of the file's bytes, fileName naming it in the
// messages.
void gridFromFileBytes(const QByteArray &packed, const QString &fileName, StringGrid &grid);
