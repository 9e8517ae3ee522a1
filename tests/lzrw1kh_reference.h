#pragma once

// The LZRW1-KH block coder as first written, one byte at a time: the yardstick
// the tuned coder in tally/ must match byte for byte.

#include "tally/lzrw1kh.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace ReferenceCoder {

constexpr int MinMatch = 3;
constexpr int MaxMatch = 18;
constexpr int MinRun = 16;
constexpr int MaxRun = 4095;
constexpr int MaxDistance = 4095;
constexpr int HashSize = TLZR::HashSize;

inline bool findMatch(int16_t *table, const uint8_t *in, int n, int x, int &matchPos, int &matchLen)
{
    // The hash looks at three bytes; fewer than three left can never match,
    // so the last two positions of a block neither probe nor enter the table.
    if (x + 2 >= n)
        return false;
    const uint32_t key = ((((uint32_t(in[x]) << 4) ^ in[x + 1]) << 4) ^ in[x + 2]) * 40543u;
    const int h = int((key >> 4) & 0x0FFF);
    const int p = table[h];
    table[h] = int16_t(x);
    if (p == -1 || x - p > MaxDistance)
        return false;
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
        return false;
    matchPos = p;
    matchLen = m;
    return true;
}

inline int compressChunk(const uint8_t *in, int n, uint8_t *out)
{
    int16_t table[HashSize];
    std::memset(table, 0xFF, sizeof(table));

    out[0] = TLZR::FlagCoded;
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
        int run = 1;
        while (x + run < n && in[x + run] == c && run < MaxRun)
            ++run;
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
            int len = 0;
            if (findMatch(table, in, n, x, pos, len)) {
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
        out[0] = TLZR::FlagStored;
        if (n > 0)
            std::memcpy(out + 1, in, size_t(n));
        return n + 1;
    }
    return y;
}

inline TLZR::ChunkError decompressChunk(const uint8_t *src, int len, uint8_t *out, int &outLen)
{
    outLen = 0;
    constexpr int BlockSize = TLZR::BlockSize;
    constexpr uint8_t FlagStored = TLZR::FlagStored;
    if (len > TLZR::MaxChunkSize)
        return TLZR::ChunkError::TooLong;
    if (len <= 1)
        return TLZR::ChunkError::None;
    if (src[0] == FlagStored) {
        std::memcpy(out, src + 1, size_t(len - 1));
        outLen = len - 1;
        return TLZR::ChunkError::None;
    }
    if (len < 3)
        return TLZR::ChunkError::CutOff;

    int x = 3;
    int y = 0;
    uint32_t control = (uint32_t(src[1]) << 8) | src[2];
    int bits = 16;
    while (x < len) {
        if (bits == 0) {
            if (x + 1 >= len)
                return TLZR::ChunkError::CutOff;
            control = (uint32_t(src[x]) << 8) | src[x + 1];
            x += 2;
            bits = 16;
            // A control word with no item after it adds nothing.
            if (x >= len)
                break;
        }
        if ((control & 0x8000) == 0) {
            if (y >= BlockSize)
                return TLZR::ChunkError::TooMuchOutput;
            out[y++] = src[x++];
        } else {
            if (x + 1 >= len)
                return TLZR::ChunkError::CutOff;
            const int d = (int(src[x]) << 4) | (src[x + 1] >> 4);
            if (d == 0) {
                if (x + 3 >= len)
                    return TLZR::ChunkError::CutOff;
                const int count = (int(src[x + 1]) << 8) + src[x + 2] + MinRun;
                if (count > BlockSize - y)
                    return TLZR::ChunkError::TooMuchOutput;
                std::memset(out + y, src[x + 3], size_t(count));
                y += count;
                x += 4;
            } else {
                const int count = (src[x + 1] & 15) + MinMatch;
                if (d > y)
                    return TLZR::ChunkError::BadDistance;
                if (count > BlockSize - y)
                    return TLZR::ChunkError::TooMuchOutput;
                const uint8_t *from = out + y - d;
                uint8_t *to = out + y;
                if (d >= count && y + MaxMatch <= BlockSize) {
                    // The source lies wholly before the destination: move 16
                    // bytes at once, then two more for the longest copies. The
                    // surplus stays inside the block and is overwritten by later
                    // items or lies past the block's end.
                    uint8_t head[16];
                    std::memcpy(head, from, 16);
                    std::memcpy(to, head, 16);
                    if (count > 16)
                        std::memcpy(to + 16, from + 16, 2);
                } else if (d >= count) {
                    std::memcpy(to, from, size_t(count));
                } else {
                    for (int k = 0; k < count; ++k)
                        to[k] = from[k];
                }
                y += count;
                x += 2;
            }
        }
        control <<= 1;
        --bits;
    }
    outLen = y;
    return TLZR::ChunkError::None;
}

} // namespace ReferenceCoder
