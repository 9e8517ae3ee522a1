#include "client/linkfinder.h"

#include <array>

namespace {

constexpr std::array<QStringView, 8> prefixes{
    u"http://", u"ftp://", u"file://", u"gopher://",
    u"telnet://", u"news:", u"mailto:", u"www.",
};

// The characters a link may end with, judged on the lower-cased word: a
// letter, a digit or "/". Full stops, commas, brackets and the like that
// follow an address in a sentence are not part of it.
bool endsLink(QChar lower)
{
    const char16_t u = lower.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9') || u == u'/';
}

} // namespace

bool LinkFinder::isWordBreak(QChar c)
{
    // A rich text view hands its line ends out as paragraph or line
    // separators; they break words just as carriage return and line feed do.
    return c == u' ' || c == u'\r' || c == u'\n' || c == QChar::ParagraphSeparator
        || c == QChar::LineSeparator;
}

std::optional<LinkRange> LinkFinder::linkInWord(QStringView text, qsizetype wordStart,
                                                qsizetype wordEnd)
{
    const QStringView word = text.mid(wordStart, wordEnd - wordStart);
    // Lower-cased character by character, so that indices in the copy are
    // indices in the word.
    QString lower(word.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < word.size(); ++i)
        lower[i] = word.at(i).toLower();

    for (QStringView prefix : prefixes) {
        const qsizetype at = lower.indexOf(prefix);
        if (at < 0)
            continue;
        qsizetype end = lower.size();
        while (end > at && !endsLink(lower.at(end - 1)))
            --end;
        if (end - at <= prefix.size())
            return std::nullopt;
        LinkRange link;
        link.start = wordStart + at;
        link.length = end - at;
        link.url = word.mid(at, end - at).toString();
        if (prefix == u"www.")
            link.url.prepend(QLatin1StringView("http://"));
        return link;
    }
    return std::nullopt;
}

QList<LinkRange> LinkFinder::findLinks(QStringView text)
{
    QList<LinkRange> links;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        while (i < n && isWordBreak(text.at(i)))
            ++i;
        const qsizetype start = i;
        while (i < n && !isWordBreak(text.at(i)))
            ++i;
        if (i > start) {
            if (auto link = linkInWord(text, start, i))
                links.append(*link);
        }
    }
    return links;
}

std::optional<LinkRange> LinkFinder::linkAt(QStringView text, qsizetype position)
{
    if (position < 0 || position >= text.size() || isWordBreak(text.at(position)))
        return std::nullopt;
    qsizetype start = position;
    while (start > 0 && !isWordBreak(text.at(start - 1)))
        --start;
    qsizetype end = position;
    while (end < text.size() && !isWordBreak(text.at(end)))
        ++end;
    return linkInWord(text, start, end);
}
