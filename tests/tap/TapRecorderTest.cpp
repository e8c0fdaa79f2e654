// SPDX-License-Identifier: GPL-3.0-or-later
// The recorder on scripted traffic: the log it writes reads back as the exchanges the till
// completed, each once with the answer it acknowledged, and every byte is on one line in order.
#include "CaseName.h"
#include "log/Bytes.h"
#include "log/LogLoader.h"
#include "playback/Protocol1Frames.h"
#include "playback/TrafficLog.h"
#include "tap/TapLog.h"
#include "tap/TapRecorder.h"

#include <QFile>
#include <QTemporaryDir>

namespace kestrun::test {
namespace {

// One step of a script: "T:" for the till, "R:" for the register, then hex bytes; "[...]" is a
// frame of those data bytes, "[!...]" one with a wrong LRC, "[-...]" one lacking its last data
// byte. A step of "close" ends the exchange under way as a side going away does.
using TScript = std::vector<const char*>;

struct TStep
{
    bool Close = false;
    TTapSide Side = TTapSide::tsTill;
    QByteArray Bytes;
};

TStep ReadStep(const QByteArray& text)
{
    if (text == "close")
        return {true, {}, {}};
    TStep step{false, text.startsWith("T:") ? TTapSide::tsTill : TTapSide::tsRegister, {}};
    const QByteArray body = text.mid(2).trimmed();
    if (!body.startsWith('['))
        return {false, step.Side, HexToBytes(body)};
    const char mark = body.at(1);
    const QByteArray data = HexToBytes(body.mid(mark == '!' || mark == '-' ? 2 : 1).chopped(1));
    step.Bytes = Protocol1Frame(data);
    if (mark == '!')
        step.Bytes.back() = char(~step.Bytes.back());
    if (mark == '-')
        step.Bytes.remove(step.Bytes.size() - 2, 1);
    return step;
}

struct TRecorderRow
{
    const char* Name;
    TScript Script;
    // Request and answer of each record read back, as hex text.
    std::vector<std::pair<const char*, const char*>> Records;
};

void PrintTo(const TRecorderRow& row, std::ostream* os) { *os << row.Name; }

const char* const Status = "T:[10 1E 00 00 00]";
const char* const StatusAnswer = "R:[10 00 1E 02 00]";
const char* const Sale = "T:[80 1E 00 00 00 E8 03 00 00 00 10 27 00 00 00 01 00 00 00 00]";
const char* const SaleAnswer = "R:[80 00 1E]";

class TapRecorderTable : public ::testing::TestWithParam<TRecorderRow>
{
protected:
    // Feeds the script in the chunks given, or byte by byte; returns the exchanges written.
    QList<TTapExchange> Run(bool byteByByte)
    {
        TTapRecorder recorder;
        int64_t time = 1710238530123;
        for (const char* text : GetParam().Script) {
            const TStep step = ReadStep(text);
            if (step.Close) {
                recorder.Close(-8);
                continue;
            }
            if (byteByByte)
                for (const char c : step.Bytes)
                    recorder.Feed(step.Side, QByteArrayView(&c, 1), ++time);
            else
                recorder.Feed(step.Side, step.Bytes, ++time);
        }
        recorder.Close(-9);
        return recorder.TakeFinished();
    }

    TCommands ReadBack(const QList<TTapExchange>& exchanges, const QString& name)
    {
        const QString file = FDir.filePath(name);
        {
            TTrafficLog log(file);
            for (const TTapExchange& exchange : exchanges)
                EXPECT_TRUE(WriteTapExchange(log, exchange));
        }
        TCommands commands;
        LoadLogFile(file, {}, commands);
        return commands;
    }

    QTemporaryDir FDir;
};

TEST_P(TapRecorderTable, ReadsBackAsTheExchangesAndKeepsEveryByte)
{
    for (const bool byteByByte : {false, true}) {
        SCOPED_TRACE(byteByByte ? "byte by byte" : "in chunks");
        const QList<TTapExchange> exchanges = Run(byteByByte);
        QByteArray till;
        QByteArray reg;
        for (const TTapExchange& exchange : exchanges)
            for (const TTapLine& line : exchange.Lines)
                if (line.Kind != TTapLine::lkNote)
                    (line.Kind == TTapLine::lkTill ? till : reg) += line.Bytes.repeated(line.Count);
        QByteArray tillSent;
        QByteArray regSent;
        for (const char* text : GetParam().Script) {
            const TStep step = ReadStep(text);
            (step.Side == TTapSide::tsTill ? tillSent : regSent) += step.Bytes;
        }
        EXPECT_EQ(till.toHex(' ').toStdString(), tillSent.toHex(' ').toStdString());
        EXPECT_EQ(reg.toHex(' ').toStdString(), regSent.toHex(' ').toStdString());

        const TCommands commands = ReadBack(exchanges, byteByByte ? QStringLiteral("bytes.log") : QStringLiteral("chunks.log"));
        std::vector<std::pair<std::string, std::string>> records;
        for (const TCommand& c : commands)
            records.emplace_back(c.Data().toStdString(), c.AnswerData().trimmed().toStdString());
        std::vector<std::pair<std::string, std::string>> expected;
        for (const auto& [request, answer] : GetParam().Records)
            expected.emplace_back(request, answer);
        EXPECT_EQ(records, expected);
        for (const TCommand& c : commands)
            EXPECT_EQ(c.Protocol, TProtocol::pProtocol1);
    }
}

#define STATUS "10 1E 00 00 00"
#define SALE "80 1E 00 00 00 E8 03 00 00 00 10 27 00 00 00 01 00 00 00 00"

INSTANTIATE_TEST_SUITE_P(
    Tap, TapRecorderTable,
    ::testing::Values(
        TRecorderRow{"Empty", {}, {}},
        TRecorderRow{"Clean", {"T:05", "R:15", "T:[10 1E 00 00 00]", "R:06", "R:[10 00 1E 02 00]", "T:06"},
                     {{STATUS, "10 00 1E 02 00"}}},
        TRecorderRow{"TwoExchanges",
                     {"T:05", "R:15", Status, "R:06", "R:[10 00 1E 02 00]", "T:06", "T:05", "R:15", "T:[80 1E 00 00 00 E8 03 00 00 00 10 27 00 00 00 01 00 00 00 00]", "R:06", "R:[80 00 1E]", "T:06"},
                     {{STATUS, "10 00 1E 02 00"}, {SALE, "80 00 1E"}}},
        TRecorderRow{"RefusedFrameSentAgain",
                     {"T:05", "R:15", Sale, "R:15", Sale, "R:06", "R:[80 00 1E]", "T:06"}, {{SALE, "80 00 1E"}}},
        // The till asks with ENQ before sending a refused frame again.
        TRecorderRow{"RefusedFrameSentAgainAfterAsking",
                     {"T:05", "R:15", Sale, "R:15", "T:05", "R:15", Sale, "R:06", "R:[80 00 1E]", "T:06"}, {{SALE, "80 00 1E"}}},
        TRecorderRow{"BrokenAnswerAskedAgain",
                     {"T:05", "R:15", Sale, "R:06", "R:[!80 00 1E]", "T:15", "R:[80 00 1E]", "T:06"},
                     {{SALE, "80 00 1E"}}},
        TRecorderRow{"ShortAnswerAskedAgain",
                     {"T:05", "R:15", Sale, "R:06", "R:[-80 00 1E]", "T:15", "R:[80 00 1E]", "T:06"},
                     {{SALE, "80 00 1E"}}},
        TRecorderRow{"StrayBytesBeforeReplies",
                     {"T:05", "R:FF 15", "T:[10 1E 00 00 00]", "R:15 06", "R:[10 00 1E 02 00]", "T:06"},
                     {{STATUS, "10 00 1E 02 00"}}},
        TRecorderRow{"StrayNakAfterNak",
                     {"T:05", "R:15 15", Status, "R:06", StatusAnswer, "T:06"}, {{STATUS, "10 00 1E 02 00"}}},
        TRecorderRow{"StrayStxBeforeAck",
                     {"T:05", "R:15", Sale, "R:02 06", SaleAnswer, "T:15", SaleAnswer, "T:06"}, {{SALE, "80 00 1E"}}},
        TRecorderRow{"RegisterByteWithinTheTillsFrame",
                     {"T:05", "R:15", "T:02 05 10 1E", "R:FF", "T:00 00 00 0B", "R:06", StatusAnswer, "T:06"},
                     {{STATUS, "10 00 1E 02 00"}}},
        TRecorderRow{"AnswerWithoutAck", {"T:05", "R:15", Status, StatusAnswer, "T:06"}, {{STATUS, "10 00 1E 02 00"}}},
        TRecorderRow{"HeldAnswerAskedForWithEnq",
                     {"T:05", "R:15", Sale, "R:06", "T:05", "R:06", SaleAnswer, "T:06"}, {{SALE, "80 00 1E"}}},
        TRecorderRow{"NoAnswerThenTheNextRequest",
                     {"T:05", "R:15", Sale, "R:06", "T:05", "R:15", "T:05", "R:15", "T:05", "R:15", Status, "R:06",
                      StatusAnswer, "T:06"},
                     {{SALE, ""}, {STATUS, "10 00 1E 02 00"}}},
        TRecorderRow{"OldAnswerForgottenBeforeTheRequest",
                     {"T:05", "R:06", SaleAnswer, "T:06", "T:05", "R:15", Status, "R:06", StatusAnswer, "T:06"},
                     {{STATUS, "10 00 1E 02 00"}}},
        TRecorderRow{"AnswerRefusedToTheEnd",
                     {"T:05", "R:15", Sale, "R:06", "R:[!80 00 1E]", "T:15", "R:[!80 00 1E]", "T:15", "R:[!80 00 1E]"},
                     {{SALE, ""}}},
        TRecorderRow{"SideGoneMidExchange", {"T:05", "R:15", Sale, "close", "T:05", "R:15", Status, "R:06",
                                             StatusAnswer, "T:06"},
                     {{SALE, ""}, {STATUS, "10 00 1E 02 00"}}},
        TRecorderRow{"RequestWithBadLrcRefused",
                     {"T:05", "R:15", "T:[!80 1E 00 00 00 E8 03 00 00 00 10 27 00 00 00 01 00 00 00 00]", "R:15", Sale,
                      "R:06", SaleAnswer, "T:06"},
                     {{SALE, "80 00 1E"}}},
        TRecorderRow{"FrameWithoutEnqIsNoRecord", {Status, "R:06", StatusAnswer, "T:06"}, {}},
        TRecorderRow{"IdlePollingOnly", {"T:05", "R:15", "T:05", "R:15", "T:05", "R:15"}, {}},
        TRecorderRow{"NoiseFromTheTill", {"T:FF 00 41 02 03 AA", "T:06 15"}, {}},
        TRecorderRow{"NoiseFromTheRegister", {"R:02 03 AA", "R:06 15 05 FF", "T:05", "R:02 FF 15", Status, "R:06",
                                              StatusAnswer, "T:06"},
                     {{STATUS, "10 00 1E 02 00"}}}),
    CaseName());

// A flood: `Repeat` rounds of the till's bytes, then the register's, each round `StepMs` later.
struct TFloodRow
{
    const char* Name;
    const char* Till;     // hex, sent in one chunk per round; "41 x64" is 41 64 times
    const char* Register; // the same, sent after the till's
    int Repeat;
    int64_t StepMs;
    const char* Lines; // the flood's lines in the log, joined by " | "
};

void PrintTo(const TFloodRow& row, std::ostream* os) { *os << row.Name; }

QByteArray ReadRepeated(const QByteArray& text)
{
    const qsizetype times = text.indexOf(" x");
    return times < 0 ? HexToBytes(text) : HexToBytes(text.left(times)).repeated(text.mid(times + 2).toInt());
}

class TapRecorderFlood : public ::testing::TestWithParam<TFloodRow>
{
protected:
    QTemporaryDir FDir;
};

// The flood's bytes, one chunk a side per round, then a clean status exchange: the flood is a few
// lines with counts, every byte is in them, and the exchange after it reads back.
TEST_P(TapRecorderFlood, RepeatedBytesAreOneLineWithTheirCount)
{
    const TFloodRow& row = GetParam();
    const QByteArray till = ReadRepeated(row.Till);
    const QByteArray reg = ReadRepeated(row.Register);
    TTapRecorder recorder;
    int64_t time = 1710238530000;
    QList<TTapExchange> exchanges;
    for (int i = 0; i < row.Repeat; ++i, time += row.StepMs) {
        recorder.Feed(TTapSide::tsTill, till, time);
        recorder.Feed(TTapSide::tsRegister, reg, time);
        exchanges += recorder.TakeFinished();
    }
    QByteArray sent[2] = {till.repeated(row.Repeat), reg.repeated(row.Repeat)};
    for (const char* text : {"T:05", "R:15", Status, "R:06", StatusAnswer, "T:06"}) {
        const TStep step = ReadStep(text);
        recorder.Feed(step.Side, step.Bytes, time);
        sent[step.Side == TTapSide::tsRegister] += step.Bytes;
    }
    recorder.Close(-9);
    exchanges += recorder.TakeFinished();

    QByteArray logged[2];
    QStringList flood;
    for (const TTapExchange& exchange : exchanges) {
        for (const TTapLine& line : exchange.Lines) {
            logged[line.Kind == TTapLine::lkRegister] += line.Bytes.repeated(line.Count);
            if (!line.Followed)
                flood << QStringLiteral("%1%2%3")
                             .arg(line.Kind == TTapLine::lkTill ? QStringLiteral("T:") : QStringLiteral("R:"),
                                  QString::fromLatin1(StrToHex(line.Bytes)))
                             .arg(line.Count > 1 ? QStringLiteral(" x%1").arg(line.Count) : QString());
        }
    }
    EXPECT_EQ(flood.join(QStringLiteral(" | ")).toStdString(), row.Lines);
    EXPECT_TRUE(logged[0] == sent[0]) << "the till's bytes";
    EXPECT_TRUE(logged[1] == sent[1]) << "the register's bytes";

    const QString file = FDir.filePath(QStringLiteral("flood.log"));
    {
        TTrafficLog log(file);
        for (const TTapExchange& exchange : exchanges)
            EXPECT_TRUE(WriteTapExchange(log, exchange));
    }
    QFile written(file);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray text = written.readAll();
    for (const TTapExchange& exchange : exchanges) {
        for (const TTapLine& line : exchange.Lines) {
            const QByteArray note = "] [TRACE] TPrinterProtocol: " + QByteArray(line.Kind == TTapLine::lkTill ? "->" : "<-")
                                    + ' ' + StrToHex(line.Bytes) + " (" + QByteArray::number(line.Count) + " times)\r\n";
            EXPECT_EQ(text.contains(note), line.Count > 1) << note.toStdString();
        }
    }
    TCommands commands;
    LoadLogFile(file, {}, commands);
    ASSERT_EQ(commands.size(), 1);
    EXPECT_EQ(commands[0].Data(), STATUS);
}

INSTANTIATE_TEST_SUITE_P(
    Tap, TapRecorderFlood,
    ::testing::Values(
        TFloodRow{"EnqFromTheTill", "05 x8", "15 x8", 100000, 0,
                  "T:05 x800000 | R:15 x800000"},
        TFloodRow{"PollingRoundByRound", "05", "15", 100000, 0, "T:05 x100000 | R:15 x100000"},
        TFloodRow{"JunkFromTheTill", "41 x1000", "", 1000, 0, "T:41 x1000000"},
        TFloodRow{"JunkFromTheRegister", "", "FF x4", 100000, 0, "R:FF x400000"},
        TFloodRow{"ARunLastsFiveSeconds", "41 x64", "", 20, 1000, "T:41 x320 | T:41 x320 | T:41 x320 | T:41 x320"},
        TFloodRow{"MixedJunkStaysAsItCame", "41 42", "", 3, 0, "T:41 42 41 42 41 42"},
        TFloodRow{"JunkAfterARunEndsIt", "41 41 41", "41 42", 2, 0, "T:41 x3 | R:41 42 | T:41 x3 | R:41 42"}),
    CaseName());

// Bytes the log could not keep up with end the exchange under way and are counted on one line
// after the runs, however often they come.
TEST(TapRecorderLost, LostBytesAreCountedOnOneLineAfterTheRuns)
{
    TTapRecorder recorder;
    for (const char* text : {"T:05", "R:15", Sale}) {
        const TStep step = ReadStep(text);
        recorder.Feed(step.Side, step.Bytes, 1000);
    }
    recorder.Lost(100, 1001);
    const QByteArray junk(1000, 'A');
    for (int i = 0; i < 3; ++i) {
        recorder.Feed(TTapSide::tsTill, junk, 1002 + i);
        recorder.Lost(200, 1002 + i);
    }
    recorder.Close(-8);
    QStringList lines;
    int32_t result = 0;
    for (const TTapExchange& exchange : recorder.TakeFinished()) {
        result = exchange.Result ? exchange.Result : result;
        for (const TTapLine& line : exchange.Lines)
            lines << QString::fromLatin1(line.Kind == TTapLine::lkNote ? line.Bytes : StrToHex(line.Bytes.left(2)))
                         + (line.Count > 1 ? QStringLiteral(" x%1").arg(line.Count) : QString());
    }
    EXPECT_EQ(lines.join(QStringLiteral(" | ")).toStdString(),
              "05 | 15 | 02 14 | 41 x3000 | 700 bytes crossed that are not written: the log fell behind");
    EXPECT_EQ(result, -9) << "the request cut short has no answer";
}

} // namespace
} // namespace kestrun::test
