// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <cstdint>

namespace kestrun {

// Device error codes and device modes explained in Russian.
struct TPrinterError
{
    // "Неизвестный код ошибки" for every code without a text, negative codes included.
    static QString GetDescription(int32_t Code);
};

// Device errors that only say the device is still busy with the previous command: the command
// is sent again.
constexpr uint8_t BusyPrinting = 0x50;   // 80, "Идет печать предыдущей команды"
constexpr uint8_t BusyBufferFull = 0x4B; // 75, "Буфер чека переполнен"
constexpr bool IsBusyError(int32_t code) { return code == BusyPrinting || code == BusyBufferFull; }

QString GetECRModeDescription(uint32_t mode);
QString GetECRAdvancedModeDescription(uint32_t subMode);

} // namespace kestrun
