#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QTimer>

#include <deque>
#include <functional>

// The receive queue of one side and the timer that empties it: one entry per
// tick, in arrival order, each handed to the handler whose name matches
// exactly. The timer runs only while the queue holds entries, so an idle game
// does not wake up. Every entry remembers where it came from (the host
// numbers its connections), so a handler knows its sender's connection.
class Dispatcher : public QObject
{
    Q_OBJECT
public:
    // handler(argument text after the first "+", origin of the entry)
    using Handler = std::function<void(const QByteArray &args, int origin)>;
    using ErrorSink = std::function<void(const QString &text)>;

    explicit Dispatcher(int intervalMs, QObject *parent = nullptr);

    void setHandler(const QByteArray &name, Handler handler);
    // Where the text of an exception that ended a handler goes (a message box
    // in the program, a list in tests).
    void setErrorSink(ErrorSink sink) { m_errorSink = std::move(sink); }

    // Queues one message text; starts the timer if it was idle.
    void enqueue(const QByteArray &text, int origin = 0);
    // Entries waiting that came from the given origin.
    int pendingFrom(int origin) const;
    int size() const { return static_cast<int>(m_queue.size()); }
    bool timerActive() const { return m_timer.isActive(); }

    // Takes the first entry and dispatches it; returns false when the queue
    // was empty. The timer calls this; tests may call it directly.
    bool dispatchOne();

    // Splits an entry at its first "+"; an entry without "+" has no name.
    static void splitEntry(const QByteArray &entry, QByteArray &name, QByteArray &args);

private:
    struct Entry
    {
        QByteArray text;
        int origin;
    };
    std::deque<Entry> m_queue;
    QHash<QByteArray, Handler> m_handlers;
    ErrorSink m_errorSink;
    QTimer m_timer;
};
