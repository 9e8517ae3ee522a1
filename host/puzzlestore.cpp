#include "host/puzzlestore.h"

#include <QFile>

namespace {

const char *const SectionNames[PuzzleStore::TypeCount] = {"easy", "medium", "hard"};

bool validType(int puzzleType)
{
    return puzzleType >= 1 && puzzleType <= PuzzleStore::TypeCount;
}

// Each row, column and box of a complete grid holds 1-9 once. Empty when it does.
QString gridError(const int g[9][9])
{
    for (int i = 0; i < 9; ++i) {
        unsigned row = 0, column = 0, box = 0;
        for (int j = 0; j < 9; ++j) {
            row |= 1u << g[j][i];
            column |= 1u << g[i][j];
            box |= 1u << g[(i / 3) * 3 + j / 3][(i % 3) * 3 + j % 3];
        }
        if (row != 0x3fe)
            return QStringLiteral("solution row %1 does not hold 1-9 once").arg(i + 1);
        if (column != 0x3fe)
            return QStringLiteral("solution column %1 does not hold 1-9 once").arg(i + 1);
        if (box != 0x3fe)
            return QStringLiteral("solution box %1 does not hold 1-9 once").arg(i + 1);
    }
    return {};
}

} // namespace

bool PuzzleStore::fail(const QString &why)
{
    for (auto &l : m_lists)
        l.clear();
    m_loaded = false;
    m_error = why;
    return false;
}

bool PuzzleStore::load(const QByteArray &text)
{
    for (auto &l : m_lists)
        l.clear();
    m_loaded = false;
    m_error.clear();

    int current = 0;
    std::array<bool, TypeCount> seen{};
    const QList<QByteArray> lines = text.split('\n');
    for (int n = 0; n < lines.size(); ++n) {
        const QByteArray line = lines[n].trimmed();
        const QString where = QStringLiteral("line %1: ").arg(n + 1);
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (line.startsWith('[')) {
            int type = 0;
            for (int t = 1; t <= TypeCount; ++t) {
                if (line == QByteArray("[") + SectionNames[t - 1] + "]")
                    type = t;
            }
            if (type == 0)
                return fail(where + QStringLiteral("unknown list %1").arg(QString::fromLatin1(line)));
            if (seen[type - 1])
                return fail(where + QStringLiteral("list %1 appears twice").arg(QString::fromLatin1(line)));
            seen[type - 1] = true;
            current = type;
            continue;
        }
        if (current == 0)
            return fail(where + QStringLiteral("entry before the first list"));
        const QString why = entryError(line, current);
        if (!why.isEmpty()) {
            return fail(where + QStringLiteral("%1 entry %2: %3")
                                    .arg(QLatin1String(SectionNames[current - 1]))
                                    .arg(m_lists[current - 1].size() + 1)
                                    .arg(why));
        }
        m_lists[current - 1].append(line);
    }
    for (int t = 1; t <= TypeCount; ++t) {
        const int have = int(m_lists[t - 1].size());
        if (have != expectedCount(t)) {
            return fail(QStringLiteral("list %1 holds %2 entries instead of %3")
                            .arg(QLatin1String(SectionNames[t - 1]))
                            .arg(have)
                            .arg(expectedCount(t)));
        }
    }
    m_loaded = true;
    return true;
}

bool PuzzleStore::loadFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
    const QByteArray text = file.readAll();
    if (!load(text)) {
        m_error = path + QStringLiteral(", ") + m_error;
        return false;
    }
    return true;
}

bool PuzzleStore::loadResource()
{
    return loadFile(QStringLiteral(":/puzzles.txt"));
}

const QList<QByteArray> &PuzzleStore::list(int puzzleType) const
{
    static const QList<QByteArray> none;
    return validType(puzzleType) ? m_lists[puzzleType - 1] : none;
}

int PuzzleStore::drawIndex(int puzzleType, std::mt19937 &rng) const
{
    const int n = int(list(puzzleType).size());
    if (n < 2)
        return -1;
    std::uniform_int_distribution<int> pick(0, n - 2);
    return pick(rng);
}

int PuzzleStore::expectedCount(int puzzleType)
{
    static constexpr int counts[TypeCount] = {48, 15, 10};
    return validType(puzzleType) ? counts[puzzleType - 1] : 0;
}

int PuzzleStore::minGivens(int puzzleType)
{
    static constexpr int least[TypeCount] = {26, 26, 25};
    return validType(puzzleType) ? least[puzzleType - 1] : 25;
}

int PuzzleStore::maxGivens(int puzzleType)
{
    static constexpr int most[TypeCount] = {42, 31, 29};
    return validType(puzzleType) ? most[puzzleType - 1] : 42;
}

bool PuzzleStore::parseEntry(const QByteArray &entry, int givens[9][9], int solution[9][9])
{
    if (entry.size() != EntryLength || entry[162] != ':')
        return false;
    for (int k = 0; k < 81; ++k) {
        const char g = entry[2 * k];
        const char s = entry[163 + 2 * k];
        if (g < '0' || g > '9' || s < '1' || s > '9' || entry[2 * k + 1] != '+'
            || entry[164 + 2 * k] != '+')
            return false;
        givens[k % 9][k / 9] = g - '0';
        solution[k % 9][k / 9] = s - '0';
    }
    return true;
}

QString PuzzleStore::entryError(const QByteArray &entry, int puzzleType)
{
    int givens[9][9];
    int solution[9][9];
    if (entry.size() != EntryLength)
        return QStringLiteral("%1 characters instead of %2").arg(entry.size()).arg(EntryLength);
    if (!parseEntry(entry, givens, solution))
        return QStringLiteral("not 81 givens \"d+\", \":\" and 81 solution digits \"d+\"");
    const QString grid = gridError(solution);
    if (!grid.isEmpty())
        return grid;
    for (int c = 0; c < 9; ++c) {
        for (int r = 0; r < 9; ++r) {
            if (givens[c][r] != 0 && givens[c][r] != solution[c][r])
                return QStringLiteral("given at column %1, row %2 disagrees with the solution")
                    .arg(c + 1)
                    .arg(r + 1);
        }
    }
    const int n = givenCount(givens);
    if (n < minGivens(puzzleType) || n > maxGivens(puzzleType)) {
        return QStringLiteral("%1 givens, outside %2-%3")
            .arg(n)
            .arg(minGivens(puzzleType))
            .arg(maxGivens(puzzleType));
    }
    return {};
}

QByteArray PuzzleStore::givensList(const int givens[9][9])
{
    QByteArray out;
    for (int c = 0; c < 9; ++c) {
        for (int r = 0; r < 9; ++r) {
            if (givens[c][r] == 0)
                continue;
            out += '+' + QByteArray::number(c + 1) + '+' + QByteArray::number(r + 1) + '+'
                + QByteArray::number(givens[c][r]);
        }
    }
    return out;
}

int PuzzleStore::givenCount(const int givens[9][9])
{
    int n = 0;
    for (int c = 0; c < 9; ++c) {
        for (int r = 0; r < 9; ++r)
            n += givens[c][r] != 0;
    }
    return n;
}
