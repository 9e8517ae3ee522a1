#include "app/settings.h"

#include "app/inifile.h"
#include "base/wiretext.h"
#include "base/gamedefaults.h"

#include <QByteArray>
#include <QFile>

#include <string>
#include <utility>
#include <vector>

const char *const Settings::FileName = "brenviklobby.ini";
const char *const Settings::SectionName = "sudoku";
const char *const Settings::HideDownloadKey = "HideDownloadWindow";
const char *const Settings::OpenRouterPortKey = "OpenRouterPort";
const char *const Settings::InternetAddressKey = "InternetAddress";

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
    QByteArray text;
    const bool read = IniFile::readBytes(path, text) == IniFile::ReadResult::Read;
    if (!read)
        text.clear();
    return loadText(text) && read;
}

bool Settings::loadText(const QByteArray &text)
{
    CSimpleIniA ini;
    const bool read = IniFile::parse(ini, text);
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

    highlight = file.flag("Highlight");
    conflicts = file.flag("Conflicts");
    pencilCleanup = file.flag("PencilCleanup");
    undoRedo = file.flag("UndoRedo");
    return read;
}

namespace {

using KeyValues = std::vector<std::pair<QByteArray, QByteArray>>;

// The keys save() writes, in their order, with their texts.
KeyValues keyValues(const Settings &s)
{
    return {
        {"Textsize", QByteArray::number(s.textSize)},
        {"Textcolor", colorToText(s.textColor).toLatin1()},
        {"Actioncolor", colorToText(s.actionColor).toLatin1()},
        {"Gametype", QByteArray::number(s.gameTypeToSave())},
        {"Select", s.select == Settings::SelectMode::Typing ? "1" : "0"},
        {"Puzzletype", QByteArray::number(s.puzzleType)},
        {"Playsounds", s.playSounds ? "true" : "false"},
        {"Top", QByteArray::number(s.top)},
        {"Left", QByteArray::number(s.left)},
        {"Width", QByteArray::number(s.width)},
        {"Height", QByteArray::number(s.height)},
        {"Turnsound", s.turnSound == Settings::TurnSound::New ? "1" : "0"},
        {"ChatterSounds", s.chatterSounds ? "true" : "false"},
        {"Highlight", s.highlight ? "true" : "false"},
        {"Conflicts", s.conflicts ? "true" : "false"},
        {"PencilCleanup", s.pencilCleanup ? "true" : "false"},
        {"UndoRedo", s.undoRedo ? "true" : "false"},
    };
}

std::function<void(CSimpleIniA &)> setter(const KeyValues &keys)
{
    return [&keys](CSimpleIniA &ini) {
        for (const auto &[key, value] : keys)
            setValue(ini, key.constData(), value);
    };
}

bool writeKeys(const QString &path, const KeyValues &keys)
{
    if (keys.empty())
        return true;
    return IniFile::rewrite(path, setter(keys));
}

KeyValues phraseValues(const Settings::Phrases &phrases, const Settings::Phrases *before)
{
    KeyValues changed;
    for (int n = 1; n <= Settings::PhraseCount; ++n) {
        const size_t i = size_t(n - 1);
        if (!before || phrases[i] != (*before)[i])
            changed.emplace_back(phraseKey(n), encodeValue(phrases[i]));
    }
    return changed;
}

} // namespace

bool Settings::save(const QString &path) const
{
    return writeKeys(path, keyValues(*this));
}

bool Settings::saveChanges(const QString &path, const Settings &before) const
{
    const KeyValues now = keyValues(*this);
    const KeyValues then = keyValues(before);
    KeyValues changed;
    for (size_t i = 0; i < now.size(); ++i) {
        if (now[i].second != then[i].second)
            changed.push_back(now[i]);
    }
    return writeKeys(path, changed);
}

bool Settings::savePhrases(const QString &path, const Phrases &phrases, const Phrases *before)
{
    return writeKeys(path, phraseValues(phrases, before));
}

std::optional<QByteArray> Settings::saveText(const QByteArray &text) const
{
    const KeyValues keys = keyValues(*this);
    return IniFile::rewriteText(text, setter(keys));
}

std::optional<QByteArray> Settings::savePhrasesText(const QByteArray &text, const Phrases &phrases)
{
    const KeyValues keys = phraseValues(phrases, nullptr);
    return IniFile::rewriteText(text, setter(keys));
}

bool Settings::readSwitch(const QString &path, const char *key, bool defaultValue)
{
    CSimpleIniA ini;
    if (IniFile::read(ini, path) != IniFile::ReadResult::Read)
        return defaultValue;
    const QString value = SectionReader(ini).text(key, defaultValue ? "true" : "false");
    return defaultValue ? value != u"false" : value == u"true";
}

bool Settings::writeSwitch(const QString &path, const char *key, bool on)
{
    return writeKeys(path, {{key, on ? "true" : "false"}});
}

QString Settings::readText(const QString &path, const char *key)
{
    CSimpleIniA ini;
    if (IniFile::read(ini, path) != IniFile::ReadResult::Read)
        return QString();
    return SectionReader(ini).text(key, "");
}

bool Settings::writeText(const QString &path, const char *key, const QString &value)
{
    return writeKeys(path, {{key, encodeValue(value)}});
}
