// SPDX-License-Identifier: GPL-3.0-or-later
#include "FlagTexts.h"
#include "CaseName.h"
#include "decode/FieldTexts.h"
#include "decode/ParserCommandClasses.h"
#include "decode/ParserCommands.h"
#include "log/DateText.h"
#include "log/Exception.h"
#include "tlv/TLVParser.h"

#include <QRandomGenerator>
#include "PrintQt.h"

#include <gtest/gtest.h>
#include <typeinfo>

namespace kestrun {
namespace {

using namespace Qt::StringLiterals;

TCommand Command(const QByteArray& data, const QByteArray& answer = {}, const QByteArray& played = {})
{
    TCommand command;
    command.SetData(data);
    command.SetAnswerData(answer);
    command.SetPlayedAnswerData(played);
    command.Protocol = TProtocol::pProtocol1;
    return command;
}

// The error marks that end the summaries of failed exchanges.
const QString Error55Mark = u" [ERROR] 55 (0x37) Команда не поддерживается в данной реализации"_s;
const QString NoAnswerMark = u" [ERROR] -1 (0xFFFFFFFF) Неизвестный код ошибки"_s;
const QString ErrorF3Mark = u" [ERROR] 243 (0xF3) Переполнение буфера"_s;

const QByteArray Tlv = "06 04 02 00 41 42";

QString ShortDateTextOf(int year, int month, int day) { return ShortDateText(EncodeDate(year, month, day)); }

QString RenderTLV(const QByteArray& hex, int indent)
{
    TTLVParser parser;
    parser.SetShowTagNumbers(true);
    parser.SetBaseIndent(indent);
    return parser.ParseTLV(HexToStr(hex));
}

// Registry: the 26 codes with a decoder of their own.
struct RegistryCase
{
    const char* Name;
    uint16_t Code;
    const std::type_info& Class;
};

class Registry : public testing::TestWithParam<RegistryCase> {};

TEST_P(Registry, GivesTheClassOfTheCode)
{
    const auto decoder = TParserCommands::Instance().GetParserCommandClass(GetParam().Code)();
    EXPECT_EQ(typeid(*decoder), GetParam().Class);
}

const RegistryCase RegistryCases[] = {
    RegistryCase{"FF45", 0xFF45, typeid(TParserCommandFF45)},
    RegistryCase{"FF46", 0xFF46, typeid(TParserCommandFF46)},
    RegistryCase{"FF01", 0xFF01, typeid(TParserCommandFF01)},
    RegistryCase{"FF0C", 0xFF0C, typeid(TParserCommandFF0C)},
    RegistryCase{"FF4D", 0xFF4D, typeid(TParserCommandFF0C)},
    RegistryCase{"FF61", 0xFF61, typeid(TParserCommandFF61)},
    RegistryCase{"FF67", 0xFF67, typeid(TParserCommandFF67)},
    RegistryCase{"FF69", 0xFF69, typeid(TParserCommandFF69)},
    RegistryCase{"FF76", 0xFF76, typeid(TParserCommandFF76)},
    RegistryCase{"C10", 0x10, typeid(TParserCommand10)},
    RegistryCase{"C11", 0x11, typeid(TParserCommand11)},
    RegistryCase{"C17", 0x17, typeid(TParserCommand17)},
    RegistryCase{"C1E", 0x1E, typeid(TParserCommand1E)},
    RegistryCase{"C1F", 0x1F, typeid(TParserCommand1F)},
    RegistryCase{"C2F", 0x2F, typeid(TParserCommand2F)},
    RegistryCase{"C2D", 0x2D, typeid(TParserCommand2D)},
    RegistryCase{"C2E", 0x2E, typeid(TParserCommand2E)},
    RegistryCase{"C6B", 0x6B, typeid(TParserCommand6B)},
    RegistryCase{"C80", 0x80, typeid(TParserCommand80)},
    RegistryCase{"C81", 0x81, typeid(TParserCommand81)},
    RegistryCase{"C82", 0x82, typeid(TParserCommand82)},
    RegistryCase{"C83", 0x83, typeid(TParserCommand83)},
    RegistryCase{"C85", 0x85, typeid(TParserCommand85)},
    RegistryCase{"C89", 0x89, typeid(TParserCommand89)},
    RegistryCase{"C8D", 0x8D, typeid(TParserCommand8D)},
    RegistryCase{"FC", 0xFC, typeid(TParserCommandFC)},
    RegistryCase{"Unknown8E", 0x8E, typeid(TParserCommand)},
    RegistryCase{"Zero", 0x00, typeid(TParserCommand)},
    RegistryCase{"FE03", 0xFE03, typeid(TParserCommand)},
    RegistryCase{"FEF5", 0xFEF5, typeid(TParserCommand)},
    RegistryCase{"FE45NotFF45", 0xFE45, typeid(TParserCommand)},
    RegistryCase{"LowByteOfFF45", 0x45, typeid(TParserCommand)}
};

INSTANTIATE_TEST_SUITE_P(Codes, Registry, testing::ValuesIn(RegistryCases),
    kestrun::test::CaseName());

// The codes with a decoder of their own, as the registry rows above give them.
std::vector<uint16_t> DecoderCodes()
{
    std::vector<uint16_t> codes;
    for (const RegistryCase& row : RegistryCases)
        if (row.Class != typeid(TParserCommand))
            codes.push_back(row.Code);
    return codes;
}

// Summaries ("Data" column) of whole exchanges.
struct SummaryCase
{
    const char* Name;
    QByteArray Data;
    QByteArray Answer;
    QString Expected;
};

class Summaries : public testing::TestWithParam<SummaryCase> {};

TEST_P(Summaries, MatchTheCommandsRule)
{
    EXPECT_EQ(GetCommandShortValue(Command(GetParam().Data, GetParam().Answer)), GetParam().Expected);
}

const QByteArray Sale = "1E 00 00 00 E8 03 00 00 00 10 27 00 00 00 01 00 00 00 00 4D 69 6C 6B";
const QByteArray StatusAnswer = "1E 03 00 02 00 05 FF D8 00 00 00 1A 04";
const QByteArray FullStatusAnswer = "1E 41 32 10 00 1F 0C 18 01 07 00 03 00 04 01 01 41 31 02 00 01 02 18 "
                                    "1F 0C 18 17 3B 05 00 78 56 34 12 0A 00 00 00 01 0F 39 30 00 00 00 00";
using test::RollsFlags;

const QString StatusSummary = u"2 [Открытая смена; 24 часа не кончились] 0 [бумага есть]"_s;
const QByteArray CloseAnswer = "10 27 00 00 00 2A 00 00 00 15 CD 5B 07";

INSTANTIATE_TEST_SUITE_P(Commands, Summaries, testing::Values(
    SummaryCase{"Operation", "FF 46 1E 00 00 00 01 80 84 1E 00 00 00 10 27 00 00 00 FF FF FF FF FF FF FF FF FF FF 08 01 04 01 4D 69 6C 6B",
                "FF 46 00", u"1 [Приход] 100.00 X 2.000000 (4 [Полный расчет] 1 [Товар] ) Milk"_s},
    SummaryCase{"Sale", "80 " + Sale, "80 00", u"ПРОДАЖА 100.00X1.000 Milk"_s},
    SummaryCase{"SaleWithError", "80 " + Sale, "80 37", u"ПРОДАЖА 100.00X1.000 Milk"_s + Error55Mark},
    SummaryCase{"SaleWithoutAnswer", "80 " + Sale, "", u"ПРОДАЖА 100.00X1.000 Milk"_s + NoAnswerMark},
    SummaryCase{"SaleWithOneByteAnswer", "80 " + Sale, "80", u"ПРОДАЖА 100.00X1.000 Milk"_s + NoAnswerMark},
    SummaryCase{"Purchase", "81 " + Sale, "81 00", u"ПОКУПКА 100.00X1.000 Milk"_s},
    SummaryCase{"SaleReturn", "82 " + Sale, "82 00", u"ВОЗВРАТ ПРОДАЖИ 100.00X1.000 Milk"_s},
    SummaryCase{"PurchaseReturn", "83 " + Sale, "83 00", u"ВОЗВРАТ ПОКУПКИ 100.00X1.000 Milk"_s},
    SummaryCase{"CloseCheckAnyBytes", "85 01", "85 00", u"ЗАКРЫТИЕ ЧЕКА"_s},
    SummaryCase{"Subtotal", "89 1E 00 00 00", "89 00 1E 10 27 00 00 00", u"ПОДЫТОГ 100.00"_s},
    SummaryCase{"OpenCheck", "8D 1E 00 00 00 02", "8D 00 1E", u"ОТКРЫТИЕ ЧЕКА 2 [Возврат прихода]"_s},
    SummaryCase{"CloseCheckV2", "FF 45 1E 00 00 00", "FF 45 00 " + CloseAnswer, u"ЗАКРЫТИЕ ЧЕКА [ДОК: 42] [ФП: 123456789]  "_s},
    SummaryCase{"CloseCheckV2Error55", "FF 45 1E 00 00 00", "FF 45 37",
                u"ЗАКРЫТИЕ ЧЕКА [ДОК: ] [ФП: ]  "_s + Error55Mark},
    SummaryCase{"CloseCheckV3", "FF 76 1E 00 00 00", "FF 76 00 " + CloseAnswer, u"ЗАКРЫТИЕ ЧЕКА V3 [ДОК: 42] [ФП: 123456789]  "_s},
    SummaryCase{"ShortStatus", "10 1E 00 00 00", "10 00 " + StatusAnswer, StatusSummary},
    SummaryCase{"FullStatus", "11 1E 00 00 00", "11 00 " + FullStatusAnswer,
                u"4 [Закрытая смена] 1 [Пассивное отсутствие бумаги]"_s},
    SummaryCase{"PrintLine", "17 1E 00 00 00 01 48 69", "17 00 1E", u"Hi"_s},
    SummaryCase{"PrintLineWithFont", "2F 1E 00 00 00 01 02 48 69", "2F 00 1E", u"Hi"_s},
    SummaryCase{"WriteTable", "1E 1E 00 00 00 01 02 00 03 05 00", "1E 00", u"Запись Т1Р2П3 = 5"_s},
    SummaryCase{"ReadTableText", "1F 1E 00 00 00 01 01 00 02", "1F 00 41 42 43", u"Чтение Т1Р1П2 =  Str: ABC Int: 4407873"_s},
    SummaryCase{"TableStructureIsEmpty", "2D 1E 00 00 00 01", "2D 00 41", QString()},
    SummaryCase{"FieldStructure", "2E 1E 00 00 00 01 02", "2E 00 4E 61 6D 65 00 00 01", u"Т1П2 Name"_s},
    SummaryCase{"ErrorDescription", "6B 73", "6B 00 4F 6F 70 73", u"ОШИБКА Oops"_s},
    SummaryCase{"DeviceType", "FC", "FC 00 00 01 0D 05 07 00 20 4B 2D 31 20 00", u"K-1 (7)"_s},
    SummaryCase{"StorageStatus", "FF 01 1E 00 00 00", "FF 01 00 03 00 00 01 00 18 0C 1F 17 3B 39 39 39 39 00 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00",
                u"SN: 9999"_s},
    SummaryCase{"CheckMarkEmptyBarcode", "FF 61 1E 00 00 00 01 00 00 00", "FF 61 00 00 00 00 00", u"[M] "_s},
    SummaryCase{"CheckMark", "FF 61 1E 00 00 00 01 00 02 00 41 42", "FF 61 00 00 00 00 00", u"[M] AB"_s},
    SummaryCase{"BindMark", "FF 67 1E 00 00 00 02 41 1D FF", "FF 67 00 44 4D 00", u"[M] A<0x1D>"_s},
    SummaryCase{"AcceptMark", "FF 69 1E 00 00 00 01", "FF 69 00", u"1 [Принять]"_s},
    SummaryCase{"TLV", "FF 0C 1E 00 00 00 " + Tlv, "FF 0C 00", u" "_s + RenderTLV(Tlv, 4).replace(u"\r\n"_s, u" "_s)},
    SummaryCase{"TLVOfOperation", "FF 4D 1E 00 00 00 " + Tlv, "FF 4D 00", u" "_s + RenderTLV(Tlv, 4).replace(u"\r\n"_s, u" "_s)},
    SummaryCase{"UnknownCommand", "8E 01 02", "8E 00", QString()},
    SummaryCase{"ServiceCommandError", "FE F3 00", "FE F3 00", ErrorF3Mark}
), kestrun::test::CaseName());

TEST(Decoders, SaleRendersItsRequestLines)
{
    const TParsedCommand parsed = ParseCommand(Command("80 " + Sale, "80 00"));
    EXPECT_EQ(parsed.Request, u"Password: 30\r\nQuantity: 1.000\r\nPrice: 100.00\r\nDepartment: 1\r\n"
                              u"Tax1: 0\r\nTax2: 0\r\nTax3: 0\r\nTax4: 0\r\nStringForPrinting: Milk\r\n"_s);
    EXPECT_EQ(parsed.Answer, QString());
    EXPECT_EQ(parsed.Played, QString());
}

TEST(Decoders, ShortStatusShowsFlagsAndModes)
{
    const TParsedCommand parsed = ParseCommand(Command("10 1E 00 00 00", "10 00 " + StatusAnswer, "10 00 " + StatusAnswer));
    EXPECT_EQ(parsed.Request, u"Password: 30\r\n"_s);
    EXPECT_EQ(parsed.Answer,
              u"OperatorNumber: 30\r\n"
              u"ECRFlags: "_s + RollsFlags + u"\r\n"
              u"ECRMode: 2 [Открытая смена; 24 часа не кончились]\r\n"
              u"ECRAdvancedMode: 0 [бумага есть]\r\n"
              u"QuantityOfOperations (lo): 5\r\n"
              u"BatteryVoltage: 5.00 В.\r\n"
              u"PowerSourceVoltage: 24.00 В.\r\n"
              u"FMResultCode (old): 0\r\n"
              u"EKLZResultCode (old): 0\r\n"
              u"UpdateKeysResultCode: 0\r\n"
              u"PrinterHeadTemperature: 26\r\n"
              u"PreviousECRMode: 4 [Закрытая смена]\r\n"_s);
    EXPECT_EQ(parsed.Played, QString());
}

TEST(Decoders, FullStatusShowsFlagsAndModes)
{
    const TParsedCommand parsed = ParseCommand(Command("11 1E 00 00 00", "11 00 " + FullStatusAnswer));
    EXPECT_EQ(parsed.Answer,
              u"OperatorNumber: 30\r\n"
              u"FECRSoftVersion: A.2\r\n"
              u"ECRBuild: 16\r\n"
              u"FECRSoftDate: "_s + ShortDateTextOf(2024, 12, 31) + u"\r\n"
              u"LogicalNumber: 1\r\n"
              u"DocumentNumber: 7\r\n"
              u"ECRFlags: "_s + RollsFlags + u"\r\n"
              u"ECRMode: 4 [Закрытая смена]\r\n"
              u"ECRAdvancedMode: 1 [Пассивное отсутствие бумаги]\r\n"
              u"PortNumber: 1 [USB vCOM]\r\n"
              u"FMSoftVersion (Old): A.1\r\n"
              u"FMBuild (Old): 2\r\n"
              u"FMSoftDate (Old): "_s + ShortDateTextOf(2024, 2, 1) + u"\r\n"
              u"ECRDate: "_s + ShortDateTextOf(2024, 12, 31) + u"\r\n"
              u"ECRTime: 23:59:05\r\n"
              u"FMFlags (Old): 0\r\n"
              u"ECRSerial: 305419896\r\n"
              u"SessionNumber: 10\r\n"
              u"FreeRecordInFM (Old): 0\r\n"
              u"RegistrationNumber: 1\r\n"
              u"FreeRegistration: 15\r\n"
              u"INN: 12345\r\n"_s);
}

TEST(Decoders, StatusErrorGivesTheErrorLine)
{
    const TParsedCommand parsed = ParseCommand(Command("10 1E 00 00 00", "10 50"));
    EXPECT_EQ(parsed.Answer, u"Error: 80(0x50) Идет печать предыдущей команды"_s);
}

TEST(Decoders, CheckMarkRendersBarcodeAndServerAnswer)
{
    const TParsedCommand parsed = ParseCommand(Command("FF 61 1E 00 00 00 01 00 01 00 41", "FF 61 00 03 00 04 02 00 01"));
    EXPECT_EQ(parsed.Request, u"Password: 30\r\nItemStatus: 1 [Штучный товар, реализован]\r\nCheckItemMode: 0\r\n"
                              u"Barcode HEX: 41\r\nBarcode: A\r\n"_s);
    EXPECT_EQ(parsed.Answer, u"CheckItemLocalResult: 3 ["_s + CheckItemLocalResultText(3)
                                 + u"]\r\nCheckItemLocalError: 0 [КМ проверен в ФН]\r\n"
                                   u"MarkingType2: 4 [КМ со значением кода проверки длиной 44 символа, подлежащим проверке в ФН]\r\n"
                                   u"KMServerErrorCode: 0 [Ошибок нет]\r\n"
                                   u"KMServerCheckingStatus (Тег 2106): 1 ["_s
                                 + KMCheckingStatusText(1) + u"]\r\n"_s);
}

// Every decoder takes any bytes: text, or an error of the TLV renderer, never a crash.
class Contract : public testing::TestWithParam<uint16_t> {};

QByteArray CodeBytes(uint16_t code)
{
    return code > 0xFF ? QByteArray{static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)}
                       : QByteArray(1, static_cast<char>(code));
}

TEST_P(Contract, AnyBytesGiveTextOrAnError)
{
    QRandomGenerator random(GetParam());
    for (int round = 0; round < 400; ++round) {
        QByteArray request = CodeBytes(GetParam());
        QByteArray answer = CodeBytes(GetParam());
        const int requestLength = static_cast<int>(random.bounded(120));
        const int answerLength = static_cast<int>(random.bounded(120));
        for (int i = 0; i < requestLength; ++i)
            request.append(static_cast<char>(random.bounded(256)));
        answer.append('\0');
        for (int i = 0; i < answerLength; ++i)
            answer.append(static_cast<char>(random.bounded(256)));
        const TCommand command = Command(StrToHex(request), StrToHex(answer), StrToHex(answer.left(round % 8)));
        try {
            ParseCommand(command);
            GetCommandShortValue(command);
        } catch (const Exception& e) {
            EXPECT_FALSE(e.Message().isEmpty());
        }
    }
}

TEST_P(Contract, EmptySourcesGiveEmptyTexts)
{
    const auto decoder = TParserCommands::Instance().GetParserCommandClass(GetParam())();
    const TCommand command = Command({});
    EXPECT_EQ(decoder->Parse(command, pFields), QString());
    EXPECT_EQ(decoder->Parse(command, pAnswerFields), QString());
    EXPECT_EQ(decoder->Parse(command, pPlayedFields), QString());
}

INSTANTIATE_TEST_SUITE_P(Decoders, Contract, testing::ValuesIn(DecoderCodes()),
                         [](const testing::TestParamInfo<uint16_t>& info) {
                             return QString::number(info.param, 16).toUpper().toStdString();
                         });

} // namespace
} // namespace kestrun
