// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSocketNotifier>
#include <csignal>
#include <functional>
#include <optional>

namespace kestrun {

// SIGINT and SIGTERM caught while the object lives; the handlers before it come back after.
// One at a time in a process.
class TStopSignals
{
public:
    // What a signal after the first does: the same again, or end the process as the signal does
    // by default (for a program that stops after its current work, so that a user need not wait).
    enum TSecondSignal : uint8_t { ssSame, ssEnds };

    // For a loop that looks at Caught() between its steps: a wait under way when the signal
    // comes ends at once.
    TStopSignals();
    // For an event loop: `onStop` runs on the calling thread's loop once for each signal
    // delivered, with its number. Reads and writes elsewhere go on through the signal.
    TStopSignals(std::function<void(int signal)> onStop, TSecondSignal second);
    ~TStopSignals();
    TStopSignals(const TStopSignals&) = delete;
    TStopSignals& operator=(const TStopSignals&) = delete;

    // The first signal caught, 0 while none.
    int Caught() const;

private:
    void Install(int flags);

    struct sigaction FPrevious[2] = {}; // of SIGINT and SIGTERM
    std::optional<QSocketNotifier> FNotifier;
};

// For a program a parent process runs: its event loop ends when standard input closes.
void QuitWhenStdinCloses();

} // namespace kestrun
