// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaseName.h"
// The protocol-1 host against scripted device bytes: each read takes the next step of the script,
// so every timing the wire can show is played exactly, without waiting.
#include "QtPrint.h"
#include "log/Bytes.h"
#include "playback/ByteLink.h"
#include "playback/DriverErrors.h"
#include "playback/Protocol1Frames.h"
#include "playback/Protocol1Host.h"

#include "log/LogLoader.h"
#include "playback/TrafficLog.h"

#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace kestrun::test {
namespace {

const QByteArray Sale = QByteArray::fromHex("801E000000E8030000001027000000010000000000");
const QByteArray SaleAnswer = QByteArray::fromHex("80001E");

// Hex of what arrives at each read that waits; "-" for one that times out, "closed" for the
// device closing the connection. A read that does not wait, as when stale bytes are drained,
// finds nothing.
class TScriptedLink final : public IByteLink
{
public:
    using TOnWrite = std::function<void(const QString& hex)>;

    TScriptedLink(QStringList script, QStringList& written, TOnWrite onWrite = {})
        : FScript(std::move(script)), FWritten(written), FOnWrite(std::move(onWrite))
    {
    }

    void Open(int) override {}
    void Close() override {}
    void Write(QByteArrayView bytes, int) override
    {
        FWritten << QString::fromLatin1(StrToHex(bytes));
        if (FOnWrite)
            FOnWrite(FWritten.last());
    }
    QByteArray Read(int timeoutMs) override
    {
        if (timeoutMs == 0 || FScript.isEmpty())
            return {};
        const QString step = FScript.takeFirst();
        if (step == QLatin1String("closed"))
            throw TWireError{deConnectionClosed, {}};
        return step == QLatin1String("-") ? QByteArray() : QByteArray::fromHex(step.toLatin1());
    }

private:
    QStringList FScript;
    QStringList& FWritten;
    TOnWrite FOnWrite;
};

QString Hex(const QByteArray& bytes) { return QString::fromLatin1(StrToHex(bytes)); }

const QString Enq = QStringLiteral("05");
const QString Ack = QStringLiteral("06");
const QString Nak = QStringLiteral("15");
const QString Frame = Hex(Protocol1Frame(Sale));
const QString Answer = Hex(Protocol1Frame(SaleAnswer));

struct THostCase
{
    const char* Name;
    QStringList Script;    // what the device sends, read by read
    int32_t Result;
    QStringList Written;   // what the host sends
    const char* Cause = ""; // in the result's text, beside deNoAnswer's own
};

void PrintTo(const THostCase& c, std::ostream* os) { *os << c.Name; }

class Protocol1HostTest : public ::testing::TestWithParam<THostCase>
{
};

TEST_P(Protocol1HostTest, SendsTheFrameAgainOnlyAfterTheDevicesOwnNak)
{
    QStringList written;
    TProtocol1Host host(std::make_unique<TScriptedLink>(GetParam().Script, written), 1000, nullptr);
    const TLinkAnswer answer = host.Exchange(Sale, 1);
    EXPECT_EQ(answer.Code, GetParam().Result);
    EXPECT_EQ(Hex(answer.Frame), GetParam().Result == 0 ? Hex(SaleAnswer) : QString());
    EXPECT_EQ(written, GetParam().Written);
    if (answer.Code == deNoAnswer) {
        EXPECT_TRUE(answer.Description.isEmpty() || answer.Description.startsWith(DriverErrorDescription(deNoAnswer)))
            << answer.Description.toStdString();
        EXPECT_TRUE(answer.Description.contains(QString::fromUtf8(GetParam().Cause))) << answer.Description.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Wire, Protocol1HostTest,
    ::testing::Values(
        THostCase{"Clean", {Nak, Ack, Answer}, 0, {Enq, Frame, Ack}},
        THostCase{"AnswerInPieces", {Nak, Ack + " 02", "03 80", "00 1E", "9D"}, 0, {Enq, Frame, Ack}},
        // The first ENQ times out; its NAK comes late, and the second ENQ's NAK after the frame.
        THostCase{"LateNakIsNotARefusal", {"-", Nak, "-", Nak, "-"}, deNoAnswer, {Enq, Enq, Frame}},
        THostCase{"LateNakThenTheFramesAck", {"-", Nak, Nak, Ack, Answer}, 0, {Enq, Enq, Frame, Ack}},
        // A refusal is confirmed by asking: NAK to that ENQ says the device holds nothing.
        THostCase{"RefusedFrameGoesOutAgain", {Nak, Nak, "-", Nak, Ack, Answer}, 0, {Enq, Frame, Enq, Frame, Ack}},
        THostCase{"RefusedEveryTime", {Nak, Nak, "-", Nak, Nak, "-", Nak, Nak, "-"}, deNoAnswer,
                  {Enq, Frame, Enq, Frame, Enq, Frame}, "отверг"},
        // Two ready-NAKs to one ENQ: the second comes after the frame, which then runs for longer
        // than the timeout. Asked, the device ACKs: the frame is never sent again.
        THostCase{"DoubledReadyNakWhileTheFrameRuns", {Nak, Nak, "-", Ack, Answer}, 0, {Enq, Frame, Enq, Ack}},
        THostCase{"DoubledReadyNakAnswerComesOnTheEnq", {Nak, Nak, "-", Answer}, 0, {Enq, Frame, Enq, Ack}},
        THostCase{"RefusalUnconfirmedBySilence", {Nak, Nak, "-", "-"}, deNoAnswer, {Enq, Frame, Enq}},
        THostCase{"RefusalUnconfirmedByStrayByte", {Nak, Nak, "-", "FF"}, deNoAnswer, {Enq, Frame, Enq}},
        // After the frame has gone out every failure is "no answer", with its cause.
        THostCase{"AnswerBrokenEveryTime", {Nak, Ack, "02 03 80 00 1E 00", "02 03 80 00 1E 00", "02 03 80 00 1E 00", "02 03 80 00 1E 00"},
                  deNoAnswer, {Enq, Frame, Nak, Nak, Nak}, "некорректный кадр обмена"},
        THostCase{"ConnectionClosedAfterTheAck", {Nak, Ack, "closed"}, deNoAnswer, {Enq, Frame}, "соединение разорвано"},
        THostCase{"ConnectionClosedBeforeTheAck", {Nak, "closed"}, deNoAnswer, {Enq, Frame}, "соединение разорвано"},
        THostCase{"ConnectionClosedBeforeTheFrame", {"closed"}, deConnectionClosed, {Enq}},
        THostCase{"NakFollowedByAckWasStray", {Nak, Nak, Ack, Answer}, 0, {Enq, Frame, Ack}},
        THostCase{"StrayNakWithTheReply", {Nak + " " + Nak, Nak, "-"}, deNoAnswer, {Enq, Frame}},
        THostCase{"StrayByteMakesANakDoubtful", {"FF", Nak, Nak, "-"}, deNoAnswer, {Enq, Frame}},
        THostCase{"StrayAckBeforeTheReply", {Ack + " " + Nak, Ack, Answer}, 0, {Enq, Frame, Ack}},
        THostCase{"SilenceAfterTheFrameAsksWithEnq", {Nak, "-", "-", Ack, Answer}, 0, {Enq, Frame, Enq, Ack}},
        THostCase{"LostAnswer", {Nak, Ack, "-", Nak, "-"}, deNoAnswer, {Enq, Frame, Enq}},
        THostCase{"LostAnswerAfterEveryProbe", {Nak, Ack, "-", "-", "-", "-"}, deNoAnswer, {Enq, Frame, Enq, Enq, Enq}},
        THostCase{"BrokenAnswerAskedAgain", {Nak, Ack, "02 03 80 00 1E 00", Answer}, 0, {Enq, Frame, Nak, Ack}},
        THostCase{"DroppedByteAskedAgain", {Nak, Ack, "02 03 80 00 9D", "-", Answer}, 0, {Enq, Frame, Nak, Ack}},
        THostCase{"AnswerOfAnotherCommandIsNotTaken", {Nak, Ack, Hex(Protocol1Frame(QByteArray::fromHex("1000"))), "-", Ack, Answer},
                  0, {Enq, Frame, Enq, Ack}},
        THostCase{"OldAnswerDroppedBeforeTheRequest", {Ack, Hex(Protocol1Frame(QByteArray::fromHex("1000"))), Nak, Ack, Answer},
                  0, {Enq, Ack, Enq, Frame, Ack}},
        THostCase{"AnswerWithoutAck", {Nak, Answer}, 0, {Enq, Frame, Ack}},
        THostCase{"SilentDevice", {}, deNoLink, {Enq, Enq, Enq}},
        THostCase{"BytesButNeverAReply", QStringList(40, QStringLiteral("FF")), deBadFrame, QStringList(3, Enq)}),
    kestrun::test::CaseName());

// A process killed while the device runs the request leaves the request in the log, and a
// failure reads back as the driver's error row with its code.
TEST(Protocol1HostLog, RequestIsOnDiskBeforeItGoesOutAndTheFailureReadsBackWithItsCode)
{
    QTemporaryDir dir;
    const QString logFile = dir.filePath(QStringLiteral("traffic.log"));
    bool frameOnDisk = false;
    QStringList written;
    const auto checkLog = [&](const QString& hex) {
        QFile file(logFile);
        if (hex == Frame)
            frameOnDisk = file.open(QIODevice::ReadOnly) && file.readAll().contains("[DEBUG] TPrinterProtocol -> " + Frame.toLatin1());
    };
    TProtocol1Host host(std::make_unique<TScriptedLink>(QStringList{Nak, Ack, QStringLiteral("closed")}, written, checkLog),
                        1000, std::make_unique<TTrafficLog>(logFile));
    EXPECT_EQ(host.Exchange(Sale, 1).Code, deNoAnswer);
    EXPECT_TRUE(frameOnDisk);

    TCommands read;
    LoadLogFile(logFile, {}, read);
    ASSERT_EQ(read.size(), 2);
    EXPECT_EQ(read[0].Data(), StrToHex(Sale));
    EXPECT_FALSE(read[0].HasAnswerData());
    EXPECT_FALSE(read[1].HasData());
    EXPECT_EQ(read[1].DriverError(), QStringLiteral("- Устройство не ответило на команду (соединение разорвано) (-9)"));
}

} // namespace
} // namespace kestrun::test
