#pragma once

// LZRW1-KH block coder: one block of at most 32768 bytes becomes one chunk of
// at most 32769 bytes, coded independently of every other block.

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

// Raised when the coder cannot get its hash table.
class ELzrw1KHCompressor : public std::runtime_error
{
public:
    explicit ELzrw1KHCompressor(const std::string &message) : std::runtime_error(message) {}
};

class TLZR
{
public:
    static constexpr int BlockSize = 32768;
    // Block plus spare bytes: the coder may run up to 6 bytes past the block
    // length before it notices that coding does not pay.
    static constexpr int BufferSize = BlockSize + 16;
    static constexpr int MaxChunkSize = BlockSize + 1;
    static constexpr int HashSize = 4096;

    static constexpr uint8_t FlagStored = 0x80;
    static constexpr uint8_t FlagCoded = 0x40;

    enum class ChunkError {
        None,
        TooLong,        // chunk longer than 32769 bytes
        CutOff,         // an item or control word cut off at the chunk's end
        TooMuchOutput,  // decodes to more than 32768 bytes
        BadDistance,    // a copy reaches back before the start of the block
    };

    // Allocates the hash table; throws ELzrw1KHCompressor if it cannot.
    TLZR();
    TLZR(const TLZR &) = delete;
    TLZR &operator=(const TLZR &) = delete;

    // Codes in[0 .. n-1] (0 <= n <= 32768) into out and returns the chunk
    // length L. out must have room for n + 6 bytes (BufferSize always does).
    int CompressChunk(const uint8_t *in, int n, uint8_t *out);
    // Codes two blocks at once, each exactly as CompressChunk would: faster
    // than one after the other on one core.
    void CompressTwoChunks(const uint8_t *inA, int nA, uint8_t *outA, int &lenA, const uint8_t *inB, int nB,
                           uint8_t *outB, int &lenB);

    // Decodes the chunk src[0 .. len-1] into out, which must have room for
    // BlockSize bytes. On success outLen is the block length. Damaged chunks
    // are refused without reading or writing past either buffer.
    static ChunkError DecompressChunk(const uint8_t *src, int len, uint8_t *out, int &outLen);

    // Looks for a match for in[x ..] within the block in[0 .. n-1] and enters
    // x into the hash table. The table starts empty and CompressChunk empties
    // it again at the start of every block. Returns true with the match's position and length
    // (3 to 18) when one of at least 3 bytes is found.
    bool FindMatch(const uint8_t *in, int n, int x, int &matchPos, int &matchLen);

    static const char *errorText(ChunkError error);

private:
    std::unique_ptr<int16_t[]> table;
    // The hash of every position of the block being coded, worked out ahead.
    std::unique_ptr<uint16_t[]> hashes;
    // The second block's, allocated when two are first coded at once.
    std::unique_ptr<int16_t[]> tableB;
    std::unique_ptr<uint16_t[]> hashesB;
};
