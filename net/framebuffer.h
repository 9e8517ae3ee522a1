#pragma once

#include <QByteArray>
#include <QList>

// Cuts a connection's byte stream into messages at every 0xFF terminator.
// The text after the last terminator waits in the pending text until the
// next read completes it.
class FrameBuffer
{
public:
    static constexpr char Terminator = '\xFF';
    // The largest message a peer may send to the host, its terminator
    // included. The host refuses and closes a peer that sends a longer one,
    // however its bytes arrive.
    static constexpr qsizetype MaxMessage = 16 * 1024;
    // A client lets its host go once the unterminated text grows past this.
    // Everything the host sends (a relay is a peer's message with a name in
    // front) is shorter, so it always fits.
    static constexpr qsizetype MaxPending = 64 * 1024;

    // A buffer with no message limit of its own (only the pending cap), or
    // one that refuses any message longer than maxMessage bytes with its
    // terminator.
    explicit FrameBuffer(qsizetype maxMessage = 0) : m_maxMessage(maxMessage) {}

    // Appends received bytes and returns the messages completed by them, in
    // order, without their terminators (an empty message stays in the list).
    // Once a message is too long, it and everything after it is dropped and
    // overflowed() stays true.
    QList<QByteArray> append(const QByteArray &bytes);

    const QByteArray &pending() const { return m_pending; }
    bool overflowed() const { return m_tooLong || m_pending.size() > MaxPending; }
    void clear()
    {
        m_pending.clear();
        m_tooLong = false;
    }

    // The wire form of one message: its text followed by the terminator.
    static QByteArray frame(const QByteArray &text);

private:
    QByteArray m_pending;
    qsizetype m_maxMessage = 0;
    bool m_tooLong = false;
};
