// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QThread>
#include <atomic>
#include <functional>

namespace kestrun {

// The thread a replay runs on.
class TNotifyThread final : public QThread
{
public:
    using TThreadEvent = std::function<void(TNotifyThread& ASender)>;

    // Not started yet.
    static TNotifyThread* CreateThread(TThreadEvent AOnExecute);

    // The message of an error that escaped the body; empty when the body returned.
    QString ErrorMessage() const { return FErrorMessage; }

protected:
    void run() override;

private:
    friend TNotifyThread* RunInThread(TThreadEvent AOnTerminate, TThreadEvent AOnExecute);

    explicit TNotifyThread(TThreadEvent AOnExecute);

    TThreadEvent FOnExecute;
    QString FErrorMessage;
    std::atomic<bool> FEnded{false};
};

// Starts AOnExecute on a new thread. AOnTerminate runs once on the application's thread after
// the body has ended, also when it threw; then the thread frees itself. The returned thread
// lives until AOnTerminate has returned. Needs a running QCoreApplication event loop.
TNotifyThread* RunInThread(TNotifyThread::TThreadEvent AOnTerminate, TNotifyThread::TThreadEvent AOnExecute);

} // namespace kestrun
