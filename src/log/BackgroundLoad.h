// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Command.h"
#include "LogLineSink.h"
#include "LogReader.h"

#include <QIODevice>
#include <QString>
#include <QStringList>
#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace kestrun {

// Puts the lines of a log into a sink; runs on the loading thread. AProgress gets the fraction read.
using TLogFeed = std::function<void(ILogLineSink& ASink, const TReadProgress& AProgress)>;

// The log in the device AOpen gives, read as LoadLogDevice reads it (a compressed device is
// unpacked). AOpen runs on the loading thread; what it throws is the load's error.
TLogFeed DeviceFeed(std::function<std::unique_ptr<QIODevice>()> AOpen);
// Pasted text.
TLogFeed TextFeed(QString AText);

// A log load on a thread of its own, so that the thread that asked for it stays free to draw and
// to listen. The commands are handed over as they settle (no later line can change them), in list
// order, and the owner takes them when it likes. The outcome is that of a whole load: when the
// load fails, Error says why and the commands taken are to be dropped, as a whole load drops them.
class TBackgroundLoad
{
public:
    TBackgroundLoad(TLogFeed AFeed, const QStringList& AIgnoreLines);
    // Stops the load and waits for its thread.
    ~TBackgroundLoad();
    TBackgroundLoad(const TBackgroundLoad&) = delete;
    TBackgroundLoad& operator=(const TBackgroundLoad&) = delete;

    // Moves out up to AMost of the commands settled and not taken yet, in list order.
    TCommands Take(qsizetype AMost);
    bool HasSettled() const;
    // The load ended: everything settled is there to take.
    bool Ended() const;
    // The load ended and every command was taken.
    bool Done() const;
    // Once Done: the load's error message, null when it succeeded.
    QString Error() const;
    // Once Done: why a packed log was read only up to a point (its commands up to there stand),
    // null when it was read whole.
    QString Warning() const;
    // The fraction of the log read, 0..1; stays 0 when the size of the log is unknown.
    double Progress() const { return FProgress.load(std::memory_order_relaxed); }

private:
    class TSink;
    void Run(const TLogFeed& AFeed, const QStringList& AIgnoreLines);
    // Hands over all parsed commands but the last AKeep.
    void HandOver(TCommands& AParsed, qsizetype AKeep);

    mutable std::mutex FLock;
    // Batches as handed over, so the room of those taken is given back at once; the first one
    // may be taken in part, up to FFrontTaken. Under FLock.
    std::deque<TCommands> FSettled;
    qsizetype FFrontTaken = 0;
    bool FEnded = false; // under FLock
    QString FError;      // under FLock
    QString FWarning;    // under FLock
    std::atomic<bool> FCancelled{false};
    std::atomic<double> FProgress{0};
    std::thread FThread; // started once everything above is made
};

} // namespace kestrun
