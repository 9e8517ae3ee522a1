// Throughput of the LZRW1-KH coder on real data, beside LZ4 and a plain
// memcpy of the same bytes in the same process:
//   source  this project's own source files, concatenated to 1 MiB
//   tally   the tally text of 300 opponents, as the tally file holds it
//   runs    long runs of a few letters; random  incompressible noise
// The plain coder the tests hold as the yardstick runs beside the tuned one.
// Ends with a table of every figure as a ratio to LZ4 and to memcpy.

#include "tally/brenvikstrgrid.h"
#include "tally/lzrw1.h"
#include "tally/lzrw1kh.h"
#include "tally/tallytable.h"
#include "tests/lzrw1kh_reference.h"

#include <benchmark/benchmark.h>
#ifdef SUDOKU_HAVE_LZ4
#include <lz4.h>
#endif

#include <QDirIterator>
#include <QFile>

#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int DataSize = 1 << 20;
constexpr int Block = TLZR::BlockSize;

QByteArray makeSource()
{
    QStringList paths;
    QDirIterator it(QStringLiteral(SUDOKU_SOURCE_DIR), {QStringLiteral("*.cpp"), QStringLiteral("*.h")},
                    QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (!path.contains(QLatin1String("/build")))
            paths << path;
    }
    paths.sort(); // the same bytes in the same order on every run
    QByteArray text;
    while (text.size() < DataSize && !paths.isEmpty()) {
        for (const QString &path : paths) {
            QFile f(path);
            if (f.open(QIODevice::ReadOnly))
                text += f.readAll();
            if (text.size() >= DataSize)
                break;
        }
    }
    text.truncate(DataSize);
    return text;
}

QByteArray makeTally()
{
    // 300 opponents with made-up names and a season of games against them.
    static const char *parts[] = {"an", "bel", "cor", "dra", "el", "fin", "gar", "hel", "is", "jo",
                                  "ka", "lin", "mar", "nor", "ol", "per", "qui", "ros", "sam", "tor"};
    std::mt19937 rng(300);
    TallyTable tally;
    QStringList names;
    while (names.size() < 300) {
        QString name;
        for (int k = 0; k < 2 + int(rng() % 2); ++k)
            name += QLatin1String(parts[rng() % 20]);
        name[0] = name[0].toUpper();
        if (rng() % 3 == 0)
            name += QString::number(rng() % 100);
        if (tally.findRecord(name) >= 0)
            continue;
        tally.appendRecord(name);
        names << name;
    }
    for (int game = 0; game < 3000; ++game) {
        QStringList seated;
        for (int k = 0; k < 3; ++k)
            seated << names.at(int(rng() % names.size()));
        const unsigned r = rng() % 4;
        tally.addgame(r == 0 ? TallyTable::mineResult() : r == 1 ? QStringLiteral("nobody") : seated.first(),
                      seated);
    }
    return gridToText(tally);
}

QByteArray makeRuns()
{
    std::mt19937 rng(7);
    QByteArray data;
    data.reserve(DataSize);
    while (data.size() < DataSize)
        data.append(QByteArray(int(rng() % 300 + 1), char(rng() % 4)));
    data.truncate(DataSize);
    return data;
}

QByteArray makeRandom()
{
    std::mt19937 rng(11);
    QByteArray data(DataSize, Qt::Uninitialized);
    for (auto &c : data)
        c = char(rng());
    return data;
}

enum Kind { Source, Tally, Runs, Random };
const char *const kindNames[] = {"source", "tally", "runs", "random"};

const std::vector<uint8_t> &sample(int kind)
{
    static const std::vector<std::vector<uint8_t>> all = [] {
        std::vector<std::vector<uint8_t>> v;
        for (const QByteArray &b : {makeSource(), makeTally(), makeRuns(), makeRandom()})
            v.emplace_back(b.cbegin(), b.cend());
        return v;
    }();
    return all[size_t(kind)];
}

// Each coder works block by block, 32 KiB at a time, into fixed buffers, on
// one thread. LZRW1-KH codes two blocks at once, as the file coder does.
void BM_Lzrw1Compress(benchmark::State &state)
{
    const auto &data = sample(int(state.range(0)));
    TLZR coder;
    std::vector<uint8_t> out(2 * TLZR::BufferSize);
    size_t packed = 0;
    for (auto _ : state) {
        packed = 0;
        size_t pos = 0;
        for (; pos + Block < data.size(); pos += 2 * Block) {
            const int n = int(std::min<size_t>(Block, data.size() - pos - Block));
            int lenA = 0;
            int lenB = 0;
            coder.CompressTwoChunks(data.data() + pos, Block, out.data(), lenA, data.data() + pos + Block, n,
                                    out.data() + TLZR::BufferSize, lenB);
            packed += size_t(lenA + lenB);
            benchmark::ClobberMemory();
        }
        if (pos < data.size()) {
            packed += size_t(coder.CompressChunk(data.data() + pos, int(data.size() - pos), out.data()));
            benchmark::ClobberMemory();
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
    state.counters["ratio"] = double(packed) / double(data.size());
}

// The same, one block at a time.
void BM_Lzrw1CompressOne(benchmark::State &state)
{
    const auto &data = sample(int(state.range(0)));
    TLZR coder;
    std::vector<uint8_t> out(TLZR::BufferSize);
    for (auto _ : state) {
        for (size_t pos = 0; pos < data.size(); pos += Block) {
            const int n = int(std::min<size_t>(Block, data.size() - pos));
            benchmark::DoNotOptimize(coder.CompressChunk(data.data() + pos, n, out.data()));
            benchmark::ClobberMemory();
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
}

void BM_Lzrw1Decompress(benchmark::State &state)
{
    const auto &data = sample(int(state.range(0)));
    TLZR coder;
    std::vector<std::vector<uint8_t>> chunks;
    for (size_t pos = 0; pos < data.size(); pos += Block) {
        const int n = int(std::min<size_t>(Block, data.size() - pos));
        std::vector<uint8_t> chunk(TLZR::BufferSize);
        chunk.resize(size_t(coder.CompressChunk(data.data() + pos, n, chunk.data())));
        chunks.push_back(std::move(chunk));
    }
    std::vector<uint8_t> out(Block);
    for (auto _ : state) {
        for (const auto &chunk : chunks) {
            int len = 0;
            TLZR::DecompressChunk(chunk.data(), int(chunk.size()), out.data(), len);
            benchmark::DoNotOptimize(len);
            benchmark::ClobberMemory();
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
}

// The plain, byte-at-a-time coder on the same blocks.
void BM_PlainCompress(benchmark::State &state)
{
    const auto &data = sample(int(state.range(0)));
    std::vector<uint8_t> out(TLZR::BufferSize);
    for (auto _ : state) {
        for (size_t pos = 0; pos < data.size(); pos += Block) {
            const int n = int(std::min<size_t>(Block, data.size() - pos));
            benchmark::DoNotOptimize(ReferenceCoder::compressChunk(data.data() + pos, n, out.data()));
            benchmark::ClobberMemory();
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
}

void BM_PlainDecompress(benchmark::State &state)
{
    const auto &data = sample(int(state.range(0)));
    std::vector<std::vector<uint8_t>> chunks;
    for (size_t pos = 0; pos < data.size(); pos += Block) {
        const int n = int(std::min<size_t>(Block, data.size() - pos));
        std::vector<uint8_t> chunk(TLZR::BufferSize);
        chunk.resize(size_t(ReferenceCoder::compressChunk(data.data() + pos, n, chunk.data())));
        chunks.push_back(std::move(chunk));
    }
    std::vector<uint8_t> out(Block);
    for (auto _ : state) {
        for (const auto &chunk : chunks) {
            int len = 0;
            ReferenceCoder::decompressChunk(chunk.data(), int(chunk.size()), out.data(), len);
            benchmark::DoNotOptimize(len);
            benchmark::ClobberMemory();
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
}
BENCHMARK(BM_PlainCompress)->DenseRange(0, 3);
BENCHMARK(BM_PlainDecompress)->DenseRange(0, 3);

#ifdef SUDOKU_HAVE_LZ4
void BM_Lz4Compress(benchmark::State &state)
{
    const auto &data = sample(int(state.range(0)));
    std::vector<char> out(size_t(LZ4_compressBound(Block)));
    size_t packed = 0;
    for (auto _ : state) {
        packed = 0;
        for (size_t pos = 0; pos < data.size(); pos += Block) {
            const int n = int(std::min<size_t>(Block, data.size() - pos));
            packed += size_t(LZ4_compress_default(reinterpret_cast<const char *>(data.data() + pos), out.data(), n,
                                                  int(out.size())));
            benchmark::ClobberMemory();
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
    state.counters["ratio"] = double(packed) / double(data.size());
}

void BM_Lz4Decompress(benchmark::State &state)
{
    const auto &data = sample(int(state.range(0)));
    std::vector<std::vector<char>> chunks;
    for (size_t pos = 0; pos < data.size(); pos += Block) {
        const int n = int(std::min<size_t>(Block, data.size() - pos));
        std::vector<char> chunk(size_t(LZ4_compressBound(Block)));
        chunk.resize(size_t(LZ4_compress_default(reinterpret_cast<const char *>(data.data() + pos), chunk.data(), n,
                                                 int(chunk.size()))));
        chunks.push_back(std::move(chunk));
    }
    std::vector<char> out(Block);
    for (auto _ : state) {
        for (const auto &chunk : chunks) {
            benchmark::DoNotOptimize(LZ4_decompress_safe(chunk.data(), out.data(), int(chunk.size()), Block));
            benchmark::ClobberMemory();
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
}
BENCHMARK(BM_Lz4Compress)->DenseRange(0, 3);
BENCHMARK(BM_Lz4Decompress)->DenseRange(0, 3);
#endif

void BM_Memcpy(benchmark::State &state)
{
    const auto &data = sample(int(state.range(0)));
    std::vector<uint8_t> out(data.size());
    for (auto _ : state) {
        std::memcpy(out.data(), data.data(), data.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
}

BENCHMARK(BM_Lzrw1Compress)->DenseRange(0, 3);
BENCHMARK(BM_Lzrw1CompressOne)->DenseRange(0, 3);
BENCHMARK(BM_Lzrw1Decompress)->DenseRange(0, 3);
BENCHMARK(BM_Memcpy)->Arg(0);

// Keeps every run's throughput and ratio for the table at the end.
class Collector : public benchmark::ConsoleReporter
{
public:
    std::map<std::string, double> mbps;
    std::map<std::string, double> ratio;

    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            const std::string name = run.benchmark_name();
            const auto bytes = run.counters.find("bytes_per_second");
            if (bytes != run.counters.end())
                mbps[name] = double(bytes->second) / 1e6;
            const auto r = run.counters.find("ratio");
            if (r != run.counters.end())
                ratio[name] = double(r->second);
        }
    }
};

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    const auto get = [&](const std::map<std::string, double> &m, const std::string &name) {
        const auto it = m.find(name);
        return it == m.end() ? 0.0 : it->second;
    };
    const double copy = get(collector.mbps, "BM_Memcpy/0");
    std::printf("\n%-8s %-10s %10s %10s %10s %8s %8s %8s %8s\n", "data", "direction", "LZRW1 MB/s", "plain MB/s",
                "LZ4 MB/s", "vs LZ4", "vs copy", "size", "LZ4 size");
    for (int kind = 0; kind < 4; ++kind) {
        // "Compress1": LZRW1-KH one block at a time, beside the same yardsticks.
        for (const char *dir : {"Compress", "Compress1", "Decompress"}) {
            const std::string arg = "/" + std::to_string(kind);
            const bool one = std::string(dir) == "Compress1";
            const std::string name = one ? "Compress" : dir;
            const double ours = get(collector.mbps, std::string("BM_Lzrw1") + (one ? "CompressOne" : dir) + arg);
            const double lz4 = get(collector.mbps, "BM_Lz4" + name + arg);
            if (ours == 0.0)
                continue; // filtered out
            const double plain = get(collector.mbps, "BM_Plain" + name + arg);
            std::printf("%-8s %-10s %10.0f %10.0f %10.0f %8.2f %8.3f", kindNames[kind], dir, ours, plain, lz4,
                        lz4 > 0 ? ours / lz4 : 0.0, copy > 0 ? ours / copy : 0.0);
            if (std::string(dir) == "Compress")
                std::printf(" %7.1f%% %7.1f%%", 100 * get(collector.ratio, "BM_Lzrw1Compress" + arg),
                            100 * get(collector.ratio, "BM_Lz4Compress" + arg));
            std::printf("\n");
        }
    }
    std::printf("memcpy %.0f MB/s\n", copy);
    return 0;
}
