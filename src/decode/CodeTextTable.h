// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>
#include <algorithm>
#include <cstdint>
#include <span>
#include <string_view>

namespace kestrun {

// One row of a constant code-to-text table. Texts are UTF-16 literals in static storage,
// so a lookup hands them out without converting or copying.
struct TCodeText
{
    int64_t Code;
    std::u16string_view Text;
};

inline QStringView ViewOf(std::u16string_view text)
{
    return QStringView(text.data(), static_cast<qsizetype>(text.size()));
}

// A QString that refers to the static text instead of owning a copy.
inline QString StaticText(std::u16string_view text)
{
    return QString::fromRawData(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

// Tables are written in ascending code order, which the lookup's bisection relies on.
constexpr bool IsStrictlyAscending(std::span<const TCodeText> table)
{
    return std::adjacent_find(table.begin(), table.end(), [](const TCodeText& a, const TCodeText& b) {
               return a.Code >= b.Code;
           }) == table.end();
}

// The row of `code`, or nullptr.
inline const TCodeText* FindCode(std::span<const TCodeText> table, int64_t code)
{
    const auto it = std::lower_bound(table.begin(), table.end(), code,
                                     [](const TCodeText& row, int64_t key) { return row.Code < key; });
    return it != table.end() && it->Code == code ? &*it : nullptr;
}

// The text of `code`, or `other` when the table has no row for it.
inline QString CodeTextOr(std::span<const TCodeText> table, int64_t code, std::u16string_view other)
{
    const TCodeText* row = FindCode(table, code);
    return StaticText(row ? row->Text : other);
}

} // namespace kestrun
