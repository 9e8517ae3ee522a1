#pragma once

#include <QThread>

class TServer;

// The host's own thread. The window's thread renders every chat line and
// every board change; a host on that thread would read its sockets and take
// its queue only between those, so a check could wait behind a repaint. The
// TServer made here lives in a thread of its own with its listener, its
// connections and its timers. Set the server up (puzzles, listener factory)
// before start(); after it, only listen(), listeningPort() and
// setVersionText() are called from outside, and its signals arrive queued.
class HostThread
{
public:
    HostThread();
    // Destroys the server in its own thread (its connections close there),
    // then stops the thread and waits for it.
    ~HostThread();
    HostThread(const HostThread &) = delete;
    HostThread &operator=(const HostThread &) = delete;

    TServer &server() { return *m_server; }
    void start();

private:
    QThread m_thread;
    TServer *m_server;
};
