#include "LinkThread.h"

namespace kestrun {

TLinkThread::TLinkThread()
{
    setObjectName(QStringLiteral("KestrunLink"));
    start();
}

TLinkThread::~TLinkThread()
{
    {
        std::lock_guard lock(FLock);
        FStopping = true;
    }
    FWake.notify_all();
    // The thread's last touch of the lock and the condition is seen here, before they go;
    // joining the thread alone does not show that to the thread sanitizer.
    {
        std::unique_lock lock(FLock);
        FWake.wait(lock, [this] { return FStopped; });
    }
    wait();
}

void TLinkThread::Post(std::function<void()> job)
{
    {
        std::lock_guard lock(FLock);
        FJobs.push_back(std::move(job));
    }
    FWake.notify_all();
}

void TLinkThread::run()
{
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(FLock);
            FWake.wait(lock, [this] { return FStopping || !FJobs.empty(); });
            if (FJobs.empty()) {
                FStopped = true;
                FWake.notify_all();
                return;
            }
            job = std::move(FJobs.front());
            FJobs.pop_front();
        }
        job();
    }
}

} // namespace kestrun
