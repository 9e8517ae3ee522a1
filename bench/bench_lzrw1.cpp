// Throughput of the LZRW1-KH coder and its container on text, runs and random
// data, beside a plain memcpy of the same bytes as the ceiling.

#include "tally/lzrw1.h"
#include "tally/lzrw1kh.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr size_t DataSize = 1 << 20;

QByteArray makeText()
{
    // English-like prose: words of a small vocabulary with a skewed choice,
    // spaces, punctuation and line ends.
    static const char *words[] = { "the", "of", "and", "to", "a", "in", "is", "that", "for", "it", "as", "was",
                                    "with", "be", "by", "on", "not", "he", "this", "are", "or", "his", "from",
                                    "at", "which", "but", "have", "an", "had", "they", "you", "were", "their",
                                    "one", "all", "we", "can", "her", "has", "there", "been", "if", "more",
                                    "when", "will", "would", "who", "so", "no", "player", "board", "digit",
                                    "score", "check", "puzzle", "column", "row", "winner", "game", "host",
                                    "spectators", "difficulty", "together", "compressed", "remember" };
    constexpr int count = sizeof(words) / sizeof(words[0]);
    std::mt19937 rng(2024);
    std::geometric_distribution<int> pick(0.08);
    QByteArray text;
    text.reserve(DataSize + 32);
    int inLine = 0;
    while (size_t(text.size()) < DataSize) {
        text.append(words[pick(rng) % count]);
        inLine += 6;
        const unsigned r = rng() % 20;
        if (r == 0)
            text.append(". ");
        else if (r == 1)
            text.append(", ");
        else if (inLine > 70) {
            text.append("\r\n");
            inLine = 0;
        } else
            text.append(' ');
    }
    text.truncate(DataSize);
    return text;
}

QByteArray makeRuns()
{
    std::mt19937 rng(7);
    QByteArray data;
    data.reserve(DataSize);
    while (size_t(data.size()) < DataSize)
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

const QByteArray &sample(int kind)
{
    static const QByteArray text = makeText();
    static const QByteArray runs = makeRuns();
    static const QByteArray noise = makeRandom();
    return kind == 0 ? text : kind == 1 ? runs : noise;
}

const char *kindName(int kind)
{
    return kind == 0 ? "text" : kind == 1 ? "runs" : "random";
}

void BM_Compress(benchmark::State &state)
{
    const QByteArray &data = sample(int(state.range(0)));
    qsizetype packed = 0;
    for (auto _ : state) {
        QByteArray out = Tlzrw1::compressBytes(data);
        packed = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * data.size());
    state.SetLabel(kindName(int(state.range(0))));
    state.counters["ratio"] = double(packed) / double(data.size());
}

void BM_Decompress(benchmark::State &state)
{
    const QByteArray &data = sample(int(state.range(0)));
    const QByteArray packed = Tlzrw1::compressBytes(data);
    for (auto _ : state) {
        QByteArray out = Tlzrw1::decompressBytes(packed);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * data.size());
    state.SetLabel(kindName(int(state.range(0))));
}

// The coder alone, one block at a time into fixed buffers.
void BM_CompressChunk(benchmark::State &state)
{
    const QByteArray &data = sample(int(state.range(0)));
    TLZR coder;
    std::vector<uint8_t> out(TLZR::BufferSize);
    const auto *in = reinterpret_cast<const uint8_t *>(data.constData());
    for (auto _ : state) {
        for (size_t pos = 0; pos < DataSize; pos += TLZR::BlockSize) {
            benchmark::DoNotOptimize(coder.CompressChunk(in + pos, TLZR::BlockSize, out.data()));
            benchmark::ClobberMemory();
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(DataSize));
    state.SetLabel(kindName(int(state.range(0))));
}

void BM_DecompressChunk(benchmark::State &state)
{
    const QByteArray &data = sample(int(state.range(0)));
    TLZR coder;
    std::vector<std::vector<uint8_t>> chunks;
    const auto *in = reinterpret_cast<const uint8_t *>(data.constData());
    for (size_t pos = 0; pos < DataSize; pos += TLZR::BlockSize) {
        std::vector<uint8_t> chunk(TLZR::BufferSize);
        chunk.resize(size_t(coder.CompressChunk(in + pos, TLZR::BlockSize, chunk.data())));
        chunks.push_back(std::move(chunk));
    }
    std::vector<uint8_t> out(TLZR::BlockSize);
    for (auto _ : state) {
        for (const auto &chunk : chunks) {
            int len = 0;
            TLZR::DecompressChunk(chunk.data(), int(chunk.size()), out.data(), len);
            benchmark::DoNotOptimize(len);
            benchmark::ClobberMemory();
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(DataSize));
    state.SetLabel(kindName(int(state.range(0))));
}

void BM_Memcpy(benchmark::State &state)
{
    // The source in a plain buffer: copying from a QByteArray's data makes
    // gcc 12 warn about its shared empty array, which is never read here.
    const QByteArray &data = sample(0);
    const std::vector<char> in(data.cbegin(), data.cend());
    std::vector<char> out(in.size());
    for (auto _ : state) {
        std::memcpy(out.data(), in.data(), in.size());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(DataSize));
}

} // namespace

BENCHMARK(BM_Memcpy);
BENCHMARK(BM_Compress)->DenseRange(0, 2);
BENCHMARK(BM_Decompress)->DenseRange(0, 2);
BENCHMARK(BM_CompressChunk)->DenseRange(0, 2);
BENCHMARK(BM_DecompressChunk)->DenseRange(0, 2);

BENCHMARK_MAIN();
