#include "NotifyThread.h"

#include "CurrentError.h"

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
        thread->deleteLater();
        if (onTerminate)
            onTerminate(*thread);
    });
    thread->start();
    return thread;
}

} // namespace kestrun
