// SPDX-License-Identifier: GPL-3.0-or-later
// kestrun-cli as scripts and cron jobs use it: one row per habit, with its exit status and the
// first line of each output stream.
#include "ArchiveWriter.h"
#include "CaseName.h"
#include "CliRun.h"
#include "LogBuilder.h"

#include <QTemporaryDir>

namespace kestrun::test {
namespace {

using namespace Qt::StringLiterals;

const QString DemoLog = QStringLiteral(KESTRUN_SOURCE_DIR "/samples/demo.log");

// The logs of the rows, written once into a folder of their own.
class TScriptLogs
{
public:
    TScriptLogs()
    {
        // The first command fails: a search that skipped row 0 would say "none".
        WriteFile(Path(u"first-fails.log"_s), Protocol1Log({{"11 1E 00 00 00", "11 01"}, {"10 1E 00 00 00", "10 00"}}));
        const QByteArray line = "[12.03.2024 10:15:30.280] [00001A2C] [ERROR] TFiscalPrinter - ";
        WriteFile(Path(u"tab.log"_s), line + "a\tb (-1)\r\n");
        // UTF-8 without a byte-order mark, as some drivers write it.
        WriteFile(Path(u"utf8.log"_s), line + u"Нет связи с ККТ (-1)\r\n"_s.toUtf8());
        WriteFile(Path(u"bad-utf8.log"_s), "\xEF\xBB\xBF" + line + "a (-1)\r\n" + line + "\xC0\x80 (-1)\r\n");
        // Text that starts with NUL bytes, packed: an empty tar has the same start.
        QFile demo(DemoLog);
        EXPECT_TRUE(demo.open(QIODevice::ReadOnly));
        WriteFile(Path(u"nul.gz"_s), Pack({"gz", TFilter::fGzip, TContainer::cRaw, true},
                                          {{u"nul.log"_s, QByteArray(512, '\0') + demo.readAll()}}));
    }
    QString Path(const QString& name) const { return FDir.filePath(name); }
    QString Folder() const { return FDir.path() + u'/'; }

private:
    QTemporaryDir FDir;
};

const TScriptLogs& Logs()
{
    static const TScriptLogs logs;
    return logs;
}

struct ScriptCase
{
    const char* Name;
    QStringList Args;             // "{demo}" stands for the demo log, "{NAME}" for a log of TScriptLogs
    int ExitCode;
    QString FirstOut;             // the start of standard output's first line
    QString FirstErr;             // the start of standard error's first line
    QStringList Environment = {}; // NAME=VALUE
};

void PrintTo(const ScriptCase& c, std::ostream* out) { *out << c.Name; }

QStringList WithLogs(QStringList args)
{
    for (QString& arg : args) {
        if (arg == u"{demo}"_s)
            arg = DemoLog;
        else if (arg.startsWith(u'{') && arg.endsWith(u'}'))
            arg = Logs().Path(arg.mid(1, arg.size() - 2));
    }
    return args;
}

QString FirstLine(const QString& text) { return text.section(u'\n', 0, 0); }

class Scripts : public testing::TestWithParam<ScriptCase> {};

TEST_P(Scripts, GetTheStatusAndFirstLines)
{
    const ScriptCase& c = GetParam();
    const TRunResult r = RunCli(WithLogs(c.Args), {.Environment = c.Environment});
    const QString err = FirstLine(r.ErrText()).replace(Logs().Folder(), u"{dir}"_s);
    EXPECT_EQ(r.ExitCode, c.ExitCode) << r.ErrText().toStdString();
    EXPECT_TRUE(c.FirstOut.isEmpty() ? r.Out.isEmpty() : FirstLine(r.OutText()).startsWith(c.FirstOut))
        << r.OutText().toStdString();
    EXPECT_TRUE(c.FirstErr.isEmpty() ? r.Err.isEmpty() : err.startsWith(c.FirstErr)) << r.ErrText().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Replays, Scripts, testing::Values(
    ScriptCase{"CountZeroPlaysNothing", {u"replay"_s, u"--count"_s, u"0"_s, u"{demo}"_s}, 1, u""_s,
               u"kestrun-cli replay: --count 0: воспроизводить нечего"_s},
    ScriptCase{"DriverErrorRowIsSkippedNotFailed", {u"replay"_s, u"--from"_s, u"4"_s, u"--count"_s, u"2"_s, u"{demo}"_s},
               0, uR"({"Index":4,"Data":"10 1E 00 00 00",)"_s, u"Строка 4: Короткий запрос состояния"_s},
    ScriptCase{"JsonTellsTheOutcome", {u"replay"_s, u"--from"_s, u"2"_s, u"--count"_s, u"1"_s, u"{demo}"_s}, 1,
               uR"({"Index":2,)"_s, u"Строка 2: Продажа"_s},
    ScriptCase{"StatusAsJson", {u"status"_s, u"--json"_s}, 0, uR"({"Result":0,"Error":null,"Mode":)"_s, u""_s}
), CaseName());

INSTANTIATE_TEST_SUITE_P(Findable, Scripts, testing::Values(
    ScriptCase{"FindErrorFindsRowZero", {u"find-error"_s, u"{first-fails.log}"_s}, 0, u"0"_s, u""_s},
    ScriptCase{"FindErrorFromGoesPast", {u"find-error"_s, u"{first-fails.log}"_s, u"--from"_s, u"0"_s}, 1, u""_s, u""_s},
    ScriptCase{"SearchFindsRowZero", {u"search"_s, u"{demo}"_s, u"Запрос"_s}, 0, u"0"_s, u""_s},
    ScriptCase{"DriverErrorTextIsADriverError", {u"error"_s, u"-9"_s}, 0, u"Устройство не ответило на команду"_s, u""_s},
    ScriptCase{"DriverErrorRowMatchedByItsShownName", {u"list"_s, u"--count"_s, u"--command"_s, u"Ошибка драйвера"_s, u"{demo}"_s},
               0, u"2"_s, u""_s},
    ScriptCase{"DriverErrorRowSearchedByItsShownName", {u"search"_s, u"{demo}"_s, u"Ошибка драйвера"_s}, 0, u"5"_s, u""_s},
    ScriptCase{"BrokenTlvFails", {u"tlv"_s, u"F0 03 05 00"_s}, 1, u"ТЕЛ. ИЛИ EMAIL ПОКУПАТЕЛЯ:Ошибка!"_s,
               u"kestrun-cli tlv: Некорректная длина TLV"_s},
    ScriptCase{"RequestWithoutItsFieldsFails", {u"decode"_s, u"80"_s}, 1, uR"({"request":)"_s,
               u"kestrun-cli decode: запрос обрывается до первого поля: 1 байт"_s},
    ScriptCase{"AnswerWithoutItsErrorByteFails", {u"decode"_s, u"10 1E 00 00 00"_s, u"10"_s}, 1, uR"({"request":)"_s,
               u"kestrun-cli decode: ответ обрывается до кода ошибки: 1 байт"_s},
    ScriptCase{"CountOfAMissingLogPrintsNothing", {u"parse"_s, u"--count"_s, u"/nonexistent/k.log"_s}, 1, u""_s,
               u"kestrun-cli parse: Cannot open file \"/nonexistent/k.log\". "_s}
), CaseName());

INSTANTIATE_TEST_SUITE_P(StableOutput, Scripts, testing::Values(
    ScriptCase{"JsonIgnoresTheUsersLocale", {u"list"_s, u"--json"_s, u"{demo}"_s}, 0, uR"({"Index":0,"Time":"12.03.2024 10:15:30.009","TimeIso":"2024-03-12T10:15:30.009",)"_s,
               u""_s, {u"LC_ALL=ru_RU.UTF-8"_s}},
    ScriptCase{"OuterFormatFirst", {u"parse"_s, u"--count"_s, u"{nul.gz}"_s}, 0, u"18"_s, u""_s},
    ScriptCase{"UnknownOptionInTheMessagesLanguage", {u"list"_s, u"--bogus"_s, u"{demo}"_s}, 2, u""_s,
               u"kestrun-cli list: неизвестный параметр --bogus"_s},
    ScriptCase{"BadUtf8NamesTheFileAndLine", {u"parse"_s, u"{bad-utf8.log}"_s}, 1, u""_s,
               u"kestrun-cli parse: {dir}bad-utf8.log, строка 2: No mapping for the Unicode character"_s},
    ScriptCase{"SaveFailureNamesThePath", {u"save"_s, u"{demo}"_s, u"/nonexistent/out.txt"_s}, 1, u""_s,
               u"kestrun-cli save: Cannot create file \"/nonexistent/out.txt\". "_s},
    ScriptCase{"PlainCommandIsTheShortUsage", {}, 2, u""_s, u"usage: kestrun-cli"_s},
    ScriptCase{"NamedEncoding", {u"--encoding"_s, u"UTF-8"_s, u"list"_s, u"--json"_s, u"{utf8.log}"_s}, 0,
               uR"({"Index":0,)"_s, u""_s},
    ScriptCase{"UnknownEncodingIsRefused", {u"--encoding"_s, u"bogus"_s, u"list"_s, u"{demo}"_s}, 2, u""_s,
               u"kestrun-cli: Неизвестная кодировка \"bogus\""_s},
    ScriptCase{"QuietTellsByItsStatus", {u"list"_s, u"-q"_s, u"--errors"_s, u"{demo}"_s}, 0, u""_s, u""_s}
), CaseName());

// Where the first lines do not show it: the whole output.
TEST(ScriptOutput, NamedEncodingReadsTheText)
{
    const QString log = Logs().Path(u"utf8.log"_s);
    const TRunResult named = RunCli({u"--encoding"_s, u"UTF-8"_s, u"list"_s, u"--json"_s, log});
    EXPECT_TRUE(named.OutText().contains(u"Нет связи с ККТ"_s)) << named.OutText().toStdString();
    const TRunResult unnamed = RunCli({u"list"_s, u"--json"_s, log});
    EXPECT_FALSE(unnamed.OutText().contains(u"Нет связи с ККТ"_s));
}

TEST(ScriptOutput, TabsAreEscapedInTheTableAndDetails)
{
    const QString log = Logs().Path(u"tab.log"_s);
    for (const QStringList& args : {QStringList{u"list"_s, log}, QStringList{u"details"_s, log, u"0"_s}}) {
        const TRunResult r = RunCli(args);
        EXPECT_FALSE(r.Out.contains('\t')) << r.Out.toStdString();
        EXPECT_TRUE(r.Out.contains("a<0x09>b")) << r.Out.toStdString();
    }
}

TEST(ScriptOutput, ReplayJsonCarriesResultErrorAndSkipped)
{
    const TRunResult r = RunCli({u"replay"_s, u"--on-error"_s, u"continue"_s, u"--from"_s, u"2"_s, u"--count"_s, u"4"_s, DemoLog});
    const QStringList lines = r.OutLines();
    ASSERT_EQ(lines.size(), 4) << r.ErrText().toStdString();
    EXPECT_TRUE(lines[0].contains(uR"("Result":61,"Error":"61, Смена не открыта - операция невозможна","Skipped":false)"_s));
    EXPECT_TRUE(lines[3].contains(uR"("Result":0,"Error":null,"Skipped":true)"_s)) << lines[3].toStdString();
}

} // namespace
} // namespace kestrun::test
