#include "net/joinaddresses.h"

#include <QNetworkInterface>

namespace JoinAddresses {

QList<QHostAddress> interfaceAddresses()
{
    QList<QHostAddress> all;
    for (const QNetworkInterface &nic : QNetworkInterface::allInterfaces()) {
        if (!nic.flags().testFlag(QNetworkInterface::IsUp) || !nic.flags().testFlag(QNetworkInterface::IsRunning))
            continue;
        for (const QNetworkAddressEntry &entry : nic.addressEntries())
            all << entry.ip();
    }
    return all;
}

QList<QHostAddress> joinAddresses(const QList<QHostAddress> &interfaceAddresses)
{
    QList<QHostAddress> joinAt;
    for (QHostAddress a : interfaceAddresses) {
        // A link-local IPv6 address needs its interface named to be of use.
        if (a.isNull() || a.isLoopback() || a.isMulticast()
            || (a.protocol() == QAbstractSocket::IPv6Protocol && a.isLinkLocal()))
            continue;
        a.setScopeId(QString());
        if (!joinAt.contains(a))
            joinAt << a;
    }
    return joinAt;
}

QString joinAddressLine(const QList<QHostAddress> &joinAt, quint16 port)
{
    if (joinAt.isEmpty())
        return QStringLiteral("This computer is on no network, so friends elsewhere cannot join this game.");
    QStringList shown;
    for (const QHostAddress &a : joinAt)
        shown << a.toString();
    return QStringLiteral("Friends on your network can join at %1, port %2.")
        .arg(plainList(shown, QStringLiteral("or")))
        .arg(port);
}

QString internetAddressLine(const QString &address, quint16 port)
{
    return QStringLiteral("Friends on the internet can join at %1, port %2.").arg(address).arg(port);
}

QString routerFailureLine(const QHostAddress &here, quint16 port)
{
    const QString computer = here.isNull() ? QStringLiteral("this computer")
                                           : QStringLiteral("this computer (%1)").arg(here.toString());
    return QStringLiteral("No router opened port %1 for this game. For friends on the internet, forward TCP port %1 "
                          "on your router to %2 by hand.")
        .arg(port)
        .arg(computer);
}

QString plainList(const QStringList &items, const QString &lastJoin)
{
    if (items.size() < 2)
        return items.value(0);
    return items.mid(0, items.size() - 1).join(QStringLiteral(", ")) + u' ' + lastJoin + u' ' + items.last();
}

} // namespace JoinAddresses
