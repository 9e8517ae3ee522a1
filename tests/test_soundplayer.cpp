#include "app/soundplayer.h"

#include <QAudioDevice>
#include <QElapsedTimer>
#include <QFile>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QtEndian>
#include <QtTest>

namespace {

// Every clip the game asks for by name.
QStringList expectedClips()
{
    QStringList names = {"putnum", "pencil", "clear", "right", "wrong",
                         "turn", "turnnew", "filled", "gameover", "entered"};
    for (int n = 1; n <= 20; ++n)
        names << QStringLiteral("wave%1").arg(n);
    return names;
}

struct WaveInfo
{
    QString error;          // empty when the file is a well-formed PCM WAVE file
    quint16 formatTag = 0;
    quint16 channels = 0;
    quint32 sampleRate = 0;
    quint16 bitsPerSample = 0;
    QVector<qint16> samples;
};

quint16 le16(const char *p) { return qFromLittleEndian<quint16>(p); }
quint32 le32(const char *p) { return qFromLittleEndian<quint32>(p); }

// Reads a RIFF/WAVE file chunk by chunk, checking every length against the file.
WaveInfo readWave(const QByteArray &file)
{
    WaveInfo info;
    if (file.size() < 12 || !file.startsWith("RIFF") || file.mid(8, 4) != "WAVE") {
        info.error = "no RIFF/WAVE header";
        return info;
    }
    if (le32(file.constData() + 4) != quint32(file.size() - 8)) {
        info.error = "RIFF size does not match the file";
        return info;
    }
    bool haveFormat = false;
    bool haveData = false;
    qsizetype pos = 12;
    while (pos + 8 <= file.size()) {
        const QByteArray id = file.mid(pos, 4);
        const quint32 size = le32(file.constData() + pos + 4);
        const qsizetype body = pos + 8;
        if (size > quint32(file.size() - body)) {
            info.error = "chunk " + QString::fromLatin1(id) + " runs past the end";
            return info;
        }
        if (id == "fmt ") {
            if (size < 16) {
                info.error = "short fmt chunk";
                return info;
            }
            const char *f = file.constData() + body;
            info.formatTag = le16(f);
            info.channels = le16(f + 2);
            info.sampleRate = le32(f + 4);
            const quint32 byteRate = le32(f + 8);
            const quint16 blockAlign = le16(f + 12);
            info.bitsPerSample = le16(f + 14);
            if (blockAlign != info.channels * info.bitsPerSample / 8
                || byteRate != info.sampleRate * blockAlign) {
                info.error = "inconsistent fmt chunk";
                return info;
            }
            haveFormat = true;
        } else if (id == "data") {
            if (!haveFormat || size % 2 != 0) {
                info.error = "data chunk before fmt, or odd length";
                return info;
            }
            const char *d = file.constData() + body;
            info.samples.resize(size / 2);
            for (quint32 i = 0; i < size / 2; ++i)
                info.samples[i] = qFromLittleEndian<qint16>(d + 2 * i);
            haveData = true;
        }
        pos = body + size + (size & 1);
    }
    if (!haveFormat || !haveData)
        info.error = "fmt or data chunk missing";
    return info;
}

} // namespace

class TestSoundPlayer : public QObject
{
    Q_OBJECT

private slots:
    void clipIsShortCleanPcm_data();
    void clipIsShortCleanPcm();
    void clipsTogetherStaySmall();
    void namesIgnoreCaseAndRejectOthers();
    void playerKeepsOneEffectPerClip();
    void unknownNamesLeaveTheCurrentClipAlone();
    void newClipStopsThePreviousOne();
    void realPlaybackNeverBlocks();
};

void TestSoundPlayer::clipIsShortCleanPcm_data()
{
    QTest::addColumn<QString>("name");
    for (const QString &name : expectedClips())
        QTest::newRow(qPrintable(name)) << name;
}

void TestSoundPlayer::clipIsShortCleanPcm()
{
    QFETCH(QString, name);
    QFile file(":/sounds/" + name + ".wav");
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(name + " is not in the resources"));
    const WaveInfo wave = readWave(file.readAll());
    QVERIFY2(wave.error.isEmpty(), qPrintable(wave.error));

    // Plain PCM (Qt cannot play compressed audio in a WAVE file), mono, 16 bits, at most 22050 Hz.
    QCOMPARE(wave.formatTag, quint16(1));
    QCOMPARE(wave.channels, quint16(1));
    QCOMPARE(wave.bitsPerSample, quint16(16));
    QVERIFY(wave.sampleRate >= 8000 && wave.sampleRate <= 22050);

    const double seconds = double(wave.samples.size()) / wave.sampleRate;
    QVERIFY2(seconds > 0.05 && seconds < 2.0, qPrintable(QString::number(seconds) + " s"));

    int peak = 0;
    for (const qint16 s : wave.samples)
        peak = qMax(peak, qAbs(int(s)));
    // Never at full scale (clipped), never so quiet that it cannot be heard.
    QVERIFY2(peak < 32767 * 0.9, qPrintable("peak " + QString::number(peak)));
    QVERIFY2(peak > 32767 / 10, qPrintable("peak " + QString::number(peak)));

    // Faded in and out: the first and last samples are near silence, so nothing clicks.
    QVERIFY2(qAbs(wave.samples.first()) < 300, qPrintable(QString::number(wave.samples.first())));
    QVERIFY2(qAbs(wave.samples.last()) < 300, qPrintable(QString::number(wave.samples.last())));
}

void TestSoundPlayer::clipsTogetherStaySmall()
{
    qint64 total = 0;
    for (const QString &name : expectedClips())
        total += QFile(":/sounds/" + name + ".wav").size();
    QVERIFY(total > 0);
    QVERIFY2(total < 1000 * 1000, qPrintable(QString::number(total) + " bytes"));
}

void TestSoundPlayer::namesIgnoreCaseAndRejectOthers()
{
    QCOMPARE(SoundPlayer::clipPath("putnum"), QString(":/sounds/putnum.wav"));
    QCOMPARE(SoundPlayer::clipPath("PUTNUM"), QString(":/sounds/putnum.wav"));
    QCOMPARE(SoundPlayer::clipPath("TurnNew"), QString(":/sounds/turnnew.wav"));
    QCOMPARE(SoundPlayer::clipPath("WAVE20"), QString(":/sounds/wave20.wav"));

    // "time" is asked for by the game clock but has no clip.
    const QStringList unknown = {"time", "", "wave0", "wave21", "wave", "putnum.wav",
                                 "../sounds/putnum", "sounds/putnum", " putnum", "PUTNUM\n",
                                 QString::fromUtf8("putnüm"), QString(2000, QLatin1Char('a'))};
    for (const QString &name : unknown)
        QVERIFY2(SoundPlayer::clipPath(name).isEmpty(), qPrintable(name));
}

void TestSoundPlayer::playerKeepsOneEffectPerClip()
{
    SoundPlayer player;
    QCOMPARE(player.loadedCount(), 0);
    QCOMPARE(player.currentClip(), QString());

    player.play("PUTNUM");
    QCOMPARE(player.loadedCount(), 1);
    QCOMPARE(player.currentClip(), QString("putnum"));
    QSoundEffect *first = player.effect("putnum");
    QVERIFY(first);
    QCOMPARE(first->source(), QUrl("qrc:/sounds/putnum.wav"));

    // The same clip in another spelling reuses the loaded effect.
    player.play("putnum");
    player.play("PutNum");
    QCOMPARE(player.loadedCount(), 1);
    QCOMPARE(player.effect("PUTNUM"), first);

    player.play("Wave3");
    QCOMPARE(player.loadedCount(), 2);
    QCOMPARE(player.currentClip(), QString("wave3"));
    QVERIFY(player.effect("wave3") != first);
}

void TestSoundPlayer::unknownNamesLeaveTheCurrentClipAlone()
{
    SoundPlayer player;
    player.play("gameover");
    QSoundEffect *fx = player.effect("gameover");
    QVERIFY(fx);
    const bool playing = fx->isPlaying();

    player.play("time");
    player.play("");
    player.play("wave99");
    QCOMPARE(player.currentClip(), QString("gameover"));
    QCOMPARE(player.loadedCount(), 1);
    QCOMPARE(fx->isPlaying(), playing);
    QVERIFY(!player.effect("time"));
}

void TestSoundPlayer::newClipStopsThePreviousOne()
{
    SoundPlayer player;

    // Cut off while still loading: the first clip must not start late once it has loaded.
    player.play("wave13");
    QSoundEffect *applause = player.effect("wave13");
    QVERIFY(applause);
    QVERIFY(applause->isPlaying());
    player.play("wave12");
    QVERIFY(!applause->isPlaying());
    QTRY_VERIFY_WITH_TIMEOUT(applause->status() != QSoundEffect::Loading, 10000);
    QVERIFY(!applause->isPlaying());

    // Cut off while playing.
    QSoundEffect *ohNo = player.effect("wave12");
    QTRY_VERIFY_WITH_TIMEOUT(ohNo->status() != QSoundEffect::Loading, 10000);
    player.play("wave12");
    QVERIFY(ohNo->isPlaying());
    player.play("PUTNUM");
    QVERIFY(!ohNo->isPlaying());
    QVERIFY(player.effect("putnum")->isPlaying());
    QCOMPARE(player.currentClip(), QString("putnum"));

    player.stop();
    QVERIFY(!player.effect("putnum")->isPlaying());
    QCOMPARE(player.currentClip(), QString());
}

void TestSoundPlayer::realPlaybackNeverBlocks()
{
    // With a sound server this is heard; without one (CI) QSoundEffect stays silent. Either way
    // the request returns at once and the clip settles as loaded or failed, never stuck.
    auto player = std::make_unique<SoundPlayer>();
    QElapsedTimer timer;
    timer.start();
    player->play("right");
    QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed()) + " ms"));

    QSoundEffect *fx = player->effect("right");
    QVERIFY(fx);
    QTRY_VERIFY_WITH_TIMEOUT(fx->status() == QSoundEffect::Ready
                                 || fx->status() == QSoundEffect::Error, 10000);
    if (!QMediaDevices::audioOutputs().isEmpty())
        QCOMPARE(fx->status(), QSoundEffect::Ready);

    // Replays and a quick run of other clips never wait either; the player then goes away
    // with a clip still sounding.
    timer.restart();
    for (const char *name : {"right", "wave18", "entered", "right"})
        player->play(name);
    QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed()) + " ms"));
    QSoundEffect *last = player->effect("entered");
    QTRY_VERIFY_WITH_TIMEOUT(last->status() != QSoundEffect::Loading, 10000);
    player.reset();
}

QTEST_MAIN(TestSoundPlayer)
#include "test_soundplayer.moc"
