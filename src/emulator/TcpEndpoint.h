#pragma once

#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

namespace kestrun {

class IWirePeer;

// A peer listening on 127.0.0.1. Like a register it talks to one host at a time:
// a new connection replaces the old one.
class TTcpEndpoint final : public QObject
{
public:
    // Port 0 takes a free port. Throws kestrun::Exception when it cannot listen.
    TTcpEndpoint(IWirePeer& peer, uint16_t port);
    ~TTcpEndpoint() override;

    uint16_t Port() const { return FServer.serverPort(); }
    // What a host gives to reach it: tcp:127.0.0.1:PORT.
    QString DeviceText() const { return QStringLiteral("tcp:127.0.0.1:%1").arg(Port()); }

private:
    void OnNewConnection();

    IWirePeer& FPeer;
    QTcpServer FServer;
    QPointer<QTcpSocket> FClient;
};

} // namespace kestrun
