#include "app/settings.h"
#include "base/errors.h"
#include "tally/brenvikstrgrid.h"
#include "tally/lzrw1.h"
#include "tally/tallytable.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

QByteArray crlfLines(const QStringList &lines)
{
    QByteArray text;
    for (const QString &line : lines)
        text += line.toUtf8() + "\r\n";
    return text;
}

// Row r of the table as one text, "Bob 3 1 1 1 ...", to compare whole records.
QString rowText(const TallyTable &t, int r)
{
    return t.row(r).join(QLatin1Char(' '));
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return f.readAll();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

} // namespace

class TestTally : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void firstRunWritesElevenLines();
    void exampleTallyBytes();
    void recordsRoundTripAndSessionRestarts();
    void countingOutcomes();
    void winnerNamedAddtomine();
    void letterCaseRules();
    void damagedCounters();
    void deletingRecords();
    void readingText_data();
    void readingText();
    void absurdCountsAreRefused();
    void damagedFileIsKeptAside();
    void olderDamagedCopyIsNotOverwritten();
    void damagedTextIsKeptAside();
    void interruptedSaveKeepsOldFile();
    void countersThatAreNoNumbersAreDamage();
    void fifosAreNeverOpened();

private:
    QTemporaryDir m_dir;
    QString m_path;
};

void TestTally::init()
{
    QVERIFY(m_dir.isValid());
    QDir dir(m_dir.path());
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden))
        dir.remove(name);
    m_path = dir.filePath(TallyTable::fileName());
    QCOMPARE(TallyTable::fileName(), QStringLiteral("sudokutally.tld"));
}

void TestTally::firstRunWritesElevenLines()
{
    TallyTable t;
    const TallyTable::LoadResult loaded = t.load(m_path);
    QVERIFY(loaded.ok);
    QCOMPARE(t.rowCount(), 1);
    QCOMPARE(t.recordCount(), 0);
    QVERIFY(t.save(m_path));

    const QByteArray text = Tlzrw1::decompressBytes(readAll(m_path));
    QCOMPARE(text, QByteArray("9\r\n1\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n"));
    // Nothing but the file itself is left in the folder.
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{TallyTable::fileName()});
}

void TestTally::exampleTallyBytes()
{
    // 5 games, 2 won; 3 of them with Bob: one his, one mine, one neither's.
    TallyTable t;
    t.setCell(1, 0, QStringLiteral("5"));
    t.setCell(2, 0, QStringLiteral("2"));
    const int bob = t.appendRecord(QStringLiteral("Bob"));
    QCOMPARE(bob, 1);
    for (int c = 1; c <= 4; ++c)
        t.setCell(c, bob, QString::number(c == 1 ? 3 : 1));

    QCOMPARE(gridToText(t), crlfLines({"9", "2", "0", "Bob", "5", "3", "2", "1", "0", "1", "0", "1",
                                       "0", "0", "0", "0", "0", "0", "0", "0"}));
    QVERIFY(t.save(m_path));
    QCOMPARE(readAll(m_path), QByteArray::fromHex("57525A4C3E000000220040000039"
                                                  "0D0A320D0A300D0A426F620D0A350D2F"
                                                  "000A33011231014200690230003F"));
}

void TestTally::recordsRoundTripAndSessionRestarts()
{
    TallyTable t;
    t.load(m_path);
    const QStringList names{"Ann", "Bob", "Zoë"};
    for (const QString &n : names)
        t.appendRecord(n);
    t.addgame(TallyTable::mineResult(), names);
    t.addgame(QStringLiteral("Ann"), {"Ann", "Bob"});
    QVERIFY(t.save(m_path));

    const QByteArray text = Tlzrw1::decompressBytes(readAll(m_path));
    QCOMPARE(text.count("\r\n"), 2 + 9 * (3 + 1));
    QVERIFY(text.contains(QStringLiteral("Zoë").toUtf8()));

    // The next run keeps the all-runs counts and starts the session at 0.
    TallyTable next;
    QVERIFY(next.load(m_path).ok);
    QCOMPARE(next.names(), names);
    QCOMPARE(rowText(next, 0), QStringLiteral("0 2 1 0 0 0 0 0 0"));
    QCOMPARE(rowText(next, 1), QStringLiteral("Ann 2 1 1 0 0 0 0 0"));
    QCOMPARE(rowText(next, 2), QStringLiteral("Bob 2 0 1 1 0 0 0 0"));
    QCOMPARE(rowText(next, 3), QStringLiteral("Zoë 1 0 1 0 0 0 0 0"));
}

void TestTally::countingOutcomes()
{
    TallyTable t;
    t.appendRecord(QStringLiteral("Ann"));
    t.appendRecord(QStringLiteral("Bob"));
    const QStringList seated{"Ann", "Bob"};

    // I win against Ann and Bob.
    t.addgame(TallyTable::mineResult(), seated);
    QCOMPARE(rowText(t, 0), QStringLiteral("0 1 1 0 0 0 0 0 0"));
    QCOMPARE(rowText(t, 1), QStringLiteral("Ann 1 0 1 0 1 0 1 0"));
    QCOMPARE(rowText(t, 2), QStringLiteral("Bob 1 0 1 0 1 0 1 0"));

    // Ann wins.
    t.addgame(QStringLiteral("Ann"), seated);
    QCOMPARE(rowText(t, 0), QStringLiteral("0 2 1 0 0 0 0 0 0"));
    QCOMPARE(rowText(t, 1), QStringLiteral("Ann 2 1 1 0 2 1 1 0"));
    QCOMPARE(rowText(t, 2), QStringLiteral("Bob 2 0 1 1 2 0 1 1"));

    // A tie between Ann and Bob is nobody's win.
    t.addgame(QStringLiteral("Ann and Bob"), seated);
    QCOMPARE(rowText(t, 0), QStringLiteral("0 3 1 0 0 0 0 0 0"));
    QCOMPARE(rowText(t, 1), QStringLiteral("Ann 3 1 1 1 3 1 1 1"));
    QCOMPARE(rowText(t, 2), QStringLiteral("Bob 3 0 1 2 3 0 1 2"));

    // An untallied player wins; Bob was not at the table.
    t.addgame(QStringLiteral("Cid"), {"Cid", "Ann"});
    QCOMPARE(rowText(t, 0), QStringLiteral("0 4 1 0 0 0 0 0 0"));
    QCOMPARE(rowText(t, 1), QStringLiteral("Ann 4 1 1 2 4 1 1 2"));
    QCOMPARE(rowText(t, 2), QStringLiteral("Bob 3 0 1 2 3 0 1 2"));

    // A solo game still counts in row 0.
    t.addgame(TallyTable::mineResult(), {});
    QCOMPARE(rowText(t, 0), QStringLiteral("0 5 2 0 0 0 0 0 0"));

    // Every record keeps its totals equal to the sum of its outcomes.
    for (int r = 1; r < t.rowCount(); ++r) {
        QCOMPARE(t.cell(1, r).toInt(), t.cell(2, r).toInt() + t.cell(3, r).toInt() + t.cell(4, r).toInt());
        QCOMPARE(t.cell(5, r).toInt(), t.cell(6, r).toInt() + t.cell(7, r).toInt() + t.cell(8, r).toInt());
    }
}

void TestTally::winnerNamedAddtomine()
{
    TallyTable t;
    t.appendRecord(QStringLiteral("addtomine"));
    t.appendRecord(QStringLiteral("Bob"));
    t.addgame(QStringLiteral("addtomine"), {"addtomine", "Bob"});
    QCOMPARE(rowText(t, 0), QStringLiteral("0 1 1 0 0 0 0 0 0"));
    QCOMPARE(rowText(t, 1), QStringLiteral("addtomine 1 1 0 0 1 1 0 0"));
    QCOMPARE(rowText(t, 2), QStringLiteral("Bob 1 0 1 0 1 0 1 0"));
}

void TestTally::letterCaseRules()
{
    TallyTable t;
    t.appendRecord(QStringLiteral("Bob"));
    QCOMPARE(t.findRecord(QStringLiteral("bob")), 1);
    QCOMPARE(t.findRecord(QStringLiteral("BOB")), 1);
    QCOMPARE(t.findRecord(QStringLiteral("Bo")), -1);

    // bob is found in Bob's record, but his win there is nobody's win.
    t.addgame(QStringLiteral("bob"), {"bob"});
    QCOMPARE(rowText(t, 1), QStringLiteral("Bob 1 0 0 1 1 0 0 1"));
    t.addgame(QStringLiteral("Bob"), {"bob"});
    QCOMPARE(rowText(t, 1), QStringLiteral("Bob 2 1 0 1 2 1 0 1"));

    // The first of two matching records is the one counted.
    t.appendRecord(QStringLiteral("BOB"));
    QCOMPARE(t.findRecord(QStringLiteral("bOb")), 1);
}

void TestTally::damagedCounters()
{
    TallyTable t;
    t.appendRecord(QStringLiteral("Ann"));
    t.setCell(2, 1, QString());
    t.setCell(7, 1, QString());
    t.setCell(8, 1, QStringLiteral("x"));

    // Empty counters become 0 before counting; a counter that is no number
    // stops the count, keeping what was counted before it.
    try {
        t.addgame(QStringLiteral("Cid"), {"Ann"});
        QFAIL("a counter that is no number was counted");
    } catch (const EConvertError &e) {
        QCOMPARE(e.text(), QStringLiteral("'x' is not a valid integer value"));
    }
    QCOMPARE(rowText(t, 0), QStringLiteral("0 1 0 0 0 0 0 0 0"));
    QCOMPARE(rowText(t, 1), QStringLiteral("Ann 1 0 0 1 1 0 0 x"));

    // A count never turns negative.
    t.setCell(3, 1, QStringLiteral("2147483647"));
    QCOMPARE(t.addit(3, 1), 2147483647);
}

void TestTally::deletingRecords()
{
    TallyTable t;
    t.appendRecord(QStringLiteral("Ann"));
    t.moverow(1);
    QCOMPARE(t.rowCount(), 1);
    QCOMPARE(rowText(t, 0), QStringLiteral("0 0 0 0 0 0 0 0 0"));

    for (const char *n : {"Ann", "Bob", "Cid", "Dee"})
        t.appendRecord(QString::fromLatin1(n));
    t.setCell(1, 3, QStringLiteral("7"));
    t.moverow(4); // the last
    QCOMPARE(t.names(), (QStringList{"Ann", "Bob", "Cid"}));
    t.moverow(2); // a middle one: Cid moves up with his counts
    QCOMPARE(t.names(), (QStringList{"Ann", "Cid"}));
    QCOMPARE(rowText(t, 2), QStringLiteral("Cid 7 0 0 0 0 0 0 0"));

    // Row 0 and rows that do not exist are never removed.
    t.moverow(0);
    t.moverow(3);
    t.moverow(-1);
    QCOMPARE(t.rowCount(), 3);
}

void TestTally::readingText_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("columns");
    QTest::addColumn<QStringList>("column0");

    QTest::newRow("crlf") << QByteArray("2\r\n2\r\na\r\nb\r\nc\r\nd\r\n") << QString() << 2
                          << QStringList{"a", "b"};
    QTest::newRow("lf and cr") << QByteArray("2\n2\ra\nb\r\n\rd") << QString() << 2 << QStringList{"a", "b"};
    QTest::newRow("lines missing") << QByteArray("3\r\n2\r\na\r\n") << QString() << 3 << QStringList{"a", ""};
    QTest::newRow("no cells at all") << QByteArray("9\r\n1") << QString() << 9 << QStringList{""};
    QTest::newRow("blanks and words") << QByteArray(" 1 columns\r\n\t1\r\nx") << QString() << 1
                                      << QStringList{"x"};
    QTest::newRow("latin-1 name") << QByteArray("1\r\n1\r\nZo\xeb\r\n") << QString() << 1
                                  << QStringList{QStringLiteral("Zoë")};
    QTest::newRow("empty") << QByteArray() << QStringLiteral("Invalid numeric input") << 0 << QStringList();
    QTest::newRow("no row count") << QByteArray("9\r\n") << QStringLiteral("Invalid numeric input") << 0
                                  << QStringList();
    QTest::newRow("word") << QByteArray("nine\r\n1\r\n") << QStringLiteral("Invalid numeric input") << 0
                          << QStringList();
    QTest::newRow("glued") << QByteArray("9x\r\n1\r\n") << QStringLiteral("Invalid numeric input") << 0
                           << QStringList();
    QTest::newRow("too big") << QByteArray("9\r\n2147483648\r\n") << QStringLiteral("Invalid numeric input")
                             << 0 << QStringList();
    QTest::newRow("zero rows") << QByteArray("9\r\n0\r\n")
                               << QStringLiteral("Invalid grid size: 9 columns, 0 rows") << 0 << QStringList();
    QTest::newRow("negative") << QByteArray("-9\r\n1\r\n")
                              << QStringLiteral("Invalid grid size: -9 columns, 1 rows") << 0 << QStringList();
}

void TestTally::readingText()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, error);
    QFETCH(int, columns);
    QFETCH(QStringList, column0);

    StringGrid grid(4, 4);
    grid.setCell(0, 0, QStringLiteral("before"));
    const StringGrid before = grid;
    try {
        textToGrid(text, grid);
        QVERIFY2(error.isEmpty(), "the text was read");
    } catch (const EGridTextError &e) {
        QCOMPARE(e.text(), error);
        QVERIFY(grid == before);
        return;
    }
    QCOMPARE(grid.columnCount(), columns);
    QStringList first;
    for (int r = 0; r < grid.rowCount(); ++r)
        first.append(grid.cell(0, r));
    QCOMPARE(first, column0);
}

void TestTally::absurdCountsAreRefused()
{
    // Counts far beyond the text are refused before anything is allocated.
    StringGrid grid;
    QVERIFY_THROWS_EXCEPTION(EGridTextError, textToGrid("2147483647\r\n2147483647\r\n", grid));
    QVERIFY_THROWS_EXCEPTION(EGridTextError, textToGrid("9\r\n100000\r\n0\r\n", grid));
    // A small shortfall at the end is read as empty cells.
    textToGrid("9\r\n100\r\n", grid);
    QCOMPARE(grid.rowCount(), 100);

    // A container whose header claims a huge text is refused unread.
    QByteArray header("WRZL");
    header.append("\xff\xff\xff\x7f", 4).append("\x01\x00\x80", 3);
    writeAll(m_path, header);
    try {
        LoadGridFromFile(grid, m_path);
        QFAIL("a huge stored length was accepted");
    } catch (const ELzrw1Exception &e) {
        QCOMPARE(e.message(), m_path + QStringLiteral(" : Lzrw1 decompression : the stored length is too large !"));
    }

    // A table read with other than 9 columns is cut or widened to 9.
    TallyTable t;
    writeAll(m_path, Tlzrw1::compressBytes("2\r\n2\r\n0\r\nAnn\r\n3\r\n1\r\n"));
    QVERIFY(t.load(m_path).ok);
    QCOMPARE(t.columnCount(), 9);
    QCOMPARE(rowText(t, 1), QStringLiteral("Ann 1    0 0 0 0"));
    t.addgame(QStringLiteral("Ann"), {"Ann"});
    QCOMPARE(rowText(t, 1), QStringLiteral("Ann 2 1 0 0 1 1 0 0"));
}

void TestTally::damagedFileIsKeptAside()
{
    const QByteArray garbage = "this is no tally\r\n";
    writeAll(m_path, garbage);

    TallyTable t;
    t.appendRecord(QStringLiteral("left over"));
    const TallyTable::LoadResult loaded = t.load(m_path);
    QVERIFY(!loaded.ok);
    QCOMPARE(loaded.error, m_path + QStringLiteral(" : Lzrw1 decompression : this file has no valid header !"));
    QCOMPARE(loaded.keptAs, m_path + QStringLiteral(".damaged"));
    QVERIFY(loaded.message().startsWith(loaded.error));
    QVERIFY(loaded.message().contains(loaded.keptAs));
    QCOMPARE(t.rowCount(), 1);
    QCOMPARE(rowText(t, 0), QStringLiteral("0 0 0 0 0 0 0 0 0"));

    QCOMPARE(readAll(loaded.keptAs), garbage);
    QVERIFY(t.save(m_path));
    QCOMPARE(readAll(loaded.keptAs), garbage);
    QVERIFY(TallyTable().load(m_path).ok);
}

void TestTally::olderDamagedCopyIsNotOverwritten()
{
    const QByteArray older = "an older damaged tally";
    writeAll(m_path + QStringLiteral(".damaged"), older);
    // Cut short inside its chunk.
    const QByteArray cut = Tlzrw1::compressBytes(crlfLines({"9", "1", "0", "0", "0", "0", "0", "0", "0", "0", "0"}))
                               .left(14);
    writeAll(m_path, cut);

    TallyTable t;
    const TallyTable::LoadResult loaded = t.load(m_path);
    QVERIFY(!loaded.ok);
    QCOMPARE(loaded.error, QStringLiteral("Lzrw1 : Error reading from input file : ") + m_path);
    QCOMPARE(loaded.keptAs, m_path + QStringLiteral(".damaged.2"));
    QCOMPARE(readAll(m_path + QStringLiteral(".damaged")), older);
    QCOMPARE(readAll(loaded.keptAs), cut);
    QVERIFY(!QFile::exists(m_path));
    QVERIFY(t.save(m_path));
}

void TestTally::damagedTextIsKeptAside()
{
    // The container is whole but the text in it is not a tally.
    const QByteArray packed = Tlzrw1::compressBytes("nine\r\n2\r\n0\r\nBob\r\n");
    writeAll(m_path, packed);
    TallyTable t;
    const TallyTable::LoadResult loaded = t.load(m_path);
    QVERIFY(!loaded.ok);
    QCOMPARE(loaded.error, QStringLiteral("Invalid numeric input"));
    QCOMPARE(t.rowCount(), 1);
    QCOMPARE(readAll(loaded.keptAs), packed);

    // A file that cannot be moved aside (here: a folder in its place) is
    // never written over.
    QVERIFY(QDir(m_dir.path()).mkdir(TallyTable::fileName() + QStringLiteral(".d")));
    const QString folderPath = m_path + QStringLiteral(".d");
    TallyTable u;
    const TallyTable::LoadResult blocked = u.load(folderPath);
    QVERIFY(!blocked.ok);
    QVERIFY(blocked.keptAs.isEmpty());
    QVERIFY(u.savingBlocked());
    QVERIFY(!u.save(folderPath));
    QVERIFY(QFileInfo(folderPath).isDir());
}

void TestTally::interruptedSaveKeepsOldFile()
{
    TallyTable t;
    t.appendRecord(QStringLiteral("Ann"));
    QVERIFY(t.save(m_path));
    const QByteArray old = readAll(m_path);
    for (int i = 0; i < 50; ++i)
        t.appendRecord(QStringLiteral("Player %1").arg(i));

    // The disk fills up in the middle of the save.
    rlimit saved{};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tiny = saved;
    tiny.rlim_cur = 64;
    QVERIFY(setrlimit(RLIMIT_FSIZE, &tiny) == 0);
    const bool written = t.save(m_path);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    QVERIFY(!written);
    QCOMPARE(readAll(m_path), old);
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{TallyTable::fileName()});

    // A folder that does not exist cannot be written either.
    QVERIFY(!t.save(m_dir.filePath(QStringLiteral("gone/sudokutally.tld"))));
}

void TestTally::countersThatAreNoNumbersAreDamage()
{
    // Each text holds one counter that a later game could not count.
    const QList<std::pair<QStringList, QString>> texts = {
        {{"9", "2", "0", "Bob", "5", "abc", "2", "3", "0", "1", "1", "0", "0", "0", "0", "0", "0", "0", "0", "0"}, "abc"},
        {{"9", "1", "0", "x1", "0", "0", "0", "0", "0", "0", "0"}, "x1"},
        {{"9", "2", "0", "Bob", "0", "0", "0", "0", "0", "0", "0", "9999999999", "0", "0", "0", "0", "0", "0", "0", "0"},
         "9999999999"},
    };
    for (const auto &[lines, bad] : texts) {
        init();
        const QByteArray packed = Tlzrw1::compressBytes(crlfLines(lines));
        writeAll(m_path, packed);
        TallyTable t;
        const TallyTable::LoadResult loaded = t.load(m_path);
        QVERIFY2(!loaded.ok, qPrintable(bad));
        QCOMPARE(loaded.error, QStringLiteral("'%1' is not a valid integer value").arg(bad));
        QCOMPARE(readAll(loaded.keptAs), packed);
        QCOMPARE(t.rowCount(), 1);
        t.addgame(TallyTable::mineResult(), {"Bob"});
        QVERIFY(t.save(m_path));
    }
}

void TestTally::fifosAreNeverOpened()
{
    // A FIFO in place of the tally or the settings file is never opened:
    // opening it would wait for a writer that never comes.
    for (const QString &name : {TallyTable::fileName(), QString::fromLatin1(Settings::FileName)}) {
        const QString path = m_dir.filePath(name);
        const QByteArray native = QFile::encodeName(path);
        QVERIFY(mkfifo(native.constData(), 0600) == 0);
        std::atomic<bool> opened = false;
        std::thread writer([&] {
            const int fd = ::open(native.constData(), O_WRONLY);
            opened = true;
            if (fd >= 0)
                ::close(fd);
        });
        bool loaded = true;
        if (name == TallyTable::fileName())
            loaded = TallyTable().load(path).ok;
        else
            loaded = Settings().load(path);
        const bool openedByLoad = opened;
        // Let the writer go, whoever opened the FIFO.
        const int reader = ::open(native.constData(), O_RDONLY | O_NONBLOCK);
        writer.join();
        ::close(reader);
        QVERIFY2(!openedByLoad, qPrintable(name));
        QVERIFY(!loaded);

        // Nor is it written over.
        if (name == TallyTable::fileName()) {
            TallyTable t;
            t.load(path);
            QVERIFY(!t.save(path));
        } else {
            QVERIFY(!Settings().save(path));
        }
        struct stat info = {};
        QVERIFY(::stat(native.constData(), &info) == 0 && S_ISFIFO(info.st_mode));
        QFile::remove(path);
    }
}

QTEST_GUILESS_MAIN(TestTally)
#include "test_tally.moc"
