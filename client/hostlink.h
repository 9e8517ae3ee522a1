#pragma once

#include "base/gamedefaults.h"

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

class ClientSession;
class Connection;
class PortMapper;
class TServer;
class TSock;

// The client's links to the outside: the game connection to the host, the
// lobby link (opened once the game has logged in, so the lobby's lamp means a
// game that really runs), and the launch modes that open them. A launch with no
// parameters is a solo game hosted on loopback; "name host true" hosts a
// game, "name host <anything else>" joins one; fewer parameters start
// nothing. The host's bytes go to the session, the session's messages go out
// framed on the game connection.
class HostLink : public QObject
{
    Q_OBJECT
public:
    enum class Mode { None, Solo, Host, Join };

    explicit HostLink(ClientSession &session, QObject *parent = nullptr);
    ~HostLink() override;

    // The host this program runs when it hosts (none: hosting opens nothing).
    void setServer(TServer *server) { m_server = server; }

    // Ports and the way connections are opened, so tests can stand in.
    quint16 gamePort = Game::GamePort;
    quint16 lobbyPort = Game::LobbyLinkPort;
    std::function<void(TSock &sock, const QString &host, quint16 port)> connector;
    // Looks a host name up and hands its addresses (none: unknown) to done;
    // by default the system's resolver, without blocking the window.
    using Resolved = std::function<void(const QList<QHostAddress> &addresses)>;
    std::function<void(const QString &name, Resolved done)> resolver;
    // This computer's interface addresses, for the line that tells a host
    // where friends can join; by default the network interfaces' own.
    std::function<QList<QHostAddress>()> addressSource;
    // How long one address may take to answer a join.
    int connectTimeoutMs = 15000;
    // Makes the mapper that asks the home router to forward the game port to
    // this computer (none: no router is ever asked). The program hands in
    // the real one; tests point it at a fake router.
    std::function<PortMapper *(QObject *parent)> portMapperFactory;

    // Starts the mode the launch parameters ask for (processparams).
    void launch(const QStringList &parameters);
    // A solo game's host listens on loopback only; a hosted game on every interface.
    void hostpress(bool soloGame = false);
    void joinpress();
    Mode mode() const { return m_mode; }

    // Options > Open Port On Router. While a game is hosted (never a solo
    // game), switching it on asks the router to forward the game port, and
    // switching it off removes the forward.
    void setOpenRouterPort(bool on);
    bool openRouterPort() const { return m_openRouterPort; }
    // Removes the router's forward, if any, waiting at most msTimeout for the
    // router to confirm. Every way out of the program passes here.
    void closeRouterPort(int msTimeout = 2000);
    // The last join reached no host; tryAgain() starts it anew.
    bool joinFailed() const { return m_joinFailed; }
    void tryAgain();

    // One message text to the host, framed.
    void send(const QByteArray &text);

    // The game connection: a socket to the host, or a pipe to the host this
    // program runs.
    Connection &gameConnection() { return *m_game; }
    TSock &lobbySocket() { return *m_sock11; }

signals:
    // A line for the chat view.
    void lineAdded(const QString &line, quint32 colour);
    // A solo game starts: the lobby download is offered.
    void soloStarted();
    // This program hosts the game: its host controls are enabled.
    void hostingStarted();
    // The session's launch values changed.
    void changed();
    void errorText(const QString &text);
    // The host closed the game connection; what it said before is handled.
    void hostClosed();
    // A joining player's game ended: the host closed it, or removed this
    // player; the text says which. (The hosting player's own window gets
    // hostClosed instead.)
    void hostGone(const QString &text);
    // The router forwards the hosted game's port from this internet address
    // (empty: from none, or no longer).
    void internetAddressChanged(const QString &address);
    // A join reached no host (true), or a new attempt started (false).
    void joinFailedChanged(bool failed);

private:
    void listenTo(Connection *game);
    void openSocket(TSock &sock, const QString &host, quint16 port);
    void openLobbyLink();
    void readHost();
    void socketInfo(int code, const QString &text);
    void addLine(const QString &line);
    void setJoinFailed(bool failed);
    void findWhyTheGameEnded();
    // A join resolves the host's name, then tries its addresses in turn.
    void startJoin();
    void tryNextAddress();
    void connectFailed(const QString &reason);
    void connectTimedOut();
    QString failureLine(int wsaCode) const;
    void startPortMapping();
    quint16 hostedPort() const;

    ClientSession &m_session;
    TServer *m_server = nullptr;
    TSock *m_sock = nullptr;
    TSock *m_sock11 = nullptr;
    Connection *m_game = nullptr;
    Mode m_mode = Mode::None;
    bool m_joinFailed = false;
    // The join's addresses still to try, the one being tried, and whether
    // an attempt runs; a lookup that Try Again overtook is not followed.
    QList<QHostAddress> m_candidates;
    QHostAddress m_trying;
    bool m_connecting = false;
    bool m_closingAttempt = false;
    bool m_linkUp = false;
    bool m_hostSaidWhy = false;
    bool m_lobbyLinkWanted = false;
    bool m_openRouterPort = false;
    bool m_routerOpened = false;
    PortMapper *m_mapper = nullptr;
    quint64 m_attempt = 0;
    QTimer m_connectTimer;
};
