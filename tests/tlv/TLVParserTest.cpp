// SPDX-License-Identifier: GPL-3.0-or-later
#include "TlvTestSupport.h"

#include "tlv/TLVParser.h"

#include <QStringList>

namespace kestrun {
namespace {

using test::Bytes;
using test::CaseName;
using test::ErrorOf;
using test::Text;

struct ParseCase
{
    const char* Name;
    const char* Data;
    bool ShowTagNumbers;
    int32_t BaseIndent;
    const char16_t* Expected;
};

class ParseTest : public testing::TestWithParam<ParseCase>
{
};

TEST_P(ParseTest, Renders)
{
    TTLVParser parser;
    parser.SetShowTagNumbers(GetParam().ShowTagNumbers);
    parser.SetBaseIndent(GetParam().BaseIndent);
    EXPECT_EQ(parser.ParseTLV(Bytes(GetParam().Data)), Text(GetParam().Expected));
}

// Tag 3 holding tags 1054 and 1020.
constexpr const char* Receipt = "03 00 0B 00 1E 04 01 00 01 FC 03 02 00 39 30";

INSTANTIATE_TEST_SUITE_P(
    Parser, ParseTest,
    testing::Values(
        ParseCase{"ReceiptWithNumbers", Receipt, true, 4,
                  u"    3,Кассовый чек\r\n"
                  u"     1054,ПРИЗН. РАСЧЕТА:Приход\r\n"
                  u"     1020,СУММА РАСЧЕТА В ЧЕКЕ(БСО):123.45\r\n"},
        ParseCase{"ReceiptWithoutNumbers", Receipt, false, 4,
                  u"    Кассовый чек\r\n"
                  u"     ПРИЗН. РАСЧЕТА:Приход\r\n"
                  u"     СУММА РАСЧЕТА В ЧЕКЕ(БСО):123.45\r\n"},
        ParseCase{"Empty", "", true, 4, u"TLV length error"},
        ParseCase{"OneByte", "1E", true, 4, u"TLV length error"},
        ParseCase{"ThreeBytes", "1E 04 01", false, 0, u"TLV length error"},
        ParseCase{"SingleElement", "1E 04 01 00 01", false, 0, u"ПРИЗН. РАСЧЕТА:Приход\r\n"},
        ParseCase{"NegativeIndentIsNone", "1E 04 01 00 01", false, -3, u"ПРИЗН. РАСЧЕТА:Приход\r\n"},
        ParseCase{"UnknownTagSkipsValue", "EB 03 02 00 1E 04 1E 04 01 00 02", true, 2,
                  u"  1003,НЕИЗВЕСТНЫЙ ТЕГ\r\n"
                  u"  1054,ПРИЗН. РАСЧЕТА:Возврат прихода\r\n"},
        ParseCase{"LengthBeyondData", "1E 04 05 00 01", true, 0, u"1054,ПРИЗН. РАСЧЕТА:Ошибка! Некорректная длина\r\n"},
        ParseCase{"LengthErrorEndsLevel", "1E 04 01 00 01 1E 04 0C 00 02 1E 04 01 00 03", false, 0,
                  u"ПРИЗН. РАСЧЕТА:Приход\r\n"
                  u"ПРИЗН. РАСЧЕТА:Ошибка! Некорректная длина\r\n"},
        // Measured against the whole level: 5 does not exceed 11 - 4, so the value is cut instead.
        ParseCase{"LaterElementCut", "1E 04 01 00 01 FC 03 05 00 39 30", false, 0,
                  u"ПРИЗН. РАСЧЕТА:Приход\r\n"
                  u"СУММА РАСЧЕТА В ЧЕКЕ(БСО):123.45\r\n"},
        ParseCase{"EmptyContainer", "E8 03 00 00 1E 04 01 00 01", false, 0,
                  u"ДОКУМЕНТ\r\n"
                  u"TLV length errorПРИЗН. РАСЧЕТА:Приход\r\n"},
        ParseCase{"LengthErrorInsideContainer", "E8 03 05 00 1E 04 09 00 01 1E 04 01 00 02", false, 0,
                  u"ДОКУМЕНТ\r\n"
                  u" ПРИЗН. РАСЧЕТА:Ошибка! Некорректная длина\r\n"
                  u"ПРИЗН. РАСЧЕТА:Возврат прихода\r\n"},
        // After the first element one byte is left: its tag is that byte, its length 0.
        ParseCase{"PartialHeader", "01 00 00 00 03", true, 0,
                  u"1,Отчет о регистрации\r\n"
                  u"TLV length error3,Кассовый чек\r\n"
                  u"TLV length error"},
        ParseCase{"TwoLevels", "E8 03 0D 00 03 00 09 00 1E 04 01 00 01 26 04 00 00", true, 1,
                  u" 1000,ДОКУМЕНТ\r\n"
                  u"  3,Кассовый чек\r\n"
                  u"   1054,ПРИЗН. РАСЧЕТА:Приход\r\n"
                  u"   1062,СИСТЕМЫ НАЛОГООБЛ.:Нет\r\n"},
        ParseCase{"TabBeforeColon", "00 05 01 00 41", false, 0, u"дополнительный реквизит ОТР\t:A\r\n"},
        ParseCase{"BitFieldEmptyValue", "B5 04 01 00 FF", false, 0, u"КОДЫ ПРИЧИНЫ ИЗМ. СВЕД. О ККТ:\r\n"},
        ParseCase{"DocumentSign", "35 04 06 00 00 01 12 34 56 78", false, 0, u"ФП ДОКУМЕНТА:305419896\r\n"}),
    CaseName());

TEST(TLVParserTest, StartsWithoutNumbersOrIndent)
{
    const TTLVParser parser;
    EXPECT_FALSE(parser.ShowTagNumbers());
    EXPECT_EQ(parser.BaseIndent(), 0);
}

TEST(TLVParserTest, MalformedFVLNEndsRenderingThenParserStartsAtTop)
{
    TTLVParser parser;
    EXPECT_EQ(ErrorOf([&] { parser.ParseTLV(Bytes("E8 03 06 00 FF 03 02 00 09 01")); }),
              Text(u"Неверная длина FVLN"));
    EXPECT_EQ(parser.ParseTLV(Bytes("1E 04 01 00 01")), Text(u"ПРИЗН. РАСЧЕТА:Приход\r\n"));
}

struct CheckCase
{
    const char* Name;
    const char* Data;
};

class CheckTest : public testing::TestWithParam<CheckCase>
{
};

// Checking a document throws exactly where rendering it does, with the same message.
TEST_P(CheckTest, ThrowsWhereRenderingThrows)
{
    const TByteString data = Bytes(GetParam().Data);
    EXPECT_EQ(ErrorOf([&] { TTLVParser().CheckTLV(data); }), ErrorOf([&] { TTLVParser().ParseTLV(data); }));
}

INSTANTIATE_TEST_SUITE_P(Documents, CheckTest, testing::Values(
    CheckCase{"Clean", Receipt},
    CheckCase{"Empty", ""},
    CheckCase{"TooShort", "1E 04"},
    CheckCase{"BadPointNested", "E8 03 06 00 FF 03 02 00 09 01"},
    CheckCase{"BadPointTop", "FF 03 02 00 09 01"},
    CheckCase{"OneByteFVLN", "FF 03 01 00 02"},
    CheckCase{"EmptyFVLN", "FF 03 00 00"},
    CheckCase{"GoodFVLN", "FF 03 02 00 03 05"},
    CheckCase{"BadFVLNAfterAMalformedLength", "1E 04 09 00 01 FF 03 02 00 09 01"},
    CheckCase{"BadFVLNOfAnUnknownTag", "01 00 02 00 09 01"}),
    CaseName());

// `levels` containers of tag 1000, one inside the other, around the element 1054 = 01.
TByteString Nested(int levels)
{
    TByteString data = Bytes("1E 04 01 00 01");
    for (int i = 0; i < levels; ++i)
        data.prepend(Bytes("E8 03") + IntToBin(data.size(), 2));
    return data;
}

TEST(TLVParserTest, NestingUpToTheBoundIsExpanded)
{
    const QStringList lines = TTLVParser().ParseTLV(Nested(TTLVParser::MaxNestingLevel)).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), TTLVParser::MaxNestingLevel + 2);
    EXPECT_EQ(lines[TTLVParser::MaxNestingLevel - 1],
              QString(TTLVParser::MaxNestingLevel - 1, QLatin1Char(' ')) + Text(u"ДОКУМЕНТ"));
    EXPECT_EQ(lines[TTLVParser::MaxNestingLevel],
              QString(TTLVParser::MaxNestingLevel, QLatin1Char(' ')) + Text(u"ПРИЗН. РАСЧЕТА:Приход"));
    EXPECT_TRUE(lines.last().isEmpty());
}

TEST(TLVParserTest, DeeperNestingShowsHex)
{
    const QStringList lines =
        TTLVParser().ParseTLV(Nested(TTLVParser::MaxNestingLevel + 1)).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), TTLVParser::MaxNestingLevel + 2);
    EXPECT_EQ(lines[TTLVParser::MaxNestingLevel],
              QString(TTLVParser::MaxNestingLevel, QLatin1Char(' ')) + Text(u"ДОКУМЕНТ:1E 04 01 00 01"));
}

// The deepest chain 16-bit lengths allow: the stack and the output stay small.
TEST(TLVParserTest, DeepestNestingStaysBounded)
{
    const int levels = (0xFFFF - 5) / 4;
    const TByteString data = Nested(levels);
    ASSERT_LE(data.size(), 0xFFFF + 4);
    const QString text = TTLVParser().ParseTLV(data);
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), TTLVParser::MaxNestingLevel + 2);
    const QString deepest = lines[TTLVParser::MaxNestingLevel];
    EXPECT_TRUE(deepest.startsWith(QString(TTLVParser::MaxNestingLevel, QLatin1Char(' ')) + Text(u"ДОКУМЕНТ:E8 03")));
    EXPECT_TRUE(deepest.endsWith(QStringLiteral("1E 04 01 00 01")));
}

} // namespace
} // namespace kestrun
