// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <future>
#include <mutex>
#include <thread>
#include <type_traits>

namespace kestrun {

// Runs calls one at a time on a thread of its own. A transport made and used only through
// it keeps its Qt objects on one thread, whichever thread calls the driver: the replay
// worker or the window's. A standard thread rather than a QThread: its start and join are
// seen by the thread sanitizer, which cannot see into Qt's own locks.
class TLinkThread final
{
public:
    TLinkThread();
    TLinkThread(const TLinkThread&) = delete;
    TLinkThread& operator=(const TLinkThread&) = delete;
    // Ends after the call under way.
    ~TLinkThread();

    // Runs f on the link thread and returns its result; what f throws is thrown here.
    // f must end by itself: every wait inside it has a timeout.
    template <class F>
    std::invoke_result_t<F> Call(F f)
    {
        // The job holds the task, so it outlives the notification of the waiting caller.
        auto task = std::make_shared<std::packaged_task<std::invoke_result_t<F>()>>(std::move(f));
        auto result = task->get_future();
        Post([task] { (*task)(); });
        return result.get();
    }

private:
    void Run();
    void Post(std::function<void()> job);

    std::mutex FLock;
    std::condition_variable FWake;
    std::deque<std::function<void()>> FJobs;
    bool FStopping = false;
    std::thread FThread; // last: starts when everything it uses is there
};

} // namespace kestrun
