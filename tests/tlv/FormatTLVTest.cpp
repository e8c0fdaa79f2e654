// SPDX-License-Identifier: GPL-3.0-or-later
#include "TlvTestSupport.h"

#include "tlv/FormatTLV.h"

#include <functional>

namespace kestrun {
namespace {

using test::Bytes;
using test::CaseName;
using test::ErrorOf;
using test::Text;

struct IntCase
{
    const char* Name;
    const char* Value;
    uint64_t Expected;
};

class IntTest : public testing::TestWithParam<IntCase>
{
};

TEST_P(IntTest, ReadsLittleEndian)
{
    EXPECT_EQ(TFormatTLV::ValueTLV2Int(Bytes(GetParam().Value)), GetParam().Expected);
    EXPECT_EQ(TFormatTLV::ValueTLV2VLN(Bytes(GetParam().Value)), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(Formats, IntTest,
                         testing::Values(IntCase{"Empty", "", 0}, IntCase{"TwoBytes", "01 02", 513},
                                         IntCase{"NineBytesKeepFirstEight", "01 02 03 04 05 06 07 08 09",
                                                 0x0807060504030201},
                                         IntCase{"AllOnes", "FF FF FF FF FF FF FF FF", UINT64_MAX}),
                         CaseName());

struct FVLNTextCase
{
    const char* Name;
    const char* Value;
    const char* Expected;
};

class FVLNTextTest : public testing::TestWithParam<FVLNTextCase>
{
};

TEST_P(FVLNTextTest, WritesDecimalWithPoint)
{
    EXPECT_EQ(TFormatTLV::ValueTLV2FVLNstr(Bytes(GetParam().Value)), QString::fromLatin1(GetParam().Expected));
}

INSTANTIATE_TEST_SUITE_P(
    Formats, FVLNTextTest,
    testing::Values(FVLNTextCase{"TwoDecimals", "02 39 30", "123.45"}, FVLNTextCase{"NoPoint", "00 05", "5"},
                    FVLNTextCase{"LeadingZeros", "03 01", "0.001"}, FVLNTextCase{"TrailingZeros", "03 E8 03", "1.000"},
                    FVLNTextCase{"Empty", "", ""},
                    // Exact to the last digit, where a double would round.
                    FVLNTextCase{"LargestMantissa", "00 FF FF FF FF FF FF FF FF", "18446744073709551615"},
                    FVLNTextCase{"LargestMantissaEightDecimals", "08 FF FF FF FF FF FF FF FF",
                                 "184467440737.09551615"}),
    CaseName());

struct FVLNCase
{
    const char* Name;
    const char* Value;
    int64_t Expected; // ten-thousandths
};

class FVLNTest : public testing::TestWithParam<FVLNCase>
{
};

TEST_P(FVLNTest, GivesCurrency)
{
    EXPECT_EQ(TFormatTLV::ValueTLV2FVLN(Bytes(GetParam().Value)), TCurrency{GetParam().Expected});
}

INSTANTIATE_TEST_SUITE_P(
    Formats, FVLNTest,
    testing::Values(FVLNCase{"TwoDecimals", "02 39 30", 1234500}, FVLNCase{"SixDecimalsRounded", "06 87 D6 12", 12346},
                    // 1.49 ten-thousandths rounds once per decimal: 14.9 -> 15, 1.5 -> 2.
                    FVLNCase{"RoundedPerDecimal", "06 95 00", 2}, FVLNCase{"TieToEven", "05 19", 2},
                    FVLNCase{"LargeMantissaEightDecimals", "08 FF FF FF FF FF FF FF FF", 1844674407370955}),
    CaseName());

struct ErrorCase
{
    const char* Name;
    std::function<void()> Action;
    const char16_t* Expected;
};

class FormatErrorTest : public testing::TestWithParam<ErrorCase>
{
};

TEST_P(FormatErrorTest, Fails)
{
    EXPECT_EQ(ErrorOf(GetParam().Action), Text(GetParam().Expected));
}

INSTANTIATE_TEST_SUITE_P(
    Formats, FormatErrorTest,
    testing::Values(
        ErrorCase{"FVLNTextPointOnly", [] { TFormatTLV::ValueTLV2FVLNstr(Bytes("05")); }, u"Неверная длина FVLN"},
        ErrorCase{"FVLNTextPointNine", [] { TFormatTLV::ValueTLV2FVLNstr(Bytes("09 01")); }, u"Неверная длина FVLN"},
        ErrorCase{"FVLNEmpty", [] { TFormatTLV::ValueTLV2FVLN(Bytes("")); }, u"Неверная длина FVLN"},
        ErrorCase{"FVLNPointNine", [] { TFormatTLV::ValueTLV2FVLN(Bytes("09 01")); }, u"Неверная длина FVLN"},
        // Beyond what a four-decimal amount can hold: an error rather than a wrapped number.
        ErrorCase{"FVLNOverflow", [] { TFormatTLV::ValueTLV2FVLN(Bytes("00 FF FF FF FF FF FF FF FF")); },
                  u"to large data"}),
    CaseName());

struct UnixTimeCase
{
    const char* Name;
    const char* Value;
    TDateTime Expected;
};

class UnixTimeTest : public testing::TestWithParam<UnixTimeCase>
{
};

TEST_P(UnixTimeTest, GivesDateWithoutShift)
{
    EXPECT_DOUBLE_EQ(TFormatTLV::ValueTLV2UnixTime(Bytes(GetParam().Value)), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, UnixTimeTest,
    testing::Values(UnixTimeCase{"Epoch", "00 00 00 00", EncodeDate(1970, 1, 1)},
                    UnixTimeCase{"SignedBefore1970", "FF FF FF FF", EncodeDate(1969, 12, 31) + EncodeTime(23, 59, 59)},
                    UnixTimeCase{"March2021", "B4 F4 41 60", EncodeDate(2021, 3, 5) + EncodeTime(9, 7, 0)},
                    UnixTimeCase{"ThreeBytes", "00 00 00", 0}, UnixTimeCase{"FiveBytes", "00 00 00 00 00", 0}),
    CaseName());

struct TextCase
{
    const char* Name;
    std::function<QString()> Render;
    const char16_t* Expected;
};

class TextTest : public testing::TestWithParam<TextCase>
{
};

TEST_P(TextTest, GivesText)
{
    EXPECT_EQ(GetParam().Render(), Text(GetParam().Expected));
}

INSTANTIATE_TEST_SUITE_P(
    Formats, TextTest,
    testing::Values(
        TextCase{"Cp866Cyrillic", [] { return TFormatTLV::ValueTLV2ASCII(Bytes("8F E0 A8")); }, u"При"},
        TextCase{"Cp866ZeroEnds", [] { return TFormatTLV::ValueTLV2ASCII(Bytes("41 00 42")); }, u"A"},
        TextCase{"Cp866KeepsBlanks", [] { return TFormatTLV::ValueTLV2ASCII(Bytes("41 20 20")); }, u"A  "},
        TextCase{"Cp866ControlsStayAscii", [] { return TFormatTLV::ValueTLV2ASCII(Bytes("1A 1C 7F")); },
                 u"\x1A\x1C\x7F"},
        TextCase{"Cp866UpperHalf", [] { return TFormatTLV::ValueTLV2ASCII(Bytes("F0 F1 FC FF")); }, u"Ёё№\u00A0"},
        TextCase{"PaymentIncome", [] { return PaymentTypeToStr(1); }, u"Приход"},
        TextCase{"PaymentIncomeReturn", [] { return PaymentTypeToStr(2); }, u"Возврат прихода"},
        TextCase{"PaymentExpense", [] { return PaymentTypeToStr(3); }, u"Расход"},
        TextCase{"PaymentExpenseReturn", [] { return PaymentTypeToStr(4); }, u"Возврат расхода"},
        TextCase{"PaymentUnknown", [] { return PaymentTypeToStr(7); }, u"Неизв. тип: 7"},
        TextCase{"PaymentZero", [] { return PaymentTypeToStr(0); }, u"Неизв. тип: 0"},
        TextCase{"TaxNone", [] { return TaxSystemsToStr(0); }, u"Нет"},
        TextCase{"TaxGeneral", [] { return TaxSystemsToStr(1); }, u"ОБЩ."},
        TextCase{"TaxTwo", [] { return TaxSystemsToStr(3); }, u"ОБЩ.+УД"},
        TextCase{"TaxWithoutGeneral", [] { return TaxSystemsToStr(2); }, u"+УД"},
        TextCase{"TaxAllSix", [] { return TaxSystemsToStr(0x3F); }, u"ОБЩ.+УД+УДМР+ЕНВД+ЕСН+ПСН"},
        TextCase{"TaxHighBitsOnly", [] { return TaxSystemsToStr(64); }, u""}),
    CaseName());

} // namespace
} // namespace kestrun
