#include "tally/tallytable.h"

#include "base/decimal.h"
#include "base/wiretext.h"
#include "tally/lzrw1.h"

#include <QFile>
#include <QFileInfo>

#include <limits>

TallyTable::TallyTable() : StringGrid(Columns, 1)
{
    reset();
}

QStringList TallyTable::names() const
{
    QStringList list;
    for (int r = 1; r < rowCount(); ++r)
        list.append(cell(0, r));
    return list;
}

int TallyTable::findRecord(const QString &name) const
{
    for (int r = 1; r < rowCount(); ++r) {
        if (cell(0, r).compare(name, Qt::CaseInsensitive) == 0)
            return r;
    }
    return -1;
}

int TallyTable::addit(int column, int row)
{
    const int count = decimalToInt(toWire(cell(column, row)));
    // A count never wraps round to a negative number.
    const int next = count == std::numeric_limits<int>::max() ? count : count + 1;
    setCell(column, row, QString::number(next));
    return next;
}

void TallyTable::addgame(const QString &result, const QStringList &seated)
{
    addtomineincrease(1);
    if (result == mineResult())
        addtomineincrease(2);
    for (const QString &name : seated) {
        const int r = findRecord(name);
        if (r < 1)
            continue;
        for (int c = 1; c < Columns; ++c) {
            if (cell(c, r).isEmpty())
                setCell(c, r, QStringLiteral("0"));
        }
        addit(1, r);
        addit(5, r);
        // The outcome compares the record's name exactly.
        if (cell(0, r) == result) {
            addit(2, r);
            addit(6, r);
        } else if (result == mineResult()) {
            addit(3, r);
            addit(7, r);
        } else {
            addit(4, r);
            addit(8, r);
        }
    }
}

int TallyTable::appendRecord(const QString &name)
{
    QStringList cells(Columns, QStringLiteral("0"));
    cells[0] = name;
    appendRow(cells);
    return rowCount() - 1;
}

void TallyTable::moverow(int row)
{
    if (row >= 1)
        removeRow(row);
}

void TallyTable::reset()
{
    static_cast<StringGrid &>(*this) = StringGrid(Columns, 1);
    for (int c = 0; c < Columns; ++c)
        setCell(c, 0, QStringLiteral("0"));
}

void TallyTable::zeroSession()
{
    for (int r = 1; r < rowCount(); ++r) {
        for (int c = SessionColumn; c < Columns; ++c)
            setCell(c, r, QStringLiteral("0"));
    }
}

void TallyTable::assignGrid(const StringGrid &grid)
{
    StringGrid table(Columns, grid.rowCount());
    for (int r = 0; r < grid.rowCount(); ++r) {
        for (int c = 0; c < Columns; ++c)
            table.setCell(c, r, grid.cell(c, r));
    }
    static_cast<StringGrid &>(*this) = table;
}

void TallyTable::takeLoaded(const StringGrid &grid)
{
    assignGrid(grid);
    checkCounters();
    zeroSession();
}

void TallyTable::checkCounters()
{
    // The counters that games count: row 0's games and wins, and every
    // record's all-runs counts (the session counts start again at 0). An
    // empty counter counts as 0.
    for (int r = 0; r < rowCount(); ++r) {
        const int last = r == 0 ? 2 : SessionColumn - 1;
        for (int c = 1; c <= last; ++c) {
            if (cell(c, r).isEmpty())
                continue;
            decimalToInt(toWire(cell(c, r)));
        }
    }
    for (int c = 1; c <= 2; ++c) {
        if (cell(c, 0).isEmpty())
            setCell(c, 0, QStringLiteral("0"));
    }
}

// ---- the tally file ----

QString TallyTable::LoadResult::message() const
{
    if (ok)
        return QString();
    QString text = error;
    if (!keptAs.isEmpty())
        text += QStringLiteral("\n\nThe damaged tally file has been kept as \"%1\"; a new tally is begun.")
                    .arg(keptAs);
    else
        text += QStringLiteral("\n\nThe damaged tally file could not be moved aside, so the tally will not "
                               "be saved in this run.");
    return text;
}

namespace {

// Moves a damaged file to the first free name beside it. QFile::rename never
// replaces an existing file, so an older copy is never overwritten.
QString moveAside(const QString &path)
{
    for (int n = 1; n <= 1000; ++n) {
        const QString target = path + QStringLiteral(".damaged") + (n == 1 ? QString() : QStringLiteral(".%1").arg(n));
        if (QFileInfo::exists(target) || QFileInfo(target).isSymLink())
            continue;
        if (QFile::rename(path, target))
            return target;
        if (!QFileInfo::exists(target))
            return QString();
    }
    return QString();
}

} // namespace

TallyTable::LoadResult TallyTable::load(const QString &path)
{
    reset();
    m_saveBlocked = false;
    LoadResult result;
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return result;
    try {
        StringGrid grid;
        LoadGridFromFile(grid, path);
        takeLoaded(grid);
        return result;
    } catch (const ELzrw1Exception &e) {
        result.error = e.message();
    } catch (const GameError &e) {
        result.error = e.text();
    }
    result.ok = false;
    reset();
    if (info.isFile())
        result.keptAs = moveAside(path);
    m_saveBlocked = result.keptAs.isEmpty();
    return result;
}

bool TallyTable::save(const QString &path) const
{
    if (m_saveBlocked)
        return false;
    try {
        SaveGridToFile(*this, path);
        return true;
    } catch (const ELzrw1Exception &) {
        return false;
    } catch (const std::bad_alloc &) {
        return false;
    }
}
