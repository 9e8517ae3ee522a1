#include "app/soundplayer.h"

#include <QFile>
#include <QSoundEffect>
#include <QUrl>

SoundPlayer::SoundPlayer(QObject *parent)
    : QObject(parent)
{
}

SoundPlayer::~SoundPlayer()
{
    // The effects are children and go with us; stop first so no sink is left running.
    stop();
}

QString SoundPlayer::clipPath(const QString &clipName)
{
    // Clip names are plain words and numbers; anything else (a path, an extension) names no clip.
    if (clipName.isEmpty() || clipName.size() > 32)
        return {};
    for (const QChar c : clipName) {
        if (c.unicode() > 0x7f || !c.isLetterOrNumber())
            return {};
    }
    const QString path = QStringLiteral(":/sounds/") + clipName.toLower() + QStringLiteral(".wav");
    return QFile::exists(path) ? path : QString();
}

QSoundEffect *SoundPlayer::effect(const QString &clipName) const
{
    return m_effects.value(clipName.toLower(), nullptr);
}

void SoundPlayer::play(const QString &clipName)
{
    const QString path = clipPath(clipName);
    if (path.isEmpty())
        return;

    const QString name = clipName.toLower();
    QSoundEffect *fx = m_effects.value(name, nullptr);
    if (!fx) {
        fx = new QSoundEffect(this);
        fx->setSource(QUrl(QStringLiteral("qrc") + path));
        m_effects.insert(name, fx);
    }

    if (m_current && m_current != fx)
        m_current->stop();
    // Asking again for the clip that is playing starts it over.
    fx->stop();
    fx->play();
    m_current = fx;
    m_currentName = name;
}

void SoundPlayer::stop()
{
    if (m_current)
        m_current->stop();
    m_current = nullptr;
    m_currentName.clear();
}

SoundOutput *sudoku_create_sound_player()
{
    return new SoundPlayer;
}
