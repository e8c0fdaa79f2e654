// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaseName.h"
#include "log/Codepages.h"

#include <gtest/gtest.h>

namespace kestrun::test {
namespace {

using namespace Qt::StringLiterals;

struct TCp1251Case
{
    const char* Name;
    QString Text;
    QByteArray Bytes; // '?' where the code page has no byte
    bool Exact;
};

void PrintTo(const TCp1251Case& c, std::ostream* os) { *os << c.Name; }

class Cp1251Test : public ::testing::TestWithParam<TCp1251Case> {};

TEST_P(Cp1251Test, EncodesAndComesBack)
{
    const TCp1251Case& c = GetParam();
    EXPECT_EQ(UnicodeToCp1251(c.Text), c.Bytes);
    const std::optional<QByteArray> exact = ExactCp1251(c.Text);
    ASSERT_EQ(exact.has_value(), c.Exact);
    if (exact) {
        EXPECT_EQ(*exact, c.Bytes);
        EXPECT_EQ(Cp1251ToUnicode(*exact), c.Text);
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, Cp1251Test, ::testing::Values(
    TCp1251Case{"Ascii", u"Sale 10.00?"_s, "Sale 10.00?", true},
    TCp1251Case{"Russian", u"Продажа Ёлка ёж"_s, "\xCF\xF0\xEE\xE4\xE0\xE6\xE0 \xA8\xEB\xEA\xE0 \xB8\xE6", true},
    // In the code page beyond Russian: the euro and the numero sign, Ukrainian letters.
    TCp1251Case{"OtherMapped", u"€ № Її Єє"_s, "\x88 \xB9 \xAF\xBF \xAA\xBA", true},
    TCp1251Case{"Unmapped", u"₽ ✓"_s, "? ?", false},
    // Cyrillic letters the code page lacks.
    TCp1251Case{"UnmappedCyrillic", u"Ӂ"_s, "?", false},
    TCp1251Case{"Zero", QString(QChar(0)) + u"a"_s, QByteArray("\0a", 2), true}),
    CaseName());

} // namespace
} // namespace kestrun::test
