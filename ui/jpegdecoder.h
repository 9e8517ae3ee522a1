#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// Decodes JPEG pictures through libjpeg. Every failure of the library comes
// back as a null image and an error text; nothing exits and nothing throws.
// A picture that the library can only read with a warning (a truncated file,
// stray bytes inside the data) counts as damaged and is refused too.
class JpegDecoder
{
public:
    // Larger pictures are refused before any pixel memory is taken.
    static constexpr int MaxSide = 8192;
    static constexpr qint64 MaxPixels = 16 * 1024 * 1024;
    // A progressive file with more scans than this is refused (a file can
    // hold endless tiny scans that take long to decode and show nothing).
    static constexpr int MaxScans = 500;

    // Decodes a whole JPEG file held in memory into an RGB32 image.
    static QImage decode(const QByteArray &data, QString *error = nullptr);

    // Reads the file (a ":/" resource path works too) and decodes it.
    static QImage decodeFile(const QString &path, QString *error = nullptr);
};
