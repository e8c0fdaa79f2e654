// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaseName.h"
#include "CliRun.h"

namespace kestrun::test {
namespace {

struct CliCase
{
    const char* Name;
    QStringList Args;
    int ExitCode;
    QString Out;
};

class NameAndError : public testing::TestWithParam<CliCase> {};

TEST_P(NameAndError, PrintsTextAndExitStatus)
{
    const TRunResult r = RunCli(GetParam().Args);
    EXPECT_EQ(r.ExitCode, GetParam().ExitCode);
    EXPECT_EQ(r.OutText(), GetParam().Out);
}

INSTANTIATE_TEST_SUITE_P(Cli, NameAndError, testing::Values(
    CliCase{"NameOneArgument", {"name", "ff 45"}, 0, QStringLiteral("Закрытие чека расширенное вариант V2\n")},
    CliCase{"NameBytesAsArguments", {"name", "FE", "F5"}, 0, QStringLiteral("Ввод заводского номера\n")},
    CliCase{"NameUnknown", {"name", "FF"}, 0, QStringLiteral("Неизвестная команда\n")},
    CliCase{"NameMissingHex", {"name"}, 2, QString()},
    CliCase{"ErrorDecimal", {"error", "19"}, 0, QStringLiteral("Текущая дата меньше даты последней записи в ФП\n")},
    CliCase{"ErrorHex", {"error", "0x50"}, 0, QStringLiteral("Идет печать предыдущей команды\n")},
    CliCase{"ErrorNegative", {"error", "-1"}, 0, QStringLiteral("Нет связи\n")},
    CliCase{"ErrorDriverNoAnswer", {"error", "-9"}, 0, QStringLiteral("Устройство не ответило на команду\n")},
    CliCase{"ErrorDriverPrintTimeout", {"error", "-13"}, 0, QStringLiteral("Печать не завершилась за отведённое время\n")},
    CliCase{"ErrorDriverUnknown", {"error", "-99"}, 0, QStringLiteral("Ошибка драйвера\n")},
    CliCase{"ErrorHexPattern", {"error", "0xFFFFFFFF"}, 0, QStringLiteral("Нет связи\n")},
    CliCase{"ErrorWithLocale", {"--locale", "ru_RU", "error", "0"}, 0, QStringLiteral("Ошибок нет\n")},
    CliCase{"ErrorNotANumber", {"error", "0x"}, 2, QString()},
    CliCase{"ErrorBeyond32Bits", {"error", "4294967296"}, 2, QString()},
    CliCase{"ErrorTwoCodes", {"error", "1", "2"}, 2, QString()}),
    CaseName());

} // namespace
} // namespace kestrun::test
