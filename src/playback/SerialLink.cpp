// SPDX-License-Identifier: GPL-3.0-or-later
#include "SerialLink.h"

#include "DriverErrors.h"

#include <QSerialPort>

namespace kestrun {

namespace {

TWireError OpenError(const QSerialPort& port)
{
    switch (port.error()) {
    case QSerialPort::DeviceNotFoundError:
        return {dePortNotFound, {}};
    case QSerialPort::PermissionError:
    case QSerialPort::OpenError:
        return {dePortBusy, QStringLiteral("%1: %2").arg(DriverErrorDescription(dePortBusy), port.errorString())};
    default:
        return {dePortError, QStringLiteral("%1: %2").arg(DriverErrorDescription(dePortError), port.errorString())};
    }
}

} // namespace

TSerialLink::TSerialLink(QString portName, int32_t baudRate) : FPortName(std::move(portName)), FBaudRate(baudRate) {}

TSerialLink::~TSerialLink() = default;

std::unique_ptr<QSerialPort> OpenRegisterPort(const QString& portName, int32_t baudRate)
{
    auto port = std::make_unique<QSerialPort>();
    port->setPortName(portName);
    port->setBaudRate(baudRate);
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::OneStop);
    port->setFlowControl(QSerialPort::NoFlowControl);
    if (!port->open(QIODevice::ReadWrite))
        throw OpenError(*port);
    return port;
}

void TSerialLink::Open(int)
{
    if (!FPort)
        FPort = OpenRegisterPort(FPortName, FBaudRate);
}

void TSerialLink::Close() { FPort.reset(); }

// A port that fails in use (a USB device pulled out) is opened again by the next Open.
void TSerialLink::Fail()
{
    const QString reason = FPort ? FPort->errorString() : QString();
    FPort.reset();
    throw TWireError{dePortError, QStringLiteral("%1: %2").arg(DriverErrorDescription(dePortError), reason)};
}

void TSerialLink::Write(QByteArrayView bytes, int timeoutMs)
{
    if (!FPort || FPort->write(bytes.data(), bytes.size()) != bytes.size())
        Fail();
    while (FPort->bytesToWrite() > 0)
        if (!FPort->waitForBytesWritten(timeoutMs))
            Fail();
}

QByteArray TSerialLink::Read(int timeoutMs)
{
    if (!FPort)
        Fail();
    if (FPort->bytesAvailable() > 0 || FPort->waitForReadyRead(timeoutMs))
        return FPort->readAll();
    if (FPort->error() != QSerialPort::NoError && FPort->error() != QSerialPort::TimeoutError)
        Fail();
    FPort->clearError();
    return {};
}

} // namespace kestrun
