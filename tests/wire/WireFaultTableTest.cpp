// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaseName.h"
// A short receipt played through the wire driver and the player against every wire fault of the
// emulator: no command may run twice on the register, no command that did not run may be
// reported as done, and the driver's traffic log must read back as the exchanges played.
#include "EmulatorThread.h"
#include "../playback/QtPrint.h"
#include "../playback/Recorder.h"
#include "log/Bytes.h"
#include "log/LogLoader.h"
#include "playback/DeviceDriver.h"
#include "playback/DriverErrors.h"
#include "playback/Player.h"

#include <QTemporaryDir>
#include <QThread>

namespace kestrun::test {
namespace {

// Sales of 100.00 and 200.00, their subtotal, the receipt's close; the shift is open.
const char* const Receipt[] = {
    "FC",
    "80 1E 00 00 00 E8 03 00 00 00 10 27 00 00 00 01 00 00 00 00",
    "80 1E 00 00 00 D0 07 00 00 00 10 27 00 00 00 01 00 00 00 00",
    "89 1E 00 00 00",
    "85 1E 00 00 00 40 9C 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00",
    "11 1E 00 00 00",
};

// One ExchangeBytes as the player saw it.
struct TPlayed
{
    QByteArray Request;
    int32_t Result;
    QByteArray Answer; // empty unless the driver accepted an answer frame
};

// The real driver, with a record of every exchange the player made through it.
class TRecordingDriver final : public TUlvex
{
public:
    explicit TRecordingDriver(const QString& deviceText) : FDriver(CreateDriver(deviceText)) {}

    int32_t BinaryConversion() const override { return FDriver->BinaryConversion(); }
    void SetBinaryConversion(int32_t value) override { FDriver->SetBinaryConversion(value); }
    QString TransferBytes() const override { return FDriver->TransferBytes(); }
    void SetTransferBytes(const QString& value) override { FDriver->SetTransferBytes(value); }
    int32_t Password() const override { return FDriver->Password(); }
    void SetPassword(int32_t value) override { FDriver->SetPassword(value); }
    int32_t SysAdminPassword() const override { return FDriver->SysAdminPassword(); }
    int32_t ResultCode() const override { return FDriver->ResultCode(); }
    QString ResultCodeDescription() const override { return FDriver->ResultCodeDescription(); }
    int32_t ECRMode() const override { return FDriver->ECRMode(); }
    QString ECRModeDescription() const override { return FDriver->ECRModeDescription(); }
    int32_t ECRAdvancedMode() const override { return FDriver->ECRAdvancedMode(); }
    QString ECRAdvancedModeDescription() const override { return FDriver->ECRAdvancedModeDescription(); }
    int32_t WaitForPrinting() override { return FDriver->WaitForPrinting(); }
    int32_t GetECRStatus() override { return FDriver->GetECRStatus(); }
    int32_t ShowProperties() override { return FDriver->ShowProperties(); }

    int32_t ExchangeBytes() override
    {
        const QByteArray request = HexToBytes(FDriver->TransferBytes().toLatin1());
        const int32_t result = FDriver->ExchangeBytes();
        FPlayed.append({request, result, HexToBytes(FDriver->TransferBytes().toLatin1())});
        return result;
    }

    const QList<TPlayed>& Played() const { return FPlayed; }

private:
    std::unique_ptr<TUlvex> FDriver;
    QList<TPlayed> FPlayed;
};

struct TFaultRow
{
    const char* Name;
    const char* Transport;
    const char* Faults; // the emulator's options besides the open shift
    int TimeoutMs;      // the driver's wait for any byte
    int SettleMs = 200; // after the run, for a frame still on its way or a request still at work
};

void PrintTo(const TFaultRow& row, std::ostream* os) { *os << row.Name; }

class WireFaultTable : public ::testing::TestWithParam<TFaultRow>
{
protected:
    void SetUp() override { ASSERT_TRUE(FDir.isValid()); }

    QString TrafficLog() const { return FDir.filePath(QStringLiteral("traffic.log")); }

    // Plays the receipt through the player, going on after every failed command.
    QList<TPlayed> Play(const QString& deviceText)
    {
        TCommands commands;
        for (const char* data : Receipt) {
            TCommand command;
            command.SetData(data);
            command.Selected = true;
            commands << command;
        }
        TEventBus bus;
        TKestrun player(bus);
        TRecorder recorder(bus);
        recorder.OnErrorQuery = [&player](const QString&) { player.SetPlayMode(TPlayMode::pmContinue); };
        TRecordingDriver driver(deviceText);
        player.PlayLog(driver, commands, {}, 0, 0, false);
        return driver.Played();
    }

    QTemporaryDir FDir;
};

int Count(const QList<TExecution>& executed, const QByteArray& request)
{
    return static_cast<int>(std::count_if(executed.begin(), executed.end(),
                                          [&request](const TExecution& e) { return e.Request == request; }));
}

TEST_P(WireFaultTable, RunsEachCommandAtMostOnceReportsEveryFailureAndLogsTrue)
{
    const TFaultRow& row = GetParam();
    const TEmulatorThread emulator(row.Transport, QStringLiteral("shift=open,") + QLatin1String(row.Faults));
    const QList<TPlayed> played
        = Play(emulator.DeviceText() + QStringLiteral(",timeout=%1,log=%2").arg(row.TimeoutMs).arg(TrafficLog()));
    ASSERT_EQ(played.size(), qsizetype(std::size(Receipt)));
    // A frame still on its way, or a request the device still works on, would be run after the
    // count is taken.
    QThread::msleep(static_cast<unsigned long>(row.SettleMs));
    const QList<TExecution> executed = emulator.Tally().Executed;

    for (const TPlayed& p : played) {
        const std::string request = StrToHex(p.Request).toStdString();
        const int runs = Count(executed, p.Request);
        EXPECT_LE(runs, 1) << request << " ran " << runs << " times";
        // A command the device ran and whose answer was lost is "no answer", whatever the cause.
        if (runs > 0 && p.Result < 0) {
            EXPECT_EQ(p.Result, deNoAnswer) << request;
        }
        if (p.Result >= 0) {
            // An answer was accepted: the device ran the command and this is what it answered.
            EXPECT_EQ(runs, 1) << request << " reported " << p.Result << " but ran " << runs << " times";
            for (const TExecution& e : executed) {
                if (e.Request == p.Request) {
                    EXPECT_EQ(StrToHex(p.Answer).toStdString(), StrToHex(e.Answer).toStdString()) << request;
                }
            }
        }
    }

    // The traffic log reads back as the exchanges played, in order, with the accepted answer; a
    // frame refused and sent again is a row without an answer and the error row that says so;
    // a failed exchange whose frame went out shows its request, then its error with its code.
    TCommands traffic;
    LoadLogFile(TrafficLog(), {}, traffic);
    const auto isBareError = [](const TCommand& c) { return !c.HasData() && !c.DriverError().isEmpty(); };
    qsizetype t = 0;
    for (const TPlayed& p : played) {
        const QByteArray request = StrToHex(p.Request);
        const TCommand* last = nullptr;
        QString error; // the first error row after the last sending
        int sendings = 0;
        for (; t < traffic.size(); ++t) {
            const TCommand& c = traffic[t];
            if (isBareError(c)) {
                if (error.isEmpty())
                    error = c.DriverError();
                continue;
            }
            if (c.Data() != request)
                break;
            last = &c;
            error.clear();
            ++sendings;
        }
        if (p.Result >= 0 || Count(executed, p.Request) > 0) {
            ASSERT_NE(last, nullptr) << "no record of " << request.toStdString() << " in " << t;
        }
        if (!last)
            continue;
        EXPECT_LE(sendings, 3) << request.toStdString();
        EXPECT_EQ(last->AnswerData().trimmed().toStdString(), StrToHex(p.Answer).toStdString()) << request.toStdString();
        EXPECT_EQ(last->Protocol, TProtocol::pProtocol1) << request.toStdString();
        if (p.Result < 0) {
            EXPECT_TRUE(error.endsWith(QStringLiteral("(%1)").arg(p.Result))) << request.toStdString() << ": " << error.toStdString();
        }
    }
    while (t < traffic.size() && isBareError(traffic[t]))
        ++t;
    EXPECT_EQ(t, traffic.size()) << "records beyond the exchanges played";
}

INSTANTIATE_TEST_SUITE_P(
    Wire, WireFaultTable,
    ::testing::Values(TFaultRow{"Clean", "--tcp", "", 1000},
                      TFaultRow{"CleanPty", "--pty", "", 1000},
                      TFaultRow{"SlowWithinTimeout", "--tcp", "slow=10", 200},
                      TFaultRow{"SlowJustBeyondTimeout", "--tcp", "slow=60", 50},
                      TFaultRow{"SlowFarBeyondTimeout", "--tcp", "slow=150", 50},
                      TFaultRow{"SlowBeyondTimeoutPty", "--pty", "slow=60", 50},
                      TFaultRow{"StrayNak", "--tcp", "stray=15", 150},
                      TFaultRow{"StrayAck", "--tcp", "stray=06", 150},
                      TFaultRow{"StrayStx", "--tcp", "stray=02", 150},
                      TFaultRow{"StrayNakSlow", "--tcp", "stray=15,slow=10", 200},
                      TFaultRow{"StrayNakSlowBeyondTimeout", "--tcp", "stray=15,slow=60", 50},
                      TFaultRow{"BadLrc", "--tcp", "badlrc=80,badlrc=89", 150},
                      TFaultRow{"DroppedByte", "--tcp", "drop=80,drop=89", 150},
                      TFaultRow{"DroppedByteSlow", "--pty", "drop=80,slow=10", 200},
                      TFaultRow{"LostAnswer", "--tcp", "noanswer=80", 100},
                      TFaultRow{"ClosedConnection", "--tcp", "close=80", 150},
                      TFaultRow{"RejectedFrame", "--tcp", "reject=80,reject=89", 150},
                      TFaultRow{"RejectedFrameStrayNak", "--tcp", "reject=80,stray=15", 150},
                      TFaultRow{"AllTogether", "--tcp", "badlrc=80,drop=89,stray=15,reject=85,noanswer=11,slow=10", 150},
                      // Two ready-NAKs 20 ms apart: the second comes just after the frame, which
                      // then runs longer than the timeout. The frame must not go out again.
                      TFaultRow{"DoubledReadyNakLongWork", "--tcp", "stray=15,slow=20,work=400", 300, 1000},
                      TFaultRow{"DoubledReadyNakLongWorkPty", "--pty", "stray=15,slow=20,work=400", 300, 1000},
                      TFaultRow{"DoubledReadyNakWorkBeyondProbe", "--tcp", "stray=15,slow=20,work=800", 300, 1500},
                      TFaultRow{"LongWorkBeyondTimeout", "--tcp", "work=250", 100, 1000},
                      TFaultRow{"BrokenAnswerEveryTime", "--tcp", "garble=80,garble=85", 150},
                      TFaultRow{"ClosedAfterAck", "--tcp", "close=85", 150},
                      TFaultRow{"RandomSeed1", "--tcp", "random=1", 150},
                      TFaultRow{"RandomSeed2Slow", "--tcp", "random=2,slow=5", 200},
                      TFaultRow{"RandomSeed3BeyondTimeout", "--tcp", "random=3,slow=30", 25},
                      TFaultRow{"RandomSeed4Pty", "--pty", "random=4", 150},
                      TFaultRow{"RandomSeed5", "--tcp", "random=5,slow=5", 150}),
    kestrun::test::CaseName());

// A sale over a link slower than the driver's timeout, then its subtotal with a timeout long
// enough: the subtotal holds the sale once, or the sale failed and is not in it at all.
TEST(WireSlowLink, SubtotalHoldsTheSaleOnceAfterATimedOutSale)
{
    const TEmulatorThread emulator("--tcp", QStringLiteral("shift=open,slow=110"));
    const QByteArray sale = HexToBytes(Receipt[1]);
    int32_t saleResult = 0;
    {
        TRecordingDriver driver(emulator.DeviceText() + QStringLiteral(",timeout=100"));
        driver.SetTransferBytes(QString::fromLatin1(Receipt[1]));
        saleResult = driver.ExchangeBytes();
    }
    TRecordingDriver driver(emulator.DeviceText() + QStringLiteral(",timeout=300"));
    driver.SetTransferBytes(QString::fromLatin1(Receipt[3]));
    const int32_t subtotalResult = driver.ExchangeBytes();
    QThread::msleep(200);
    const int sales = Count(emulator.Tally().Executed, sale);
    EXPECT_LE(sales, 1);
    if (saleResult >= 0) {
        EXPECT_EQ(sales, 1);
    }
    if (sales == 0) {
        EXPECT_GT(subtotalResult, 0) << "no receipt is open, the device refuses the subtotal";
        return;
    }
    ASSERT_EQ(subtotalResult, 0);
    // Code, error byte, operator, then the receipt's total in kopecks: 100.00.
    EXPECT_EQ(driver.Played().front().Answer.mid(3).toHex(' ').toStdString(), "10 27 00 00 00");
}

} // namespace
} // namespace kestrun::test
