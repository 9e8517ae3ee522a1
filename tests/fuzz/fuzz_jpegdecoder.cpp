// Feeds arbitrary bytes to the JPEG decoder: it must refuse or decode,
// never crash, read out of bounds or leave an inconsistent result.
#include "ui/jpegdecoder.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data),
                                                     static_cast<qsizetype>(size));
    QString error;
    const QImage image = JpegDecoder::decode(bytes, &error);
    if (image.isNull() == error.isEmpty())
        std::abort();
    if (!image.isNull()
        && (image.width() > JpegDecoder::MaxSide || image.height() > JpegDecoder::MaxSide
            || image.format() != QImage::Format_RGB32))
        std::abort();
    return 0;
}
