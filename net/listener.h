#pragma once

#include "net/connection.h"

#include <QObject>

// Where the host's connections come from: a listening socket that hands out
// each peer as a Connection. The socket layer's TSockListener is the real one;
// the host's rules never see a socket.
class Listener : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Every local address (a hosted game) or loopback only (a solo one).
    enum Scope { AnyAddress, Loopback };

    // Starts listening on the port. Throws ESockException on failure.
    virtual void listen(quint16 port, Scope scope) = 0;
    // The last listen failed because another socket holds the port.
    virtual bool portTaken() const = 0;
    virtual bool isListening() const = 0;
    virtual quint16 port() const = 0;

    // Takes one pending peer; nullptr when there is none. The connection
    // belongs to the listener.
    virtual Connection *accept() = 0;
    virtual bool hasPendingConnections() const = 0;

signals:
    void pendingConnection();
};
