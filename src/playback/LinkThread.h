#pragma once

#include <QThread>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <future>
#include <mutex>
#include <type_traits>

namespace kestrun {

// Runs calls one at a time on a thread of its own. A transport made and used only through
// it keeps its Qt objects on one thread, whichever thread calls the driver: the replay
// worker or the window's.
class TLinkThread final : public QThread
{
public:
    TLinkThread();
    // Ends after the call under way.
    ~TLinkThread() override;

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

protected:
    void run() override;

private:
    void Post(std::function<void()> job);

    std::mutex FLock;
    std::condition_variable FWake;
    std::deque<std::function<void()>> FJobs;
    bool FStopping = false;
    bool FStopped = false;
};

} // namespace kestrun
