#include "client/hostlink.h"

#include "client/clientsession.h"
#include "host/tserver.h"
#include "base/errors.h"
#include "net/framebuffer.h"
#include "net/joinaddresses.h"
#include "net/localpipe.h"
#include "net/tsock.h"
#include "portmap/portmapper.h"

#include <QHostInfo>
#include <QRegularExpression>
#include <QTcpSocket>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <utility>

HostLink::HostLink(ClientSession &session, QObject *parent)
    : QObject(parent), m_session(session), m_sock(new TSock(this)), m_sock11(new TSock(this)), m_game(m_sock)
{
    listenTo(m_sock);
    connect(m_sock, &Connection::connectedToPeer, this, [this] {
        m_connecting = false;
        m_connectTimer.stop();
        m_linkUp = true;
    });
    m_connectTimer.setSingleShot(true);
    connect(&m_connectTimer, &QTimer::timeout, this, &HostLink::connectTimedOut);
    connect(&m_session, &ClientSession::send, this, &HostLink::send);
    // The host has announced this client's own seat: the game is logged in,
    // and only now does the lobby hear of it.
    connect(&m_session, &ClientSession::loadSettingsRequested, this, &HostLink::openLobbyLink);
    connect(&m_session, &ClientSession::messageBox, this, [this](const QString &, bool closeAfter) {
        m_hostSaidWhy = m_hostSaidWhy || closeAfter;
    });
}

HostLink::~HostLink()
{
    // Quietly: whoever listened may be half gone by now.
    if (m_mapper) {
        m_mapper->disconnect(this);
        m_mapper->stopNow(2000);
    }
}

void HostLink::listenTo(Connection *game)
{
    connect(game, &Connection::readReady, this, &HostLink::readHost);
    connect(game, &Connection::info, this,
            [this](Connection *, int code, const QString &text) { socketInfo(code, text); });
}

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
        m_game->send(FrameBuffer::frame(text));
    } catch (const GameError &e) {
        emit errorText(e.text());
    }
}

void HostLink::readHost()
{
    try {
        m_session.received(m_game->receiveAll());
    } catch (const GameError &e) {
        emit errorText(e.text());
    }
}

void HostLink::socketInfo(int code, const QString &text)
{
    if (code == Connection::InfoError && m_connecting) {
        // "Error #10061 (WSAECONNREFUSED)": a connect that failed.
        static const QRegularExpression number(QStringLiteral("#(\\d+)"));
        connectFailed(failureLine(number.match(text).captured(1).toInt()));
        return;
    }
    // Only a connection that carried a game ends the window; an attempt
    // given up is no host closing.
    if (text != Connection::closedText() || m_closingAttempt || !m_linkUp)
        return;
    m_linkUp = false;
    // What the host said before it closed is still handled first, so a
    // refused player reads "Game is full" before the window goes.
    while (m_session.dispatcher().dispatchOne()) {
    }
    // A host that said why (the game is full) has been heard already.
    if (m_mode == Mode::Join && !m_hostSaidWhy)
        findWhyTheGameEnded();
    else
        emit hostClosed();
}

void HostLink::findWhyTheGameEnded()
{
    // The host says nothing when it removes a player: it closes that one
    // connection and plays on, while a host that closes the game is gone.
    // So ask once more at its address: a host that still answers has
    // removed this player. The question is a bare connection, closed at
    // once, before any login; the host tells its players nothing of it.
    auto *probe = new QTcpSocket(this);
    auto answered = std::make_shared<bool>(false);
    auto answer = [this, probe, answered](bool hostStillThere) {
        if (std::exchange(*answered, true))
            return;
        probe->abort();
        probe->deleteLater();
        emit hostGone(hostStillThere ? QStringLiteral("You were removed from the game.")
                                     : QStringLiteral("The host has closed the game."));
    };
    connect(probe, &QTcpSocket::connected, this, [answer] { answer(true); });
    connect(probe, &QTcpSocket::errorOccurred, this, [answer] { answer(false); });
    QTimer::singleShot(std::min(connectTimeoutMs, 3000), probe, [answer] { answer(false); });
    probe->connectToHost(m_trying, gamePort);
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
    // The lobby link follows once the game has logged in.
    m_lobbyLinkWanted = true;
}

void HostLink::openLobbyLink()
{
    // A presence connection that carries nothing; opened once.
    if (!std::exchange(m_lobbyLinkWanted, false))
        return;
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
    if (m_server && port == 0)
        port = m_server->listeningPort();
    if (m_server && !connector) {
        // The host runs in this program: its player's window reaches it
        // through a pipe in memory, which spares every line the host relays
        // a trip through the system's network stack and back.
        auto [mine, hosts] = PipeEnd::makePair();
        mine->setParent(this);
        listenTo(mine);
        m_game = mine;
        m_linkUp = true;
        m_server->admitLocal(hosts);
    } else {
        try {
            m_game = m_sock;
            openSocket(*m_sock, QStringLiteral("127.0.0.1"), port);
        } catch (const GameError &e) {
            emit errorText(e.text());
        }
    }
    m_session.showStartGame(true);
    if (!soloGame) {
        emit internetAddressChanged(QString()); // none yet, whatever an earlier run left
        addLine(JoinAddresses::joinAddressLine(
            JoinAddresses::joinAddresses(addressSource ? addressSource() : JoinAddresses::interfaceAddresses()), port));
        if (m_openRouterPort)
            startPortMapping();
    }
    emit hostingStarted();
    emit changed();
}

quint16 HostLink::hostedPort() const
{
    if (m_server && gamePort == 0)
        return m_server->listeningPort();
    return gamePort;
}

void HostLink::setOpenRouterPort(bool on)
{
    if (m_openRouterPort == on)
        return;
    m_openRouterPort = on;
    if (m_mode != Mode::Host)
        return;
    if (on) {
        startPortMapping();
    } else if (m_mapper && (m_mapper->isMapped() || m_mapper->isStarting())) {
        m_mapper->stop();
    }
}

void HostLink::startPortMapping()
{
    if (!portMapperFactory || m_mode != Mode::Host)
        return;
    if (!m_mapper) {
        m_mapper = portMapperFactory(this);
        if (!m_mapper)
            return;
        // The router talk runs on the mapper's own thread; its answers
        // arrive here as events.
        connect(m_mapper, &PortMapper::mapped, this, [this](const QString &address, quint16 port, const QString &) {
            m_routerOpened = true;
            addLine(JoinAddresses::internetAddressLine(address, port));
            emit internetAddressChanged(address);
        });
        connect(m_mapper, &PortMapper::failed, this, [this](const QString &reason) {
            std::fprintf(stderr, "sudoku: %s\n", qPrintable(reason));
            if (std::exchange(m_routerOpened, false))
                emit internetAddressChanged(QString()); // a lease that could not be renewed
            const QList<QHostAddress> here =
                JoinAddresses::joinAddresses(addressSource ? addressSource() : JoinAddresses::interfaceAddresses());
            addLine(JoinAddresses::routerFailureLine(here.value(0), hostedPort()));
        });
        connect(m_mapper, &PortMapper::unmapped, this, [this](bool, const QString &) {
            if (std::exchange(m_routerOpened, false)) {
                addLine(QStringLiteral("Port %1 is no longer open on the router.").arg(hostedPort()));
                emit internetAddressChanged(QString());
            }
        });
    }
    if (!m_mapper->isMapped() && !m_mapper->isStarting())
        m_mapper->start(hostedPort());
}

void HostLink::closeRouterPort(int msTimeout)
{
    if (!m_mapper)
        return;
    if (m_mapper->isMapped() || m_mapper->isStarting())
        m_mapper->stopNow(msTimeout);
    if (std::exchange(m_routerOpened, false))
        emit internetAddressChanged(QString());
}

void HostLink::setJoinFailed(bool failed)
{
    if (m_joinFailed == failed)
        return;
    m_joinFailed = failed;
    emit joinFailedChanged(failed);
}

void HostLink::addLine(const QString &line)
{
    emit lineAdded(line, ClientSession::SystemColour);
}

void HostLink::joinpress()
{
    m_mode = Mode::Join;
    m_session.setLoginName(m_session.state().myName);
    m_session.showStartGame(false);
    emit changed();
    startJoin();
}

void HostLink::tryAgain()
{
    if (m_mode != Mode::Join || !m_joinFailed)
        return;
    startJoin();
}

void HostLink::startJoin()
{
    setJoinFailed(false);
    m_candidates.clear();
    const QString host = m_session.state().hostAddress.trimmed();
    QHostAddress literal;
    if (literal.setAddress(host)) {
        m_candidates.append(literal);
        tryNextAddress();
        return;
    }
    const quint64 attempt = ++m_attempt;
    auto done = [this, host, attempt](const QList<QHostAddress> &found) {
        if (attempt != m_attempt)
            return; // an older lookup, overtaken by Try Again
        if (found.isEmpty()) {
            addLine(QStringLiteral("No computer named %1 was found.").arg(host));
            setJoinFailed(true);
            return;
        }
        m_candidates.clear();
        for (const QHostAddress &a : found) {
            if (!m_candidates.contains(a))
                m_candidates.append(a);
        }
        QStringList shown;
        for (const QHostAddress &a : std::as_const(m_candidates))
            shown << a.toString();
        addLine(QStringLiteral("Found %1 at %2.").arg(host, JoinAddresses::plainList(shown, QStringLiteral("and"))));
        tryNextAddress();
    };
    if (resolver) {
        resolver(host, done);
        return;
    }
    QHostInfo::lookupHost(host, this, [done](const QHostInfo &info) {
        done(info.error() == QHostInfo::NoError ? info.addresses() : QList<QHostAddress>());
    });
}

void HostLink::tryNextAddress()
{
    if (m_candidates.isEmpty()) {
        setJoinFailed(true);
        return;
    }
    m_trying = m_candidates.takeFirst();
    addLine(QStringLiteral("Connecting to %1, port %2\u2026").arg(m_trying.toString()).arg(gamePort));
    m_connecting = true;
    m_connectTimer.start(connectTimeoutMs);
    m_game = m_sock;
    try {
        openSocket(*m_sock, m_trying.toString(), gamePort);
    } catch (const GameError &e) {
        m_connectTimer.stop();
        m_connecting = false;
        addLine(QStringLiteral("Could not connect to %1, port %2: %3").arg(m_trying.toString()).arg(gamePort).arg(e.text()));
        tryNextAddress();
    }
}

void HostLink::connectFailed(const QString &reason)
{
    if (!m_connecting)
        return;
    m_connecting = false;
    m_connectTimer.stop();
    addLine(reason);
    tryNextAddress();
}

void HostLink::connectTimedOut()
{
    if (!m_connecting)
        return;
    // Give up on this address: the socket is dropped quietly, it never
    // carried a game.
    m_closingAttempt = true;
    m_sock->close();
    m_closingAttempt = false;
    connectFailed(QStringLiteral("No answer from %1, port %2: the computer may be off, or a firewall is in the way.")
                      .arg(m_trying.toString())
                      .arg(gamePort));
}

QString HostLink::failureLine(int code) const
{
    const QString where = m_trying.toString();
    switch (code) {
    case 10061: // refused
        return QStringLiteral("No game answers at %1, port %2.").arg(where).arg(gamePort);
    case 10060: // timed out
        return QStringLiteral("No answer from %1, port %2: the computer may be off, or a firewall is in the way.")
            .arg(where)
            .arg(gamePort);
    case 10051: // network unreachable
    case 10065: // host unreachable
        return QStringLiteral("%1 cannot be reached from this computer (port %2).").arg(where).arg(gamePort);
    default:
        return QStringLiteral("Could not connect to %1, port %2 (error %3).").arg(where).arg(gamePort).arg(code);
    }
}
