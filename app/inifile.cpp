#include "app/inifile.h"

#include "base/regularfile.h"

#include <QFile>
#include <QSaveFile>

#include <string>

namespace IniFile {

ReadResult readBytes(const QString &path, QByteArray &data)
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
    data = file.readAll();
    return file.error() == QFileDevice::NoError ? ReadResult::Read : ReadResult::Unreadable;
}

bool parse(CSimpleIniA &ini, const QByteArray &text)
{
    return ini.LoadData(text.constData(), size_t(text.size())) >= 0;
}

ReadResult read(CSimpleIniA &ini, const QString &path)
{
    QByteArray data;
    const ReadResult result = readBytes(path, data);
    if (result != ReadResult::Read)
        return result;
    return parse(ini, data) ? ReadResult::Read : ReadResult::Unreadable;
}

std::optional<QByteArray> rewriteText(const QByteArray &text, const std::function<void(CSimpleIniA &)> &setKeys)
{
    CSimpleIniA ini;
    ini.SetSpaces(false);
    if (!parse(ini, text))
        return std::nullopt;
    setKeys(ini);
    std::string saved;
    if (ini.Save(saved) < 0)
        return std::nullopt;
    return QByteArray(saved.data(), qsizetype(saved.size()));
}

bool rewrite(const QString &path, const std::function<void(CSimpleIniA &)> &setKeys)
{
    QByteArray old;
    if (readBytes(path, old) == ReadResult::Unreadable)
        return false;
    const std::optional<QByteArray> text = rewriteText(old, setKeys);
    if (!text)
        return false;

    // Unbuffered, so that a failing write is seen here: a write error
    // during the flush inside commit() would not stop the rename.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    if (file.write(*text) != text->size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace IniFile
