#include "app/appfolders.h"

#include "app/settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
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

QString settingsFilePath()
{
    return QDir(settingsFolder()).filePath(QString::fromLatin1(Settings::FileName));
}
