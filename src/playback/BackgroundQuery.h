// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>
#include <mutex>

class QThread;

namespace kestrun {

// What a query of the device gave: its lines, or the message of a call that failed.
struct TQueryAnswer
{
    QStringList Lines;
    QString Error;
};

// Runs one device query at a time on a thread of its own, so that a link that does not answer
// holds up nobody. The answer comes back through the event loop of the thread that started the
// query; the work itself never touches that thread's objects.
class TBackgroundQuery
{
public:
    using TWork = std::function<QStringList()>;
    using TDone = std::function<void(const TQueryAnswer& answer)>;

    TBackgroundQuery() = default;
    TBackgroundQuery(const TBackgroundQuery&) = delete;
    TBackgroundQuery& operator=(const TBackgroundQuery&) = delete;
    // Waits for a query under way; its answer is dropped.
    ~TBackgroundQuery();

    // `work` runs on the query's thread and may throw; `done` runs later on this thread.
    // Ignored while a query is pending.
    void Start(TWork work, TDone done);
    bool Pending() const { return FThread != nullptr; }

private:
    void Finish();

    // Handed over under a lock of its own: the thread's end, seen through Qt, is no ordering
    // the race checkers can see.
    struct TSharedAnswer
    {
        std::mutex Lock;
        TQueryAnswer Answer;
    };

    QObject FReceiver; // lives on the starting thread: the queued end of the query goes to it
    QThread* FThread = nullptr;
    std::shared_ptr<TSharedAnswer> FAnswer;
    TDone FDone;
};

} // namespace kestrun
