#pragma once

// The WRZL container: "WRZL", the uncompressed length (32-bit little-endian),
// then one chunk record (16-bit little-endian length, chunk data) per block of
// 32768 bytes. The last block is shorter than 32768 bytes and may be empty.

#include <QByteArray>
#include <QString>

#include <stdexcept>

class ELzrw1Exception : public std::runtime_error
{
public:
    explicit ELzrw1Exception(const QString &message)
        : std::runtime_error(message.toStdString()), text(message) {}
    QString message() const { return text; }

private:
    QString text;
};

class Tlzrw1
{
public:
    enum TCompressMode { Good, Fast, Auto };

    QString InputFile;
    QString OutputFile;
    TCompressMode CompressMode = Good;
    int Threshold = 40;
    bool UseStream = false;

    // Compresses InputFile into OutputFile and returns the bytes written.
    // Only the Fast mode on named files is available. The output is written
    // to a temporary file beside it and renamed over it, so a failure leaves
    // any previous OutputFile as it was and no partial file behind.
    qint64 Compress();

    // Restores OutputFile from InputFile and returns the bytes written.
    // Damaged input is refused; the output is replaced atomically as above.
    qint64 Decompress();

    // The same coding in memory. inputName is the file name that the error
    // messages carry.
    static QByteArray compressBytes(const QByteArray &data);
    static QByteArray decompressBytes(const QByteArray &data, const QString &inputName = QString());

    static const QByteArray &fastIdentifier();
};
