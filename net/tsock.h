#pragma once

#include "net/connection.h"
#include "net/listener.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

// A TCP game connection: non-blocking, driven by the event loop, on the
// user-interface thread. A client opens it; the host gets one from its
// listener for every accepted peer.
class TSock : public Connection
{
    Q_OBJECT
public:
    // A client connection, not yet open.
    explicit TSock(QObject *parent = nullptr);
    // The host's end of an accepted connection (already connected).
    TSock(QTcpSocket *accepted, QObject *parent);
    ~TSock() override;

    void setHostName(const QString &host);
    void setPortName(const QString &port);
    QString hostName() const { return m_hostName; }
    QString portName() const { return m_portName; }

    // Resolves port and host and starts connecting; returns at once. Throws
    // ESockException when the host or service name cannot be resolved.
    // Opening an open connection does nothing.
    void open();

    void send(const QByteArray &bytes) override;
    QByteArray receiveAll() override;
    void close() override;
    bool isConnected() const override { return m_connected; }
    // Messages go out at once (no Nagle delay).
    bool lowDelay() const;

    // How many bytes one readable event takes at most.
    static constexpr qint64 ReadChunk = 32768;
    // A peer that leaves more than this unsent (it does not read) is let go.
    static constexpr qint64 MaxUnsent = 1024 * 1024;

private:
    void attach(QTcpSocket *socket);
    void readSome();
    void onError(QAbstractSocket::SocketError error);
    void onDisconnected();
    void report(int code, const QString &text) { emit info(this, code, text); }
    void dropSocket(bool flush = true);

    QPointer<QTcpSocket> m_socket;
    QString m_hostName;
    QString m_portName;
    QByteArray m_input;
    bool m_connected = false;
    bool m_readScheduled = false;
};

// The host's listening socket. Accepting is left to the handler of
// pendingConnection, which decides whether and where the peer goes.
class TSockListener : public Listener
{
    Q_OBJECT
public:
    explicit TSockListener(QObject *parent = nullptr);

    // Binds the port on every local address, or on loopback only, and listens
    // with a backlog of 5. Throws "Listen - Error Binding Socket" when the
    // port is taken.
    void listen(quint16 port, Scope scope = AnyAddress) override;
    // The last listen failed because another socket holds the port.
    bool portTaken() const override { return m_server.serverError() == QAbstractSocket::AddressInUseError; }
    bool isListening() const override { return m_server.isListening(); }
    quint16 port() const override { return m_server.serverPort(); }
    QHostAddress address() const { return m_server.serverAddress(); }

    // Takes one pending peer; nullptr when there is none. The connection
    // belongs to the listener.
    TSock *accept() override;
    bool hasPendingConnections() const override { return m_server.hasPendingConnections(); }

signals:
    void info(int code, const QString &text);

private:
    QTcpServer m_server;
};
