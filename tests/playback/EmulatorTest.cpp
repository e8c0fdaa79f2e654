// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaseName.h"
#include "DriverExchange.h"
#include "decode/CommandCatalogue.h"
#include "decode/ParserCommands.h"
#include "log/Bytes.h"
#include "log/Exception.h"
#include "playback/DeviceDriver.h"
#include "playback/DriverErrors.h"

#include "QtPrint.h"

#include <gtest/gtest.h>

namespace kestrun::test {
namespace {

// A sale of quantity 1.000 at `price` kopecks written as five hex bytes.
QString Sale(const char* code, const char* price)
{
    return QStringLiteral("%1 1E 00 00 00 E8 03 00 00 00 %2 01 00 00 00 00").arg(code, price);
}

// A close with cash `paid` as five hex bytes in the first of the payment sums.
QString Close(const char* paid)
{
    return QStringLiteral("85 1E 00 00 00 %1").arg(paid) + QString(" 00").repeated(25);
}

struct TAnswerCase
{
    const char* Name;
    const char* Device;
    const char* Request;
    int32_t Result;
    const char* Answer;
};

class EmulatorAnswerTest : public ::testing::TestWithParam<TAnswerCase>
{
};

TEST_P(EmulatorAnswerTest, AnswersTheRequest)
{
    const std::unique_ptr<TUlvex> driver = CreateDriver(QString::fromLatin1(GetParam().Device));
    const TDriverExchange e = Send(*driver, QString::fromLatin1(GetParam().Request));
    EXPECT_EQ(e.Result, GetParam().Result);
    EXPECT_EQ(e.Answer, GetParam().Answer);
}

INSTANTIATE_TEST_SUITE_P(
    Emulator, EmulatorAnswerTest,
    ::testing::Values(
        TAnswerCase{"ShortStatus", "emulator", "10 1E 00 00 00", 0, "10 00 1E C3 03 04 00 00 99 D8 00 00 00 19 04"},
        TAnswerCase{"UnknownCode", "emulator", "99 1E 00 00 00", 0x37, "99 37"},
        TAnswerCase{"UnknownFFCode", "emulator", "FF 99 01", 0x37, "FF 99 37"},
        TAnswerCase{"FEIsNoPrefix", "emulator", "FE 03 01", 0x37, "FE 37"},
        TAnswerCase{"ShortRequest", "emulator", "8D 1E 00", 0x01, "8D 01"},
        TAnswerCase{"SaleWithShiftClosed", "emulator", "80 1E 00 00 00 E8 03 00 00 00 10 27 00 00 00 01 00 00 00 00",
                    0x3D, "80 3D"},
        TAnswerCase{"ZReportWithShiftClosed", "emulator", "41 1E 00 00 00", 0x3D, "41 3D"},
        TAnswerCase{"OpenShiftTwice", "emulator:shift=open", "E0 1E 00 00 00", 0x73, "E0 73"},
        TAnswerCase{"CloseWithoutReceipt", "emulator:shift=open", "89 1E 00 00 00", 0x55, "89 55"},
        TAnswerCase{"UnknownTable", "emulator", "2D 1E 00 00 00 09", 0x5D, "2D 5D"},
        TAnswerCase{"TableDefault", "emulator", "1F 1E 00 00 00 01 01 00 01", 0, "1F 00 01"},
        TAnswerCase{"RowOutOfRange", "emulator", "1F 1E 00 00 00 01 02 00 01", 0x33, "1F 33"},
        TAnswerCase{"TLV", "emulator", "FF 0C 1E 00 00 00 F0 03 02 00 41 42", 0, "FF 0C 00"},
        TAnswerCase{"TruncatedTLV", "emulator", "FF 0C 1E 00 00 00 F0 03 05 00 41 42", 0x33, "FF 0C 33"},
        TAnswerCase{"TLVOfOperationNeedsReceipt", "emulator", "FF 4D 1E 00 00 00", 0x55, "FF 4D 55"},
        TAnswerCase{"Marking", "emulator", "FF 61 1E 00 00 00 01 00 03 00 30 1D 31", 0, "FF 61 00 03 00 04 02 00 0F"},
        TAnswerCase{"MarkingWithoutCode", "emulator", "FF 61 1E 00 00 00 01 00 00 00", 0x33, "FF 61 33"},
        TAnswerCase{"AcceptMarking", "emulator", "FF 69 1E 00 00 00 01", 0, "FF 69 00"},
        TAnswerCase{"DeviceFault", "emulator:error=41:16", "41 1E 00 00 00", 0x16, "41 16"},
        TAnswerCase{"BusyFault", "emulator:busy=1", "FF 01 1E 00 00 00", 80, "FF 01 50"},
        TAnswerCase{"BufferFullFault", "emulator:busy=3:4B", "10 1E 00 00 00", 75, "10 4B"},
        TAnswerCase{"DriverFault", "emulator:driver=10:-9:Порт занят", "10 1E 00 00 00", -9, ""}),
    kestrun::test::CaseName());

TEST(Emulator, ReceiptKeepsARunningTotalAndModes)
{
    const std::unique_ptr<TUlvex> driver = CreateDriver(QStringLiteral("emulator:shift=open"));
    EXPECT_EQ(Send(*driver, QStringLiteral("8D 1E 00 00 00 00")).Answer, "8D 00 1E");
    ASSERT_EQ(driver->GetECRStatus(), 0);
    EXPECT_EQ(driver->ECRMode(), 8);
    EXPECT_EQ(Send(*driver, Sale("80", "10 27 00 00 00")).Answer, "80 00");
    EXPECT_EQ(Send(*driver, Sale("80", "88 13 00 00 00")).Answer, "80 00");
    EXPECT_EQ(Send(*driver, QStringLiteral("89 1E 00 00 00")).Answer, "89 00 1E 98 3A 00 00 00");
    EXPECT_EQ(Send(*driver, Sale("82", "10 27 00 00 00")).Answer, "82 49");
    EXPECT_EQ(Send(*driver, Close("10 27 00 00 00")).Answer, "85 45");
    EXPECT_EQ(Send(*driver, Close("20 4E 00 00 00")).Answer, "85 00 1E 88 13 00 00 00");
    ASSERT_EQ(driver->GetECRStatus(), 0);
    EXPECT_EQ(driver->ECRMode(), 2);
    EXPECT_EQ(Send(*driver, QStringLiteral("41 1E 00 00 00")).Result, 0);
    ASSERT_EQ(driver->GetECRStatus(), 0);
    EXPECT_EQ(driver->ECRMode(), 4);
    EXPECT_EQ(Send(*driver, Sale("80", "10 27 00 00 00")).Answer, "80 3D");
}

TEST(Emulator, OverflowsAreRefused)
{
    const std::unique_ptr<TUlvex> driver = CreateDriver(QStringLiteral("emulator:shift=open"));
    EXPECT_EQ(Send(*driver, QStringLiteral("80 1E 00 00 00 FF FF FF FF FF FF FF FF FF FF 01 00 00 00 00")).Answer,
              "80 60");
    EXPECT_EQ(Send(*driver, QStringLiteral("80 1E 00 00 00 E8 03 00 00 00 FF FF FF FF FF 01 00 00 00 00")).Answer,
              "80 00");
    EXPECT_EQ(Send(*driver, QStringLiteral("80 1E 00 00 00 E8 03 00 00 00 01 00 00 00 00 01 00 00 00 00")).Answer,
              "80 48");
}

TEST(Emulator, SilentCommandGetsNoAnswer)
{
    const std::unique_ptr<TUlvex> driver = CreateDriver(QStringLiteral("emulator:silent=FF45:20,silent=E0"));
    EXPECT_EQ(Send(*driver, QStringLiteral("FF 45 1E")).Result, deNoAnswer);
    EXPECT_EQ(driver->ResultCode(), deNoAnswer);
    EXPECT_EQ(Send(*driver, QStringLiteral("10 1E 00 00 00")).Result, 0);
}

TEST(Emulator, TableValueIsKept)
{
    const std::unique_ptr<TUlvex> driver = CreateDriver(QStringLiteral("emulator"));
    EXPECT_EQ(Send(*driver, QStringLiteral("1E 1E 00 00 00 02 03 00 02 41 42 43")).Answer, "1E 00");
    EXPECT_EQ(Send(*driver, QStringLiteral("1F 1E 00 00 00 02 03 00 02")).Answer,
              "1F 00 41 42 43" + QString(" 00").repeated(18));
    EXPECT_EQ(Send(*driver, QStringLiteral("1E 1E 00 00 00 01 01 00 01 01 02")).Answer, "1E 33");
}

TEST(Emulator, FaultsOfTheCallItself)
{
    const std::unique_ptr<TUlvex> driver = CreateDriver(QStringLiteral("emulator:throw=FF45:Порт закрыт,throw=10"));
    try {
        Send(*driver, QStringLiteral("FF 45 1E"));
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Порт закрыт");
    }
    EXPECT_THROW(Send(*driver, QStringLiteral("10 1E 00 00 00")), Exception);
    EXPECT_EQ(Send(*driver, QStringLiteral("11 1E 00 00 00")).Result, 0);
}

TEST(Emulator, BusyCountsExchanges)
{
    const std::unique_ptr<TUlvex> driver = CreateDriver(QStringLiteral("emulator:busy=2"));
    EXPECT_EQ(Send(*driver, QStringLiteral("10 1E 00 00 00")).Result, 80);
    EXPECT_EQ(Send(*driver, QStringLiteral("FC")).Result, 80);
    EXPECT_EQ(Send(*driver, QStringLiteral("FC")).Result, 0);
}

struct TPrintingCase
{
    const char* Name;
    const char* Request;
    bool Prints;
};

class EmulatorPrintingTest : public ::testing::TestWithParam<TPrintingCase>
{
};

// The emulator keeps printing after the commands the catalogue marks as printing: the short status
// then shows the sub-mode of a print under way.
TEST_P(EmulatorPrintingTest, PrintsWhatTheCatalogueSays)
{
    const std::unique_ptr<TUlvex> driver = CreateDriver(QStringLiteral("emulator:print=600000"));
    const QString request = QString::fromLatin1(GetParam().Request);
    ASSERT_EQ(Send(*driver, request).Result, 0);
    const uint16_t code = GetCommandCodeOfData(request.toLatin1());
    EXPECT_EQ((CommandProperties(code) & cpPrints) != 0, GetParam().Prints);
    const QByteArray status = HexToStr(Send(*driver, QStringLiteral("10 1E 00 00 00")).Answer.toLatin1());
    const qsizetype subMode = AnswerFieldPosition(ShortStatusCode, u"ECRAdvancedMode").value();
    ASSERT_GT(status.size(), subMode);
    EXPECT_EQ(status[subMode] == 5, GetParam().Prints);
}

INSTANTIATE_TEST_SUITE_P(Emulator, EmulatorPrintingTest, ::testing::Values(
    TPrintingCase{"PrintLine", "17 1E 00 00 00 02 41", true},
    TPrintingCase{"XReport", "40 1E 00 00 00", true},
    TPrintingCase{"OpenShift", "E0 1E 00 00 00", true},
    TPrintingCase{"ShortStatus", "10 1E 00 00 00", false},
    TPrintingCase{"DeviceType", "FC", false}),
    CaseName());

// The answers as our own decoders summarise them.
struct TSummaryCase
{
    const char* Name;
    const char* Device;
    QStringList Before;
    const char* Request;
    const char* Summary;
};

class EmulatorSummaryTest : public ::testing::TestWithParam<TSummaryCase>
{
};

TEST_P(EmulatorSummaryTest, DecodersReadTheAnswer)
{
    const std::unique_ptr<TUlvex> driver = CreateDriver(QString::fromLatin1(GetParam().Device));
    for (const QString& request : GetParam().Before)
        ASSERT_EQ(Send(*driver, request).Result, 0) << request.toStdString();
    TCommand command;
    command.SetData(GetParam().Request);
    command.SetAnswerData(Send(*driver, QString::fromLatin1(command.Data())).Answer.toLatin1());
    EXPECT_EQ(GetCommandShortValue(command), QString::fromUtf8(GetParam().Summary));
}

const QString SaleOf100 = Sale("80", "10 27 00 00 00");

INSTANTIATE_TEST_SUITE_P(
    Emulator, EmulatorSummaryTest,
    ::testing::Values(
        TSummaryCase{"DeviceType", "emulator", {}, "FC", "Эмулятор ККТ Kestrun (0)"},
        TSummaryCase{"ShortStatus", "emulator", {}, "10 1E 00 00 00", "4 [Закрытая смена] 0 [бумага есть]"},
        TSummaryCase{"LongStatus", "emulator:shift=open", {}, "11 1E 00 00 00",
                     "2 [Открытая смена; 24 часа не кончились] 0 [бумага есть]"},
        TSummaryCase{"FNStatus", "emulator", {}, "FF 01 1E 00 00 00", "SN: 0000000000054321"},
        TSummaryCase{"Subtotal", "emulator:shift=open", {SaleOf100}, "89 1E 00 00 00", "ПОДЫТОГ 100.00"},
        TSummaryCase{"FieldStructure", "emulator", {}, "2E 1E 00 00 00 01 01", "Т1П1 Номер кассы в магазине"},
        TSummaryCase{"ReadTable", "emulator", {}, "1F 1E 00 00 00 01 01 00 01", "Чтение Т1Р1П1 = 1"},
        TSummaryCase{"ErrorText", "emulator", {}, "6B 3D", "ОШИБКА Смена не открыта - операция невозможна"},
        TSummaryCase{"CloseV2",
                     "emulator:shift=open",
                     {SaleOf100},
                     "FF 45 1E 00 00 00 10 27 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
                     "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
                     "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
                     "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 01",
                     "ЗАКРЫТИЕ ЧЕКА [ДОК: 1] [ФП: 2249407937]  "}),
    kestrun::test::CaseName());

TEST(Emulator, OperationV2ComputesItsSum)
{
    const std::unique_ptr<TUlvex> driver = CreateDriver(QStringLiteral("emulator:shift=open"));
    // Income, quantity 2.000000, price 100.00, sum to be computed.
    EXPECT_EQ(Send(*driver, QStringLiteral("FF 46 1E 00 00 00 01 80 84 1E 00 00 00 10 27 00 00 00 FF FF FF FF FF FF FF "
                                           "FF FF FF 01 01 04 01"))
                  .Answer,
              "FF 46 00");
    EXPECT_EQ(Send(*driver, QStringLiteral("89 1E 00 00 00")).Answer, "89 00 1E 20 4E 00 00 00");
    EXPECT_EQ(Send(*driver, QStringLiteral("FF 46 1E 00 00 00 05 80 84 1E 00 00 00 10 27 00 00 00 FF FF FF FF FF FF FF "
                                           "FF FF FF 01 01 04 01"))
                  .Answer,
              "FF 46 33");
}

class BadDeviceTextTest : public ::testing::TestWithParam<const char*>
{
};

TEST_P(BadDeviceTextTest, IsRefused) { EXPECT_THROW(CreateDriver(QString::fromUtf8(GetParam())), Exception); }

INSTANTIATE_TEST_SUITE_P(Emulator, BadDeviceTextTest,
                         ::testing::Values("modem:COM1", "emulator:busy", "emulator:busy=x", "emulator:busy=1:33",
                                           "emulator:error=41", "emulator:error=4:16", "emulator:error=41:00",
                                           "emulator:error=1041:16", "emulator:driver=41:5", "emulator:print=-1",
                                           "emulator:shift=maybe", "emulator:nope=1", "emulator:silent=41:x",
                                           "emulator:silent=41:1:2", "emulator:silent=4"));

TEST(Emulator, GoodDeviceTexts)
{
    for (const char* text : {"emulator", " emulator ", "emulator:", "emulator:busy=5:4B,error=FF45:33,print=10",
                             "emulator:driver=41,driver=40:-2:Нет: связи,throw=ff45", "emulator:silent=41:0"})
        EXPECT_NO_THROW(CreateDriver(QString::fromUtf8(text))) << text;
}

} // namespace
} // namespace kestrun::test
