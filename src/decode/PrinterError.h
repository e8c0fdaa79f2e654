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

QString GetECRModeDescription(uint32_t mode);
QString GetECRAdvancedModeDescription(uint32_t subMode);

} // namespace kestrun
