// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "playback/Ulvex.h"

#include <QString>
#include <cstdint>

namespace kestrun::test {

// One request sent through the driver interface, as the player sends it, and what came back.
struct TDriverExchange
{
    int32_t Result;
    QString Answer;
};

inline TDriverExchange Send(TUlvex& driver, const QString& request)
{
    driver.SetBinaryConversion(1);
    driver.SetTransferBytes(request);
    const int32_t result = driver.ExchangeBytes();
    return {result, driver.TransferBytes()};
}

} // namespace kestrun::test
