// Feeds arbitrary bytes to the readers of chat text and of the settings file:
// the colour reader, the link finder and the settings loader. Whatever they
// accept must come back the same after a write and a read.
#include "app/settings.h"
#include "client/colortext.h"
#include "client/linkfinder.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdlib>
#include <optional>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

void fuzzColour(const QByteArray &bytes)
{
    const std::optional<quint32> colour = colorFromText(QByteArrayView(bytes));
    if (!colour)
        return;
    check((*colour & 0xFF000000u) == 0);
    const QString text = colorToText(*colour);
    check(colorFromText(text) == colour);
    check(colorToText(*colorFromText(text)) == text);
}

void fuzzLinks(const QString &text)
{
    const QList<LinkRange> links = LinkFinder::findLinks(text);
    qsizetype previousEnd = 0;
    for (const LinkRange &link : links) {
        check(link.start >= previousEnd && link.length > 0);
        check(link.start + link.length <= text.size());
        previousEnd = link.start + link.length;
        // Every character of the link finds the same link.
        check(LinkFinder::linkAt(text, link.start) == link);
        check(LinkFinder::linkAt(text, link.start + link.length - 1) == link);
    }
    check(!LinkFinder::linkAt(text, text.size()));
}

void fuzzSettings(const QByteArray &bytes)
{
    // In memory: the same reading and writing as on the file, without it.
    Settings loaded;
    loaded.loadText(bytes);

    // What was loaded survives a save and a fresh load; an unmarked type is
    // saved as its value and reads back marked.
    const std::optional<QByteArray> saved = loaded.saveText(bytes);
    check(saved.has_value());
    const std::optional<QByteArray> withPhrases = Settings::savePhrasesText(*saved, loaded.phrases);
    check(withPhrases.has_value());
    Settings back;
    back.loadText(*withPhrases);
    Settings expected = loaded;
    expected.gameType = loaded.gameTypeToSave();
    expected.puzzleTypeMarked = loaded.puzzleType >= 1 && loaded.puzzleType <= 3;
    check(back == expected);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    fuzzColour(bytes);
    fuzzLinks(QString::fromUtf8(bytes));
    fuzzLinks(QString::fromLatin1(bytes));
    if (size <= 4096)
        fuzzSettings(bytes);
    return 0;
}
