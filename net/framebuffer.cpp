#include "net/framebuffer.h"

QList<QByteArray> FrameBuffer::append(const QByteArray &bytes)
{
    QList<QByteArray> out;
    m_pending.append(bytes);
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = m_pending.indexOf(Terminator, start);
        if (end < 0)
            break;
        out.append(m_pending.mid(start, end - start));
        start = end + 1;
    }
    if (start > 0)
        m_pending.remove(0, start);
    return out;
}

QByteArray FrameBuffer::frame(const QByteArray &text)
{
    QByteArray wire;
    wire.reserve(text.size() + 1);
    wire.append(text);
    wire.append(Terminator);
    return wire;
}
