// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReplayPlan.h"

#include "Player.h"
#include "decode/CommandCatalogue.h"

#include <QSet>

namespace kestrun {

TReplayRange TReplayRange::All() { return {}; }

TReplayRange TReplayRange::FromRow(int32_t row)
{
    TReplayRange range;
    range.First = qMax(0, row);
    return range;
}

TReplayRange TReplayRange::OneRow(int32_t row)
{
    TReplayRange range = FromRow(row);
    range.Count = 1;
    return range;
}

TReplayRange TReplayRange::SelectedRows(QList<int32_t> rows)
{
    TReplayRange range;
    range.Rows = std::move(rows);
    return range;
}

TReplayRange TReplayRange::Within(const QList<int32_t>& shown) const
{
    const int32_t first = qMax(0, First);
    const QSet<int32_t> chosen = Rows ? QSet<int32_t>(Rows->begin(), Rows->end()) : QSet<int32_t>();
    QList<int32_t> rows;
    for (const int32_t row : shown) {
        const bool inSpan = row >= first && (Count <= 0 || row - first < Count);
        if (inSpan && (!Rows || chosen.contains(row)))
            rows.append(row);
    }
    TReplayRange range = SelectedRows(std::move(rows));
    range.Loop = Loop;
    range.Cycles = Cycles;
    return range;
}

QStringList DefaultExceptList() { return {QStringLiteral("FF 0A")}; }

std::vector<bool> RangeMarks(qsizetype count, const TReplayRange& range)
{
    std::vector<bool> marks(size_t(count), !range.Rows);
    if (range.Rows)
        for (const int32_t row : *range.Rows)
            if (row >= 0 && row < count)
                marks[size_t(row)] = true;
    return marks;
}

void MarkRange(TCommands& commands, const TReplayRange& range)
{
    const std::vector<bool> marks = RangeMarks(commands.size(), range);
    for (qsizetype j = 0; j < commands.size(); ++j)
        if (commands.at(j).Selected != marks[size_t(j)])
            commands[j].Selected = marks[size_t(j)];
}

int32_t LastToSend(const TCommands& commands, const TReplayPlan& plan)
{
    const std::vector<bool> marks = RangeMarks(commands.size(), plan.Range);
    const int32_t first = qMax(0, plan.Range.First);
    for (int32_t j = TKestrun::LastIndexOfRange(commands.size(), first, plan.Range.Count); j >= first; --j)
        if (marks[size_t(j)] && TKestrun::IsCommandAllowed(commands.at(j), plan.ExceptList)
            && TKestrun::HasRequestBytes(commands.at(j)))
            return j;
    return -1;
}

QList<int32_t> FiscalCommandsToSend(const TCommands& commands, const TReplayPlan& plan)
{
    const std::vector<bool> marks = RangeMarks(commands.size(), plan.Range);
    const int32_t first = qMax(0, plan.Range.First);
    const int32_t last = TKestrun::LastIndexOfRange(commands.size(), first, plan.Range.Count);
    QList<int32_t> fiscal;
    for (int32_t j = first; j <= last; ++j)
        if (marks[size_t(j)] && (CommandProperties(commands.at(j)) & cpChangesFiscalState)
            && TKestrun::IsCommandAllowed(commands.at(j), plan.ExceptList))
            fiscal.append(j);
    return fiscal;
}

std::optional<bool> PolicyDecision(const TErrorPolicy& policy, int32_t resultCode)
{
    if (policy.IgnoreDeviceErrors && resultCode > 0)
        return true;
    switch (policy.OnError) {
    case TErrorAction::eaContinue: return true;
    case TErrorAction::eaStop: return false;
    case TErrorAction::eaAsk: break;
    }
    return std::nullopt;
}

} // namespace kestrun
