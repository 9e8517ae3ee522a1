#include "tally/lzrw1kh.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr int MinMatch = 3;
constexpr int MaxMatch = 18;
constexpr int MinRun = 16;
constexpr int MaxRun = 4095;
constexpr int MaxDistance = 4095;
constexpr int HashStretch = 128;

inline uint64_t load64(const uint8_t *p)
{
    uint64_t w;
    std::memcpy(&w, p, 8);
    return w;
}

inline void store64(uint8_t *p, uint64_t w)
{
    std::memcpy(p, &w, 8);
}

// An empty table entry: a position so far before every real one that the
// distance test alone turns it away, and whose low 15 bits name position 0.
constexpr int16_t EmptySlot = INT16_MIN;

inline void clearTable(int16_t *table)
{
    std::fill(table, table + TLZR::HashSize, EmptySlot);
}

inline int hashSlot(uint32_t b0, uint32_t b1, uint32_t b2)
{
    return int((((b0 << 8) ^ (b1 << 4) ^ b2) * 40543u >> 4) & 0x0FFF);
}

// hashSlot for every position 0 .. count - 1, reading in[0 .. count + 16]:
// sixteen positions at a time where the machine has 16-bit lanes. Only the low
// 16 bits of the product reach the slot, so 16-bit lanes give the same slot.
inline void hashAll(const uint8_t *in, int count, uint16_t *hashes)
{
    int i = 0;
#if defined(__SSE2__)
    // In 16-bit lanes a word from position k holds b0 low and b1 high, and
    // the word from k + 1 holds b1 low and b2 high: two loads give the key
    // for every other position, and a third the ones between.
    const __m128i factor = _mm_set1_epi16(int16_t(40543 - 65536));
    const __m128i middle = _mm_set1_epi16(0x0FF0);
    const auto keys = [&](__m128i w0, __m128i w1) {
        const __m128i key = _mm_xor_si128(_mm_xor_si128(_mm_slli_epi16(w0, 8), _mm_and_si128(_mm_srli_epi16(w0, 4), middle)),
                                          _mm_srli_epi16(w1, 8));
        return _mm_srli_epi16(_mm_mullo_epi16(key, factor), 4);
    };
    for (; i < count; i += 16) {
        const __m128i w0 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + i));
        const __m128i w1 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + i + 1));
        const __m128i w2 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + i + 2));
        const __m128i even = keys(w0, w1);
        const __m128i odd = keys(w1, w2);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(hashes + i), _mm_unpacklo_epi16(even, odd));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(hashes + i + 8), _mm_unpackhi_epi16(even, odd));
    }
#endif
    for (; i < count; ++i)
        hashes[i] = uint16_t(hashSlot(in[i], in[i + 1], in[i + 2]));
}

// The match search of FindMatch, on a bare table. Returns the match length
// (3 to 18), or 0 for none.
inline int probe(int16_t *table, const uint8_t *in, int n, int x, int &matchPos)
{
    // The hash looks at three bytes; fewer than three left can never match,
    // so the last two positions of a block neither probe nor enter the table.
    if (x + 2 >= n)
        return 0;
    const int h = hashSlot(in[x], in[x + 1], in[x + 2]);
    const int p = table[h];
    table[h] = int16_t(x);
    if (x - p > MaxDistance)
        return 0;
    const int limit = std::min(MaxMatch, n - x);
    int m = 0;
    while (m < limit && in[x + m] == in[p + m])
        ++m;
    if (m < MinMatch)
        return 0;
    matchPos = p;
    return m;
}

// The chunk being written: items go out behind a control word that takes
// one bit per item, the first item in the highest bit, 1 for a copy or run.
struct ChunkWriter
{
    uint8_t *out;
    int y = 3; // where the next item goes
    int z = 1; // where the open control word goes
    // The open control word's bits behind a leading 1, which reaches bit 16
    // when the word holds 16 items.
    uint32_t control = 1;

    // Makes room for one more item, closing a full control word first.
    [[gnu::always_inline]] void startItem()
    {
        if (control >= 0x10000) [[unlikely]] {
            out[z] = uint8_t(control >> 8);
            out[z + 1] = uint8_t(control);
            z = y;
            y += 2;
            control = 1;
        }
    }

    [[gnu::always_inline]] void emitLiteral(uint8_t c)
    {
        out[y] = c;
        y += 1;
        control <<= 1;
    }

    [[gnu::always_inline]] void emitCopy(int distance, int len)
    {
        const int key = (distance << 4) | (len - MinMatch);
        out[y] = uint8_t(key >> 8);
        out[y + 1] = uint8_t(key);
        y += 2;
        control = (control << 1) | 1;
    }

    [[gnu::always_inline]] void emitRun(uint8_t c, int run)
    {
        const int count = run - MinRun;
        out[y] = 0;
        out[y + 1] = uint8_t(count >> 8);
        out[y + 2] = uint8_t(count);
        out[y + 3] = c;
        y += 4;
        control = (control << 1) | 1;
    }

    // Closes the last control word, its unused bits 0.
    void finish()
    {
        const int items = std::bit_width(control) - 1;
        const uint32_t word = control << (16 - items);
        out[z] = uint8_t(word >> 8);
        out[z + 1] = uint8_t(word);
    }
};

// The length of the run of in[x] from x, at most MaxRun and within n, when
// the first `known` bytes are already known to be alike.
inline int runLength(const uint8_t *in, int n, int x, int known)
{
    const uint8_t c = in[x];
    int run = known;
    if constexpr (std::endian::native == std::endian::little) {
        const uint64_t same = c * 0x0101010101010101u;
        while (x + run + 8 <= n && run + 8 <= MaxRun && load64(in + x + run) == same)
            run += 8;
    }
    while (x + run < n && in[x + run] == c && run < MaxRun)
        ++run;
    return run;
}

} // namespace

TLZR::TLZR()
{
    table.reset(new (std::nothrow) int16_t[HashSize]);
    if (!table)
        throw ELzrw1KHCompressor("LZRW1KH : no memory for HASH table");
    hashes.reset(new (std::nothrow) uint16_t[BlockSize + 8]);
    if (!hashes)
        throw ELzrw1KHCompressor("LZRW1KH : no memory for HASH table");
    clearTable(table.get());
}

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

namespace {

// One block being coded: its input, table, hashes worked out ahead, and the
// chunk being written.
struct BlockCoder
{
    const uint8_t *in;
    int n;
    int16_t *tab;
    uint16_t *hash;
    ChunkWriter w;
    int x = 0;
    // Hashes are worked out a stretch ahead of x, so that a long run skips
    // the stretches it covers: hash[x .. hashedTo - 1] are ready.
    int hashedTo = 0;
    // At least MaxMatch bytes from the block's end nothing needs a bounds
    // check: eight bytes are read once per position, the hash comes ready,
    // and items go out without bounds tests.
    int lastFast;

    BlockCoder(const uint8_t *in_, int n_, int16_t *tab_, uint16_t *hash_, uint8_t *out)
        : in(in_), n(n_), tab(tab_), hash(hash_), w{out}, lastFast(n_ - MaxMatch)
    {
        clearTable(tab);
        out[0] = TLZR::FlagCoded;
    }

    // Readies x's hash; false when x has left the fast part.
    [[gnu::always_inline]] bool hashAhead()
    {
        // One test covers both the stretch's end and the fast part's.
        if (x >= hashedTo) [[unlikely]] {
            if (x > lastFast)
                return false;
            const int count = std::min(HashStretch, lastFast + 1 - x);
            hashAll(in + x, count, hash + x);
            hashedTo = x + count;
        }
        return true;
    }

    // A run item needs the 16 bytes from x alike: two words tell.
    [[gnu::always_inline]] bool tryRun(uint64_t a0)
    {
        if (a0 == std::rotl(a0, 8) && load64(in + x + 8) == a0) [[unlikely]] {
            const int run = runLength(in, n, x, MinRun);
            w.emitRun(uint8_t(a0), run);
            x += run;
            return true;
        }
        return false;
    }

#if defined(__SSE2__)
    // One item in the fast part, with no branch between literal and copy: a
    // wrong guess would throw away the work on the other block's item too.
    // False as for stepGuessed.
    [[gnu::always_inline]] bool stepUnguessed()
    {
        if (w.y > n || !hashAhead()) [[unlikely]]
            return false;
        w.startItem();
        const uint64_t a0 = load64(in + x);
        if (tryRun(a0))
            return true;
        const int h = hash[x];
        const int p = tab[h];
        tab[h] = int16_t(x);
        const int distance = x - p;
        // An empty slot's bytes are compared too, at 0, and turned away by
        // the distance.
        const int q = p & 0x7FFF;
        // Which of the 18 bytes from x and from q are alike, in one mask.
        const auto load128 = [](const uint8_t *at) { return _mm_loadu_si128(reinterpret_cast<const __m128i *>(at)); };
        const uint32_t head = uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(load128(in + x), load128(in + q))));
        const uint32_t tail = uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(load128(in + x + 2), load128(in + q + 2))));
        const uint32_t alike = head | (tail & 0xC000) << 2;
        const int len = std::countr_zero(~alike | (uint32_t(1) << MaxMatch));
        const uint32_t copy = uint32_t(distance <= MaxDistance) & uint32_t(len >= MinMatch);
        // A copy's two bytes go out either way; a literal's byte then goes
        // over the first, and a copy's past both, where the next item writes.
        const uint32_t key = (uint32_t(distance) << 4) | uint32_t(len - MinMatch);
        w.out[w.y] = uint8_t(key >> 8);
        w.out[w.y + 1] = uint8_t(key);
        w.out[w.y + 2 * int(copy)] = uint8_t(a0);
        w.y += 1 + int(copy);
        const uint32_t mask = 0u - copy;
        w.control = (w.control << 1) | copy;
        x += 1 + int(uint32_t(len - 1) & mask);
        return true;
    }
#endif

    // One item in the fast part. Literal or copy is a plain branch: while
    // the processor guesses "literal" it starts on the next position before
    // this one's earlier bytes have arrived, and that overlap is worth more
    // than the guesses it gets wrong. False when the block has left the fast
    // part or coding it no longer pays. Its first lines are stepUnguessed's
    // on purpose: one helper for both, with its answers by reference, made
    // either way 4 to 7 % slower.
    [[gnu::always_inline]] bool stepGuessed()
    {
        if (w.y > n || !hashAhead()) [[unlikely]]
            return false;
        w.startItem();
        const uint64_t a0 = load64(in + x);
        if (tryRun(a0))
            return true;
        const int h = hash[x];
        const int p = tab[h];
        tab[h] = int16_t(x);
        const int distance = x - p;
        if (distance <= MaxDistance) {
            const uint64_t d0 = a0 ^ load64(in + p);
            if ((d0 & 0xFFFFFF) == 0) {
                int len;
                if (d0 != 0) [[likely]] {
                    len = std::countr_zero(d0) >> 3;
                } else {
                    const uint64_t d1 = load64(in + x + 8) ^ load64(in + p + 8);
                    const uint64_t d2 = (load64(in + x + 10) ^ load64(in + p + 10)) >> 48;
                    len = d1 != 0 ? 8 + (std::countr_zero(d1) >> 3) : 16 + std::min(2, std::countr_zero(d2) >> 3);
                }
                w.emitCopy(distance, len);
                x += len;
                return true;
            }
        }
        w.emitLiteral(uint8_t(a0));
        x += 1;
        return true;
    }

#if defined(__SSE2__)
    // Control words in a row that held at most one copy.
    int sparseWords = 0;

    // One item beside another block's, without a branch; false also once
    // eight control words in a row have held at most one copy. There nearly
    // every guess of "literal" is right, and one block at a time with the
    // plain branch is cheaper (noise codes at half the speed without it).
    [[gnu::always_inline]] bool stepBeside()
    {
        if (w.control >= 0x10000) [[unlikely]] {
            sparseWords = std::popcount(w.control & 0xFFFF) <= 1 ? sparseWords + 1 : 0;
            if (sparseWords == 8)
                return false;
        }
        return stepUnguessed();
    }
#endif

    // The rest of the block, one item after another, and the chunk's length.
    [[gnu::always_inline]] int codeRest()
    {
        if constexpr (std::endian::native == std::endian::little) {
            while (stepGuessed()) {
            }
        }
        while (x < n && w.y <= n) {
            w.startItem();
            const uint8_t c = in[x];
            // Only a run of MinRun or more becomes a run item, and a run that
            // long has c at x + MinRun - 1 too: most positions stop at that test.
            const int run = x + MinRun <= n && in[x + MinRun - 1] == c ? runLength(in, n, x, 1) : 0;
            if (run >= MinRun) {
                w.emitRun(c, run);
                x += run;
                continue;
            }
            int pos = 0;
            const int len = probe(tab, in, n, x, pos);
            if (len > 0) {
                w.emitCopy(x - pos, len);
                x += len;
            } else {
                w.emitLiteral(c);
                x += 1;
            }
        }
        w.finish();

        if (w.y > n) {
            w.out[0] = TLZR::FlagStored;
            if (n > 0)
                std::memcpy(w.out + 1, in, size_t(n));
            return n + 1;
        }
        return w.y;
    }
};

} // namespace

int TLZR::CompressChunk(const uint8_t *in, int n, uint8_t *out)
{
    BlockCoder block(in, n, table.get(), hashes.get(), out);
    return block.codeRest();
}

void TLZR::CompressTwoChunks(const uint8_t *inA, int nA, uint8_t *outA, int &lenA, const uint8_t *inB, int nB,
                             uint8_t *outB, int &lenB)
{
    if (!tableB) {
        tableB.reset(new (std::nothrow) int16_t[HashSize]);
        hashesB.reset(new (std::nothrow) uint16_t[BlockSize + 8]);
        if (!tableB || !hashesB)
            throw ELzrw1KHCompressor("LZRW1KH : no memory for HASH table");
    }
    BlockCoder a(inA, nA, table.get(), hashes.get(), outA);
    BlockCoder b(inB, nB, tableB.get(), hashesB.get(), outB);
#if defined(__SSE2__)
    // Each block's items take turns, so that the processor works on one
    // block's item while the other's bytes are on their way. Both take
    // their step before either's end is looked at.
    for (;;) {
        const bool moreA = a.stepBeside();
        const bool moreB = b.stepBeside();
        if (!moreA || !moreB)
            break;
    }
#endif
    lenA = a.codeRest();
    lenB = b.codeRest();
}

namespace {

// The 16 bits of v in reverse order.
inline uint32_t reverse16(uint32_t v)
{
    v = ((v >> 1) & 0x5555) | ((v & 0x5555) << 1);
    v = ((v >> 2) & 0x3333) | ((v & 0x3333) << 2);
    v = ((v >> 4) & 0x0F0F) | ((v & 0x0F0F) << 4);
    return ((v >> 8) & 0x00FF) | ((v & 0x00FF) << 8);
}

// Each byte with its 8 bits in reverse order.
constexpr auto reverseBits = [] {
    std::array<uint8_t, 256> table{};
    for (int v = 0; v < 256; ++v)
        for (int bit = 0; bit < 8; ++bit)
            if (v & (1 << bit))
                table[size_t(v)] |= uint8_t(0x80 >> bit);
    return table;
}();

// Writes one item's count bytes (3 to 18) from d bytes back; `to` lies at
// least 8 bytes into the output. Writes up to 24 bytes from `to`: the surplus
// past the item is written over by the items after it. Byte by byte, a copy
// from fewer than count bytes back repeats the last d bytes; each branch
// gives that result.
//
// Nothing at or past `to` is read but bytes 16 and 17 of a copy from 16 or 17
// bytes back: the item before has just written its surplus there, and a read
// that overlaps recent writes only in part waits until they reach the cache.
// Copies from close by are therefore put together in registers from the
// bytes before `to`.
[[gnu::always_inline]] inline void copyItem(uint8_t *to, int d, int count)
{
    const uint8_t *from = to - d;
    if (d >= 16) {
        const uint64_t a = load64(from);
        const uint64_t b = load64(from + 8);
        store64(to, a);
        store64(to + 8, b);
        // Bytes 16 and 17 whether the item has them or not: a branch on the
        // count would be guessed wrong too often. From 16 or 17 bytes back
        // they are read after the stores above have written them.
        uint16_t c;
        std::memcpy(&c, from + 16, 2);
        std::memcpy(to + 16, &c, 2);
        return;
    }
    if constexpr (std::endian::native == std::endian::little) {
        const uint64_t last = load64(to - 8);
        if (d >= 8) {
            // Output byte k is from[k] below d and output byte k - d above.
            const int shift = 8 * (d - 8); // 0 to 56
            const int rest = (8 * (16 - d)) & 63;
            const uint64_t keep = (uint64_t(1) << shift) - 1;
            const uint64_t w0 = load64(from);
            const uint64_t w1 = ((last >> rest) & keep) | (w0 << shift);
            const uint64_t w2 = (w0 >> rest) | (w1 << shift);
            store64(to, w0);
            store64(to + 8, w1);
            store64(to + 16, w2);
        } else {
            // A period of 1 to 7 bytes, repeated by multiplication: no
            // carries, since the copies do not overlap.
            static constexpr uint64_t repeat[8] = {0,
                                                   0x0101010101010101u,
                                                   0x0001000100010001u,
                                                   0x0001000001000001u,
                                                   0x0000000100000001u,
                                                   0x0000010000000001u,
                                                   0x0001000000000001u,
                                                   0x0100000000000001u};
            const uint64_t mask = (uint64_t(1) << (8 * d)) - 1;
            const uint64_t period = last >> (8 * (8 - d));
            const auto phased = [&](int phase) {
                return (((period >> (8 * phase)) | (period << (8 * (d - phase)))) & mask) * repeat[d];
            };
            // 8 % d and 16 % d, without a division.
            static constexpr uint8_t phase8[8] = {0, 0, 0, 2, 0, 3, 2, 1};
            static constexpr uint8_t phase16[8] = {0, 0, 0, 1, 0, 1, 4, 2};
            store64(to, period * repeat[d]);
            store64(to + 8, phased(phase8[d]));
            store64(to + 16, phased(phase16[d]));
        }
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

    // The fast path decodes the rest of a group without bounds checks. It
    // reads at most 16 copies of 2 bytes plus 16 literal bytes at once, and
    // writes at most 16 copies of 18 bytes plus 24 bytes of surplus.
    constexpr int GroupIn = 16 * 2 + 16;
    constexpr int GroupOut = 16 * MaxMatch + 24;

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
        if (len - x >= GroupIn && BlockSize - y >= GroupOut && y >= 8) {
            // Alternates a run of literals (perhaps none) with a copy. The
            // items' bits are taken in reverse, the next item's lowest, with
            // a bit set just past the group's last item: counting trailing
            // zeros then gives the literals up to the next copy and stops at
            // the group's end by itself. Moving 16 literal bytes whether or
            // not there are any costs less than a branch text would make
            // the processor guess wrong half of the time. A run item or a
            // bad distance goes to the checked path below.
            uint32_t flags = reverse16(uint16_t(control)) | uint32_t(1) << bits;
            const uint8_t *ip = src + x;
            uint8_t *op = out + y;
            const uint8_t *const ipLast = src + len - (GroupIn + 2);
            const uint8_t *const opLast = out + BlockSize - GroupOut;
            for (;;) {
                const int literals = std::countr_zero(flags);
                std::memcpy(op, ip, 16);
                ip += literals;
                op += literals;
                flags >>= literals;
                if (flags == 1) {
                    // The group is done: the next one follows at once while
                    // both buffers have room for a whole group.
                    if (ip > ipLast || op > opLast)
                        break;
                    flags = reverseBits[ip[0]] | uint32_t(reverseBits[ip[1]]) << 8 | uint32_t(1) << 16;
                    ip += 2;
                    continue;
                }
                const int d = (int(ip[0]) << 4) | (ip[1] >> 4);
                if (unsigned(d - 1) >= unsigned(op - out))
                    break; // a run (d = 0) or a copy from before the block
                const int count = (ip[1] & 15) + MinMatch;
                copyItem(op, d, count);
                op += count;
                ip += 2;
                flags >>= 1;
            }
            x = int(ip - src);
            y = int(op - out);
            // Back to the plain form: the items left and their bits.
            bits = 31 - std::countl_zero(flags);
            control = reverse16(uint16_t(flags ^ (uint32_t(1) << bits)));
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
                if (BlockSize - y >= 24 && y >= 8) {
                    copyItem(out + y, d, count);
                } else {
                    for (int k = 0; k < count; ++k)
                        out[y + k] = out[y - d + k];
                }
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
