// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandOutcome.h"

#include "ParserCommands.h"

namespace kestrun {

TOutcome GetCommandOutcome(const TCommand& command)
{
    const TOutcome outcome = RecordOutcome(command);
    // A driver error line's row shows the driver's text, not a summary.
    if (command.HasDriverError() || !SummaryFaults(command))
        return outcome;
    return outcome | ofDecodeFault;
}

} // namespace kestrun
