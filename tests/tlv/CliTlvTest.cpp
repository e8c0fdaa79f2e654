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
    QByteArray Out;
    QByteArray Err; // the start of standard error
};

class TlvCommand : public testing::TestWithParam<CliCase>
{
};

TEST_P(TlvCommand, PrintsRenderingAndExitStatus)
{
    const TRunResult r = RunCli(GetParam().Args);
    EXPECT_EQ(r.ExitCode, GetParam().ExitCode);
    EXPECT_EQ(r.Out, GetParam().Out);
    EXPECT_TRUE(r.Err.startsWith(GetParam().Err));
}

INSTANTIATE_TEST_SUITE_P(
    Cli, TlvCommand,
    testing::Values(
        CliCase{"NumbersAndIndent",
                {"tlv", "--numbers", "--indent", "4", "03 00 0B 00 1E 04 01 00 01 FC 03 02 00 39 30"},
                0,
                "    3,Кассовый чек\r\n"
                "     1054,ПРИЗН. РАСЧЕТА:Приход\r\n"
                "     1020,СУММА РАСЧЕТА В ЧЕКЕ(БСО):123.45\r\n",
                ""},
        CliCase{"BytesAsArguments", {"tlv", "1E", "04", "01", "00", "01"}, 0, "ПРИЗН. РАСЧЕТА:Приход\r\n", ""},
        CliCase{"ShortDataHasNoLineEndAndFails", {"tlv", "1E 04"}, 1, "TLV length error", "kestrun-cli tlv: Некорректная длина TLV"},
        CliCase{"LengthBeyondTheDataFails", {"tlv", "F0 03 05 00"}, 1, "ТЕЛ. ИЛИ EMAIL ПОКУПАТЕЛЯ:Ошибка! Некорректная длина\r\n",
                "kestrun-cli tlv: Некорректная длина TLV"},
        CliCase{"RussianLocaleKeepsPoint", {"--locale", "ru_RU", "tlv", "FC 03 02 00 39 30 F4 03 04 00 B4 F4 41 60"}, 0,
                "СУММА РАСЧЕТА В ЧЕКЕ(БСО):123.45\r\n"
                "ДАТА, ВРЕМЯ:05.03.2021 09:07:00\r\n",
                ""},
        CliCase{"RendererError", {"tlv", "FF 03 02 00 09 01"}, 1, "", "kestrun-cli tlv: Неверная длина FVLN"},
        CliCase{"MissingHex", {"tlv", "--numbers"}, 2, "", ""},
        CliCase{"NegativeIndent", {"tlv", "--indent", "-1", "00"}, 2, "", ""},
        CliCase{"IndentNotANumber", {"tlv", "--indent", "x", "00"}, 2, "", ""}),
    CaseName());

} // namespace
} // namespace kestrun::test
