// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandFilter.h"

#include "CommandView.h"
#include "log/Codepages.h"

#include <QElapsedTimer>
#include <algorithm>
#include <limits>

namespace kestrun {

bool TFilterSettings::IsEmpty() const
{
    return !ErrorsOnly && !HidePolls && Commands.isEmpty() && Thread.trimmed().isEmpty() && Text.isEmpty();
}

std::optional<uint16_t> CommandCodeTerm(const QString& term)
{
    QString digits = term;
    digits.remove(u' ');
    if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        digits = digits.mid(2);
    if (digits.isEmpty() || digits.size() > 4)
        return std::nullopt;
    bool ok = false;
    const uint value = digits.toUInt(&ok, 16);
    if (!ok)
        return std::nullopt;
    return uint16_t(value);
}

TCommandFilter::TCommandFilter(const TFilterSettings& settings)
    : FActive(!settings.IsEmpty()),
      FErrorsOnly(settings.ErrorsOnly),
      FHidePolls(settings.HidePolls),
      FThread(UnicodeToCp1251(settings.Thread.trimmed())),
      FText(settings.Text)
{
    for (const QString& term : settings.Commands) {
        if (term.trimmed().isEmpty())
            continue;
        if (const std::optional<uint16_t> code = CommandCodeTerm(term))
            FCodes.append(*code);
        else
            FNames.append(TSearchText(term.trimmed()));
    }
}

bool TCommandFilter::MatchesCommand(const TCommand& command) const
{
    if (FCodes.isEmpty() && FNames.isEmpty())
        return true;
    if (FCodes.contains(GetCommandCode(command)))
        return true;
    if (FNames.isEmpty())
        return false;
    return std::any_of(FNames.begin(), FNames.end(),
                       [&command](const TSearchText& text) { return text.OccursInName(command); });
}

bool TCommandFilter::Accepts(const TCommand& command, int index, const TDataCellOf& dataCell) const
{
    if (FErrorsOnly && !HasAnyError(FOutcomeOf ? FOutcomeOf(index) : GetCommandOutcome(command)))
        return false;
    if (FHidePolls && (CommandProperties(command) & cpStatusPoll))
        return false;
    if (!FThread.isEmpty() && !command.ThreadIs(FThread))
        return false;
    if (!MatchesCommand(command))
        return false;
    return FText.IsEmpty() || SearchMatches(command, dataCell(index), FText);
}

TFilterPass::TFilterPass(const TCommands& commands, TCommandFilter filter, TDataCellOf dataCell)
    : FCommands(commands), FFilter(std::move(filter)), FDataCell(std::move(dataCell))
{
}

bool TFilterPass::Advance(int budgetMs)
{
    QElapsedTimer timer;
    timer.start();
    const int n = int(FCommands.size());
    while (FNext < n) {
        if (FFilter.Accepts(FCommands.at(FNext), FNext, FDataCell))
            FShown.append(FNext);
        ++FNext;
        if ((FNext & 255) == 0 && timer.elapsed() >= budgetMs)
            break;
    }
    return FNext < n;
}

QList<int> FilterCommands(const TCommands& commands, const TCommandFilter& filter, const TDataCellOf& dataCell)
{
    TFilterPass pass(commands, filter, dataCell);
    pass.Advance(std::numeric_limits<int>::max());
    return pass.Shown();
}

} // namespace kestrun
