// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DeviceOptions.h"

#include <QString>
#include <cstdint>

namespace kestrun {

// A register on the wire, from the device text "serial:PORT[:BAUD][,OPTION...]" or
// "tcp:HOST:PORT[,OPTION...]", with the wire options of the device-option table.
struct TWireSettings
{
    QString Address;      // the port name or the host
    int32_t Number = 0;   // the baud rate or the TCP port
    int TimeoutMs = OptTimeout.Default;
    int PrintWaitMs = OptPrintWait.Default;
    int32_t Password = OptPassword.Default;
    QString LogFile;
};

inline constexpr int32_t DefaultBaudRate = 115200;

// Both take the text after "serial:" or "tcp:"; they throw kestrun::Exception naming the
// part they cannot read.
TWireSettings ParseSerialSettings(const QString& options);
TWireSettings ParseTcpSettings(const QString& options);

// The inverses: the text after "serial:" or "tcp:", with only the options that differ from the
// defaults. A comma in the address or the log file would split the text, so it is refused with
// kestrun::Exception.
QString FormatSerialSettings(const TWireSettings& settings);
QString FormatTcpSettings(const TWireSettings& settings);

} // namespace kestrun
