#include "host/tserver.h"

#include "net/connection.h"
#include "base/errors.h"
#include "net/fieldreader.h"
#include "net/framebuffer.h"
#include "net/messages.h"
#include "net/listener.h"
#include "base/gamedefaults.h"

#include <algorithm>
#include <chrono>
#include <limits>

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

} // namespace

TServer::TServer(QObject *parent)
    : QObject(parent), m_dispatcher(HostTickMs, this),
      m_version([] { return QByteArray(Game::VersionText); }),
      m_random(static_cast<std::mt19937::result_type>(
          std::chrono::system_clock::now().time_since_epoch().count()))
{
    seatCount = 4;
    m_dispatcher.setErrorSink([this](const QString &text) { emit handlerError(text); });
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

void TServer::listen(quint16 port)
{
    if (!m_listener) {
        if (!m_makeListener)
            throw ESockException(QStringLiteral("Listen - Error Starting Listen"));
        m_listener = m_makeListener(this);
        connect(m_listener, &Listener::pendingConnection, this, &TServer::Sock1Accept);
    }
    m_listener->listen(port);
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
    p.name.clear();
    p.origin = ++m_nextOrigin;
    connection->tag = s;
    connection->pending.clear();
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
    p.inUse = false;
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
    if (s != senderSlot)
        return;
    const QByteArray version = f.take();
    const QByteArray name = f.rest();
    m_slots[s].name = name;

    sendToAll(Msg::newPlayerInfo(s, name));
    if (usable(s)) {
        for (int j = 1; j <= slotCount; ++j) {
            if (j != s && m_slots[j].inUse)
                sendTo(s, Msg::existingPlayers(j, m_slots[j].name));
        }
    }
    if (version != m_version()) {
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
        }
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
