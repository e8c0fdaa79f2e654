// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaseName.h"
#include "log/Codepages.h"
#include "log/LogLoader.h"
#include "log/LogParser.h"

#include <QBuffer>
#include <gtest/gtest.h>
#include <optional>
#include <vector>

using namespace kestrun;
using namespace Qt::StringLiterals;

namespace {

// Each line gets its own stamp, so a duration measured from or to the wrong line shows.
QString Stamped(const char* stamp, const QString& rest)
{
    return u"[%1] [00001A2C] %2"_s.arg(QLatin1String(stamp), rest);
}
QString P1(const char* stamp, const char* text) { return Stamped(stamp, u"[DEBUG] TPrinterProtocol "_s + QLatin1String(text)); }
QString P2(const char* stamp, const char* text) { return Stamped(stamp, u"[DEBUG] TPrinterProtocol2 "_s + QLatin1String(text)); }
QString Ng(const char* stamp, const char* text)
{
    return Stamped(stamp, u"[Transport]"_s).leftJustified(67, u'.') + u"] [D] "_s + QLatin1String(text);
}
QString Jpos(const char* stamp, const char* text)
{
    return u"[%1] Thread-7 DEBUG com.kelmar.fiscalprinter.PrinterProtocol_1 - %2"_s.arg(QLatin1String(stamp),
                                                                                     QLatin1String(text));
}
QString Other(const char* stamp) { return Stamped(stamp, u"other text"_s); }

// A protocol-1 exchange with the given stamps of its ENQ line and of the host's closing ACK; the
// lines between take stamps of their own.
QStringList Protocol1(const char* enq, const char* ack)
{
    return {P1(enq, "-> 05"),
            P1("12.03.2024 10:15:30.110", "<- 15"),
            P1("12.03.2024 10:15:30.120", "-> 02 03 10 AA BB 02"),
            P1("12.03.2024 10:15:30.130", "<- 06"),
            P1("12.03.2024 10:15:30.200", "<- 02"),
            P1("12.03.2024 10:15:30.210", "<- 04"),
            P1("12.03.2024 10:15:30.220", "<- 10 00 CC DD"),
            P1("12.03.2024 10:15:30.230", "<- 05"),
            P1(ack, "-> 06")};
}

QStringList Unstamped(const QStringList& lines)
{
    QStringList cut;
    for (const QString& line : lines)
        cut << line.mid(line.indexOf(u"[DEBUG]"_s));
    return cut;
}

QStringList JposOf(const QStringList& protocol1)
{
    QStringList lines;
    for (const QString& line : protocol1)
        lines << Jpos(line.mid(1, 23).toLatin1().constData(), line.mid(line.indexOf(u"Protocol "_s) + 9).toLatin1().constData());
    return lines;
}

struct DurationCase
{
    const char* Name;
    QStringList Lines;
    std::vector<std::optional<int32_t>> Expected; // per record
};

void PrintTo(const DurationCase& c, std::ostream* os) { *os << c.Name; }

std::vector<std::optional<int32_t>> Durations(const TCommands& commands)
{
    std::vector<std::optional<int32_t>> durations;
    for (const TCommand& command : commands)
        durations.push_back(command.DurationMs == NoDuration ? std::nullopt : std::optional<int32_t>(command.DurationMs));
    return durations;
}

class DurationTest : public ::testing::TestWithParam<DurationCase> {};

TEST_P(DurationTest, FromLinesAndFromBytes)
{
    const DurationCase& c = GetParam();
    TCommands fromLines;
    ParseLog(c.Lines, fromLines, {});
    EXPECT_EQ(Durations(fromLines), c.Expected);

    QByteArray bytes = UnicodeToCp1251(c.Lines.join(u"\r\n"_s));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    TCommands fromBytes;
    LoadLogDevice(buffer, {}, fromBytes);
    EXPECT_EQ(Durations(fromBytes), c.Expected);
}

const char* const Enq = "12.03.2024 10:15:30.100";
const char* const Ack = "12.03.2024 10:15:30.250";

INSTANTIATE_TEST_SUITE_P(Dialects, DurationTest, ::testing::Values(
    // From the ENQ line, whose prefix the record keeps, to the host's ACK after the answer.
    DurationCase{"Protocol1", Protocol1(Enq, Ack), {150}},
    DurationCase{"Jpos", JposOf(Protocol1(Enq, Ack)), {150}},
    // To the last answer line.
    DurationCase{"Protocol2",
                 {P2("12.03.2024 10:15:30.100", "-> 8F 06 00 01 00 10 AA 12 34"), P2("12.03.2024 10:15:30.150", "<- 06"),
                  P2("12.03.2024 10:15:30.400", "<- 8F 07 00 01 00 10 00 56 78"), Other("12.03.2024 10:15:31.000")},
                 {300}},
    // The record keeps the prefix of the request's last line, and counts from there.
    DurationCase{"Protocol2RequestOverTwoLines",
                 {P2("12.03.2024 10:15:30.100", "-> 8F 08 00 01 00"), P2("12.03.2024 10:15:30.200", "-> 10 AA BB 12 34"),
                  P2("12.03.2024 10:15:30.450", "<- 8F 07 00 01 00 10 00 56 78"), Other("12.03.2024 10:15:31.000")},
                 {250}},
    DurationCase{"Protocol2AnswerOverTwoLines",
                 {P2("12.03.2024 10:15:30.100", "-> 8F 06 00 01 00 10 AA 12 34"),
                  P2("12.03.2024 10:15:30.300", "<- 8F 07 00 01"), P2("12.03.2024 10:15:30.350", "<- 00 10 00 56 78"),
                  Other("12.03.2024 10:15:31.000")},
                 {250}},
    DurationCase{"NgFramed",
                 {Ng("12.03.2024 10:15:30.100", "-> 05"), Ng("12.03.2024 10:15:30.110", "<- 06"),
                  Ng("12.03.2024 10:15:30.120", "-> 02 03 10 AA BB 02"), Ng("12.03.2024 10:15:30.130", "<- 06"),
                  Ng("12.03.2024 10:15:30.400", "<- 02 04 10 00 CC DD 05")},
                 {280}},
    DurationCase{"NgPlain",
                 {Ng("12.03.2024 10:15:30.100", "-> 03 10 AA BB"), Ng("12.03.2024 10:15:30.350", "<- 04 10 00 CC DD")},
                 {250}},
    DurationCase{"PlainProtocol1",
                 {P1("12.03.2024 10:15:30.100", "-> 03 10 AA BB"), P1("12.03.2024 10:15:30.110", "<- 06"),
                  P1("12.03.2024 10:15:30.120", "<- 04"), P1("12.03.2024 10:15:30.300", "<- 10 00 CC DD"),
                  Other("12.03.2024 10:15:31.000")},
                 {200}}),
    kestrun::test::CaseName());

INSTANTIATE_TEST_SUITE_P(Stamps, DurationTest, ::testing::Values(
    DurationCase{"OverMidnightIntoANewYear", Protocol1("31.12.2023 23:59:59.900", "01.01.2024 00:00:00.150"), {250}},
    DurationCase{"OverALeapDay", Protocol1("28.02.2024 23:59:59.999", "01.03.2024 00:00:00.001"), {86400002}},
    DurationCase{"SameMillisecond", Protocol1(Enq, Enq), {0}},
    DurationCase{"MissingAnswer", Protocol1(Enq, Ack).mid(0, 4), {std::nullopt}},
    DurationCase{"MissingAnswerAfterAnsweredOne", Protocol1(Enq, Ack) + Protocol1(Enq, Ack).mid(0, 4), {150, std::nullopt}},
    DurationCase{"UnreadableHour", Protocol1(Enq, "12.03.2024 25:15:30.250"), {std::nullopt}},
    DurationCase{"NoSuchDay", Protocol1("31.02.2024 10:15:30.100", Ack), {std::nullopt}},
    DurationCase{"NoLeapDayInACentury", Protocol1("29.02.2100 10:15:30.100", "29.02.2100 10:15:30.250"), {std::nullopt}},
    DurationCase{"LeapDayInAFourthCentury", Protocol1("28.02.2000 23:59:59.999", "01.03.2000 00:00:00.001"), {86400002}},
    DurationCase{"NoYearZero", Protocol1("01.01.0000 10:15:30.100", "01.01.0000 10:15:30.250"), {std::nullopt}},
    DurationCase{"FirstYear", Protocol1("31.12.0001 23:59:59.999", "01.01.0002 00:00:00.000"), {1}},
    DurationCase{"NoLeapDayInACommonYear", Protocol1("29.02.2023 10:15:30.100", "29.02.2023 10:15:30.250"), {std::nullopt}},
    DurationCase{"LeapDayOfALeapYear", Protocol1("29.02.2024 23:59:59.999", "01.03.2024 00:00:00.000"), {1}},
    DurationCase{"OverTheEndOfAThirtyDayMonth", Protocol1("30.04.2024 23:59:59.999", "01.05.2024 00:00:00.000"), {1}},
    DurationCase{"NoThirtyFirstOfApril", Protocol1("31.04.2024 10:15:30.100", Ack), {std::nullopt}},
    DurationCase{"OverTheEndOfAThirtyOneDayMonth", Protocol1("31.01.2024 23:59:59.999", "01.02.2024 00:00:00.000"), {1}},
    DurationCase{"NoDayZero", Protocol1("00.01.2024 10:15:30.100", Ack), {std::nullopt}},
    DurationCase{"NoMonthZero", Protocol1("01.00.2024 10:15:30.100", Ack), {std::nullopt}},
    DurationCase{"LastYearThatFits", Protocol1("31.12.9999 23:59:59.000", "31.12.9999 23:59:59.999"), {999}},
    DurationCase{"OverTheEpoch", Protocol1("31.12.1969 23:59:59.999", "01.01.1970 00:00:00.001"), {2}},
    DurationCase{"NoSixtiethSecond", Protocol1(Enq, "12.03.2024 10:15:60.000"), {std::nullopt}},
    DurationCase{"MonthThirteen", Protocol1("01.13.2024 10:15:30.100", "01.13.2024 10:15:30.250"), {std::nullopt}},
    DurationCase{"LettersInTheStamp", Protocol1(Enq, "12.03.2024 10:15:3O.250"), {std::nullopt}},
    DurationCase{"ColonForADigit", Protocol1(Enq, "12.03.2024 10:15:30.2:0"), {std::nullopt}},
    DurationCase{"AccentedLetterForADigit", Protocol1("12.03.2024 10:15:30.100", "12.03.2024 10:15:30.25\xFF"), {std::nullopt}},
    DurationCase{"DashForADot", Protocol1(Enq, "12-03.2024 10:15:30.250"), {std::nullopt}},
    DurationCase{"AnswerBeforeRequest", Protocol1(Ack, Enq), {std::nullopt}},
    DurationCase{"WithoutStamps", Unstamped(Protocol1(Enq, Ack)), {std::nullopt}},
    DurationCase{"DriverError",
                 Protocol1(Enq, Ack).mid(0, 3) + QStringList{Stamped("12.03.2024 10:15:31.000", u"[ERROR] TFiscalPrinter - Нет связи"_s)},
                 {std::nullopt, std::nullopt}},
    DurationCase{"SyncFrameAnswered",
                 {P2("12.03.2024 10:15:30.100", "-> 8F 06 00 01 00 12 34"), P2("12.03.2024 10:15:30.120", "<- 8F 07 00 01 00 10 00 56 78")},
                 {20}}),
    kestrun::test::CaseName());

} // namespace
