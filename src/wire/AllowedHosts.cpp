// SPDX-License-Identifier: GPL-3.0-or-later
#include "AllowedHosts.h"

#include "log/Exception.h"

#include <algorithm>

namespace kestrun {

namespace {

// An IPv4 peer of a dual-stack listener comes as ::ffff:a.b.c.d.
QHostAddress Plain(const QHostAddress& address)
{
    bool isIpv4 = false;
    const quint32 ipv4 = address.toIPv4Address(&isIpv4);
    return isIpv4 ? QHostAddress(ipv4) : address;
}

} // namespace

TAllowedHosts::TAllowedHosts(const QStringList& addresses)
{
    for (const QString& text : addresses) {
        QHostAddress address;
        // A network or "any" would open the line to more than one host.
        if (!address.setAddress(text) || address.isNull() || address == QHostAddress::AnyIPv4
            || address == QHostAddress::AnyIPv6 || address.isBroadcast() || address.isMulticast())
            throw Exception(QStringLiteral("--allow takes the address of one host, not %1").arg(text));
        FHosts << Plain(address);
    }
}

bool TAllowedHosts::Allows(const QHostAddress& peer) const
{
    const QHostAddress plain = Plain(peer);
    return plain.isLoopback() || FHosts.contains(plain);
}

QHostAddress TAllowedHosts::ListenAddress() const
{
    const bool onlyIpv4Loopback = std::all_of(FHosts.begin(), FHosts.end(), [](const QHostAddress& host) {
        return host.protocol() == QAbstractSocket::IPv4Protocol && host.isLoopback();
    });
    return onlyIpv4Loopback ? QHostAddress(QHostAddress::LocalHost) : QHostAddress(QHostAddress::Any);
}

QString AllowHelp()
{
    return QStringLiteral("Take connections from HOST too, an IP address; may be repeated. Without it only this "
                          "machine is let in, on 127.0.0.1; a host elsewhere makes the listener take every address "
                          "and close connections from any other host at once.");
}

QString PeerText(const QHostAddress& address, uint16_t port)
{
    const QHostAddress plain = Plain(address);
    const QString host = plain.protocol() == QAbstractSocket::IPv6Protocol
                             ? QStringLiteral("[%1]").arg(plain.toString())
                             : plain.toString();
    return QStringLiteral("%1:%2").arg(host).arg(port);
}

} // namespace kestrun
