// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "UiTestSupport.h"

#include <string>

namespace kestrun::test {

// A sale whose 40-byte item name "Товар" is padded with zero bytes, as drivers write it.
inline const std::string SaleRequest = [] {
    std::string request = "80 1E 00 00 00 E8 03 00 00 00 10 27 00 00 00 01 00 00 00 00 D2 EE E2 E0 F0";
    for (int i = 0; i < 35; ++i)
        request += " 00";
    return request;
}();

// Seven commands: status queries, an opened shift, a clean and a failed sale, a command on the
// replay exclusion list, and a Z report without an answer.
inline std::vector<TExchange> MixedLog()
{
    return {
        {"10 1E 00 00 00", "10 00 1E 04 00 00 00 00 00 00 00 00 00 00 00 00"},
        {"11 1E 00 00 00", "11 00 1E 03 00 00 00 00 00 00 00 00 00 00"},
        {"E0 1E 00 00 00", "E0 00 1E"},
        {SaleRequest.c_str(), "80 00 1E"},
        {SaleRequest.c_str(), "80 4A 1E"},
        {"FF 0A 1E 00 00 00 01 00 00 00", "FF 0A 00"},
        {"41 1E 00 00 00", nullptr},
    };
}

} // namespace kestrun::test
