#pragma once

#include "host/puzzlestore.h"
#include "net/dispatcher.h"
#include "net/listener.h"
#include "base/gamedefaults.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QTimer>
#include <QObject>
#include <QPointer>

#include <atomic>
#include <functional>
#include <random>

class Connection;

class FieldReader;

// One connection slot of the host. Slots 1-4 are the player seats, 5-9 the
// watchers; slot 10 only carries a refused tenth connection for a moment.
struct PlayerSlot
{
    QByteArray name;
    bool inUse = false;
    bool loggedIn = false; // its login has been taken; a second one is ignored
    QPointer<Connection> connection;
    int origin = 0; // the number the host gave this connection; 0 when free
    int score = 0;
    int bonus = 0;
    int ownBoard[9][9] = {}; // [column-1][row-1]
    int cellsFilled = 0;
    qint64 loginDeadline = 0; // on the host's clock, while not logged in
};

// The game authority: admits connections into slots, logs players in, relays
// chat and sounds, starts games, judges checks in arrival order, keeps the
// scores and names the winner. It runs hidden in the hosting player's process,
// in a thread of its own (HostThread), so a busy window never holds up its
// tick or its sockets; that player's own window is an ordinary client in
// slot 1. listen(), listeningPort() and setVersionText() may be called from
// any thread; everything else belongs to the host's thread.
class TServer : public QObject
{
    Q_OBJECT
public:
    static constexpr int SlotTableSize = 11;
    static constexpr int MaxSlots = 9;
    static constexpr int RefusedSlot = 10;
    static constexpr int GamePort = Game::GamePort;
    // A connection with more entries than this waiting in the queue is closed.
    static constexpr int MaxQueuedPerConnection = 256;
    // A connection that has not logged in this long after its accept is
    // closed, so idle peers cannot keep the seats.
    static constexpr int LoginTimeoutMs = 30000;

    explicit TServer(QObject *parent = nullptr);
    ~TServer() override;

    // Where listen() gets its listener (Sock1): the program hands in the socket
    // layer's, a test its own. Made at the first listen(), owned by the host.
    using ListenerFactory = std::function<Listener *(QObject *parent)>;
    void setListenerFactory(ListenerFactory make) { m_makeListener = std::move(make); }
    // Starts listening for players (Sock1): on every interface for a hosted
    // game, on loopback only for a solo one. Throws ESockException on failure.
    // Called from another thread, it waits for the host's thread to listen
    // and throws what the listener threw there.
    void listen(quint16 port = GamePort, Listener::Scope scope = Listener::AnyAddress);
    // The port the listener holds (0: not listening), read from any thread.
    quint16 listeningPort() const { return m_listeningPort.load(); }
    // Tests shorten the time a connection gets to log in.
    void setLoginTimeout(int ms) { m_loginTimeoutMs = ms; }
    Listener *listener() const { return m_listener; }

    // The version text compared at login: the about box's version label,
    // handed over as text, since no widget is read from the host's thread.
    void setVersionText(const QByteArray &text);
    void setPuzzleStore(const PuzzleStore *store) { m_puzzles = store; }
    std::mt19937 &random() { return m_random; }
    Dispatcher &dispatcher() { return m_dispatcher; }

    // Admission of a pending connection from the listener.
    void Sock1Accept();
    // Admission of a connection object (the listener's, or a test's).
    void admit(Connection *connection);
    // Admission of the hosting player's own connection from any thread: it
    // moves to the host's thread, which owns it from then on.
    void admitLocal(Connection *connection);

    const PlayerSlot &slot(int s) const { return m_slots[s]; }
    int slotCount = 0;
    int seatCount = 4;
    bool gameRunning = false;
    int gameType = 0;
    int puzzleType = 0;
    int sharedBoard[9][9] = {};
    int solution[9][9] = {};
    QByteArray givensList;

signals:
    // A handler ended with an error text (a bad number field, a failed send).
    void handlerError(const QString &text);

private:
    // reading and connection events
    void Sock1Read(Connection *connection);
    void tempsockDisconnect(Connection *connection);
    void tempsockInfo(Connection *connection, int code, const QString &text);
    void disconnectsock(int s);
    void listenHere(quint16 port, Listener::Scope scope);

    // message handlers; senderSlot is the slot of the connection it came on
    void receivedlogininfo(FieldReader &f, int senderSlot);
    void kickhim(FieldReader &f, int senderSlot);
    void justwatch(FieldReader &f, int senderSlot);
    void chat(FieldReader &f, int senderSlot);
    void action(FieldReader &f, int senderSlot);
    void playasound(FieldReader &f, int senderSlot);
    void startgame(FieldReader &f, int senderSlot);
    void getpuzzle();
    void findplayer();
    void checkit(FieldReader &f, int senderSlot);
    void checkforwin(int s);
    QByteArray distinctName(int s, const QByteArray &name) const;
    // Closes connections whose time to log in is up; sleeps until the next.
    void expireLogins();

    using Handler = void (TServer::*)(FieldReader &, int);
    void addHandler(const char *name, Handler handler);
    int slotOfOrigin(int origin) const;
    bool usable(int s) const;
    void sendTo(int s, const QByteArray &text);
    void sendToAll(const QByteArray &text);

    PlayerSlot m_slots[SlotTableSize + 1]; // index 0 unused: slots are 1-based
    Dispatcher m_dispatcher;
    ListenerFactory m_makeListener;
    Listener *m_listener = nullptr;
    const PuzzleStore *m_puzzles = nullptr;
    QByteArray m_version;
    std::atomic<quint16> m_listeningPort = 0;
    std::mt19937 m_random;
    int m_nextOrigin = 0;
    int m_loginTimeoutMs = LoginTimeoutMs;
    QElapsedTimer m_clock;
    QTimer m_loginTimer;
};
