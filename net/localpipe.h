#pragma once

#include "net/connection.h"

#include <memory>
#include <utility>

struct PipeShared;

// One end of a game connection that stays inside the program: the hosting
// player's own window and the host it runs, each in its own thread. What one
// end sends reaches the other through its thread's event queue, in order,
// with no socket in between; to both sides it behaves as a TCP connection
// does: readReady for what arrived, and "Socket Closed" when either end
// closes or is destroyed.
class PipeEnd : public Connection
{
    Q_OBJECT
public:
    // Two connected ends, both in the calling thread; either may then move
    // to another thread.
    static std::pair<PipeEnd *, PipeEnd *> makePair();
    ~PipeEnd() override;

    void send(const QByteArray &bytes) override;
    QByteArray receiveAll() override;
    void close() override;
    bool isConnected() const override { return m_connected; }

    // An end whose peer leaves more than this unread is let go.
    static constexpr qint64 MaxUnsent = 1024 * 1024;

private:
    PipeEnd(std::shared_ptr<PipeShared> shared, int side);
    // Takes what the peer sent (the peer posts this when it sends).
    void deliver();
    // The peer has closed (posted after everything it sent).
    void peerGone();
    // Closes the pipe for both ends; the peer hears of it once.
    void shut();

    std::shared_ptr<PipeShared> m_shared;
    const int m_side;
    QByteArray m_input;
    bool m_connected = true;
};
