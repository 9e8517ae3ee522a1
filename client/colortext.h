#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

// Colours travel in chat messages and in the settings file as text: the name
// of one of the sixteen standard colours ("clRed"), or "$" and hexadecimal
// digits of the value 00BBGGRR (blue in the high byte, red in the low byte).
// Inside the game a colour is kept as that plain value, a quint32 with the
// top byte zero; bgrToArgb() turns it into the 0xAARRGGBB form that
// QColor::fromRgb() takes.
namespace Bgr {
constexpr quint32 Black = 0x000000;
constexpr quint32 Red = 0x0000FF;
constexpr quint32 Blue = 0xFF0000;
constexpr quint32 White = 0xFFFFFF;

constexpr quint32 fromRgb(int r, int g, int b)
{
    return (quint32(b & 0xFF) << 16) | (quint32(g & 0xFF) << 8) | quint32(r & 0xFF);
}
constexpr int red(quint32 bgr) { return int(bgr & 0xFF); }
constexpr int green(quint32 bgr) { return int((bgr >> 8) & 0xFF); }
constexpr int blue(quint32 bgr) { return int((bgr >> 16) & 0xFF); }

// Opaque 0xFFRRGGBB, the form of QRgb.
constexpr quint32 toArgb(quint32 bgr)
{
    return 0xFF000000u | (quint32(red(bgr)) << 16) | (quint32(green(bgr)) << 8) | quint32(blue(bgr));
}
// From 0xAARRGGBB (alpha ignored).
constexpr quint32 fromArgb(quint32 argb)
{
    return fromRgb(int((argb >> 16) & 0xFF), int((argb >> 8) & 0xFF), int(argb & 0xFF));
}
} // namespace Bgr

// Reads colour text. Accepted forms:
//  - a standard colour name ("clBlack" ... "clWhite") or a system colour name
//    ("clWindow", "clBtnFace", ...), in any letter case;
//  - "$" and one to eight hexadecimal digits;
//  - a decimal number with an optional sign (a 32-bit integer).
// Numbers with a zero top byte are the colour itself; the system colour
// numbers (0xFF0000nn or 0x800000nn, nn the system colour's index) read as
// that system colour. Anything else, the empty text included, gives nothing,
// and the caller picks its fallback (red for a received chat line, black for
// the settings file).
std::optional<quint32> colorFromText(QStringView text);
std::optional<quint32> colorFromText(QByteArrayView text);

// Writes colour text: the standard name when the value (its low 24 bits) is
// exactly one of the sixteen standard colours, else "$" and eight upper-case
// hexadecimal digits, e.g. "$0080FF40".
QString colorToText(quint32 bgr);
