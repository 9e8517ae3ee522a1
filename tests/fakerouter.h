#pragma once

// A home router in miniature for the port mapping tests: an SSDP responder
// on 239.255.255.250:1900, an HTTP server with an IGD root description and
// the WANIPConnection control calls, and a NAT-PMP responder on
// 127.0.0.1:5351. It runs on a thread of its own, so it answers while the
// test's thread waits in a blocking call. Only for a network namespace that
// holds nothing but loopback (tests/netns_run.sh).

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QMutexLocker>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QUdpSocket>
#include <QXmlStreamReader>
#include <QtEndian>

#include <functional>

class FakeRouter : public QObject {
    Q_OBJECT
public:
    struct Setup {
        bool ssdp = true;          // answers M-SEARCH
        bool upnp = true;          // serves the description and control calls
        bool httpSilent = false;   // accepts HTTP and never answers
        QList<int> addErrors;      // per AddPortMapping call in turn; 0 = accept; past the end: accept
        int externalAddressError = 0;
        QString externalAddress = QStringLiteral("203.0.113.7");
        bool natpmp = false;       // answers on 5351
        bool natpmpSilent = false; // binds 5351 and never answers
        int natpmpDrop = 0;        // requests lost before the first answered
        quint16 natpmpResult = 0;  // result code of every answer
        quint16 natpmpPort = 0;    // outside port granted; 0 = the one asked for
        quint32 natpmpLifetime = 0;// lease granted; 0 = the one asked for
        QString natpmpAddress = QStringLiteral("198.51.100.9");
    };
    // One NAT-PMP request as it arrived.
    struct NatpmpRequest {
        int op;
        quint16 internalPort;
        quint16 externalPort;
        quint32 lifetime;
        bool operator==(const NatpmpRequest &) const = default;
    };
    using Args = QMap<QString, QString>;

    explicit FakeRouter(const Setup &setup) : m_setup(setup)
    {
        m_thread.start();
        moveToThread(&m_thread);
        QMetaObject::invokeMethod(this, &FakeRouter::begin, Qt::BlockingQueuedConnection);
    }
    ~FakeRouter() override
    {
        QMetaObject::invokeMethod(this, &FakeRouter::end, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }

    QString rootUrl() const { return QStringLiteral("http://127.0.0.1:%1/rootDesc.xml").arg(m_httpPort); }

    // The arguments of every control call named `action`, in order.
    QList<Args> calls(const QString &action) const
    {
        QMutexLocker lock(&m_mutex);
        QList<Args> out;
        for (const auto &[name, args] : m_calls)
            if (name == action)
                out << args;
        return out;
    }
    QList<NatpmpRequest> natpmpRequests() const
    {
        QMutexLocker lock(&m_mutex);
        return m_natpmp;
    }
    // The forwards open now, as "port/protocol".
    QStringList mappings() const
    {
        QMutexLocker lock(&m_mutex);
        return m_mappings;
    }
    int searches() const
    {
        QMutexLocker lock(&m_mutex);
        return m_searches;
    }

private:
    void begin()
    {
        m_http = new QTcpServer(this);
        m_http->listen(QHostAddress::LocalHost, 0);
        m_httpPort = m_http->serverPort();
        connect(m_http, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = m_http->nextPendingConnection()) {
                s->setParent(this);
                connect(s, &QTcpSocket::readyRead, this, [this, s] { onHttp(s); });
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
        if (m_setup.ssdp) {
            m_ssdp = new QUdpSocket(this);
            m_ssdp->bind(QHostAddress::AnyIPv4, 1900, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint);
            m_ssdp->joinMulticastGroup(QHostAddress(QStringLiteral("239.255.255.250")),
                                       QNetworkInterface::interfaceFromName(QStringLiteral("lo")));
            connect(m_ssdp, &QUdpSocket::readyRead, this, &FakeRouter::onSsdp);
        }
        if (m_setup.natpmp || m_setup.natpmpSilent) {
            m_nat = new QUdpSocket(this);
            m_nat->bind(QHostAddress::LocalHost, 5351);
            connect(m_nat, &QUdpSocket::readyRead, this, &FakeRouter::onNatpmp);
        }
        m_epoch.start();
    }
    void end()
    {
        qDeleteAll(findChildren<QObject *>(Qt::FindDirectChildrenOnly));
    }

    void onSsdp()
    {
        while (m_ssdp->hasPendingDatagrams()) {
            const QNetworkDatagram d = m_ssdp->receiveDatagram();
            const QByteArray text = d.data();
            if (!text.startsWith("M-SEARCH"))
                continue;
            QByteArray st;
            for (const QByteArray &line : text.split('\n'))
                if (line.toLower().startsWith("st:"))
                    st = line.mid(3).trimmed();
            {
                QMutexLocker lock(&m_mutex);
                ++m_searches;
            }
            const QByteArray reply = "HTTP/1.1 200 OK\r\nCACHE-CONTROL: max-age=120\r\nST: " + st
                + "\r\nUSN: uuid:fa4e0001-0000-0000-0000-000000000001::" + st + "\r\nEXT:\r\nSERVER: Fake/1.0 UPnP/1.1\r\nLOCATION: "
                + rootUrl().toLatin1() + "\r\n\r\n";
            m_ssdp->writeDatagram(reply, d.senderAddress(), quint16(d.senderPort()));
        }
    }

    void onHttp(QTcpSocket *s)
    {
        QByteArray &buffer = m_buffers[s];
        buffer += s->readAll();
        const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
        if (headEnd < 0 || m_setup.httpSilent)
            return;
        const QList<QByteArray> head = buffer.left(headEnd).split('\n');
        qsizetype length = 0;
        QByteArray soapAction;
        for (const QByteArray &line : head) {
            const QByteArray l = line.trimmed();
            if (l.toLower().startsWith("content-length:"))
                length = l.mid(15).trimmed().toLongLong();
            if (l.toLower().startsWith("soapaction:"))
                soapAction = l.mid(11).trimmed();
        }
        if (buffer.size() < headEnd + 4 + length)
            return;
        const QByteArray body = buffer.mid(headEnd + 4, length);
        const QList<QByteArray> requestLine = head.value(0).trimmed().split(' ');
        m_buffers.remove(s);
        if (!m_setup.upnp) {
            reply(s, 404, "");
        } else if (requestLine.value(0) == "GET" && requestLine.value(1) == "/rootDesc.xml") {
            reply(s, 200, rootDescription());
        } else if (requestLine.value(0) == "POST" && requestLine.value(1) == "/ctl/IPConn") {
            const QString action = QString::fromLatin1(soapAction.mid(soapAction.indexOf('#') + 1)).remove(u'"');
            control(s, action, soapArguments(body, action));
        } else {
            reply(s, 404, "");
        }
    }

    void control(QTcpSocket *s, const QString &action, const Args &args)
    {
        int error = 0;
        Args out;
        {
            QMutexLocker lock(&m_mutex);
            m_calls.append({action, args});
            const QString key = args.value(QStringLiteral("NewExternalPort")) + u'/'
                + args.value(QStringLiteral("NewProtocol"));
            if (action == QLatin1String("AddPortMapping")) {
                error = m_setup.addErrors.isEmpty() ? 0 : m_setup.addErrors.takeFirst();
                if (!error && !m_mappings.contains(key))
                    m_mappings << key;
            } else if (action == QLatin1String("DeletePortMapping")) {
                error = m_mappings.removeAll(key) ? 0 : 714;
            } else if (action == QLatin1String("GetExternalIPAddress")) {
                error = m_setup.externalAddressError;
                out[QStringLiteral("NewExternalIPAddress")] = m_setup.externalAddress;
            } else if (action == QLatin1String("GetStatusInfo")) {
                out[QStringLiteral("NewConnectionStatus")] = QStringLiteral("Connected");
                out[QStringLiteral("NewLastConnectionError")] = QStringLiteral("ERROR_NONE");
                out[QStringLiteral("NewUptime")] = QStringLiteral("1000");
            } else {
                error = 401;
            }
        }
        QByteArray xml = "<?xml version=\"1.0\"?>\r\n<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
                         "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\"><s:Body>";
        if (error) {
            xml += "<s:Fault><faultcode>s:Client</faultcode><faultstring>UPnPError</faultstring><detail>"
                   "<UPnPError xmlns=\"urn:schemas-upnp-org:control-1-0\"><errorCode>"
                + QByteArray::number(error) + "</errorCode><errorDescription>Fake</errorDescription></UPnPError>"
                  "</detail></s:Fault>";
        } else {
            xml += "<u:" + action.toLatin1() + "Response xmlns:u=\"urn:schemas-upnp-org:service:WANIPConnection:1\">";
            for (auto it = out.cbegin(); it != out.cend(); ++it)
                xml += '<' + it.key().toLatin1() + '>' + it.value().toLatin1() + "</" + it.key().toLatin1() + '>';
            xml += "</u:" + action.toLatin1() + "Response>";
        }
        xml += "</s:Body></s:Envelope>\r\n";
        reply(s, error ? 500 : 200, xml);
    }

    static Args soapArguments(const QByteArray &body, const QString &action)
    {
        Args args;
        QXmlStreamReader xml(body);
        bool inside = false;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == action)
                inside = true;
            else if (xml.isStartElement() && inside)
                args[xml.name().toString()] = xml.readElementText();
            else if (xml.isEndElement() && xml.name() == action)
                inside = false;
        }
        return args;
    }

    static void reply(QTcpSocket *s, int status, const QByteArray &body)
    {
        s->write("HTTP/1.1 " + QByteArray::number(status) + (status == 200 ? " OK" : " Error")
                 + "\r\nContent-Type: text/xml; charset=\"utf-8\"\r\nConnection: close\r\nContent-Length: "
                 + QByteArray::number(body.size()) + "\r\n\r\n" + body);
        s->disconnectFromHost();
    }

    static QByteArray rootDescription()
    {
        return "<?xml version=\"1.0\"?>\r\n<root xmlns=\"urn:schemas-upnp-org:device-1-0\">"
               "<specVersion><major>1</major><minor>0</minor></specVersion><device>"
               "<deviceType>urn:schemas-upnp-org:device:InternetGatewayDevice:1</deviceType>"
               "<friendlyName>Fake router</friendlyName><UDN>uuid:fa4e0001-0000-0000-0000-000000000001</UDN>"
               "<deviceList><device><deviceType>urn:schemas-upnp-org:device:WANDevice:1</deviceType>"
               "<UDN>uuid:fa4e0001-0000-0000-0000-000000000002</UDN><serviceList><service>"
               "<serviceType>urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1</serviceType>"
               "<serviceId>urn:upnp-org:serviceId:WANCommonIFC1</serviceId><controlURL>/ctl/CmnIfCfg</controlURL>"
               "<eventSubURL>/evt/CmnIfCfg</eventSubURL><SCPDURL>/WANCfg.xml</SCPDURL></service></serviceList>"
               "<deviceList><device><deviceType>urn:schemas-upnp-org:device:WANConnectionDevice:1</deviceType>"
               "<UDN>uuid:fa4e0001-0000-0000-0000-000000000003</UDN><serviceList><service>"
               "<serviceType>urn:schemas-upnp-org:service:WANIPConnection:1</serviceType>"
               "<serviceId>urn:upnp-org:serviceId:WANIPConn1</serviceId><controlURL>/ctl/IPConn</controlURL>"
               "<eventSubURL>/evt/IPConn</eventSubURL><SCPDURL>/WANIPCn.xml</SCPDURL></service></serviceList>"
               "</device></deviceList></device></deviceList></device></root>\r\n";
    }

    void onNatpmp()
    {
        while (m_nat->hasPendingDatagrams()) {
            const QNetworkDatagram d = m_nat->receiveDatagram();
            const QByteArray in = d.data();
            if (in.size() < 2 || in[0] != 0)
                continue;
            const int op = quint8(in[1]);
            NatpmpRequest r{op, 0, 0, 0};
            if ((op == 1 || op == 2) && in.size() >= 12) {
                r.internalPort = qFromBigEndian<quint16>(in.constData() + 4);
                r.externalPort = qFromBigEndian<quint16>(in.constData() + 6);
                r.lifetime = qFromBigEndian<quint32>(in.constData() + 8);
            }
            if (m_setup.natpmpDrop > 0) {
                --m_setup.natpmpDrop; // lost on the way: never arrived
                continue;
            }
            {
                QMutexLocker lock(&m_mutex);
                m_natpmp << r;
                const QString key = QString::number(r.internalPort) + QStringLiteral("/natpmp");
                if (op == 2 && !m_setup.natpmpResult) {
                    if (r.lifetime == 0)
                        m_mappings.removeAll(key);
                    else if (!m_mappings.contains(key))
                        m_mappings << key;
                }
            }
            if (m_setup.natpmpSilent)
                continue;

            QByteArray out(op == 0 ? 12 : 16, '\0');
            out[1] = char(128 + op);
            qToBigEndian<quint16>(m_setup.natpmpResult, out.data() + 2);
            qToBigEndian<quint32>(quint32(m_epoch.elapsed() / 1000), out.data() + 4);
            if (op == 0) {
                qToBigEndian<quint32>(QHostAddress(m_setup.natpmpAddress).toIPv4Address(), out.data() + 8);
            } else {
                const bool drop = r.lifetime == 0;
                qToBigEndian<quint16>(r.internalPort, out.data() + 8);
                qToBigEndian<quint16>(drop ? 0 : (m_setup.natpmpPort ? m_setup.natpmpPort : r.externalPort),
                                      out.data() + 10);
                qToBigEndian<quint32>(drop ? 0 : (m_setup.natpmpLifetime ? m_setup.natpmpLifetime : r.lifetime),
                                      out.data() + 12);
            }
            m_nat->writeDatagram(out, d.senderAddress(), quint16(d.senderPort()));
        }
    }

    Setup m_setup;
    QThread m_thread;
    mutable QMutex m_mutex;
    QList<std::pair<QString, Args>> m_calls;
    QList<NatpmpRequest> m_natpmp;
    QStringList m_mappings;
    int m_searches = 0;
    QTcpServer *m_http = nullptr;
    quint16 m_httpPort = 0;
    QUdpSocket *m_ssdp = nullptr;
    QUdpSocket *m_nat = nullptr;
    QHash<QTcpSocket *, QByteArray> m_buffers;
    QElapsedTimer m_epoch;
};
