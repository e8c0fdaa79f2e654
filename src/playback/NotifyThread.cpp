// SPDX-License-Identifier: GPL-3.0-or-later
#include "NotifyThread.h"

#include "log/CurrentError.h"

#include <QCoreApplication>
#include <stdexcept>

namespace kestrun {

TNotifyThread::TNotifyThread(TThreadEvent AOnExecute) : FOnExecute(std::move(AOnExecute)) {}

TNotifyThread* TNotifyThread::CreateThread(TThreadEvent AOnExecute)
{
    return new TNotifyThread(std::move(AOnExecute));
}

void TNotifyThread::run()
{
    // An exception must not leave a thread; the end event runs all the same.
    try {
        if (FOnExecute)
            FOnExecute(*this);
    } catch (...) {
        FErrorMessage = CurrentErrorMessage();
    }
    FEnded.store(true, std::memory_order_release);
}

TNotifyThread* RunInThread(TNotifyThread::TThreadEvent AOnTerminate, TNotifyThread::TThreadEvent AOnExecute)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        throw std::logic_error("RunInThread needs a QCoreApplication");
    TNotifyThread* thread = TNotifyThread::CreateThread(std::move(AOnExecute));
    // finished is emitted once, on the worker; the context object queues the call to the
    // application's thread.
    QObject::connect(thread, &QThread::finished, app, [thread, onTerminate = std::move(AOnTerminate)] {
        thread->wait();
        // Pairs with the release at the end of run(): what the body wrote is visible here,
        // also to tools that cannot see Qt's own locking.
        [[maybe_unused]] const bool ended = thread->FEnded.load(std::memory_order_acquire);
        thread->deleteLater();
        if (onTerminate)
            onTerminate(*thread);
    });
    thread->start();
    return thread;
}

} // namespace kestrun
