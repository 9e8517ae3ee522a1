#include "tally/lzrw1.h"

#include "tally/lzrw1kh.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

namespace {

const QByteArray goodIdentifier("!HZL");

QString readError(const QString &input)
{
    return QStringLiteral("Lzrw1 : Error reading from input file : ") + input;
}

QString writeError(const QString &output)
{
    return QStringLiteral("Lzrw1 : Error writing to output file : ") + output;
}

QString openInputError(const QString &input)
{
    return QStringLiteral("Lzrw1 (de)compression : Failed to open input file : ") + input;
}

QString openOutputError(const QString &output)
{
    return QStringLiteral("Lzrw1 (de)compression : Failed to open output file : ") + output;
}

[[noreturn]] void fail(const QString &message)
{
    throw ELzrw1Exception(message);
}

void putLittle32(char *p, quint32 v)
{
    p[0] = char(v & 0xFF);
    p[1] = char((v >> 8) & 0xFF);
    p[2] = char((v >> 16) & 0xFF);
    p[3] = char((v >> 24) & 0xFF);
}

void writeAll(QSaveFile &out, const QByteArray &data, const QString &name)
{
    if (out.write(data) != data.size()) {
        out.cancelWriting();
        fail(writeError(name));
    }
    if (!out.commit())
        fail(writeError(name));
}

} // namespace

const QByteArray &Tlzrw1::fastIdentifier()
{
    static const QByteArray id("WRZL");
    return id;
}

QByteArray Tlzrw1::compressBytes(const QByteArray &data)
{
    if (data.size() > std::numeric_limits<qint32>::max())
        fail(QStringLiteral("Lzrw1 compression : input longer than 2147483647 bytes"));

    TLZR coder;
    const qsizetype blocks = data.size() / TLZR::BlockSize + 1;
    QByteArray result;
    try {
        result.reserve(8 + blocks * 2 + data.size() + blocks);
    } catch (const std::bad_alloc &) {
        fail(QStringLiteral("Lzrw1 (de)compression : Failed to get memory for I/O buffers !"));
    }
    result.append(fastIdentifier());
    char length[4];
    putLittle32(length, quint32(data.size()));
    result.append(length, 4);

    // Every whole block and then the rest, even when empty, each as a chunk
    // behind its length; two blocks at a time while two are left.
    std::vector<uint8_t> chunks;
    try {
        chunks.resize(2 * TLZR::BufferSize);
    } catch (const std::bad_alloc &) {
        fail(QStringLiteral("Lzrw1 (de)compression : Failed to get memory for I/O buffers !"));
    }
    uint8_t *const first = chunks.data();
    uint8_t *const second = first + TLZR::BufferSize;
    const auto append = [&result](const uint8_t *chunk, int len) {
        const char header[2] = { char(len & 0xFF), char(len >> 8) };
        result.append(header, 2);
        result.append(reinterpret_cast<const char *>(chunk), len);
    };
    const auto *in = reinterpret_cast<const uint8_t *>(data.constData());
    const qsizetype count = data.size() / TLZR::BlockSize + 1;
    const auto blockSize = [&](qsizetype k) {
        return int(std::min<qsizetype>(TLZR::BlockSize, data.size() - k * TLZR::BlockSize));
    };
    qsizetype k = 0;
    for (; k + 1 < count; k += 2) {
        int lenA = 0;
        int lenB = 0;
        coder.CompressTwoChunks(in + k * TLZR::BlockSize, blockSize(k), first, lenA,
                                in + (k + 1) * TLZR::BlockSize, blockSize(k + 1), second, lenB);
        append(first, lenA);
        append(second, lenB);
    }
    if (k < count)
        append(first, coder.CompressChunk(in + k * TLZR::BlockSize, blockSize(k), first));
    return result;
}

QByteArray Tlzrw1::decompressBytes(const QByteArray &data, const QString &inputName)
{
    const auto *src = reinterpret_cast<const uint8_t *>(data.constData());
    const qsizetype size = data.size();
    const QString sizesError =
        QStringLiteral("Lzrw1 (decompression LZRW1/KH) : Original and compressed sizes do not match !");

    if (size < 4)
        fail(readError(inputName));
    const QByteArray id = data.left(4);
    if (id == goodIdentifier)
        fail(inputName + QStringLiteral(" : Lzrw1 decompression : files of the Good (LZH) mode cannot be read !"));
    if (id != fastIdentifier())
        fail(inputName + QStringLiteral(" : Lzrw1 decompression : this file has no valid header !"));
    if (size < 8)
        fail(readError(inputName));
    const qint32 stored = qint32(quint32(src[4]) | (quint32(src[5]) << 8) | (quint32(src[6]) << 16)
                                 | (quint32(src[7]) << 24));

    QByteArray result;
    qsizetype total = 0;
    qsizetype pos = 8;
    for (;;) {
        if (size - pos < 2)
            fail(readError(inputName));
        const int len = src[pos] | (src[pos + 1] << 8);
        const qsizetype chunkAt = pos;
        pos += 2;
        TLZR::ChunkError error = TLZR::ChunkError::None;
        int n = 0;
        if (len > TLZR::MaxChunkSize) {
            error = TLZR::ChunkError::TooLong;
        } else {
            if (size - pos < len)
                fail(readError(inputName));
            try {
                const qsizetype needed = total + TLZR::BlockSize;
                if (result.capacity() < needed)
                    result.reserve(std::max(needed, 2 * result.capacity()));
                result.resize(needed);
            } catch (const std::bad_alloc &) {
                fail(QStringLiteral("Lzrw1 (de)compression : Failed to get memory for I/O buffers !"));
            }
            error = TLZR::DecompressChunk(src + pos, len,
                                          reinterpret_cast<uint8_t *>(result.data()) + total, n);
        }
        if (error != TLZR::ChunkError::None)
            fail(inputName + QStringLiteral(" : Lzrw1 decompression : damaged chunk at offset ")
                 + QString::number(chunkAt) + QStringLiteral(" (") + QString::fromLatin1(TLZR::errorText(error))
                 + QStringLiteral(") !"));
        pos += len;
        total += n;
        // More output than the header promised can only end in a mismatch.
        if (total > stored)
            fail(sizesError);
        if (n < TLZR::BlockSize)
            break;
    }
    if (total != stored)
        fail(sizesError);
    result.resize(total);
    return result;
}

qint64 Tlzrw1::Compress()
{
    if (UseStream || CompressMode != Fast)
        fail(QStringLiteral("Lzrw1 compression : only the Fast mode on named files is available"));

    {
        QFile probe(InputFile);
        if (InputFile.isEmpty() || !probe.open(QIODevice::ReadOnly))
            fail(QStringLiteral("Lzrw1 compression : Failed to obtain the size of : ") + InputFile);
    }
    QFile in(InputFile);
    if (!in.open(QIODevice::ReadOnly))
        fail(openInputError(InputFile));
    QSaveFile out(OutputFile);
    // Unbuffered, so a short write fails here rather than being committed.
    if (OutputFile.isEmpty() || !out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        fail(openOutputError(OutputFile));

    const QByteArray data = in.readAll();
    if (in.error() != QFileDevice::NoError) {
        out.cancelWriting();
        fail(readError(InputFile) + QStringLiteral(" (LZRW1/KH)"));
    }
    in.close();

    QByteArray packed;
    try {
        packed = compressBytes(data);
    } catch (...) {
        out.cancelWriting();
        throw;
    }
    writeAll(out, packed, OutputFile);
    return packed.size();
}

qint64 Tlzrw1::Decompress()
{
    if (UseStream)
        fail(QStringLiteral("Lzrw1 decompression : only named files are available"));

    QFile in(InputFile);
    if (InputFile.isEmpty() || !in.open(QIODevice::ReadOnly))
        fail(openInputError(InputFile));
    QSaveFile out(OutputFile);
    // Unbuffered, so a short write fails here rather than being committed.
    if (OutputFile.isEmpty() || !out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        fail(openOutputError(OutputFile));

    const QByteArray packed = in.readAll();
    if (in.error() != QFileDevice::NoError) {
        out.cancelWriting();
        fail(readError(InputFile));
    }
    in.close();

    QByteArray data;
    try {
        data = decompressBytes(packed, InputFile);
    } catch (...) {
        out.cancelWriting();
        throw;
    }
    writeAll(out, data, OutputFile);
    return data.size();
}
