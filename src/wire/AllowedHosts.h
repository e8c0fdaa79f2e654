// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHostAddress>
#include <QList>
#include <QStringList>

namespace kestrun {

// Whom a listening endpoint takes connections from: this machine always, and the hosts named by
// --allow. A host that could not come through 127.0.0.1 makes the endpoint listen on every address.
class TAllowedHosts
{
public:
    // Throws kestrun::Exception for a text that is not one host's address.
    explicit TAllowedHosts(const QStringList& addresses = {});

    bool Allows(const QHostAddress& peer) const;
    QHostAddress ListenAddress() const;

private:
    QList<QHostAddress> FHosts;
};

// The --allow option's help, the same in every program that listens.
QString AllowHelp();

// A peer as people read it: 127.0.0.1:41234, [2001:db8::7]:41234.
QString PeerText(const QHostAddress& address, uint16_t port);

} // namespace kestrun
