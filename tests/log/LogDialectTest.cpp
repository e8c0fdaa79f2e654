// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/LogDialect.h"
#include "log/LogMarkers.h"
#include "log/LogStamp.h"

#include <gtest/gtest.h>

namespace kestrun {
namespace {

TEST(LogDialect, WritesTheUsualPrefix)
{
    const QDateTime time(QDate(2024, 3, 12), QTime(10, 15, 30, 12));
    QByteArray out;
    AppendLogLine(out, StampTimeText(time), ThreadText(0x1A2C), {"[", LevelDebug, "] ", "TPrinterProtocol -> 05"});
    EXPECT_EQ(out, "[12.03.2024 10:15:30.012] [00001A2C] [DEBUG] TPrinterProtocol -> 05\r\n");
}

TEST(LogDialect, ThreadTakesEightUpperCaseDigits)
{
    EXPECT_EQ(ThreadText(0), "00000000");
    EXPECT_EQ(ThreadText(0xFFFFFFFF), "FFFFFFFF");
    EXPECT_EQ(ThreadText(0xabc), "00000ABC");
}

// What the writer puts out, the reader takes in: the stamp and the request marker.
TEST(LogDialect, WrittenLineIsRead)
{
    const QDateTime time(QDate(2024, 2, 29), QTime(23, 59, 59, 999));
    QByteArray line;
    AppendLogLine(line, StampTimeText(time), ThreadText(7),
                  {"[", LevelDebug, "] ", WriterText(Protocol1Writer, SentArrow, "05")});
    line.chop(qsizetype(LineEnd.size()));
    TLineMarkers markers;
    markers.Scan(line);
    ASSERT_TRUE(markers.Has(TLogMarker::lmRequest1));
    EXPECT_EQ(line.sliced(markers.End(TLogMarker::lmRequest1)), "05");
    EXPECT_EQ(LogStampMs(line), time.toMSecsSinceEpoch() + time.offsetFromUtc() * 1000LL);
}

} // namespace
} // namespace kestrun
