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
    FWake.notify_one();
    wait();
}

void TLinkThread::Post(std::function<void()> job)
{
    {
        std::lock_guard lock(FLock);
        FJobs.push_back(std::move(job));
    }
    FWake.notify_one();
}

void TLinkThread::run()
{
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
