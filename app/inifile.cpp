#include "app/inifile.h"

#include "tally/regularfile.h"

#include <QFile>
#include <QSaveFile>

#include <string>

namespace IniFile {

ReadResult read(CSimpleIniA &ini, const QString &path)
{
    QFile file;
    switch (openRegularFile(file, path)) {
    case RegularFileOpen::Opened:
        break;
    case RegularFileOpen::Missing:
        return ReadResult::Missing;
    case RegularFileOpen::NotRegular:
    case RegularFileOpen::Failed:
        return ReadResult::Unreadable;
    }
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return ReadResult::Unreadable;
    if (ini.LoadData(data.constData(), size_t(data.size())) < 0)
        return ReadResult::Unreadable;
    return ReadResult::Read;
}

bool rewrite(const QString &path, const std::function<void(CSimpleIniA &)> &setKeys)
{
    CSimpleIniA ini;
    ini.SetSpaces(false);
    if (read(ini, path) == ReadResult::Unreadable)
        return false;
    setKeys(ini);
    std::string text;
    if (ini.Save(text) < 0)
        return false;

    // Unbuffered, so that a failing write is seen here: a write error
    // during the flush inside commit() would not stop the rename.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    if (file.write(text.data(), qint64(text.size())) != qint64(text.size())) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace IniFile
