// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaseName.h"
#include "CliRun.h"
#include "LogBuilder.h"
#include "QtPrint.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>

#include <csignal>
#include <gtest/gtest.h>

namespace kestrun::test {
namespace {

// Requests of a short shift in the NG dialect, each answered in the log.
const std::vector<TExchange> LogRequests = {
    {"05 11 1E 00 00 00", "03 11 00"},
    {"05 E0 1E 00 00 00", "03 E0 00"},
    {"13 80 1E 00 00 00 E8 03 00 00 00 10 27 00 00 00 01 00 00 00 00", "03 80 00"},
    {"03 FF 0A 01", "03 FF 0A 00"},
    {"1F 85 1E 00 00 00 10 27 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00",
     "09 85 00 1E 00 00 00 00 00"},
    {"05 41 1E 00 00 00", "03 41 00"},
};

QStringList Lines(const QByteArray& text) { return QString::fromUtf8(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts); }

// What a run of kestrun-cli gave.
struct TRun
{
    QStringList Out; // standard output, in lines
    QStringList Err; // standard error, in lines
    int Status = -1;
};

// A port on 127.0.0.1 where nobody listens: taken from the system, then given back.
quint16 ClosedPort()
{
    QTcpServer server;
    EXPECT_TRUE(server.listen(QHostAddress::LocalHost));
    const quint16 port = server.serverPort();
    server.close();
    return port;
}

class CliReplay : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        WriteFile(LogFile(), NgLog(LogRequests));
    }

    QString LogFile() const { return FDir.filePath(QStringLiteral("shift.log")); }

    static TRun Run(const QStringList& args, const QByteArray& input = {})
    {
        const TRunResult r = RunCli(args, {.Input = input});
        return {Lines(r.Out), Lines(r.Err), r.ExitCode};
    }

    QTemporaryDir FDir;
};

// Every line of standard output is one JSON object: the output can be piped to a JSON reader.
void ExpectJsonOnly(const QStringList& out)
{
    for (const QString& line : out) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8(), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
        EXPECT_TRUE(document.isObject()) << line.toStdString();
    }
}

TEST_F(CliReplay, AllCommandsOnce)
{
    const TRun run = Run({"replay", LogFile()});
    EXPECT_EQ(run.Status, 0);
    EXPECT_EQ(run.Err, QStringList({"Строка 0: Запрос состояния", "Строка 1: Открытие смены", "Строка 2: Продажа",
                                    "Строка 4: Закрытие чека", "Строка 5: Суточный отчет с гашением"}));
    ExpectJsonOnly(run.Out);
    ASSERT_EQ(run.Out.size(), 5);
    EXPECT_EQ(run.Out[1], R"({"Index":1,"Data":" E0 1E 00 00 00","PlayedAnswerData":"E0 00","Result":0,"Error":null,"Skipped":false})");
    EXPECT_EQ(run.Out[4], R"({"Index":5,"Data":" 41 1E 00 00 00","PlayedAnswerData":"41 00","Result":0,"Error":null,"Skipped":false})");
}

TEST_F(CliReplay, FromPositionAndCurrentLine)
{
    // Without a terminal to ask, a failure ends the run.
    TRun run = Run({"replay", "--from", "4", LogFile(), "--device", "emulator:shift=open"});
    EXPECT_EQ(run.Out, QStringList({R"({"Index":4,"Data":" 85 1E 00 00 00 10 27 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00","PlayedAnswerData":"85 55","Result":85,"Error":"85, Чек закрыт - операция невозможна","Skipped":false})"}));
    EXPECT_EQ(run.Err.mid(0, 2), QStringList({"Строка 4: Закрытие чека",
                                              "Строка 4: Закрытие чека: Ошибка: 85, Чек закрыт - операция невозможна"}));
    EXPECT_EQ(run.Status, 1);
    // The emulator does not know the command: the last (and only) command of the range fails.
    run = Run({"replay", "--from", "3", "--count", "1", "--except", "", LogFile()});
    EXPECT_EQ(run.Err.mid(0, 2), QStringList({"Строка 3: Найти фискальный документ по номеру",
                                              "Строка 3: Найти фискальный документ по номеру: Ошибка: 55, "
                                              "Команда не поддерживается в данной реализации"}));
    EXPECT_EQ(run.Out, QStringList({R"({"Index":3,"Data":" FF 0A 01","PlayedAnswerData":"FF 0A 37","Result":55,"Error":"55, Команда не поддерживается в данной реализации","Skipped":false})"}));
    EXPECT_EQ(run.Status, 1);
    run = Run({"replay", "--from", "1", "--count", "1", LogFile()});
    EXPECT_EQ(run.Err, QStringList({"Строка 1: Открытие смены"}));
    EXPECT_EQ(run.Out, QStringList({R"({"Index":1,"Data":" E0 1E 00 00 00","PlayedAnswerData":"E0 00","Result":0,"Error":null,"Skipped":false})"}));
    EXPECT_EQ(run.Status, 0);
}

// The player passes over a failure of the last command of the range; the command line says so.
TEST_F(CliReplay, FailureOfTheLastCommandOfTheRangeIsReported)
{
    const TRun run = Run({"replay", "--from", "4", "--count", "1", LogFile(), "--device", "emulator:shift=open"});
    EXPECT_EQ(run.Err, QStringList({"Строка 4: Закрытие чека", "Строка 4: Закрытие чека: Ошибка: 85, Чек закрыт - операция невозможна",
                                    "kestrun-cli replay: с ошибкой завершилось команд: 1"}));
    EXPECT_EQ(run.Out.size(), 1);
    EXPECT_EQ(run.Status, 1);
}

TEST_F(CliReplay, SelectedWithErrorsAnsweredEachWay)
{
    const QString saleFailed = QStringLiteral("Строка 2: Продажа: Ошибка: 61, Смена не открыта - операция невозможна");
    const TRun stopped = Run({"replay", "--selected", "2,5", LogFile()});
    EXPECT_EQ(stopped.Status, 1);
    EXPECT_EQ(stopped.Err.mid(0, 2), QStringList({"Строка 2: Продажа", saleFailed}));
    EXPECT_EQ(stopped.Out.size(), 1);

    // Going on after a failure still reports it and still fails the run.
    const TRun continued = Run({"replay", "--selected", "2,5", "--on-error", "continue", LogFile()});
    EXPECT_EQ(continued.Status, 1);
    EXPECT_EQ(continued.Err.mid(0, 3), QStringList({"Строка 2: Продажа", saleFailed, "Строка 5: Суточный отчет с гашением"}));
    EXPECT_EQ(continued.Out.size(), 2);
    const TRun ignored = Run({"replay", "--selected", "2,5", "--ignore-device-errors", LogFile()});
    EXPECT_EQ(ignored.Err, continued.Err);
    EXPECT_EQ(ignored.Status, 1);

    const TRun asked = Run({"replay", "--selected", "2,4,5", "--on-error", "ask", LogFile()}, "x\ny\nn\n");
    EXPECT_EQ(asked.Status, 1);
    ExpectJsonOnly(asked.Out);
    EXPECT_EQ(asked.Out.size(), 2);
    EXPECT_EQ(asked.Err.first(), "Строка 2: Продажа");
    EXPECT_TRUE(asked.Err.contains("Продолжить? [y/n]"));
    EXPECT_TRUE(asked.Err.contains("Строка 4: Закрытие чека: Ошибка: 85, Чек закрыт - операция невозможна"));
}

TEST_F(CliReplay, LoopForCountedCycles)
{
    const TRun run = Run({"replay", "--loop", "--cycles", "2", "--from", "1", "--count", "2", "--on-error", "continue",
                          LogFile()});
    // The second pass finds the shift open.
    EXPECT_EQ(run.Err.mid(0, 5), QStringList({"Цикл 1, строка 1: Открытие смены", "Цикл 1, строка 2: Продажа",
                                              "Цикл 2, строка 1: Открытие смены",
                                              "Цикл 2, строка 1: Открытие смены: Ошибка: 74, Открыт чек - операция невозможна",
                                              "Цикл 2, строка 2: Продажа"}));
    // Every pass has its rows, each with its cycle and outcome.
    ExpectJsonOnly(run.Out);
    QStringList rows;
    for (const QString& line : run.Out) {
        const QJsonObject row = QJsonDocument::fromJson(line.toUtf8()).object();
        rows << QStringLiteral("%1/%2/%3").arg(row["Cycle"].toInt()).arg(row["Index"].toInt()).arg(row["Result"].toInt());
    }
    EXPECT_EQ(rows, QStringList({"1/1/0", "1/2/0", "2/1/74", "2/2/0"}));
    EXPECT_EQ(run.Status, 1);
}

// A run against a port where nobody listens fails every command with a driver error.
TEST_F(CliReplay, EveryFailedCommandHasItsLineAndFailsTheRun)
{
    const QString device = QStringLiteral("tcp:127.0.0.1:%1,timeout=200").arg(ClosedPort());
    const TRun run = Run({"replay", "--on-error", "continue", "--device", device, LogFile()});
    EXPECT_EQ(run.Status, 1);
    ExpectJsonOnly(run.Out);
    EXPECT_EQ(run.Out.size(), 5);
    QStringList failures;
    for (const QString& line : run.Err)
        if (line.contains(QStringLiteral(": Ошибка: -")))
            failures << line.left(line.indexOf(QStringLiteral(": Ошибка: -")));
    EXPECT_EQ(failures, QStringList({"Строка 0: Запрос состояния", "Строка 1: Открытие смены", "Строка 2: Продажа",
                                     "Строка 4: Закрытие чека", "Строка 5: Суточный отчет с гашением"}));
}

// A count of 0 is a range of no rows, not the whole log.
TEST_F(CliReplay, CountZeroSendsNothing)
{
    const TRun run = Run({"replay", "--count", "0", LogFile()});
    EXPECT_EQ(run.Status, 1);
    EXPECT_TRUE(run.Out.isEmpty());
    EXPECT_EQ(run.Err, QStringList({"kestrun-cli replay: --count 0: воспроизводить нечего"}));
}

// A driver error line has no request to send: it is passed over, said so, and fails nothing.
TEST_F(CliReplay, RowWithoutRequestBytesIsSkipped)
{
    QByteArray log = NgLog({LogRequests[0]});
    log += "[12.03.2024 10:15:31.000] [00001A2C] [ERROR] TFiscalPrinter - \xCD\xE5\xF2 \xF1\xE2\xFF\xE7\xE8 (-1)\r\n";
    log += NgLog({LogRequests[1]});
    WriteFile(LogFile(), log);
    const TRun run = Run({"replay", LogFile()});
    EXPECT_EQ(run.Err, QStringList({"Строка 0: Запрос состояния",
                                    "Строка 1: Ошибка драйвера: нет байтов запроса, пропущена",
                                    "Строка 2: Открытие смены"}));
    ASSERT_EQ(run.Out.size(), 3);
    EXPECT_EQ(run.Out[1], R"({"Index":1,"Data":"","PlayedAnswerData":"","Result":0,"Error":null,"Skipped":true})");
    EXPECT_EQ(run.Status, 0);
    // A range of such rows alone plays nothing.
    const TRun alone = Run({"replay", "--selected", "1", LogFile()});
    EXPECT_EQ(alone.Err, QStringList({"kestrun-cli replay: в диапазоне нет команд для воспроизведения"}));
    EXPECT_EQ(alone.Status, 1);
}

TEST_F(CliReplay, RangeThatPlaysNothingSaysSo)
{
    for (const QStringList& args : {QStringList{"replay", "--except", "11", "--from", "0", "--count", "1"},
                                    QStringList{"replay", "--from", "3", "--count", "1"},
                                    QStringList{"replay", "--from", "3", "--count", "1", "--loop"}}) {
        const TRun run = Run(args + QStringList{LogFile()});
        EXPECT_EQ(run.Status, 1) << args.join(' ').toStdString();
        EXPECT_TRUE(run.Out.isEmpty());
        EXPECT_EQ(run.Err, QStringList({"kestrun-cli replay: в диапазоне нет команд для воспроизведения"}));
    }
}

// --ignore leaves commands out of the list as list --ignore does: the same index means the same command.
TEST_F(CliReplay, IgnoredCommandsShiftIndexesAsInTheList)
{
    const TRun list = Run({"list", "--json", "--ignore", "11", "--ignore", "E0", LogFile()});
    ASSERT_EQ(list.Status, 0);
    ASSERT_FALSE(list.Out.isEmpty());
    const QString firstListed
        = QJsonDocument::fromJson(list.Out.first().toUtf8()).object()[QStringLiteral("Command")].toString();
    EXPECT_EQ(firstListed, "Продажа");
    const TRun run = Run({"replay", "--ignore", "11", "--ignore", "E0", "--selected", "0", "--device",
                          "emulator:shift=open", LogFile()});
    EXPECT_EQ(run.Out, QStringList({R"({"Index":0,"Data":" 80 1E 00 00 00 E8 03 00 00 00 10 27 00 00 00 01 00 00 00 00","PlayedAnswerData":"80 00","Result":0,"Error":null,"Skipped":false})"}));
    EXPECT_EQ(run.Err, QStringList({"Строка 0: " + firstListed}));
    EXPECT_EQ(run.Status, 0);
}

// Ctrl+C, and what timeout and service managers send: the run stops after the current command,
// with the rows played printed, and exits as a shell expects of the signal.
struct TStopSignal
{
    const char* Name;
    int Signal;
    int ExitCode;
};

void PrintTo(const TStopSignal& s, std::ostream* os) { *os << s.Name; }

class CliReplayStop : public CliReplay, public ::testing::WithParamInterface<TStopSignal>
{
};

TEST_P(CliReplayStop, StopsAfterTheCurrentCommand)
{
    QProcess cli;
    cli.setReadChannel(QProcess::StandardError);
    cli.start(QStringLiteral(KESTRUN_CLI), {"replay", "--device", "emulator:print=2000", LogFile()});
    cli.closeWriteChannel();
    // The second command opens the shift and prints.
    QByteArray err;
    while (!err.contains("Открытие смены") && cli.waitForReadyRead(30000))
        err += cli.readAllStandardError();
    ASSERT_TRUE(err.contains("Открытие смены")) << err.toStdString();
    ::kill(static_cast<pid_t>(cli.processId()), GetParam().Signal);
    ASSERT_TRUE(cli.waitForFinished(60000));
    EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(cli.exitCode(), GetParam().ExitCode);
    const QStringList out = Lines(cli.readAllStandardOutput());
    ExpectJsonOnly(out);
    EXPECT_EQ(out.size(), 2);
}

INSTANTIATE_TEST_SUITE_P(Signals, CliReplayStop,
                         ::testing::Values(TStopSignal{"CtrlC", SIGINT, 130}, TStopSignal{"Sigterm", SIGTERM, 143}),
                         kestrun::test::CaseName());

TEST_F(CliReplay, Status)
{
    TRun run = Run({"status"});
    EXPECT_EQ(run.Out, QStringList({"Запрос состояния: Успешно", "Режим   : 4, Закрытая смена", "Подрежим: 0, бумага есть"}));
    EXPECT_EQ(run.Status, 0);
    run = Run({"status", "--device", "emulator:error=11:05"});
    EXPECT_EQ(run.Out, QStringList({"Запрос состояния: Ошибка: 5, Параметры команды не соответствуют сроку жизни ФН"}));
    EXPECT_EQ(run.Status, 1);
    run = Run({"status", "--json"});
    EXPECT_EQ(run.Out, QStringList({R"({"Result":0,"Error":null,"Mode":4,"ModeText":"Закрытая смена","SubMode":0,"SubModeText":"бумага есть"})"}));
    EXPECT_EQ(run.Status, 0);
    run = Run({"status", "--json", "--device", "emulator:error=11:05"});
    EXPECT_EQ(run.Out, QStringList({R"({"Result":5,"Error":"Параметры команды не соответствуют сроку жизни ФН"})"}));
    EXPECT_EQ(run.Status, 1);
}

TEST_F(CliReplay, HelpListsEveryDeviceKindAndOption)
{
    const TRun run = Run({"--help"});
    EXPECT_EQ(run.Status, 0);
    const QString help = run.Out.join(QLatin1Char('\n'));
    for (const char* item : {"emulator[:OPTION,...]", "serial:PORT[:BAUD][,OPTION,...]", "tcp:HOST:PORT[,OPTION,...]",
                             "busy=N[:CODE]", "error=CMD:ERR", "driver=CMD[:-N[:TEXT]]", "throw=CMD[:TEXT]", "silent=CMD[:MS]", "print=MS",
                             "shift=open|closed", "timeout=MS", "printwait=MS", "password=N", "log=FILE"})
        EXPECT_TRUE(help.contains(QLatin1String(item))) << item;
}

struct TUsageCase
{
    const char* Name;
    QStringList Args; // the log file is appended to those of replay
};

void PrintTo(const TUsageCase& c, std::ostream* os) { *os << c.Name; }

class CliReplayUsage : public CliReplay, public ::testing::WithParamInterface<TUsageCase> {};

TEST_P(CliReplayUsage, RefusedWithExit2)
{
    QStringList args = GetParam().Args;
    if (args.first() == QLatin1String("replay"))
        args << LogFile();
    const TRun run = Run(args);
    EXPECT_EQ(run.Status, 2);
    EXPECT_TRUE(run.Out.isEmpty());
    ASSERT_FALSE(run.Err.isEmpty());
    EXPECT_TRUE(run.Err.first().startsWith(QStringLiteral("kestrun-cli %1: ").arg(args.first()))) << run.Err.first().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Args, CliReplayUsage,
    ::testing::Values(TUsageCase{"CyclesWithoutLoop", {"replay", "--cycles", "2"}},
                      TUsageCase{"SelectedBeyondTheLog", {"replay", "--selected", "9"}},
                      TUsageCase{"UnknownErrorAction", {"replay", "--on-error", "maybe"}},
                      TUsageCase{"UnknownDeviceKind", {"replay", "--device", "modem"}},
                      TUsageCase{"BadEmulatorOption", {"replay", "--device", "emulator:busy=many"}},
                      TUsageCase{"TcpWithoutPort", {"replay", "--device", "tcp:127.0.0.1"}},
                      TUsageCase{"StatusOfAnUnknownKind", {"status", "--device", "modem"}},
                      TUsageCase{"StatusWithABadOption", {"status", "--device", "serial:COM1,timeout=1"}}),
    kestrun::test::CaseName());

} // namespace
} // namespace kestrun::test
