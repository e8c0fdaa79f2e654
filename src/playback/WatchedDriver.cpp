// SPDX-License-Identifier: GPL-3.0-or-later
#include "WatchedDriver.h"

#include "log/CurrentError.h"
#include "Notifications.h"

#include <utility>

namespace kestrun {

TCommandOutcome TWatchedDriver::TakeOutcome() { return std::exchange(FOutcome, {}); }

template <class TCall>
int32_t TWatchedDriver::Watched(TCall call)
{
    try {
        return call();
    } catch (...) {
        FOutcome = {true, 0, CurrentErrorMessage()};
        throw;
    }
}

int32_t TWatchedDriver::ExchangeBytes()
{
    return Watched([this] {
        const int32_t result = FDriver.ExchangeBytes();
        FOutcome = {result != 0, result, ResultErrorText(FDriver.ResultCode(), FDriver.ResultCodeDescription())};
        return result;
    });
}

int32_t TWatchedDriver::WaitForPrinting()
{
    return Watched([this] { return FDriver.WaitForPrinting(); });
}

} // namespace kestrun
