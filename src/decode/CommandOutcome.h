// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "log/Command.h"

namespace kestrun {

// The command's outcome: what its record tells, and ofDecodeFault when its summary cannot be
// decoded. Only commands whose decoder reads a TLV document are decoded for it, so a pass over a
// whole log stays about as quick as reading the records.
TOutcome GetCommandOutcome(const TCommand& command);

// The test of "Найти ошибку" and find-error: a failed command, or a failed replay when asked.
constexpr bool FindsError(TOutcome outcome, bool withPlayedErrors)
{
    return IsFailed(outcome) || (withPlayedErrors && (outcome & ofPlayedError) != 0);
}
// What the window's error counter and the "errors only" filter count: any failure, a replay's too.
constexpr bool HasAnyError(TOutcome outcome) { return FindsError(outcome, true); }

} // namespace kestrun
