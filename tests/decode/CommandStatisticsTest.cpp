// SPDX-License-Identifier: GPL-3.0-or-later
#include "decode/CommandStatistics.h"

#include <QString>
#include <gtest/gtest.h>

namespace kestrun {
namespace {

using namespace Qt::StringLiterals;

// A record of the given request, answer and duration, logged at 10:15:SS.
TCommand Logged(const char* data, const char* answer, int32_t durationMs, int second = 30)
{
    TCommand c;
    c.SetData(data);
    c.SetAnswerData(answer);
    c.SetAttributes(QStringLiteral("[12.03.2024 10:15:%1.000] [00001A2C]").arg(second, 2, 10, QLatin1Char('0')).toLatin1());
    c.DurationMs = durationMs;
    return c;
}

TCommand DriverError()
{
    TCommand c;
    c.SetDriverError(u"- Нет связи"_s);
    return c;
}

TDurationSummary Summary(qsizetype timed, int32_t min, int32_t median, int32_t p95, int32_t max)
{
    return {timed, min, median, p95, max};
}

TEST(CommandStatistics, GroupsByCodeWithCountsErrorsAndNearestRankPercentiles)
{
    const TCommands commands = {
        Logged("10 1E", "10 00", 5),          // 0
        Logged("FF 46 00", "FF 46 00", 40),   // 1
        Logged("10 1E", "10 00", 1),          // 2
        Logged("10 1E", "", NoDuration),      // 3: no answer, failed
        DriverError(),                        // 4
        Logged("10 1E", "10 37", 100),        // 5: failed with an answer
        Logged("10 1E", "10 00", 3),          // 6
    };
    const TCommandStatistics s = GetCommandStatistics(commands);
    ASSERT_EQ(s.Codes.size(), 3);

    EXPECT_EQ(s.Codes[0].Code, DriverErrorGroup);
    EXPECT_EQ(s.Codes[0].Name, u"Ошибка драйвера"_s);
    EXPECT_EQ(s.Codes[0].Count, 1);
    EXPECT_EQ(s.Codes[0].Errors, 1);
    EXPECT_EQ(s.Codes[0].Durations, TDurationSummary{});

    // 1 3 5 100: the median is the 2nd value, the 95th percentile the 4th.
    EXPECT_EQ(s.Codes[1].Code, 0x10);
    EXPECT_EQ(s.Codes[1].Name, u"Короткий запрос состояния"_s);
    EXPECT_EQ(s.Codes[1].Count, 5);
    EXPECT_EQ(s.Codes[1].Errors, 2);
    EXPECT_EQ(s.Codes[1].Durations, Summary(4, 1, 3, 100, 100));

    EXPECT_EQ(s.Codes[2].Code, 0xFF46);
    EXPECT_EQ(s.Codes[2].Durations, Summary(1, 40, 40, 40, 40));

    // 1 3 5 40 100.
    EXPECT_EQ(s.Total.Count, 7);
    EXPECT_EQ(s.Total.Errors, 3);
    EXPECT_EQ(s.Total.Durations, Summary(5, 1, 5, 100, 100));

    ASSERT_EQ(s.Slowest.size(), 5);
    const qsizetype order[] = {5, 1, 0, 6, 2};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(s.Slowest[i].Index, order[i]) << i;
    EXPECT_EQ(s.Slowest[0].Time, u"12.03.2024 10:15:30.000"_s);
    EXPECT_EQ(s.Slowest[1].Name, s.Codes[2].Name);
}

TEST(CommandStatistics, KeepsTheTwentySlowestAndTheEarlierOfEqualOnes)
{
    TCommands commands;
    for (int i = 0; i < 50; ++i)
        commands.append(Logged("10", "10 00", i % 25));
    const TCommandStatistics s = GetCommandStatistics(commands);
    ASSERT_EQ(s.Slowest.size(), SlowestCount);
    // 24 at rows 24 and 49, 23 at 23 and 48, ... 15 at 15 and 40.
    for (qsizetype i = 0; i < SlowestCount; ++i) {
        const int32_t duration = int32_t(24 - i / 2);
        EXPECT_EQ(s.Slowest[i].DurationMs, duration) << i;
        EXPECT_EQ(s.Slowest[i].Index, i % 2 == 0 ? duration : duration + 25) << i;
    }
    // Fifty values: the 25th and the 48th.
    EXPECT_EQ(s.Total.Durations, Summary(50, 0, 12, 23, 24));
}

TEST(CommandStatistics, EmptyListHasOnlyAnEmptyTotal)
{
    const TCommandStatistics s = GetCommandStatistics({});
    EXPECT_TRUE(s.Codes.isEmpty());
    EXPECT_TRUE(s.Slowest.isEmpty());
    EXPECT_EQ(s.Total.Count, 0);
    EXPECT_EQ(StatisticsCell(s.Total, scName), u"Всего"_s);
    EXPECT_EQ(StatisticsCell(s.Total, scCode), QString());
    EXPECT_EQ(StatisticsCell(s.Total, scMedian), QString());
}

TEST(CommandStatistics, TimelineHoldsTimedCommandsWithAReadableStamp)
{
    TCommands commands = {Logged("10", "10 00", 7, 1), Logged("10", "", NoDuration, 2), Logged("10", "10 01", 9, 3),
                          Logged("10", "10 00", 4, 4)};
    commands[3].SetAttributes("[no stamp]");
    const std::vector<TTimelinePoint> timeline = GetTimeline(commands);
    ASSERT_EQ(timeline.size(), 2u);
    // 12 March 2024 is day 19794 after 1 January 1970.
    const qint64 day = 19794LL * 86400000;
    EXPECT_EQ(timeline[0].StartMs, day + (10 * 3600 + 15 * 60 + 1) * 1000LL);
    EXPECT_EQ(timeline[0].DurationMs, 7);
    EXPECT_FALSE(timeline[0].Failed);
    EXPECT_EQ(timeline[1].Index, 2);
    EXPECT_TRUE(timeline[1].Failed);
}

struct CodeTextCase
{
    int32_t Code;
    const char* Text;
};

TEST(CommandStatistics, CodeTexts)
{
    for (const CodeTextCase& c : {CodeTextCase{0x10, "10"}, CodeTextCase{0, "00"}, CodeTextCase{0xFF46, "FF46"},
                                  CodeTextCase{0xFE01, "FE01"}, CodeTextCase{DriverErrorGroup, ""}})
        EXPECT_EQ(CodeText(c.Code), QLatin1String(c.Text)) << c.Code;
}

} // namespace
} // namespace kestrun
