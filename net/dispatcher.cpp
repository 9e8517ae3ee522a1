#include "net/dispatcher.h"

#include "base/errors.h"

#include <algorithm>

Dispatcher::Dispatcher(int intervalMs, QObject *parent) : QObject(parent)
{
    m_timer.setInterval(intervalMs);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] { dispatchOne(); });
}

void Dispatcher::setHandler(const QByteArray &name, Handler handler)
{
    m_handlers.insert(name, std::move(handler));
}

void Dispatcher::enqueue(const QByteArray &text, int origin)
{
    m_queue.push_back({text, origin});
    if (!m_timer.isActive())
        m_timer.start();
}

int Dispatcher::pendingFrom(int origin) const
{
    return static_cast<int>(std::count_if(m_queue.begin(), m_queue.end(),
                                          [origin](const Entry &e) { return e.origin == origin; }));
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
    if (m_queue.empty()) {
        m_timer.stop();
        return false;
    }
    const Entry entry = std::move(m_queue.front());
    m_queue.pop_front();
    // Nothing left to wait for: the timer sleeps until the next entry comes.
    if (m_queue.empty())
        m_timer.stop();

    QByteArray name, args;
    splitEntry(entry.text, name, args);
    if (name.isEmpty())
        return true;
    const auto it = m_handlers.constFind(name);
    if (it == m_handlers.constEnd())
        return true;
    try {
        it.value()(args, entry.origin);
    } catch (const std::exception &e) {
        if (m_errorSink)
            m_errorSink(QString::fromUtf8(e.what()));
    }
    return true;
}
