// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandStatistics.h"

#include "CommandCatalogue.h"
#include "CommandOutcome.h"
#include "CommandView.h"
#include "log/Codepages.h"
#include "log/LogStamp.h"

#include <algorithm>
#include <iterator>

namespace kestrun {

using namespace Qt::StringLiterals;

namespace {

constexpr size_t CodeCount = 0x10000;
constexpr size_t DriverErrorSlot = CodeCount;

const QString StatisticsTitles[] = {
    u"Код"_s, u"Команда"_s, u"Количество"_s, u"Ошибок"_s, u"Мин., мс"_s, u"Медиана, мс"_s, u"95%, мс"_s, u"Макс., мс"_s,
};
static_assert(std::size(StatisticsTitles) == scColumnCount);

// Driver error lines without a request have no code of their own; they are counted apart.
bool IsBareDriverError(const TCommand& command) { return !command.HasData() && !command.DriverError().isEmpty(); }

// The value of nearest rank `percent` in sorted durations: the smallest one that at least that
// share of them does not exceed.
int32_t NearestRank(const std::vector<int32_t>& sorted, int percent)
{
    const size_t rank = std::max<size_t>(1, (sorted.size() * size_t(percent) + 99) / 100);
    return sorted[rank - 1];
}

TDurationSummary Summarise(std::vector<int32_t> durations)
{
    TDurationSummary summary;
    summary.Timed = qsizetype(durations.size());
    if (durations.empty())
        return summary;
    std::sort(durations.begin(), durations.end());
    summary.MinMs = durations.front();
    summary.MedianMs = NearestRank(durations, 50);
    summary.P95Ms = NearestRank(durations, 95);
    summary.MaxMs = durations.back();
    return summary;
}

// Longer first; of two equally long, the earlier row first.
bool Slower(const TSlowCommand& a, const TSlowCommand& b)
{
    return a.DurationMs != b.DurationMs ? a.DurationMs > b.DurationMs : a.Index < b.Index;
}

QString NameOf(const TCommand& command)
{
    return IsBareDriverError(command) ? u"Ошибка драйвера"_s : GetCommandName(command);
}

} // namespace

TStatisticsCollector::TStatisticsCollector(bool keepTimeline) : FKeepTimeline(keepTimeline), FGroupOf(CodeCount + 1, 0)
{
    FTotal.Counts.Code = TotalGroup;
    FTotal.Counts.Name = u"Всего"_s;
}

void TStatisticsCollector::Add(const TCommand& command)
{
    const qsizetype index = FNextIndex++;
    const bool bareError = IsBareDriverError(command);
    const uint16_t code = GetCommandCode(command);
    int32_t& slot = FGroupOf[bareError ? DriverErrorSlot : code];
    if (slot == 0) {
        TGroup group;
        group.Counts.Code = bareError ? DriverErrorGroup : code;
        group.Counts.Name = NameOf(command);
        FGroups.push_back(std::move(group));
        slot = int32_t(FGroups.size());
    }
    TGroup& group = FGroups[size_t(slot - 1)];
    const bool failed = IsFailed(GetCommandOutcome(command));
    for (TGroup* g : {&group, &FTotal}) {
        ++g->Counts.Count;
        g->Counts.Errors += failed ? 1 : 0;
    }
    if (command.DurationMs == NoDuration)
        return;
    group.Durations.push_back(command.DurationMs);
    FTotal.Durations.push_back(command.DurationMs);

    TSlowCommand slow;
    slow.Index = index;
    slow.DurationMs = command.DurationMs;
    // Only a command that gets in is named.
    const bool full = qsizetype(FSlowest.size()) == SlowestCount;
    if (!full || Slower(slow, FSlowest.front())) {
        slow.Code = group.Counts.Code;
        slow.Name = group.Counts.Name;
        slow.Time = Cp1251ToUnicode(GetCommandTime(command));
        if (full) {
            std::pop_heap(FSlowest.begin(), FSlowest.end(), Slower);
            FSlowest.back() = std::move(slow);
        } else {
            FSlowest.push_back(std::move(slow));
        }
        std::push_heap(FSlowest.begin(), FSlowest.end(), Slower);
    }
    if (FKeepTimeline) {
        if (const std::optional<qint64> start = command.StampMs())
            FTimeline.push_back({*start, command.DurationMs, failed, index});
    }
}

TCommandStatistics TStatisticsCollector::Result() const
{
    TCommandStatistics result;
    std::vector<const TGroup*> groups;
    for (const TGroup& group : FGroups)
        groups.push_back(&group);
    std::sort(groups.begin(), groups.end(),
              [](const TGroup* a, const TGroup* b) { return a->Counts.Code < b->Counts.Code; });
    for (const TGroup* group : groups) {
        TCodeStatistics counts = group->Counts;
        counts.Durations = Summarise(group->Durations);
        result.Codes.append(counts);
    }
    result.Total = FTotal.Counts;
    result.Total.Durations = Summarise(FTotal.Durations);
    std::vector<TSlowCommand> slowest = FSlowest;
    std::sort(slowest.begin(), slowest.end(), Slower);
    result.Slowest = QList<TSlowCommand>(slowest.begin(), slowest.end());
    return result;
}

TCommandStatistics GetCommandStatistics(const TCommands& commands)
{
    TStatisticsCollector collector;
    for (const TCommand& command : commands)
        collector.Add(command);
    return collector.Result();
}

std::vector<TTimelinePoint> GetTimeline(const TCommands& commands)
{
    TStatisticsCollector collector(true);
    for (const TCommand& command : commands)
        collector.Add(command);
    return collector.Timeline();
}

QString StatisticsColumnTitle(int column) { return StatisticsTitles[column]; }

QString StatisticsCell(const TCodeStatistics& statistics, int column)
{
    const TDurationSummary& d = statistics.Durations;
    const auto ms = [&d](int32_t value) { return d.Timed > 0 ? QString::number(value) : QString(); };
    switch (column) {
    case scCode: return CodeText(statistics.Code);
    case scName: return statistics.Name;
    case scCount: return QString::number(statistics.Count);
    case scErrors: return QString::number(statistics.Errors);
    case scMin: return ms(d.MinMs);
    case scMedian: return ms(d.MedianMs);
    case scP95: return ms(d.P95Ms);
    case scMax: return ms(d.MaxMs);
    default: return {};
    }
}

QString CodeText(int32_t code)
{
    if (code < 0)
        return {};
    return QString::number(code, 16).toUpper().rightJustified(code > 0xFF ? 4 : 2, u'0');
}

QString SlowColumnTitle(int column)
{
    switch (column) {
    case slIndex: return u"#"_s;
    case slTime: return ColumnTitle(colTime);
    case slName: return ColumnTitle(colCommand);
    case slDuration: return ColumnTitle(colDuration);
    default: return {};
    }
}

QString SlowCell(const TSlowCommand& command, int column)
{
    switch (column) {
    case slIndex: return QString::number(command.Index);
    case slTime: return command.Time;
    case slName: return command.Name;
    case slDuration: return QString::number(command.DurationMs);
    default: return {};
    }
}

} // namespace kestrun
