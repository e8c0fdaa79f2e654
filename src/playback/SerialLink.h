// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ByteLink.h"

#include <memory>

class QSerialPort;

namespace kestrun {

// A register on a serial port (also a USB virtual COM port), 8 data bits, no parity, one stop bit.
class TSerialLink final : public IByteLink
{
public:
    TSerialLink(QString portName, int32_t baudRate);
    ~TSerialLink() override;

    void Open(int timeoutMs) override;
    void Close() override;
    void Write(QByteArrayView bytes, int timeoutMs) override;
    QByteArray Read(int timeoutMs) override;

private:
    [[noreturn]] void Fail();

    QString FPortName;
    int32_t FBaudRate;
    std::unique_ptr<QSerialPort> FPort;
};

// The port opened 8N1 without flow control; throws TWireError.
std::unique_ptr<QSerialPort> OpenRegisterPort(const QString& portName, int32_t baudRate);

} // namespace kestrun
