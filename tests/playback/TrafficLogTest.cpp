// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaseName.h"
// The traffic log on a disk that refuses writes: the failure is told with the system's reason,
// and no later line continues a line the disk cut short.
#include "playback/TrafficLog.h"

#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace kestrun::test {
namespace {

QByteArray ReadAll(const QString& fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteExchange(TTrafficLog& log)
{
    log.Follow(log.Sent("\x05"));
    log.Follow(log.Received("\x15"));
}

TEST(TrafficLogFailure, FullDiskIsReportedWithTheSystemsReason)
{
    TakeTrafficLogFailure();
    TTrafficLog log(QStringLiteral("/dev/full"));
    WriteExchange(log);
    EXPECT_FALSE(log.Flush(0, {}));
    EXPECT_EQ(log.ErrorString(), qt_error_string(ENOSPC));
    const QString failure = TakeTrafficLogFailure();
    EXPECT_TRUE(failure.contains(QLatin1String("/dev/full"))) << failure.toStdString();
    EXPECT_TRUE(failure.contains(qt_error_string(ENOSPC))) << failure.toStdString();
    EXPECT_TRUE(TakeTrafficLogFailure().isEmpty()) << "a failure is handed over once";
}

TEST(TrafficLogFailure, LineCutByAnEarlierRunIsEndedFirst)
{
    QTemporaryDir dir;
    const QString fileName = dir.filePath(QStringLiteral("traffic.log"));
    QFile cut(fileName);
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write("[12.03.2024 10:15:30.123] [00001A2C] [DEBUG] TPri");
    cut.close();
    TTrafficLog log(fileName);
    WriteExchange(log);
    ASSERT_TRUE(log.Flush(0, {}));
    const QList<QByteArray> lines = ReadAll(fileName).split('\n');
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], "[12.03.2024 10:15:30.123] [00001A2C] [DEBUG] TPri\r");
    EXPECT_TRUE(lines[1].endsWith("[DEBUG] TPrinterProtocol -> 05\r")) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].endsWith("[DEBUG] TPrinterProtocol <- 15\r")) << lines[2].toStdString();
}

// The file size limit stands in for a disk that fills up in the middle of a write.
TEST(TrafficLogFailure, LineCutByAFullDiskIsEndedBeforeTheNextWrite)
{
    QTemporaryDir dir;
    const QString fileName = dir.filePath(QStringLiteral("traffic.log"));
    TTrafficLog log(fileName);
    rlimit saved = {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 80;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    WriteExchange(log);
    const bool written = log.Flush(0, {});
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_FALSE(written);
    EXPECT_FALSE(log.ErrorString().isEmpty());
    TakeTrafficLogFailure();

    WriteExchange(log);
    ASSERT_TRUE(log.Flush(0, {}));
    const QList<QByteArray> lines = ReadAll(fileName).split('\n');
    // The first exchange's second line was cut at byte 80; the next exchange starts on a line
    // of its own.
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[1].size(), 80 - lines[0].size() - 1 + 1) << lines[1].toStdString(); // the cut part and the CR added
    EXPECT_TRUE(lines[2].endsWith("[DEBUG] TPrinterProtocol -> 05\r")) << lines[2].toStdString();
    EXPECT_TRUE(lines[3].endsWith("[DEBUG] TPrinterProtocol <- 15\r")) << lines[3].toStdString();
}

} // namespace
} // namespace kestrun::test
