// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaseName.h"
#include "../playback/DriverExchange.h"
#include "EmulatorThread.h"
#include "../playback/QtPrint.h"
#include "log/Bytes.h"
#include "playback/DeviceDriver.h"
#include "playback/DriverErrors.h"
#include "playback/Protocol1Frames.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

namespace kestrun::test {
namespace {

constexpr char ShortStatus[] = "10 00 1E C3 03 04 00 00 99 D8 00 00 00 19 04";

// Every command the emulator answers, in an order that opens a shift and a receipt.
struct TRequest
{
    const char* Data;
    bool HoldsClock; // the answer holds the device's date and time
};

const TRequest Requests[] = {
    {"10 1E 00 00 00", false},
    {"11 1E 00 00 00", true},
    {"FC", false},
    {"FF 01 1E 00 00 00", true},
    {"17 1E 00 00 00 01 41 42", false},
    {"2F 1E 00 00 00 01 01 41", false},
    {"1E 1E 00 00 00 02 03 00 02 C8 E2 E0 ED", false},
    {"1F 1E 00 00 00 02 03 00 02", false},
    {"2D 1E 00 00 00 02", false},
    {"2E 1E 00 00 00 02 02", false},
    {"6B 33", false},
    {"40 1E 00 00 00", false},
    {"E0 1E 00 00 00", false},
    {"8D 1E 00 00 00 00", false},
    {"FF 0C 1E 00 00 00 F0 03 02 00 41 42", false},
    {"80 1E 00 00 00 E8 03 00 00 00 10 27 00 00 00 01 00 00 00 00", false},
    {"FF 46 1E 00 00 00 01 40 42 0F 00 00 00 10 27 00 00 00 FF FF FF FF FF 00 00 00 00 00 00 00 00 00", false},
    {"FF 4D 1E 00 00 00", false},
    {"FF 61 1E 00 00 00 01 00 03 00 30 1D 31", false},
    {"FF 67 1E 00 00 00 03 30 1D 31", false},
    {"FF 69 1E 00 00 00 01", false},
    {"89 1E 00 00 00", false},
    {"85 1E 00 00 00 40 9C 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00",
     false},
    {"81 1E 00 00 00 E8 03 00 00 00 10 27 00 00 00 01 00 00 00 00", false},
    {"83 1E 00 00 00 E8 03 00 00 00 10 27 00 00 00 01 00 00 00 00", false},
    {"FF 45 1E 00 00 00", false},
    {"41 1E 00 00 00", false},
    {"99 1E 00 00 00", false},
    {"FF 99 01", false},
};

class WireTransportTest : public ::testing::TestWithParam<const char*>
{
};

// The wire must answer exactly as the emulator in the driver's own process does.
TEST_P(WireTransportTest, EveryCommandAnswersAsTheBuiltInEmulator)
{
    const TEmulatorThread emulator(GetParam());
    const std::unique_ptr<TUlvex> wire = CreateDriver(emulator.DeviceText());
    const std::unique_ptr<TUlvex> local = CreateDriver(QStringLiteral("emulator"));
    for (const TRequest& r : Requests) {
        const TDriverExchange expected = Send(*local, QString::fromLatin1(r.Data));
        const TDriverExchange got = Send(*wire, QString::fromLatin1(r.Data));
        EXPECT_EQ(got.Result, expected.Result) << r.Data;
        if (r.HoldsClock)
            EXPECT_EQ(got.Answer.size(), expected.Answer.size()) << r.Data;
        else
            EXPECT_EQ(got.Answer, expected.Answer) << r.Data;
    }
}

TEST_P(WireTransportTest, StatusQueryFillsModeAndSubMode)
{
    const TEmulatorThread emulator(GetParam(), QStringLiteral("shift=open"));
    const std::unique_ptr<TUlvex> driver = CreateDriver(emulator.DeviceText());
    driver->SetPassword(driver->SysAdminPassword());
    ASSERT_EQ(driver->GetECRStatus(), 0);
    EXPECT_EQ(driver->ECRMode(), 2);
    EXPECT_EQ(driver->ECRModeDescription(), "Открытая смена; 24 часа не кончились");
    EXPECT_EQ(driver->ECRAdvancedMode(), 0);
    EXPECT_EQ(driver->ECRAdvancedModeDescription(), "бумага есть");
}

TEST_P(WireTransportTest, WaitForPrintingPollsUntilThePrintHasFinished)
{
    const TEmulatorThread emulator(GetParam(), QStringLiteral("print=300"));
    const std::unique_ptr<TUlvex> driver = CreateDriver(emulator.DeviceText());
    ASSERT_EQ(Send(*driver, QStringLiteral("40 1E 00 00 00")).Result, 0);
    ASSERT_EQ(driver->GetECRStatus(), 0);
    EXPECT_EQ(driver->ECRAdvancedMode(), 5);
    EXPECT_EQ(driver->WaitForPrinting(), 0);
    ASSERT_EQ(driver->GetECRStatus(), 0);
    EXPECT_EQ(driver->ECRAdvancedMode(), 0);
}

// The player asks a busy device again without writing the request anew.
TEST_P(WireTransportTest, RepeatedExchangeSendsTheRequestAgain)
{
    const TEmulatorThread emulator(GetParam(), QStringLiteral("busy=1"));
    for (const QString& device : {emulator.DeviceText(), QStringLiteral("emulator:busy=1")}) {
        const std::unique_ptr<TUlvex> driver = CreateDriver(device);
        EXPECT_EQ(Send(*driver, QStringLiteral("10 1E 00 00 00")).Answer, "10 50") << device.toStdString();
        EXPECT_EQ(driver->ExchangeBytes(), 0) << device.toStdString();
        EXPECT_EQ(driver->TransferBytes(), ShortStatus) << device.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Wire, WireTransportTest, ::testing::Values("--tcp", "--pty"),
                         [](const auto& info) { return std::string(info.param + 2); });

struct TFaultCase
{
    const char* Name;
    const char* Transport;
    const char* Options; // of the emulator
    int32_t Result;
    const char* Answer;
};

class WireFaultTest : public ::testing::TestWithParam<TFaultCase>
{
};

// Each fault recovers by the protocol's own retry or ends in a negative code, and the
// next exchange works again.
TEST_P(WireFaultTest, RecoversOrFailsWithinItsTimeout)
{
    const TEmulatorThread emulator(GetParam().Transport, QString::fromLatin1(GetParam().Options));
    const std::unique_ptr<TUlvex> driver = CreateDriver(emulator.DeviceText() + QStringLiteral(",timeout=300"));
    QElapsedTimer clock;
    clock.start();
    const TDriverExchange e = Send(*driver, QStringLiteral("10 1E 00 00 00"));
    EXPECT_LT(clock.elapsed(), 10000) << "the retries are not bounded";
    EXPECT_EQ(e.Result, GetParam().Result);
    EXPECT_EQ(e.Answer, GetParam().Answer);
    if (e.Result < 0) {
        // After the frame has gone out the cause may follow the code's own text.
        EXPECT_TRUE(driver->ResultCodeDescription().startsWith(DriverErrorDescription(e.Result)))
            << driver->ResultCodeDescription().toStdString();
    }
    EXPECT_EQ(Send(*driver, QStringLiteral("FC")).Result, 0) << "the link did not come back";
}

INSTANTIATE_TEST_SUITE_P(
    Wire, WireFaultTest,
    ::testing::Values(TFaultCase{"BadLrcOnce", "--tcp", "badlrc=10", 0, ShortStatus},
                      TFaultCase{"BadLrcOncePty", "--pty", "badlrc=10", 0, ShortStatus},
                      TFaultCase{"DroppedByte", "--tcp", "drop=10", 0, ShortStatus},
                      TFaultCase{"DroppedBytePty", "--pty", "drop=10", 0, ShortStatus},
                      TFaultCase{"StrayByteBeforeNak", "--tcp", "stray=FF", 0, ShortStatus},
                      TFaultCase{"StrayStxBeforeNak", "--pty", "stray=02", 0, ShortStatus},
                      TFaultCase{"SlowByteByByte", "--tcp", "slow=5", 0, ShortStatus},
                      TFaultCase{"SlowByteByBytePty", "--pty", "slow=5", 0, ShortStatus},
                      TFaultCase{"NoAnswer", "--tcp", "noanswer=10", deNoAnswer, ""},
                      TFaultCase{"NoAnswerPty", "--pty", "noanswer=10", deNoAnswer, ""},
                      TFaultCase{"ClosedConnection", "--tcp", "close=10", deNoAnswer, ""},
                      TFaultCase{"DeviceError", "--tcp", "error=10:50", 0x50, "10 50"}),
    kestrun::test::CaseName());

TEST(Wire, OldAnswerIsReadAndDropped)
{
    const TEmulatorThread emulator("--tcp");
    const QString device = emulator.DeviceText();
    {
        // A host that sends a request and goes away without acknowledging the answer.
        QTcpSocket host;
        host.connectToHost(QStringLiteral("127.0.0.1"), device.section(QLatin1Char(':'), 2).toUShort());
        ASSERT_TRUE(host.waitForConnected(5000));
        host.write(QByteArray(1, char(ctlENQ)));
        ASSERT_TRUE(host.waitForReadyRead(5000));
        EXPECT_EQ(host.readAll(), QByteArray(1, char(ctlNAK)));
        host.write(Protocol1Frame(QByteArray::fromHex("FC")));
        // ACK, STX, length, the answer, LRC.
        QByteArray answer;
        while ((answer.size() < 3 || answer.size() < 4 + static_cast<uint8_t>(answer[2])) && host.waitForReadyRead(5000))
            answer += host.readAll();
        ASSERT_TRUE(answer.startsWith(QByteArray::fromHex("0602")));
        ASSERT_EQ(answer.size(), 4 + static_cast<uint8_t>(answer[2]));
    }
    // The emulator keeps one host at a time: until it has seen the first one leave, it refuses
    // the driver, which then leaves the held answer untouched and tries again.
    QString answer;
    for (int attempt = 0; attempt < 50; ++attempt) {
        const std::unique_ptr<TUlvex> driver = CreateDriver(device);
        answer = Send(*driver, QStringLiteral("10 1E 00 00 00")).Answer;
        if (answer == ShortStatus || emulator.Reports().filter(QStringLiteral("refused")).size() <= attempt)
            break;
        QThread::msleep(100);
    }
    EXPECT_EQ(answer, ShortStatus) << emulator.Reports().join(u'\n').toStdString();
}

TEST(Wire, NoDeviceListening)
{
    quint16 port = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    const std::unique_ptr<TUlvex> driver = CreateDriver(QStringLiteral("tcp:127.0.0.1:%1,timeout=200").arg(port));
    EXPECT_EQ(Send(*driver, QStringLiteral("10 1E 00 00 00")).Result, deNoLink);
    EXPECT_TRUE(driver->ResultCodeDescription().startsWith(QStringLiteral("Нет связи: ")))
        << driver->ResultCodeDescription().toStdString();
}

TEST(Wire, SilentDevice)
{
    // Connections are taken by the system's backlog; nothing ever answers.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    const std::unique_ptr<TUlvex> driver
        = CreateDriver(QStringLiteral("tcp:127.0.0.1:%1,timeout=100").arg(silent.serverPort()));
    EXPECT_EQ(Send(*driver, QStringLiteral("10 1E 00 00 00")).Result, deNoLink);
    EXPECT_EQ(driver->ResultCodeDescription(), "Нет связи");
}

TEST(Wire, MissingSerialPort)
{
    const std::unique_ptr<TUlvex> driver = CreateDriver(QStringLiteral("serial:/dev/kestrun-no-such-port"));
    EXPECT_EQ(Send(*driver, QStringLiteral("10 1E 00 00 00")).Result, dePortNotFound);
    EXPECT_EQ(driver->ResultCodeDescription(), "Порт не найден");
}

TEST(Wire, RequestLongerThanAFrameIsNotSent)
{
    const std::unique_ptr<TUlvex> driver = CreateDriver(QStringLiteral("tcp:127.0.0.1:1"));
    EXPECT_EQ(Send(*driver, QString(QStringLiteral("17 ")).repeated(256)).Result, deFrameTooLong);
}

TEST(Wire, PrintThatDoesNotEndInTimeIsReported)
{
    const TEmulatorThread emulator("--tcp", QStringLiteral("print=60000"));
    const std::unique_ptr<TUlvex> driver = CreateDriver(emulator.DeviceText() + QStringLiteral(",printwait=200"));
    ASSERT_EQ(Send(*driver, QStringLiteral("40 1E 00 00 00")).Result, 0);
    EXPECT_EQ(driver->WaitForPrinting(), dePrintTimeout);
}

TEST(Wire, PrintWaitEndsWhenTheStatusIsRefused)
{
    const TEmulatorThread emulator("--tcp", QStringLiteral("print=60000,error=10:4F"));
    const std::unique_ptr<TUlvex> driver = CreateDriver(emulator.DeviceText());
    ASSERT_EQ(Send(*driver, QStringLiteral("40 1E 00 00 00")).Result, 0);
    EXPECT_EQ(driver->WaitForPrinting(), 0x4F);
}

} // namespace
} // namespace kestrun::test
