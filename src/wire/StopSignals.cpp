// SPDX-License-Identifier: GPL-3.0-or-later
#include "StopSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <unistd.h>

namespace kestrun {

namespace {

// The signals reach the event loop through a pipe: a handler may do nothing more than write.
int SignalPipe[2] = {-1, -1};

void OnStopSignal(int)
{
    const char byte = 0;
    [[maybe_unused]] const ssize_t n = ::write(SignalPipe[1], &byte, 1);
}

} // namespace

void QuitOnStopSignals()
{
    if (::pipe(SignalPipe) != 0)
        return;
    // Owned by the application, so it lives as long as the event loop.
    auto* notifier = new QSocketNotifier(SignalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, QCoreApplication::instance(), &QCoreApplication::quit);
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
}

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
