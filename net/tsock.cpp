#include "net/tsock.h"

#include "base/errors.h"
#include "net/wsaerrors.h"

#include <QHash>
#include <QHostAddress>
#include <QHostInfo>
#include <QTimer>

#include <netdb.h>

namespace {

// Host names are looked up once and kept for the life of the process.
QHash<QString, QHostAddress> &lookupCache()
{
    static QHash<QString, QHostAddress> cache;
    return cache;
}

bool startsWithDigit(const QString &text)
{
    return !text.isEmpty() && text.at(0).isDigit();
}

} // namespace

TSock::TSock(QObject *parent) : Connection(parent) {}

TSock::TSock(QTcpSocket *accepted, QObject *parent) : Connection(parent)
{
    attach(accepted);
    // The listener takes IPv4 peers on a dual-stack socket; name them by their
    // dotted address, not the mapped IPv6 form.
    const QHostAddress peer = accepted->peerAddress();
    bool isV4 = false;
    const quint32 v4 = peer.toIPv4Address(&isV4);
    m_hostName = isV4 ? QHostAddress(v4).toString() : peer.toString();
    m_portName = QString::number(accepted->localPort());
    m_connected = accepted->state() == QAbstractSocket::ConnectedState;
    accepted->setSocketOption(QAbstractSocket::LowDelayOption, 1);
}

TSock::~TSock()
{
    dropSocket();
}

void TSock::setHostName(const QString &host)
{
    if (m_connected)
        report(InfoLookup, QStringLiteral("Setting HostName While Connected Has No Effect"));
    m_hostName = host;
}

void TSock::setPortName(const QString &port)
{
    if (m_connected)
        report(InfoLookup, QStringLiteral("Setting PortName While Connected Has No Effect"));
    m_portName = port;
}

bool TSock::lowDelay() const
{
    return m_socket && m_socket->socketOption(QAbstractSocket::LowDelayOption).toInt() == 1;
}

void TSock::attach(QTcpSocket *socket)
{
    m_socket = socket;
    socket->setParent(this);
    connect(socket, &QTcpSocket::readyRead, this, &TSock::readSome);
    connect(socket, &QTcpSocket::connected, this, [this] {
        m_connected = true;
        // Game messages are small and each is awaited: send them at once,
        // never held back to be bunched with the next one.
        m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        report(InfoConnected, QStringLiteral("Non-Blocking Socket Connected"));
        emit connectedToPeer(this);
    });
    connect(socket, &QTcpSocket::bytesWritten, this,
            [this] { report(InfoOutgoing, QStringLiteral("Non-Blocking Outgoing Data")); });
    connect(socket, &QTcpSocket::errorOccurred, this, &TSock::onError);
    connect(socket, &QTcpSocket::disconnected, this, &TSock::onDisconnected);
}

void TSock::open()
{
    if (m_socket && m_socket->state() != QAbstractSocket::UnconnectedState)
        return;

    report(InfoLookup, QStringLiteral("Lookup Of Port ") + m_portName);
    quint16 port = 0;
    if (startsWithDigit(m_portName)) {
        bool ok = false;
        port = m_portName.toUShort(&ok);
        if (!ok)
            throw ESockException(QStringLiteral("Port Lookup - Could Not Find Service Entry"));
    } else {
        const servent *entry = getservbyname(m_portName.toLatin1().constData(), "tcp");
        if (!entry)
            throw ESockException(QStringLiteral("Port Lookup - Could Not Find Service Entry"));
        port = ntohs(static_cast<quint16>(entry->s_port));
    }

    report(InfoLookup, QStringLiteral("Lookup Of Host ") + m_hostName);
    QHostAddress address;
    if (startsWithDigit(m_hostName)) {
        if (!address.setAddress(m_hostName))
            throw ESockException(QStringLiteral("Host Lookup - Could Not Find Host Entry"));
    } else {
        auto &cache = lookupCache();
        const auto it = cache.constFind(m_hostName.toLower());
        if (it != cache.constEnd()) {
            address = it.value();
        } else {
            const QHostInfo found = QHostInfo::fromName(m_hostName);
            if (found.error() != QHostInfo::NoError || found.addresses().isEmpty())
                throw ESockException(QStringLiteral("Host Lookup - Could Not Find Host Entry"));
            address = found.addresses().first();
            for (const QHostAddress &a : found.addresses()) {
                if (a.protocol() == QAbstractSocket::IPv4Protocol) {
                    address = a;
                    break;
                }
            }
            cache.insert(m_hostName.toLower(), address);
        }
    }

    if (!m_socket)
        attach(new QTcpSocket(this));
    m_input.clear();
    pending.clear();
    m_socket->connectToHost(address, port);
}

void TSock::readSome()
{
    m_readScheduled = false;
    if (!m_socket)
        return;
    const QByteArray chunk = m_socket->read(ReadChunk);
    if (chunk.isEmpty())
        return;
    m_input.append(chunk);
    report(InfoIncoming, QStringLiteral("Non-Blocking Incoming Data"));
    emit readReady(this, m_input.size());
    // Qt announces new data only once; take the rest on the next turn of the
    // event loop so one busy peer cannot starve the others.
    if (m_socket && m_socket->bytesAvailable() > 0 && !m_readScheduled) {
        m_readScheduled = true;
        QTimer::singleShot(0, this, &TSock::readSome);
    }
}

void TSock::send(const QByteArray &bytes)
{
    if (!m_connected || !m_socket)
        throw ESockException(QStringLiteral("Send - Socket Not Connected"));
    if (m_socket->bytesToWrite() + bytes.size() > MaxUnsent) {
        // The peer has stopped reading: drop it rather than buffer without
        // end. What it has not taken is not worth delivering.
        m_connected = false;
        dropSocket(false);
        report(InfoClosed, closedText());
        return;
    }
    m_socket->write(bytes);
    // Into the system now, not at the event loop's next turn: a host that
    // relays to several players puts every copy on the wire at once.
    m_socket->flush();
}

QByteArray TSock::receiveAll()
{
    if (!m_connected && m_input.isEmpty())
        throw ESockException(QStringLiteral("Receive - Socket Not Connected"));
    QByteArray all;
    all.swap(m_input);
    return all;
}

void TSock::onError(QAbstractSocket::SocketError error)
{
    // A peer that closes in order is not an error; the disconnect follows.
    if (error == QAbstractSocket::RemoteHostClosedError)
        return;
    report(InfoError, WsaErrors::errorText(WsaErrors::codeFor(error)));
    // An established connection that fails (reset, broken pipe) is as good as
    // closed: treat it so, so that its slot or window does not linger. A
    // connect that fails is only reported.
    if (m_connected && m_socket && m_socket->state() != QAbstractSocket::ConnectedState)
        onDisconnected();
}

void TSock::onDisconnected()
{
    if (!m_connected)
        return;
    // Whatever the peer sent before it went is still read first.
    if (m_socket && m_socket->bytesAvailable() > 0) {
        m_input.append(m_socket->readAll());
        emit readReady(this, m_input.size());
        if (!m_connected)
            return;
    }
    emit peerClosed(this);
    close();
}

void TSock::dropSocket(bool flush)
{
    if (!m_socket)
        return;
    QTcpSocket *socket = m_socket;
    m_socket = nullptr;
    socket->disconnect(this);
    if (flush && socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() > 0) {
        // Let the last words (a refusal, say) reach the peer before the
        // socket goes; it deletes itself once it is closed.
        socket->setParent(nullptr);
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QTcpSocket::errorOccurred, socket, &QObject::deleteLater);
        QTimer::singleShot(5000, socket, &QObject::deleteLater);
        socket->disconnectFromHost();
    } else {
        socket->abort();
        socket->deleteLater();
    }
}

void TSock::close()
{
    m_connected = false;
    dropSocket();
    report(InfoClosed, closedText());
}

TSockListener::TSockListener(QObject *parent) : Listener(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &TSockListener::pendingConnection);
}

void TSockListener::listen(quint16 port, Scope scope)
{
    const QHostAddress address(scope == Loopback ? QHostAddress::LocalHost : QHostAddress::Any);
    if (m_server.isListening())
        throw ESockException(QStringLiteral("Listen - Socket Already In Use"));
    m_server.setListenBacklogSize(5);
    if (!m_server.listen(address, port)) {
        if (m_server.serverError() == QAbstractSocket::AddressInUseError
            || m_server.serverError() == QAbstractSocket::SocketAccessError)
            throw ESockException(QStringLiteral("Listen - Error Binding Socket"));
        throw ESockException(QStringLiteral("Listen - Error Starting Listen"));
    }
    emit info(Connection::InfoListening, QStringLiteral("Listening Started"));
}

TSock *TSockListener::accept()
{
    if (!m_server.isListening())
        throw ESockException(QStringLiteral("Accept - Socket Not In Listening Mode"));
    QTcpSocket *socket = m_server.nextPendingConnection();
    if (!socket) {
        emit info(Connection::InfoAccept, QStringLiteral("Could Not Accept Connection"));
        return nullptr;
    }
    auto *sock = new TSock(socket, this);
    emit info(Connection::InfoAccept, QStringLiteral("Created New TSock Structure"));
    return sock;
}
