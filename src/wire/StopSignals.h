// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace kestrun {

// The programs that serve until stopped end their event loop on SIGINT and SIGTERM, and, when
// asked, when standard input closes (for a parent process); their clean-up and exit lines run.
void QuitOnStopSignals();
void QuitWhenStdinCloses();

} // namespace kestrun
