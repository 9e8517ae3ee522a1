#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QTimer>

#include <deque>
#include <functional>

// The receive queue of one side and the timer that empties it: one entry per
// tick, each handed to the handler whose name matches exactly. The timer runs
// only while entries wait, so an idle game does not wake up. Every entry
// remembers where it came from (the host numbers its connections), so a
// handler knows its sender's connection. Each origin keeps its own order, and
// the origins take turns: one peer's backlog delays another's next message by
// at most one tick per other busy origin. Words between players (chat,
// actions, sounds) are the bulk of a busy game, and a move should not wait
// behind them: a game message from an origin with nothing waiting takes its
// turn before every origin already waiting, after other such moves in their
// arrival order, provided its last turn is as many ticks back as there are
// origins waiting, so that no origin gets more than its share of ticks.
// With a single origin (the client) this is plain arrival order.
class Dispatcher : public QObject
{
    Q_OBJECT
public:
    // handler(argument text after the first "+", origin of the entry)
    using Handler = std::function<void(const QByteArray &args, int origin)>;
    using ErrorSink = std::function<void(const QString &text)>;

    explicit Dispatcher(int intervalMs, QObject *parent = nullptr);

    void setHandler(const QByteArray &name, Handler handler);
    // The names of the messages that only pass words between players; every
    // other name is a game message.
    void setWords(const QList<QByteArray> &names);
    // Where the text of an exception that ended a handler goes (a message box
    // in the program, a list in tests).
    void setErrorSink(ErrorSink sink) { m_errorSink = std::move(sink); }

    // Queues one message text. An entry that finds the queue idle is taken at
    // the next turn of the event loop when the last one was taken at least a
    // tick ago, else when that tick is up: the pace stays one entry a tick.
    void enqueue(const QByteArray &text, int origin = 0);
    // Entries waiting that came from the given origin.
    int pendingFrom(int origin) const;
    // Forgets every entry waiting from the given origin (its peer is gone).
    void discard(int origin);
    int size() const { return m_size; }
    bool timerActive() const { return m_timer.isActive(); }
    // Milliseconds until the next entry is taken; -1 while the queue is idle.
    int msUntilNext() const { return m_timer.remainingTime(); }

    // Takes the first entry and dispatches it; returns false when the queue
    // was empty. The timer calls this; tests may call it directly.
    bool dispatchOne();

    // Splits an entry at its first "+"; an entry without "+" has no name.
    static void splitEntry(const QByteArray &entry, QByteArray &name, QByteArray &args);

private:
    bool isWords(const QByteArray &text) const;
    // The origin's last turn is at least `turns` ticks back.
    bool quietFor(int origin, size_t turns) const;

    // One queue per origin that has entries waiting, and the turn order of
    // those origins.
    QHash<int, std::deque<QByteArray>> m_queues;
    std::deque<int> m_turns;
    // How many origins at the front of the turn order came with a game message.
    int m_moves = 0;
    // When the last entry was taken, and when each origin last had its turn
    // (milliseconds on m_clock; -1: never).
    QElapsedTimer m_clock;
    qint64 m_lastTakeMs = -1;
    QHash<int, qint64> m_lastTurn;
    QList<QByteArray> m_words;
    int m_size = 0;
    QHash<QByteArray, Handler> m_handlers;
    ErrorSink m_errorSink;
    QTimer m_timer;
    int m_interval;
};
