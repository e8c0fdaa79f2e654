// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaseName.h"
#include "log/Bytes.h"

#include <gtest/gtest.h>

using namespace kestrun;

namespace {

struct HexCase
{
    const char* Name;
    QByteArray Text;
    QByteArray Hex; // expected bytes, written canonically
};

class HexToStrTest : public ::testing::TestWithParam<HexCase> {};

TEST_P(HexToStrTest, ReadsTolerantly)
{
    EXPECT_EQ(StrToHex(HexToStr(GetParam().Text)), GetParam().Hex);
}

INSTANTIATE_TEST_SUITE_P(Cases, HexToStrTest, ::testing::Values(
    HexCase{"Canonical", "10 8F 0B", "10 8F 0B"},
    HexCase{"RunTogether", "108F0B", "10 8F 0B"},
    HexCase{"SingleDigitAtEnd", "10 8F B", "10 8F 0B"},
    HexCase{"LowerCaseDoubledBlanks", "  10  8f 0b  ", "10 8F 0B"},
    HexCase{"SingleDigits", "A B C", "0A 0B 0C"},
    HexCase{"OddRun", "ABC", "AB 0C"},
    HexCase{"TabInsidePair", "A\tB", "AB"},
    HexCase{"StopsAtGarbage", "10 XY 20", "10"},
    HexCase{"LeadingGarbage", "x10", ""},
    HexCase{"Empty", "", ""},
    HexCase{"BlanksOnly", "   ", ""},
    HexCase{"SingleZero", "0", "00"},
    HexCase{"TrailingInvalidTokenDropped", "10 G", "10"},
    HexCase{"HighBytesAreNotHex", "10 \xC0\xC1 20", "10"},
    HexCase{"PairsThenSingleDigit", "10 8F B 0B", "10 8F 0B 0B"},
    HexCase{"PairsThenRun", "10 8F0B", "10 8F 0B"},
    HexCase{"PairsThenTab", "10\t8F", "10 8F"},
    HexCase{"PairsThenGarbage", "10 8F 0X 20", "10 8F"},
    HexCase{"TrailingBlank", "10 8F ", "10 8F"}),
    kestrun::test::CaseName());

TEST(StrToHex, WritesCanonicalForm)
{
    EXPECT_EQ(StrToHex(QByteArray()), QByteArray());
    EXPECT_EQ(StrToHex(QByteArray("\x0A", 1)), QByteArray("0A"));
    EXPECT_EQ(StrToHex(QByteArray("\x10\x8F\x0B", 3)), QByteArray("10 8F 0B"));
}

struct CanonicalCase
{
    const char* Name;
    QByteArray Text;
    bool Canonical;
};

class CanonicalHexTest : public ::testing::TestWithParam<CanonicalCase> {};

// Both readers of the canonical form agree with it, and the bytes read are the tolerant reader's.
TEST_P(CanonicalHexTest, TellsTheFormStrToHexWrites)
{
    const QByteArray& text = GetParam().Text;
    EXPECT_EQ(IsCanonicalHex(text), GetParam().Canonical);
    const qsizetype count = CanonicalHexBytes(text.size());
    QByteArray bytes(qMax<qsizetype>(count, 0), '\0');
    EXPECT_EQ(count >= 0 && ReadCanonicalHex(text, bytes.data()), GetParam().Canonical);
    if (GetParam().Canonical) {
        EXPECT_EQ(bytes, HexToStr(text));
    }
}

// Long enough rows are checked by blocks of sixteen characters; a fault in each place of a block shows.
INSTANTIATE_TEST_SUITE_P(Cases, CanonicalHexTest, ::testing::Values(
    CanonicalCase{"Empty", "", true},
    CanonicalCase{"OneByte", "0A", true},
    CanonicalCase{"ThreeBytes", "10 8F 0B", true},
    CanonicalCase{"EveryDigit", "01 23 45 67 89 AB CD EF FE DC BA 98 76 54 32 10 9F", true},
    CanonicalCase{"LowerCase", "10 8f 0B", false},
    CanonicalCase{"LowerCaseInABlock", "10 2a 30 40 50 60 70 80", false},
    CanonicalCase{"BlankForADigitInABlock", "10 20 30 40 5  60 70 80", false},
    CanonicalCase{"DigitForABlankInABlock", "10 20 30 40 50160 70 80", false},
    CanonicalCase{"HighByteInABlock", "10 20 30 \xC0\xC1 50 60 70 80", false},
    CanonicalCase{"LowerCaseAfterTheBlocks", "10 20 30 40 50 60 7a 80", false},
    CanonicalCase{"FaultInTheLastByte", "10 20 30 40 50 60 70 8G", false},
    CanonicalCase{"LeadingBlank", " 10 8F", false},
    CanonicalCase{"TrailingBlank", "10 8F ", false},
    CanonicalCase{"SingleDigit", "A", false},
    CanonicalCase{"RunTogether", "108F0B", false},
    CanonicalCase{"TabForABlank", "10\t8F 0B", false}),
    kestrun::test::CaseName());

TEST(HexToStrPrefix, StopsAfterRequestedBytes)
{
    EXPECT_EQ(StrToHex(HexToStrPrefix("FF 45 01 02", 2)), QByteArray("FF 45"));
    EXPECT_EQ(StrToHex(HexToStrPrefix("ABC", 2)), QByteArray("AB 0C"));
}

TEST(BinToInt, ReadsLittleEndianWithinBounds)
{
    const QByteArray b("\x34\x12", 2);
    EXPECT_EQ(BinToInt(b, 1, 2), 0x1234);
    EXPECT_EQ(BinToInt(b, 2, 2), 0);
    EXPECT_EQ(BinToInt(b, 2, 1), 0x12);
    EXPECT_EQ(BinToInt(b, 0, 1), 0);
    EXPECT_EQ(BinToInt(b, 1, 0), 0);
    EXPECT_EQ(BinToInt(QByteArray(10, '\x01'), 1, 9), 0);
    EXPECT_EQ(BinToInt(QByteArray(8, '\xFF'), 1, 8), -1);
}

TEST(IntToBin, WritesLowBytes)
{
    EXPECT_EQ(IntToBin(0x1234, 2), QByteArray("\x34\x12", 2));
    EXPECT_TRUE(IntToBin(0x1234, 0).isEmpty());
    EXPECT_TRUE(IntToBin(0x1234, 9).isEmpty());
}

struct DateCase
{
    const char* Name;
    QByteArray Bytes;
    TDateTime (*Convert)(QByteArrayView, qsizetype);
    TDateTime Expected;
};

class DateConversionTest : public ::testing::TestWithParam<DateCase> {};

TEST_P(DateConversionTest, Converts)
{
    EXPECT_DOUBLE_EQ(GetParam().Convert(GetParam().Bytes, 1), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, DateConversionTest, ::testing::Values(
    DateCase{"LastDayOfYear", QByteArray("\x1F\x0C\x18", 3), BinToDate, EncodeDate(2024, 12, 31)},
    DateCase{"February31", QByteArray("\x1F\x02\x18", 3), BinToDate, 0},
    DateCase{"LeapDay", QByteArray("\x1D\x02\x18", 3), BinToDate, EncodeDate(2024, 2, 29)},
    DateCase{"NoLeapDay", QByteArray("\x1D\x02\x19", 3), BinToDate, 0},
    DateCase{"TimeLast", QByteArray("\x17\x3B\x3B", 3), BinToTime, EncodeTime(23, 59, 59)},
    DateCase{"Hour24", QByteArray("\x18\x00\x00", 3), BinToTime, 0},
    DateCase{"DateTime", QByteArray("\x18\x0C\x1F\x17\x3B", 5), BinToDateTime,
             EncodeDate(2024, 12, 31) + EncodeTime(23, 59, 0)},
    DateCase{"InvalidDateValidTime", QByteArray("\x18\x0D\x1F\x01\x00", 5), BinToDateTime, EncodeTime(1, 0, 0)}),
    kestrun::test::CaseName());

TEST(Dates, DayZeroIsTheEpoch)
{
    EXPECT_DOUBLE_EQ(EncodeDate(1899, 12, 30), 0);
    EXPECT_DOUBLE_EQ(EncodeDate(1900, 1, 1), 2);
}

TEST(TestBit, UsesBitModulo32)
{
    EXPECT_TRUE(TestBit(0x80000000u, 31));
    EXPECT_TRUE(TestBit(0x80000000u, 63));
    EXPECT_TRUE(TestBit(1, 32));
    EXPECT_FALSE(TestBit(1, 1));
}

struct RoundCase
{
    double Value;
    double Step;
    double Expected;
};

class RoundToStepTest : public ::testing::TestWithParam<RoundCase> {};

TEST_P(RoundToStepTest, RoundsHalfAwayFromZero)
{
    EXPECT_DOUBLE_EQ(RoundToStep(GetParam().Value, GetParam().Step), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, RoundToStepTest, ::testing::Values(
    RoundCase{2.5, 1, 3}, RoundCase{2.4999999, 1, 2}, RoundCase{-2.5, 1, -3},
    RoundCase{2.99999999, 1, 3}, RoundCase{250.98, 1, 251}, RoundCase{0.125, 0.01, 0.13}));

TEST(RoundToInt, Truncates)
{
    EXPECT_EQ(RoundToInt(250.98), 251);
    EXPECT_EQ(RoundToInt(-0.5), -1);
}

} // namespace
