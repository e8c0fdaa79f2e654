#pragma once

#include <QString>
#include <cstdint>

namespace kestrun {

// A register on the wire, from the device text "serial:PORT[:BAUD][,OPTION...]" or
// "tcp:HOST:PORT[,OPTION...]", with the options
//   timeout=MS     longest wait for any byte of the device (default 1000)
//   printwait=MS   longest wait for a print to finish (default 60000)
//   password=N     the system administrator's password (default 30)
//   log=FILE       append every byte exchanged to FILE as a protocol-1 driver log
struct TWireSettings
{
    QString Address;      // the port name or the host
    int32_t Number = 0;   // the baud rate or the TCP port
    int TimeoutMs = 1000;
    int PrintWaitMs = 60000;
    int32_t Password = 30;
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
