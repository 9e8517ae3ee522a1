#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

// Opening an address with the desktop's handler and starting another program
// go through here, so tests can put in a recorder instead.
class Launcher
{
public:
    virtual ~Launcher() = default;
    virtual bool openUrl(const QUrl &url);
    virtual bool startDetached(const QString &program, const QStringList &arguments);

    static Launcher &instance();
    // Replaces the launcher (nullptr puts the real one back); the caller keeps ownership.
    static void setInstance(Launcher *launcher);
};
