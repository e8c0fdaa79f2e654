// SPDX-License-Identifier: GPL-3.0-or-later
#include "TcpEndpoint.h"

#include "WirePeer.h"
#include "log/Exception.h"

#include <QTimer>

namespace kestrun {

TTcpEndpoint::TTcpEndpoint(IWirePeer& peer, uint16_t port, TAllowedHosts allowed, TReporter report)
    : FPeer(peer), FAllowed(std::move(allowed)), FReport(std::move(report))
{
    if (!FServer.listen(FAllowed.ListenAddress(), port))
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
        const QString from = PeerText(client->peerAddress(), client->peerPort());
        if (!FAllowed.Allows(client->peerAddress()))
            Refuse(client, QStringLiteral("refused the connection from %1: the host is not allowed (--allow)").arg(from));
        else if (FClient)
            Refuse(client, QStringLiteral("refused the connection from %1: %2 is connected, one host at a time")
                               .arg(from, FClientFrom));
        else
            Take(client, from);
    }
}

void TTcpEndpoint::Refuse(QTcpSocket* client, const QString& why)
{
    Report(why);
    client->abort();
    client->deleteLater();
}

void TTcpEndpoint::Take(QTcpSocket* client, const QString& from)
{
    FClient = client;
    FClientFrom = from;
    FDropping = false;
    client->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    client->setReadBufferSize(ReadChunkBytes);
    FPeer.Connect([this, client](const QByteArray& bytes) { Send(client, bytes); }, [client] { client->abort(); }, from);
    connect(client, &QTcpSocket::readyRead, this, [this, client] {
        const QByteArray bytes = client->readAll();
        if (client == FClient && !FDropping)
            FPeer.Receive(bytes);
    });
    connect(client, &QTcpSocket::disconnected, this, [this, client] {
        if (FClient == client) {
            FClient = nullptr;
            FPeer.Disconnect();
        }
        client->deleteLater();
    });
}

void TTcpEndpoint::Send(QTcpSocket* client, const QByteArray& bytes)
{
    if (FDropping)
        return;
    client->write(bytes);
    if (client->bytesToWrite() <= MaxUnreadBytes)
        return;
    Report(QStringLiteral("dropped the connection from %1: it does not read (%2 bytes waiting)")
               .arg(FClientFrom)
               .arg(client->bytesToWrite()));
    // Closed once the peer's call that sent has returned: the peer may not be told of the loss from
    // within its own call.
    FDropping = true;
    QTimer::singleShot(0, client, [client] { client->abort(); });
}

void TTcpEndpoint::Report(const QString& message) const
{
    if (FReport)
        FReport(message);
}

} // namespace kestrun
