// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "log/Command.h"

#include <QList>
#include <QString>
#include <array>
#include <cstdint>
#include <vector>

namespace kestrun {

// How long a group of commands took: how many of them have a duration, and the order statistics
// of those durations (percentiles by nearest rank). The milliseconds mean nothing while Timed is 0.
struct TDurationSummary
{
    qsizetype Timed = 0;
    int32_t MinMs = 0;
    int32_t MedianMs = 0;
    int32_t P95Ms = 0;
    int32_t MaxMs = 0;

    bool operator==(const TDurationSummary&) const = default;
};

// Groups without a command code: driver error lines that carry no request, and the total.
constexpr int32_t DriverErrorGroup = -1;
constexpr int32_t TotalGroup = -2;

struct TCodeStatistics
{
    int32_t Code = 0; // command code, DriverErrorGroup or TotalGroup
    QString Name;
    qsizetype Count = 0;
    qsizetype Errors = 0; // failed commands (IsFailed)
    TDurationSummary Durations;
};

struct TSlowCommand
{
    qsizetype Index = 0; // row of the command list
    int32_t DurationMs = 0;
    int32_t Code = 0;
    QString Name;
    QString Time;
};

// One command on the timeline: when its request was logged and how long it took.
struct TTimelinePoint
{
    qint64 StartMs = 0; // milliseconds since 1970 on the log's clock
    int32_t DurationMs = 0;
    bool Failed = false;
    qsizetype Index = 0;
};

constexpr qsizetype SlowestCount = 20;

struct TCommandStatistics
{
    QList<TCodeStatistics> Codes; // ordered by code, driver error lines first
    TCodeStatistics Total;        // every command: TotalGroup, named "Всего"
    QList<TSlowCommand> Slowest;  // the longest first, ties in list order; at most SlowestCount
};

// Gathers the statistics in one pass over the command list, which may arrive in batches; each
// command added is the next row of the list.
class TStatisticsCollector
{
public:
    // `keepTimeline`: also keep a timeline point per command with a duration and a readable stamp.
    explicit TStatisticsCollector(bool keepTimeline = false);

    void Add(const TCommand& command);
    TCommandStatistics Result() const;
    const std::vector<TTimelinePoint>& Timeline() const { return FTimeline; }

private:
    struct TGroup
    {
        TCodeStatistics Counts;
        std::vector<int32_t> Durations;
    };

    bool FKeepTimeline;
    qsizetype FNextIndex = 0;
    // Group of each code (index + 1; 0 for none yet), the driver error lines in the last place.
    std::vector<int32_t> FGroupOf;
    std::vector<TGroup> FGroups;
    TGroup FTotal;
    std::vector<TSlowCommand> FSlowest; // a heap, the quickest of them on top
    std::vector<TTimelinePoint> FTimeline;
};

TCommandStatistics GetCommandStatistics(const TCommands& commands);
std::vector<TTimelinePoint> GetTimeline(const TCommands& commands);

// The statistics as a table, for the window and the command line alike.
enum TStatisticsColumn { scCode, scName, scCount, scErrors, scMin, scMedian, scP95, scMax, scColumnCount };
// "Код", "Команда", "Количество", "Ошибок", "Мин., мс", "Медиана, мс", "95%, мс", "Макс., мс".
QString StatisticsColumnTitle(int column);
// Durations are empty when none was timed.
QString StatisticsCell(const TCodeStatistics& statistics, int column);
// A command code as hex text: "10", "FF46"; empty for the groups without one.
QString CodeText(int32_t code);

// The slowest commands as a table: "#", "Time", "Command", "Длительность, мс".
enum TSlowColumn { slIndex, slTime, slName, slDuration, slColumnCount };
QString SlowColumnTitle(int column);
QString SlowCell(const TSlowCommand& command, int column);

} // namespace kestrun
