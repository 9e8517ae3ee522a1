#include "tally/brenvikstrgrid.h"

#include "base/wiretext.h"
#include "tally/lzrw1.h"
#include "base/regularfile.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <limits>

StringGrid::StringGrid(int columns, int rows)
{
    setSize(columns, rows);
}

void StringGrid::setSize(int columns, int rows)
{
    m_columns = std::max(columns, 1);
    rows = std::max(rows, 1);
    m_rows.resize(rows);
    for (QStringList &r : m_rows)
        r.resize(m_columns);
}

QString StringGrid::cell(int column, int row) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= m_columns)
        return QString();
    return m_rows[row][column];
}

void StringGrid::setCell(int column, int row, const QString &text)
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= m_columns)
        return;
    m_rows[row][column] = text;
}

void StringGrid::removeRow(int row)
{
    if (row < 0 || row >= rowCount() || rowCount() <= 1)
        return;
    m_rows.removeAt(row);
}

void StringGrid::appendRow(const QStringList &cells)
{
    QStringList r = cells;
    r.resize(m_columns);
    m_rows.append(r);
}

// ---- tally text ----

QByteArray gridToText(const StringGrid &grid)
{
    QByteArray text;
    text += QByteArray::number(grid.columnCount()) + "\r\n";
    text += QByteArray::number(grid.rowCount()) + "\r\n";
    for (int c = 0; c < grid.columnCount(); ++c) {
        for (int r = 0; r < grid.rowCount(); ++r) {
            QByteArray line = toWire(grid.cell(c, r));
            line.replace('\r', ' ').replace('\n', ' ');
            text += line + "\r\n";
        }
    }
    return text;
}

namespace {

class LineReader
{
public:
    explicit LineReader(const QByteArray &text) : m_text(text) {}

    bool atEnd() const { return m_pos >= m_text.size(); }

    // The next line without its end; an empty view at the end of the text.
    QByteArrayView next()
    {
        const qsizetype start = m_pos;
        qsizetype end = start;
        while (end < m_text.size() && m_text[end] != '\r' && m_text[end] != '\n')
            ++end;
        m_pos = end;
        if (m_pos < m_text.size() && m_text[m_pos] == '\r')
            ++m_pos;
        if (m_pos < m_text.size() && m_text[m_pos] == '\n')
            ++m_pos;
        return QByteArrayView(m_text).sliced(start, end - start);
    }

    // How many lines are left (a last line without its end counts).
    qint64 linesLeft() const
    {
        qint64 lines = 0;
        for (qsizetype i = m_pos; i < m_text.size(); ++i) {
            if (m_text[i] == '\n' || (m_text[i] == '\r' && (i + 1 == m_text.size() || m_text[i + 1] != '\n')))
                ++lines;
        }
        const char last = m_text.isEmpty() ? '\n' : m_text.back();
        if (m_pos < m_text.size() && last != '\n' && last != '\r')
            ++lines;
        return lines;
    }

private:
    const QByteArray &m_text;
    qsizetype m_pos = 0;
};

const QString numericError = QStringLiteral("Invalid numeric input");

int readCount(LineReader &lines)
{
    if (lines.atEnd())
        throw EGridTextError(numericError);
    const QByteArrayView line = lines.next();
    qsizetype i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < line.size() && (line[i] == '+' || line[i] == '-'))
        negative = line[i++] == '-';
    const qsizetype digits = i;
    long long value = 0;
    for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) {
        value = value * 10 + (line[i] - '0');
        if (value > std::numeric_limits<int>::max())
            throw EGridTextError(numericError);
    }
    // The number ends at a blank or at the end of the line.
    if (i == digits || (i < line.size() && line[i] != ' ' && line[i] != '\t'))
        throw EGridTextError(numericError);
    return int(negative ? -value : value);
}

} // namespace

void textToGrid(const QByteArray &text, StringGrid &grid)
{
    LineReader lines(text);
    const int columns = readCount(lines);
    const int rows = readCount(lines);
    const auto sizeError = [&] {
        return EGridTextError(QStringLiteral("Invalid grid size: %1 columns, %2 rows").arg(columns).arg(rows));
    };
    if (columns < 1 || rows < 1)
        throw sizeError();
    const qint64 cells = qint64(columns) * rows;
    if (cells > lines.linesLeft() + MaxMissingCellLines)
        throw sizeError();

    StringGrid read(columns, rows);
    for (int c = 0; c < columns; ++c) {
        for (int r = 0; r < rows; ++r) {
            if (lines.atEnd())
                break;
            read.setCell(c, r, fromWire(lines.next().toByteArray()));
        }
    }
    grid = std::move(read);
}

// ---- files ----

namespace {

[[noreturn]] void fail(const QString &message)
{
    throw ELzrw1Exception(message);
}

// The text length a WRZL file states; -1 for anything else.
qint64 storedLength(const QByteArray &packed)
{
    if (packed.size() < 8 || !packed.startsWith(Tlzrw1::fastIdentifier()))
        return -1;
    const auto *h = reinterpret_cast<const uchar *>(packed.constData());
    return qint32(quint32(h[4]) | (quint32(h[5]) << 8) | (quint32(h[6]) << 16) | (quint32(h[7]) << 24));
}

} // namespace

void SaveGridToFile(const StringGrid &grid, const QString &fileName)
{
    const QByteArray packed = Tlzrw1::compressBytes(gridToText(grid));
    // Unbuffered, so that a short write is seen here: one during the flush
    // inside commit() would not stop the rename.
    QSaveFile out(fileName);
    if (fileName.isEmpty() || !out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        fail(QStringLiteral("Lzrw1 (de)compression : Failed to open output file : ") + fileName);
    if (out.write(packed) != packed.size()) {
        out.cancelWriting();
        fail(QStringLiteral("Lzrw1 : Error writing to output file : ") + fileName);
    }
    if (!out.commit())
        fail(QStringLiteral("Lzrw1 : Error writing to output file : ") + fileName);
}

void LoadGridFromFile(StringGrid &grid, const QString &fileName)
{
    QFile in;
    const RegularFileOpen opened = openRegularFile(in, fileName);
    if (opened == RegularFileOpen::NotRegular)
        fail(fileName + QStringLiteral(" is not a regular file, so it is not read."));
    if (opened != RegularFileOpen::Opened)
        fail(QStringLiteral("Lzrw1 (de)compression : Failed to open input file : ") + fileName);

    // Read no more than the header says the text can need: every block of
    // 32768 bytes costs at most 3 bytes more stored than its text.
    QByteArray packed = in.read(8);
    const qint64 stored = storedLength(packed);
    if (stored >= 0 && stored <= MaxGridTextSize)
        packed += in.read(stored + 3 * (stored / 32768 + 1));
    if (in.error() != QFileDevice::NoError)
        fail(QStringLiteral("Lzrw1 : Error reading from input file : ") + fileName);
    in.close();
    gridFromFileBytes(packed, fileName, grid);
}

void gridFromFileBytes(const QByteArray &packed, const QString &fileName, StringGrid &grid)
{
    if (storedLength(packed) > MaxGridTextSize)
        fail(fileName + QStringLiteral(" : Lzrw1 decompression : the stored length is too large !"));
    textToGrid(Tlzrw1::decompressBytes(packed, fileName), grid);
}
