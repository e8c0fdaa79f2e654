// SPDX-License-Identifier: GPL-3.0-or-later
#include "LinkThread.h"

#include <QEventLoop>
#include <QThread>

namespace kestrun {

TLinkThread::TLinkThread() : FThread(&TLinkThread::Run, this) {}

TLinkThread::~TLinkThread()
{
    {
        std::lock_guard lock(FLock);
        FStopping = true;
    }
    FWake.notify_all();
    FThread.join();
}

void TLinkThread::Post(std::function<void()> job)
{
    {
        std::lock_guard lock(FLock);
        FJobs.push_back(std::move(job));
    }
    FWake.notify_all();
}

void TLinkThread::Run()
{
    QThread::currentThread()->setObjectName(QStringLiteral("KestrunLink"));
    // Made first, it gives this thread the event dispatcher that Qt's sockets and serial ports
    // register with, even though only their waiting calls are used here.
    const QEventLoop dispatcher;
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(FLock);
            FWake.wait(lock, [this] { return FStopping || !FJobs.empty(); });
            if (FJobs.empty())
                return;
            job = std::move(FJobs.front());
            FJobs.pop_front();
        }
        job();
    }
}

} // namespace kestrun
