#pragma once

#include "base/gamedefaults.h"

#include <QHostAddress>
#include <QList>
#include <QWidget>

#include <functional>

class QFileSystemWatcher;
class QFrame;
class QLabel;
class QLineEdit;
class QTcpServer;
class QTcpSocket;

// The lobby: asks for the player's name, then hosts a game or joins one at an
// address by starting the game with its three launch parameters. A started
// game links back to the lobby on 127.0.0.1 port 9001 once it has logged in
// to its host; the window's lamp is lit while such a link is open, and while
// the game it hosted is linked it shows where friends can join: on the
// network, and on the internet when the game's router forwards its port.
class LobbyWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr quint16 LinkPort = Game::LobbyLinkPort;
    static const char *const SectionName; // "lobby" in brenviklobby.ini
    static const char *const GameProgramName; // "sudoku"

    explicit LobbyWindow(QWidget *parent = nullptr);
    ~LobbyWindow() override;

    // The settings file; by default brenviklobby.ini in the settings folder.
    void setSettingsPath(const QString &path) { m_settingsPath = path; }
    // Reads the remembered name and address into the fields.
    void loadSettings();
    // Writes them into the lobby's own section, leaving the rest of the file.
    bool saveSettings() const;

    // The game program; empty looks for it beside the lobby, then on PATH.
    void setGameProgram(const QString &path) { m_gameProgram = path; }
    static QString findGameProgram();

    // Starts listening for the game's link. Port 0 picks a free port.
    bool listen(quint16 port = LinkPort);
    quint16 linkPort() const;
    int connectedGames() const { return int(m_links.size()); }

    // This computer's interface addresses, for the panel that tells where
    // friends can join a hosted game; by default the network interfaces' own.
    std::function<QList<QHostAddress>()> addressSource;

    // The text of the addresses panel (empty while it is hidden).
    QString joinText() const;

    QString name() const;
    QString address() const;
    void setName(const QString &name);
    void setAddress(const QString &address);

signals:
    void linksChanged(int count);

public slots:
    bool hostGame();
    bool joinGame();

private:
    bool startGame(const QString &address, bool hosting);
    void setStatus(const QString &text, bool error = false);
    void updateLinkState();
    void copyJoinText();
    void showJoinText();

    QLineEdit *m_name = nullptr;
    QLineEdit *m_address = nullptr;
    QLabel *m_status = nullptr;
    QLabel *m_linkDot = nullptr;
    QLabel *m_linkText = nullptr;
    QTcpServer *m_server = nullptr;
    QFrame *m_addressPanel = nullptr;
    QLabel *m_addresses = nullptr;
    QList<QTcpSocket *> m_links;
    // The game started last hosts; a link that arrives belongs to it.
    bool m_startedHost = false;
    QTcpSocket *m_hostLink = nullptr;
    // The hosting game writes the router's internet address into the shared
    // settings file; its folder is watched while that game is linked.
    QFileSystemWatcher *m_watcher = nullptr;
    QString m_settingsPath;
    QString m_gameProgram;
};
