// Arbitrary bytes from a host fed to a seated player's session during a game,
// then a few clicks and keys at positions taken from the same bytes. No input
// may crash or reach outside the board or the seats.
//
// A first byte of 0xF0 or more selects the delivery mode: bytes 1-8 are piece
// codes used in turn (a read takes ((c & 15) + 1) << (c >> 4) bytes, at most
// 128 KiB and at least a 512th of the stream), and the rest is the host's byte stream, handed to the session in
// reads of those sizes through its real framing and caps, until it asks to
// close. Run with -max_len=262144 (the large seeds raise it on their own).
#include "client/clientsession.h"
#include "net/framebuffer.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);

    ClientSession s;
    s.setMyName(QStringLiteral("Ann"));
    s.setLoginName(QStringLiteral("Ann"));
    s.setIsHost(true);
    QByteArray start;
    for (const char *m : {"CMD_sendlogininfo+2", "CMD_newplayerinfo+2+Ann", "CMD_startgame+Ann+1+2+",
                          "CMD_theboard+2+1+1+5+9+9+3", "CMD_nextplayer+2+"})
        start += FrameBuffer::frame(m);
    s.received(start);
    while (s.dispatcher().dispatchOne()) {
    }

    if (size > 0 && data[0] >= 0xF0) {
        bool closed = false;
        QObject::connect(&s, &ClientSession::closeRequested, &s, [&closed] { closed = true; });
        const size_t header = std::min<size_t>(size, 9);
        size_t at = header;
        for (int i = 0; at < size && !closed; ++i) {
            const uint8_t code = header > 1 ? data[1 + i % (header - 1)] : 0;
            // At most 512 reads an input: a long stream in tiny pieces would
            // slow the fuzzer to a crawl.
            const size_t piece = std::clamp<size_t>(size_t((code & 15) + 1) << (code >> 4),
                                                    (size - header + 511) / 512, 128 * 1024);
            const size_t n = std::min(piece, size - at);
            s.received(QByteArray(reinterpret_cast<const char *>(data + at), qsizetype(n)));
            at += n;
            // The window takes its messages between reads.
            for (int k = 0; k < 64 && s.dispatcher().dispatchOne(); ++k) {
            }
        }
        while (!closed && s.dispatcher().dispatchOne()) {
        }
        return 0;
    }

    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    s.received(bytes);
    while (s.dispatcher().dispatchOne()) {
    }
    for (int i = 0; i < 20; ++i)
        s.turntimeTimer();

    // Input at positions drawn from the bytes, two bytes a coordinate.
    for (size_t i = 0; i + 4 <= size && i < 64; i += 4) {
        const int x = int(int8_t(data[i])) * 4;
        const int y = int(int8_t(data[i + 1])) * 4;
        switch (data[i + 2] % 6) {
        case 0: s.input().boardMouseUp(data[i + 3] & 1 ? Qt::RightButton : Qt::LeftButton, x, y); break;
        case 1: s.input().image_selectMouseUp(x, y); break;
        case 2: s.input().image_pencilMouseUp(x, y); break;
        case 3: s.input().edit_fillChange(QString(QChar(data[i + 3]))); break;
        case 4: s.input().typeDigit(int(data[i + 3]) - 128); break;
        default: s.input().moveSelection(int(int8_t(data[i + 3])) % 3, x % 3); break;
        }
    }
    s.input().button_checkClick();
    s.input().button_clearClick();
    return 0;
}
