// SPDX-License-Identifier: GPL-3.0-or-later
#include "FlagTexts.h"
#include "CaseName.h"
#include "decode/FieldTexts.h"
#include "decode/ParserCommand.h"
#include "decode/ParserCommands.h"
#include "log/Bytes.h"
#include "log/DateText.h"
#include "tlv/TLVParser.h"

#include <QLocale>
#include "PrintQt.h"

#include <gtest/gtest.h>

namespace kestrun {
namespace {

using namespace Qt::StringLiterals;

// A decoder whose layouts the test gives; fields follow the one-byte code 01 and the error byte.
class TProbe : public TParserCommand
{
public:
    TProbe(std::initializer_list<TField> request, std::initializer_list<TField> answer = {})
    {
        for (const TField& field : request)
            AddField(field.Name, field.FieldType);
        for (const TField& field : answer)
            AddAnswerField(field.Name, field.FieldType);
    }
};

TCommand Command(const QByteArray& data, const QByteArray& answer = {}, const QByteArray& played = {})
{
    TCommand command;
    command.SetData(data);
    command.SetAnswerData(answer);
    command.SetPlayedAnswerData(played);
    command.Protocol = TProtocol::pProtocol1;
    return command;
}

QString RenderTLV(const QByteArray& hex, int indent)
{
    TTLVParser parser;
    parser.SetShowTagNumbers(true);
    parser.SetBaseIndent(indent);
    return parser.ParseTLV(HexToStr(hex));
}

// Dates and times read in the Russian formats; the C locale elsewhere.
class RussianLocale : public testing::Test
{
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }
};

using test::RollsFlags;

struct FieldCase
{
    const char* Name;
    TFieldType Type;
    QByteArray Bytes; // after the code byte 01
    QString Expected; // the rendered request text
};

class FieldRules : public RussianLocale, public testing::WithParamInterface<FieldCase> {};

TEST_P(FieldRules, RenderOneField)
{
    TProbe probe({{u"F"_s, GetParam().Type}});
    EXPECT_EQ(probe.Parse(Command("01 " + GetParam().Bytes), pFields), GetParam().Expected);
}

QString Line(const QString& value) { return u"F: "_s + value + u"\r\n"_s; }

INSTANTIATE_TEST_SUITE_P(Types, FieldRules, testing::Values(
    FieldCase{"Byte", ftByte, "FE", Line(u"254"_s)},
    FieldCase{"UInt32", ftUInt32, "1E 00 00 80", Line(u"2147483678"_s)},
    FieldCase{"Uint16", ftUint16, "34 12", Line(u"4660"_s)},
    FieldCase{"INN", ftINN, "FF FF FF FF FF FF", Line(u"281474976710655"_s)},
    FieldCase{"BarcodeGroupSeparator", ftBarcode, "03 41 1D 42", Line(u"A<0x1D>B"_s)},
    FieldCase{"Quantity6", ftQuantity6, "40 42 0F 00 00 00", Line(u"1,000000"_s)},
    FieldCase{"Quantity5", ftQuantity5, "E8 03 00 00 00", Line(u"1,000"_s)},
    FieldCase{"DateTimeShowsDateOnly", ftDateTime, "1F 0C 18 17 3B", Line(u"31.12.2024"_s)},
    FieldCase{"DateTimeDoc", ftDateTimeDoc, "18 0C 1F 17 3B", Line(u"31.12.2024 23:59:00"_s)},
    FieldCase{"DateTimeDocMidnight", ftDateTimeDoc, "18 0C 1F 00 00", Line(u"31.12.2024"_s)},
    FieldCase{"DateInvalidIsZeroPoint", ftDate, "1F 02 18", Line(u"30.12.1899"_s)},
    FieldCase{"Date", ftDate, "01 02 18", Line(u"01.02.2024"_s)},
    FieldCase{"Time", ftTime, "17 3B 05", Line(u"23:59:05"_s)},
    FieldCase{"Sum", ftSum, "10 27 00 00 00", Line(u"100,00"_s)},
    FieldCase{"SumLargest", ftSum, "FF FF FF FF FF", Line(u"10995116277,75"_s)},
    FieldCase{"StringKeepsTrailingBytes", ftString, "4D 69 6C 6B 00 20", Line(u"Milk"_s + QChar(0) + u" "_s)},
    FieldCase{"StringCp1251", ftString, "CC EE EB EE EA EE", Line(u"Молоко"_s)},
    // No text a register sends is taken for anything but a value.
    FieldCase{"StringOfAnyContentIsShown", ftString,
              "23 23 23 6B 65 73 74 72 75 6E 5F 6E 6F 74 5F 76 69 73 69 62 6C 65 5F 76 61 6C 75 65 23 23 23",
              Line(u"###kestrun_not_visible_value###"_s)},
    FieldCase{"String40Trimmed", ftString40, "4D 69 6C 6B" + QByteArray(" 00").repeated(36), Line(u"Milk"_s)},
    FieldCase{"String16Trimmed", ftString16, "30 31 20 20", Line(u"01"_s)},
    FieldCase{"TableValueNumber", ftTableValue, "01 00", Line(u"1"_s)},
    FieldCase{"TableValueText", ftTableValue, "41 42 43", Line(u"\r\nStr: ABC\r\nInt: 4407873"_s)},
    FieldCase{"TableValueSigned", ftTableValue, "FF FF FF FF FF FF FF FF", Line(u"\r\nStr: яяяяяяяя\r\nInt: -1"_s)},
    FieldCase{"TableValueLongText", ftTableValue, "41 42 43 44 45 46 47 48 49 20 00", Line(u"ABCDEFGHI"_s)},
    FieldCase{"TableValueEmpty", ftTableValue, "", Line(QString())},
    FieldCase{"FieldType", ftFieldType, "01", Line(u"1 [Str]"_s)},
    FieldCase{"CheckType", ftCheckType, "00", Line(u"0 [Приход]"_s)},
    FieldCase{"PaymentTypeSign", ftPaymentTypeSign, "04", Line(u"4 [Полный расчет]"_s)},
    FieldCase{"PaymentItemSignWithoutText", ftPaymentItemSign, "1C", Line(u"28 []"_s)},
    FieldCase{"TaxValueNone", ftTaxValue, "FF FF FF FF FF", Line(u"[нет]"_s)},
    FieldCase{"TaxValue", ftTaxValue, "10 27 00 00 00", Line(u"100,00"_s)},
    FieldCase{"Summ1ValueNone", ftSumm1Value, "FF FF FF FF FF", Line(u"[нет]"_s)},
    FieldCase{"Tax", ftTax, "02", Line(u"2"_s)},
    FieldCase{"TaxType", ftTaxType, "10", Line(u"16 [ЕСХН]"_s)},
    FieldCase{"Tax1NotInTable", ftTax1, "03", Line(u"3 []"_s)},
    FieldCase{"SoftVersion", ftSoftVersion, "41 32", Line(u"A.2"_s)},
    FieldCase{"ECRMode", ftECRMode, "02", Line(u"2 [Открытая смена; 24 часа не кончились]"_s)},
    FieldCase{"ECRAdvancedMode", ftECRAdvancedMode, "03", Line(u"3 [После активного отсутствия бумаги]"_s)},
    FieldCase{"ECRFlags", ftECRFlags, "03 00", Line(RollsFlags)},
    FieldCase{"BatteryFull", ftBatteryVoltage, "FF", Line(u"5,00 В."_s)},
    FieldCase{"BatteryRounded", ftBatteryVoltage, "80", Line(u"2,51 В."_s)},
    FieldCase{"PowerSource", ftPowerSourceVoltage, "D8", Line(u"24,00 В."_s)},
    FieldCase{"PowerSourceLow", ftPowerSourceVoltage, "01", Line(u"0,11 В."_s)},
    FieldCase{"PortNumber", ftPortNumber, "09", Line(u"9 [неизвестный тип]"_s)},
    FieldCase{"CheckType2", ftCheckType2, "01", Line(u"1 [Приход]"_s)},
    FieldCase{"CheckItemLocalResult", ftCheckItemLocalResult, "01", Line(u"1 ["_s + CheckItemLocalResultText(1) + u"]"_s)},
    FieldCase{"CheckItemLocalError", ftCheckItemLocalError, "00", Line(u"0 [КМ проверен в ФН]"_s)},
    FieldCase{"MarkingType2", ftMarkingType2, "01", Line(u"1 [Короткий КМ]"_s)},
    FieldCase{"ItemStatus", ftItemStatus, "01", Line(u"1 [Штучный товар, реализован]"_s)},
    FieldCase{"MarkingTypeBigEndian", ftMarkingType, "44 4D", Line(u"17485 [Код GS1 Data Matrix]"_s)},
    FieldCase{"MarkingTypeEx", ftMarkingTypeEx, "FF", Line(u"255 [GS-1 без маркировки]"_s)},
    FieldCase{"Accept", ftAcceptOrDecline, "01", Line(u"1 [Принять]"_s)},
    FieldCase{"DeclineZero", ftAcceptOrDecline, "00", Line(u"0 [Отклонить]"_s)},
    FieldCase{"DeclineTwo", ftAcceptOrDecline, "02", Line(u"2 [Отклонить]"_s)},
    FieldCase{"FNSessionState", ftFNSessionState, "01", Line(u"1 [Смена открыта]"_s)},
    FieldCase{"FNCurrentDocument", ftFNCurrentDocument, "04", Line(u"4 [Кассовый чек]"_s)},
    FieldCase{"FNDocumentData", ftFNDocumentData, "00", Line(u"0 [Нет данных документа]"_s)},
    FieldCase{"FNLifeState", ftFNLifeState, "03", Line(u"3 ["_s + FNLifeStateText(3) + u"]"_s)},
    // Past the end of the bytes every field still gets a value.
    FieldCase{"MissingUInt32", ftUInt32, "", Line(u"0"_s)},
    FieldCase{"MissingPartOfUInt32", ftUInt32, "01 01", Line(u"257"_s)},
    FieldCase{"MissingSum", ftSum, "", Line(u"0,00"_s)},
    FieldCase{"MissingQuantity", ftQuantity5, "", Line(u"0,000"_s)},
    FieldCase{"MissingDate", ftDate, "", Line(u"30.12.1899"_s)},
    FieldCase{"MissingTime", ftTime, "", Line(u"00:00:00"_s)},
    FieldCase{"MissingString", ftString, "", Line(QString())},
    FieldCase{"MissingString40", ftString40, "41", Line(u"A"_s)},
    FieldCase{"MissingMarkingTypeLowByte", ftMarkingType, "12", Line(u"4608 [Неизвестный тип]"_s)},
    FieldCase{"BarcodeShorterThanLength", ftBarcode, "03 41", Line(u"A"_s + QChar(0) + QChar(0))}
), kestrun::test::CaseName());

// Composite fields add their own named values and none for themselves.
struct CompositeCase
{
    const char* Name;
    TFieldType Type;
    QByteArray Bytes;
    QString Expected;
};

class CompositeRules : public testing::TestWithParam<CompositeCase> {};

TEST_P(CompositeRules, AddTheirOwnValues)
{
    TProbe probe({{u"F"_s, GetParam().Type}, {u"Next"_s, ftByte}});
    EXPECT_EQ(probe.Parse(Command("01 " + GetParam().Bytes), pFields), GetParam().Expected);
}

const QString ServerOk = u"KMServerErrorCode: 0 [Ошибок нет]\r\n"_s;
QString Status(uint8_t status)
{
    return u"KMServerCheckingStatus (Тег 2106): "_s + QString::number(status) + u" ["_s + KMCheckingStatusText(status)
         + u"]\r\n"_s;
}
const QByteArray TlvHex = "06 04 02 00 41 42";

INSTANTIATE_TEST_SUITE_P(Types, CompositeRules, testing::Values(
    CompositeCase{"BarcodeTLVEmpty", ftBarcodeTLV, "00 00 07", u"Next: 7\r\n"_s},
    CompositeCase{"BarcodeTLVBoth", ftBarcodeTLV, "02 " + QByteArray::number(HexToStr(TlvHex).size(), 16) + " 41 1D " + TlvHex,
                  u"Barcode HEX: 41 1D\r\nBarcode: A<0x1D>\r\nTLVData HEX: "_s + QString::fromLatin1(TlvHex)
                      + u"\r\nTLVData: "_s + RenderTLV(TlvHex, 2) + u"\r\nNext: 0\r\n"_s},
    CompositeCase{"KMAnswerEmpty", ftKMAnswer, "00 07", u"Next: 7\r\n"_s},
    CompositeCase{"KMAnswerErrorOnly", ftKMAnswer, "01 FF 07",
                  u"KMServerErrorCode: 255 [Сервер не ответил в течение таймаута]\r\nNext: 7\r\n"_s},
    CompositeCase{"KMAnswerStatusAfter20", ftKMAnswer, "02 20 03 07",
                  u"KMServerErrorCode: 32 []\r\n"_s + Status(3) + u"Next: 7\r\n"_s},
    CompositeCase{"KMAnswerNoStatusAfterOtherError", ftKMAnswer, "02 05 03",
                  u"KMServerErrorCode: 5 []\r\nNext: 3\r\n"_s},
    CompositeCase{"KMAnswerWithTLV", ftKMAnswer, "03 00 0F " + TlvHex,
                  ServerOk + Status(15) + u"TLVData Hex: "_s + QString::fromLatin1(TlvHex) + u"\r\nTLV Data: \r\n"_s
                      + RenderTLV(TlvHex, 2) + u"\r\nNext: 0\r\n"_s},
    CompositeCase{"KMSendAnswerTooShort", ftKMSendAnswer, "01 02", u"Next: 1\r\n"_s},
    CompositeCase{"KMSendAnswerWithServer", ftKMSendAnswer, "03 00 01 01 FF",
                  u"CheckItemLocalResult: 3 ["_s + CheckItemLocalResultText(3)
                      + u"]\r\nCheckItemLocalError: 0 [КМ проверен в ФН]\r\nMarkingType2: 1 [Короткий КМ]\r\n"_s
                      + u"KMServerErrorCode: 255 [Сервер не ответил в течение таймаута]\r\nNext: 0\r\n"_s},
    CompositeCase{"BarcodeOSUWithoutFlag", ftBarcodeOSU, "01 41", u"Barcode HEX: 41\r\nBarcode: A\r\nOSU: False\r\nNext: 0\r\n"_s},
    CompositeCase{"BarcodeOSUFlag", ftBarcodeOSU, "01 41 FF 07", u"Barcode HEX: 41\r\nBarcode: A\r\nOSU: True\r\nNext: 7\r\n"_s},
    CompositeCase{"BarcodeOSUEmpty", ftBarcodeOSU, "00 00", u"OSU: False\r\nNext: 0\r\n"_s}
), kestrun::test::CaseName());

TEST(ParserCommand, TLVFieldStartsWithLineBreak)
{
    TProbe probe({{u"TLV"_s, ftTLV}});
    EXPECT_EQ(probe.Parse(Command("01 " + TlvHex), pFields), u"TLV: \r\n"_s + RenderTLV(TlvHex, 4) + u"\r\n"_s);
}

TEST(ParserCommand, AnswerErrorByteGivesOneLineAndNoValues)
{
    TProbe probe({}, {{u"Change"_s, ftSum}});
    const TCommand command = Command("FF 45", "FF 45 37");
    EXPECT_EQ(probe.Parse(command, pAnswerFields), u"Error: 55(0x37) Команда не поддерживается в данной реализации"_s);
    EXPECT_EQ(probe.GetAnswerFieldValue(u"Change"_s), QString());
}

TEST(ParserCommand, OnlyFFIsAPrefix)
{
    TProbe probe({}, {{u"Change"_s, ftSum}});
    EXPECT_EQ(probe.Parse(Command("FE F3", "FE F3 00"), pAnswerFields),
              u"Error: 243(0xF3) Переполнение буфера"_s);
}

TEST(ParserCommand, EmptySourcesGiveEmptyText)
{
    TProbe probe({{u"A"_s, ftByte}}, {{u"B"_s, ftByte}});
    const TCommand command = Command({}, {});
    EXPECT_EQ(probe.Parse(command, pFields), QString());
    EXPECT_EQ(probe.Parse(command, pAnswerFields), QString());
    EXPECT_EQ(probe.Parse(command, pPlayedFields), QString());
    EXPECT_EQ(probe.GetFieldValue(u"A"_s), QString());
}

TEST(ParserCommand, NoAnswerLayoutGivesEmptyText)
{
    TProbe probe({{u"A"_s, ftByte}});
    EXPECT_EQ(probe.Parse(Command("80 01", "80 00"), pAnswerFields), QString());
}

TEST(ParserCommand, PlayedAnswerIsReadButNotListed)
{
    TProbe probe({}, {{u"B"_s, ftByte}});
    const TCommand command = Command("01", "01 00 05", "01 00 06");
    EXPECT_EQ(probe.Parse(command, pAnswerFields), u"B: 5\r\n"_s);
    EXPECT_EQ(probe.Parse(command, pPlayedFields), QString());
    EXPECT_EQ(probe.GetAnswerFieldValue(u"B"_s), u"5"_s);
    EXPECT_EQ(probe.Parse(Command("01", "01 00", "01 07"), pPlayedFields),
              u"Error: 7(0x07) Неверные дата и/или время"_s);
}

TEST(ParserCommand, LookupTakesTheLastValueWithTheLowerCasedName)
{
    TProbe probe({{u"Barcode"_s, ftBarcodeOSU}, {u"Код"_s, ftByte}, {u"КОД"_s, ftByte}});
    probe.Parse(Command("01 01 41 FF 05 06"), pFields);
    EXPECT_EQ(probe.GetFieldValue(u"barcode"_s), u"A"_s);
    EXPECT_EQ(probe.GetFieldValue(u"код"_s), u"6"_s);
    EXPECT_EQ(probe.GetFieldValue(u"missing"_s), QString());
}

TEST(ParserCommand, TwoByteCodeIsSkipped)
{
    TProbe probe({{u"A"_s, ftByte}});
    EXPECT_EQ(probe.Parse(Command("FF 46 09"), pFields), u"A: 9\r\n"_s);
}

TEST(ParserCommand, ReparseStartsFromEmptyValues)
{
    TProbe probe({{u"A"_s, ftByte}});
    probe.Parse(Command("01 09"), pFields);
    probe.Parse(Command({}), pFields);
    EXPECT_EQ(probe.GetFieldValue(u"A"_s), QString());
}

TEST(FormatText, FillsPlacesInOrderAndKeepsPercentSignsOfValues)
{
    EXPECT_EQ(FormatText(u"%s X %s!"_s, {u"%s"_s, u"%1"_s}), u"%s X %1!"_s);
    EXPECT_EQ(FormatText(u"a%sb"_s, {}), u"ab"_s);
}

TEST(JoinLines, ReplacesEveryLineBreakPairByOneBlank)
{
    EXPECT_EQ(JoinLines(u"\r\na\r\n\r\nb\rc\n"_s), u" a  b\rc\n"_s);
    EXPECT_EQ(JoinLines(QString()), QString());
}

TEST(TrimText, RemovesControlCharactersAndBlanksAtTheEnds)
{
    EXPECT_EQ(TrimText(u"\x01 ab c\t\0"_s), u"ab c"_s);
    EXPECT_EQ(TrimRightText(u" ab \n"_s), u" ab"_s);
}

struct PositionCase
{
    const char* Name;
    uint16_t Code;
    const char16_t* Field;
    std::optional<qsizetype> Position;
};

void PrintTo(const PositionCase& c, std::ostream* os) { *os << c.Name; }

class AnswerFieldPositionTest : public testing::TestWithParam<PositionCase> {};

// What the driver reads of a status answer stands where the answer's layout places it.
TEST_P(AnswerFieldPositionTest, FollowsTheLayout)
{
    EXPECT_EQ(AnswerFieldPosition(GetParam().Code, GetParam().Field), GetParam().Position);
}

INSTANTIATE_TEST_SUITE_P(Layouts, AnswerFieldPositionTest, testing::Values(
    PositionCase{"LongStatusMode", 0x11, u"ECRMode", 15},
    PositionCase{"LongStatusSubMode", 0x11, u"ECRAdvancedMode", 16},
    PositionCase{"ShortStatusMode", 0x10, u"ECRMode", 5},
    PositionCase{"ShortStatusSubMode", 0x10, u"ECRAdvancedMode", 6},
    PositionCase{"FirstFieldAfterTwoByteCode", 0xFF01, u"FNLifeState", 3},
    PositionCase{"NoSuchField", 0x10, u"Nothing", std::nullopt},
    PositionCase{"NoLayout", 0x12, u"ECRMode", std::nullopt}),
    kestrun::test::CaseName());

} // namespace
} // namespace kestrun
