#pragma once

#include "client/clientsession.h"
#include "net/framebuffer.h"

#include <QByteArray>

#include <initializer_list>

// Hands host messages to a player's session, framed as the host sends them,
// and handles every one, as the session's pace would one tick at a time.
inline void feed(ClientSession &session, std::initializer_list<QByteArray> messages)
{
    QByteArray bytes;
    for (const QByteArray &m : messages)
        bytes += FrameBuffer::frame(m);
    session.received(bytes);
    while (session.dispatcher().dispatchOne()) {
    }
}
