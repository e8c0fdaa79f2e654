// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaseName.h"
#include "log/Codepages.h"
#include "log/Exception.h"
#include "log/LogLoader.h"
#include "log/LogParser.h"
#include "log/LogText.h"

#include <QBuffer>
#include <gtest/gtest.h>

using namespace kestrun;

namespace {

// A protocol-1/2 line prefix of 36 characters: time stamp and thread.
const QString T = QStringLiteral("[12.03.2024 10:15:30.123] [00001A2C]");
// 67 characters, so that the NG marker's "]" is the 68th character of the line.
const QString Q = QStringLiteral("[12.03.2024 10:15:30.123] [00001A2C] [Transport]").leftJustified(67, QLatin1Char('.'));
const QString JposPrefix = QStringLiteral("[12.03.2024 10:15:30.123] Thread-7 DEBUG com.kelmar.fiscalprinter.PrinterProtocol_1 - ");

QString P1(const QString& text) { return T + QStringLiteral(" [DEBUG] TPrinterProtocol ") + text; }
QString P2(const QString& text) { return T + QStringLiteral(" [DEBUG] TPrinterProtocol2 ") + text; }
QString Ng(const QString& text) { return Q + QStringLiteral("] [D] ") + text; }
QString Jpos(const QString& text) { return JposPrefix + text; }
QString Other() { return T + QStringLiteral(" some other text"); }

const QStringList Protocol1Exchange = {
    P1("-> 05"), P1("<- 15"), P1("-> 02 03 10 AA BB 02"), P1("<- 06"), P1("<- 02"),
    P1("<- 04"), P1("<- 10 00 CC DD"), P1("<- 05"), P1("-> 06"),
};

QStringList Replaced(QStringList lines, qsizetype index, const QString& line)
{
    lines[index] = line;
    return lines;
}

QStringList Jposed(const QStringList& protocol1Lines)
{
    QStringList lines;
    for (const QString& line : protocol1Lines)
        lines << Jpos(line.mid(line.indexOf(QStringLiteral("Protocol ")) + 9));
    return lines;
}

TCommand Record(const char* data, const char* answer, const QString& attributes, TProtocol protocol, int32_t line,
                const QString& driverError = {})
{
    TCommand c;
    c.SetData(data);
    c.SetAnswerData(answer);
    c.SetAttributes(UnicodeToCp1251(attributes));
    c.Protocol = protocol;
    c.LineNumber = line;
    c.SetDriverError(driverError);
    return c;
}

// The lines of these logs share one stamp, so every answered exchange took 0 ms.
TCommand Timed(TCommand c, int32_t durationMs)
{
    c.DurationMs = durationMs;
    return c;
}

struct ParseCase
{
    const char* Name;
    QStringList Lines;
    QStringList IgnoreLines;
    TCommands Expected;
    QString Error;
};

void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.Name; }

std::string Describe(const TCommands& commands)
{
    std::string text;
    for (const TCommand& c : commands)
        text += "{Data=\"" + c.Data().toStdString() + "\" Answer=\"" + c.AnswerData().toStdString() + "\" Attributes=\"" +
                Cp1251ToUnicode(c.Attributes()).toStdString() + "\" " + ProtocolName(c.Protocol) +
                " Line=" + std::to_string(c.LineNumber) + " Error=\"" + c.DriverError().toStdString() + "\" Ms=" +
                std::to_string(c.DurationMs) + "}\n";
    return text;
}

class ParseLogTest : public ::testing::TestWithParam<ParseCase> {};

// The list-of-lines interface, as pasted text reaches it.
TEST_P(ParseLogTest, FromLines)
{
    const ParseCase& c = GetParam();
    TCommands commands = {Record("77", "", T, TProtocol::pNone, 9)};
    QString error;
    try {
        ParseLog(c.Lines, commands, ReadIgnoreCodes(c.IgnoreLines));
    } catch (const Exception& e) {
        error = e.Message();
    }
    EXPECT_EQ(error, c.Error);
    EXPECT_EQ(Describe(commands), Describe(c.Expected));
    EXPECT_EQ(commands, c.Expected);
}

// The file interface: Windows-1251 bytes with CR LF, streamed through the byte-level parser.
TEST_P(ParseLogTest, FromWindows1251Bytes)
{
    const ParseCase& c = GetParam();
    QByteArray bytes = UnicodeToCp1251(c.Lines.join(QStringLiteral("\r\n")));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    TCommands commands;
    QString error;
    try {
        LoadLogDevice(buffer, c.IgnoreLines, commands);
    } catch (const Exception& e) {
        error = e.Message();
    }
    EXPECT_EQ(error, c.Error);
    EXPECT_EQ(Describe(commands), Describe(c.Expected));
    EXPECT_EQ(commands, c.Expected);
}

const QString BadFrame = QStringLiteral("Некорректный формат пакета");

INSTANTIATE_TEST_SUITE_P(WorkedExamples, ParseLogTest, ::testing::Values(
    ParseCase{"Protocol1", Protocol1Exchange, {},
              {Timed(Record("10 AA BB", "10 00 CC DD ", T, TProtocol::pProtocol1, 3), 0)}, {}},
    ParseCase{"Protocol2",
              {P2("-> 8F 06 00 01 00 10 9F 81 BB 12 34"), P2("<- 06"), P2("<- 8F 07 00 01 00 10 00 CC DD 56 78"), Other()},
              {}, {Timed(Record("10 8F BB", "10 00 CC DD", T, TProtocol::pProtocol2, 1), 0)}, {}},
    ParseCase{"NgWithControlBytes",
              {Ng("-> 05"), Ng("<- 06"), Ng("-> 02 03 10 AA BB 02"), Ng("<- 06"), Ng("<- 02 04 10 00 CC DD 05")},
              {}, {Timed(Record("10 AA BB", "10 00 CC DD", Q + "]", TProtocol::pProtocolNg1, 3), 0)}, {}},
    ParseCase{"NgWithoutControlBytes", {Ng("-> 03 10 AA BB"), Ng("<- 04 10 00 CC DD")},
              {}, {Timed(Record(" 10 AA BB", " 10 00 CC DD", Q + "]", TProtocol::pProtocolNg1Plain, 1), 0)}, {}},
    ParseCase{"PlainProtocol1", {P1("-> 03 10 AA BB"), P1("<- 06"), P1("<- 04"), P1("<- 10 00 CC DD"), Other()},
              {}, {Timed(Record("10 AA BB", "10 00 CC DD", T, TProtocol::pPlain, 1), 0)}, {}},
    ParseCase{"Jpos", Jposed(Protocol1Exchange), {},
              {Timed(Record("10 AA BB", "10 00 CC DD ", "[12.03.2024 10:15:30.123] Thread-7 D", TProtocol::pProtocolJpos1, 3), 0)}, {}},
    ParseCase{"DriverError", {T + " [ERROR] TFiscalPrinter - sample text"},
              {}, {Record("", "", {}, TProtocol::pNone, -1, "- sample text")}, {}}),
    kestrun::test::CaseName());

INSTANTIATE_TEST_SUITE_P(EdgeCases, ParseLogTest, ::testing::Values(
    ParseCase{"NoLines", {}, {}, {}, {}},
    ParseCase{"NoMarkers", {Other(), {}, QStringLiteral("Запуск драйвера")}, {}, {}, {}},
    ParseCase{"IgnoredRequestLosesItsAnswer",
              Protocol1Exchange + Replaced(Protocol1Exchange, 2, P1("-> 02 03 11 AA BB 02")), {QStringLiteral("11")},
              {Timed(Record("10 AA BB", "10 00 CC DD ", T, TProtocol::pProtocol1, 3), 0)}, {}},
    ParseCase{"IgnoreCodeWrittenWithBlank",
              {P2("-> 8F 06 00 01 00 FF 0A 12 34"), P2("<- 8F 07 00 01 00 FF 0A 00 56 78"), Other()}, {QStringLiteral("FF 0A")},
              {}, {}},
    ParseCase{"MissingAnswerAfterAnsweredRequest", Protocol1Exchange + Protocol1Exchange.mid(0, 4), {},
              {Timed(Record("10 AA BB", "10 00 CC DD ", T, TProtocol::pProtocol1, 3), 0),
               Record("10 AA BB", "", T, TProtocol::pProtocol1, 12)}, {}},
    ParseCase{"EndsInsideProtocol1Request", Protocol1Exchange.mid(0, 3), {},
              {Record("10 AA BB", "", T, TProtocol::pProtocol1, 3)}, {}},
    ParseCase{"EndsInsidePlainRequestCutLikeProtocol1", {P1("-> 03 10 AA BB")}, {},
              {Record("AA", "", T, TProtocol::pPlain, 1)}, {}},
    ParseCase{"EnqWithTrailingBlankIsNoEnq", Replaced(Protocol1Exchange, 0, P1("-> 05 ")), {},
              {Timed(Record("03 10 AA BB 02", "04 10 00 CC DD 05", T, TProtocol::pPlain, 3), 0)}, {}},
    ParseCase{"Protocol2HeaderAndTrailerOnlyIsSync",
              {P2("-> 8F 06 00 01 00 12 34"), P2("<- 8F 07 00 01 00 10 00 56 78"), Other()}, {},
              {Timed(Record("", "10 00", T, TProtocol::pProtocol2, 1), 0)}, {}},
    ParseCase{"Protocol2TrailingEscapeDropped",
              {P2("-> 8F 06 00 01 00 10 AA 12 34 9F"), P2("<- 8F 07 00 01 00 10 00 56 78")}, {},
              {Timed(Record("10 AA", "10 00", T, TProtocol::pProtocol2, 1), 0)}, {}},
    ParseCase{"Protocol2LowerCaseAndDoubledBlanks",
              {P2("-> 8f 06 00 01 00 10 9f 81 aa 12 34"), P2("<- 8F 07 00  01 00 10 00 56 78")}, {},
              {Timed(Record("10 8F AA", "10 00", T, TProtocol::pProtocol2, 1), 0)}, {}},
    ParseCase{"Protocol2BadEscapeInLowerCase",
              {P2("-> 8f 06 00 01 00 10 9f 82 12 34"), P2("<- 8F 07 00 01 00 10 00 56 78")}, {}, {}, BadFrame},
    ParseCase{"Protocol2EscapeInHeader",
              {P2("-> 8F 06 9F 81 01 00 10 AA 12 34"), P2("<- 8F 07 00 01 00 10 00 56 78")}, {},
              {Timed(Record("10 AA", "10 00", T, TProtocol::pProtocol2, 1), 0)}, {}},
    ParseCase{"Protocol2EscapesBackToBack",
              {P2("-> 8F 06 00 01 00 10 9F 81 9F 83 12 34"), P2("<- 8F 07 00 01 00 10 00 56 78")}, {},
              {Timed(Record("10 8F 9F", "10 00", T, TProtocol::pProtocol2, 1), 0)}, {}},
    ParseCase{"Protocol2EscapedEscape",
              {P2("-> 8F 06 00 01 00 10 9F 83 81 12 34"), P2("<- 8F 07 00 01 00 10 00 56 78")}, {},
              {Timed(Record("10 9F 81", "10 00", T, TProtocol::pProtocol2, 1), 0)}, {}},
    ParseCase{"Protocol2BadEscapeStopsRun",
              {P2("-> 8F 06 00 01 00 10 AA 12 34"), P2("<- 8F 07 00 01 00 10 00 56 78"), Other(),
               P2("-> 8F 06 00 01 00 10 9F 82 12 34"), P2("<- 8F 07 00 01 00 10 00 56 78"), Other(),
               P2("-> 8F 06 00 01 00 11 AA 12 34"), P2("<- 8F 07 00 01 00 11 00 56 78")}, {},
              {Timed(Record("10 AA", "10 00", T, TProtocol::pProtocol2, 1), 0)}, BadFrame},
    ParseCase{"Protocol2RequestOverSeveralLines",
              {P2("-> 8F 08 00 01 00"), P2("-> 10 AA BB 12 34"), P2("<- 8F 07 00 01 00 10 00 56 78"), Other()}, {},
              {Timed(Record("10 AA BB", "10 00", T, TProtocol::pProtocol2, 1), 0)}, {}},
    ParseCase{"DriverErrorWhileJoiningRequest",
              {P1("-> 05"), P1("-> 02 03 10 AA BB 02"), T + " [ERROR] TFiscalPrinter - Нет связи"}, {},
              {Record("10 AA BB", "", T, TProtocol::pProtocol1, 2, QStringLiteral("- Нет связи")),
               Record("", "", T, TProtocol::pProtocol1, 2)}, {}},
    ParseCase{"DriverErrorAfterExchangeKeepsDialect",
              Protocol1Exchange + QStringList{T + " [ERROR] TFiscalPrinter -"}, {},
              {Timed(Record("10 AA BB", "10 00 CC DD ", T, TProtocol::pProtocol1, 3), 0),
               Record("", "", T, TProtocol::pProtocol1, -1, QStringLiteral("-"))}, {}},
    ParseCase{"MarkerSearchIsCaseSensitive",
              {T + " [debug] TPrinterProtocol -> 05", T + " [debug] TPrinterProtocol -> 02 03 10 AA BB 02",
               T + " [debug] TPrinterProtocol <- 06"}, {}, {}, {}},
    ParseCase{"NgFFAnswerKeepsWaiting", {Ng("-> 03 10 AA BB"), Ng("<- FF"), Ng("<- 02 04 10 00 CC DD 05")}, {},
              {Timed(Record("AA", "10 00 CC DD", Q + "]", TProtocol::pProtocolNg1, 1), 0)}, {}},
    ParseCase{"DriverErrorDashBeforeArrowHead", {T + " [ERROR] TFiscalPrinter -> <- -"},
              {}, {Record("", "", {}, TProtocol::pNone, -1, "-> <- -")}, {}},
    ParseCase{"MarkerTwiceTakesFirst", {P1("-> 03 10 [DEBUG] TPrinterProtocol -> AA"), P1("<- 06")}, {},
              {Record("10 [DEBUG] TPrinterProtocol -> AA", "", T, TProtocol::pPlain, 1)}, {}},
    ParseCase{"CyrillicPrefix",
              Replaced(Protocol1Exchange, 0, QStringLiteral("[12.03.2024 10:15:30.123] [Поток 7]  [DEBUG] TPrinterProtocol -> 05")),
              {}, {Timed(Record("10 AA BB", "10 00 CC DD ", QStringLiteral("[12.03.2024 10:15:30.123] [Поток 7] "),
                          TProtocol::pProtocol1, 3), 0)}, {}},
    ParseCase{"GarbagePayloads",
              {P1("-> 05"), P1("-> 02 zz"), P1("<- 06"), P2("-> xx yy"), P2("<- 8F 9F"), Ng("-> 1"), Ng("<- 2")}, {},
              {Record("", "", T, TProtocol::pProtocol1, 2), Record("", "", T, TProtocol::pProtocol2, 4),
               Record("", "", Q + "]", TProtocol::pProtocolNg1Plain, 6)}, {}}),
    kestrun::test::CaseName());

} // namespace
