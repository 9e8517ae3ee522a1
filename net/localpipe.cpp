#include "net/localpipe.h"

#include "base/errors.h"

#include <QMutex>
#include <QMutexLocker>

#include <utility>

// What the two ends share: each one's mail, which end still exists, and
// whether the pipe is open. The mutex guards all of it; an end posts to its
// peer only under the mutex, so the peer cannot be destroyed meanwhile, and
// an event posted to an end that is later destroyed is dropped with it.
struct PipeShared
{
    QMutex mutex;
    PipeEnd *ends[2] = {nullptr, nullptr};
    QByteArray inbox[2];
    bool wakePosted[2] = {false, false};
    bool open = true;
};

std::pair<PipeEnd *, PipeEnd *> PipeEnd::makePair()
{
    auto shared = std::make_shared<PipeShared>();
    auto *a = new PipeEnd(shared, 0);
    auto *b = new PipeEnd(shared, 1);
    shared->ends[0] = a;
    shared->ends[1] = b;
    return {a, b};
}

PipeEnd::PipeEnd(std::shared_ptr<PipeShared> shared, int side) : m_shared(std::move(shared)), m_side(side)
{
}

PipeEnd::~PipeEnd()
{
    shut();
    QMutexLocker lock(&m_shared->mutex);
    m_shared->ends[m_side] = nullptr;
}

void PipeEnd::shut()
{
    QMutexLocker lock(&m_shared->mutex);
    if (!std::exchange(m_shared->open, false))
        return;
    if (PipeEnd *peer = m_shared->ends[1 - m_side])
        QMetaObject::invokeMethod(peer, &PipeEnd::peerGone, Qt::QueuedConnection);
}

void PipeEnd::send(const QByteArray &bytes)
{
    if (!m_connected)
        throw ESockException(QStringLiteral("Send - Socket Not Connected"));
    QMutexLocker lock(&m_shared->mutex);
    if (!m_shared->open)
        return; // the peer has gone: its "Socket Closed" is on its way here
    const int peerSide = 1 - m_side;
    QByteArray &mail = m_shared->inbox[peerSide];
    if (mail.size() + bytes.size() > MaxUnsent) {
        // The peer has stopped reading: let it go rather than pile up mail.
        lock.unlock();
        close();
        return;
    }
    mail.append(bytes);
    PipeEnd *peer = m_shared->ends[peerSide];
    if (peer && !std::exchange(m_shared->wakePosted[peerSide], true))
        QMetaObject::invokeMethod(peer, &PipeEnd::deliver, Qt::QueuedConnection);
}

void PipeEnd::deliver()
{
    QByteArray mail;
    {
        QMutexLocker lock(&m_shared->mutex);
        m_shared->wakePosted[m_side] = false;
        mail.swap(m_shared->inbox[m_side]);
    }
    if (mail.isEmpty() || !m_connected)
        return;
    m_input.append(mail);
    emit readReady(this, m_input.size());
}

QByteArray PipeEnd::receiveAll()
{
    if (!m_connected && m_input.isEmpty())
        throw ESockException(QStringLiteral("Receive - Socket Not Connected"));
    QByteArray all;
    all.swap(m_input);
    return all;
}

void PipeEnd::peerGone()
{
    // What the peer sent before it went was posted before this, and is read.
    if (!m_connected)
        return;
    emit peerClosed(this);
    close();
}

void PipeEnd::close()
{
    m_connected = false;
    shut();
    emit info(this, InfoClosed, closedText());
}
