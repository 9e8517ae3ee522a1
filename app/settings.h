#pragma once

#include "client/colortext.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>

// The player's options, phrases and window bounds, kept in section "sudoku"
// of the settings file. A Settings value is the main window's current option
// state: load() changes it the way the window's menus change when the file
// is read (a few keys leave the current value when they are empty), and
// save() writes it back.
struct Settings
{
    enum class SelectMode { Clicking = 0, Typing = 1 };
    enum class TurnSound { Classic = 0, New = 1 };

    static constexpr int PhraseCount = 9;
    using Phrases = std::array<QString, PhraseCount>;

    static const char *const FileName;    // "brenviklobby.ini"
    static const char *const SectionName; // "sudoku"

    // The phrase buttons' own phrases, 1 to 9.
    static Phrases builtInPhrases();

    // Chat view font size; any integer read is applied, and only the sizes
    // 8, 10, 12 and 14 have a checked menu item (textSizeHasMenuItem()).
    int textSize = 8;
    quint32 textColor = Bgr::Black;   // 00BBGGRR
    quint32 actionColor = Bgr::Black; // 00BBGGRR

    // The game type marked in the options dialog, 1 to 3; empty when no type
    // is marked, which the dialog treats, and saves, as 2.
    std::optional<int> gameType = 2;

    SelectMode select = SelectMode::Clicking;

    // The dialog's puzzle type, 1 to 3, and whether its radio item is marked:
    // an out-of-range value in the file unmarks all three items and keeps
    // the type.
    int puzzleType = 1;
    bool puzzleTypeMarked = true;

    Phrases phrases = builtInPhrases();

    bool playSounds = true;

    int top = 3;
    int left = 3;
    int width = 734;
    int height = 485;

    TurnSound turnSound = TurnSound::Classic;
    bool chatterSounds = false;

    // The board's aids (Options menu), each on unless stored "false":
    // "Highlight", "Conflicts", "PencilCleanup", "UndoRedo".
    bool highlight = true;
    bool conflicts = true;
    bool pencilCleanup = true;
    bool undoRedo = true;

    // The values of a fresh window before the file is read: Play Sounds on,
    // chatter sounds off, Classic, Clicking, size 8, black, the built-in
    // phrases, Score and Hide, Easy.
    Settings() = default;

    // Reads the section's keys in the file's documented order and applies
    // each. A missing file, section or key gives the key's default; values
    // that cannot be read fall back as each key's rule says. Returns false
    // when the file could not be read (it is then treated as empty).
    bool load(const QString &path);
    // The same on the file's text in memory; false when it cannot be read.
    bool loadText(const QByteArray &text);

    // Writes every key but the phrases, in order, as key=value. Other
    // sections and keys of the file are kept. The file is replaced as a
    // whole through a temporary file in the same folder: on failure the old
    // file is left as it was and false is returned. An existing file that
    // cannot be read is never overwritten.
    bool save(const QString &path) const;

    // Like save(), but writes only the keys whose text differs from the one
    // `before` would write: what the player did not change keeps the file's
    // own value, byte for byte. Nothing changed: nothing is written.
    bool saveChanges(const QString &path, const Settings &before) const;

    // Writes Phrase1 ... Phrase9 (the phrase editor's Done), the same way;
    // with `before`, only the phrases that differ from it.
    static bool savePhrases(const QString &path, const Phrases &phrases, const Phrases *before = nullptr);

    // save() and savePhrases() on the file's text in memory: the new text,
    // or nothing when the old one cannot be read.
    std::optional<QByteArray> saveText(const QByteArray &text) const;
    static std::optional<QByteArray> savePhrasesText(const QByteArray &text, const Phrases &phrases);

    // Switches that are read when they are used, not at login, and written
    // on their own the moment they change: "true" or "false"; a missing or
    // other value gives the default.
    static const char *const HideDownloadKey; // the solo start's lobby download window; off
    static const char *const OpenRouterPortKey; // a hosted game asks the router to open its port; on
    static bool readSwitch(const QString &path, const char *key, bool defaultValue);
    static bool writeSwitch(const QString &path, const char *key, bool on);
    // The internet address at which the router forwards the hosted game's
    // port, written by the game and read by the lobby; empty: none.
    static const char *const InternetAddressKey;
    static QString readText(const QString &path, const char *key);
    static bool writeText(const QString &path, const char *key, const QString &value);

    // "1" Score and Show or "3" First To Complete when marked, else 2.
    int gameTypeToSave() const;
    bool textSizeHasMenuItem() const
    {
        return textSize == 8 || textSize == 10 || textSize == 12 || textSize == 14;
    }

    bool operator==(const Settings &) const = default;
};
