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
    // A peer whose unterminated text grows past this is misbehaving.
    static constexpr qsizetype MaxPending = 64 * 1024;

    // Appends received bytes and returns the messages completed by them, in
    // order, without their terminators (an empty message stays in the list).
    QList<QByteArray> append(const QByteArray &bytes);

    const QByteArray &pending() const { return m_pending; }
    bool overflowed() const { return m_pending.size() > MaxPending; }
    void clear() { m_pending.clear(); }

    // The wire form of one message: its text followed by the terminator.
    static QByteArray frame(const QByteArray &text);

private:
    QByteArray m_pending;
};
