#include "app/launcher.h"

#include <QDesktopServices>
#include <QProcess>

namespace {
Launcher *g_override = nullptr;
}

bool Launcher::openUrl(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

bool Launcher::startDetached(const QString &program, const QStringList &arguments)
{
    return QProcess::startDetached(program, arguments);
}

Launcher &Launcher::instance()
{
    static Launcher real;
    return g_override ? *g_override : real;
}

void Launcher::setInstance(Launcher *launcher)
{
    g_override = launcher;
}
