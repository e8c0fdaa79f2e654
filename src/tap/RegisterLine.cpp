// SPDX-License-Identifier: GPL-3.0-or-later
#include "RegisterLine.h"

#include "log/Exception.h"
#include "playback/SerialLink.h"
#include "playback/TcpLink.h"
#include "playback/WireSettings.h"
#include "wire/WireDevice.h"

#include <QSerialPort>
#include <QTcpSocket>

namespace kestrun {

namespace {

// A serial port or a TCP connection: what arrives is handed on as it comes, a bounded piece at a
// time however fast it comes.
class TDeviceLine final : public IRegisterLine
{
public:
    TDeviceLine(std::unique_ptr<QIODevice> device, const TRegisterLines::TReceiver& received)
        : FDevice(std::move(device))
    {
        if (auto* socket = qobject_cast<QAbstractSocket*>(FDevice.get()))
            socket->setReadBufferSize(ReadChunkBytes);
        else if (auto* port = qobject_cast<QSerialPort*>(FDevice.get()))
            port->setReadBufferSize(ReadChunkBytes);
        QObject::connect(FDevice.get(), &QIODevice::readyRead, FDevice.get(),
                         [this, received] { received(FDevice->readAll()); });
    }

    void Write(QByteArrayView bytes) override
    {
        FDevice->write(bytes.data(), bytes.size());
        // Out now rather than on the next turn of the event loop.
        if (auto* socket = qobject_cast<QTcpSocket*>(FDevice.get()))
            socket->flush();
        else if (auto* port = qobject_cast<QSerialPort*>(FDevice.get()))
            port->flush();
    }

    qint64 Pending() const override { return FDevice->bytesToWrite(); }

private:
    std::unique_ptr<QIODevice> FDevice;
};

// The emulator on this thread: the till's bytes reach it at once, its answers come back through
// the receiver.
class TEmulatorLine final : public IRegisterLine
{
public:
    TEmulatorLine(TWireDevice& device, const TRegisterLines::TReceiver& received,
                  const TRegisterLines::TLossHandler& lost)
        : FDevice(device)
    {
        FDevice.Connect(
            received, [lost] { lost(QStringLiteral("the emulator closed the connection")); }, QStringLiteral("kestrun-tap"));
    }
    ~TEmulatorLine() override { FDevice.Disconnect(); }

    void Write(QByteArrayView bytes) override { FDevice.Receive(bytes); }
    qint64 Pending() const override { return 0; }

private:
    TWireDevice& FDevice;
};

} // namespace

TRegisterLines::TRegisterLines(const QString& deviceText)
{
    const TDeviceText text = SplitDeviceText(deviceText);
    const TDeviceKindInfo* kind = FindDeviceKind(text.Kind);
    if (!kind)
        throw Exception(QStringLiteral("Неизвестное устройство: %1").arg(deviceText));
    FKind = kind->Kind;
    if (kind->Kind == TDeviceKind::dkEmulator) {
        FEmulator = std::make_unique<TWireDevice>(ParseWireEmulatorSetup(text.Options));
        return;
    }
    const TWireSettings settings
        = kind->Kind == TDeviceKind::dkSerial ? ParseSerialSettings(text.Options) : ParseTcpSettings(text.Options);
    if (!settings.LogFile.isEmpty())
        throw Exception(QStringLiteral("log= is the driver's; the tap writes the file of --log"));
    FAddress = settings.Address;
    FNumber = settings.Number;
    FTimeoutMs = settings.TimeoutMs;
}

TRegisterLines::~TRegisterLines() = default;

std::unique_ptr<IRegisterLine> TRegisterLines::Open(TReceiver received, TLossHandler lost)
{
    if (FEmulator)
        return std::make_unique<TEmulatorLine>(*FEmulator, received, lost);
    if (FKind == TDeviceKind::dkTcp) {
        std::unique_ptr<QTcpSocket> socket = ConnectToRegister(FAddress, static_cast<uint16_t>(FNumber), FTimeoutMs);
        QObject::connect(socket.get(), &QTcpSocket::disconnected, socket.get(),
                         [lost] { lost(QStringLiteral("the register closed the connection")); });
        return std::make_unique<TDeviceLine>(std::move(socket), received);
    }
    std::unique_ptr<QSerialPort> port = OpenRegisterPort(FAddress, FNumber);
    QObject::connect(port.get(), &QSerialPort::errorOccurred, port.get(), [lost, p = port.get()](QSerialPort::SerialPortError error) {
        if (error != QSerialPort::NoError && error != QSerialPort::TimeoutError)
            lost(QStringLiteral("the port failed: %1").arg(p->errorString()));
    });
    return std::make_unique<TDeviceLine>(std::move(port), received);
}

} // namespace kestrun
