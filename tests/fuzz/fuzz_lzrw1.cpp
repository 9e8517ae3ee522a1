// Arbitrary bytes as a compressed file and as a single chunk: the reader must
// refuse what is damaged without reading or writing past a buffer. The same
// bytes as plain data must come back unchanged through the coder, and coding
// them as two blocks at once must give the chunks each block gives alone.

#include "tally/lzrw1.h"
#include "tally/lzrw1kh.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    // As a container file.
    try {
        const QByteArray restored = Tlzrw1::decompressBytes(bytes, QStringLiteral("fuzz"));
        // Whatever is accepted must say its length truly.
        if (restored.size() != qsizetype(qint32(quint32(data[4]) | (quint32(data[5]) << 8)
                                                | (quint32(data[6]) << 16) | (quint32(data[7]) << 24))))
            std::abort();
    } catch (const ELzrw1Exception &) {
    }

    // As one chunk, in buffers of exactly the sizes the decoder is promised.
    if (size <= 0xFFFF) {
        std::unique_ptr<uint8_t[]> chunk(new uint8_t[size ? size : 1]);
        if (size)
            std::memcpy(chunk.get(), data, size);
        std::unique_ptr<uint8_t[]> block(new uint8_t[TLZR::BlockSize]);
        int blockLen = -1;
        const TLZR::ChunkError error = TLZR::DecompressChunk(chunk.get(), int(size), block.get(), blockLen);
        if (error == TLZR::ChunkError::None && (blockLen < 0 || blockLen > TLZR::BlockSize))
            std::abort();
    }

    // As plain data: compress into an exactly sized buffer and back.
    if (size <= size_t(TLZR::BlockSize)) {
        TLZR coder;
        const int n = int(size);
        std::unique_ptr<uint8_t[]> in(new uint8_t[n ? n : 1]);
        if (n)
            std::memcpy(in.get(), data, size);
        std::unique_ptr<uint8_t[]> out(new uint8_t[n + 6]);
        const int len = coder.CompressChunk(in.get(), n, out.get());
        if (len < 1 || len > n + 1)
            std::abort();
        std::unique_ptr<uint8_t[]> back(new uint8_t[TLZR::BlockSize]);
        int backLen = -1;
        if (TLZR::DecompressChunk(out.get(), len, back.get(), backLen) != TLZR::ChunkError::None)
            std::abort();
        if (backLen != n || (n && std::memcmp(back.get(), in.get(), size_t(n)) != 0))
            std::abort();

        // Cut in two and coded two blocks at once: each chunk as above.
        const int cut = n ? int(data[0]) * n / 255 : 0;
        std::unique_ptr<uint8_t[]> outA(new uint8_t[cut + 6]);
        std::unique_ptr<uint8_t[]> outB(new uint8_t[n - cut + 6]);
        int lenA = -1;
        int lenB = -1;
        coder.CompressTwoChunks(in.get(), cut, outA.get(), lenA, in.get() + cut, n - cut, outB.get(), lenB);
        std::unique_ptr<uint8_t[]> single(new uint8_t[n + 6]);
        if (lenA != coder.CompressChunk(in.get(), cut, single.get()) || std::memcmp(outA.get(), single.get(), size_t(lenA)))
            std::abort();
        if (lenB != coder.CompressChunk(in.get() + cut, n - cut, single.get())
            || std::memcmp(outB.get(), single.get(), size_t(lenB)))
            std::abort();
    }
    return 0;
}
