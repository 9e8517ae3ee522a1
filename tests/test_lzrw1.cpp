#include "tally/lzrw1.h"
#include "tally/lzrw1kh.h"
#include "tests/lzrw1kh_reference.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

QByteArray randomBytes(qsizetype n, quint32 seed)
{
    QRandomGenerator rng(seed);
    QByteArray out(n, Qt::Uninitialized);
    for (qsizetype i = 0; i < n; ++i)
        out[i] = char(rng.bounded(256));
    return out;
}

QByteArray repetitiveBytes(qsizetype n)
{
    // Long runs mixed with short repeated phrases, so runs, copies and
    // literals all occur and cross block borders.
    QByteArray out;
    out.reserve(n);
    int round = 0;
    while (out.size() < n) {
        out.append(QByteArray(17 + (round * 131) % 5000, char('a' + round % 26)));
        out.append("xyzxyzxy");
        out.append(QByteArray::number(round));
        ++round;
    }
    out.truncate(n);
    return out;
}

QByteArray textBytes(qsizetype n, quint32 seed)
{
    static const char *words[] = { "the", "player", "board", "check", "digit", "score", "and", "of",
                                   "to", "host", "game", "wins", "a", "tally", "row", "column" };
    QRandomGenerator rng(seed);
    QByteArray out;
    out.reserve(n + 16);
    while (out.size() < n) {
        out.append(words[rng.bounded(16)]);
        out.append(rng.bounded(10) == 0 ? "\r\n" : " ");
    }
    out.truncate(n);
    return out;
}

// A file of one chunk record whose header claims `stored` bytes.
QByteArray container(qint32 stored, const QByteArray &chunk)
{
    QByteArray out("WRZL");
    const quint32 s = quint32(stored);
    out.append(char(s & 0xFF)).append(char((s >> 8) & 0xFF)).append(char((s >> 16) & 0xFF)).append(char(s >> 24));
    out.append(char(chunk.size() & 0xFF)).append(char(chunk.size() >> 8));
    out.append(chunk);
    return out;
}

QByteArray runItems(int count, char value)
{
    // count runs of 4095 bytes, all flagged in as many control words as needed.
    QByteArray chunk(1, char(0x40));
    for (int i = 0; i < count; ++i) {
        if (i % 16 == 0) {
            const int inGroup = std::min(16, count - i);
            const quint16 w = quint16(0xFFFF << (16 - inGroup));
            chunk.append(char(w >> 8)).append(char(w & 0xFF));
        }
        chunk.append(hex("00 0F EF")).append(value);
    }
    return chunk;
}

} // namespace

class TestLzrw1 : public QObject
{
    Q_OBJECT

private slots:
    void workedExamples_data();
    void workedExamples();
    void roundTrip_data();
    void roundTrip();
    void chunkCoderLimits();
    void tunedCoderMatchesReference();
    void damagedChunks_data();
    void damagedChunks();
    void damagedFiles_data();
    void damagedFiles();
    void fileErrors();
    void failedSaveKeepsOldFile();
    void commandLineTool();

private:
    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.filePath(name); }
    void writeFile(const QString &name, const QByteArray &data)
    {
        QFile f(path(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(data), data.size());
    }
    QByteArray readFile(const QString &name)
    {
        QFile f(path(name));
        if (!f.open(QIODevice::ReadOnly))
            return QByteArray("<missing>");
        return f.readAll();
    }
};

void TestLzrw1::workedExamples_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("file");

    QTest::newRow("empty") << QByteArray() << hex("57 52 5A 4C 00 00 00 00 01 00 80");
    QTest::newRow("abc") << QByteArray("abc") << hex("57 52 5A 4C 03 00 00 00 04 00 80 61 62 63");
    QTest::newRow("twenty a") << QByteArray(20, 'a') << hex("57 52 5A 4C 14 00 00 00 07 00 40 80 00 00 00 04 61");
    QTest::newRow("abc six times") << QByteArray("abc").repeated(6)
                                   << hex("57 52 5A 4C 12 00 00 00 08 00 40 10 00 61 62 63 00 3C");

    QByteArray xs = hex("57 52 5A 4C 00 80 00 00 26 00 40 FF 40");
    for (int i = 0; i < 8; ++i)
        xs.append(hex("00 0F EF 78"));
    xs.append(hex("78 00 14 01 00 80"));
    QTest::newRow("32768 x") << QByteArray(32768, 'x') << xs;

    QByteArray tally;
    for (const char *line : { "9", "2", "0", "Bob", "5", "3", "2", "1", "0", "1", "0", "1", "0", "0", "0", "0", "0",
                              "0", "0", "0" })
        tally.append(line).append("\r\n");
    QTest::newRow("tally text") << tally
                                << hex("57 52 5A 4C 3E 00 00 00 22 00 40 00 00 39 0D 0A 32 0D 0A 30 0D 0A 42 6F 62 0D "
                                       "0A 35 0D 2F 00 0A 33 01 12 31 01 42 00 69 02 30 00 3F");
}

void TestLzrw1::workedExamples()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, file);

    QCOMPARE(Tlzrw1::compressBytes(input), file);
    QCOMPARE(Tlzrw1::decompressBytes(file, "x"), input);

    // The same through the files, with the byte counts the operations return.
    writeFile("example.in", input);
    Tlzrw1 lzrw1;
    lzrw1.CompressMode = Tlzrw1::Fast;
    lzrw1.InputFile = path("example.in");
    lzrw1.OutputFile = path("example.wrzl");
    QCOMPARE(lzrw1.Compress(), qint64(file.size()));
    QCOMPARE(readFile("example.wrzl"), file);
    lzrw1.InputFile = path("example.wrzl");
    lzrw1.OutputFile = path("example.out");
    QCOMPARE(lzrw1.Decompress(), qint64(input.size()));
    QCOMPARE(readFile("example.out"), input);
}

void TestLzrw1::roundTrip_data()
{
    QTest::addColumn<QByteArray>("input");
    const qsizetype lengths[] = { 0, 1, 2, 3, 32767, 32768, 32769, 65536, 100000 };
    for (qsizetype n : lengths) {
        QTest::addRow("random %lld", qlonglong(n)) << randomBytes(n, quint32(n) + 1);
        QTest::addRow("repetitive %lld", qlonglong(n)) << repetitiveBytes(n);
        QTest::addRow("text %lld", qlonglong(n)) << textBytes(n, quint32(n) + 7);
    }
    QTest::newRow("zeros 200000") << QByteArray(200000, '\0');
}

void TestLzrw1::roundTrip()
{
    QFETCH(QByteArray, input);
    const QByteArray packed = Tlzrw1::compressBytes(input);
    QCOMPARE(Tlzrw1::decompressBytes(packed, "x"), input);

    // One chunk record per 32768-byte block plus the short (maybe empty) last one;
    // a chunk never grows beyond its block plus the flag byte.
    const qsizetype blocks = input.size() / TLZR::BlockSize + 1;
    QVERIFY(packed.size() <= 8 + blocks * 3 + input.size());
    if (input.size() % TLZR::BlockSize == 0)
        QVERIFY(packed.endsWith(hex("01 00 80")));
}

// A hand-made chunk with a copy of every length from every distance up to
// 24, where the decoder builds short periods in registers, read by both.
static void everyShortCopyMatchesReference()
{
    QByteArray chunk(1, char(TLZR::FlagCoded));
    int items = 0;
    int controlAt = 0;
    quint16 control = 0;
    const auto item = [&](bool copy, const QByteArray &bytes) {
        if (items % 16 == 0) {
            controlAt = int(chunk.size());
            chunk.append(2, '\0');
            control = 0;
        }
        if (copy)
            control |= quint16(0x8000 >> (items % 16));
        chunk[controlAt] = char(control >> 8);
        chunk[controlAt + 1] = char(control & 0xFF);
        chunk.append(bytes);
        ++items;
    };
    for (int k = 0; k < 24; ++k)
        item(false, QByteArray(1, char('A' + k)));
    for (int d = 1; d <= 24; ++d) {
        for (int n = 3; n <= 18; ++n) {
            item(false, QByteArray(1, char('a' + (d + n) % 26)));
            const int key = (d << 4) | (n - 3);
            item(true, QByteArray(1, char(key >> 8)) + char(key & 0xFF));
        }
    }
    std::vector<uint8_t> src(chunk.begin(), chunk.end());
    std::vector<uint8_t> mine(TLZR::BlockSize);
    std::vector<uint8_t> theirs(TLZR::BlockSize);
    int lenMine = -1;
    int lenTheirs = -1;
    QCOMPARE(TLZR::DecompressChunk(src.data(), int(src.size()), mine.data(), lenMine), TLZR::ChunkError::None);
    QCOMPARE(ReferenceCoder::decompressChunk(src.data(), int(src.size()), theirs.data(), lenTheirs),
             TLZR::ChunkError::None);
    QCOMPARE(lenMine, lenTheirs);
    QVERIFY(std::equal(mine.begin(), mine.begin() + lenMine, theirs.begin()));
}

// The tuned coder must write the very chunks the plain one wrote, one block
// at a time and two at once, and read every chunk, sound or damaged, to the
// same bytes and verdict.
void TestLzrw1::tunedCoderMatchesReference()
{
    QList<QByteArray> blocks;
    QRandomGenerator rng(77);
    // Real text: this project's own sources, cut into blocks at odd places.
    QByteArray sources;
    QDirIterator it(QStringLiteral(SUDOKU_SOURCE_DIR), {QStringLiteral("*.cpp"), QStringLiteral("*.h")},
                    QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext() && sources.size() < 600000) {
        const QString path = it.next();
        if (path.contains(QLatin1String("/build")))
            continue;
        QFile f(path);
        if (f.open(QIODevice::ReadOnly))
            sources += f.readAll();
    }
    QVERIFY(sources.size() > 100000);
    for (qsizetype at = 0; at < sources.size(); at += TLZR::BlockSize - 333)
        blocks << sources.mid(at, rng.bounded(TLZR::BlockSize + 1));
    // Noise over alphabets of 1 to 256 letters, with runs of every length
    // around the run threshold, in blocks of every size class.
    for (int round = 0; round < 300; ++round) {
        const int n = round < 40 ? round : int(rng.bounded(TLZR::BlockSize + 1));
        const int letters = 1 + int(rng.bounded(round % 3 == 0 ? 4 : 256));
        QByteArray b;
        while (b.size() < n) {
            const char c = char('a' + rng.bounded(letters));
            b.append(QByteArray(rng.bounded(8) == 0 ? int(rng.bounded(40)) : 1, c));
            if (rng.bounded(6) == 0 && b.size() > 20) // a repeat from not far back
                b.append(b.mid(b.size() - 1 - rng.bounded(qMin<qsizetype>(b.size() - 1, 5000)), rng.bounded(30)));
        }
        b.truncate(n);
        blocks << b;
    }
    blocks << randomBytes(TLZR::BlockSize, 5) << repetitiveBytes(TLZR::BlockSize)
           << textBytes(TLZR::BlockSize, 9) << QByteArray(TLZR::BlockSize, 'z');

    everyShortCopyMatchesReference();
    if (QTest::currentTestFailed())
        return;

    TLZR coder;
    std::vector<uint8_t> mine(TLZR::BufferSize);
    std::vector<uint8_t> theirs(TLZR::BufferSize);
    std::vector<uint8_t> outMine(TLZR::BlockSize);
    std::vector<uint8_t> outTheirs(TLZR::BlockSize);
    std::vector<uint8_t> before; // the chunk the plain coder wrote for the block before
    for (qsizetype at = 0; at < blocks.size(); ++at) {
        const QByteArray &block = blocks.at(at);
        const auto *in = reinterpret_cast<const uint8_t *>(block.constData());
        const int n = int(block.size());
        const int lenMine = coder.CompressChunk(in, n, mine.data());
        const int lenTheirs = ReferenceCoder::compressChunk(in, n, theirs.data());
        QCOMPARE(lenMine, lenTheirs);
        QVERIFY(std::equal(mine.begin(), mine.begin() + lenMine, theirs.begin()));

        // This block coded together with the one before, in buffers of just
        // the room the coder may use.
        if (at > 0) {
            const QByteArray &previous = blocks.at(at - 1);
            std::vector<uint8_t> pairA(size_t(previous.size()) + 6);
            std::vector<uint8_t> pairB(size_t(n) + 6);
            int lenA = -1;
            int lenB = -1;
            coder.CompressTwoChunks(reinterpret_cast<const uint8_t *>(previous.constData()), int(previous.size()),
                                    pairA.data(), lenA, in, n, pairB.data(), lenB);
            QCOMPARE(lenA, int(before.size()));
            QVERIFY(std::equal(before.begin(), before.end(), pairA.begin()));
            QCOMPARE(lenB, lenTheirs);
            QVERIFY(std::equal(pairB.begin(), pairB.begin() + lenB, theirs.begin()));
        }
        before.assign(theirs.begin(), theirs.begin() + lenTheirs);

        // The chunk whole, cut short, and with bytes flipped.
        for (int variant = 0; variant < 6; ++variant) {
            std::vector<uint8_t> chunk(mine.begin(), mine.begin() + lenMine);
            if (variant == 1 && !chunk.empty())
                chunk.resize(rng.bounded(int(chunk.size())));
            else if (variant >= 2)
                for (int k = 0; k < variant && chunk.size() > 1; ++k)
                    chunk[1 + rng.bounded(int(chunk.size()) - 1)] ^= uint8_t(1 + rng.bounded(255));
            int gotMine = -1;
            int gotTheirs = -1;
            const auto verdictMine = TLZR::DecompressChunk(chunk.data(), int(chunk.size()), outMine.data(), gotMine);
            const auto verdictTheirs =
                ReferenceCoder::decompressChunk(chunk.data(), int(chunk.size()), outTheirs.data(), gotTheirs);
            QCOMPARE(verdictMine, verdictTheirs);
            if (verdictMine == TLZR::ChunkError::None) {
                QCOMPARE(gotMine, gotTheirs);
                QVERIFY(std::equal(outMine.begin(), outMine.begin() + gotMine, outTheirs.begin()));
                if (variant == 0)
                    QVERIFY(std::equal(outMine.begin(), outMine.begin() + gotMine, in));
            }
        }
    }
}

void TestLzrw1::chunkCoderLimits()
{
    TLZR coder;
    // The coder may write a few bytes past the block before it gives up on
    // coding; it must stay inside n + 6 and still end stored.
    const QByteArray noise = randomBytes(TLZR::BlockSize, 99);
    std::vector<uint8_t> out(TLZR::BlockSize + 6, 0xAA);
    const int stored = coder.CompressChunk(reinterpret_cast<const uint8_t *>(noise.constData()), int(noise.size()),
                                        out.data());
    QCOMPARE(stored, TLZR::MaxChunkSize);
    QCOMPARE(out[0], TLZR::FlagStored);

    // A match is at most 18 bytes long and at most 4095 bytes back.
    QByteArray far = randomBytes(4096, 5);
    far.append(far.left(30));
    const auto *in = reinterpret_cast<const uint8_t *>(far.constData());
    int pos = -1;
    int len = -1;
    TLZR tooFar;
    QVERIFY(!tooFar.FindMatch(in, int(far.size()), 0, pos, len));
    QVERIFY(!tooFar.FindMatch(in, int(far.size()), 4096, pos, len));
    QByteArray near = randomBytes(4095, 5);
    near.append(near.left(30));
    const auto *nearIn = reinterpret_cast<const uint8_t *>(near.constData());
    TLZR nearEnough;
    QVERIFY(!nearEnough.FindMatch(nearIn, int(near.size()), 0, pos, len));
    QVERIFY(nearEnough.FindMatch(nearIn, int(near.size()), 4095, pos, len));
    QCOMPARE(pos, 0);
    QCOMPARE(len, 18);
    // ... and never reaches past the block's end.
    TLZR atEnd;
    QVERIFY(!atEnd.FindMatch(nearIn, 4099, 0, pos, len));
    QVERIFY(atEnd.FindMatch(nearIn, 4099, 4095, pos, len));
    QCOMPARE(len, 4);

    // Eight full runs and eight literals fill a block exactly.
    std::vector<uint8_t> back(TLZR::BlockSize);
    int backLen = -1;
    const QByteArray full = runItems(8, 'z').replace(1, 2, hex("FF 00")) + QByteArray(8, 'a');
    QCOMPARE(TLZR::DecompressChunk(reinterpret_cast<const uint8_t *>(full.constData()), int(full.size()),
                                   back.data(), backLen),
             TLZR::ChunkError::None);
    QCOMPARE(backLen, TLZR::BlockSize);
    QCOMPARE(back[32759], uint8_t('z'));
    QCOMPARE(back[32767], uint8_t('a'));

    // A 17-byte copy that ends exactly at the block's end.
    QByteArray copyToEnd = runItems(8, 'z').replace(1, 2, hex("FF 80"));
    copyToEnd.replace(copyToEnd.size() - 4, 4, hex("00 0F E6 7A 01 1E"));
    std::vector<uint8_t> src(copyToEnd.begin(), copyToEnd.end());
    QCOMPARE(TLZR::DecompressChunk(src.data(), int(src.size()), back.data(), backLen), TLZR::ChunkError::None);
    QCOMPARE(backLen, TLZR::BlockSize);
    QCOMPARE(back[32767], uint8_t('z'));

    // Chunk data of length 0 or 1 is an empty block, whatever its first byte.
    const uint8_t one = 0x40;
    QCOMPARE(TLZR::DecompressChunk(&one, 1, back.data(), backLen), TLZR::ChunkError::None);
    QCOMPARE(backLen, 0);
}

void TestLzrw1::damagedChunks_data()
{
    QTest::addColumn<QByteArray>("chunk");
    QTest::addColumn<int>("error");

    const int tooLong = int(TLZR::ChunkError::TooLong);
    const int cutOff = int(TLZR::ChunkError::CutOff);
    const int tooMuch = int(TLZR::ChunkError::TooMuchOutput);
    const int badDistance = int(TLZR::ChunkError::BadDistance);

    QTest::newRow("stored, 32770 bytes") << QByteArray(1, char(0x80)) + QByteArray(32769, 'a') << tooLong;
    QTest::newRow("control word cut") << hex("40 80") << cutOff;
    QTest::newRow("copy cut") << hex("40 40 00 61 00") << cutOff;
    QTest::newRow("run cut") << hex("40 80 00 00 00 04") << cutOff;
    QByteArray secondWordCut = hex("40 00 00") + QByteArray(16, 'a') + hex("80");
    QTest::newRow("second control word cut") << secondWordCut << cutOff;
    QTest::newRow("nine full runs") << runItems(9, 'z') << tooMuch;
    const QByteArray full = runItems(8, 'z').replace(1, 2, hex("FF 00")) + QByteArray(8, 'a');
    QTest::newRow("run past the block") << full + hex("80 00 00 00 00 7A") << tooMuch;
    QTest::newRow("literal past the block") << full + hex("00 00 62") << tooMuch;
    QTest::newRow("copy past the block") << full + hex("80 00 00 10") << tooMuch;
    QTest::newRow("copy before any output") << hex("40 80 00 00 10") << badDistance;
    QTest::newRow("copy one too far back") << hex("40 20 00 61 62 00 30") << badDistance;

    // Sound chunks whose last two groups, 16 copies and then 12 or 13
    // literals, start 48 or 49 bytes before the end: the decoder must not run
    // on from group to group there, or it reads past the chunk.
    for (int literals : {12, 13}) {
        const QByteArray chunk = hex("40 00 FF") + "abcdefgh" + hex("00 80").repeated(8) + hex("FF FF")
            + hex("00 80").repeated(16) + hex("00 00") + QByteArray(literals, 'q');
        QTest::addRow("sound, groups %d bytes from the end", int(chunk.size()) - 27)
            << chunk << int(TLZR::ChunkError::None);
    }
}

void TestLzrw1::damagedChunks()
{
    QFETCH(QByteArray, chunk);
    QFETCH(int, error);
    // Exactly sized buffers, so a read or write past them shows under ASan.
    std::vector<uint8_t> src(chunk.begin(), chunk.end());
    std::vector<uint8_t> out(TLZR::BlockSize);
    int outLen = -1;
    QCOMPARE(int(TLZR::DecompressChunk(src.data(), int(src.size()), out.data(), outLen)), error);
}

void TestLzrw1::damagedFiles_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("message");

    const QString readMsg = "Lzrw1 : Error reading from input file : " + path("damaged.wrzl");
    const QString sizesMsg = "Lzrw1 (decompression LZRW1/KH) : Original and compressed sizes do not match !";
    const QString headerMsg = path("damaged.wrzl") + " : Lzrw1 decompression : this file has no valid header !";
    const QString damagedMsg = path("damaged.wrzl") + " : Lzrw1 decompression : damaged chunk at offset 8 (%1) !";

    QTest::newRow("empty file") << QByteArray() << readMsg;
    QTest::newRow("three bytes") << QByteArray("WRZ") << readMsg;
    QTest::newRow("plain text") << QByteArray("9\r\n1\r\n0\r\n") << headerMsg;
    QTest::newRow("identifier only") << QByteArray("WRZL") << readMsg;
    QTest::newRow("length cut") << QByteArray("WRZL\x03\x00", 6) << readMsg;
    QTest::newRow("no chunk") << hex("57 52 5A 4C 00 00 00 00") << readMsg;
    QTest::newRow("chunk length cut") << hex("57 52 5A 4C 00 00 00 00 01") << readMsg;
    QTest::newRow("chunk data cut") << hex("57 52 5A 4C 03 00 00 00 04 00 80 61 62") << readMsg;

    const QByteArray big = textBytes(70000, 3);
    const QByteArray packed = Tlzrw1::compressBytes(big);
    QTest::newRow("cut after a full block") << packed.left(8 + 2 + (packed[8] & 0xFF) + ((packed[9] & 0xFF) << 8))
                                            << readMsg;
    QTest::newRow("cut in the middle") << packed.left(packed.size() / 2) << readMsg;
    QTest::newRow("last byte missing") << packed.chopped(1) << readMsg;

    QByteArray longer = packed;
    longer[4] = char(longer[4] + 1);
    QTest::newRow("stored length one more") << longer << sizesMsg;
    QByteArray shorter = packed;
    shorter[4] = char(shorter[4] - 1);
    QTest::newRow("stored length one less") << shorter << sizesMsg;
    QTest::newRow("negative stored length") << container(-1, hex("80")) << sizesMsg;

    QTest::newRow("stored length above 32769") << container(32769, hex("80") + QByteArray(32769, 'q'))
                                               << damagedMsg.arg("chunk longer than 32769 bytes");
    QTest::newRow("decodes past the block") << container(36855, runItems(9, 'z'))
                                            << damagedMsg.arg("chunk decodes to more than 32768 bytes");
    QTest::newRow("copy before the block") << container(3, hex("40 80 00 00 10"))
                                           << damagedMsg.arg("copy reaches back before the start of the block");
    QTest::newRow("item cut at the end") << container(20, hex("40 80 00 00 00 04"))
                                         << damagedMsg.arg("item cut off at the end of the chunk");
}

void TestLzrw1::damagedFiles()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, message);

    writeFile("damaged.wrzl", file);
    QFile::remove(path("damaged.out"));
    QVERIFY_THROWS_EXCEPTION(ELzrw1Exception, Tlzrw1::decompressBytes(file, path("damaged.wrzl")));

    Tlzrw1 lzrw1;
    lzrw1.CompressMode = Tlzrw1::Fast;
    lzrw1.InputFile = path("damaged.wrzl");
    lzrw1.OutputFile = path("damaged.out");
    QString caught;
    try {
        lzrw1.Decompress();
    } catch (const ELzrw1Exception &e) {
        caught = e.message();
    }
    QCOMPARE(caught, message);
    QVERIFY(!QFile::exists(path("damaged.out")));
    // Nothing else was left in the folder either (no temporary file).
    QCOMPARE(QDir(dir.path()).entryList({ "damaged*" }, QDir::Files), QStringList { "damaged.wrzl" });
}

void TestLzrw1::fileErrors()
{
    auto messageOf = [](Tlzrw1 &lzrw1, bool compress) {
        try {
            if (compress)
                lzrw1.Compress();
            else
                lzrw1.Decompress();
        } catch (const ELzrw1Exception &e) {
            return e.message();
        }
        return QString("<no error>");
    };

    Tlzrw1 lzrw1;
    lzrw1.CompressMode = Tlzrw1::Fast;
    lzrw1.InputFile = path("nowhere.txt");
    lzrw1.OutputFile = path("never.wrzl");
    QCOMPARE(messageOf(lzrw1, true), "Lzrw1 compression : Failed to obtain the size of : " + path("nowhere.txt"));
    QCOMPARE(messageOf(lzrw1, false), "Lzrw1 (de)compression : Failed to open input file : " + path("nowhere.txt"));
    QVERIFY(!QFile::exists(path("never.wrzl")));

    writeFile("plain.txt", "hello");
    lzrw1.InputFile = path("plain.txt");
    lzrw1.OutputFile = path("no/such/folder/out.wrzl");
    QCOMPARE(messageOf(lzrw1, true), "Lzrw1 (de)compression : Failed to open output file : " + lzrw1.OutputFile);
    // The output is created before the input is looked at.
    QCOMPARE(messageOf(lzrw1, false), "Lzrw1 (de)compression : Failed to open output file : " + lzrw1.OutputFile);

    // Files of the Good mode are recognised but not read.
    writeFile("good.lzh", hex("21 48 5A 4C 05 00 00 00"));
    lzrw1.InputFile = path("good.lzh");
    lzrw1.OutputFile = path("good.out");
    QVERIFY(messageOf(lzrw1, false).contains("Good (LZH)"));
    QVERIFY(!QFile::exists(path("good.out")));

    // Bytes after the last chunk are not read.
    writeFile("trailing.wrzl", hex("57 52 5A 4C 03 00 00 00 04 00 80 61 62 63 FF FF FF"));
    lzrw1.InputFile = path("trailing.wrzl");
    lzrw1.OutputFile = path("trailing.out");
    QCOMPARE(lzrw1.Decompress(), qint64(3));
    QCOMPARE(readFile("trailing.out"), QByteArray("abc"));
}

void TestLzrw1::failedSaveKeepsOldFile()
{
    // A refused file leaves the previous output whole, not deleted or cut.
    writeFile("keep.out", "previous contents");
    writeFile("bad.wrzl", "not compressed");
    Tlzrw1 lzrw1;
    lzrw1.CompressMode = Tlzrw1::Fast;
    lzrw1.InputFile = path("bad.wrzl");
    lzrw1.OutputFile = path("keep.out");
    QVERIFY_THROWS_EXCEPTION(ELzrw1Exception, lzrw1.Decompress());
    QCOMPARE(readFile("keep.out"), QByteArray("previous contents"));

    // A good run replaces it.
    writeFile("good.in", "new contents");
    lzrw1.InputFile = path("good.in");
    lzrw1.OutputFile = path("keep.wrzl");
    lzrw1.Compress();
    lzrw1.InputFile = path("keep.wrzl");
    lzrw1.OutputFile = path("keep.out");
    lzrw1.Decompress();
    QCOMPARE(readFile("keep.out"), QByteArray("new contents"));
}

void TestLzrw1::commandLineTool()
{
    const QString tool = QDir(QCoreApplication::applicationDirPath()).filePath("../wrzl");
    if (!QFile::exists(tool))
        QSKIP("wrzl is not built");

    const QByteArray text = textBytes(50000, 11);
    writeFile("tool.txt", text);
    QProcess p;
    p.start(tool, { "c", path("tool.txt"), path("tool.wrzl") });
    QVERIFY(p.waitForFinished());
    QCOMPARE(p.exitCode(), 0);
    QCOMPARE(readFile("tool.wrzl"), Tlzrw1::compressBytes(text));

    p.start(tool, { "d", path("tool.wrzl"), path("tool.out") });
    QVERIFY(p.waitForFinished());
    QCOMPARE(p.exitCode(), 0);
    QCOMPARE(readFile("tool.out"), text);

    p.start(tool, { "d", path("tool.txt"), path("tool.bad") });
    QVERIFY(p.waitForFinished());
    QVERIFY(p.exitCode() != 0);
    QCOMPARE(p.readAllStandardError(),
             (path("tool.txt") + " : Lzrw1 decompression : this file has no valid header !\n").toUtf8());
    QVERIFY(!QFile::exists(path("tool.bad")));
}

QTEST_GUILESS_MAIN(TestLzrw1)
#include "test_lzrw1.moc"
