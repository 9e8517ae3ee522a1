#include "app/modules.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>
#include <QStringList>

ModuleEntry findModuleEntry(const QString &name, const char *symbol, const QString &onlyPath)
{
    QStringList candidates;
    if (!onlyPath.isEmpty()) {
        candidates << onlyPath;
    } else {
        const QString here = QCoreApplication::applicationDirPath();
        candidates << here + u'/' + name << here + QStringLiteral("/" SUDOKU_MODULE_DIR "/") + name;
    }
    ModuleEntry entry;
    for (const QString &path : std::as_const(candidates)) {
        QLibrary module(path);
        if ((entry.function = module.resolve(symbol))) {
            entry.present = true;
            return entry;
        }
        entry.present = entry.present || QFileInfo::exists(path) ||
                        QFileInfo::exists(path + QStringLiteral(".so"));
        if (entry.error.isEmpty())
            entry.error = module.errorString();
    }
    return entry;
}
