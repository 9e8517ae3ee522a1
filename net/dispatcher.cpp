#include "net/dispatcher.h"

#include "base/errors.h"

#include <algorithm>

Dispatcher::Dispatcher(int intervalMs, QObject *parent)
    : QObject(parent), m_timer(this) /* moves with the dispatcher to another thread */, m_interval(intervalMs)
{
    m_clock.start();
    m_timer.setInterval(intervalMs);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] { dispatchOne(); });
}

void Dispatcher::setHandler(const QByteArray &name, Handler handler)
{
    m_handlers.insert(name, std::move(handler));
}

void Dispatcher::setWords(const QList<QByteArray> &names)
{
    m_words = names;
}

bool Dispatcher::isWords(const QByteArray &text) const
{
    const qsizetype plus = text.indexOf('+');
    const QByteArrayView name = QByteArrayView(text).first(plus < 0 ? 0 : plus);
    return std::any_of(m_words.cbegin(), m_words.cend(), [name](const QByteArray &w) { return name == w; });
}

bool Dispatcher::quietFor(int origin, size_t turns) const
{
    const auto last = m_lastTurn.constFind(origin);
    return last == m_lastTurn.constEnd() || m_clock.elapsed() - *last >= qint64(turns) * m_interval;
}

void Dispatcher::enqueue(const QByteArray &text, int origin)
{
    std::deque<QByteArray> &queue = m_queues[origin];
    if (!queue.empty()) {
        // It keeps its place behind what its origin sent before.
    } else if (m_words.isEmpty() || isWords(text) || !quietFor(origin, m_turns.size())) {
        m_turns.push_back(origin);
    } else {
        m_turns.insert(m_turns.begin() + m_moves, origin);
        ++m_moves;
    }
    queue.push_back(text);
    ++m_size;
    if (!m_timer.isActive()) {
        const qint64 since = m_lastTakeMs < 0 ? m_interval : m_clock.elapsed() - m_lastTakeMs;
        m_timer.start(int(std::max<qint64>(0, m_interval - since)));
    }
}

int Dispatcher::pendingFrom(int origin) const
{
    const auto it = m_queues.constFind(origin);
    return it == m_queues.constEnd() ? 0 : static_cast<int>(it->size());
}

void Dispatcher::discard(int origin)
{
    m_lastTurn.remove(origin);
    const auto it = m_queues.find(origin);
    if (it == m_queues.end())
        return;
    m_size -= static_cast<int>(it->size());
    m_queues.erase(it);
    const auto turn = std::find(m_turns.begin(), m_turns.end(), origin);
    if (turn - m_turns.begin() < m_moves)
        --m_moves;
    m_turns.erase(turn);
    if (m_size == 0)
        m_timer.stop();
}

void Dispatcher::splitEntry(const QByteArray &entry, QByteArray &name, QByteArray &args)
{
    const qsizetype plus = entry.indexOf('+');
    if (plus < 0) {
        name.clear();
        args.clear();
        return;
    }
    name = entry.left(plus);
    args = entry.mid(plus + 1);
}

bool Dispatcher::dispatchOne()
{
    if (m_turns.empty()) {
        m_timer.stop();
        return false;
    }
    m_lastTakeMs = m_clock.elapsed();
    if (m_timer.isActive() && m_timer.interval() != m_interval)
        m_timer.start(m_interval); // after a first entry taken early, the usual pace
    const int origin = m_turns.front();
    m_turns.pop_front();
    if (m_moves > 0)
        --m_moves;
    m_lastTurn.insert(origin, m_lastTakeMs);
    const auto queue = m_queues.find(origin);
    const QByteArray text = std::move(queue->front());
    queue->pop_front();
    --m_size;
    if (queue->empty())
        m_queues.erase(queue);
    else
        m_turns.push_back(origin); // its next entry waits for the others' turns
    // Nothing left to wait for: the timer sleeps until the next entry comes.
    if (m_size == 0)
        m_timer.stop();

    QByteArray name, args;
    splitEntry(text, name, args);
    if (name.isEmpty())
        return true;
    const auto it = m_handlers.constFind(name);
    if (it == m_handlers.constEnd())
        return true;
    try {
        it.value()(args, origin);
    } catch (const std::exception &e) {
        if (m_errorSink)
            m_errorSink(QString::fromUtf8(e.what()));
    }
    return true;
}
