#include "ui/jpegdecoder.h"

#include <QFile>

#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE and size_t declared first

#include <jpeglib.h>

namespace {

// Everything the library's callbacks touch. It lives in decode()'s frame,
// outside the function that calls setjmp, so nothing that longjmp skips
// over owns memory.
struct DecodeContext {
    jpeg_error_mgr err;              // first member: the library casts to it
    jpeg_progress_mgr progress;
    std::jmp_buf jump;
    int warnings = 0;
    QString message;
    QImage image;
};

DecodeContext *contextOf(j_common_ptr cinfo)
{
    return reinterpret_cast<DecodeContext *>(cinfo->err);
}

void recordMessage(j_common_ptr cinfo)
{
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    contextOf(cinfo)->message = QString::fromLatin1(text);
}

[[noreturn]] void errorExit(j_common_ptr cinfo)
{
    recordMessage(cinfo);
    std::longjmp(contextOf(cinfo)->jump, 1);
}

// Level -1 is a warning: the data is damaged but the library would go on,
// filling what is missing with grey. One warning is enough to refuse the
// picture, so decoding stops at once. Trace messages (level 0 and up) are
// dropped.
void emitMessage(j_common_ptr cinfo, int level)
{
    if (level >= 0)
        return;
    DecodeContext *ctx = contextOf(cinfo);
    ++ctx->warnings;
    recordMessage(cinfo);
    std::longjmp(ctx->jump, 1);
}

void progressMonitor(j_common_ptr cinfo)
{
    if (!cinfo->is_decompressor)
        return;
    const auto *dinfo = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (dinfo->input_scan_number > JpegDecoder::MaxScans) {
        DecodeContext *ctx = contextOf(cinfo);
        ctx->message = QStringLiteral("Too many scans in a progressive picture");
        std::longjmp(ctx->jump, 1);
    }
}

inline uchar scaleByK(uchar v, uchar k)
{
    return static_cast<uchar>(v * k / 255);
}

// Runs the library over the data; false after any error or warning. Only
// plain C data lives in this frame between setjmp and the library calls.
bool runDecoder(DecodeContext *ctx, jpeg_decompress_struct *cinfo, const uchar *bytes,
                unsigned long size)
{
    if (setjmp(ctx->jump))
        return false;

    jpeg_create_decompress(cinfo);
    cinfo->progress = &ctx->progress;
    jpeg_mem_src(cinfo, bytes, size);
    jpeg_read_header(cinfo, TRUE);

    if (cinfo->image_width > unsigned(JpegDecoder::MaxSide)
        || cinfo->image_height > unsigned(JpegDecoder::MaxSide)
        || qint64(cinfo->image_width) * cinfo->image_height > JpegDecoder::MaxPixels) {
        ctx->message = QStringLiteral("Picture too large");
        return false;
    }

    const bool cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
    cinfo->out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(cinfo);

    if (cinfo->output_components != (cmyk ? 4 : 3)) {
        ctx->message = QStringLiteral("Unsupported colour layout");
        return false;
    }
    const int width = int(cinfo->output_width);
    const int height = int(cinfo->output_height);
    ctx->image = QImage(width, height, QImage::Format_RGB32);
    if (ctx->image.isNull()) {
        ctx->message = QStringLiteral("Out of memory");
        return false;
    }

    // The library writes one row at a time into a row of its own pool, which
    // is converted into the image's row.
    const JDIMENSION rowBytes = JDIMENSION(width) * JDIMENSION(cinfo->output_components);
    JSAMPARRAY scratch = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo),
                                                     JPOOL_IMAGE, rowBytes, 1);
    while (cinfo->output_scanline < cinfo->output_height) {
        const int y = int(cinfo->output_scanline);
        if (jpeg_read_scanlines(cinfo, scratch, 1) != 1) {
            ctx->message = QStringLiteral("Picture data ends early");
            return false;
        }
        const uchar *in = scratch[0];
        auto *out = reinterpret_cast<QRgb *>(ctx->image.scanLine(y));
        if (!cmyk) {
            for (int x = 0; x < width; ++x, in += 3)
                out[x] = qRgb(in[0], in[1], in[2]);
        } else if (cinfo->saw_Adobe_marker) {
            // Adobe writes CMYK inverted.
            for (int x = 0; x < width; ++x, in += 4)
                out[x] = qRgb(scaleByK(in[0], in[3]), scaleByK(in[1], in[3]),
                              scaleByK(in[2], in[3]));
        } else {
            for (int x = 0; x < width; ++x, in += 4) {
                const uchar k = uchar(255 - in[3]);
                out[x] = qRgb(k - scaleByK(in[0], k), k - scaleByK(in[1], k),
                              k - scaleByK(in[2], k));
            }
        }
    }
    jpeg_finish_decompress(cinfo);
    return true;
}

} // namespace

QImage JpegDecoder::decode(const QByteArray &data, QString *error)
{
    DecodeContext ctx;
    jpeg_decompress_struct cinfo{};
    cinfo.err = jpeg_std_error(&ctx.err);
    ctx.err.error_exit = errorExit;
    ctx.err.emit_message = emitMessage;
    ctx.progress.progress_monitor = progressMonitor;

    bool ok = false;
    if (data.isEmpty()) {
        ctx.message = QStringLiteral("Empty input");
    } else {
        ok = runDecoder(&ctx, &cinfo, reinterpret_cast<const uchar *>(data.constData()),
                        static_cast<unsigned long>(data.size()));
    }
    jpeg_destroy_decompress(&cinfo);

    if (!ok) {
        if (error)
            *error = ctx.warnings > 0 ? QStringLiteral("Damaged picture: ") + ctx.message
                                      : ctx.message;
        return QImage();
    }
    if (error)
        error->clear();
    return ctx.image;
}

QImage JpegDecoder::decodeFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return QImage();
    }
    return decode(file.readAll(), error);
}
