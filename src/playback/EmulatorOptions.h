#pragma once

#include <QMap>
#include <QString>
#include <cstdint>

namespace kestrun {

// Faults and settings of the built-in emulator, from the options of the device text
// "emulator:OPTION,OPTION,...":
//   busy=N[:CODE]           the next N exchanges answer CODE, 50 (default) or 4B
//   error=CMD:ERR           every request CMD answers the device error ERR (both hex)
//   driver=CMD[:-N[:TEXT]]  every request CMD fails with driver error -N (default -1), its
//                           own text or TEXT
//   throw=CMD[:TEXT]        every request CMD fails as a call, with TEXT as the message
//   print=MS                a print takes MS milliseconds to finish (default 0); the status
//                           shows sub-mode 5 meanwhile
//   shift=open|closed       the shift at power-on (default closed)
// CMD is a command code in hex as the log writes it, e.g. 41, FF45. TEXT holds no comma.
struct TEmulatorOptions
{
    struct TDriverFault
    {
        int32_t Code = -1;
        QString Text;
    };

    int BusyCount = 0;
    uint8_t BusyError = 0x50;
    QMap<uint16_t, uint8_t> DeviceErrors;
    QMap<uint16_t, TDriverFault> DriverErrors;
    QMap<uint16_t, QString> CallFailures;
    int PrintMilliseconds = 0;
    bool ShiftOpen = false;
};

// Throws kestrun::Exception naming the first option it cannot read.
TEmulatorOptions ParseEmulatorOptions(const QString& options);

// Throws kestrun::Exception naming the option.
[[noreturn]] void BadEmulatorOption(const QString& option);
// CMD of an option; a text that is no command code is a bad option.
uint16_t EmulatorCommandCode(const QString& text, const QString& option);

} // namespace kestrun
