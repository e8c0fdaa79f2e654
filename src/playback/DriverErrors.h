// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <cstdint>

namespace kestrun {

// Errors of the driver itself: negative result codes.
enum TDriverError : int32_t {
    deNoLink = -1,
    deNoData = -2,
    deBadConversion = -3,
    deBadAnswer = -4,
    deNoDialog = -5,
    dePortBusy = -6,
    dePortNotFound = -7,
    deConnectionClosed = -8,
    deNoAnswer = -9,
    deBadFrame = -10,
    deFrameTooLong = -11,
    dePortError = -12,
    dePrintTimeout = -13,
};

// The text of a driver error; "Ошибка драйвера" for a code without one.
QString DriverErrorDescription(int32_t code);
// The text of any result code: device errors from the device error table, negative codes above.
QString ResultDescription(int32_t code);

} // namespace kestrun
