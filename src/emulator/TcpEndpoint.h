#pragma once

#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

namespace kestrun {

class TWireDevice;

// The device listening on 127.0.0.1. Like a register it talks to one host at a time:
// a new connection replaces the old one.
class TTcpEndpoint final : public QObject
{
public:
    // Port 0 takes a free port. Throws kestrun::Exception when it cannot listen.
    TTcpEndpoint(TWireDevice& device, uint16_t port);
    ~TTcpEndpoint() override;

    uint16_t Port() const { return FServer.serverPort(); }

private:
    void OnNewConnection();

    TWireDevice& FDevice;
    QTcpServer FServer;
    QPointer<QTcpSocket> FClient;
};

} // namespace kestrun
