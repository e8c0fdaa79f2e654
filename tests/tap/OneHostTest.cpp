// SPDX-License-Identifier: GPL-3.0-or-later
// The emulator's and the tap's listening endpoint keep the host that is connected: other hosts
// are refused at once and named in the reports, a bare connect-and-close disturbs nothing, and a
// till replaying through either while others keep connecting gets every answer, each command run
// once. The same checks run against the emulator alone and the tap in front of it.
#include "../wire/EmulatorThread.h"
#include "CaseName.h"
#include "TapThread.h"
#include "log/Bytes.h"
#include "log/Exception.h"
#include "log/LogLoader.h"
#include "playback/DeviceLink.h"
#include "playback/Protocol1Frames.h"

#include <QNetworkInterface>
#include <QNetworkProxy>
#include <QTemporaryDir>
#include <random>

namespace kestrun::test {
namespace {

constexpr int WaitMs = 10000;

// A register's line: the emulator listening, alone or behind a tap of this process.
class TLine
{
public:
    TLine(bool tapped, const QString& options, const QString& logFile)
        : FRegister("--tcp", QStringLiteral("shift=open,") + options)
    {
        if (tapped)
            FTap = std::make_unique<TTapThread>(FRegister.DeviceText(), logFile);
    }

    QString DeviceText() const { return FTap ? FTap->DeviceText() : FRegister.DeviceText(); }
    uint16_t Port() const { return static_cast<uint16_t>(DeviceText().section(u':', -1).toUInt()); }
    QStringList Reports() const { return FTap ? FTap->Reports() : FRegister.Reports(); }
    QList<TExecution> Executed() const { return FRegister.Tally().Executed; }
    // Ends the tap, its log written whole.
    void StopTap()
    {
        if (FTap)
            FTap->Stop();
    }

private:
    TEmulatorThread FRegister;
    std::unique_ptr<TTapThread> FTap;
};

std::unique_ptr<QTcpSocket> ConnectTo(uint16_t port)
{
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QHostAddress::LocalHost, port);
    EXPECT_TRUE(socket->waitForConnected(WaitMs)) << socket->errorString().toStdString();
    return socket;
}

// Sends the bytes and returns the first `count` bytes that come back, fewer when none come in time.
QByteArray Ask(QTcpSocket& socket, const QByteArray& bytes, qsizetype count)
{
    socket.write(bytes);
    socket.waitForBytesWritten(WaitMs);
    QByteArray got;
    while (got.size() < count && (socket.bytesAvailable() > 0 || socket.waitForReadyRead(WaitMs)))
        got += socket.read(count - got.size());
    return got;
}

// True when the other side closed the connection without sending a byte.
bool ClosedEmpty(QTcpSocket& socket)
{
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(WaitMs)) {
    }
    return socket.state() != QAbstractSocket::ConnectedState && socket.readAll().isEmpty();
}

// A till that reads nothing: the bytes that come stay in the kernel, whose buffer is kept small.
std::unique_ptr<QTcpSocket> ConnectDeaf(uint16_t port)
{
    auto socket = std::make_unique<QTcpSocket>();
    socket->setReadBufferSize(1);
    socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
    socket->connectToHost(QHostAddress::LocalHost, port);
    EXPECT_TRUE(socket->waitForConnected(WaitMs)) << socket->errorString().toStdString();
    return socket;
}

// Sends the chunk again and again until the other side closes the line or `limit` bytes went;
// returns the bytes sent.
qint64 FloodUntilClosed(QTcpSocket& socket, const QByteArray& chunk, qint64 limit)
{
    qint64 sent = 0;
    while (sent < limit && socket.state() == QAbstractSocket::ConnectedState) {
        socket.write(chunk);
        socket.waitForBytesWritten(WaitMs);
        sent += chunk.size();
    }
    return sent;
}

QString Local(const QTcpSocket& socket) { return QStringLiteral("127.0.0.1:%1").arg(socket.localPort()); }

const QByteArray Enq(1, char(ctlENQ));
const QByteArray Nak(1, char(ctlNAK));

const char* const Receipt[] = {
    "80 1E 00 00 00 E8 03 00 00 00 10 27 00 00 00 01 00 00 00 00",
    "89 1E 00 00 00",
    "85 1E 00 00 00 40 9C 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00",
    "11 1E 00 00 00",
};

class OneHost : public ::testing::TestWithParam<bool>
{
protected:
    void SetUp() override { ASSERT_TRUE(FDir.isValid()); }
    std::unique_ptr<TLine> MakeLine(const QString& options = {})
    {
        return std::make_unique<TLine>(GetParam(), options, FDir.filePath(QStringLiteral("tap.log")));
    }
    QTemporaryDir FDir;
};

TEST_P(OneHost, AnotherHostIsRefusedAndNamedWhileOneIsConnected)
{
    const auto line = MakeLine();
    const auto till = ConnectTo(line->Port());
    ASSERT_EQ(Ask(*till, Enq, 1), Nak);
    const auto other = ConnectTo(line->Port());
    const QString otherName = Local(*other);
    EXPECT_TRUE(ClosedEmpty(*other));
    EXPECT_EQ(Ask(*till, Enq, 1), Nak) << "the till keeps its line";
    EXPECT_TRUE(line->Reports().contains(
        QStringLiteral("refused the connection from %1: %2 is connected, one host at a time").arg(otherName, Local(*till))))
        << line->Reports().join(u'\n').toStdString();
    // Once the till has gone, the next host is taken.
    till->disconnectFromHost();
    QDeadlineTimer deadline(WaitMs);
    QByteArray answer;
    while (answer.isEmpty() && !deadline.hasExpired()) {
        const auto next = ConnectTo(line->Port());
        answer = Ask(*next, Enq, 1);
    }
    EXPECT_EQ(answer, Nak);
}

TEST_P(OneHost, ConnectAndCloseLeavesTheTillAlone)
{
    const auto line = MakeLine();
    const auto till = ConnectTo(line->Port());
    ASSERT_EQ(Ask(*till, Enq, 1), Nak);
    for (int i = 0; i < 300; ++i)
        ConnectTo(line->Port())->abort();
    EXPECT_EQ(Ask(*till, Enq, 1), Nak);
    EXPECT_EQ(till->state(), QAbstractSocket::ConnectedState);
    const QStringList reports = line->Reports();
    EXPECT_EQ(reports.filter(QStringLiteral("the till is connected")).size(), GetParam() ? 1 : 0);
    EXPECT_TRUE(reports.filter(QStringLiteral("went away")).isEmpty()) << reports.join(u'\n').toStdString();
}

// The register answers slowly, so that the other host comes while the till waits for its answer.
TEST_P(OneHost, AHostComingDuringAnExchangeGetsNothingOfIt)
{
    const auto line = MakeLine(QStringLiteral("slow=20"));
    const auto till = ConnectTo(line->Port());
    ASSERT_EQ(Ask(*till, Enq, 1), Nak);
    till->write(Protocol1Frame(HexToBytes(Receipt[3])));
    ASSERT_TRUE(till->waitForReadyRead(WaitMs));
    const auto other = ConnectTo(line->Port());
    other->write(QByteArray(1, char(ctlACK)));
    EXPECT_TRUE(ClosedEmpty(*other));
    // ACK, then the answer frame: STX, length, the answer, LRC.
    QByteArray got = till->readAll();
    const auto whole = [&got] { return got.size() >= 3 && got.size() >= 4 + static_cast<uint8_t>(got[2]); };
    while (!whole() && till->waitForReadyRead(WaitMs))
        got += till->readAll();
    ASSERT_FALSE(line->Executed().isEmpty());
    EXPECT_EQ(got.toHex(' ').toStdString(),
              (QByteArray(1, char(ctlACK)) + Protocol1Frame(line->Executed()[0].Answer)).toHex(' ').toStdString());
}

// A till replaying receipts while other hosts connect at random moments, some of them sending a
// sale or acknowledging whatever came: every command runs once and every answer reaches the till.
TEST_P(OneHost, AReplayWhileOthersKeepComingRunsEveryCommandOnce)
{
    const auto line = MakeLine();
    // The till comes first and holds the line; the others come while it replays.
    const std::unique_ptr<IDeviceLink> till = CreateDeviceLink(line->DeviceText() + QStringLiteral(",timeout=2000"));
    QList<QByteArray> requests{HexToBytes(Receipt[3])};
    QList<QByteArray> answers{till->Exchange(requests[0]).Frame};
    std::atomic<bool> done{false};
    std::atomic<int> intruders{0};
    std::atomic<qsizetype> intrudersGot{0};
    std::thread others([&, port = line->Port()] {
        std::mt19937 random(7);
        const QByteArray sale = Enq + Protocol1Frame(HexToBytes(Receipt[0])) + char(ctlACK);
        while (!done) {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, port);
            if (socket.waitForConnected(WaitMs)) {
                ++intruders;
                if (random() % 2) {
                    socket.write(random() % 2 ? sale : QByteArray(1, char(ctlACK)));
                    socket.waitForBytesWritten(WaitMs);
                    socket.waitForReadyRead(static_cast<int>(random() % 20));
                    intrudersGot += socket.readAll().size();
                }
                socket.abort();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(random() % 10));
        }
    });
    constexpr int Intruders = 60;
    for (int round = 0; intruders < Intruders && round < 100000; ++round) {
        for (const char* request : Receipt) {
            requests << HexToBytes(request);
            const TLinkAnswer answer = till->Exchange(requests.back());
            EXPECT_EQ(answer.Code, 0) << request;
            answers << answer.Frame;
        }
    }
    done = true;
    others.join();
    EXPECT_GE(intruders, Intruders);
    EXPECT_EQ(intrudersGot, 0);
    const QList<TExecution> executed = line->Executed();
    ASSERT_EQ(executed.size(), requests.size());
    for (qsizetype i = 0; i < requests.size(); ++i) {
        EXPECT_EQ(executed[i].Request, requests[i]) << i;
        EXPECT_EQ(executed[i].Answer, answers[i]) << i;
    }
    if (!GetParam())
        return;
    EXPECT_EQ(line->Reports().filter(QStringLiteral("the till is connected")).size(), 1);
    // The tap's log holds the till's exchanges, each with its answer, and nothing of the others'.
    line->StopTap();
    TCommands logged;
    LoadLogFile(FDir.filePath(QStringLiteral("tap.log")), {}, logged);
    ASSERT_EQ(logged.size(), requests.size());
    for (qsizetype i = 0; i < requests.size(); ++i) {
        EXPECT_EQ(logged[i].Data(), StrToHex(requests[i])) << i;
        EXPECT_EQ(logged[i].AnswerData().trimmed(), StrToHex(answers[i])) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Line, OneHost, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "ThroughTheTap" : "Emulator"; });

// A till that sends ENQ after ENQ and reads none of the NAKs is dropped once 1 MiB of them waits,
// and named in the reports.
template <typename TServer>
void ExpectTheDeafTillDropped(const TServer& server)
{
    const auto till = ConnectDeaf(static_cast<uint16_t>(server.DeviceText().section(u':', -1).toUInt()));
    const QString name = Local(*till);
    const qint64 sent = FloodUntilClosed(*till, QByteArray(64 << 10, char(ctlENQ)), qint64(256) << 20);
    EXPECT_NE(till->state(), QAbstractSocket::ConnectedState) << sent << " bytes sent";
    EXPECT_FALSE(server.Reports().filter(QStringLiteral("dropped the connection from %1: it does not read (").arg(name)).isEmpty())
        << server.Reports().join(u'\n').toStdString();
}

TEST(OneHostEmulator, AHostThatDoesNotReadIsDropped) { ExpectTheDeafTillDropped(TEmulatorThread("--tcp")); }

// The register on the tap's own thread takes every byte at once: only the till can fall behind.
TEST(OneHostTap, ATillThatDoesNotReadIsDropped)
{
    QTemporaryDir dir;
    ExpectTheDeafTillDropped(TTapThread(QStringLiteral("emulator"), dir.filePath(QStringLiteral("tap.log"))));
}

// An emulator that sends slowly to a host that floods it and reads nothing drops the host rather
// than keeping what it has still to send.
TEST(OneHostEmulator, ASlowEmulatorDropsAHostThatFloodsIt)
{
    const TEmulatorThread emulator("--tcp", QStringLiteral("slow=1"));
    const auto till = ConnectDeaf(static_cast<uint16_t>(emulator.DeviceText().section(u':', -1).toUInt()));
    const qint64 sent = FloodUntilClosed(*till, QByteArray(64 << 10, char(ctlENQ)), qint64(64) << 20);
    EXPECT_NE(till->state(), QAbstractSocket::ConnectedState) << sent << " bytes sent";
}

// A register that takes nothing (it never even accepts the connection) and a till that keeps
// sending: the till is dropped once 1 MiB waits for the register.
TEST(OneHostTap, ATillSendingFasterThanTheRegisterTakesIsDropped)
{
    QTemporaryDir dir;
    QTcpServer blackHole;
    ASSERT_TRUE(blackHole.listen(QHostAddress::LocalHost));
    TTapThread tap(QStringLiteral("tcp:127.0.0.1:%1").arg(blackHole.serverPort()), dir.filePath(QStringLiteral("tap.log")));
    const auto till = ConnectTo(static_cast<uint16_t>(tap.DeviceText().section(u':', -1).toUInt()));
    const qint64 sent = FloodUntilClosed(*till, QByteArray(64 << 10, 'A'), qint64(256) << 20);
    EXPECT_NE(till->state(), QAbstractSocket::ConnectedState) << sent << " bytes sent";
    EXPECT_FALSE(tap.Reports().filter(QStringLiteral("the till sends faster than the register takes it (")).isEmpty())
        << tap.Reports().join(u'\n').toStdString();
}

TEST(OneHostTap, TheTillIsNamedWhenItConnects)
{
    QTemporaryDir dir;
    TTapThread tap(QStringLiteral("emulator:shift=open"), dir.filePath(QStringLiteral("tap.log")));
    const auto till = ConnectTo(static_cast<uint16_t>(tap.DeviceText().section(u':', -1).toUInt()));
    ASSERT_EQ(Ask(*till, Enq, 1), Nak);
    EXPECT_EQ(tap.Reports().value(0), QStringLiteral("the till is connected from %1").arg(Local(*till)));
}

struct TAllowRow
{
    const char* Name;
    QStringList Allowed;
    const char* Peer;
    bool Allows;
    bool Everywhere; // listens on every address rather than 127.0.0.1
};

void PrintTo(const TAllowRow& row, std::ostream* os) { *os << row.Name; }

class AllowedHosts : public ::testing::TestWithParam<TAllowRow>
{
};

TEST_P(AllowedHosts, LetInThisMachineAndTheHostsNamed)
{
    const TAllowRow& row = GetParam();
    const TAllowedHosts allowed(row.Allowed);
    EXPECT_EQ(allowed.Allows(QHostAddress(QString::fromLatin1(row.Peer))), row.Allows);
    EXPECT_EQ(allowed.ListenAddress(), row.Everywhere ? QHostAddress(QHostAddress::Any) : QHostAddress(QHostAddress::LocalHost));
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, AllowedHosts,
    ::testing::Values(TAllowRow{"Loopback", {}, "127.0.0.1", true, false},
                      TAllowRow{"OtherLoopback", {}, "127.0.0.2", true, false},
                      TAllowRow{"Ipv6Loopback", {}, "::1", true, false},
                      TAllowRow{"MappedLoopback", {}, "::ffff:127.0.0.1", true, false},
                      TAllowRow{"ElsewhereByDefault", {}, "192.0.2.7", false, false},
                      TAllowRow{"Named", {"192.0.2.7"}, "192.0.2.7", true, true},
                      TAllowRow{"NamedMapped", {"192.0.2.7"}, "::ffff:192.0.2.7", true, true},
                      TAllowRow{"NamedOthersNot", {"192.0.2.7"}, "192.0.2.8", false, true},
                      TAllowRow{"LoopbackStaysIn", {"192.0.2.7"}, "127.0.0.1", true, true},
                      TAllowRow{"Repeated", {"192.0.2.7", "2001:db8::7"}, "2001:db8::7", true, true},
                      TAllowRow{"NamedLoopbackOnly", {"127.0.0.1"}, "192.0.2.7", false, false},
                      TAllowRow{"Ipv6LoopbackListensEverywhere", {"::1"}, "::1", true, true}),
    CaseName());

TEST(AllowedHostsText, NamesAndNetworksAreRefused)
{
    for (const char* text : {"", "localhost", "192.0.2.0/24", "0.0.0.0", "::", "255.255.255.255", "224.0.0.1"})
        EXPECT_THROW(TAllowedHosts({QString::fromLatin1(text)}), Exception) << text;
}

// A host of this machine reached through an address that is not loopback comes as a host
// elsewhere: refused unless allowed.
TEST(AllowedHostsLine, AHostElsewhereComesInOnlyWhenAllowed)
{
    QHostAddress own;
    for (const QHostAddress& address : QNetworkInterface::allAddresses())
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback())
            own = address;
    if (own.isNull())
        GTEST_SKIP() << "no address besides loopback";
    for (const bool allow : {false, true}) {
        SCOPED_TRACE(allow ? "allowed" : "not allowed");
        const TEmulatorThread emulator("--tcp", {}, {allow ? own.toString() : QStringLiteral("192.0.2.7")});
        QTcpSocket socket;
        // Straight there: asking for the system's proxy for a host that is not loopback starts
        // threads of the proxy library.
        socket.setProxy(QNetworkProxy::NoProxy);
        socket.bind(own);
        socket.connectToHost(own, static_cast<uint16_t>(emulator.DeviceText().section(u':', -1).toUInt()));
        ASSERT_TRUE(socket.waitForConnected(WaitMs)) << socket.errorString().toStdString();
        const uint16_t localPort = socket.localPort();
        if (allow) {
            EXPECT_EQ(Ask(socket, Enq, 1), Nak);
        } else {
            EXPECT_TRUE(ClosedEmpty(socket));
            EXPECT_EQ(emulator.Reports().value(0),
                      QStringLiteral("refused the connection from %1:%2: the host is not allowed (--allow)")
                          .arg(own.toString())
                          .arg(localPort));
        }
    }
}

} // namespace
} // namespace kestrun::test
