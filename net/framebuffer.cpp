#include "net/framebuffer.h"

QList<QByteArray> FrameBuffer::append(const QByteArray &bytes)
{
    QList<QByteArray> out;
    if (m_tooLong)
        return out;
    // The pending text holds no terminator: look only at the new bytes.
    qsizetype from = m_pending.size();
    m_pending.append(bytes);
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = m_pending.indexOf(Terminator, from);
        if (end < 0)
            break;
        if (m_maxMessage > 0 && end - start + 1 > m_maxMessage) {
            m_tooLong = true;
            m_pending.clear();
            return out;
        }
        out.append(m_pending.mid(start, end - start));
        start = from = end + 1;
    }
    if (start > 0)
        m_pending.remove(0, start);
    // Unfinished, and already too long for its terminator to come.
    if (m_maxMessage > 0 && m_pending.size() + 1 > m_maxMessage) {
        m_tooLong = true;
        m_pending.clear();
    }
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
