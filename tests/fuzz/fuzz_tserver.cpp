// The host fed arbitrary bytes from several connections at once, in the middle
// of a game: it must neither crash nor read or write outside its tables, must
// send only whole messages, and must never send anything to a connection that
// does not hold a slot in use (the refused tenth connection's "CMD_full+"
// excepted).
//
// Input: the first byte picks the game type, then a sequence of operations:
//   0x00-0x9F  feed: connection (op & 7), length = next byte, then that many bytes
//   0xA0-0xBF  dispatch up to (op & 31) + 1 queued entries
//   0xC0-0xC7  the peer of connection (op & 7) hangs up
//   0xC8-0xCF  the host closes connection (op & 7)
//   0xD0-0xDF  connection (op & 7) sends a check of right digits for the next
//              (next byte & 63) empty cells of the shared board, from the slot in
//              the following byte
//   0xE0-0xFF  a new connection arrives
// Whatever is left in the queue is dispatched at the end.
//
// A first byte of 0xF0 or more selects the delivery mode instead: the rest of
// the input after a small header is one peer's byte stream, handed to the
// host in reads of varied size (up to 128 KiB) through the real framing and
// caps, as a socket read does:
//   byte 0     (b & 15) % 5 is the game type
//   byte 1     connection (b & 7) sends; (b >> 3) entries are dispatched
//              after each read
//   bytes 2-9  piece codes, used in turn: a read takes ((c & 15) + 1) << (c >> 4)
//              bytes, at most 128 KiB, and at least a 512th of the stream
// A stream that holds a message longer than the largest one allowed must end
// with its sender closed. Run with -max_len=262144 (the large seeds raise it
// on their own).

#include "host/puzzlestore.h"
#include "host/tserver.h"
#include "net/framebuffer.h"
#include "net/messages.h"
#include "tests/fakeconnection.h"

#include <QCoreApplication>
#include <QPointer>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

const PuzzleStore &puzzles()
{
    static PuzzleStore store;
    static const bool loaded = store.loadResource();
    if (!loaded)
        std::abort();
    return store;
}

struct Input
{
    const uint8_t *data;
    size_t size;
    size_t pos = 0;
    bool atEnd() const { return pos >= size; }
    uint8_t byte() { return atEnd() ? 0 : data[pos++]; }
    QByteArray bytes(size_t n)
    {
        n = std::min(n, size - pos);
        QByteArray out(reinterpret_cast<const char *>(data + pos), qsizetype(n));
        pos += n;
        return out;
    }
};

class Session
{
public:
    Session()
    {
        server.setPuzzleStore(&puzzles());
        server.random().seed(7);
    }
    ~Session()
    {
        for (const QPointer<FakeConnection> &c : fakes)
            delete c.data();
    }

    FakeConnection *arrive()
    {
        auto *c = new FakeConnection;
        c->onSend = [this](FakeConnection *to, const QByteArray &bytes) { watch(to, bytes); };
        fakes.push_back(c);
        server.admit(c);
        return c;
    }

    // Everything sent is one whole message that a client takes, to a
    // connection in a slot in use.
    void watch(FakeConnection *to, const QByteArray &bytes)
    {
        if (bytes.isEmpty() || bytes.back() != FrameBuffer::Terminator
            || bytes.indexOf(FrameBuffer::Terminator) != bytes.size() - 1
            || bytes.size() > FrameBuffer::MaxPending)
            std::abort();
        const int s = to->tag;
        if (s == TServer::RefusedSlot && bytes == FrameBuffer::frame(Msg::fullHouse()))
            return;
        if (s < 1 || s > TServer::MaxSlots || !server.slot(s).inUse
            || server.slot(s).connection.data() != to)
            std::abort();
    }

    FakeConnection *pick(int i)
    {
        if (fakes.empty())
            return nullptr;
        FakeConnection *c = fakes[size_t(i) % fakes.size()].data();
        return c;
    }

    void drain()
    {
        while (server.dispatcher().dispatchOne()) {
        }
    }

    void checkTable() const
    {
        for (int s = 1; s <= TServer::MaxSlots; ++s) {
            const PlayerSlot &p = server.slot(s);
            if (p.inUse && (!p.connection || p.connection->tag != s))
                std::abort();
            if (!p.inUse && !p.name.isEmpty())
                std::abort();
        }
        if (server.slotCount < 0 || server.slotCount > TServer::MaxSlots)
            std::abort();
        for (int s = 1; s <= 4; ++s) {
            if (server.slot(s).cellsFilled < 0 || server.slot(s).cellsFilled > 81)
                std::abort();
        }
    }

    TServer server;
    std::vector<QPointer<FakeConnection>> fakes;
};

// Does the stream hold a message (ended or not) longer than a peer may send?
bool holdsOverlong(const QByteArray &stream)
{
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = stream.indexOf(FrameBuffer::Terminator, start);
        const qsizetype length = (end < 0 ? stream.size() : end) - start + 1;
        if (length > FrameBuffer::MaxMessage)
            return true;
        if (end < 0)
            return false;
        start = end + 1;
    }
}

constexpr qsizetype MaxReads = 512;

void deliver(Session &session, Input &in)
{
    const int connection = in.byte();
    uint8_t codes[8];
    for (uint8_t &c : codes)
        c = in.byte();
    const QByteArray stream = in.bytes(in.size - in.pos);
    FakeConnection *c = session.pick(connection & 7);
    if (!c)
        return;
    qsizetype at = 0;
    for (int i = 0; at < stream.size(); ++i) {
        const uint8_t code = codes[i % 8];
        // At most MaxReads reads an input, so a long stream in tiny pieces
        // does not slow the fuzzer to a crawl.
        const qsizetype piece = std::clamp<qsizetype>(qsizetype((code & 15) + 1) << (code >> 4),
                                                      (stream.size() + MaxReads - 1) / MaxReads, 128 * 1024);
        if (c->isConnected())
            c->feed(stream.mid(at, piece));
        at += piece;
        for (int k = 0; k < (connection >> 3); ++k)
            session.server.dispatcher().dispatchOne();
        session.checkTable();
    }
    if (holdsOverlong(stream) && c->closeCount == 0)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    puzzles();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Input in{data, size};
    {
        Session session;
        TServer &server = session.server;

        // Four seats and two watchers, logged in, and a game under way.
        for (int i = 1; i <= 6; ++i) {
            FakeConnection *c = session.arrive();
            c->feedMessage(Msg::loginInfo(i, "1.0.2", "P" + QByteArray::number(i)));
        }
        session.drain();
        const uint8_t first = in.byte();
        const bool delivery = first >= 0xF0;
        const int gameType = (delivery ? first & 15 : first) % 5; // 0 and 4 are types nobody knows
        session.pick(0)->feedMessage(Msg::startGame("P1", gameType, gameType % 3 + 1));
        session.drain();

        if (delivery)
            deliver(session, in);
        while (!in.atEnd()) {
            const uint8_t op = in.byte();
            if (op < 0xA0) {
                const size_t len = in.byte();
                const QByteArray bytes = in.bytes(len);
                if (FakeConnection *c = session.pick(op & 7))
                    c->feed(bytes);
            } else if (op < 0xC0) {
                for (int i = 0; i <= (op & 31); ++i)
                    server.dispatcher().dispatchOne();
            } else if (op < 0xC8) {
                if (FakeConnection *c = session.pick(op & 7))
                    c->peerClose();
            } else if (op < 0xD0) {
                if (FakeConnection *c = session.pick(op & 7))
                    c->close();
            } else if (op < 0xE0) {
                const int count = in.byte() & 63;
                const int slot = int(int8_t(in.byte()));
                QList<Msg::Cell> cells;
                for (int c = 1; c <= 9 && cells.size() < count; ++c) {
                    for (int r = 1; r <= 9 && cells.size() < count; ++r) {
                        if (server.sharedBoard[c - 1][r - 1] == 0)
                            cells.append({c, r, server.solution[c - 1][r - 1]});
                    }
                }
                if (FakeConnection *c = session.pick(op & 7))
                    c->feedMessage(Msg::checkIt(slot, cells));
            } else {
                session.arrive();
            }
            session.checkTable();
        }
        session.drain();
        session.checkTable();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
