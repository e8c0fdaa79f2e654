// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <compare>

namespace kestrun {

// A command's place in the whole log, and a row of the list as the filter leaves it. The two are
// the same number until a filter is on, so a mix-up shows only then: they are kept apart by type.
template <class TTag>
struct TListPosition
{
    int Value = -1;

    constexpr TListPosition() = default;
    constexpr explicit TListPosition(int value) : Value(value) {}
    constexpr bool Valid() const { return Value >= 0; }
    friend constexpr auto operator<=>(TListPosition, TListPosition) = default;
};

using TCommandIndex = TListPosition<struct TCommandIndexTag>;
using TModelRow = TListPosition<struct TModelRowTag>;

} // namespace kestrun
