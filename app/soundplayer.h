#pragma once

#include <QHash>
#include <QObject>
#include <QString>

class QSoundEffect;

// Where the game's sounds go. The main window asks for clips by name ("putnum", "wave7");
// tests put a recorder here to see which clips were asked for.
class SoundOutput
{
public:
    virtual ~SoundOutput() = default;
    virtual void play(const QString &clipName) = 0;
};

// Plays the program's own clips, ":/sounds/<name>.wav", through QSoundEffect.
//
// Names are matched without regard to letter case, and a name with no clip ("time") is ignored.
// Starting a clip stops the one still playing, so at most one is heard at a time. The caller
// never waits: each clip is loaded on its first request, in the background, and kept, so a
// replay starts at once. Without an audio device (no sound server) nothing is heard, and
// nothing blocks or fails either.
class SoundPlayer : public QObject, public SoundOutput
{
    Q_OBJECT

public:
    explicit SoundPlayer(QObject *parent = nullptr);
    ~SoundPlayer() override;

    void play(const QString &clipName) override;
    void stop();

    // The resource path of a clip (":/sounds/wave3.wav" for "WAVE3"), or an empty string when
    // the program has no clip of that name.
    static QString clipPath(const QString &clipName);

    // The clip last started, in lower case; empty before the first and after stop().
    QString currentClip() const { return m_currentName; }
    // The effect kept for a clip once it has been asked for, else nullptr.
    QSoundEffect *effect(const QString &clipName) const;
    int loadedCount() const { return int(m_effects.size()); }

private:
    QHash<QString, QSoundEffect *> m_effects;   // lower-case name -> effect, owned as children
    QSoundEffect *m_current = nullptr;
    QString m_currentName;
};

// The sound module's entry point: a new player, the caller's to delete.
extern "C" Q_DECL_EXPORT SoundOutput *sudoku_create_sound_player();
