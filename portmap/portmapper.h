#pragma once

#include "portmap/routersession.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class QThread;

// Lives on the worker thread and runs the router talk posted to it, one
// request after another, so a close always follows the open before it.
class PortMapWorker : public QObject {
    Q_OBJECT
public:
    enum Job { Open, Renew, Close };
    Q_ENUM(Job)
signals:
    void done(int attempt, int job, const PortMapOutcome &outcome);
};

// Asks the home router to forward a TCP port to this machine: UPnP IGD
// first, NAT-PMP where no IGD answers. It never blocks the caller's thread
// except in stopNow(), renews the lease while it runs, and removes the
// forward on stop(), stopNow() or destruction.
class PortMapper : public QObject {
    Q_OBJECT
public:
    explicit PortMapper(QObject *parent = nullptr);
    explicit PortMapper(const PortMapConfig &config, QObject *parent = nullptr);
    // Removes a forward still open (waiting at most a second or two).
    ~PortMapper() override;

    // Starts asking for `port` (outside port = inside port where the router
    // allows it). Answered by mapped() or failed(). Ignored while a request
    // is under way or a port is open: stop first.
    void start(quint16 port);
    // Removes the forward in the background; unmapped() tells when done.
    void stop();
    // Removes the forward and waits for the router's answer at most
    // msTimeout; true when the router confirmed. For quit handlers.
    bool stopNow(int msTimeout);

    bool isStarting() const { return m_state == State::Starting; }
    bool isMapped() const { return m_state == State::Mapped; }

signals:
    void mapped(const QString &externalAddress, quint16 externalPort, const QString &method);
    void failed(const QString &plainReason);
    // After stop(): whether the router confirmed the removal.
    void unmapped(bool removed, const QString &plainReason);

private:
    enum class State { Idle, Starting, Mapped, Stopping };

    void post(PortMapWorker::Job job, int attempt);
    void onDone(int attempt, int job, const PortMapOutcome &outcome);
    void onDeadline();
    void scheduleRenewal(int leaseSeconds);
    void abandonAttempt();
    bool closeAndWait(int msTimeout);

    PortMapConfig m_config;
    State m_state = State::Idle;
    // Answers of an attempt given up (timed out, stopped) are dropped.
    int m_attempt = 0;
    quint16 m_port = 0;
    QTimer m_deadline;
    QTimer m_renewal;
    QDeadlineTimer m_leaseEnd;
    QThread *m_thread = nullptr;
    PortMapWorker *m_worker = nullptr;
    std::shared_ptr<RouterSession> m_session;
};
