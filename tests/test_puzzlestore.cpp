#include "host/puzzlestore.h"

#include <QFile>
#include <QSet>
#include <QtTest>

#include <algorithm>
#include <bit>
#include <vector>

namespace {

// The sample entry the layout of the lists is documented with (an easy puzzle).
const QByteArray ExampleEntry =
    "0+0+6+2+4+0+0+0+0+2+7+0+0+0+0+0+0+0+8+4+0+0+7+5+0+3+0+0+8+0+0+0+1+0+0+0+0+1+0+4+0+9+0+5+0+0+0+"
    "0+3+0+0+0+1+0+0+3+0+1+9+0+0+4+8+0+0+0+0+0+0+0+6+1+0+0+0+0+5+8+7+0+0+:9+5+6+2+4+3+1+8+7+2+7+3+8+"
    "1+6+4+9+5+8+4+1+9+7+5+6+3+2+3+8+9+5+6+1+2+7+4+7+1+2+4+8+9+3+5+6+4+6+5+3+2+7+8+1+9+6+3+7+1+9+2+5+"
    "4+8+5+2+8+7+3+4+9+6+1+1+9+4+6+5+8+7+2+3+";

// Counts the solutions of 81 cells (row by row, 0 = empty) by backtracking, stopping at
// limit; the first solution found goes to first.
class SolutionCounter
{
public:
    int count(std::vector<int> cells, int limit, std::vector<int> *first)
    {
        m_cells = std::move(cells);
        m_found = 0;
        m_limit = limit;
        m_first = first;
        std::fill(std::begin(m_row), std::end(m_row), 0u);
        std::fill(std::begin(m_col), std::end(m_col), 0u);
        std::fill(std::begin(m_box), std::end(m_box), 0u);
        for (int k = 0; k < 81; ++k) {
            if (m_cells[k] == 0)
                continue;
            const unsigned bit = 1u << m_cells[k];
            if (used(k) & bit)
                return 0;
            mark(k, bit);
        }
        search();
        return m_found;
    }

private:
    static int box(int k) { return (k / 27) * 3 + (k % 9) / 3; }
    unsigned used(int k) const { return m_row[k / 9] | m_col[k % 9] | m_box[box(k)]; }
    void mark(int k, unsigned bit)
    {
        m_row[k / 9] ^= bit;
        m_col[k % 9] ^= bit;
        m_box[box(k)] ^= bit;
    }

    void search()
    {
        int best = -1;
        int fewest = 10;
        for (int k = 0; k < 81; ++k) {
            if (m_cells[k] == 0) {
                const int n = std::popcount(~used(k) & 0x3feu);
                if (n < fewest) {
                    fewest = n;
                    best = k;
                }
            }
        }
        if (best < 0) {
            if (m_found++ == 0 && m_first)
                *m_first = m_cells;
            return;
        }
        for (int d = 1; d <= 9 && m_found < m_limit; ++d) {
            const unsigned bit = 1u << d;
            if (used(best) & bit)
                continue;
            m_cells[best] = d;
            mark(best, bit);
            search();
            mark(best, bit);
            m_cells[best] = 0;
        }
    }

    std::vector<int> m_cells;
    unsigned m_row[9] = {}, m_col[9] = {}, m_box[9] = {};
    int m_found = 0;
    int m_limit = 2;
    std::vector<int> *m_first = nullptr;
};

// Fills cells with the only digit a cell can take (naked single) and, when allowed, the
// only cell of a row, column or box that can take a digit (hidden single), until
// stuck. True when the board gets full.
bool solvesWithSingles(const QByteArray &entry, bool hiddenToo)
{
    int cells[81];
    for (int k = 0; k < 81; ++k)
        cells[k] = entry[2 * k] - '0';
    auto sees = [](int a, int b) {
        return a / 9 == b / 9 || a % 9 == b % 9
            || ((a / 27) == (b / 27) && (a % 9) / 3 == (b % 9) / 3);
    };
    auto candidates = [&](int k) {
        unsigned free = 0x3fe;
        for (int j = 0; j < 81; ++j) {
            if (j != k && cells[j] != 0 && sees(j, k))
                free &= ~(1u << cells[j]);
        }
        return free;
    };
    for (;;) {
        bool progress = false;
        for (int k = 0; k < 81 && !progress; ++k) {
            const unsigned c = cells[k] == 0 ? candidates(k) : 0;
            if (std::popcount(c) == 1) {
                cells[k] = std::countr_zero(c);
                progress = true;
            }
        }
        for (int unit = 0; unit < 27 && hiddenToo && !progress; ++unit) {
            std::vector<int> members;
            for (int k = 0; k < 81; ++k) {
                if ((unit < 9 && k / 9 == unit) || (unit >= 9 && unit < 18 && k % 9 == unit - 9)
                    || (unit >= 18 && (k / 27) * 3 + (k % 9) / 3 == unit - 18))
                    members.push_back(k);
            }
            for (int d = 1; d <= 9 && !progress; ++d) {
                int where = -1, places = 0;
                for (int k : members) {
                    if (cells[k] == d)
                        places = 2;
                    else if (cells[k] == 0 && (candidates(k) & (1u << d))) {
                        where = k;
                        ++places;
                    }
                }
                if (places == 1) {
                    cells[where] = d;
                    progress = true;
                }
            }
        }
        if (!progress)
            return std::find(std::begin(cells), std::end(cells), 0) == std::end(cells);
    }
}

QByteArray shippedText()
{
    QFile file(QStringLiteral(":/puzzles.txt"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// The shipped text with its lines changed by edit, which is handed the lines and the
// position of entry `index` of list `section`.
template <typename Edit>
QByteArray damaged(const QByteArray &section, int index, Edit edit)
{
    QList<QByteArray> lines = shippedText().split('\n');
    int at = int(lines.indexOf("[" + section + "]")) + 1;
    for (int seen = 0; at < lines.size(); ++at) {
        if (lines[at].size() == PuzzleStore::EntryLength && seen++ == index)
            break;
    }
    edit(lines, at);
    return lines.join('\n');
}

} // namespace

class TestPuzzleStore : public QObject
{
    Q_OBJECT

private slots:
    void shippedListsFollowTheRules();
    void difficultiesNeedDifferentTechniques();
    void exampleEntryGivesItsGivensList();
    void drawNeverPicksTheLastEntry();
    void unknownPuzzleTypeNamesNoList();
    void damagedTextIsRefused_data();
    void damagedTextIsRefused();
    void layoutVariantsAreAccepted();
};

void TestPuzzleStore::shippedListsFollowTheRules()
{
    PuzzleStore store;
    QVERIFY2(store.loadResource(), qPrintable(store.errorString()));
    QVERIFY(store.isLoaded());
    QCOMPARE(store.list(1).size(), 48);
    QCOMPARE(store.list(2).size(), 15);
    QCOMPARE(store.list(3).size(), 10);

    const int ranges[3][2] = {{26, 42}, {26, 31}, {25, 29}};
    QSet<QByteArray> puzzles;
    SolutionCounter counter;
    QCOMPARE(counter.count(std::vector<int>(81, 0), 2, nullptr), 2); // the counter can tell
    for (int type = 1; type <= 3; ++type) {
        for (const QByteArray &entry : store.list(type)) {
            const QByteArray where = "type " + QByteArray::number(type) + ": " + entry;
            QVERIFY2(QRegularExpression(QStringLiteral("^([0-9]\\+){81}:([1-9]\\+){81}$"))
                         .match(QString::fromLatin1(entry))
                         .hasMatch(),
                     where.constData());
            std::vector<int> givens(81), solution(81);
            int n = 0;
            for (int k = 0; k < 81; ++k) {
                givens[k] = entry[2 * k] - '0';
                solution[k] = entry[163 + 2 * k] - '0';
                n += givens[k] != 0;
                if (givens[k] != 0)
                    QVERIFY2(givens[k] == solution[k], where.constData());
            }
            QVERIFY2(n >= ranges[type - 1][0] && n <= ranges[type - 1][1], where.constData());
            // The solution is a complete grid, and the givens allow no other.
            QCOMPARE(counter.count(solution, 2, nullptr), 1);
            std::vector<int> found;
            QVERIFY2(counter.count(givens, 2, &found) == 1, where.constData());
            QVERIFY2(found == solution, where.constData());
            QVERIFY2(!puzzles.contains(entry.left(162)), where.constData());
            puzzles.insert(entry.left(162));
        }
    }
}

void TestPuzzleStore::difficultiesNeedDifferentTechniques()
{
    PuzzleStore store;
    QVERIFY(store.loadResource());
    // Easy: singles finish it. Medium and hard: singles of both kinds get stuck
    // (medium then needs pointing or box-line steps, hard pairs or more).
    for (const QByteArray &entry : store.list(1))
        QVERIFY2(solvesWithSingles(entry, true), entry.constData());
    for (const QByteArray &entry : store.list(2))
        QVERIFY2(!solvesWithSingles(entry, true), entry.constData());
    for (const QByteArray &entry : store.list(3))
        QVERIFY2(!solvesWithSingles(entry, true), entry.constData());
    // The sample entry is an easy one by this measure, too.
    QVERIFY(solvesWithSingles(ExampleEntry, true));
}

void TestPuzzleStore::exampleEntryGivesItsGivensList()
{
    QCOMPARE(ExampleEntry.size(), PuzzleStore::EntryLength);
    QCOMPARE(PuzzleStore::entryError(ExampleEntry, 1), QString());

    int givens[9][9];
    int solution[9][9];
    QVERIFY(PuzzleStore::parseEntry(ExampleEntry, givens, solution));
    QCOMPARE(givens[2][0], 6); // column 3, row 1
    QCOMPARE(givens[0][1], 2); // column 1, row 2
    QCOMPARE(solution[0][0], 9);
    QCOMPARE(solution[8][8], 3);
    QCOMPARE(PuzzleStore::givenCount(givens), 28);

    const QByteArray list = PuzzleStore::givensList(givens);
    QVERIFY(list.startsWith("+1+2+2+1+3+8+"));
    const QList<QByteArray> fields = list.mid(1).split('+');
    QCOMPARE(fields.size(), 3 * 28);
    // Every group names a given of the entry text, column by column, rows downwards.
    int previous = 0;
    for (int i = 0; i < fields.size(); i += 3) {
        const int column = fields[i].toInt();
        const int row = fields[i + 1].toInt();
        QVERIFY(column * 10 + row > previous);
        previous = column * 10 + row;
        QCOMPARE(fields[i + 2], ExampleEntry.mid(2 * ((row - 1) * 9 + column - 1), 1));
    }
}

void TestPuzzleStore::drawNeverPicksTheLastEntry()
{
    PuzzleStore store;
    QVERIFY(store.loadResource());
    std::mt19937 rng(7772);
    for (int type = 1; type <= 3; ++type) {
        const int n = int(store.list(type).size());
        const int perIndex = 400;
        std::vector<int> hits(n, 0);
        for (int i = 0; i < perIndex * (n - 1); ++i) {
            const int index = store.drawIndex(type, rng);
            QVERIFY(index >= 0 && index < n);
            ++hits[index];
        }
        QCOMPARE(hits[n - 1], 0);
        for (int i = 0; i < n - 1; ++i)
            QVERIFY2(hits[i] > perIndex / 2 && hits[i] < perIndex * 3 / 2,
                     qPrintable(QStringLiteral("type %1 index %2: %3").arg(type).arg(i).arg(hits[i])));
    }
}

void TestPuzzleStore::unknownPuzzleTypeNamesNoList()
{
    PuzzleStore store;
    QVERIFY(store.loadResource());
    std::mt19937 rng(1);
    for (int type : {0, 4, -1}) {
        QVERIFY(store.list(type).isEmpty());
        QCOMPARE(store.drawIndex(type, rng), -1);
    }
    PuzzleStore empty;
    QCOMPARE(empty.drawIndex(1, rng), -1);
}

void TestPuzzleStore::damagedTextIsRefused_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("error");

    using Lines = QList<QByteArray>;
    QTest::newRow("entry cut short") << damaged("easy", 0, [](Lines &l, int at) { l[at].chop(2); })
                                     << "easy entry 1: 323 characters";
    QTest::newRow("letter among givens")
        << damaged("easy", 5, [](Lines &l, int at) { l[at][40] = 'x'; }) << "easy entry 6: not 81";
    QTest::newRow("zero in solution")
        << damaged("medium", 2, [](Lines &l, int at) { l[at][163] = '0'; }) << "medium entry 3: not 81";
    QTest::newRow("no colon")
        << damaged("hard", 0, [](Lines &l, int at) { l[at][162] = '+'; }) << "hard entry 1: not 81";
    QTest::newRow("plus missing") << damaged("hard", 9, [](Lines &l, int at) { l[at][201] = '-'; })
                                  << "hard entry 10: not 81";
    QTest::newRow("given against solution") << damaged("easy", 47, [](Lines &l, int at) {
        int k = 0;
        while (l[at][2 * k] == '0')
            ++k;
        l[at][2 * k] = char('1' + (l[at][2 * k] - '0') % 9);
    }) << "disagrees with the solution";
    QTest::newRow("solution digits swapped") << damaged("medium", 0, [](Lines &l, int at) {
        std::swap(l[at][163], l[at][165]);
    }) << "medium entry 1: solution column";
    QTest::newRow("too few givens for hard") << damaged("hard", 3, [](Lines &l, int at) {
        int n = 0;
        for (int k = 0; k < 81; ++k)
            n += l[at][2 * k] != '0';
        for (int k = 0; k < 81 && n > 24; ++k) {
            if (l[at][2 * k] != '0') {
                l[at][2 * k] = '0';
                --n;
            }
        }
    }) << "hard entry 4: 24 givens, outside 25-29";
    QTest::newRow("too many givens for medium") << damaged("medium", 14, [](Lines &l, int at) {
        int n = 0;
        for (int k = 0; k < 81; ++k)
            n += l[at][2 * k] != '0';
        for (int k = 0; k < 81 && n < 32; ++k) {
            if (l[at][2 * k] == '0') {
                l[at][2 * k] = l[at][163 + 2 * k];
                ++n;
            }
        }
    }) << "medium entry 15: 32 givens, outside 26-31";
    QTest::newRow("entry missing") << damaged("hard", 9, [](Lines &l, int at) { l.removeAt(at); })
                                   << "list hard holds 9 entries instead of 10";
    QTest::newRow("entry repeated")
        << damaged("easy", 3, [](Lines &l, int at) { l.insert(at, l[at]); })
        << "list easy holds 49 entries instead of 48";
    QTest::newRow("unknown list") << damaged("hard", 0, [](Lines &l, int at) { l[at - 1] = "[expert]"; })
                                  << "unknown list [expert]";
    QTest::newRow("list twice")
        << damaged("easy", 0, [](Lines &l, int) { l.append("[easy]"); }) << "list [easy] appears twice";
    QTest::newRow("entry before any list")
        << damaged("easy", 0, [](Lines &l, int at) { l.prepend(l[at]); })
        << "line 1: entry before the first list";
    QTest::newRow("empty text") << QByteArray() << "list easy holds 0 entries";
    QTest::newRow("binary junk") << QByteArray("[easy]\n\xff\x00\x01+:", 11) << "line 2: easy entry 1";
}

void TestPuzzleStore::damagedTextIsRefused()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, error);

    PuzzleStore store;
    QVERIFY(store.loadResource());
    QVERIFY(!store.load(text));
    QVERIFY(!store.isLoaded());
    QVERIFY2(store.errorString().contains(error), qPrintable(store.errorString()));
    for (int type = 1; type <= 3; ++type)
        QVERIFY(store.list(type).isEmpty());
    std::mt19937 rng(3);
    QCOMPARE(store.drawIndex(1, rng), -1);
}

void TestPuzzleStore::layoutVariantsAreAccepted()
{
    PuzzleStore reference;
    QVERIFY(reference.loadResource());

    // Windows line ends, indentation, extra comments and blank lines; a store that
    // refused damaged text before loads sound text again.
    QByteArray text = shippedText();
    text.replace("\n[", "\n\n# comment\n  [");
    text.replace("\n", "\r\n");
    PuzzleStore store;
    QVERIFY(!store.load("[easy]\n"));
    QVERIFY2(store.load(text), qPrintable(store.errorString()));
    for (int type = 1; type <= 3; ++type)
        QCOMPARE(store.list(type), reference.list(type));

    QVERIFY(!store.loadFile(QStringLiteral("/nonexistent/puzzles.txt")));
    QVERIFY(store.errorString().contains(QStringLiteral("/nonexistent/puzzles.txt")));
}

QTEST_GUILESS_MAIN(TestPuzzleStore)
#include "test_puzzlestore.moc"
