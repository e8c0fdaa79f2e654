// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaseName.h"
#include "CliRun.h"
#include "LogBuilder.h"

#include <QFile>
#include <QList>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <ostream>
#include <vector>

namespace kestrun::test {
namespace {

using namespace Qt::StringLiterals;

const char* const Sale = "80 1E 00 00 00 E8 03 00 00 00 10 27 00 00 00 01 00 00 00 00 4D 69 6C 6B";

// Rows: 0 short status, 1 sale, 2 sale failed with 55, 3 sale without answer, 4 FF0C with broken TLV.
const QByteArray Log = Protocol1Log({{"10 1E 00 00 00", "10 00 1E 03 00 02 00 05 FF D8 00 00 00 1A 04"},
                                     {Sale, "80 00"},
                                     {Sale, "80 37"},
                                     {Sale, nullptr},
                                     {"FF 0C 1E 00 00 00 FF 03 01 00 05", "FF 0C 00"}});

class Cli : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        WriteFile(LogPath(), Log);
    }

    QString LogPath() const { return FDir.filePath(u"k.log"_s); }
    QString OutPath() const { return FDir.filePath(u"out.txt"_s); }

    // Exit status, standard output and standard error of one run.
    struct Result
    {
        int ExitCode;
        QString Out;
        QString Err;
    };

    static Result Run(const QStringList& args)
    {
        const TRunResult r = RunCli(args);
        return {r.ExitCode, r.OutText(), r.ErrText()};
    }

    QTemporaryDir FDir;
};

TEST_F(Cli, ListJsonGivesTheCellsAndStateOfEveryRow)
{
    const Result r = Run({u"list"_s, u"--json"_s, LogPath()});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(r.Err, u"kestrun-cli list: "_s + LogPath() + u", команда 4: Неверная длина FVLN\n"_s);
    const QStringList lines = r.Out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[1], uR"({"Index":1,"Time":"12.03.2024 10:15:30.123","TimeIso":"2024-03-12T10:15:30.123","Thread":"00001A2C","Command":"Продажа","Data":"ПРОДАЖА 100.00X1.000 Milk","DurationMs":0,"State":-1})"_s);
    EXPECT_EQ(lines[3], uR"({"Index":3,"Time":"12.03.2024 10:15:30.123","TimeIso":"2024-03-12T10:15:30.123","Thread":"00001A2C","Command":"Продажа","Data":"ПРОДАЖА 100.00X1.000 Milk [ERROR] -1 (0xFFFFFFFF) Неизвестный код ошибки","DurationMs":null,"State":1})"_s);
}

// A filtered JSON row names its command as details and replay --from do: by its index in the
// whole log, also past the first batch of a log read in batches.
TEST_F(Cli, ListJsonRowsCarryTheirIndexInTheWholeLog)
{
    std::vector<TExchange> exchanges(3000, TExchange{"10 1E 00 00 00", "10 00 1E 03 00 02 00 05 FF D8 00 00 00 1A 04"});
    exchanges[2] = exchanges[2998] = {Sale, "80 00"};
    WriteFile(LogPath(), Protocol1Log(exchanges));
    const Result r = Run({u"list"_s, u"--json"_s, u"--command"_s, u"80"_s, LogPath()});
    EXPECT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    const QStringList lines = r.Out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith(uR"({"Index":2,"Time":)"_s)) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith(uR"({"Index":2998,"Time":)"_s)) << lines[1].toStdString();
}

// A log whose only failure is its first command: the search starts at the first row.
TEST_F(Cli, FindErrorFindsTheFirstRow)
{
    WriteFile(LogPath(), Protocol1Log({{Sale, "80 37"}, {Sale, "80 00"}}));
    const Result r = Run({u"find-error"_s, LogPath()});
    EXPECT_EQ(r.ExitCode, 0);
    EXPECT_EQ(r.Out, u"0\n"_s);
}

// A driver error line is "Ошибка драйвера" wherever it shows, and is found and filtered by it.
TEST_F(Cli, DriverErrorRowIsNamedAlikeEverywhere)
{
    WriteFile(LogPath(), Protocol1Log({{Sale, "80 00"}})
                             + UnicodeToCp1251(u"[12.03.2024 10:15:31.000] [00001A2C] [ERROR] TFiscalPrinter - Нет связи\r\n"_s));
    EXPECT_EQ(Run({u"search"_s, LogPath(), u"ошибка драйвера"_s}).Out, u"1\n"_s);
    const Result text = Run({u"list"_s, u"--json"_s, u"--text"_s, u"драйвера"_s, LogPath()});
    EXPECT_TRUE(text.Out.startsWith(uR"({"Index":1,"Time":"12.03.2024 10:15:30.123","TimeIso":"2024-03-12T10:15:30.123","Thread":"00001A2C","Command":"Ошибка драйвера",)"_s))
        << text.Out.toStdString();
    EXPECT_EQ(Run({u"list"_s, u"--json"_s, u"--command"_s, u"драйвера"_s, LogPath()}).Out.count(u'\n'), 1);
    const Result details = Run({u"details"_s, LogPath(), u"1"_s});
    EXPECT_EQ(details.Out.split(u'\n').value(1), u"Ошибка драйвера"_s) << details.Out.toStdString();
    const TRunResult saved = RunCli({u"save"_s, LogPath(), u"-"_s});
    const QStringList lines = Cp1251ToUnicode(saved.Out).split(u"\r\n"_s, Qt::SkipEmptyParts);
    EXPECT_EQ(lines.mid(lines.size() - 2),
              QStringList({u"[12.03.2024 10:15:30.123] [00001A2C] [Ошибка драйвера]"_s,
                           u"[12.03.2024 10:15:30.123] [00001A2C] ОШИБКА Драйвера: - Нет связи"_s}));
}

// JSON and CSV are for programs: the user's locale does not change them; the table follows it.
TEST_F(Cli, MachineFormatsKeepTheCConventionsWhateverTheLocale)
{
    const auto runIn = [this](const char* locale, const QString& format) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"LC_ALL"_s, QString::fromLatin1(locale));
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(KESTRUN_CLI), QStringList{u"list"_s} + (format.isEmpty() ? QStringList() : QStringList{format})
                                                      + QStringList{LogPath()});
        EXPECT_TRUE(process.waitForFinished(60000));
        return QString::fromUtf8(process.readAllStandardOutput());
    };
    for (const QString& format : {u"--json"_s, u"--csv"_s}) {
        const QString russian = runIn("ru_RU.UTF-8", format);
        EXPECT_TRUE(russian.contains(u"100.00X1.000"_s)) << russian.toStdString();
        EXPECT_EQ(russian, runIn("C.UTF-8", format));
    }
    EXPECT_TRUE(runIn("ru_RU.UTF-8", {}).contains(u"100,00X1,000"_s));
    const QString json = runIn("C.UTF-8", u"--json"_s);
    EXPECT_TRUE(json.contains(uR"("Time":"12.03.2024 10:15:30.123","TimeIso":"2024-03-12T10:15:30.123",)"_s)) << json.toStdString();
}

TEST_F(Cli, ListIgnoresCodesAndHonoursTheLocale)
{
    const Result r = Run({u"--locale"_s, u"ru_RU"_s, u"list"_s, u"--ignore"_s, u"FF 0C"_s, u"--ignore"_s, u"10"_s, LogPath()});
    EXPECT_EQ(r.ExitCode, 0);
    const QStringList lines = r.Out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[1].startsWith(u"0   12.03.2024"_s)) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].endsWith(u"ПРОДАЖА 100,00X1,000 Milk  0"_s)) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].startsWith(u"1 ! "_s)) << lines[2].toStdString();
}

TEST_F(Cli, DetailsPrintsThePaneLines)
{
    const Result r = Run({u"details"_s, LogPath(), u"3"_s});
    EXPECT_EQ(r.ExitCode, 0);
    const QStringList lines = r.Out.split(u'\n');
    ASSERT_GT(lines.size(), 8);
    EXPECT_EQ(lines[1], u"Продажа"_s);
    EXPECT_EQ(lines[3], u"Принято (лог): НЕТ ОТВЕТА"_s);
    EXPECT_EQ(lines[7], u"Password: 30"_s);
}

TEST_F(Cli, DetailsOfABrokenFrameKeepsTheLinesBeforeTheError)
{
    const Result r = Run({u"details"_s, LogPath(), u"4"_s});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_TRUE(r.Out.endsWith(u"Входные параметры:\n"_s));
    EXPECT_EQ(r.Err, u"kestrun-cli details: "_s + LogPath() + u", команда 4: Неверная длина FVLN\n"_s);
}

TEST_F(Cli, SaveWritesTheListing)
{
    EXPECT_EQ(Run({u"save"_s, u"--ignore"_s, u"10"_s, LogPath(), OutPath()}).ExitCode, 0);
    QFile saved(OutPath());
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray text = saved.readAll();
    EXPECT_TRUE(text.startsWith("[12.03.2024 10:15:30.123] [00001A2C] [\xCF\xF0\xEE\xE4\xE0\xE6\xE0]\r\n"
                                "[12.03.2024 10:15:30.123] [00001A2C] -> " + QByteArray(Sale) + "\r\n"));
    EXPECT_EQ(text.count("\r\n"), 11);
}

TEST_F(Cli, DecodePrintsTheThreeTextsAndTheSummary)
{
    const Result r = Run({u"decode"_s, QString::fromLatin1(Sale), u"80 37"_s});
    EXPECT_EQ(r.ExitCode, 0);
    EXPECT_EQ(r.Out, uR"({"request":"Password: 30\r\nQuantity: 1.000\r\nPrice: 100.00\r\nDepartment: 1\r\nTax1: 0\r\nTax2: 0\r\nTax3: 0\r\nTax4: 0\r\nStringForPrinting: Milk\r\n","answer":"Error: 55(0x37) Команда не поддерживается в данной реализации",)"
                         uR"("played":"","short":"ПРОДАЖА 100.00X1.000 Milk [ERROR] 55 (0x37) Команда не поддерживается в данной реализации"})"
                         u"\n"_s);
}

struct SearchCase
{
    const char* Name;
    QStringList Args; // the log's path is inserted after the command name
    int ExitCode;
    QString Out;
};

class CliSearch : public Cli, public testing::WithParamInterface<SearchCase> {};

TEST_P(CliSearch, PrintsTheNextMatch)
{
    QStringList args = GetParam().Args;
    args.insert(1, LogPath());
    const Result r = Run(args);
    EXPECT_EQ(r.ExitCode, GetParam().ExitCode) << r.Err.toStdString();
    EXPECT_EQ(r.Out, GetParam().Out);
}

INSTANTIATE_TEST_SUITE_P(Rows, CliSearch, testing::Values(
    SearchCase{"FindErrorFromStart", {u"find-error"_s}, 0, u"2\n"_s},
    SearchCase{"FindErrorStepsOverTheStartRow", {u"find-error"_s, u"--from"_s, u"2"_s}, 0, u"3\n"_s},
    SearchCase{"FindErrorFindsTheUndecodableRow", {u"find-error"_s, u"--from"_s, u"3"_s}, 0, u"4\n"_s},
    SearchCase{"FindErrorNothingAfter", {u"find-error"_s, u"--from"_s, u"4"_s}, 1, QString()},
    SearchCase{"SearchFindsTheFirstRow", {u"search"_s, u"запрос состояния"_s}, 0, u"0\n"_s},
    SearchCase{"SearchName", {u"search"_s, u"продажа"_s}, 0, u"1\n"_s},
    SearchCase{"SearchNext", {u"search"_s, u"продажа"_s, u"--from"_s, u"1"_s}, 0, u"2\n"_s},
    SearchCase{"SearchDataCell", {u"search"_s, u"milk [error] 55"_s}, 0, u"2\n"_s},
    SearchCase{"SearchNothing", {u"search"_s, u"нет такого"_s}, 1, QString()},
    SearchCase{"SearchFromOutOfRange", {u"search"_s, u"x"_s, u"--from"_s, u"9"_s}, 2, QString()}
), CaseName());

// A sale whose text the driver padded with zero bytes around an escape sequence: "Хлеб",
// two zeros, ESC "[31m", two zeros.
const QByteArray PaddedSale = "80 1E 00 00 00 E8 03 00 00 00 10 27 00 00 00 01 00 00 00 00 "
                              "D5 EB E5 E1 00 00 1B 5B 33 31 6D 00 00";

// Characters a terminal or grep takes for control or binary data; the line ends are the output's own.
bool HasControlCharacters(const QString& text)
{
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) {
        return (c.unicode() < 0x20 && c != u'\n') || (c.unicode() >= 0x7F && c.unicode() <= 0x9F);
    });
}

TEST_F(Cli, TextOutputShowsControlBytesAsTheWindowDoes)
{
    WriteFile(LogPath(), Protocol1Log({{PaddedSale.constData(), "80 00"}}));

    const Result list = Run({u"list"_s, LogPath()});
    EXPECT_EQ(list.ExitCode, 0) << list.Err.toStdString();
    EXPECT_FALSE(HasControlCharacters(list.Out)) << list.Out.toStdString();
    EXPECT_TRUE(list.Out.endsWith(u"ПРОДАЖА 100.00X1.000 Хлеб <0x1B>[31m  0\n"_s)) << list.Out.toStdString();

    const Result details = Run({u"details"_s, LogPath(), u"0"_s});
    EXPECT_EQ(details.ExitCode, 0) << details.Err.toStdString();
    EXPECT_FALSE(HasControlCharacters(details.Out)) << details.Out.toStdString();
    EXPECT_TRUE(details.Out.split(u'\n').contains(u"StringForPrinting: Хлеб <0x1B>[31m"_s)) << details.Out.toStdString();

    // JSON rows give "Data" as the window shows it, the zero bytes dropped, and the other
    // controls escaped as JSON does.
    const Result json = Run({u"list"_s, u"--json"_s, LogPath()});
    EXPECT_EQ(json.ExitCode, 0) << json.Err.toStdString();
    EXPECT_TRUE(json.Out.contains(uR"(Хлеб \u001b[31m")"_s)) << json.Out.toStdString();
}

// How many rows a listing has and which of them it marks as failed.
struct Marks
{
    qsizetype Rows = 0;
    QList<qsizetype> Failed;

    bool operator==(const Marks&) const = default;
    friend void PrintTo(const Marks& m, std::ostream* os)
    {
        *os << m.Rows << " rows, failed:";
        for (qsizetype row : m.Failed)
            *os << ' ' << row;
    }
};

// The table's "!" stands after the right-aligned index and one blank.
Marks TableMarks(const QString& out)
{
    Marks marks;
    QStringList lines = out.split(u'\n', Qt::SkipEmptyParts);
    lines.removeFirst();
    for (const QString& line : lines) {
        const QString index = QString::number(marks.Rows);
        if (line.mid(line.indexOf(index + u' ') + index.size() + 1, 1) == u"!"_s)
            marks.Failed.append(marks.Rows);
        ++marks.Rows;
    }
    return marks;
}

Marks JsonMarks(const QString& out)
{
    Marks marks;
    for (const QString& line : out.split(u'\n', Qt::SkipEmptyParts)) {
        if (line.endsWith(u"\"State\":1}"_s))
            marks.Failed.append(marks.Rows);
        ++marks.Rows;
    }
    return marks;
}

struct TListFilterCase
{
    const char* Name;
    QStringList Filter;
    QList<int> Indexes; // in the whole log
    int ExitCode;       // 1 when a listed summary cannot be decoded
};

void PrintTo(const TListFilterCase& c, std::ostream* os) { *os << c.Name; }

class ListFilter : public Cli, public testing::WithParamInterface<TListFilterCase>
{
protected:
    static QList<int> TableIndexes(const QString& out)
    {
        QList<int> indexes;
        QStringList lines = out.split(u'\n', Qt::SkipEmptyParts);
        lines.removeFirst();
        for (const QString& line : lines)
            indexes << line.section(u' ', 0, 0, QString::SectionSkipEmpty).toInt();
        return indexes;
    }
    static QList<int> CsvIndexes(const QString& out)
    {
        QList<int> indexes;
        QStringList lines = out.split(u"\r\n"_s, Qt::SkipEmptyParts);
        lines.removeFirst();
        for (const QString& line : lines)
            indexes << line.section(u',', 0, 0).toInt();
        return indexes;
    }
};

TEST_P(ListFilter, ListsTheMatchingCommandsUnderTheirOwnIndexes)
{
    const TListFilterCase& c = GetParam();
    const Result table = Run(QStringList{u"list"_s} + c.Filter + QStringList{LogPath()});
    EXPECT_EQ(table.ExitCode, c.ExitCode) << table.Err.toStdString();
    EXPECT_EQ(TableIndexes(table.Out), c.Indexes) << table.Out.toStdString();

    const Result csv = Run(QStringList{u"list"_s, u"--csv"_s} + c.Filter + QStringList{LogPath()});
    EXPECT_EQ(csv.ExitCode, c.ExitCode);
    EXPECT_EQ(CsvIndexes(csv.Out), c.Indexes) << csv.Out.toStdString();

    const Result json = Run(QStringList{u"list"_s, u"--json"_s} + c.Filter + QStringList{LogPath()});
    EXPECT_EQ(json.ExitCode, c.ExitCode);
    EXPECT_EQ(json.Out.count(u'\n'), c.Indexes.size());
}

INSTANTIATE_TEST_SUITE_P(Filters, ListFilter, testing::Values(
    TListFilterCase{"None", {}, {0, 1, 2, 3, 4}, 1},
    // The undecodable row 4 is a failed row here as in the table's marks.
    TListFilterCase{"Errors", {u"--errors"_s}, {2, 3, 4}, 1},
    TListFilterCase{"HidePolls", {u"--hide-polls"_s}, {1, 2, 3, 4}, 1},
    TListFilterCase{"CommandCode", {u"--command"_s, u"80"_s}, {1, 2, 3}, 0},
    TListFilterCase{"CommandName", {u"--command"_s, u"продажа"_s}, {1, 2, 3}, 0},
    TListFilterCase{"SeveralCommands", {u"--command"_s, u"10"_s, u"--command=FF0C"_s}, {0, 4}, 1},
    TListFilterCase{"Thread", {u"--thread"_s, u"00001A2C"_s}, {0, 1, 2, 3, 4}, 1},
    TListFilterCase{"OtherThread", {u"--thread"_s, u"00000001"_s}, {}, 0},
    TListFilterCase{"TextInData", {u"--text"_s, u"MILK"_s}, {1, 2, 3}, 0},
    TListFilterCase{"Combined", {u"--errors"_s, u"--command"_s, u"80"_s, u"--text"_s, u"milk"_s}, {2, 3}, 0}),
    CaseName());

TEST_F(Cli, ListCsvStartsWithAByteOrderMarkAndAHeader)
{
    const TRunResult r = RunCli({u"list"_s, u"--csv"_s, u"--errors"_s, u"--command"_s, u"80"_s, LogPath()});
    EXPECT_EQ(r.ExitCode, 0);
    EXPECT_TRUE(r.Out.startsWith("\xEF\xBB\xBFIndex,Time,Thread,Command,Data,DurationMs,State\r\n2,")) << r.Out.toStdString();
}

// Longer than one read of the log, so its rows are made in several batches.
TEST_F(Cli, ListAndJsonGiveEveryRowAndAgreeOnItsState)
{
    constexpr int Rows = 4000;
    constexpr int Broken = 100;
    std::vector<TExchange> exchanges(Rows, {"10 1E 00 00 00", "10 00 1E 03 00 02 00 05 FF D8 00 00 00 1A 04"});
    exchanges[Broken] = {"FF 0C 1E 00 00 00 FF 03 01 00 05", "FF 0C 00"};
    WriteFile(LogPath(), Protocol1Log(exchanges));
    ASSERT_GT(QFile(LogPath()).size(), 2 << 20);

    const Result table = Run({u"list"_s, LogPath()});
    const Result json = Run({u"list"_s, u"--json"_s, LogPath()});
    for (const Result* r : {&table, &json}) {
        EXPECT_EQ(r->ExitCode, 1);
        EXPECT_EQ(r->Err, u"kestrun-cli list: %1, команда %2: Неверная длина FVLN\n"_s.arg(LogPath()).arg(Broken));
    }
    const Marks expected{Rows, {Broken}};
    EXPECT_EQ(TableMarks(table.Out), expected);
    EXPECT_EQ(JsonMarks(json.Out), expected);
}

} // namespace
} // namespace kestrun::test
