#include "CaseName.h"
#include "DisplayText.h"

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

} // namespace
} // namespace kestrun::test
