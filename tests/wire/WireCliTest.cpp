// SPDX-License-Identifier: GPL-3.0-or-later
#include "CliRun.h"
#include "EmulatorProcess.h"
#include "LogBuilder.h"
#include "../playback/QtPrint.h"
#include "log/Bytes.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

namespace kestrun::test {
namespace {

// Requests of a short shift in the NG dialect, each answered in the log.
const std::vector<TExchange> ShiftRequests = {
    {"05 11 1E 00 00 00", "03 11 00"},
    {"05 E0 1E 00 00 00", "03 E0 00"},
    {"13 80 1E 00 00 00 E8 03 00 00 00 10 27 00 00 00 01 00 00 00 00", "03 80 00"},
    {"05 41 1E 00 00 00", "03 41 00"},
};

class WireCli : public ::testing::TestWithParam<const char*>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        WriteFile(ShiftLog(), NgLog(ShiftRequests));
    }

    QString ShiftLog() const { return FDir.filePath(QStringLiteral("shift.log")); }
    QString TrafficLog() const { return FDir.filePath(QStringLiteral("traffic.log")); }

    // Standard output split into lines; the exit status in `status`, standard error in `err`.
    static QStringList Run(const QStringList& args, int& status, QStringList* err = nullptr)
    {
        const TRunResult r = RunCli(args);
        status = r.ExitCode;
        if (err)
            *err = r.ErrText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        return r.OutLines();
    }

    // The JSON lines of a command's output.
    static QList<QJsonObject> Records(const QStringList& lines)
    {
        QList<QJsonObject> records;
        for (const QString& line : lines)
            if (line.startsWith(QLatin1Char('{')))
                records << QJsonDocument::fromJson(line.toUtf8()).object();
        return records;
    }

    static QByteArray Bytes(const QJsonValue& hex) { return HexToBytes(hex.toString().toLatin1()); }

    QTemporaryDir FDir;
};

TEST_P(WireCli, Status)
{
    const TEmulatorProcess emulator(GetParam(), QStringLiteral("shift=open"));
    int status = -1;
    EXPECT_EQ(Run({"status", "--device", emulator.DeviceText()}, status),
              QStringList({"Запрос состояния: Успешно", "Режим   : 2, Открытая смена; 24 часа не кончились",
                           "Подрежим: 0, бумага есть"}));
    EXPECT_EQ(status, 0);
}

// The traffic of a replay, opened as a log, gives back the requests sent and the answers the
// emulator gave; the only other exchanges are the status polls of the wait for printing.
TEST_P(WireCli, ReplayedTrafficParsesBackToTheRequestsAndAnswers)
{
    const TEmulatorProcess emulator(GetParam());
    int status = -1;
    const QList<QJsonObject> played
        = Records(Run({"replay", QStringLiteral(KESTRUN_SOURCE_DIR "/samples/demo.log"), "--on-error", "continue",
                       "--device", emulator.DeviceText() + QStringLiteral(",log=") + TrafficLog()},
                      status));
    // Some of the demo's commands fail on a fresh register.
    EXPECT_EQ(status, 1);
    const QList<QJsonObject> traffic = Records(Run({"parse", TrafficLog()}, status));
    ASSERT_EQ(status, 0);

    const QByteArray statusPoll = QByteArray::fromHex("101E000000");
    qsizetype t = 0;
    int sent = 0;
    for (const QJsonObject& command : played) {
        if (Bytes(command[QStringLiteral("Data")]).isEmpty())
            continue; // nothing to send: the driver refuses it without a word on the wire
        while (t < traffic.size() && Bytes(traffic[t][QStringLiteral("Data")]) != Bytes(command[QStringLiteral("Data")])) {
            EXPECT_EQ(Bytes(traffic[t][QStringLiteral("Data")]), statusPoll) << "traffic record " << t;
            ++t;
        }
        ASSERT_LT(t, traffic.size()) << "not in the traffic: " << command[QStringLiteral("Data")].toString().toStdString();
        EXPECT_EQ(traffic[t][QStringLiteral("AnswerData")].toString().trimmed(),
                  command[QStringLiteral("PlayedAnswerData")].toString());
        EXPECT_EQ(traffic[t][QStringLiteral("Protocol")].toString(), "pProtocol1");
        ++t;
        ++sent;
    }
    EXPECT_GT(sent, 10);
    for (; t < traffic.size(); ++t)
        EXPECT_EQ(Bytes(traffic[t][QStringLiteral("Data")]), statusPoll) << "traffic record " << t;
}

// The register ran the commands; that their record could not be written is still a failure.
TEST_P(WireCli, TrafficLogOnAFullDiskFailsTheReplayWithTheSystemsReason)
{
    const TEmulatorProcess emulator(GetParam());
    int status = -1;
    QStringList err;
    const QList<QJsonObject> played
        = Records(Run({"replay", ShiftLog(), "--device", emulator.DeviceText() + QStringLiteral(",log=/dev/full")}, status, &err));
    EXPECT_EQ(status, 1);
    EXPECT_EQ(played.size(), qsizetype(std::size(ShiftRequests)));
    EXPECT_EQ(err.filter(QLatin1String("/dev/full")).filter(qt_error_string(ENOSPC)).size(), 1)
        << err.join(QLatin1Char('\n')).toStdString();
}

TEST_P(WireCli, BusyAnswersAreRetriedByThePlayer)
{
    const TEmulatorProcess emulator(GetParam(), QStringLiteral("busy=4"));
    int status = -1;
    const QList<QJsonObject> played = Records(Run({"replay", ShiftLog(), "--device", emulator.DeviceText()}, status));
    // The report finds the sale's receipt open: the last command fails, and the run with it.
    EXPECT_EQ(status, 1);
    ASSERT_EQ(played.size(), 4);
    EXPECT_EQ(played[0][QStringLiteral("PlayedAnswerData")].toString().left(5), "11 00");
    EXPECT_EQ(played[1][QStringLiteral("PlayedAnswerData")].toString(), "E0 00");
}

TEST_P(WireCli, BusyBeyondFiveExchangesEndsTheRun)
{
    const TEmulatorProcess emulator(GetParam(), QStringLiteral("busy=5"));
    int status = -1;
    QStringList err;
    const QStringList out
        = Run({"replay", ShiftLog(), "--device", emulator.DeviceText(), "--on-error", "stop"}, status, &err);
    EXPECT_EQ(status, 1);
    ASSERT_GE(err.size(), 2);
    EXPECT_EQ(err[1], "Строка 0: Запрос состояния: Ошибка: 80, Идет печать предыдущей команды");
    EXPECT_EQ(out, QStringList({R"({"Index":0,"Data":" 11 1E 00 00 00","PlayedAnswerData":"11 50","Result":80,"Error":"80, Идет печать предыдущей команды","Skipped":false})"}));
}

TEST_P(WireCli, DriverErrorOfTheWireGoesThroughTheErrorQuery)
{
    const TEmulatorProcess emulator(GetParam(), QStringLiteral("noanswer=E0"));
    int status = -1;
    const QStringList out = Run({"replay", ShiftLog(), "--device", emulator.DeviceText() + QStringLiteral(",timeout=200"),
                                 "--on-error", "continue"},
                                status);
    // Going on after the failure still fails the run.
    EXPECT_EQ(status, 1);
    const QList<QJsonObject> played = Records(out);
    ASSERT_EQ(played.size(), 4);
    EXPECT_EQ(played[1][QStringLiteral("PlayedAnswerData")].toString(), "");
    // Without the shift the emulator never opened, the sale is refused.
    EXPECT_EQ(played[2][QStringLiteral("PlayedAnswerData")].toString(), "80 3D");
}

// The exit line tells what the register ran: the status query is one command, no document.
TEST_P(WireCli, EmulatorCountsTheCommandsItRanOnExit)
{
    TEmulatorProcess emulator(GetParam());
    int status = -1;
    Run({"status", "--device", emulator.DeviceText()}, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(emulator.Finish(), "executed=1 documents=0");
}

INSTANTIATE_TEST_SUITE_P(Wire, WireCli, ::testing::Values("--tcp", "--pty"),
                         [](const auto& info) { return std::string(info.param + 2); });

TEST(WireEmulator, DriverFaultsOfTheBuiltInEmulatorAreRefused)
{
    QProcess emulator;
    emulator.start(QStringLiteral(KESTRUN_EMULATOR), {"--tcp", "0", "--options", "driver=10"});
    ASSERT_TRUE(emulator.waitForFinished(10000));
    EXPECT_EQ(emulator.exitCode(), 1);
    EXPECT_EQ(QString::fromLocal8Bit(emulator.readAllStandardError()).trimmed(),
              "Параметр действует только во встроенном эмуляторе: driver=10");
}

} // namespace
} // namespace kestrun::test
