#pragma once

#include "app/settings.h"
#include "client/clientsession.h"
#include "base/gamedefaults.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QRect>
#include <QStringList>

#include <functional>
#include <optional>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QMessageBox;
class BoardView;
class ChatView;
class SoundOutput;
class StripView;
class TServer;
class TSock;
class Tabout;
class Tdownload;
class Tgamestart;
class Thelp;
class Tphrases;
class Tspylist;
class Ttallylist;

// The main window: the board panel with the grid, the seats, the game labels
// and the chat panel. It shows the session's state and passes the player's
// input on; the session holds the rules.
class Tchat : public QMainWindow
{
    Q_OBJECT
public:
    static constexpr int ClientWidth = 736;
    static constexpr int ClientHeight = 488;
    static constexpr int DefaultWidth = 734;
    static constexpr int DefaultHeight = 485;

    // The other windows, created after this one (the launch may use any).
    struct Windows
    {
        Ttallylist *tally = nullptr;
        Tabout *about = nullptr;
        Tdownload *download = nullptr;
        Tgamestart *gamestart = nullptr;
        Thelp *help = nullptr;
        Tphrases *phrases = nullptr;
        TServer *server = nullptr;
        Tspylist *spylist = nullptr;
    };

    explicit Tchat(QWidget *parent = nullptr);
    ~Tchat() override;

    void setWindows(const Windows &windows);
    void setLaunchParameters(const QStringList &parameters) { m_parameters = parameters; }
    ClientSession &session() { return m_session; }
    ChatView *chatView() const { return m_mainchat; }

    // Launch handling, run when the window is first shown.
    void processparams();
    // A solo game's host listens on loopback only; a hosted game on every interface.
    void hostpress(bool soloGame = false);
    void joinpress();

    void loadinifile();
    void saveinifile();
    QString settingsPath;

    // Ports and the way connections are opened, so tests can stand in.
    quint16 gamePort = Game::GamePort;
    quint16 lobbyPort = Game::LobbyLinkPort;
    std::function<void(TSock &sock, const QString &host, quint16 port)> connector;
    void setSoundOutput(SoundOutput *output) { m_sound = output; }

    // Shows an error text to the player without a nested event loop; while one
    // such box is open, further texts go to the standard error stream.
    void showError(const QString &text);

    // The remembered bounds (last loaded or saved on closing); none before the
    // settings were first loaded, so a window closed before that saves nothing.
    std::optional<QRect> rememberedBounds() const { return m_remembered; }
    // The window's place (its frame's top-left corner) and size, as stored.
    QRect bounds() const;
    void setBounds(const QRect &bounds);

    void refresh();
    // Bounds to use for stored bounds: as they are while a screen shows the
    // window's title bar, else moved onto the primary screen.
    static QRect placeOnScreen(const QRect &stored);

signals:
    // The window has closed: the program ends.
    void closed();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenus();
    void buildBoardPanel();
    void buildChatPanel();
    void openSocket(TSock &sock, const QString &host, quint16 port);
    void sendToHost(const QByteArray &text);
    void sockRead();
    void sockInfo(int code, const QString &text);
    void showMessage(const QString &text, bool closeAfter);
    void seatContextMenu(int seat, const QPoint &globalPos);
    void chooseTextSize(int size);
    void applyChatFont();
    void mychatSend();
    void updatePhraseTips();
    QStringList opponentNames() const;
    // The settings as the window shows them now.
    Settings windowSettings() const;
    // Shows the line about a failed save in the chat (told once per run).
    void showSaveFailure(const QString &line);

    ClientSession m_session;
    Windows m_windows;
    QStringList m_parameters;
    bool m_launched = false;
    bool m_closeAfterMessage = false;
    std::optional<QRect> m_remembered;
    // What the settings file holds as far as this window knows: the form's
    // values until it is loaded. Saves write only what differs from it.
    Settings m_synced;
    bool m_toldSettingsFailure = false;
    SoundOutput *m_sound = nullptr;
    QPointer<QMessageBox> m_errorBox;
    QHash<QString, QPointer<QMessageBox>> m_messageBoxes; // by text; the session's texts are few

    TSock *m_sock = nullptr;
    TSock *m_sock11 = nullptr;

    quint32 m_textColour = 0x000000;
    quint32 m_actionColour = 0x000000;
    int m_textSize = 8;
    QStringList m_phrases;

    // controls
    QWidget *m_panelBoard = nullptr;
    QWidget *m_panelGrid = nullptr;
    BoardView *m_board = nullptr;
    StripView *m_imageSelect = nullptr;
    StripView *m_imagePencil = nullptr;
    QLineEdit *m_editFill = nullptr;
    QLabel *m_playerName[5] = {};
    QLabel *m_score[5] = {};
    QLabel *m_bonus[5] = {};
    QLabel *m_eyes[5] = {};
    QLabel *m_labelStatus = nullptr;
    QLabel *m_labelLeft = nullptr;
    QLabel *m_labelTimer = nullptr;
    QLabel *m_labelGametype = nullptr;
    QLabel *m_labelPuzzletype = nullptr;
    QLabel *m_labelTeamgame = nullptr;
    QLabel *m_labelScore = nullptr;
    QWidget *m_buttonStart = nullptr;
    QWidget *m_buttonCheck = nullptr;
    QWidget *m_buttonClear = nullptr;
    QWidget *m_panelGenerating = nullptr;
    QLabel *m_labelGenerating[2] = {};
    QWidget *m_panelWinner = nullptr;
    QLabel *m_labelWinner[2] = {};
    QWidget *m_panelPenalty = nullptr;
    ChatView *m_mainchat = nullptr;
    QLineEdit *m_mychat = nullptr;
    QWidget *m_phraseButtons[11] = {};
    QMenu *m_popupKick = nullptr;
    QMenu *m_popupSounds = nullptr;
    int m_kickTarget = 0;

    // menu items
    QAction *m_startGame = nullptr;
    QAction *m_playSounds = nullptr;
    QAction *m_playChatter = nullptr;
    QAction *m_classic = nullptr;
    QAction *m_new = nullptr;
    QAction *m_clicking = nullptr;
    QAction *m_typing = nullptr;
    QAction *m_sizeItems[4] = {};
    QAction *m_scrollChatOff = nullptr;
    QAction *m_scrollChatOffView = nullptr;
    QAction *m_justWatch = nullptr;
    QAction *m_kickRemove = nullptr;
    QAction *m_kickSet = nullptr;
    QAction *m_kickUnset = nullptr;
};
