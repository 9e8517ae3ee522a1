#pragma once

#include "net/connection.h"
#include "base/errors.h"
#include "net/framebuffer.h"

#include <QByteArray>
#include <QList>

#include <functional>

// A connection without a socket: it keeps every message sent to it, takes
// bytes from the test as if they had arrived, and closes like a TSock does
// ("Socket Closed" on every close, peerClosed before the close on a peer's
// hang-up).
class FakeConnection : public Connection
{
public:
    explicit FakeConnection(QObject *parent = nullptr) : Connection(parent) {}

    void send(const QByteArray &bytes) override
    {
        if (!m_connected)
            throw ESockException(QStringLiteral("Send - Socket Not Connected"));
        if (onSend)
            onSend(this, bytes);
        rawSent += bytes;
        // Split at the terminators; a send without one is kept until it comes.
        for (const QByteArray &text : m_sentFrames.append(bytes))
            sent.append(text);
    }

    QByteArray receiveAll() override
    {
        if (!m_connected && m_input.isEmpty())
            throw ESockException(QStringLiteral("Receive - Socket Not Connected"));
        QByteArray all;
        all.swap(m_input);
        return all;
    }

    void close() override
    {
        m_connected = false;
        ++closeCount;
        emit info(this, InfoClosed, closedText());
    }

    bool isConnected() const override { return m_connected; }

    // Bytes from the peer: buffered, then announced as a read.
    void feed(const QByteArray &bytes)
    {
        m_input += bytes;
        emit readReady(this, m_input.size());
    }
    // One message with its terminator.
    void feedMessage(const QByteArray &text) { feed(FrameBuffer::frame(text)); }

    // The peer hangs up.
    void peerClose()
    {
        emit peerClosed(this);
        close();
    }

    // The messages received since the last call, and forgets them.
    QList<QByteArray> takeSent()
    {
        QList<QByteArray> out;
        out.swap(sent);
        return out;
    }

    QList<QByteArray> sent;   // every message sent, without its terminator
    QByteArray rawSent;       // every byte sent, as sent
    int closeCount = 0;
    // Called before a send is recorded (a fuzzer watches where things go).
    std::function<void(FakeConnection *, const QByteArray &)> onSend;

private:
    QByteArray m_input;
    FrameBuffer m_sentFrames;
    bool m_connected = true;
};
