#include "host/hostthread.h"

#include "host/tserver.h"

HostThread::HostThread() : m_server(new TServer)
{
    m_thread.setObjectName(QStringLiteral("host"));
}

HostThread::~HostThread()
{
    if (m_thread.isRunning()) {
        TServer *server = m_server;
        QMetaObject::invokeMethod(server, [server] { delete server; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    } else {
        delete m_server;
    }
}

void HostThread::start()
{
    if (m_thread.isRunning())
        return;
    m_server->moveToThread(&m_thread);
    m_thread.start();
}
