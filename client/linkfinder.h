#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

// Finds the web and mail links in chat text. Words are the runs of characters
// between blanks and line breaks. A word holds a link when, lower-cased, it
// contains one of the link prefixes ("http://", "ftp://", "file://",
// "gopher://", "telnet://", "news:", "mailto:", "www.", tried in that order;
// the first prefix found anywhere in the word wins). The link runs from that
// prefix to the end of the word, less every trailing character that is not
// "/", a digit or a letter, and it counts only if something is left after
// the prefix.
struct LinkRange
{
    qsizetype start = 0;  // index of the link's first character in the text
    qsizetype length = 0; // characters of the link as shown
    QString url;          // the address to open; "www." links get "http://"

    bool operator==(const LinkRange &) const = default;
};

class LinkFinder
{
public:
    // Every link in the text, in order, for styling a chat line.
    static QList<LinkRange> findLinks(QStringView text);

    // The link of the word at the position, so a hover or a click anywhere on
    // such a word finds its link. A position on a blank or a line break, or
    // past the end of the text, gives none.
    static std::optional<LinkRange> linkAt(QStringView text, qsizetype position);

    static bool isWordBreak(QChar c);

private:
    static std::optional<LinkRange> linkInWord(QStringView text, qsizetype wordStart,
                                               qsizetype wordEnd);
};
