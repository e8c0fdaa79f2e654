// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "playback/DeviceOptions.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>
#include <memory>

namespace kestrun {

class TWireDevice;

// The open line to the register, driven by the event loop of the thread that opened it.
class IRegisterLine
{
public:
    virtual ~IRegisterLine() = default;
    virtual void Write(QByteArrayView bytes) = 0;
    // Bytes written that the register has not taken yet.
    virtual qint64 Pending() const = 0;
};

// The register a device text names, "serial:PORT[:BAUD]", "tcp:HOST:PORT" or "emulator[:OPTIONS]"
// (with the wire faults of kestrun-emulator), opened anew each time the till comes. The emulator
// lives as long as this object, like a register that stays on between two connections.
class TRegisterLines final
{
public:
    using TReceiver = std::function<void(const QByteArray& bytes)>;
    // Why the line went away; called from anywhere, even from inside Write or while the line closes.
    using TLossHandler = std::function<void(const QString& why)>;

    // Throws kestrun::Exception for a text it cannot take; opens nothing.
    explicit TRegisterLines(const QString& deviceText);
    ~TRegisterLines();

    // Throws TWireError when the register cannot be reached.
    std::unique_ptr<IRegisterLine> Open(TReceiver received, TLossHandler lost);

private:
    TDeviceKind FKind = TDeviceKind::dkEmulator;
    QString FAddress;
    int32_t FNumber = 0;
    int FTimeoutMs = 0;
    std::unique_ptr<TWireDevice> FEmulator;
};

} // namespace kestrun
