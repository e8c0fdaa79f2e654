// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DeviceLink.h"
#include "LinkThread.h"
#include "WireSettings.h"

#include <functional>
#include <memory>

namespace kestrun {

class IByteLink;
class TProtocol1Host;

// A real register, or kestrun-emulator, spoken to in protocol 1 over a byte transport.
// The transport opens on the first exchange, so a register that is off fails the exchange
// with a negative code, not the creation of the driver.
class TWireLink final : public IDeviceLink
{
public:
    using TTransportFactory = std::function<std::unique_ptr<IByteLink>()>;

    // Throws kestrun::Exception when the traffic log cannot be opened.
    TWireLink(TTransportFactory transport, TWireSettings settings);
    ~TWireLink() override;

    TLinkAnswer Exchange(const QByteArray& request) override;
    // Asks for the short status until the sub-mode no longer shows printing; the device's
    // refusal of the status request other than "printing" ends the wait with its error.
    TLinkAnswer WaitForPrinting() override;
    int32_t SysAdminPassword() const override { return FSettings.Password; }

private:
    TWireSettings FSettings;
    TLinkThread FThread;
    std::unique_ptr<TProtocol1Host> FHost; // made, used and freed on FThread
};

// Device kinds "serial" and "tcp": the text after the kind.
std::unique_ptr<IDeviceLink> CreateSerialLink(const QString& options);
std::unique_ptr<IDeviceLink> CreateTcpLink(const QString& options);

} // namespace kestrun
