// SPDX-License-Identifier: GPL-3.0-or-later
// The tap on a thread of this process, between the wire driver as the till and the emulator,
// in-process or on a thread of its own: what the till got, what the emulator ran and what the
// log reads back agree; a log the disk refuses changes nothing of the traffic.
#include "../wire/EmulatorThread.h"
#include "log/Bytes.h"
#include "log/LogLoader.h"
#include "CaseName.h"
#include "TapThread.h"
#include "tap/TapRecorder.h"
#include "playback/DeviceLink.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <QThread>
#include <algorithm>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrun::test {
namespace {

const char* const Requests[] = {
    "80 1E 00 00 00 E8 03 00 00 00 10 27 00 00 00 01 00 00 00 00",
    "89 1E 00 00 00",
    "85 1E 00 00 00 40 9C 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00",
    "11 1E 00 00 00",
};

// The requests through the tap; the answers the till took, empty for a failed exchange.
QList<QByteArray> Play(const QString& tapDeviceText)
{
    const std::unique_ptr<IDeviceLink> till = CreateDeviceLink(tapDeviceText + QStringLiteral(",timeout=300"));
    QList<QByteArray> answers;
    for (const char* request : Requests) {
        const TLinkAnswer answer = till->Exchange(HexToBytes(request));
        answers << (answer.Code == 0 ? answer.Frame : QByteArray());
    }
    return answers;
}

TCommands ReadLog(const QString& file)
{
    TCommands commands;
    LoadLogFile(file, {}, commands);
    return commands;
}

class TapThread : public ::testing::TestWithParam<const char*>
{
protected:
    void SetUp() override { ASSERT_TRUE(FDir.isValid()); }
    QString LogFile() const { return FDir.filePath(QStringLiteral("tap.log")); }
    QTemporaryDir FDir;
};

TEST_P(TapThread, TillEmulatorAndLogAgree)
{
    const TEmulatorThread emulator("--tcp", QStringLiteral("shift=open,") + QLatin1String(GetParam()));
    TTapThread tap(emulator.DeviceText(), LogFile());
    const QList<QByteArray> answers = Play(tap.DeviceText());
    QThread::msleep(100);
    tap.Stop();
    const QList<TExecution> executed = emulator.Tally().Executed;
    const TCommands logged = ReadLog(LogFile());

    ASSERT_EQ(logged.size(), qsizetype(std::size(Requests)));
    qsizetype e = 0;
    for (qsizetype i = 0; i < logged.size(); ++i) {
        const QByteArray request = HexToBytes(Requests[i]);
        EXPECT_EQ(logged[i].Data().toStdString(), StrToHex(request).toStdString());
        EXPECT_EQ(logged[i].AnswerData().trimmed().toStdString(), StrToHex(answers[i]).toStdString()) << Requests[i];
        if (answers[i].isEmpty())
            continue;
        ASSERT_LT(e, executed.size());
        EXPECT_EQ(executed[e].Request, request);
        EXPECT_EQ(executed[e].Answer, answers[i]);
        ++e;
    }
    EXPECT_EQ(e, executed.size()) << "commands run that the till got no answer to";
    EXPECT_TRUE(tap.Reports().value(0).startsWith(QLatin1String("the till is connected from 127.0.0.1:")))
        << tap.Reports().join(u'\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Tap, TapThread, ::testing::Values("", "badlrc=80,drop=89,stray=15,reject=85,noanswer=11"),
                         [](const auto& info) { return info.index == 0 ? "Clean" : "Faults"; });

TEST(TapThreadLog, RefusedLogIsReportedAndTheTrafficGoesOn)
{
    TTapThread tap(QStringLiteral("emulator:shift=open"), QStringLiteral("/dev/full"));
    const QList<QByteArray> answers = Play(tap.DeviceText());
    tap.Stop();
    for (const QByteArray& answer : answers)
        EXPECT_EQ(answer.mid(1, 1).toHex().toStdString(), "00") << "every request succeeds: " << answer.toHex(' ').toStdString();
    EXPECT_TRUE(tap.Reports().contains(QStringLiteral("cannot write the log /dev/full: No space left on device; the traffic goes on")))
        << tap.Reports().join(u'\n').toStdString();
}

TEST(TapThreadLog, RemovedLogIsWrittenAnew)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("tap.log"));
    TTapThread tap(QStringLiteral("emulator:shift=open"), file);
    ASSERT_TRUE(QFile::remove(file));
    Play(tap.DeviceText());
    tap.Stop();
    EXPECT_EQ(ReadLog(file).size(), qsizetype(std::size(Requests)));
    EXPECT_TRUE(tap.Reports().contains(QStringLiteral("the log %1 was removed; it is written anew").arg(file)));
}

// A request the register never answers is in the file while the tap still runs, once the line
// has been quiet a while, so that a reader following the file sees it.
TEST(TapThreadLog, AnUnansweredRequestReachesTheFileWhenTheLineFallsQuiet)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("tap.log"));
    TTapThread tap(QStringLiteral("emulator:shift=open,noanswer=11"), file);
    {
        const std::unique_ptr<IDeviceLink> till = CreateDeviceLink(tap.DeviceText() + QStringLiteral(",timeout=200"));
        EXPECT_LT(till->Exchange(HexToBytes("11 1E 00 00 00")).Code, 0);
        // The till stays connected and says nothing more.
        QDeadlineTimer deadline(60000);
        while (ReadLog(file).isEmpty() && !deadline.hasExpired())
            QThread::msleep(200);
    }
    const TCommands logged = ReadLog(file);
    ASSERT_EQ(logged.size(), 1);
    EXPECT_EQ(logged[0].Data(), "11 1E 00 00 00");
    EXPECT_TRUE(logged[0].AnswerData().isEmpty());
}

struct TTillFloodRow
{
    const char* Name;
    char Byte;
    qint64 Bytes;
    qint64 Answers; // the bytes the register sends back
};

void PrintTo(const TTillFloodRow& row, std::ostream* os) { *os << row.Name; }

class TapFlood : public ::testing::TestWithParam<TTillFloodRow>
{
};

// A till that floods the line with one byte, reading what comes back, then a till that asks for
// the status: the flood is a few lines of the log, and the status exchange reads back after it.
TEST_P(TapFlood, AFloodIsAFewLinesOfTheLog)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("tap.log"));
    TTapThread tap(QStringLiteral("emulator:shift=open"), file);
    QElapsedTimer flood;
    {
        QTcpSocket till;
        till.connectToHost(QHostAddress::LocalHost, static_cast<uint16_t>(tap.DeviceText().section(u':', -1).toUInt()));
        ASSERT_TRUE(till.waitForConnected(10000));
        const QByteArray chunk(64 << 10, GetParam().Byte);
        flood.start();
        qint64 answers = 0;
        for (qint64 sent = 0; sent < GetParam().Bytes && till.state() == QAbstractSocket::ConnectedState; sent += chunk.size()) {
            till.write(chunk);
            till.waitForBytesWritten(10000);
            answers += till.readAll().size();
        }
        // All read before the close, which would else throw away what the tap has not read yet.
        while (answers < GetParam().Answers && till.waitForReadyRead(10000))
            answers += till.readAll().size();
        EXPECT_EQ(answers, GetParam().Answers);
        EXPECT_EQ(till.state(), QAbstractSocket::ConnectedState);
        till.disconnectFromHost();
        if (till.state() != QAbstractSocket::UnconnectedState)
            till.waitForDisconnected(10000);
    }
    // The status goes across until the log holds it answered: on a slow machine the log may still
    // be behind the flood, and then drops what crosses, as it must to stay within its memory.
    const auto answered = [](const TCommands& commands) {
        return std::any_of(commands.begin(), commands.end(),
                           [](const TCommand& command) { return command.AnswerData().startsWith("10 00"); });
    };
    QDeadlineTimer deadline(60000);
    TLinkAnswer status;
    while (!deadline.hasExpired() && !answered(ReadLog(file))) {
        status = CreateDeviceLink(tap.DeviceText())->Exchange(HexToBytes("10 1E 00 00 00"));
        QThread::msleep(status.Code == 0 ? 500 : 50);
    }
    EXPECT_EQ(status.Code, 0);
    // The tap is through the flood once the status came back across it.
    const qint64 floodMs = flood.elapsed();
    tap.Stop();
    QFile log(file);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray text = log.readAll();
    // A run a side, and the count of what the log could not keep up with, for each span a run
    // may last: a slow machine (or a sanitizer) floods for longer. Only the flood's lines count:
    // a status exchange cut short on such a machine leaves loose lines of its own.
    const qint64 spans = 1 + floodMs / TTapRecorder::RunSpanMs;
    const qsizetype floodLines = text.count(" times)") + text.count(" the log fell behind");
    EXPECT_LE(floodLines, 3 * spans) << text.left(4000).toStdString();
    const TCommands commands = ReadLog(file);
    EXPECT_TRUE(answered(commands));
    for (const TCommand& command : commands)
        EXPECT_EQ(command.Data(), "10 1E 00 00 00");
}

INSTANTIATE_TEST_SUITE_P(Tap, TapFlood,
                         ::testing::Values(TTillFloodRow{"Enq", 0x05, 1 << 20, 1 << 20}, TTillFloodRow{"Junk", 0x41, 32 << 20, 0}),
                         CaseName());

// A log thread held up by a file nobody reads while a flood crosses: what does not fit the bound
// is counted instead of kept, and the log tells how much after what it kept.
TEST(TapLogBound, WhatCrossesBeyondTheBoundIsCountedNotKept)
{
    QTemporaryDir dir;
    const QByteArray fifo = QFile::encodeName(dir.filePath(QStringLiteral("tap.log")));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    // Opened for reading first, so that the log opens it for writing at once; read only later.
    const int reader = ::open(fifo.constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    QByteArray text;
    std::thread drain;
    int64_t crossed = 0;
    // Bytes of many values make lines of hex, far more than the pipe holds.
    QByteArray junk;
    for (int i = 0; i < (256 << 10); ++i)
        junk += char(0x40 + i % 7);
    {
        TTapLog log(QFile::decodeName(fifo), 1, [](const QString&) {});
        log.Crossed(TTapSide::tsTill, junk);
        crossed += junk.size();
        const QByteArray flood(64 << 10, 'A');
        for (int i = 0; i < 512; ++i) {
            log.Crossed(TTapSide::tsTill, flood);
            crossed += flood.size();
        }
        drain = std::thread([reader, &text] {
            ::fcntl(reader, F_SETFL, 0);
            char buffer[65536];
            for (ssize_t n; (n = ::read(reader, buffer, sizeof buffer)) > 0;)
                text.append(buffer, n);
        });
    }
    drain.join();
    ::close(reader);
    // One line for each time the log thread found bytes skipped, after what it kept.
    const QRegularExpression note(
        QStringLiteral("\\] TPrinterProtocol: (\\d+) bytes crossed that are not written: the log fell behind\r\n"));
    int64_t skipped = 0;
    qsizetype end = 0;
    for (QRegularExpressionMatchIterator i = note.globalMatch(QString::fromLatin1(text)); i.hasNext();) {
        const QRegularExpressionMatch m = i.next();
        skipped += m.captured(1).toLongLong();
        end = m.capturedEnd();
    }
    EXPECT_GE(skipped, crossed - TTapLog::MaxBehindBytes - junk.size());
    EXPECT_EQ(end, text.size()) << "the counts come after what was kept";
}

} // namespace
} // namespace kestrun::test
