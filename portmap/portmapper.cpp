#include "portmap/portmapper.h"

#include <QSemaphore>
#include <QThread>

#include <atomic>

namespace {
// How long the destructor waits for the router to confirm a removal, and
// then for the worker to finish a call already under way.
constexpr int DestructorWaitMs = 1500;
} // namespace

PortMapper::PortMapper(QObject *parent) : PortMapper(PortMapConfig{}, parent) {}

PortMapper::PortMapper(const PortMapConfig &config, QObject *parent)
    : QObject(parent), m_config(config), m_session(std::make_shared<RouterSession>(config))
{
    m_deadline.setSingleShot(true);
    m_renewal.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &PortMapper::onDeadline);
    connect(&m_renewal, &QTimer::timeout, this, [this] {
        if (m_state == State::Mapped)
            post(PortMapWorker::Renew, m_attempt);
    });

    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("portmap"));
    m_worker = new PortMapWorker;
    m_worker->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_worker, &PortMapWorker::done, this, &PortMapper::onDone, Qt::QueuedConnection);
    m_thread->start();
}

PortMapper::~PortMapper()
{
    // Even when idle: a close queued after a timed-out attempt may still wait.
    abandonAttempt();
    m_state = State::Idle;
    closeAndWait(DestructorWaitMs);
    disconnect(m_worker, nullptr, this, nullptr);
    m_thread->quit();
    if (m_thread->wait(QDeadlineTimer(DestructorWaitMs))) {
        delete m_thread;
    } else {
        // A router call is stuck until the library's socket timeout; the
        // thread ends on its own and is left to the process's end.
        m_thread->setParent(nullptr);
        connect(m_thread, &QThread::finished, m_thread, &QObject::deleteLater);
    }
}

void PortMapper::post(PortMapWorker::Job job, int attempt)
{
    std::shared_ptr<RouterSession> session = m_session;
    PortMapWorker *worker = m_worker;
    const quint16 port = m_port;
    QMetaObject::invokeMethod(
        m_worker,
        [session, worker, job, attempt, port] {
            PortMapOutcome outcome;
            switch (job) {
            case PortMapWorker::Open: outcome = session->open(port); break;
            case PortMapWorker::Renew: outcome = session->renew(); break;
            case PortMapWorker::Close: outcome = session->close(); break;
            }
            emit worker->done(attempt, job, outcome);
        },
        Qt::QueuedConnection);
}

void PortMapper::start(quint16 port)
{
    if (m_state == State::Starting || m_state == State::Mapped)
        return;
    m_port = port;
    m_state = State::Starting;
    ++m_attempt;
    m_deadline.start(m_config.answerTimeoutMs);
    post(PortMapWorker::Open, m_attempt);
}

void PortMapper::abandonAttempt()
{
    m_deadline.stop();
    m_renewal.stop();
    ++m_attempt;
    // An open still under way ends at its next poll; the close queued
    // behind it removes whatever it managed to open.
    m_session->cancelled = true;
}

void PortMapper::onDeadline()
{
    if (m_state != State::Starting)
        return;
    abandonAttempt();
    m_state = State::Idle;
    post(PortMapWorker::Close, m_attempt);
    emit failed(QStringLiteral("The router did not answer within %1 seconds.")
                    .arg(double(m_config.answerTimeoutMs) / 1000.0, 0, 'g', 3));
}

void PortMapper::stop()
{
    if (m_state == State::Idle || m_state == State::Stopping)
        return;
    abandonAttempt();
    m_state = State::Stopping;
    post(PortMapWorker::Close, m_attempt);
}

bool PortMapper::stopNow(int msTimeout)
{
    if (m_state == State::Idle)
        return true;
    abandonAttempt();
    m_state = State::Idle;
    return closeAndWait(msTimeout);
}

bool PortMapper::closeAndWait(int msTimeout)
{
    auto answered = std::make_shared<QSemaphore>();
    auto removed = std::make_shared<std::atomic<bool>>(false);
    std::shared_ptr<RouterSession> session = m_session;
    QMetaObject::invokeMethod(
        m_worker,
        [session, answered, removed] {
            *removed = session->close().ok;
            answered->release();
        },
        Qt::QueuedConnection);
    return answered->tryAcquire(1, msTimeout) && *removed;
}

void PortMapper::scheduleRenewal(int leaseSeconds)
{
    if (leaseSeconds <= 0) {
        m_leaseEnd = QDeadlineTimer(QDeadlineTimer::Forever);
        return;
    }
    m_leaseEnd = QDeadlineTimer(qint64(leaseSeconds) * 1000);
    m_renewal.start(std::max(leaseSeconds * 1000 / 2, 1));
}

void PortMapper::onDone(int attempt, int job, const PortMapOutcome &outcome)
{
    if (attempt != m_attempt)
        return;
    switch (job) {
    case PortMapWorker::Open:
        if (m_state != State::Starting)
            return;
        m_deadline.stop();
        if (!outcome.ok) {
            m_state = State::Idle;
            emit failed(outcome.reason);
            return;
        }
        m_state = State::Mapped;
        scheduleRenewal(outcome.leaseSeconds);
        emit mapped(outcome.externalAddress, outcome.externalPort, outcome.method);
        return;
    case PortMapWorker::Renew:
        if (m_state != State::Mapped)
            return;
        if (outcome.ok) {
            scheduleRenewal(outcome.leaseSeconds);
        } else if (m_leaseEnd.remainingTime() > m_config.renewRetryMs) {
            m_renewal.start(m_config.renewRetryMs);
        } else {
            // The lease runs out: give the port up and say so.
            abandonAttempt();
            m_state = State::Idle;
            post(PortMapWorker::Close, m_attempt);
            emit failed(outcome.reason);
        }
        return;
    case PortMapWorker::Close:
        if (m_state != State::Stopping)
            return;
        m_state = State::Idle;
        emit unmapped(outcome.ok, outcome.reason);
        return;
    }
}
