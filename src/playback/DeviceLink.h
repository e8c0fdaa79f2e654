// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>

namespace kestrun {

// What a link gives back for one request: an answer frame (Code 0), or a driver error.
struct TLinkAnswer
{
    int32_t Code = 0;
    QByteArray Frame;
    QString Description; // text of a driver error; empty takes the driver's own text
};

// The way to one register: a transport with its framing, or the built-in emulator.
// A failure of the call itself is thrown as kestrun::Exception.
class IDeviceLink
{
public:
    virtual ~IDeviceLink() = default;
    virtual TLinkAnswer Exchange(const QByteArray& request) = 0;
    // Returns when the device has finished printing: Code 0, or why the wait ended early, a
    // device error or a driver error.
    virtual TLinkAnswer WaitForPrinting() = 0;
    // The system administrator's password of this device.
    virtual int32_t SysAdminPassword() const { return 30; }
};

// Throws kestrun::Exception for an unknown kind or bad options; opens nothing.
void CheckDeviceText(const QString& deviceText);

// A link from a device text, "KIND" or "KIND:OPTIONS", of a kind of the device-option table.
// Throws kestrun::Exception for an unknown kind or bad options.
std::unique_ptr<IDeviceLink> CreateDeviceLink(const QString& deviceText);

} // namespace kestrun
