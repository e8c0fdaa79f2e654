// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>
#include <string>

namespace kestrun::test {

// Names the rows of a parameterised table after their `Name` field.
struct CaseName
{
    template <class Param>
    std::string operator()(const testing::TestParamInfo<Param>& info) const
    {
        return info.param.Name;
    }
};

} // namespace kestrun::test
