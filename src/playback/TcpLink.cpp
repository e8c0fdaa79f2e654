// SPDX-License-Identifier: GPL-3.0-or-later
#include "TcpLink.h"

#include "DriverErrors.h"

#include <QTcpSocket>

namespace kestrun {

TTcpLink::TTcpLink(QString host, uint16_t port) : FHost(std::move(host)), FPort(port) {}

TTcpLink::~TTcpLink() = default;

std::unique_ptr<QTcpSocket> ConnectToRegister(const QString& host, uint16_t port, int timeoutMs)
{
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(host, port);
    if (!socket->waitForConnected(timeoutMs))
        throw TWireError{deNoLink, QStringLiteral("%1: %2").arg(DriverErrorDescription(deNoLink), socket->errorString())};
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    return socket;
}

void TTcpLink::Open(int timeoutMs)
{
    if (FSocket && FSocket->state() == QAbstractSocket::ConnectedState)
        return;
    FSocket.reset();
    FSocket = ConnectToRegister(FHost, FPort, timeoutMs);
}

void TTcpLink::Close() { FSocket.reset(); }

void TTcpLink::Lost()
{
    FSocket.reset();
    throw TWireError{deConnectionClosed, {}};
}

void TTcpLink::Write(QByteArrayView bytes, int timeoutMs)
{
    if (!FSocket || FSocket->write(bytes.data(), bytes.size()) != bytes.size())
        Lost();
    while (FSocket->bytesToWrite() > 0)
        if (!FSocket->waitForBytesWritten(timeoutMs))
            Lost();
}

QByteArray TTcpLink::Read(int timeoutMs)
{
    if (!FSocket)
        Lost();
    if (FSocket->bytesAvailable() > 0 || FSocket->waitForReadyRead(timeoutMs))
        return FSocket->readAll();
    if (FSocket->state() != QAbstractSocket::ConnectedState)
        Lost();
    return {};
}

} // namespace kestrun
