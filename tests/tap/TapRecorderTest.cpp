// The recorder on scripted traffic: the log it writes reads back as the exchanges the till
// completed, each once with the answer it acknowledged, and every byte is on one line in order.
#include "CaseName.h"
#include "log/Bytes.h"
#include "log/LogLoader.h"
#include "playback/Protocol1Frames.h"
#include "playback/TrafficLog.h"
#include "tap/TapLog.h"
#include "tap/TapRecorder.h"

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
                    (line.Kind == TTapLine::lkTill ? till : reg) += line.Bytes;
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

} // namespace
} // namespace kestrun::test
