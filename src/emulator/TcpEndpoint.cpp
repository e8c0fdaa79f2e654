#include "TcpEndpoint.h"

#include "WirePeer.h"
#include "log/Exception.h"

namespace kestrun {

TTcpEndpoint::TTcpEndpoint(IWirePeer& peer, uint16_t port) : FPeer(peer)
{
    if (!FServer.listen(QHostAddress::LocalHost, port))
        throw Exception(QStringLiteral("Не удалось открыть порт %1: %2").arg(port).arg(FServer.errorString()));
    connect(&FServer, &QTcpServer::newConnection, this, &TTcpEndpoint::OnNewConnection);
}

TTcpEndpoint::~TTcpEndpoint()
{
    // The server deletes its sockets after our members are gone; a socket closing then must not
    // call back into this half-destroyed endpoint.
    for (QTcpSocket* socket : FServer.findChildren<QTcpSocket*>())
        socket->disconnect(this);
}

void TTcpEndpoint::OnNewConnection()
{
    while (QTcpSocket* client = FServer.nextPendingConnection()) {
        if (FClient) {
            FClient->disconnect(this);
            FClient->abort();
            FClient->deleteLater();
        }
        FClient = client;
        client->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        FPeer.Connect([client](const QByteArray& bytes) { client->write(bytes); },
                        [client] { client->abort(); });
        connect(client, &QTcpSocket::readyRead, this, [this, client] { FPeer.Receive(client->readAll()); });
        connect(client, &QTcpSocket::disconnected, this, [this, client] {
            if (FClient == client)
                FPeer.Disconnect();
            client->deleteLater();
        });
    }
}

} // namespace kestrun
