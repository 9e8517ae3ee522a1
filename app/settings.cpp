#include "app/settings.h"

#include "app/inifile.h"
#include "base/wiretext.h"
#include "base/gamedefaults.h"

#include <QByteArray>
#include <QFile>

#include <string>

const char *const Settings::FileName = "brenviklobby.ini";
const char *const Settings::SectionName = "sudoku";

namespace {

// Stored text is UTF-8; a file written by an 8-bit program reads as Latin-1.
QString decodeValue(const char *value)
{
    return fromWire(QByteArray(value));
}

QByteArray encodeValue(const QString &text)
{
    // A value is one line; a line break inside it would start a new key.
    QString line = text;
    line.replace(u'\r', u' ').replace(u'\n', u' ');
    return line.toUtf8();
}

class SectionReader
{
public:
    explicit SectionReader(const CSimpleIniA &ini) : m_ini(ini) {}

    // The stored text, or the default when the key is missing.
    QString text(const char *key, const char *defaultText) const
    {
        const char *value = m_ini.GetValue(Settings::SectionName, key, nullptr);
        return value ? decodeValue(value) : QString::fromLatin1(defaultText);
    }

    // An integer key; a missing or unreadable value gives the default.
    int integer(const char *key, int defaultValue) const
    {
        bool ok = false;
        const int value = text(key, "").toInt(&ok, 10);
        return ok ? value : defaultValue;
    }

    quint32 color(const char *key) const
    {
        return colorFromText(text(key, "clblack")).value_or(Bgr::Black);
    }

    // Switches are on unless the value is exactly "false".
    bool flag(const char *key) const { return text(key, "true") != u"false"; }

private:
    const CSimpleIniA &m_ini;
};

void setValue(CSimpleIniA &ini, const char *key, const QByteArray &value)
{
    ini.SetValue(Settings::SectionName, key, value.constData());
}

QByteArray phraseKey(int n)
{
    return "Phrase" + QByteArray::number(n);
}

} // namespace

Settings::Phrases Settings::builtInPhrases()
{
    Phrases phrases;
    static_assert(std::size(Game::BuiltInPhrases) == std::tuple_size_v<Phrases>);
    for (std::size_t i = 0; i < phrases.size(); ++i)
        phrases[i] = QString::fromLatin1(Game::BuiltInPhrases[i]);
    return phrases;
}

int Settings::gameTypeToSave() const
{
    if (gameType == 1 || gameType == 3)
        return *gameType;
    return 2;
}

bool Settings::load(const QString &path)
{
    CSimpleIniA ini;
    const bool read = IniFile::read(ini, path) == IniFile::ReadResult::Read;
    if (!read)
        ini.Reset();
    const SectionReader file(ini);

    textSize = file.integer("Textsize", 8);
    textColor = file.color("Textcolor");
    actionColor = file.color("Actioncolor");

    // An empty game type leaves the mark alone; anything but 1, 2 or 3
    // leaves no type marked.
    const QString game = file.text("Gametype", "3");
    if (!game.isEmpty()) {
        if (game == u"1" || game == u"2" || game == u"3")
            gameType = game.toInt();
        else
            gameType.reset();
    }

    select = file.text("Select", "1") == u"1" ? SelectMode::Typing : SelectMode::Clicking;

    // A puzzle type outside 1 to 3 unmarks all three and keeps the type; an
    // empty or non-integer value changes nothing.
    const QString puzzle = file.text("Puzzletype", "1");
    bool isInteger = false;
    const int puzzleValue = puzzle.toInt(&isInteger, 10);
    if (isInteger) {
        if (puzzleValue >= 1 && puzzleValue <= 3) {
            puzzleType = puzzleValue;
            puzzleTypeMarked = true;
        } else {
            puzzleTypeMarked = false;
        }
    }

    // Empty stored phrases keep the button's phrase.
    for (int n = 1; n <= PhraseCount; ++n) {
        const QString phrase = file.text(phraseKey(n).constData(), "");
        if (!phrase.isEmpty())
            phrases[size_t(n - 1)] = phrase;
    }

    playSounds = file.flag("Playsounds");

    top = file.integer("Top", 3);
    left = file.integer("Left", 3);
    width = file.integer("Width", 734);
    height = file.integer("Height", 485);

    turnSound = file.text("Turnsound", "0") == u"1" ? TurnSound::New : TurnSound::Classic;

    chatterSounds = file.flag("ChatterSounds");
    return read;
}

bool Settings::save(const QString &path) const
{
    return IniFile::rewrite(path, [this](CSimpleIniA &ini) {
        setValue(ini, "Textsize", QByteArray::number(textSize));
        setValue(ini, "Textcolor", colorToText(textColor).toLatin1());
        setValue(ini, "Actioncolor", colorToText(actionColor).toLatin1());
        setValue(ini, "Gametype", QByteArray::number(gameTypeToSave()));
        setValue(ini, "Select", select == SelectMode::Typing ? "1" : "0");
        setValue(ini, "Puzzletype", QByteArray::number(puzzleType));
        setValue(ini, "Playsounds", playSounds ? "true" : "false");
        setValue(ini, "Top", QByteArray::number(top));
        setValue(ini, "Left", QByteArray::number(left));
        setValue(ini, "Width", QByteArray::number(width));
        setValue(ini, "Height", QByteArray::number(height));
        setValue(ini, "Turnsound", turnSound == TurnSound::New ? "1" : "0");
        setValue(ini, "ChatterSounds", chatterSounds ? "true" : "false");
    });
}

bool Settings::savePhrases(const QString &path, const Phrases &phrases)
{
    return IniFile::rewrite(path, [&phrases](CSimpleIniA &ini) {
        for (int n = 1; n <= PhraseCount; ++n)
            setValue(ini, phraseKey(n).constData(), encodeValue(phrases[size_t(n - 1)]));
    });
}
