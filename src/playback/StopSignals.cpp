// SPDX-License-Identifier: GPL-3.0-or-later
#include "StopSignals.h"

#include "log/Exception.h"

#include <QCoreApplication>
#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <iterator>
#include <unistd.h>
#include <utility>

namespace kestrun {

namespace {

constexpr int Signals[] = {SIGINT, SIGTERM};

// A handler may only note the signal and write: what follows runs outside it, on the event loop
// that reads the pipe or in the loop that looks at the flag.
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);
std::atomic<int> FirstSignal{0};
std::atomic<bool> EndsOnSecond{false};
int SignalPipe[2] = {-1, -1};

void SetHandlers(void (*handler)(int), int flags)
{
    struct sigaction action = {};
    action.sa_handler = handler;
    action.sa_flags = flags;
    for (const int signal : Signals)
        sigaction(signal, &action, nullptr);
}

extern "C" void OnStopSignal(int signal)
{
    int none = 0;
    FirstSignal.compare_exchange_strong(none, signal);
    if (EndsOnSecond)
        SetHandlers(SIG_DFL, 0);
    if (SignalPipe[1] >= 0) {
        const char byte = char(signal);
        [[maybe_unused]] const ssize_t written = ::write(SignalPipe[1], &byte, 1);
    }
}

} // namespace

TStopSignals::TStopSignals()
{
    // Without SA_RESTART the wait ends with EINTR.
    Install(0);
}

TStopSignals::TStopSignals(std::function<void(int signal)> onStop, TSecondSignal second)
{
    // Non-blocking, so that a flood of signals cannot stop the handler on a full pipe.
    if (::pipe2(SignalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        throw Exception(QStringLiteral("не удалось установить обработчик Ctrl+C"));
    FNotifier.emplace(SignalPipe[0], QSocketNotifier::Read);
    QObject::connect(&*FNotifier, &QSocketNotifier::activated, [onStop = std::move(onStop)] {
        char byte = 0;
        if (::read(SignalPipe[0], &byte, 1) == 1)
            onStop(byte);
    });
    EndsOnSecond = second == ssEnds;
    Install(SA_RESTART);
}

void TStopSignals::Install(int flags)
{
    FirstSignal = 0;
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    action.sa_flags = flags;
    for (size_t i = 0; i < std::size(Signals); ++i)
        sigaction(Signals[i], &action, &FPrevious[i]);
}

TStopSignals::~TStopSignals()
{
    for (size_t i = 0; i < std::size(Signals); ++i)
        sigaction(Signals[i], &FPrevious[i], nullptr);
    EndsOnSecond = false;
    if (!FNotifier)
        return;
    FNotifier.reset();
    for (int& end : SignalPipe)
        ::close(std::exchange(end, -1));
}

int TStopSignals::Caught() const { return FirstSignal; }

void QuitWhenStdinCloses()
{
    auto* notifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, QCoreApplication::instance(), [notifier] {
        char buffer[256];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0) {
            notifier->setEnabled(false);
            QCoreApplication::quit();
        }
    });
}

} // namespace kestrun
