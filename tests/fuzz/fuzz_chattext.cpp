// Feeds arbitrary bytes to the readers of chat text and of the settings file:
// the colour reader, the link finder and the settings loader. Whatever they
// accept must come back the same after a write and a read.
#include "app/settings.h"
#include "client/colortext.h"
#include "client/linkfinder.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

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
    static QTemporaryDir dir;
    if (!dir.isValid())
        return;
    const QString path = dir.filePath(QStringLiteral("brenviklobby.ini"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return;
        file.write(bytes);
    }
    Settings loaded;
    loaded.load(path);

    // What was loaded survives a save and a fresh load; an unmarked type is
    // saved as its value and reads back marked.
    check(loaded.save(path));
    check(Settings::savePhrases(path, loaded.phrases));
    Settings back;
    back.load(path);
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
