// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "log/LogFollower.h"

#include <QStringList>
#include <functional>

namespace kestrun::cli {

// Follows a log like tail -F: waits for a log not there yet, hands every step to AOnStep,
// standard output flushed after each, until SIGINT or SIGTERM or until the reader of standard
// output has gone. Returns the step's error that ended it, empty after a signal.
// Throws kestrun::Exception for a log that cannot be followed.
QString FollowLog(const QString& AFileName, const QStringList& AIgnoreLines,
                  const std::function<void(const TFollowStep&)>& AOnStep);

} // namespace kestrun::cli
