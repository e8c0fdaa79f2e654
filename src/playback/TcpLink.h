// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ByteLink.h"

#include <memory>

class QTcpSocket;

namespace kestrun {

// A register reached over TCP; a lost connection is made again on the next Open.
class TTcpLink final : public IByteLink
{
public:
    TTcpLink(QString host, uint16_t port);
    ~TTcpLink() override;

    void Open(int timeoutMs) override;
    void Close() override;
    void Write(QByteArrayView bytes, int timeoutMs) override;
    QByteArray Read(int timeoutMs) override;

private:
    [[noreturn]] void Lost();

    QString FHost;
    uint16_t FPort;
    std::unique_ptr<QTcpSocket> FSocket;
};

// A connection to a register within timeoutMs, its bytes sent without delay; throws TWireError.
std::unique_ptr<QTcpSocket> ConnectToRegister(const QString& host, uint16_t port, int timeoutMs);

} // namespace kestrun
