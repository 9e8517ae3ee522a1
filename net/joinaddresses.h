#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>

// Where friends can reach a game hosted on this computer. The hosting game's
// chat line and the lobby's address panel both come from here, so they
// always name the same addresses.
namespace JoinAddresses {

// Every address of every interface that is up and running.
QList<QHostAddress> interfaceAddresses();

// The addresses friends on the network can join at: the interfaces' own,
// without loopback, multicast, IPv6 link-local and duplicate ones.
QList<QHostAddress> joinAddresses(const QList<QHostAddress> &interfaceAddresses);

// "Friends on your network can join at A, B or C, port P.", or the line that
// says this computer is on no network.
QString joinAddressLine(const QList<QHostAddress> &joinAt, quint16 port);

// "Friends on the internet can join at A, port P." for the router's own
// address, once the router forwards the game port.
QString internetAddressLine(const QString &address, quint16 port);

// The line for a router that did not forward the port: how to do it by hand
// (to `here`, this computer's address on the network, when known).
QString routerFailureLine(const QHostAddress &here, quint16 port);

// "a", "a and b", "a, b and c" (or another last joining word).
QString plainList(const QStringList &items, const QString &lastJoin);

} // namespace JoinAddresses
