#include "app/appfolders.h"

#include "app/settings.h"
#include "tally/tallytable.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

QString writableFolderOr(const QString &preferred)
{
    const QFileInfo info(preferred);
    if (!preferred.isEmpty() && info.isDir() && info.isWritable())
        return info.absoluteFilePath();
    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QDir().mkpath(config);
    return config;
}

QString settingsFolder()
{
    return writableFolderOr(QCoreApplication::applicationDirPath());
}

QString tallyFolderFor(const QString &preferred, const QString &configFolder, const QString &dataFolder)
{
    const QFileInfo info(preferred);
    if (!preferred.isEmpty() && info.isDir() && info.isWritable())
        return info.absoluteFilePath();
    QDir().mkpath(dataFolder);
    const QString name = TallyTable::fileName();
    const QString old = QDir(configFolder).filePath(name);
    const QString now = QDir(dataFolder).filePath(name);
    if (QFileInfo(old).isFile() && !QFileInfo::exists(now)) {
        // Across file systems a rename fails: copy, and let the old one go
        // only once the copy is whole.
        if (!QFile::rename(old, now) && QFile::copy(old, now))
            QFile::remove(old);
    }
    return dataFolder;
}

QString tallyFolder()
{
    return tallyFolderFor(QCoreApplication::applicationDirPath(),
                          QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation),
                          QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

QString settingsFilePath()
{
    return QDir(settingsFolder()).filePath(QString::fromLatin1(Settings::FileName));
}

void removeLeftoverSaveFiles(const QString &folder)
{
    // A save writes a temporary file named after its file and six letters
    // or digits and renames it over the file. Names of that form that are
    // all small letters ("backup") or hold no capital at all are more likely
    // the player's own than ours, and are left alone.
    static const QRegularExpression ours(QStringLiteral("^(%1|%2)\\.(?=[A-Za-z0-9]*[A-Z])"
                                                        "(?=[A-Za-z0-9]*[a-z0-9])[A-Za-z0-9]{6}$")
                                             .arg(QRegularExpression::escape(QString::fromLatin1(Settings::FileName)),
                                                  QRegularExpression::escape(TallyTable::fileName())));
    const QDir dir(folder);
    for (const QFileInfo &entry : dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (entry.isSymLink() || !entry.isFile() || !ours.match(entry.fileName()).hasMatch())
            continue;
        QFile::remove(entry.absoluteFilePath());
    }
}

QString saveFailureLine(SaveFailure what, const QString &path)
{
    const bool tally = what == SaveFailure::Tally;
    return QStringLiteral("The %1 could not be saved to \"%2\". %3 kept in memory until they can be saved; "
                          "the game tries again at the next save.")
        .arg(tally ? QStringLiteral("tally") : QStringLiteral("settings"), path,
             tally ? QStringLiteral("The results of this run are") : QStringLiteral("The changes made in this run are"));
}
