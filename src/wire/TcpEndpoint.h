// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AllowedHosts.h"

#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>

namespace kestrun {

class IWirePeer;

// A peer listening for hosts over TCP. Like a register it talks to one host at a time: while one
// is connected, every other connection is closed at once, and neither it nor the host that is
// connected notice anything of it.
class TTcpEndpoint final : public QObject
{
public:
    using TReporter = std::function<void(const QString& message)>;

    // Port 0 takes a free port. Refused and dropped connections are told to `report`. Throws
    // kestrun::Exception when it cannot listen.
    TTcpEndpoint(IWirePeer& peer, uint16_t port, TAllowedHosts allowed = TAllowedHosts(), TReporter report = {});
    ~TTcpEndpoint() override;

    uint16_t Port() const { return FServer.serverPort(); }
    // What a host on this machine gives to reach it: tcp:127.0.0.1:PORT.
    QString DeviceText() const { return QStringLiteral("tcp:127.0.0.1:%1").arg(Port()); }

private:
    void OnNewConnection();
    void Refuse(QTcpSocket* client, const QString& why);
    void Take(QTcpSocket* client, const QString& from);
    void Send(QTcpSocket* client, const QByteArray& bytes);
    void Report(const QString& message) const;

    IWirePeer& FPeer;
    const TAllowedHosts FAllowed;
    const TReporter FReport;
    QTcpServer FServer;
    QPointer<QTcpSocket> FClient;
    QString FClientFrom;
    bool FDropping = false; // the host is being dropped: what it sends or is sent goes nowhere
};

} // namespace kestrun
