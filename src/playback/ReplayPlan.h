// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "log/Command.h"

#include <QList>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

namespace kestrun {

// What happens after a failed command that is not the last of its range.
enum class TErrorAction : uint8_t { eaAsk, eaContinue, eaStop };

struct TErrorPolicy
{
    // Device errors (positive codes) go on without asking; driver errors and failed calls do not.
    bool IgnoreDeviceErrors = false;
    TErrorAction OnError = TErrorAction::eaAsk;
};

// The commands a run sends: a span of the list, optionally only some of its rows, once or in a loop.
struct TReplayRange
{
    int32_t First = 0;
    int32_t Count = 0;                   // 0: up to the last command
    std::optional<QList<int32_t>> Rows;  // nothing: every command
    bool Loop = false;
    int Cycles = 0;                      // with Loop: passes before the run ends, 0 until stopped

    static TReplayRange All();
    // From the row on to the end; a negative row (none chosen) starts at the first command.
    static TReplayRange FromRow(int32_t row);
    // The row alone; a negative row stands for the first command.
    static TReplayRange OneRow(int32_t row);
    static TReplayRange SelectedRows(QList<int32_t> rows);
    // The same range narrowed to the rows a filtered list shows.
    TReplayRange Within(const QList<int32_t>& shown) const;
};

// The replay exception list a run starts with: the command that searches a fiscal document.
QStringList DefaultExceptList();

struct TReplayPlan
{
    TReplayRange Range;
    QStringList ExceptList = DefaultExceptList();
    TErrorPolicy Policy;
};

// Whether the range marks each of `count` commands Selected; rows beyond the list are left out.
std::vector<bool> RangeMarks(qsizetype count, const TReplayRange& range);
// Sets the Selected flag of every command as the range says. Only flags that change are written,
// so a list already marked so is not copied away from those sharing it.
void MarkRange(TCommands& commands, const TReplayRange& range);
// The index of the last command a pass of the plan sends, -1 when it sends none; the list need
// not be marked.
int32_t LastToSend(const TCommands& commands, const TReplayPlan& plan);
// The commands a pass of the plan sends that change the register's fiscal state, ascending.
QList<int32_t> FiscalCommandsToSend(const TCommands& commands, const TReplayPlan& plan);
// The decision the policy takes by itself for a failed command with this result code; nothing
// when the user is to be asked.
std::optional<bool> PolicyDecision(const TErrorPolicy& policy, int32_t resultCode);

} // namespace kestrun
