#include "tally/lzrw1kh.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

namespace {

constexpr int MinMatch = 3;
constexpr int MaxMatch = 18;
constexpr int MinRun = 16;
constexpr int MaxRun = 4095;
constexpr int MaxDistance = 4095;

} // namespace

TLZR::TLZR()
{
    table.reset(new (std::nothrow) int16_t[HashSize]);
    if (!table)
        throw ELzrw1KHCompressor("LZRW1KH : no memory for HASH table");
    std::memset(table.get(), 0xFF, sizeof(int16_t) * HashSize);
}

namespace {

// The match search of FindMatch, on a bare table so that the coder's loop can
// have it inlined. Returns the match length (3 to 18), or 0 for none.
inline int probe(int16_t *table, const uint8_t *in, int n, int x, int &matchPos)
{
    // The hash looks at three bytes; fewer than three left can never match,
    // so the last two positions of a block neither probe nor enter the table.
    if (x + 2 >= n)
        return 0;
    const uint32_t key = ((((uint32_t(in[x]) << 4) ^ in[x + 1]) << 4) ^ in[x + 2]) * 40543u;
    const int h = int((key >> 4) & 0x0FFF);
    const int p = table[h];
    table[h] = int16_t(x);
    if (p == -1 || x - p > MaxDistance)
        return 0;
    const int limit = std::min(MaxMatch, n - x);
    int m = 0;
    if constexpr (std::endian::native == std::endian::little) {
        // Eight bytes at a time; the first differing byte ends the match.
        while (m + 8 <= limit) {
            uint64_t a;
            uint64_t b;
            std::memcpy(&a, in + x + m, 8);
            std::memcpy(&b, in + p + m, 8);
            if (a != b) {
                m += std::countr_zero(a ^ b) / 8;
                goto compared;
            }
            m += 8;
        }
    }
    while (m < limit && in[x + m] == in[p + m])
        ++m;
compared:
    if (m < MinMatch)
        return 0;
    matchPos = p;
    return m;
}

// probe() for a position at least MaxMatch bytes before the block's end, on
// a little-endian machine. An empty or too distant table entry is folded
// into the first comparison instead of a branch of its own: text decides
// between a literal and a copy at random, and each branch the processor
// cannot foresee costs more than the comparison.
inline int probeInside(int16_t *table, const uint8_t *in, int x, int &matchPos)
{
    const uint32_t key = ((((uint32_t(in[x]) << 4) ^ in[x + 1]) << 4) ^ in[x + 2]) * 40543u;
    const int h = int((key >> 4) & 0x0FFF);
    const int p = table[h];
    table[h] = int16_t(x);
    const bool usable = p >= 0 && x - p <= MaxDistance;
    const int from = usable ? p : x;
    uint64_t a;
    uint64_t b;
    std::memcpy(&a, in + x, 8);
    std::memcpy(&b, in + from, 8);
    uint64_t diff = (a ^ b) | uint64_t(!usable);
    int m = 0;
    while (diff == 0) {
        m += 8;
        if (m + 8 > MaxMatch) {
            while (m < MaxMatch && in[x + m] == in[p + m])
                ++m;
            matchPos = p;
            return m;
        }
        std::memcpy(&a, in + x + m, 8);
        std::memcpy(&b, in + p + m, 8);
        diff = a ^ b;
    }
    m += std::countr_zero(diff) / 8;
    matchPos = p;
    return m >= MinMatch ? m : 0;
}

} // namespace

bool TLZR::FindMatch(const uint8_t *in, int n, int x, int &matchPos, int &matchLen)
{
    int pos = 0;
    const int len = probe(table.get(), in, n, x, pos);
    if (len == 0)
        return false;
    matchPos = pos;
    matchLen = len;
    return true;
}

int TLZR::CompressChunk(const uint8_t *in, int n, uint8_t *out)
{
    int16_t *const tab = table.get();
    std::memset(tab, 0xFF, sizeof(int16_t) * HashSize);

    out[0] = FlagCoded;
    int x = 0;
    int y = 3;
    int z = 1;
    int items = 0;
    uint32_t control = 0;

    while (x < n && y <= n) {
        if (items > 15) {
            out[z] = uint8_t(control >> 8);
            out[z + 1] = uint8_t(control);
            z = y;
            y += 2;
            items = 0;
            control = 0;
        }
        const uint8_t c = in[x];
        // Only a run of MinRun or more becomes a run item, and a run that
        // long has c at x + MinRun - 1 too: most positions stop at that test.
        int run = 0;
        if (x + MinRun <= n && in[x + MinRun - 1] == c) {
            run = 1;
            while (x + run < n && in[x + run] == c && run < MaxRun)
                ++run;
        }
        if (run >= MinRun) {
            const int count = run - MinRun;
            out[y] = 0;
            out[y + 1] = uint8_t(count >> 8);
            out[y + 2] = uint8_t(count);
            out[y + 3] = c;
            y += 4;
            x += run;
            control = (control << 1) | 1;
        } else {
            int pos = 0;
            const int len = std::endian::native == std::endian::little && x + MaxMatch <= n
                                ? probeInside(tab, in, x, pos)
                                : probe(tab, in, n, x, pos);
            if (len > 0) {
                const int key = ((x - pos) << 4) | (len - MinMatch);
                out[y] = uint8_t(key >> 8);
                out[y + 1] = uint8_t(key);
                y += 2;
                x += len;
                control = (control << 1) | 1;
            } else {
                out[y] = c;
                y += 1;
                x += 1;
                control <<= 1;
            }
        }
        ++items;
    }
    control <<= (16 - items);
    out[z] = uint8_t(control >> 8);
    out[z + 1] = uint8_t(control);

    if (y > n) {
        out[0] = FlagStored;
        if (n > 0)
            std::memcpy(out + 1, in, size_t(n));
        return n + 1;
    }
    return y;
}

namespace {

// Copies one item's count bytes from d bytes back. With room for 24 bytes
// past y, a source at least 8 bytes back moves in three 8-byte words, each
// read after the one before it was written, which repeats short patterns
// just as a byte-by-byte copy does; the surplus past the item is written
// over by the items after it or lies past the block's end.
inline void copyBack(uint8_t *to, int d, int count, bool roomForWords)
{
    const uint8_t *from = to - d;
    if (d >= 8 && roomForWords) {
        uint64_t w;
        std::memcpy(&w, from, 8);
        std::memcpy(to, &w, 8);
        std::memcpy(&w, from + 8, 8);
        std::memcpy(to + 8, &w, 8);
        if (count > 16) {
            std::memcpy(&w, from + 16, 8);
            std::memcpy(to + 16, &w, 8);
        }
    } else if (d == 1 && roomForWords) {
        std::memset(to, from[0], 24);
    } else {
        for (int k = 0; k < count; ++k)
            to[k] = from[k];
    }
}

} // namespace

TLZR::ChunkError TLZR::DecompressChunk(const uint8_t *src, int len, uint8_t *out, int &outLen)
{
    outLen = 0;
    if (len > MaxChunkSize)
        return ChunkError::TooLong;
    if (len <= 1)
        return ChunkError::None;
    if (src[0] == FlagStored) {
        std::memcpy(out, src + 1, size_t(len - 1));
        outLen = len - 1;
        return ChunkError::None;
    }
    if (len < 3)
        return ChunkError::CutOff;

    // A group is a control word and its 16 items: at most 2 + 16 * 4 bytes
    // in and, without runs, 16 * 18 bytes out.
    constexpr int GroupIn = 2 + 16 * 4;
    constexpr int GroupOut = 16 * MaxMatch + 8;

    int x = 3;
    int y = 0;
    uint32_t control = (uint32_t(src[1]) << 8) | src[2];
    int bits = 16;
    while (x < len) {
        if (bits == 0) {
            if (x + 1 >= len)
                return ChunkError::CutOff;
            control = (uint32_t(src[x]) << 8) | src[x + 1];
            x += 2;
            bits = 16;
            // A control word with no item after it adds nothing.
            if (x >= len)
                break;
        }
        if (len - x >= GroupIn && BlockSize - y >= GroupOut) {
            // Far from both ends: the rest of the group needs no bounds
            // checks but the distance check, until a run comes.
            while (bits > 0) {
                if ((control & 0x8000) == 0) {
                    // Literals up to the next copy, moved 16 bytes at once.
                    const int literals =
                        std::min(bits, std::countl_zero(uint16_t(control)));
                    std::memcpy(out + y, src + x, 16);
                    x += literals;
                    y += literals;
                    control <<= literals;
                    bits -= literals;
                    continue;
                }
                const int d = (int(src[x]) << 4) | (src[x + 1] >> 4);
                if (d == 0)
                    break; // a run: the checked path below takes it
                const int count = (src[x + 1] & 15) + MinMatch;
                if (d > y)
                    return ChunkError::BadDistance;
                copyBack(out + y, d, count, true);
                y += count;
                x += 2;
                control <<= 1;
                --bits;
            }
            if (bits == 0)
                continue;
        }
        if ((control & 0x8000) == 0) {
            if (y >= BlockSize)
                return ChunkError::TooMuchOutput;
            out[y++] = src[x++];
        } else {
            if (x + 1 >= len)
                return ChunkError::CutOff;
            const int d = (int(src[x]) << 4) | (src[x + 1] >> 4);
            if (d == 0) {
                if (x + 3 >= len)
                    return ChunkError::CutOff;
                const int count = (int(src[x + 1]) << 8) + src[x + 2] + MinRun;
                if (count > BlockSize - y)
                    return ChunkError::TooMuchOutput;
                std::memset(out + y, src[x + 3], size_t(count));
                y += count;
                x += 4;
            } else {
                const int count = (src[x + 1] & 15) + MinMatch;
                if (d > y)
                    return ChunkError::BadDistance;
                if (count > BlockSize - y)
                    return ChunkError::TooMuchOutput;
                copyBack(out + y, d, count, BlockSize - y >= 24);
                y += count;
                x += 2;
            }
        }
        control <<= 1;
        --bits;
    }
    outLen = y;
    return ChunkError::None;
}

const char *TLZR::errorText(ChunkError error)
{
    switch (error) {
    case ChunkError::None:
        return "no error";
    case ChunkError::TooLong:
        return "chunk longer than 32769 bytes";
    case ChunkError::CutOff:
        return "item cut off at the end of the chunk";
    case ChunkError::TooMuchOutput:
        return "chunk decodes to more than 32768 bytes";
    case ChunkError::BadDistance:
        return "copy reaches back before the start of the block";
    }
    return "unknown error";
}
