#include "app/singleinstance.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocalSocket>
#include <QRegularExpression>
#include <QStandardPaths>

#include <unistd.h>

namespace {

QString runtimeFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    QDir().mkpath(folder);
    return folder;
}

} // namespace

SingleInstance::SingleInstance(const QString &name, QObject *parent) : QObject(parent), m_name(name)
{
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *peer = m_server.nextPendingConnection()) {
            connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            peer->disconnectFromServer();
            emit raiseRequested();
        }
    });
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::keyFor(const QString &name)
{
    QString display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty())
        display = qEnvironmentVariable("WAYLAND_DISPLAY");
    // The numeric user id: the environment may lack USER or name another.
    const QString user = QString::number(qulonglong(::getuid()));
    QString key = name + QLatin1Char('-') + user + QLatin1Char('-') + display;
    key.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_.-]")), QStringLiteral("_"));
    return key;
}

bool SingleInstance::claim()
{
    const QString key = keyFor(m_name);
    m_lock = std::make_unique<QLockFile>(runtimeFolder() + QLatin1Char('/') + key + QStringLiteral(".lock"));
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(100)) {
        // Another instance runs: ask it to come forward, then give way.
        QLocalSocket socket;
        socket.connectToServer(key);
        if (socket.waitForConnected(1000))
            socket.waitForDisconnected(1000);
        m_lock.reset();
        return false;
    }
    QLocalServer::removeServer(key);
    m_server.listen(key);

    // The second name, held and never tested.
    m_secondLock = std::make_unique<QLockFile>(runtimeFolder() + QLatin1Char('/')
                                               + keyFor(QStringLiteral("sudoku")) + QStringLiteral(".lock"));
    m_secondLock->tryLock(0);
    return true;
}
