#include "CliRun.h"
#include "LogBuilder.h"
#include "QtPrint.h"

#include <QTemporaryDir>

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

class CliReplay : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        WriteFile(LogFile(), NgLog(LogRequests));
    }

    QString LogFile() const { return FDir.filePath(QStringLiteral("shift.log")); }

    // Standard output split into lines; the exit status in `status`.
    static QStringList Run(const QStringList& args, int& status, const QByteArray& input = {})
    {
        const TRunResult r = RunCli(args, {.Input = input});
        status = r.ExitCode;
        return r.OutLines();
    }

    QTemporaryDir FDir;
};

TEST_F(CliReplay, AllCommandsOnce)
{
    int status = -1;
    const QStringList out = Run({"replay", LogFile()}, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out.mid(0, 5), QStringList({"(1/6) Запрос состояния", "(2/6) Открытие смены", "(3/6) Продажа",
                                          "(5/6) Закрытие чека", "(6/6) Суточный отчет с гашением"}));
    ASSERT_EQ(out.size(), 10);
    EXPECT_EQ(out[6], R"({"Index":1,"Data":" E0 1E 00 00 00","PlayedAnswerData":"E0 00"})");
    EXPECT_EQ(out[9], R"({"Index":5,"Data":" 41 1E 00 00 00","PlayedAnswerData":"41 00"})");
}

TEST_F(CliReplay, FromPositionAndCurrentLine)
{
    int status = -1;
    EXPECT_EQ(Run({"replay", "--from", "4", LogFile(), "--device", "emulator:shift=open"}, status),
              QStringList({"(5/6) Закрытие чека", "(5/6) Закрытие чека: Ошибка: 85, Чек закрыт - операция невозможна",
                           R"({"Index":4,"Data":" 85 1E 00 00 00 10 27 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00","PlayedAnswerData":"85 55"})"}));
    EXPECT_EQ(status, 1);
    EXPECT_EQ(Run({"replay", "--from", "3", "--count", "1", "--except", "", LogFile()}, status),
              QStringList({"(4/6) Найти фискальный документ по номеру",
                           R"({"Index":3,"Data":" FF 0A 01","PlayedAnswerData":"FF 0A 37"})"}));
    EXPECT_EQ(status, 0);
}

TEST_F(CliReplay, SelectedWithErrorsAnsweredEachWay)
{
    int status = -1;
    const QStringList stopped = Run({"replay", "--selected", "2,5", LogFile()}, status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(stopped.mid(0, 2), QStringList({"(3/6) Продажа", "(3/6) Продажа: Ошибка: 61, Смена не открыта - операция невозможна"}));
    const QStringList continued = Run({"replay", "--selected", "2,5", "--on-error", "continue", LogFile()}, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(continued.mid(0, 2), QStringList({"(3/6) Продажа", "(6/6) Суточный отчет с гашением"}));
    const QStringList ignored = Run({"replay", "--selected", "2,5", "--ignore-device-errors", LogFile()}, status);
    EXPECT_EQ(ignored, continued);
    const QStringList asked = Run({"replay", "--selected", "2,4,5", "--on-error", "ask", LogFile()}, status, "x\ny\nn\n");
    EXPECT_EQ(status, 1);
    EXPECT_EQ(asked.mid(0, 3), QStringList({"(3/6) Продажа", "(5/6) Закрытие чека",
                                            "(5/6) Закрытие чека: Ошибка: 85, Чек закрыт - операция невозможна"}));
}

TEST_F(CliReplay, LoopForCountedCycles)
{
    int status = -1;
    const QStringList out = Run({"replay", "--loop", "--cycles", "2", "--from", "1", "--count", "2", "--on-error",
                                 "continue", LogFile()},
                                status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out.mid(0, 4), QStringList({"Цикл 1 (2/6) Открытие смены", "Цикл 1 (3/6) Продажа",
                                          "Цикл 2 (2/6) Открытие смены", "Цикл 2 (3/6) Продажа"}));
    EXPECT_EQ(out.size(), 6);
}

TEST_F(CliReplay, Status)
{
    int status = -1;
    EXPECT_EQ(Run({"status"}, status),
              QStringList({"Запрос состояния: Успешно", "Режим   : 4, Закрытая смена", "Подрежим: 0, бумага есть"}));
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Run({"status", "--device", "emulator:error=11:05"}, status),
              QStringList({"Запрос состояния: Ошибка: 5, Параметры команды не соответствуют сроку жизни ФН"}));
    EXPECT_EQ(status, 1);
}

TEST_F(CliReplay, UsageErrors)
{
    int status = -1;
    Run({"replay", "--cycles", "2", LogFile()}, status);
    EXPECT_EQ(status, 2);
    Run({"replay", "--selected", "9", LogFile()}, status);
    EXPECT_EQ(status, 2);
    Run({"replay", "--on-error", "maybe", LogFile()}, status);
    EXPECT_EQ(status, 2);
}

} // namespace
} // namespace kestrun::test
