// SPDX-License-Identifier: GPL-3.0-or-later
// A receipt replayed with kestrun-cli through kestrun-tap to kestrun-emulator, clean and under the
// emulator's wire faults: the answers the replay played, the commands the emulator ran and the
// tap's log read back agree exchange for exchange.
#include "../wire/EmulatorProcess.h"
#include "CaseName.h"
#include "CliRun.h"
#include "LogBuilder.h"
#include "TapProcess.h"
#include "log/Bytes.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace kestrun::test {
namespace {

// Sales of 100.00 and 200.00, their subtotal, the receipt's close and the short status; the
// shift is open.
const std::vector<TExchange> Receipt = {
    {"80 1E 00 00 00 E8 03 00 00 00 10 27 00 00 00 01 00 00 00 00", nullptr},
    {"80 1E 00 00 00 D0 07 00 00 00 10 27 00 00 00 01 00 00 00 00", nullptr},
    {"89 1E 00 00 00", nullptr},
    {"85 1E 00 00 00 40 9C 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00",
     nullptr},
    {"11 1E 00 00 00", nullptr},
};

// The player's wait for printing asks for the short status between the commands.
const QByteArray StatusPoll = QByteArray::fromHex("101E000000");

struct TFaultRow
{
    const char* Name;
    const char* Listen; // where the till reaches the tap
    const char* Faults; // the emulator's options besides the open shift
    int TimeoutMs;      // the till's wait for any byte
    bool Exact;         // no answer can come so late that the till takes it in a later round
};

void PrintTo(const TFaultRow& row, std::ostream* os) { *os << row.Name; }

// One request and the answer taken: from the replay's output or from the tap's log.
struct TRecord
{
    QByteArray Request;
    QByteArray Answer;
};

QList<TRecord> Records(const QStringList& lines, const char* answerField)
{
    QList<TRecord> records;
    for (const QString& line : lines) {
        const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
        if (!o.isEmpty())
            records.append({HexToBytes(o[QStringLiteral("Data")].toString().toLatin1()),
                            HexToBytes(o[QLatin1String(answerField)].toString().toLatin1())});
    }
    return records;
}

int Executed(const QString& emulatorExit)
{
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("executed=(\\d+)")).match(emulatorExit);
    EXPECT_TRUE(m.hasMatch()) << emulatorExit.toStdString();
    return m.captured(1).toInt();
}

class TapThroughFaults : public ::testing::TestWithParam<TFaultRow>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        WriteFile(ReceiptLog(), Protocol1Log(Receipt));
    }

    QString ReceiptLog() const { return FDir.filePath(QStringLiteral("receipt.log")); }
    QString TapLog() const { return FDir.filePath(QStringLiteral("tap.log")); }

    QTemporaryDir FDir;
};

TEST_P(TapThroughFaults, ReplayEmulatorAndTapLogAgree)
{
    const TFaultRow& row = GetParam();
    TEmulatorProcess emulator("--tcp", QStringLiteral("shift=open,") + QLatin1String(row.Faults));
    TTapProcess tap(QString::fromLatin1(row.Listen), emulator.DeviceText(), TapLog());
    const TRunResult replay = RunCli({"replay", ReceiptLog(), "--on-error", "continue", "--device",
                                      tap.DeviceText() + QStringLiteral(",timeout=%1").arg(row.TimeoutMs)});
    const QString tapReport = tap.Finish();
    const int executed = Executed(emulator.Finish());
    const QList<TRecord> played = Records(replay.OutLines(), "PlayedAnswerData");
    ASSERT_EQ(played.size(), qsizetype(Receipt.size())) << replay.ErrText().toStdString();

    const TRunResult parsed = RunCli({"parse", TapLog()});
    ASSERT_EQ(parsed.ExitCode, 0) << parsed.ErrText().toStdString();
    const QList<TRecord> logged = Records(parsed.OutLines(), "AnswerData");
    const TRunResult listed = RunCli({"list", "--json", TapLog()});
    ASSERT_EQ(listed.ExitCode, 0) << listed.ErrText().toStdString();
    EXPECT_EQ(listed.OutLines().size(), logged.size()) << "list and parse read the log alike";

    // Each command played is in the log once, in its place among the status polls, with the
    // answer the replay took; a command whose exchange failed before its frame went out is not.
    qsizetype t = 0;
    for (const TRecord& p : played) {
        const std::string request = StrToHex(p.Request).toStdString();
        while (t < logged.size() && logged[t].Request == StatusPoll && p.Request != StatusPoll)
            ++t;
        if (t == logged.size() || logged[t].Request != p.Request) {
            EXPECT_TRUE(p.Answer.isEmpty()) << request << " answered but not in the log";
            continue;
        }
        if (row.Exact || !p.Answer.isEmpty()) {
            EXPECT_EQ(StrToHex(logged[t].Answer).toStdString(), StrToHex(p.Answer).toStdString()) << request;
        }
        ++t;
    }
    for (; t < logged.size(); ++t)
        EXPECT_EQ(StrToHex(logged[t].Request).toStdString(), StrToHex(StatusPoll).toStdString()) << "record " << t;

    // Every answer in the log is one the emulator gave for a command it ran.
    const auto answered = std::count_if(logged.begin(), logged.end(), [](const TRecord& r) { return !r.Answer.isEmpty(); });
    if (row.Exact)
        EXPECT_EQ(answered, executed);
    else
        EXPECT_LE(answered, executed);
    EXPECT_FALSE(tapReport.contains(QLatin1String("cannot write"))) << tapReport.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Tap, TapThroughFaults,
    ::testing::Values(TFaultRow{"Clean", "tcp:0", "", 1000, true},
                      TFaultRow{"CleanPty", "pty", "", 1000, true},
                      TFaultRow{"Slow", "tcp:0", "slow=10", 300, true},
                      TFaultRow{"StrayNak", "tcp:0", "stray=15", 300, true},
                      TFaultRow{"StrayAck", "tcp:0", "stray=06", 300, true},
                      TFaultRow{"StrayStx", "tcp:0", "stray=02", 300, true},
                      TFaultRow{"BadLrc", "tcp:0", "badlrc=80,badlrc=89", 300, true},
                      TFaultRow{"DroppedByte", "tcp:0", "drop=80,drop=89", 300, true},
                      TFaultRow{"DroppedBytePty", "pty", "drop=80,slow=10", 300, true},
                      TFaultRow{"LostAnswer", "tcp:0", "noanswer=80", 200, true},
                      TFaultRow{"ClosedConnection", "tcp:0", "close=80", 300, true},
                      TFaultRow{"ClosedConnectionPty", "pty", "close=89", 300, true},
                      TFaultRow{"RejectedFrame", "tcp:0", "reject=80,reject=89", 300, true},
                      TFaultRow{"AllTogether", "tcp:0", "badlrc=80,drop=89,stray=15,reject=85,noanswer=11,slow=10", 300,
                                true},
                      TFaultRow{"RandomSeed1", "tcp:0", "random=1", 300, false},
                      TFaultRow{"RandomSeed2Slow", "tcp:0", "random=2,slow=5", 300, false},
                      TFaultRow{"RandomSeed4Pty", "pty", "random=4", 300, false},
                      TFaultRow{"RandomSeed5", "tcp:0", "random=5,slow=5", 300, false}),
    CaseName());

// A log the disk refuses is reported and the traffic goes on as without the tap's log.
TEST(TapLogFailure, ForwardingGoesOnWhenTheLogCannotBeWritten)
{
    TEmulatorProcess emulator("--tcp", QStringLiteral("shift=open"));
    TTapProcess tap(QStringLiteral("tcp:0"), emulator.DeviceText(), QStringLiteral("/dev/full"));
    const TRunResult status = RunCli({"status", "--device", tap.DeviceText()});
    EXPECT_EQ(status.ExitCode, 0) << status.ErrText().toStdString();
    EXPECT_EQ(status.OutLines().value(0), "Запрос состояния: Успешно");
    const QString report = tap.Finish();
    EXPECT_TRUE(report.contains(QLatin1String("kestrun-tap: cannot write the log /dev/full"))) << report.toStdString();
    EXPECT_EQ(emulator.Finish(), "executed=1 documents=0");
}

// Two tills one after the other through one tap: both are reported, and both runs are in the log.
TEST(TapSides, TheTillComesAgainAndTheRegisterIsOpenedAgain)
{
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("tap.log"));
    TEmulatorProcess emulator("--tcp", QStringLiteral("shift=open"));
    TTapProcess tap(QStringLiteral("tcp:0"), emulator.DeviceText(), log);
    for (int run = 0; run < 2; ++run)
        EXPECT_EQ(RunCli({"status", "--device", tap.DeviceText()}).ExitCode, 0);
    EXPECT_EQ(tap.Terminate(), 0);
    const QString report = tap.Finish();
    EXPECT_EQ(report.count(QLatin1String("the till is connected")), 2) << report.toStdString();
    EXPECT_EQ(report.count(QLatin1String("the register is open")), 2) << report.toStdString();
    EXPECT_EQ(report.count(QLatin1String("the till went away")), 2) << report.toStdString();
    EXPECT_EQ(RunCli({"list", "--json", log}).OutLines().size(), 2);
}

// A register that closes the connection is reported; the till's connection ends with it, and
// the register is opened again for the till that comes next.
TEST(TapSides, ARegisterThatGoesAwayIsReportedAndOpenedAgain)
{
    QTemporaryDir dir;
    TEmulatorProcess emulator("--tcp", QStringLiteral("close=11"));
    TTapProcess tap(QStringLiteral("tcp:0"), emulator.DeviceText(), dir.filePath(QStringLiteral("tap.log")));
    EXPECT_NE(RunCli({"status", "--device", tap.DeviceText() + QStringLiteral(",timeout=300")}).ExitCode, 0);
    EXPECT_NE(RunCli({"status", "--device", tap.DeviceText() + QStringLiteral(",timeout=300")}).ExitCode, 0);
    const QString report = tap.Finish();
    EXPECT_GE(report.count(QLatin1String("kestrun-tap: the register went away: the register closed the connection")), 2)
        << report.toStdString();
    EXPECT_GE(report.count(QLatin1String("the register is open")), 2) << report.toStdString();
}

// A register that is not there is reported, and the till sees a line that fails.
TEST(TapSides, AMissingRegisterIsReported)
{
    QTemporaryDir dir;
    QString deviceText;
    {
        const TEmulatorProcess gone("--tcp");
        deviceText = gone.DeviceText();
    }
    TTapProcess tap(QStringLiteral("tcp:0"), deviceText + QStringLiteral(",timeout=200"),
                    dir.filePath(QStringLiteral("tap.log")));
    EXPECT_NE(RunCli({"status", "--device", tap.DeviceText() + QStringLiteral(",timeout=200")}).ExitCode, 0);
    const QString report = tap.Finish();
    EXPECT_TRUE(report.contains(QLatin1String("kestrun-tap: cannot open the register"))) << report.toStdString();
}

TEST(TapArguments, UsageErrorsExitWithTwo)
{
    for (const QStringList& args : {QStringList{}, QStringList{"--listen", "udp:1", "--device", "emulator", "--log", "x"},
                                    QStringList{"--listen", "tcp:0", "--log", "x"},
                                    QStringList{"--listen", "pty", "--device", "emulator"},
                                    QStringList{"--listen", "pty", "--allow", "192.0.2.7", "--device", "emulator", "--log", "x"}}) {
        const TRunResult r = RunProgram(QStringLiteral(KESTRUN_TAP), args);
        EXPECT_EQ(r.ExitCode, 2) << args.join(u' ').toStdString();
        EXPECT_EQ(r.ErrText().trimmed(), "kestrun-tap: give --listen tcp:PORT [--allow HOST] or --listen pty, --device DEVICE and --log FILE");
    }
    const TRunResult unknown
        = RunProgram(QStringLiteral(KESTRUN_TAP), {"--listen", "tcp:0", "--device", "modem:1", "--log", "/dev/null"});
    EXPECT_EQ(unknown.ExitCode, 1);
    EXPECT_EQ(unknown.ErrText().trimmed(), "kestrun-tap: Неизвестное устройство: modem:1");
    const TRunResult name = RunProgram(QStringLiteral(KESTRUN_TAP), {"--listen", "tcp:0", "--allow", "localhost", "--device",
                                                                     "emulator", "--log", "/dev/null"});
    EXPECT_EQ(name.ExitCode, 1);
    EXPECT_EQ(name.ErrText().trimmed(), "kestrun-tap: --allow takes the address of one host, not localhost");
}

} // namespace
} // namespace kestrun::test
