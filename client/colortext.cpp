#include "client/colortext.h"

#include <array>

namespace {

struct NamedColor
{
    const char *name;
    quint32 bgr;
};

// The sixteen standard colours. Only these are written back as names.
constexpr std::array<NamedColor, 16> standardColors{{
    {"clBlack", 0x000000},  {"clMaroon", 0x000080}, {"clGreen", 0x008000},
    {"clOlive", 0x008080},  {"clNavy", 0x800000},   {"clPurple", 0x800080},
    {"clTeal", 0x808000},   {"clGray", 0x808080},   {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF},    {"clLime", 0x00FF00},   {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},   {"clFuchsia", 0xFF00FF}, {"clAqua", 0xFFFF00},
    {"clWhite", 0xFFFFFF},
}};

// The desktop's system colours, by their index. This platform has no such
// palette that we could ask, so each name stands for a fixed shade: the
// classic grey desktop scheme (grey faces, white windows, black text, navy
// captions and selection, pale yellow tool tips). Values are 00BBGGRR.
constexpr std::array<NamedColor, 25> systemColors{{
    {"clScrollBar", 0xC8D0D4},           // 0
    {"clBackground", 0xA56E3A},          // 1
    {"clActiveCaption", 0x6A240A},       // 2
    {"clInactiveCaption", 0x808080},     // 3
    {"clMenu", 0xC8D0D4},                // 4
    {"clWindow", 0xFFFFFF},              // 5
    {"clWindowFrame", 0x000000},         // 6
    {"clMenuText", 0x000000},            // 7
    {"clWindowText", 0x000000},          // 8
    {"clCaptionText", 0xFFFFFF},         // 9
    {"clActiveBorder", 0xC8D0D4},        // 10
    {"clInactiveBorder", 0xC8D0D4},      // 11
    {"clAppWorkSpace", 0x808080},        // 12
    {"clHighlight", 0x6A240A},           // 13
    {"clHighlightText", 0xFFFFFF},       // 14
    {"clBtnFace", 0xC8D0D4},             // 15
    {"clBtnShadow", 0x808080},           // 16
    {"clGrayText", 0x808080},            // 17
    {"clBtnText", 0x000000},             // 18
    {"clInactiveCaptionText", 0xC8D0D4}, // 19
    {"clBtnHighlight", 0xFFFFFF},        // 20
    {"cl3DDkShadow", 0x404040},          // 21
    {"cl3DLight", 0xC8D0D4},             // 22
    {"clInfoText", 0x000000},            // 23
    {"clInfoBk", 0xE1FFFF},              // 24
}};

// Further fixed names that older colour pickers wrote; read, never written.
constexpr std::array<NamedColor, 6> extraColors{{
    {"clMoneyGreen", 0xC0DCC0}, {"clSkyBlue", 0xF0CAA6}, {"clCream", 0xF0FBFF},
    {"clMedGray", 0xA4A0A0},    {"clLtGray", 0xC0C0C0},  {"clDkGray", 0x808080},
}};

bool sameName(QStringView text, const char *name)
{
    return text.compare(QLatin1StringView(name), Qt::CaseInsensitive) == 0;
}

template <std::size_t N>
std::optional<quint32> lookUp(const std::array<NamedColor, N> &table, QStringView text)
{
    for (const NamedColor &entry : table) {
        if (sameName(text, entry.name))
            return entry.bgr;
    }
    return std::nullopt;
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// "$" and hexadecimal digits; the value must fit 32 bits.
std::optional<quint32> readHex(QStringView digits)
{
    if (digits.isEmpty())
        return std::nullopt;
    quint64 value = 0;
    for (QChar c : digits) {
        const int d = hexDigit(c);
        if (d < 0)
            return std::nullopt;
        value = value * 16 + quint64(d);
        if (value > 0xFFFFFFFFull)
            return std::nullopt;
    }
    return quint32(value);
}

// A decimal 32-bit integer with an optional sign, kept as its bit pattern.
std::optional<quint32> readDecimal(QStringView text)
{
    bool negative = false;
    if (!text.isEmpty() && (text.front() == u'-' || text.front() == u'+')) {
        negative = text.front() == u'-';
        text = text.mid(1);
    }
    if (text.isEmpty())
        return std::nullopt;
    qint64 value = 0;
    for (QChar c : text) {
        if (c.unicode() < u'0' || c.unicode() > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
        if (value > 0x80000000ll)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value > 0x7FFFFFFFll)
        return std::nullopt;
    return quint32(qint32(value));
}

std::optional<quint32> fromNumber(quint32 value)
{
    if ((value & 0xFF000000u) == 0)
        return value;
    // System colour numbers carry the index in the low byte.
    const quint32 top = value & 0xFF000000u;
    const quint32 index = value & 0x00FFFFFFu;
    if ((top == 0xFF000000u || top == 0x80000000u) && index < systemColors.size())
        return systemColors[index].bgr;
    return std::nullopt;
}

} // namespace

std::optional<quint32> colorFromText(QStringView text)
{
    if (text.isEmpty())
        return std::nullopt;
    if (text.size() > 2 && text.startsWith(u"cl", Qt::CaseInsensitive)) {
        if (auto c = lookUp(standardColors, text))
            return c;
        if (auto c = lookUp(systemColors, text))
            return c;
        return lookUp(extraColors, text);
    }
    std::optional<quint32> number;
    if (text.front() == u'$')
        number = readHex(text.mid(1));
    else
        number = readDecimal(text);
    if (!number)
        return std::nullopt;
    return fromNumber(*number);
}

std::optional<quint32> colorFromText(QByteArrayView text)
{
    // Colour text is plain ASCII; any other byte makes it unreadable anyway.
    return colorFromText(QStringView(QString::fromLatin1(text)));
}

QString colorToText(quint32 bgr)
{
    bgr &= 0x00FFFFFFu;
    for (const NamedColor &entry : standardColors) {
        if (entry.bgr == bgr)
            return QString::fromLatin1(entry.name);
    }
    return u'$' + QString::number(bgr, 16).toUpper().rightJustified(8, u'0');
}
