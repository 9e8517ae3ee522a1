#pragma once

#include "net/framebuffer.h"

#include <QByteArray>
#include <QObject>
#include <QString>

// One end of a game connection as the host and the client see it. The real
// one is a TCP socket (TSock); tests put in connections that record what is
// sent to them.
class Connection : public QObject
{
    Q_OBJECT
public:
    // Information codes that accompany every information text.
    enum InfoCode {
        InfoLookup = 0,
        InfoConnected = 1,
        InfoClosed = 2,
        InfoListening = 3,
        InfoIncoming = 4,
        InfoOutgoing = 5,
        InfoAccept = 6,
        InfoError = 7
    };
    // The one information text that the game reacts to.
    static QString closedText() { return QStringLiteral("Socket Closed"); }

    using QObject::QObject;

    // Hands the whole message to the operating system at once; what it does
    // not take yet is kept and sent later, in order.
    virtual void send(const QByteArray &bytes) = 0;
    // Every byte received and not yet taken.
    virtual QByteArray receiveAll() = 0;
    // Closes the connection; reports "Socket Closed" every time.
    virtual void close() = 0;
    virtual bool isConnected() const = 0;

    // The slot number on the host's accepted connections.
    int tag = 0;
    // The received text after the last terminator.
    FrameBuffer pending;

signals:
    void readReady(Connection *self, qint64 buffered);
    void peerClosed(Connection *self);
    void info(Connection *self, int code, const QString &text);
    void connectedToPeer(Connection *self);
};
