// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "decode/PrinterError.h"

#include <QMap>
#include <QString>
#include <cstdint>

namespace kestrun {

// Faults and settings of the built-in emulator, from the options of the device text
// "emulator:OPTION,OPTION,..." (the emulator options of the device-option table). A driver
// fault without TEXT has the driver's own text; a call failure without it a text of its own;
// during a print the status shows sub-mode 5.
// CMD is a command code in hex as the log writes it, e.g. 41, FF45. TEXT holds no comma.
struct TEmulatorOptions
{
    struct TDriverFault
    {
        int32_t Code = -1;
        QString Text;
    };

    int BusyCount = 0;
    uint8_t BusyError = BusyPrinting;
    QMap<uint16_t, uint8_t> DeviceErrors;
    QMap<uint16_t, TDriverFault> DriverErrors;
    QMap<uint16_t, QString> CallFailures;
    QMap<uint16_t, int> SilentMilliseconds; // unanswered commands: how long the driver waits
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
