// SPDX-License-Identifier: GPL-3.0-or-later
// kestrun-cli's argument handling, output path and message format, one row per case.
#include "CaseName.h"
#include "CliRun.h"

#include <QDir>
#include <QProcess>
#include <QFile>

namespace kestrun::test {
namespace {

using namespace Qt::StringLiterals;

const QString DemoLog = QStringLiteral(KESTRUN_SOURCE_DIR "/samples/demo.log");
// Stands for DemoLog in the rows' arguments.
const QString Log = u"{log}"_s;

QStringList WithLog(QStringList args)
{
    args.replaceInStrings(Log, DemoLog);
    return args;
}

struct ArgumentCase
{
    const char* Name;
    QStringList Args;
    int ExitCode;
    QByteArray Out; // a part of standard output (UTF-8)
    QByteArray Err; // a part of standard error
    bool LogOnInput = false; // the demo log on standard input
};

void PrintTo(const ArgumentCase& c, std::ostream* out) { *out << c.Name; }

class Arguments : public testing::TestWithParam<ArgumentCase> {};

TEST_P(Arguments, GiveTheExitStatusAndTexts)
{
    const ArgumentCase& c = GetParam();
    const TRunResult r = RunCli(WithLog(c.Args), {.InputFile = c.LogOnInput ? DemoLog : QString()});
    EXPECT_EQ(r.ExitCode, c.ExitCode) << r.Err.toStdString();
    EXPECT_TRUE(r.Out.contains(c.Out)) << r.Out.left(2000).toStdString();
    EXPECT_TRUE(r.Err.contains(c.Err)) << r.Err.toStdString();
}

// Arguments that are not what they claim are refused, not read as something else.
INSTANTIATE_TEST_SUITE_P(Refused, Arguments, testing::Values(
    ArgumentCase{"IgnoreNotHex", {u"list"_s, u"--ignore"_s, u"ZZ"_s, Log}, 2, "", "kestrun-cli list: --ignore должно быть шестнадцатеричным текстом"},
    ArgumentCase{"IgnoreOddDigits", {u"parse"_s, u"--count"_s, u"--ignore"_s, u"FF 4"_s, Log}, 2, "", "--ignore должно быть шестнадцатеричным текстом"},
    ArgumentCase{"IgnoreEmpty", {u"parse"_s, u"--count"_s, u"--ignore="_s, Log}, 2, "", "--ignore должно быть шестнадцатеричным текстом"},
    ArgumentCase{"IgnoreValueMissingBeforeAnOption", {u"list"_s, u"--ignore"_s, u"--json"_s, Log}, 2, "",
                 "kestrun-cli list: параметру --ignore нужно значение"},
    ArgumentCase{"ListJsonAndCsvExcludeEachOther", {u"list"_s, u"--json"_s, u"--csv"_s, Log}, 2, "",
                 "kestrun-cli list: --json и --csv исключают друг друга"},
    ArgumentCase{"ListCommandValueMissing", {u"list"_s, u"--command"_s}, 2, "", "kestrun-cli list"},
    ArgumentCase{"DecodeNotHex", {u"decode"_s, u"ZZ"_s}, 2, "", "kestrun-cli decode: REQUEST_HEX должно быть шестнадцатеричным текстом"},
    ArgumentCase{"DecodeEmptyRequest", {u"decode"_s, u""_s}, 2, "", "REQUEST_HEX должно быть шестнадцатеричным текстом"},
    ArgumentCase{"DecodeAnswerOddDigit", {u"decode"_s, u"10 1E 00 00 00"_s, u"10 0"_s}, 2, "", "ANSWER_HEX должно быть шестнадцатеричным текстом"},
    ArgumentCase{"TlvOddLastDigit", {u"tlv"_s, u"1E 04 01 00 0"_s}, 2, "", "kestrun-cli tlv: HEX должно быть шестнадцатеричным текстом"},
    ArgumentCase{"TlvEmpty", {u"tlv"_s, u""_s}, 2, "", "HEX должно быть шестнадцатеричным текстом"},
    ArgumentCase{"NameNotHex", {u"name"_s, u"F G"_s}, 2, "", "HEX должно быть шестнадцатеричным текстом"},
    ArgumentCase{"LocaleUnknown", {u"--locale"_s, u"bogus_XX"_s, u"error"_s, u"0"_s}, 2, "", "неизвестная локаль \"bogus_XX\""},
    ArgumentCase{"LocaleUnknownTerritory", {u"--locale"_s, u"ru_XX"_s, u"error"_s, u"0"_s}, 2, "", "неизвестная локаль"},
    ArgumentCase{"DetailsIndexBeyondTheLog", {u"details"_s, Log, u"18"_s}, 2, "", "kestrun-cli details: INDEX должно быть от 0 до 17, а не 18"},
    ArgumentCase{"DetailsNegativeIndex", {u"details"_s, Log, u"-1"_s}, 2, "", "INDEX должно быть от 0 до 17, а не -1"},
    ArgumentCase{"SearchIndexBeyondTheLog", {u"search"_s, Log, u"x"_s, u"--from"_s, u"18"_s}, 2, "",
                 "kestrun-cli search: --from должно быть от 0 до 17, а не 18"},
    ArgumentCase{"SearchIndexEmpty", {u"search"_s, Log, u"x"_s, u"--from="_s}, 2, "", "--from должно быть целым числом"},
    ArgumentCase{"FindErrorIndexBeyondTheLog", {u"find-error"_s, Log, u"--from"_s, u"18"_s}, 2, "",
                 "kestrun-cli find-error: --from должно быть от 0 до 17, а не 18"}
), CaseName());

// What is well formed is still taken.
INSTANTIATE_TEST_SUITE_P(Taken, Arguments, testing::Values(
    ArgumentCase{"IgnoreRunTogetherLowerCase", {u"parse"_s, u"--count"_s, u"--ignore"_s, u"ff45"_s, Log}, 0, "16\n", ""},
    ArgumentCase{"DecodeWithoutAnswer", {u"decode"_s, u"10 1E 00 00 00"_s, u""_s}, 0, R"({"request":"Password: 30\r\n")", ""},
    ArgumentCase{"LocaleLanguageOnly", {u"--locale"_s, u"ru"_s, u"error"_s, u"0"_s}, 0, "Ошибок нет\n", ""},
    ArgumentCase{"LocaleWithCodeset", {u"--locale"_s, u"ru_RU.UTF-8"_s, u"error"_s, u"0"_s}, 0, "Ошибок нет\n", ""}
), CaseName());

// The habits of command-line programs, for every command.
INSTANTIATE_TEST_SUITE_P(Habits, Arguments, testing::Values(
    ArgumentCase{"ListReadsStandardInput", {u"list"_s, u"-"_s}, 0, "Запрос состояния", "", true},
    ArgumentCase{"ListJsonReadsStandardInput", {u"list"_s, u"--json"_s, u"-"_s}, 0, R"("Command":"Запрос состояния")", "", true},
    ArgumentCase{"DetailsReadsStandardInput", {u"details"_s, u"-"_s, u"3"_s}, 0, "Продажа\n", "", true},
    ArgumentCase{"ListCountAsGrepCounts", {u"list"_s, u"--count"_s, u"--command"_s, u"Продажа"_s, Log}, 0, "2\n", ""},
    ArgumentCase{"ListCountOfNothingFails", {u"list"_s, u"--count"_s, u"--thread"_s, u"none"_s, Log}, 1, "0\n", ""},
    ArgumentCase{"ListQuietTellsByItsStatus", {u"list"_s, u"-q"_s, u"--thread"_s, u"none"_s, Log}, 1, "", ""},
    ArgumentCase{"PlainCommandGivesTheShortUsageOnStandardError", {}, 2, "", "usage: kestrun-cli [--locale NAME] [--encoding NAME] COMMAND [ARGS]"},
    ArgumentCase{"ErrorOfADriverCode", {u"error"_s, u"-9"_s}, 0, "Устройство не ответило на команду\n", ""},
    ArgumentCase{"SearchFindsRowZero", {u"search"_s, Log, u"Запрос"_s}, 0, "0\n", ""},
    ArgumentCase{"FindErrorReadsStandardInput", {u"find-error"_s, u"-"_s}, 0, "2\n", "", true},
    ArgumentCase{"SearchReadsStandardInput", {u"search"_s, u"-"_s, u"Продажа"_s}, 0, "2\n", "", true},
    ArgumentCase{"SaveReadsStandardInput", {u"save"_s, u"-"_s, u"-"_s}, 0, "] -> 11 1E 00 00 00\r\n", "", true},
    ArgumentCase{"SaveWritesStandardOutput", {u"save"_s, Log, u"-"_s}, 0, "] -> 11 1E 00 00 00\r\n", ""},
    ArgumentCase{"DoubleDashEndsTheOptions", {u"search"_s, Log, u"--"_s, u"--from"_s}, 1, "", ""},
    ArgumentCase{"DoubleDashBeforeANegativeNumber", {u"error"_s, u"--"_s, u"-1"_s}, 0, "Нет связи\n", ""},
    ArgumentCase{"HelpAfterTheDoubleDashIsText", {u"search"_s, Log, u"--"_s, u"-h"_s}, 1, "", ""},
    ArgumentCase{"ShortHelpOfACommand", {u"list"_s, u"-h"_s}, 0, "usage: kestrun-cli [--locale NAME] [--encoding NAME] list ", ""},
    ArgumentCase{"HelpOfACommand", {u"save"_s, u"--help"_s}, 0, "usage: kestrun-cli [--locale NAME] [--encoding NAME] save ", ""},
    ArgumentCase{"Version", {u"--version"_s}, 0, "kestrun-cli " KESTRUN_VERSION "\n", ""},
    ArgumentCase{"VersionOfACommand", {u"details"_s, u"--version"_s}, 0, "kestrun-cli " KESTRUN_VERSION "\n", ""},
    ArgumentCase{"ParseMessageNamesTheCommand", {u"parse"_s, u"/nonexistent/k.log"_s}, 1, "",
                 "kestrun-cli parse: Cannot open file"},
    ArgumentCase{"SaveMessageNamesTheCommand", {u"save"_s, u"/nonexistent/k.log"_s, u"-"_s}, 1, "",
                 "kestrun-cli save: Cannot open file"}
), CaseName());

// Standard output that cannot be written is a failure, whatever the command.
class LostOutput : public testing::TestWithParam<ArgumentCase> {};

TEST_P(LostOutput, IsReportedWithExitStatus1)
{
    if (!QFile::exists(u"/dev/full"_s))
        GTEST_SKIP() << "no /dev/full";
    const ArgumentCase& c = GetParam();
    const TRunResult r = RunCli(WithLog(c.Args), {.OutputFile = u"/dev/full"_s});
    EXPECT_EQ(r.ExitCode, c.ExitCode);
    EXPECT_TRUE(r.Err.contains(c.Err + ": не удалось записать стандартный вывод")) << r.Err.toStdString();
    EXPECT_EQ(r.Err.count("не удалось записать"), 1) << r.Err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(ToAFullDevice, LostOutput, testing::Values(
    ArgumentCase{"Parse", {u"parse"_s, Log}, 1, "", "kestrun-cli parse"},
    ArgumentCase{"ParseCount", {u"parse"_s, u"--count"_s, Log}, 1, "", "kestrun-cli parse"},
    ArgumentCase{"List", {u"list"_s, Log}, 1, "", "kestrun-cli list"},
    ArgumentCase{"ListJson", {u"list"_s, u"--json"_s, Log}, 1, "", "kestrun-cli list"},
    ArgumentCase{"Details", {u"details"_s, Log, u"3"_s}, 1, "", "kestrun-cli details"},
    ArgumentCase{"FindError", {u"find-error"_s, Log}, 1, "", "kestrun-cli find-error"},
    ArgumentCase{"Search", {u"search"_s, Log, u"Продажа"_s}, 1, "", "kestrun-cli search"},
    ArgumentCase{"SaveToStandardOutput", {u"save"_s, Log, u"-"_s}, 1, "", "kestrun-cli save"},
    ArgumentCase{"Decode", {u"decode"_s, u"10 1E 00 00 00"_s}, 1, "", "kestrun-cli decode"},
    ArgumentCase{"Name", {u"name"_s, u"FF 45"_s}, 1, "", "kestrun-cli name"},
    ArgumentCase{"Error", {u"error"_s, u"0"_s}, 1, "", "kestrun-cli error"},
    ArgumentCase{"Tlv", {u"tlv"_s, u"1E 04 01 00 01"_s}, 1, "", "kestrun-cli tlv"},
    ArgumentCase{"HelpOfACommand", {u"list"_s, u"--help"_s}, 1, "", "kestrun-cli list"},
    ArgumentCase{"Help", {u"--help"_s}, 1, "", "kestrun-cli"},
    ArgumentCase{"Version", {u"--version"_s}, 1, "", "kestrun-cli"}
), CaseName());

// A log on standard input is listed as it comes, not once the writer has closed it.
TEST(Habits, StandardInputIsListedAsItComes)
{
    QFile demo(DemoLog);
    ASSERT_TRUE(demo.open(QIODevice::ReadOnly));
    QProcess cli;
    cli.start(QStringLiteral(KESTRUN_CLI), {u"list"_s, u"--json"_s, u"-"_s});
    ASSERT_TRUE(cli.waitForStarted());
    cli.write(demo.readAll());
    QByteArray out;
    while (!out.contains('\n') && cli.waitForReadyRead(60000))
        out += cli.readAllStandardOutput();
    EXPECT_TRUE(out.startsWith("{\"Index\":0,")) << out.toStdString();
    cli.closeWriteChannel();
    ASSERT_TRUE(cli.waitForFinished(60000));
    out += cli.readAllStandardOutput();
    EXPECT_EQ(out.count('\n'), 18);
}

// A failure prints nothing on standard output: no count of a log that could not be read.
TEST(Habits, NothingIsPrintedOfALogThatCannotBeRead)
{
    const TRunResult r = RunCli({u"parse"_s, u"--count"_s, u"/nonexistent/k.log"_s});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_TRUE(r.Out.isEmpty()) << r.Out.toStdString();
    EXPECT_TRUE(r.Err.startsWith("kestrun-cli parse: ")) << r.Err.toStdString();
}

// The README's command-line section is the reference: --help word for word.
TEST(Reference, ReadmeShowsTheHelp)
{
    QFile readme(QStringLiteral(KESTRUN_SOURCE_DIR "/README.md"));
    ASSERT_TRUE(readme.open(QIODevice::ReadOnly));
    const QByteArray text = readme.readAll();
    const qsizetype section = text.indexOf("\n## Command line\n");
    ASSERT_GE(section, 0);
    const QByteArray fence = "```text\n";
    const qsizetype start = text.indexOf(fence, section) + fence.size();
    const qsizetype end = text.indexOf("```", start);
    ASSERT_GE(start, fence.size());
    ASSERT_GT(end, start);
    const TRunResult help = RunCli({u"--help"_s});
    EXPECT_EQ(help.ExitCode, 0);
    EXPECT_EQ(text.mid(start, end - start).toStdString(), help.Out.toStdString());
}

} // namespace
} // namespace kestrun::test
