#include "client/hostlink.h"

#include "client/clientsession.h"
#include "host/tserver.h"
#include "base/errors.h"
#include "net/framebuffer.h"
#include "net/tsock.h"

HostLink::HostLink(ClientSession &session, QObject *parent)
    : QObject(parent), m_session(session), m_sock(new TSock(this)), m_sock11(new TSock(this))
{
    connect(m_sock, &Connection::readReady, this, &HostLink::readHost);
    connect(m_sock, &Connection::info, this,
            [this](Connection *, int, const QString &text) { socketInfo(text); });
    connect(&m_session, &ClientSession::send, this, &HostLink::send);
}

HostLink::~HostLink() = default;

void HostLink::openSocket(TSock &sock, const QString &host, quint16 port)
{
    if (connector) {
        connector(sock, host, port);
        return;
    }
    sock.setHostName(host);
    sock.setPortName(QString::number(port));
    sock.open();
}

void HostLink::send(const QByteArray &text)
{
    try {
        m_sock->send(FrameBuffer::frame(text));
    } catch (const GameError &e) {
        emit errorText(e.text());
    }
}

void HostLink::readHost()
{
    try {
        m_session.received(m_sock->receiveAll());
    } catch (const GameError &e) {
        emit errorText(e.text());
    }
}

void HostLink::socketInfo(const QString &text)
{
    if (text != Connection::closedText())
        return;
    // What the host said before it closed is still handled first, so a
    // refused player reads "Game is full" before the window goes.
    while (m_session.dispatcher().dispatchOne()) {
    }
    emit hostClosed();
}

void HostLink::launch(const QStringList &parameters)
{
    m_session.showStartGame(false);
    m_session.setLoginName(QString());
    emit changed();
    if (parameters.isEmpty()) {
        emit lineAdded(QStringLiteral("Loading Solo Game..Please wait."), ClientSession::SystemColour);
        emit soloStarted();
        m_session.setHostAddress(QStringLiteral("127.0.0.1"));
        m_session.setMyName(QStringLiteral("You"));
        hostpress(true);
        return;
    }
    emit lineAdded(QStringLiteral("Loading Multi-player Game.. Please Wait."), ClientSession::SystemColour);
    m_session.setMyName(parameters.value(0));
    if (parameters.size() < 2)
        return;
    m_session.setHostAddress(parameters.value(1));
    if (parameters.size() < 3)
        return;
    if (parameters.at(2) == QLatin1String("true")) {
        hostpress();
        if (!m_session.state().isHost)
            return; // the host could not listen: nothing more starts
    } else {
        joinpress();
    }
    // The lobby link: a presence connection that carries nothing.
    try {
        openSocket(*m_sock11, QStringLiteral("127.0.0.1"), lobbyPort);
    } catch (const GameError &) {
    }
}

void HostLink::hostpress(bool soloGame)
{
    try {
        if (m_server)
            m_server->listen(gamePort, soloGame ? Listener::Loopback : Listener::AnyAddress);
    } catch (const GameError &e) {
        emit errorText(e.text());
        return;
    }
    m_mode = soloGame ? Mode::Solo : Mode::Host;
    m_session.setLoginName(m_session.state().myName);
    m_session.setIsHost(true);
    quint16 port = gamePort;
    if (m_server && m_server->listener() && port == 0)
        port = m_server->listener()->port();
    try {
        openSocket(*m_sock, QStringLiteral("127.0.0.1"), port);
    } catch (const GameError &e) {
        emit errorText(e.text());
    }
    m_session.showStartGame(true);
    emit hostingStarted();
    emit changed();
}

void HostLink::joinpress()
{
    m_mode = Mode::Join;
    m_session.setLoginName(m_session.state().myName);
    try {
        openSocket(*m_sock, m_session.state().hostAddress, gamePort);
    } catch (const GameError &e) {
        emit errorText(e.text());
    }
    m_session.showStartGame(false);
    emit changed();
}
