#pragma once

#include "client/boardinput.h"
#include "client/boardstate.h"
#include "net/dispatcher.h"
#include "net/framebuffer.h"
#include "base/gamedefaults.h"

#include <QByteArray>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QTimer>

class FieldReader;

// One seat's controls as the main window shows them. An empty seat's label
// reads "<Waiting>"; whether a player sits there is told by occupied alone,
// since a player may go by any name.
struct SeatView
{
    bool occupied = false;
    QString name = QStringLiteral("<Waiting>");
    bool nameVisible = true;
    QString score = QStringLiteral("0");
    QString bonus;
    bool eyes = false;
};

// The state of a session: its launch values, the roster, the game, the
// options and what the window shows. Only the session changes it.
struct SessionState
{
    // ---- launch values ----
    QString myName;
    QString hostAddress;
    bool isHost = false;
    QString loginName;
    // The version text sent at login (the about box's version label).
    QString versionText = QString::fromLatin1(Game::VersionText);

    // ---- session values ----
    int mySeat = 0;
    bool loggedIn = false;
    bool gameInProgress = false;
    QByteArray gameTypeCode;

    // ---- game values ----
    int filledCount = 0;
    int turnSeat = 0;
    int turnSeconds = 0;
    int clockMode = 0;
    bool generatingMark = false;
    int generatingCounter = 0;
    BoardState board;

    // ---- options (kept in the settings file) ----
    bool playSounds = true;
    bool playChatterSounds = false;
    int turnSound = 0;  // 0 Classic, 1 New
    int selectMode = 0; // 0 Clicking, 1 Typing
    bool justWatchChecked = false;

    // ---- what the window shows ----
    SeatView seats[5];             // [1..4]
    QStringList spectators;        // "5: Ann", in order of arrival, one per watcher slot
    QString labelStatus = QStringLiteral("Welcome To");
    QString labelLeft = QStringLiteral("Sudoku");
    QString labelTimer = QStringLiteral("GAME TIME - 60:00");
    QString labelGametype = QStringLiteral("First to Complete");
    QString labelPuzzletype = QStringLiteral("Easy Puzzle");
    QString labelTeamgame = QStringLiteral("Good Luck!");
    QString labelScore = QStringLiteral("Squares Filled");
    QString winnerText = QStringLiteral("Winner!");
    QString generatingText = QStringLiteral("Generating Puzzle. Please Wait....");
    bool buttonStartVisible = false;
    bool startGameEnabled = false;
    bool buttonCheckVisible = false;
    bool buttonClearVisible = false;
    bool imageSelectVisible = false;
    bool imagePencilVisible = false;
    bool editFillVisible = false;
    // Closes the number strip, the pencil strip and the typing box.
    void hideChoosers() { editFillVisible = imageSelectVisible = imagePencilVisible = false; }
    void showCheckButtons(bool visible) { buttonCheckVisible = buttonClearVisible = visible; }
    bool panelGeneratingVisible = false;
    bool panelWinnerVisible = false;
    bool panelPenaltyVisible = false;
    QPoint imageSelectPos; // in panel_grid
    QPoint imagePencilPos;
    QPoint editFillPos;
    QString editFillText;

};

// The main window's model: the client side of a session with the host. It
// takes the host's messages one per tick, keeps the roster, the game labels,
// the clock and the board, and turns the player's clicks and keys into board
// changes and messages. The window shows this state and forwards input; it
// holds no rule of its own.
class ClientSession : public QObject, private SessionState
{
    Q_OBJECT
public:
    static constexpr int SeatCount = 4;
    // The host serves five watchers, in the slots after the seats (5 to 9).
    static constexpr int WatcherSlots = 5;
    static constexpr quint32 SystemColour = 0xFF0000; // blue, as 00BBGGRR
    static constexpr quint32 FallbackColour = 0x0000FF; // red
    // Messages waiting from the host beyond this close the connection.
    static constexpr int MaxQueued = 65536;
    // The longest chat line the player may type: 4,000 UTF-16 units are at
    // most 12,000 bytes of UTF-8, well inside the host's 16 KiB message.
    static constexpr int MaxChatInput = 4000;

    explicit ClientSession(QObject *parent = nullptr);

    // Everything the session knows, for the window and tests to read.
    const SessionState &state() const { return *this; }

    // ---- launch values, set by the host link ----
    void setMyName(const QString &name) { myName = name; }
    void setHostAddress(const QString &address) { hostAddress = address; }
    void setLoginName(const QString &name) { loginName = name; }
    void setIsHost(bool host) { isHost = host; }
    void setVersionText(const QString &text) { versionText = text; }
    // The Start Game button and menu item.
    void showStartGame(bool shown) { buttonStartVisible = startGameEnabled = shown; }

    // ---- options, from the settings file and the menus ----
    void setPlaySounds(bool on) { playSounds = on; }
    void setPlayChatterSounds(bool on) { playChatterSounds = on; }
    void setTurnSound(int sound) { turnSound = sound == 1 ? 1 : 0; }
    // The stored choice; a choice in the menu goes through input().setSelectMode.
    void loadSelectMode(int mode) { selectMode = mode == 1 ? 1 : 0; }

    // ---- receiving ----
    Dispatcher &dispatcher() { return m_dispatcher; }
    // Every byte read from the host connection; whole messages are queued.
    void received(const QByteArray &bytes);
    // The host connection closed: the window closes.
    void connectionClosed();

    // ---- the player's actions ----
    void startGameClick();
    void justWatchClick();
    void seatMenuWatch(int seat, bool watch);
    void kicking(int seat);
    // Clicks, strips, the typing box and keys on the board.
    BoardInput &input() { return m_input; }
    const BoardInput &input() const { return m_input; }
    // Returns true when the input line is to be cleared.
    bool sendit(const QString &text, quint32 textColour, quint32 actionColour);
    void sendPhrase(const QString &phrase, quint32 actionColour);
    void sendChatterSound(int number);

    // The clock's tick (turntime, once a second while it runs).
    void turntimeTimer();
    bool clockRunning() const { return m_turntime.isActive(); }
    void clearall();

    // Seat menu rules: which items the menu offers for a seat label.
    struct SeatMenu
    {
        bool remove = false;
        bool setWatch = false;
        bool unsetWatch = false;
    };
    SeatMenu seatMenuFor(int seat) const;

    static const QStringList &chatterCaptions(); // [0] "<Cancel>", [1..20]

signals:
    void send(const QByteArray &message); // one message text, without terminator
    void lineAdded(const QString &line, quint32 colour);
    void soundRequested(const QString &name);
    void messageBox(const QString &text, bool closeAfter);
    void closeRequested();
    void loadSettingsRequested();
    void saveSettingsRequested();
    void showGameOptions();
    void tallyGame(const QString &winnerOrMine);
    void spectatorAdded(const QString &entry);
    void spectatorRemoved(const QString &entry);
    void changed(); // labels, panels or board changed: the window refreshes
    void errorText(const QString &text);

private:
    friend class BoardInput;

    void addLine(const QString &line, quint32 colour = SystemColour);
    void playsounds(const QString &name);
    void sendMessage(const QByteArray &text);
    void startClock();
    void stopClock();
    void setGameLabels(const QByteArray &gameType, const QByteArray &puzzleType,
                       const QByteArray &teamFlag);
    QString gameTypeText(const QByteArray &gameType) const;
    void updateLeft();
    bool seated() const { return mySeat >= 1 && mySeat <= SeatCount; }
    static bool watcherSlot(int seat) { return seat > SeatCount && seat <= SeatCount + WatcherSlots; }
    // While the penalty picture hides the grid, the board takes no input.
    bool boardLocked() const { return panelPenaltyVisible; }
    // Squares holding a given or a judged digit; never outside 0..81.
    int lockedCount() const;

    // host message handlers
    void sendloginfo(FieldReader &f);
    void chatrecieved(FieldReader &f);
    void newplayerinfo(FieldReader &f);
    void havewrongversion(FieldReader &f);
    void wrongversion(FieldReader &f);
    void playerdisconnected(FieldReader &f);
    void startthegame(FieldReader &f);
    void getnextplayer(FieldReader &f);
    void winner(FieldReader &f);
    void full(FieldReader &f);
    void justwatching(FieldReader &f);
    void theboard(FieldReader &f);
    void generating(FieldReader &f);
    void checkresult(FieldReader &f);
    void highliteit(FieldReader &f);
    void correct(FieldReader &f);
    void hisscore(FieldReader &f);
    void loadstats(FieldReader &f);
    void playasound(FieldReader &f);

    // Set when this window sees a game start (or a running game's state as a
    // late joiner); the first winner after it goes to the tally, no other.
    bool m_gameToTally = false;

    BoardInput m_input{*this};
    Dispatcher m_dispatcher;
    FrameBuffer m_pending;
    QTimer m_turntime;
    QTimer m_phraseLock;
};
