// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaseName.h"
#include "decode/DisplayText.h"

#include <gtest/gtest.h>

namespace kestrun::test {
namespace {

struct TDisplayCase
{
    const char* Name;
    QString Value;
    QString Shown;
};

void PrintTo(const TDisplayCase& c, std::ostream* os) { *os << c.Name; }

class DisplayTextTest : public ::testing::TestWithParam<TDisplayCase> {};

TEST_P(DisplayTextTest, HidesZeroPadding)
{
    EXPECT_EQ(DisplayText(GetParam().Value), GetParam().Shown);
}

QString WithZeros(const char16_t* text, qsizetype length) { return QString::fromUtf16(text, length); }

INSTANTIATE_TEST_SUITE_P(Texts, DisplayTextTest, ::testing::Values(
    TDisplayCase{"NoZeros", QStringLiteral("Товар 1"), QStringLiteral("Товар 1")},
    TDisplayCase{"PaddingAtTheEnd", WithZeros(u"Товар\0\0\0\0", 9), QStringLiteral("Товар")},
    TDisplayCase{"RunBetweenWords", WithZeros(u"a\0\0b", 4), QStringLiteral("a b")},
    TDisplayCase{"PaddingBeforeLineBreak", WithZeros(u"x\0\0\r\ny\0", 7), QStringLiteral("x\r\ny")},
    TDisplayCase{"OnlyZeros", WithZeros(u"\0\0", 2), QString()}),
    kestrun::test::CaseName());

class PrintableTextTest : public ::testing::TestWithParam<TDisplayCase> {};

TEST_P(PrintableTextTest, ShowsWhatTheWindowShowsAndNoControlBytes)
{
    EXPECT_EQ(PrintableText(GetParam().Value), GetParam().Shown);
}

INSTANTIATE_TEST_SUITE_P(Lines, PrintableTextTest, ::testing::Values(
    TDisplayCase{"Plain", QStringLiteral("Хлеб 1.00"), QStringLiteral("Хлеб 1.00")},
    TDisplayCase{"Empty", QString(), QString()},
    TDisplayCase{"ZeroRunsAsOnScreen", WithZeros(u"a\0\0b\0\0", 6), QStringLiteral("a b")},
    TDisplayCase{"EscapeSequence", QStringLiteral("\x1b[31mred"), QStringLiteral("<0x1B>[31mred")},
    TDisplayCase{"BellAndBackspace", QStringLiteral("a\x07\x08"), QStringLiteral("a<0x07><0x08>")},
    TDisplayCase{"StrayLineBreaks", QStringLiteral("a\rb\nc"), QStringLiteral("a<0x0D>b<0x0A>c")},
    TDisplayCase{"TabEscaped", QStringLiteral("a\tb"), QStringLiteral("a<0x09>b")},
    TDisplayCase{"DeleteAndC1Controls", QString::fromUtf16(u"\u007f\u009b"), QStringLiteral("<0x7F><0x9B>")},
    TDisplayCase{"ZeroBeforeEscape", WithZeros(u"x\0\x1b", 3), QStringLiteral("x <0x1B>")}),
    kestrun::test::CaseName());

} // namespace
} // namespace kestrun::test
