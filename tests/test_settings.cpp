#include "app/appfolders.h"
#include "app/settings.h"
#include "windows/chatview.h"
#include "windows/tchat.h"
#include "windows/tgamestart.h"
#include "windows/tphrases.h"
#include "tally/tallytable.h"
#include "windows/ttallylist.h"

#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<unreadable>";
    return file.readAll();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

// File permissions do not bind the superuser. When the tests run as root,
// this takes the identity of "nobody" for its lifetime so that a read-only
// folder or an unreadable file means what it says.
class AsOrdinaryUser
{
public:
    AsOrdinaryUser()
    {
        // Real and effective ids both, since access() judges by the real
        // one; the saved ids stay root so that the way back is open.
        if (geteuid() == 0)
            m_switched = setresgid(65534, 65534, 0) == 0 && setresuid(65534, 65534, 0) == 0;
    }
    ~AsOrdinaryUser()
    {
        if (m_switched) {
            [[maybe_unused]] const int u = setresuid(0, 0, 0);
            [[maybe_unused]] const int g = setresgid(0, 0, 0);
        }
    }
    bool bound() const { return geteuid() != 0; }

private:
    bool m_switched = false;
};

// A file size limit of a few bytes: every write that passes it fails, as on
// a full disk. Lifted when it goes.
class FullDisk
{
public:
    FullDisk()
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit tiny = m_saved;
        tiny.rlim_cur = 16;
        setrlimit(RLIMIT_FSIZE, &tiny);
    }
    ~FullDisk()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }

private:
    rlimit m_saved{};
    void (*m_handler)(int) = nullptr;
};

// Settings a player made in earlier runs, written the way a save writes them.
const QByteArray storedSettings = "[lobby]\n"
                                  "Name=Ann\n"
                                  "\n"
                                  "\n"
                                  "[sudoku]\n"
                                  "Textsize=12\n"
                                  "Textcolor=clred\n"
                                  "Actioncolor=$00FF0000\n"
                                  "Gametype=7\n"
                                  "Select=1\n"
                                  "Puzzletype=3\n"
                                  "Phrase1=Hi all\n"
                                  "Phrase3=\n"
                                  "Phrase5=Yay\n"
                                  "Playsounds=true\n"
                                  "Top=40\n"
                                  "Left=50\n"
                                  "Width=800\n"
                                  "Height=600\n"
                                  "Turnsound=1\n"
                                  "ChatterSounds=true\n";

int countOf(const QString &text, const QString &part)
{
    return int(text.count(part));
}

const QByteArray savedDefaults = "[sudoku]\n"
                                 "Textsize=8\n"
                                 "Textcolor=clBlack\n"
                                 "Actioncolor=clBlack\n"
                                 "Gametype=2\n"
                                 "Select=0\n"
                                 "Puzzletype=1\n"
                                 "Playsounds=true\n"
                                 "Top=3\n"
                                 "Left=3\n"
                                 "Width=734\n"
                                 "Height=485\n"
                                 "Turnsound=0\n"
                                 "ChatterSounds=false\n"
                                 "Highlight=true\n"
                                 "Conflicts=true\n"
                                 "PencilCleanup=true\n"
                                 "UndoRedo=true\n";

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void missingFileGivesDefaults();
    void switchesAndModes();
    void gameTypeMarks();
    void puzzleTypeMarks();
    void coloursSizesAndBounds();
    void phrases();
    void sectionAndKeysIgnoreCase();
    void savesKeysInOrder();
    void saveKeepsForeignSectionsAndKeys();
    void saveThenLoadGivesTheSameValues();
    void phraseEditorKeys();
    void failedSaveLeavesOldFileWhole();
    void interruptedSaveLeavesOldFileWhole();
    void unreadableFileIsNeverOverwritten();
    void garbageLoadsDefaults();
    void folderForTheFiles();
    void savesBeforeLoginKeepWhatThePlayerDidNotChange();
    void failedSavesAreToldOnceAndNothingIsLost();
    void leftoverSaveFilesAreRemoved();
    void anInstalledCopyKeepsItsTallyInTheDataFolder();

private:
    // Loads a file of the given text into a copy of the start value.
    Settings loaded(const QByteArray &text, Settings start = Settings());

    QTemporaryDir m_dir;
    QString m_path;
};

void TestSettings::init()
{
    QVERIFY(m_dir.isValid());
    m_path = m_dir.filePath(QStringLiteral("brenviklobby.ini"));
    QFile::remove(m_path);
}

Settings TestSettings::loaded(const QByteArray &text, Settings start)
{
    writeAll(m_path, text);
    start.load(m_path);
    return start;
}

void TestSettings::missingFileGivesDefaults()
{
    Settings s;
    s.gameType = 1;
    s.puzzleType = 3;
    s.textSize = 14;
    QVERIFY(!s.load(m_dir.filePath(QStringLiteral("none.ini"))));

    QCOMPARE(s.textSize, 8);
    QCOMPARE(s.textColor, Bgr::Black);
    QCOMPARE(s.actionColor, Bgr::Black);
    QCOMPARE(s.gameType, std::optional<int>(3));
    QCOMPARE(s.select, Settings::SelectMode::Typing);
    QCOMPARE(s.puzzleType, 1);
    QVERIFY(s.puzzleTypeMarked);
    QCOMPARE(s.phrases, Settings::builtInPhrases());
    QVERIFY(s.playSounds);
    QCOMPARE(s.top, 3);
    QCOMPARE(s.left, 3);
    QCOMPARE(s.width, 734);
    QCOMPARE(s.height, 485);
    QCOMPARE(s.turnSound, Settings::TurnSound::Classic);
    QVERIFY(s.chatterSounds);

    // A file without our section reads the same.
    Settings other;
    writeAll(m_path, "[lobby]\nTextsize=14\nSelect=0\n");
    QVERIFY(other.load(m_path));
    QCOMPARE(other, s);
}

void TestSettings::switchesAndModes()
{
    // The fresh window has chatter sounds off and Clicking; a file without
    // the keys turns chatter sounds on and selects Typing.
    QVERIFY(!Settings().chatterSounds);
    QCOMPARE(Settings().select, Settings::SelectMode::Clicking);
    const Settings bare = loaded("[sudoku]\nTextsize=10\n");
    QVERIFY(bare.chatterSounds);
    QCOMPARE(bare.select, Settings::SelectMode::Typing);

    // Only the exact text "false" turns a switch off.
    QVERIFY(loaded("[sudoku]\nPlaysounds=False\n").playSounds);
    QVERIFY(loaded("[sudoku]\nPlaysounds=\n").playSounds);
    QVERIFY(loaded("[sudoku]\nPlaysounds=0\n").playSounds);
    QVERIFY(!loaded("[sudoku]\nPlaysounds=false\n").playSounds);
    QVERIFY(!loaded("[sudoku]\nChatterSounds=false\n").chatterSounds);
    // The board's aids are on unless stored off.
    QVERIFY(loaded("[sudoku]\n").highlight && loaded("[sudoku]\n").undoRedo);
    QVERIFY(!loaded("[sudoku]\nHighlight=false\n").highlight);
    QVERIFY(!loaded("[sudoku]\nConflicts=false\n").conflicts);
    QVERIFY(!loaded("[sudoku]\nPencilCleanup=false\n").pencilCleanup);
    QVERIFY(!loaded("[sudoku]\nUndoRedo=false\n").undoRedo);
    QVERIFY(loaded("[sudoku]\nChatterSounds=FALSE\n").chatterSounds);

    // "1" is Typing and New; anything else Clicking and Classic.
    QCOMPARE(loaded("[sudoku]\nSelect=0\n").select, Settings::SelectMode::Clicking);
    QCOMPARE(loaded("[sudoku]\nSelect=2\n").select, Settings::SelectMode::Clicking);
    QCOMPARE(loaded("[sudoku]\nSelect=\n").select, Settings::SelectMode::Clicking);
    QCOMPARE(loaded("[sudoku]\nTurnsound=1\n").turnSound, Settings::TurnSound::New);
    QCOMPARE(loaded("[sudoku]\nTurnsound=01\n").turnSound, Settings::TurnSound::Classic);
}

void TestSettings::gameTypeMarks()
{
    Settings start;
    start.gameType = 1;
    QCOMPARE(loaded("[sudoku]\nGametype=2\n", start).gameType, std::optional<int>(2));
    // An empty value leaves the mark alone.
    QCOMPARE(loaded("[sudoku]\nGametype=\n", start).gameType, std::optional<int>(1));
    QCOMPARE(loaded("[sudoku]\nGametype=01\n", start).gameType, std::nullopt);
    QCOMPARE(loaded("[sudoku]\nGametype=x\n", start).gameType, std::nullopt);

    // Seven: no type marked, and the next save writes 2.
    const Settings seven = loaded("[sudoku]\nGametype=7\n", start);
    QCOMPARE(seven.gameType, std::nullopt);
    QVERIFY(seven.save(m_path));
    QVERIFY(readAll(m_path).contains("\nGametype=2\n"));
}

void TestSettings::puzzleTypeMarks()
{
    Settings start;
    start.puzzleType = 2;

    const Settings hard = loaded("[sudoku]\nPuzzletype=3\n", start);
    QCOMPARE(hard.puzzleType, 3);
    QVERIFY(hard.puzzleTypeMarked);

    // Out of range: all unmarked, the previous type kept, and saved.
    const Settings five = loaded("[sudoku]\nPuzzletype=5\n", start);
    QCOMPARE(five.puzzleType, 2);
    QVERIFY(!five.puzzleTypeMarked);
    QVERIFY(five.save(m_path));
    QVERIFY(readAll(m_path).contains("\nPuzzletype=2\n"));
    QVERIFY(!loaded("[sudoku]\nPuzzletype=0\n", start).puzzleTypeMarked);
    QVERIFY(!loaded("[sudoku]\nPuzzletype=-1\n", start).puzzleTypeMarked);

    // Empty or not an integer: nothing changes, the unmarked state included.
    Settings unmarked = start;
    unmarked.puzzleTypeMarked = false;
    for (const char *value : {"", "two", "2.0"}) {
        const Settings s = loaded(QByteArray("[sudoku]\nPuzzletype=") + value + "\n", unmarked);
        QCOMPARE(s.puzzleType, 2);
        QVERIFY(!s.puzzleTypeMarked);
    }
}

void TestSettings::coloursSizesAndBounds()
{
    QCOMPARE(loaded("[sudoku]\nTextcolor=$000000FF\n").textColor, Bgr::Red);
    QCOMPARE(loaded("[sudoku]\nTextcolor=clRed\n").textColor, Bgr::Red);
    QCOMPARE(loaded("[sudoku]\nTextcolor=CLRED\n").textColor, Bgr::Red);
    QCOMPARE(loaded("[sudoku]\nActioncolor=16711680\n").actionColor, Bgr::Blue);

    Settings start;
    start.textColor = Bgr::Blue;
    start.actionColor = Bgr::Red;
    const Settings bad = loaded("[sudoku]\nTextcolor=reddish\nActioncolor=\n", start);
    QCOMPARE(bad.textColor, Bgr::Black);
    QCOMPARE(bad.actionColor, Bgr::Black);

    const Settings odd = loaded("[sudoku]\nTextsize=11\nTop=-20\nLeft=abc\nWidth=\n"
                                "Height=99999999999\n");
    QCOMPARE(odd.textSize, 11);
    QVERIFY(!odd.textSizeHasMenuItem());
    QCOMPARE(odd.top, -20);
    QCOMPARE(odd.left, 3);
    QCOMPARE(odd.width, 734);
    QCOMPARE(odd.height, 485);
    QCOMPARE(loaded("[sudoku]\nTextsize=  14  \n").textSize, 14);
    QCOMPARE(loaded("[sudoku]\nTextsize=big\n").textSize, 8);
}

void TestSettings::phrases()
{
    Settings start;
    start.phrases[1] = QStringLiteral("Edited earlier");
    const Settings s = loaded("[sudoku]\nPhrase1=\nPhrase3=Hi there, all = friends; ok\n"
                              "Phrase9=Zo\xc3\xab\nPhrase7=caf\xe9\nPhrase10=ignored\n",
                              start);
    Settings::Phrases expected = Settings::builtInPhrases();
    expected[1] = QStringLiteral("Edited earlier");
    expected[2] = QStringLiteral("Hi there, all = friends; ok");
    expected[6] = QStringLiteral("caf\u00e9"); // a Latin-1 byte
    expected[8] = QStringLiteral("Zo\u00eb");
    for (int i = 0; i < Settings::PhraseCount; ++i)
        QCOMPARE(s.phrases[size_t(i)], expected[size_t(i)]);
}

void TestSettings::sectionAndKeysIgnoreCase()
{
    const Settings s = loaded("[SUDOKU]\nTEXTSIZE=12\nplaysounds=false\nphrase4=Yo\n");
    QCOMPARE(s.textSize, 12);
    QVERIFY(!s.playSounds);
    QCOMPARE(s.phrases[3], QStringLiteral("Yo"));

    // Saving updates the keys where they stand, in their own spelling.
    QVERIFY(s.save(m_path));
    const QByteArray text = readAll(m_path);
    QVERIFY(text.startsWith("[SUDOKU]\nTEXTSIZE=12\nplaysounds=false\nphrase4=Yo\nTextcolor="));
    QCOMPARE(text.toLower().count("textsize"), 1);
}

void TestSettings::savesKeysInOrder()
{
    QVERIFY(Settings().save(m_path));
    QCOMPARE(readAll(m_path), savedDefaults);

    Settings s;
    s.textSize = 12;
    s.textColor = Bgr::Red;
    s.actionColor = 0x80FF40;
    s.gameType = 3;
    s.select = Settings::SelectMode::Typing;
    s.puzzleType = 2;
    s.playSounds = false;
    s.top = 40;
    s.left = -5;
    s.width = 800;
    s.height = 600;
    s.turnSound = Settings::TurnSound::New;
    s.chatterSounds = true;
    s.phrases[0] = QStringLiteral("not saved here");
    QVERIFY(s.save(m_path));
    QCOMPARE(readAll(m_path),
             QByteArray("[sudoku]\n"
                        "Textsize=12\n"
                        "Textcolor=clRed\n"
                        "Actioncolor=$0080FF40\n"
                        "Gametype=3\n"
                        "Select=1\n"
                        "Puzzletype=2\n"
                        "Playsounds=false\n"
                        "Top=40\n"
                        "Left=-5\n"
                        "Width=800\n"
                        "Height=600\n"
                        "Turnsound=1\n"
                        "ChatterSounds=true\n"
                        "Highlight=true\n"
                        "Conflicts=true\n"
                        "PencilCleanup=true\n"
                        "UndoRedo=true\n"));
}

void TestSettings::saveKeepsForeignSectionsAndKeys()
{
    // Foreign values with bytes that are not UTF-8, "=" and ";" inside.
    const QByteArray lobby = "[lobby]\n"
                             "Name=Ren\xe9\n"
                             "Server=127.0.0.1:9001\n"
                             "Path=/opt/x=y;z\n";
    const QByteArray other = "[chess]\n"
                             "Textsize=14\n"
                             "Board=wood\n";
    writeAll(m_path, lobby + "\n[sudoku]\nTextsize=12\nFavourite=Zo\xc3\xab\nPhrase1=Hello\n\n"
                         + other);

    Settings s;
    s.load(m_path);
    s.textSize = 10;
    QVERIFY(s.save(m_path));
    QVERIFY(Settings::savePhrases(m_path, s.phrases));

    const QByteArray text = readAll(m_path);
    QVERIFY2(text.contains(lobby), text.constData());
    QVERIFY2(text.contains(other), text.constData());
    QVERIFY(text.contains("\nTextsize=10\nFavourite=Zo\xc3\xab\nPhrase1=Hello\nTextcolor="));
    QCOMPARE(text.count("Textsize="), 2);
    QVERIFY(text.endsWith(other));

    // A second round changes nothing.
    QVERIFY(s.save(m_path));
    QCOMPARE(readAll(m_path), text);
}

void TestSettings::saveThenLoadGivesTheSameValues()
{
    Settings s;
    s.textSize = 14;
    s.textColor = 0x123456;
    s.actionColor = Bgr::Blue;
    s.gameType = 1;
    s.select = Settings::SelectMode::Clicking;
    s.puzzleType = 3;
    s.playSounds = false;
    s.top = 100;
    s.left = 200;
    s.width = 1024;
    s.height = 768;
    s.turnSound = Settings::TurnSound::New;
    s.chatterSounds = false;
    QVERIFY(s.save(m_path));

    Settings back;
    QVERIFY(back.load(m_path));
    QCOMPARE(back, s);
}

void TestSettings::phraseEditorKeys()
{
    QVERIFY(Settings().save(m_path));
    Settings::Phrases phrases = Settings::builtInPhrases();
    phrases[2] = QStringLiteral("Well played");
    phrases[4] = QString();
    phrases[5] = QStringLiteral("two\r\nlines");
    QVERIFY(Settings::savePhrases(m_path, phrases));

    const QByteArray text = readAll(m_path);
    QVERIFY(text.startsWith(savedDefaults));
    QVERIFY(text.endsWith("\nPhrase3=Well played\nPhrase4=Excellent!\nPhrase5=\n"
                          "Phrase6=two  lines\nPhrase7=Thanks!\nPhrase8=Way To Go Teamie!\n"
                          "Phrase9=Good Game Everyone!\n"));

    // The emptied phrase keeps the button's own phrase at the next start.
    Settings next;
    next.load(m_path);
    QCOMPARE(next.phrases[2], QStringLiteral("Well played"));
    QCOMPARE(next.phrases[4], QStringLiteral("Brilliant!"));
    QCOMPARE(next.phrases[5], QStringLiteral("two  lines"));

    // The options' save leaves the phrases alone.
    next.textSize = 12;
    QVERIFY(next.save(m_path));
    QVERIFY(readAll(m_path).contains("\nPhrase3=Well played\n"));
}

void TestSettings::failedSaveLeavesOldFileWhole()
{
    const QString folder = m_dir.filePath(QStringLiteral("locked"));
    QVERIFY(QDir().mkpath(folder));
    const QString path = QDir(folder).filePath(QStringLiteral("brenviklobby.ini"));
    const QByteArray old = "[lobby]\nName=Ann\n\n[sudoku]\nTextsize=10\n";
    writeAll(path, old);
    QVERIFY(chmod(QFile::encodeName(m_dir.path()).constData(), 0755) == 0);
    QVERIFY(chmod(QFile::encodeName(path).constData(), 0644) == 0);
    QVERIFY(chmod(QFile::encodeName(folder).constData(), 0555) == 0);

    Settings s;
    s.textSize = 14;
    {
        AsOrdinaryUser user;
        if (!user.bound())
            QSKIP("file permissions do not apply to this user");
        QVERIFY(s.load(path)); // readable
        s.textSize = 14;
        QVERIFY(!s.save(path));
        QVERIFY(!Settings::savePhrases(path, s.phrases));
    }
    QVERIFY(chmod(QFile::encodeName(folder).constData(), 0755) == 0);
    QCOMPARE(readAll(path), old);
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("brenviklobby.ini")});
}

void TestSettings::interruptedSaveLeavesOldFileWhole()
{
    // The new text cannot be written in full: the file size limit stops the
    // temporary file after a few bytes.
    const QByteArray old = "[sudoku]\nTextsize=10\n";
    writeAll(m_path, old);

    rlimit saved{};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tiny = saved;
    tiny.rlim_cur = 16;
    QVERIFY(setrlimit(RLIMIT_FSIZE, &tiny) == 0);
    Settings s;
    s.textSize = 14;
    const bool saved1 = s.save(m_path);
    const bool saved2 = Settings::savePhrases(m_path, s.phrases);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    QVERIFY(!saved1);
    QVERIFY(!saved2);
    QCOMPARE(readAll(m_path), old);
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("brenviklobby.ini")});
}

void TestSettings::unreadableFileIsNeverOverwritten()
{
    // Saving keeps the other sections, so a file it cannot read must stay.
    const QByteArray old = "[lobby]\nName=Ann\n";
    writeAll(m_path, old);
    QVERIFY(chmod(QFile::encodeName(m_dir.path()).constData(), 0777) == 0);
    QVERIFY(chmod(QFile::encodeName(m_path).constData(), 0600) == 0);
    {
        AsOrdinaryUser user;
        if (!user.bound())
            QSKIP("file permissions do not apply to this user");
        Settings s;
        s.textSize = 14;
        QVERIFY(!s.load(m_path));
        QCOMPARE(s.textSize, 8); // treated as empty
        QVERIFY(!s.save(m_path));
    }
    QVERIFY(chmod(QFile::encodeName(m_dir.path()).constData(), 0700) == 0);
    QCOMPARE(readAll(m_path), old);

    // A folder in the file's place can be neither read nor replaced.
    const QString folder = m_dir.filePath(QStringLiteral("adir.ini"));
    QVERIFY(QDir().mkpath(folder));
    Settings s;
    QVERIFY(!s.load(folder));
    QVERIFY(!s.save(folder));
    QVERIFY(QFileInfo(folder).isDir());
}

void TestSettings::garbageLoadsDefaults()
{
    Settings defaults;
    defaults.load(m_dir.filePath(QStringLiteral("none.ini")));

    QByteArray noise;
    quint32 x = 12345;
    for (int i = 0; i < 5000; ++i) {
        x = x * 1103515245u + 12345u;
        noise.append(char(x >> 24));
    }
    static const char withNul[] = "[sudoku]\nTextsize=12\0Top=7\n";
    const QByteArray samples[] = {
        noise,
        QByteArray("[sudoku"),
        QByteArray("[sudoku]\n=\n==\n=x\n[\n]\n"),
        QByteArray(withNul, sizeof(withNul) - 1),
        QByteArray(100000, '['),
        QByteArray("\xef\xbb\xbf[sudoku]\nTextsize"),
        QByteArray("[sudoku]\nPhrase1=<<<END\nline\nEND\n"),
    };
    for (const QByteArray &sample : samples) {
        Settings s = loaded(sample);
        s.phrases = defaults.phrases;
        if (sample.startsWith("[sudoku]\nTextsize=12")) {
            QCOMPARE(s.textSize, 12); // the rest is past a NUL byte
            s.textSize = 8;
        }
        if (sample.startsWith("[sudoku]\nPhrase1="))
            QCOMPARE(loaded(sample).phrases[0], QStringLiteral("<<<END"));
        QCOMPARE(s, defaults);
        QVERIFY(s.save(m_path));
    }
}

void TestSettings::folderForTheFiles()
{
    QStandardPaths::setTestModeEnabled(true);
    QCOMPARE(writableFolderOr(m_dir.path()), m_dir.path());

    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    const QString missing = m_dir.filePath(QStringLiteral("not/there"));
    QCOMPARE(writableFolderOr(missing), config);
    QVERIFY(QFileInfo(config).isDir());
    QCOMPARE(writableFolderOr(QString()), config);

    const QString locked = m_dir.filePath(QStringLiteral("ro"));
    QVERIFY(QDir().mkpath(locked));
    QVERIFY(chmod(QFile::encodeName(locked).constData(), 0555) == 0);
    QVERIFY(chmod(QFile::encodeName(m_dir.path()).constData(), 0755) == 0);
    {
        AsOrdinaryUser user;
        if (user.bound())
            QCOMPARE(writableFolderOr(locked), config);
    }
    QVERIFY(chmod(QFile::encodeName(locked).constData(), 0755) == 0);

    QCOMPARE(QFileInfo(settingsFilePath()).fileName(), QStringLiteral("brenviklobby.ini"));
}

void TestSettings::savesBeforeLoginKeepWhatThePlayerDidNotChange()
{
    // A join that waits for an unreachable host: the window still shows its
    // form's values when the player changes an option or a phrase.
    writeAll(m_path, storedSettings);
    Tgamestart gamestart;
    Tphrases phrases;
    Tchat chat;
    chat.settingsPath = m_path;
    chat.setWindows({nullptr, nullptr, nullptr, &gamestart, nullptr, &phrases, nullptr, nullptr});

    QByteArray expected = storedSettings;
    chat.findChild<QAction *>(QStringLiteral("PlaySounds1"))->trigger();
    expected.replace("Playsounds=true", "Playsounds=false");
    QCOMPARE(readAll(m_path), expected);

    // Choosing what the file already holds writes the same bytes again.
    chat.findChild<QAction *>(QStringLiteral("PlayChatterSounds1"))->trigger();
    chat.findChild<QAction *>(QStringLiteral("New1"))->trigger();
    QCOMPARE(readAll(m_path), expected);

    // Done in the phrase editor stores the one phrase that was edited.
    chat.findChild<QAction *>(QStringLiteral("PrhaseList1"))->trigger();
    phrases.findChild<QLineEdit *>(QStringLiteral("phrase2"))->setText(QStringLiteral("Nice!"));
    phrases.button_doneClick();
    expected += "Phrase2=Nice!\n";
    QCOMPARE(readAll(m_path), expected);

    // Closing before the settings were loaded writes nothing either.
    chat.move(300, 300);
    chat.close();
    QCOMPARE(readAll(m_path), expected);

    // Once loaded, the stored values are the window's, and a change of one
    // option still leaves the rest as they were written.
    Tchat next;
    next.settingsPath = m_path;
    next.setWindows({nullptr, nullptr, nullptr, &gamestart, nullptr, &phrases, nullptr, nullptr});
    next.loadinifile();
    next.findChild<QAction *>(QStringLiteral("N14"))->trigger();
    expected.replace("Textsize=12", "Textsize=14");
    QCOMPARE(readAll(m_path), expected);
}

void TestSettings::failedSavesAreToldOnceAndNothingIsLost()
{
    writeAll(m_path, storedSettings);
    // The tally's folder is blocked: a file stands where the folder should be.
    const QString blocked = m_dir.filePath(QStringLiteral("tallyfolder"));
    writeAll(blocked, "not a folder");
    const QString tallyPath = blocked + QStringLiteral("/") + TallyTable::fileName();

    Ttallylist tally(tallyPath);
    Tchat chat;
    chat.settingsPath = m_path;
    chat.setWindows({&tally, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr});
    const auto chatText = [&chat] { return chat.chatView()->toPlainText(); };
    const QString tallyLine = QStringLiteral("The tally could not be saved to \"%1\"").arg(tallyPath);
    const QString settingsLine = QStringLiteral("The settings could not be saved to \"%1\"").arg(m_path);

    tally.addgame(TallyTable::mineResult(), {});
    tally.addgame(QStringLiteral("Bob"), {});
    QCOMPARE(countOf(chatText(), tallyLine), 1);
    QVERIFY(chatText().contains(QStringLiteral("kept in memory until they can be saved")));
    QCOMPARE(tally.table().cell(1, 0), QStringLiteral("2"));

    {
        FullDisk full;
        chat.findChild<QAction *>(QStringLiteral("PlaySounds1"))->trigger();
        chat.findChild<QAction *>(QStringLiteral("N10"))->trigger();
    }
    QCOMPARE(readAll(m_path), storedSettings);
    QCOMPARE(countOf(chatText(), settingsLine), 1);
    QCOMPARE(countOf(chatText(), QStringLiteral("could not be saved")), 2);

    // Room again: the next save writes everything this run changed.
    QVERIFY(QFile::remove(blocked));
    QVERIFY(QDir().mkpath(blocked));
    tally.addgame(TallyTable::mineResult(), {});
    TallyTable reread;
    QVERIFY(reread.load(tallyPath).ok);
    QCOMPARE(reread.row(0).mid(1, 2), (QStringList{"3", "2"}));

    chat.findChild<QAction *>(QStringLiteral("PlayChatterSounds1"))->trigger();
    QByteArray expected = storedSettings;
    expected.replace("Textsize=12", "Textsize=10")
        .replace("Playsounds=true", "Playsounds=false");
    QCOMPARE(readAll(m_path), expected);
    QCOMPARE(countOf(chatText(), QStringLiteral("could not be saved")), 2);
}

void TestSettings::leftoverSaveFilesAreRemoved()
{
    // Temporary files of saves that were killed half way, beside files that
    // only look like them.
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QDir dir(folder.path());
    const QStringList leftovers = {"brenviklobby.ini.Ab3xQz", "sudokutally.tld.K9aaZ0"};
    const QStringList kept = {"brenviklobby.ini", "brenviklobby.ini.backup", "sudokutally.tld.damaged",
                              "sudokutally.tld.Ab3xQ", "notes.txt.Ab3xQz", "sudokutally.tld.Ab3xQz.old"};
    for (const QString &name : leftovers + kept)
        writeAll(dir.filePath(name), "x");
    QVERIFY(dir.mkdir(QStringLiteral("brenviklobby.ini.Zz9yYy")));
    QVERIFY(QFile::link(QStringLiteral("/dev/null"), dir.filePath(QStringLiteral("sudokutally.tld.Ln4kQq"))));

    removeLeftoverSaveFiles(folder.path());
    QStringList expected = kept + QStringList{"brenviklobby.ini.Zz9yYy", "sudokutally.tld.Ln4kQq"};
    expected.sort();
    QCOMPARE(dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name),
             expected);
}

void TestSettings::anInstalledCopyKeepsItsTallyInTheDataFolder()
{
    // A copy whose own folder takes no files keeps its tally in the per-user
    // data folder. A tally an earlier copy left in the configuration folder
    // is moved there once, whole; it never replaces a tally already there.
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString program = root.filePath(QStringLiteral("not-a-folder"));
    writeAll(program, "a file stands where the program folder would be");
    const QString config = root.filePath(QStringLiteral("config"));
    const QString data = root.filePath(QStringLiteral("share/sudoku"));
    QVERIFY(QDir().mkpath(config));
    const QString name = TallyTable::fileName();
    writeAll(QDir(config).filePath(name), "WRZL old tally");

    QCOMPARE(tallyFolderFor(root.path(), config, data), root.path()); // a writable program folder
    QCOMPARE(tallyFolderFor(program, config, data), data);
    QCOMPARE(readAll(QDir(data).filePath(name)), QByteArray("WRZL old tally"));
    QVERIFY(!QFile::exists(QDir(config).filePath(name)));

    writeAll(QDir(config).filePath(name), "WRZL stray");
    QCOMPARE(tallyFolderFor(program, config, data), data);
    QCOMPARE(readAll(QDir(data).filePath(name)), QByteArray("WRZL old tally"));
    QCOMPARE(readAll(QDir(config).filePath(name)), QByteArray("WRZL stray"));
}

QTEST_MAIN(TestSettings)
#include "test_settings.moc"
