// SPDX-License-Identifier: GPL-3.0-or-later
#include "TlvTestSupport.h"

#include "tlv/TLVTags.h"

#include <QLocale>
#include <QSet>

namespace kestrun {
namespace {

using test::Bytes;
using test::CaseName;
using test::ErrorOf;
using test::Text;

TEST(TLVTagsTest, HoldsEveryRowOnce)
{
    ASSERT_EQ(TTLVTags::Count(), 259);
    QSet<int32_t> numbers;
    for (int i = 0; i < TTLVTags::Count(); ++i)
        numbers.insert(TTLVTags::GetItem(i).Tag());
    EXPECT_EQ(numbers.size(), 259);
    EXPECT_THROW(TTLVTags::GetItem(259), std::out_of_range);
    EXPECT_THROW(TTLVTags::GetItem(-1), std::out_of_range);
}

TEST(TLVTagsTest, FindsByNumber)
{
    const TTLVTag* tag = TTLVTags::FindTag(1040);
    ASSERT_NE(tag, nullptr);
    EXPECT_EQ(tag->ShortDescription(), Text(u"НОМЕР ФД"));
    EXPECT_EQ(TTLVTags::FindTag(1003), nullptr);
    EXPECT_EQ(TTLVTags::FindTag(0), nullptr);
}

struct RowCase
{
    const char* Name;
    int Index;
    int32_t Tag;
    TTLVTagType Type;
    int32_t Length;
    bool Fixed;
    const char16_t* ShortDescription;
    const char16_t* Description; // as read, first letter in upper case
};

class RowTest : public testing::TestWithParam<RowCase>
{
};

TEST_P(RowTest, MatchesCatalogue)
{
    const RowCase& row = GetParam();
    const TTLVTag& tag = TTLVTags::GetItem(row.Index);
    EXPECT_EQ(tag.Tag(), row.Tag);
    EXPECT_EQ(tag.TagType(), row.Type);
    EXPECT_EQ(tag.Length(), row.Length);
    EXPECT_EQ(tag.FixedLength(), row.Fixed);
    EXPECT_EQ(tag.ShortDescription().toString(), Text(row.ShortDescription));
    EXPECT_EQ(tag.Description(), Text(row.Description));
    EXPECT_EQ(TTLVTags::FindTag(row.Tag), &tag);
}

INSTANTIATE_TEST_SUITE_P(
    Catalogue, RowTest,
    testing::Values(
        RowCase{"First", 0, 1001, ttByte, 1, false, u"ПРИЗН. АВТОМ. РЕЖ.", u"Признак автоматического режима"},
        RowCase{"Fixed", 9, 1016, ttString, 12, true, u"ИНН ОПЕРАТОРА ПЕРЕВОДА", u"ИНН оператора перевода"},
        RowCase{"PaymentType", 34, 1054, ttByte, 1, false, u"ПРИЗН. РАСЧЕТА", u"Признак расчета"},
        RowCase{"QuotesInShort", 76, 1129, ttSTLV, 116, false, u"СЧЕТЧИКИ ОПЕР. \"ПРИХОД\"",
                u"Счетчики операций «приход»"},
        RowCase{"TrailingBlank", 122, 1199, ttByte, 1, false, u"СТАВКА НДС", u"Ставка НДС "},
        RowCase{"QuotesInLong", 151, 1232, ttSTLV, 32, false, u"СЧЕТЧ. ПО ПРИЗН. ВОЗВР.ПРИХ.",
                u"Счетчики по признаку \"возврат прихода\""},
        RowCase{"AfterReturnCounters", 153, 1163, ttSTLV, 64, false, u"КТ", u"Код товара"},
        RowCase{"LatinOP", 170, 1274, ttString, 32, false, u"ДОП. РЕКВ. OP", u"Дополнительный реквизит ОР"},
        RowCase{"LatinOPDot", 171, 1275, ttByteArray, 32, false, u"ДОП. ДАННЫЕ OP.", u"Дополнительные данные ОР"},
        RowCase{"Tab", 176, 1280, ttString, 32, false, u"дополнительный реквизит ОТР\t",
                u"Дополнительный реквизит ОТР"},
        RowCase{"CyrillicEm", 190, 1305, ttString, 38, false, u"КТ GS1.М", u"КТ GS1.М"},
        RowCase{"LastFiscal", 223, 2115, ttString, 4, true, u"КОНТРОЛЬНЫЙ КОД КМ", u"Контрольный код КМ"},
        RowCase{"Document", 224, 1000, ttSTLV, 0, false, u"ДОКУМЕНТ", u"Документ"},
        RowCase{"EmptyLong", 226, 16101, ttUInt32, 4, false, u"Номер смены", u""},
        RowCase{"SlipLast", 231, 16104, ttString, 0, false, u"Текст слипа", u""},
        RowCase{"DocumentTypes", 232, 100, ttSTLV, 0, false, u"Параметры фискализации", u"Параметры фискализации"},
        RowCase{"Last", 258, 84, ttSTLV, 0, false, u"Квитанция на уведомление", u"Квитанция на уведомление"}),
    CaseName());

struct ValueCase
{
    const char* Name;
    int32_t Tag;
    const char* Value;
    const char16_t* Expected;
};

class ValueTest : public testing::TestWithParam<ValueCase>
{
};

TEST_P(ValueTest, Renders)
{
    const TTLVTag* tag = TTLVTags::FindTag(GetParam().Tag);
    ASSERT_NE(tag, nullptr);
    EXPECT_EQ(tag->GetStrValue(Bytes(GetParam().Value)), Text(GetParam().Expected));
}

INSTANTIATE_TEST_SUITE_P(
    Catalogue, ValueTest,
    testing::Values(
        ValueCase{"PaymentIncome", 1054, "01", u"Приход"},
        ValueCase{"PaymentUnknown", 1054, "05", u"Неизв. тип: 5"},
        ValueCase{"TaxGeneral", 1055, "01", u"ОБЩ."},
        ValueCase{"TaxNone", 1055, "00", u"Нет"},
        ValueCase{"TaxesTwoBits", 1062, "21", u"ОБЩ.+ПСН"},
        ValueCase{"ByteDecimal", 1209, "04", u"4"},
        ValueCase{"ByteSigned64", 1209, "FF FF FF FF FF FF FF FF", u"-1"},
        ValueCase{"UInt32", 1038, "0A 00 00 00", u"10"},
        ValueCase{"UInt32Max", 1040, "FF FF FF FF", u"4294967295"},
        ValueCase{"UInt32Low32Bits", 1040, "01 00 00 00 01", u"1"},
        ValueCase{"UInt16", 1213, "34 12", u"4660"},
        ValueCase{"Kopecks", 1020, "39 30", u"123.45"},
        ValueCase{"KopecksEmpty", 1020, "", u"0.00"},
        ValueCase{"KopecksSmall", 1020, "05", u"0.05"},
        ValueCase{"KopecksLargest", 1136, "FF FF FF FF FF FF FF FF", u"184467440737095516.15"},
        ValueCase{"Numerator", 1293, "03", u"3"},
        ValueCase{"Denominator", 1294, "E8 03", u"1000"},
        ValueCase{"Quantity", 1023, "03 E8 03", u"1.000"},
        ValueCase{"QuantityEmpty", 1023, "", u""},
        ValueCase{"BitFieldEmpty", 1205, "01 02 03 04", u""},
        ValueCase{"BitFieldOneByte", 1206, "FF", u""},
        ValueCase{"String", 1021, "88 A2 A0 AD AE A2 20 20", u"Иванов"},
        ValueCase{"StringCutAtZero", 1021, "88 A2 00 AD", u"Ив"},
        ValueCase{"StringControlsTrimmed", 1021, "41 09 0D 0A 1F 20", u"A"},
        ValueCase{"StringLeadingBlanksKept", 1021, "20 41", u" A"},
        ValueCase{"ContainerEmpty", 1059, "1E 04 01 00 01", u""},
        ValueCase{"DocumentSign", 1077, "00 01 12 34 56 78", u"305419896"},
        ValueCase{"DocumentSignShort", 1077, "00 01 12 34", u"4660"},
        ValueCase{"DocumentSignTwoBytes", 1077, "00 01", u"0"},
        ValueCase{"DocumentSignLong", 1077, "00 01 00 00 00 01 FF FF", u"1"},
        ValueCase{"ByteArrayHex", 1078, "0A 1B", u"0A 1B"},
        ValueCase{"ByteArrayEmpty", 1162, "", u""}),
    CaseName());

TEST(TLVTagTest, MalformedQuantityFails)
{
    const TTLVTag* tag = TTLVTags::FindTag(1023);
    ASSERT_NE(tag, nullptr);
    EXPECT_EQ(ErrorOf([&] { tag->GetStrValue(Bytes("09 01")); }), Text(u"Неверная длина FVLN"));
}

// Dates and times follow the default locale; numbers do not.
class RussianLocaleTest : public testing::Test
{
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }
};

TEST_F(RussianLocaleTest, DateAndTimeWithoutShift)
{
    EXPECT_EQ(TTLVTags::FindTag(1012)->GetStrValue(Bytes("B4 F4 41 60")), Text(u"05.03.2021 09:07:00"));
}

TEST_F(RussianLocaleTest, MidnightShowsDateAlone)
{
    EXPECT_EQ(TTLVTags::FindTag(1012)->GetStrValue(Bytes("00 00 00 00")), Text(u"01.01.1970"));
}

TEST_F(RussianLocaleTest, WrongLengthShowsZeroDate)
{
    EXPECT_EQ(TTLVTags::FindTag(1098)->GetStrValue(Bytes("00 00 00")), Text(u"30.12.1899"));
}

TEST_F(RussianLocaleTest, BeforeEpoch)
{
    EXPECT_EQ(TTLVTags::FindTag(1012)->GetStrValue(Bytes("FF FF FF FF")), Text(u"31.12.1969 23:59:59"));
}

TEST_F(RussianLocaleTest, DecimalPointStaysPoint)
{
    EXPECT_EQ(TTLVTags::FindTag(1020)->GetStrValue(Bytes("39 30")), Text(u"123.45"));
    EXPECT_EQ(TTLVTags::FindTag(1023)->GetStrValue(Bytes("02 39 30")), Text(u"123.45"));
}

} // namespace
} // namespace kestrun
