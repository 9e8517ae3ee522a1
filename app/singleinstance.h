#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>

#include <memory>

// One game per user and display. The first instance holds a lock file and a
// local server of the same name; a second start tells the first to come
// forward through that server and then ends quietly.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    // name: the instance's name, "kivnerb"; a second lock named "sudoku" is
    // held for the life of the process as well.
    explicit SingleInstance(const QString &name, QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this process is the first: it then keeps the name. False
    // when another instance runs: that one has been asked to come forward.
    bool claim();

    // The key for this user (by numeric id) and display.
    static QString keyFor(const QString &name);

signals:
    // Another start asked this instance's window to come forward.
    void raiseRequested();

private:
    QString m_name;
    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<QLockFile> m_secondLock;
    QLocalServer m_server;
};
