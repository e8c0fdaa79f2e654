// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CommandCatalogue.h"
#include "CommandOutcome.h"
#include "log/Command.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>

namespace kestrun {

// What the list is narrowed to; every part that is set must hold for a command to be shown.
struct TFilterSettings
{
    bool ErrorsOnly = false;
    // Hex codes ("FF 46", FF46, 10) or parts of a name; a command matching any one passes.
    QStringList Commands;
    QString Thread;
    // Matched as the search box matches.
    QString Text;
    bool HidePolls = false;

    bool IsEmpty() const;
};

// The code a command term names when it is hex text of one or two bytes; nothing for name text.
std::optional<uint16_t> CommandCodeTerm(const QString& term);

// The "Data" cell of the command at an index, as the list shows it.
using TDataCellOf = std::function<QString(int index)>;
// The outcome of the command at an index, for a list that keeps it.
using TOutcomeOf = std::function<TOutcome(int index)>;

// A filter prepared once for a pass over many commands.
class TCommandFilter
{
public:
    explicit TCommandFilter(const TFilterSettings& settings = {});

    bool IsActive() const { return FActive; }
    // Where "errors only" learns a command's outcome; GetCommandOutcome when not set.
    void SetOutcomeOf(TOutcomeOf outcomeOf) { FOutcomeOf = std::move(outcomeOf); }
    // `dataCell` is asked only when the free text is set and nothing else has rejected the command.
    bool Accepts(const TCommand& command, int index, const TDataCellOf& dataCell) const;

private:
    bool MatchesCommand(const TCommand& command) const;

    bool FActive = false;
    bool FErrorsOnly = false;
    bool FHidePolls = false;
    QList<uint16_t> FCodes;
    QList<TSearchText> FNames;
    QByteArray FThread;
    TSearchText FText;
    TOutcomeOf FOutcomeOf;
};

// Walks the list in slices, so a window stays responsive on a long log. The commands must stay
// unchanged until the pass is done or dropped.
class TFilterPass
{
public:
    TFilterPass(const TCommands& commands, TCommandFilter filter, TDataCellOf dataCell);

    // Tests further commands until `budgetMs` has passed; false once every command is tested.
    bool Advance(int budgetMs);
    // The indexes of the commands that passed so far, ascending.
    const QList<int>& Shown() const { return FShown; }

private:
    const TCommands& FCommands;
    TCommandFilter FFilter;
    TDataCellOf FDataCell;
    QList<int> FShown;
    int FNext = 0;
};

// The indexes of every command that passes, ascending.
QList<int> FilterCommands(const TCommands& commands, const TCommandFilter& filter, const TDataCellOf& dataCell);

} // namespace kestrun
