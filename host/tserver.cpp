#include "host/tserver.h"

#include "net/connection.h"
#include "base/errors.h"
#include "net/fieldreader.h"
#include "net/framebuffer.h"
#include "net/messages.h"
#include "net/listener.h"
#include "base/gamedefaults.h"

#include <QThread>

#include <algorithm>
#include <chrono>
#include <exception>
#include <limits>
#include <memory>

namespace {

constexpr int HostTickMs = 10;

int boxOf(int column, int row)
{
    return 3 * ((column - 1) / 3) + ((row - 1) / 3) + 1;
}

bool onBoard(int n)
{
    return n >= 1 && n <= 9;
}

constexpr qsizetype textLength(const char *text)
{
    qsizetype n = 0;
    while (text[n])
        ++n;
    return n;
}

// Everything the host sends must fit what a client accepts. The longest
// message a peer may send bounds the longest name (a login with the shortest
// slot and an empty version) and the longest chat text; a name shared with
// others gets at most " (9)", since only nine slots are held at once.
constexpr qsizetype LongestText = FrameBuffer::MaxMessage - 1;
constexpr qsizetype LongestName = LongestText - textLength("CMD_logininfo+1++") + textLength(" (9)");
constexpr qsizetype LongestChat = LongestText - textLength("CMD_chat+1+");
constexpr qsizetype LongestRelay =
    textLength("CMD_chat+") + LongestName + textLength(" chats: ") + LongestChat + 1;
static_assert(LongestRelay <= FrameBuffer::MaxPending, "a chat relay must fit a client");
// Four seats tied at the top are named in one winner text.
constexpr qsizetype LongestWinner =
    textLength("CMD_winner+") + 4 * LongestName + 3 * textLength(" and ") + textLength("+") + 1;
static_assert(LongestWinner <= FrameBuffer::MaxPending, "a winner text must fit a client");

} // namespace

TServer::TServer(QObject *parent)
    : QObject(parent), m_dispatcher(HostTickMs, this),
      m_version(Game::VersionText),
      m_random(static_cast<std::mt19937::result_type>(
          std::chrono::system_clock::now().time_since_epoch().count())),
      m_loginTimer(this) // moves with the host to its thread
{
    seatCount = 4;
    m_clock.start();
    m_loginTimer.setSingleShot(true);
    connect(&m_loginTimer, &QTimer::timeout, this, &TServer::expireLogins);
    m_dispatcher.setErrorSink([this](const QString &text) { emit handlerError(text); });
    m_dispatcher.setWords({Msg::chat, Msg::action, Msg::playasound});
    addHandler(Msg::logininfo, &TServer::receivedlogininfo);
    addHandler(Msg::chat, &TServer::chat);
    addHandler(Msg::action, &TServer::action);
    addHandler(Msg::startgame, &TServer::startgame);
    addHandler(Msg::justwatch, &TServer::justwatch);
    addHandler(Msg::checkit, &TServer::checkit);
    addHandler(Msg::playasound, &TServer::playasound);
    addHandler(Msg::kickhim, &TServer::kickhim);
}

TServer::~TServer()
{
    // Connections still open close with the host; nobody is told any more.
    for (PlayerSlot &p : m_slots) {
        if (p.connection)
            p.connection->disconnect(this);
    }
}

void TServer::addHandler(const char *name, Handler handler)
{
    m_dispatcher.setHandler(name, [this, handler](const QByteArray &args, int origin) {
        const int sender = slotOfOrigin(origin);
        if (sender == 0)
            return; // its connection has closed since it was queued
        FieldReader fields(args);
        (this->*handler)(fields, sender);
    });
}

void TServer::listen(quint16 port, Listener::Scope scope)
{
    if (thread() == QThread::currentThread()) {
        listenHere(port, scope);
        return;
    }
    // The listener and its sockets live in the host's thread: listen there,
    // and hand what it threw back to the caller.
    std::exception_ptr failure;
    QMetaObject::invokeMethod(
        this,
        [this, port, scope, &failure] {
            try {
                listenHere(port, scope);
            } catch (...) {
                failure = std::current_exception();
            }
        },
        Qt::BlockingQueuedConnection);
    if (failure)
        std::rethrow_exception(failure);
}

void TServer::setVersionText(const QByteArray &text)
{
    if (thread() == QThread::currentThread())
        m_version = text;
    else
        QMetaObject::invokeMethod(this, [this, text] { m_version = text; }, Qt::QueuedConnection);
}

void TServer::listenHere(quint16 port, Listener::Scope scope)
{
    if (!m_listener) {
        if (!m_makeListener)
            throw ESockException(QStringLiteral("Listen - Error Starting Listen"));
        m_listener = m_makeListener(this);
        connect(m_listener, &Listener::pendingConnection, this, &TServer::Sock1Accept);
    }
    try {
        m_listener->listen(port, scope);
        m_listeningPort = m_listener->port();
    } catch (const ESockException &e) {
        m_listeningPort = m_listener->isListening() ? m_listener->port() : 0;
        if (!m_listener->portTaken())
            throw;
        throw ESockException(e.text() + QStringLiteral("\nAnother program, perhaps another game, "
                                                       "is already using port %1.")
                                            .arg(port));
    }
}

int TServer::slotOfOrigin(int origin) const
{
    for (int s = 1; s <= MaxSlots; ++s) {
        if (m_slots[s].inUse && m_slots[s].origin == origin)
            return s;
    }
    return 0;
}

bool TServer::usable(int s) const
{
    return s >= 1 && s <= MaxSlots && m_slots[s].inUse && m_slots[s].connection;
}

void TServer::sendTo(int s, const QByteArray &text)
{
    if (usable(s))
        m_slots[s].connection->send(FrameBuffer::frame(text));
}

void TServer::sendToAll(const QByteArray &text)
{
    for (int s = 1; s <= slotCount; ++s)
        sendTo(s, text);
}

// ---- admission, reading, disconnection ----

void TServer::Sock1Accept()
{
    if (!m_listener)
        return;
    while (m_listener->hasPendingConnections())
        admit(m_listener->accept());
}

void TServer::admitLocal(Connection *connection)
{
    connection->moveToThread(thread());
    // Held until the host's thread takes it: a host destroyed first destroys
    // the connection with the call that never ran.
    auto held = std::make_shared<std::unique_ptr<Connection>>(connection);
    QMetaObject::invokeMethod(
        this,
        [this, held] {
            Connection *own = held->release();
            own->setParent(this);
            admit(own);
        },
        Qt::QueuedConnection);
}

void TServer::admit(Connection *connection)
{
    if (!connection)
        return;
    int s = 0;
    if (slotCount == 0) {
        s = 1;
        slotCount = 1;
    } else {
        for (int i = 1; i <= slotCount; ++i) {
            if (!m_slots[i].inUse) {
                s = i;
                break;
            }
        }
        if (s == 0) {
            if (slotCount >= MaxSlots) {
                // A full house: the tenth connection is told so and let go.
                PlayerSlot &refused = m_slots[RefusedSlot];
                refused.connection = connection;
                connection->tag = RefusedSlot;
                try {
                    connection->send(FrameBuffer::frame(Msg::fullHouse()));
                } catch (const ESockException &) {
                }
                connection->close();
                connection->deleteLater();
                refused.connection = nullptr;
                return;
            }
            s = ++slotCount;
        }
    }

    PlayerSlot &p = m_slots[s];
    p.connection = connection;
    p.inUse = true;
    p.loggedIn = false;
    p.name.clear();
    p.origin = ++m_nextOrigin;
    connection->tag = s;
    connection->pending = FrameBuffer(FrameBuffer::MaxMessage);
    p.loginDeadline = m_clock.elapsed() + m_loginTimeoutMs;
    if (!m_loginTimer.isActive())
        m_loginTimer.start(m_loginTimeoutMs);
    connect(connection, &Connection::readReady, this, &TServer::Sock1Read);
    connect(connection, &Connection::peerClosed, this, &TServer::tempsockDisconnect);
    connect(connection, &Connection::info, this, &TServer::tempsockInfo);
    try {
        sendTo(s, Msg::sendLoginInfo(s));
    } catch (const GameError &e) {
        emit handlerError(e.text());
    }
}

void TServer::Sock1Read(Connection *connection)
{
    const int s = connection->tag;
    if (s < 1 || s > MaxSlots || m_slots[s].connection != connection || !m_slots[s].inUse)
        return;
    const int origin = m_slots[s].origin;
    QByteArray bytes;
    try {
        bytes = connection->receiveAll();
    } catch (const ESockException &) {
        return;
    }
    const QList<QByteArray> entries = connection->pending.append(bytes);
    for (const QByteArray &entry : entries) {
        if (m_dispatcher.pendingFrom(origin) >= MaxQueuedPerConnection) {
            // A peer that floods the host is let go; the others play on.
            connection->close();
            return;
        }
        m_dispatcher.enqueue(entry, origin);
    }
    if (connection->pending.overflowed())
        connection->close();
}

void TServer::expireLogins()
{
    const qint64 now = m_clock.elapsed();
    qint64 next = -1;
    for (int s = 1; s <= MaxSlots; ++s) {
        const PlayerSlot &p = m_slots[s];
        if (!p.inUse || p.loggedIn)
            continue;
        if (p.loginDeadline <= now)
            disconnectsock(s);
        else if (next < 0 || p.loginDeadline < next)
            next = p.loginDeadline;
    }
    if (next >= 0)
        m_loginTimer.start(int(next - now));
}

void TServer::tempsockDisconnect(Connection *connection)
{
    const int s = connection->tag;
    if (s >= 1 && s <= MaxSlots && m_slots[s].inUse && m_slots[s].connection == connection)
        disconnectsock(s);
}

void TServer::tempsockInfo(Connection *connection, int code, const QString &text)
{
    Q_UNUSED(code);
    if (text != Connection::closedText())
        return;
    const int s = connection->tag;
    if (s < 1 || s > MaxSlots || !m_slots[s].inUse || m_slots[s].connection != connection)
        return; // a second close of the same connection finds the slot free
    PlayerSlot &p = m_slots[s];
    const QByteArray name = p.name;
    // What it left queued is dropped with it.
    m_dispatcher.discard(p.origin);
    p.inUse = false;
    p.loggedIn = false;
    p.name.clear();
    p.origin = 0;
    p.connection = nullptr;
    connection->disconnect(this);
    connection->deleteLater();
    try {
        for (int j = 1; j <= slotCount; ++j) {
            if (j != s)
                sendTo(j, Msg::playerDisconnected(s, name));
        }
    } catch (const GameError &e) {
        emit handlerError(e.text());
    }
}

void TServer::disconnectsock(int s)
{
    if (usable(s))
        m_slots[s].connection->close();
}

// ---- roster and relays ----

void TServer::receivedlogininfo(FieldReader &f, int senderSlot)
{
    const int s = f.takeInt();
    // A connection logs in once: its name stays what it first said.
    if (s != senderSlot || m_slots[s].loggedIn)
        return;
    const QByteArray version = f.take();
    const QByteArray name = distinctName(s, f.rest());
    m_slots[s].name = name;
    m_slots[s].loggedIn = true;

    sendToAll(Msg::newPlayerInfo(s, name));
    if (usable(s)) {
        for (int j = 1; j <= slotCount; ++j) {
            if (j != s && m_slots[j].inUse)
                sendTo(s, Msg::existingPlayers(j, m_slots[j].name));
        }
    }
    if (version != m_version) {
        sendTo(1, Msg::haveWrongVersion(name));
        sendTo(s, Msg::wrongVersion());
    }
    if (gameRunning) {
        const int scores[4] = {m_slots[1].score, m_slots[2].score, m_slots[3].score,
                               m_slots[4].score};
        sendTo(s, Msg::loadStats(gameType, puzzleType, scores));
        sendTo(s, Msg::theBoard(s, givensList));
        if (gameType == 1) {
            QList<Msg::Cell> filled;
            for (int c = 1; c <= 9; ++c) {
                for (int r = 1; r <= 9; ++r) {
                    if (sharedBoard[c - 1][r - 1] != 0)
                        filled.append({c, r, sharedBoard[c - 1][r - 1]});
                }
            }
            QByteArray groups;
            for (const Msg::Cell &cell : filled)
                groups += Msg::cellList({cell}) + "+1";
            sendTo(s, Msg::correctList(s, groups));
        } else if ((gameType == 2 || gameType == 3) && s <= seatCount) {
            // The seat's private board survived its player's absence: show
            // the returning player the digits the host already holds.
            QByteArray groups;
            for (int c = 1; c <= 9; ++c) {
                for (int r = 1; r <= 9; ++r) {
                    const int own = m_slots[s].ownBoard[c - 1][r - 1];
                    if (own != 0 && sharedBoard[c - 1][r - 1] == 0)
                        groups += Msg::cellList({{c, r, own}}) + "+1";
                }
            }
            if (!groups.isEmpty())
                sendTo(s, Msg::correctList(s, groups));
        }
    }
}

QByteArray TServer::distinctName(int s, const QByteArray &name) const
{
    // Two players under one name could not tell whose win or chat is whose:
    // a name already held by another logged-in slot gets a number.
    auto taken = [this, s](const QByteArray &candidate) {
        for (int j = 1; j <= MaxSlots; ++j) {
            if (j != s && m_slots[j].inUse && m_slots[j].loggedIn && m_slots[j].name == candidate)
                return true;
        }
        return false;
    };
    if (name.isEmpty() || !taken(name))
        return name;
    for (int n = 2;; ++n) {
        const QByteArray candidate = name + " (" + QByteArray::number(n) + ')';
        if (!taken(candidate))
            return candidate;
    }
}

void TServer::kickhim(FieldReader &f, int senderSlot)
{
    const int from = f.takeInt();
    if (from != senderSlot || from != 1)
        return;
    disconnectsock(f.takeInt());
}

void TServer::justwatch(FieldReader &f, int senderSlot)
{
    const int s = f.takeInt();
    // A player switches his own seat; the hosting window may switch any seat.
    if (s != senderSlot && senderSlot != 1)
        return;
    if (s < 1 || s > seatCount)
        return;
    const QByteArray mode = f.rest();
    if (mode == "2")
        sendToAll(Msg::justWatching(s, 2));
    else if (mode == "1" && gameRunning)
        sendToAll(Msg::justWatching(s, 1));
}

void TServer::chat(FieldReader &f, int senderSlot)
{
    const int s = f.takeInt();
    if (s != senderSlot)
        return;
    sendToAll(Msg::chatRelay(m_slots[s].name, f.rest()));
}

void TServer::action(FieldReader &f, int senderSlot)
{
    const int s = f.takeInt();
    if (s != senderSlot)
        return;
    sendToAll(Msg::actionRelay(m_slots[s].name, f.rest()));
}

void TServer::playasound(FieldReader &f, int senderSlot)
{
    const int s = f.takeInt();
    if (s != senderSlot)
        return;
    sendToAll(Msg::playASoundRelay(s, f.rest()));
}

// ---- game start ----

void TServer::startgame(FieldReader &f, int senderSlot)
{
    Q_UNUSED(senderSlot); // any slot may start a game
    const QByteArray name = f.take();
    const QByteArray typeText = f.take();
    const QByteArray puzzleText = f.take();
    // A puzzle type that names no list is ignored before anything changes.
    if (FieldReader::isInt(puzzleText)) {
        const int pt = FieldReader::toInt(puzzleText);
        if (pt < 1 || pt > 3 || !m_puzzles || m_puzzles->list(pt).size() < 2)
            return;
    }
    gameRunning = true;
    puzzleType = FieldReader::toInt(puzzleText);
    gameType = FieldReader::isInt(typeText) ? FieldReader::toInt(typeText) : 2;
    sendToAll(Msg::startGameRelay(name, typeText, puzzleType));
    for (int s = 1; s <= seatCount; ++s) {
        m_slots[s].score = 0;
        m_slots[s].bonus = 0;
    }
    getpuzzle();
    findplayer();
}

void TServer::getpuzzle()
{
    const QList<QByteArray> &list = m_puzzles->list(puzzleType);
    const int index = m_puzzles->drawIndex(puzzleType, m_random);
    int givens[9][9];
    int solved[9][9];
    if (index < 0 || !PuzzleStore::parseEntry(list.at(index), givens, solved))
        return;
    std::copy(&givens[0][0], &givens[0][0] + 81, &sharedBoard[0][0]);
    std::copy(&solved[0][0], &solved[0][0] + 81, &solution[0][0]);
    const int filled = PuzzleStore::givenCount(givens);
    for (int s = 1; s <= seatCount; ++s) {
        m_slots[s].cellsFilled = filled;
        std::copy(&givens[0][0], &givens[0][0] + 81, &m_slots[s].ownBoard[0][0]);
    }
    givensList = PuzzleStore::givensList(givens);
    for (int s = 1; s <= slotCount; ++s)
        sendTo(s, Msg::theBoard(s, givensList));
}

void TServer::findplayer()
{
    for (int s = 1; s <= slotCount; ++s)
        sendTo(s, Msg::nextPlayer(s));
}

// ---- judging ----

void TServer::checkit(FieldReader &f, int senderSlot)
{
    const int s = f.takeInt();
    if (s != senderSlot || s < 1 || s > 4)
        return;
    PlayerSlot &seat = m_slots[s];
    bool boxFlag[10] = {};
    seat.bonus = 0;
    QByteArray groups;
    int right = 0;
    int wrong = 0;

    while (!f.atEnd()) {
        const int c = f.takeInt();
        const int r = f.takeInt();
        const int d = f.takeInt();
        const bool cellOnBoard = onBoard(c) && onBoard(r);
        // A digit outside 1-9 is wrong even where no solution is known yet.
        if (cellOnBoard && onBoard(d) && d == solution[c - 1][r - 1]) {
            ++right;
            const QByteArray group = Msg::cellList({{c, r, d}});
            int &shared = sharedBoard[c - 1][r - 1];
            int &own = seat.ownBoard[c - 1][r - 1];
            switch (gameType) {
            case 1:
                if (shared == 0) {
                    shared = d;
                    groups += group + "+0";
                    seat.bonus += right;
                    for (int i = 1; i <= 4; ++i)
                        ++m_slots[i].cellsFilled;
                } else {
                    groups += group + "+1";
                }
                break;
            case 2:
                if (own == 0) {
                    ++seat.cellsFilled;
                    own = d;
                    seat.bonus += right + 3;
                    groups += group + "+0";
                }
                break;
            case 3:
                if (own == 0) {
                    ++seat.cellsFilled;
                    own = d;
                    groups += group + "+0";
                }
                break;
            default:
                break;
            }
        } else {
            ++wrong;
            if (gameType == 1 || gameType == 2)
                seat.bonus -= 3;
            if (cellOnBoard)
                boxFlag[boxOf(c, r)] = true;
        }
    }

    sendTo(s, Msg::checkResult(s, right, wrong));
    QList<int> boxes;
    for (int b = 1; b <= 9; ++b) {
        if (boxFlag[b])
            boxes.append(b);
    }
    if (!boxes.isEmpty())
        sendTo(s, Msg::highliteIt(s, boxes));
    if (!groups.isEmpty()) {
        if (gameType == 1)
            sendToAll(Msg::correctList(s, groups));
        else
            sendTo(s, Msg::correctList(s, groups));
    }
    if (gameType == 3) {
        seat.bonus = right;
        seat.score = seat.cellsFilled;
    } else {
        // A peer that sends wrong digits for hours must not wrap the score round.
        const qint64 sum = qint64(seat.score) + seat.bonus;
        seat.score = int(std::clamp<qint64>(sum, std::numeric_limits<int>::min(),
                                            std::numeric_limits<int>::max()));
    }
    sendToAll(Msg::hisScore(s, seat.score, seat.bonus));
    if (seat.cellsFilled > 80)
        checkforwin(s);
}

void TServer::checkforwin(int s)
{
    QByteArray text;
    if (gameType == 1 || gameType == 2) {
        int best = 1;
        int bestScore = m_slots[1].score;
        for (int i = 2; i <= 4; ++i) {
            if (m_slots[i].inUse && m_slots[i].score > bestScore) {
                best = i;
                bestScore = m_slots[i].score;
            }
        }
        text = m_slots[best].name;
        for (int i = 1; i <= 4; ++i) {
            if (i != best && m_slots[i].inUse && m_slots[i].score == bestScore)
                text += " and " + m_slots[i].name;
        }
    } else {
        text = m_slots[s].name;
    }
    sendToAll(Msg::winnerIs(text));
    gameRunning = false;
}
