// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "EventBus.h"
#include "Notifications.h"
#include "ReplayPlan.h"
#include "WatchedDriver.h"
#include "log/Command.h"

#include <QHash>
#include <atomic>
#include <memory>

namespace kestrun {

class TKestrun;
class TNotifyThread;

struct TCommandStart
{
    int32_t Index = 0;
    int32_t Cycle = -1; // -1 outside loop mode
};

// A command that failed, reported once, whatever the policy does with it.
struct TCommandFailure
{
    int32_t Index = 0;
    int32_t Cycle = -1;
    int32_t Code = 0;  // the result code: positive a device error, negative a driver error, 0 a failed call
    QString Text;      // "%d, %s" of code and description, or the message of the failed call
    bool LastOfRange = false; // passed over by the player: nobody is asked, the run goes on
};

// The question after a failed command that the policy leaves to the user.
struct TErrorQuestion
{
    int32_t Index = 0;
    int32_t Code = 0;
    QString Message; // the notice as the player posted it: the index, a blank, the error text
    QString Text;    // the error text alone: "%d, %s" of code and description, or the call's message
};

// How a sent command ended, once it has (after its wait for printing).
struct TCommandEnd
{
    int32_t Index = 0;
    int32_t Cycle = -1;
    int32_t Code = 0;  // as in TCommandFailure; 0 also for success
    QString Error;     // empty when the command succeeded
    QByteArray Answer; // the played answer as hex text, empty when none came
};

struct TReplayResult
{
    int Failed = 0;      // failed commands, also those the policy went on after
    bool Interrupted = false; // ended by Stop
    QString ThreadError; // an error that escaped the player, empty normally
};

// What a front end hears of a run. All but RunFinished are called on the replay thread, in
// the order the player reports; each must have returned before the player goes on.
class IReplayListener
{
public:
    virtual ~IReplayListener() = default;
    virtual void CommandStarted(const TCommandStart& start) = 0;
    virtual void CommandFailed(const TCommandFailure& failure) = 0;
    // True: go on with the next command.
    virtual bool ContinueAfterError(const TErrorQuestion& question) = 0;
    // A row of the range without request bytes, passed over.
    virtual void CommandSkipped(const TCommandStart&) {}
    // A sent command has ended, after its failure (if any) was reported.
    virtual void CommandEnded(const TCommandEnd&) {}
    // The run ends on an error: the notice of the command during which it ended.
    virtual void RunFailed(const TRunNotice& notice) = 0;
    // On the thread that started the run, after the replay thread has ended.
    virtual void RunFinished(TReplayResult result) = 0;
};

// One replay after another with one player: marks the range, runs the player on a replay
// thread, answers its error questions by the policy (asking the listener only when the policy
// says so), and turns the bus notices of the run into the listener's typed events.
class TReplaySession final : public ISubscriber
{
public:
    TReplaySession(TKestrun& player, IReplayListener& listener, IEventBus& bus = Bus());
    TReplaySession(const TReplaySession&) = delete;
    TReplaySession& operator=(const TReplaySession&) = delete;

    // On the application thread, with no run active: marks `commands` for the plan, clears what
    // an earlier run left on them and plays them through `driver`. The caller may read the list
    // meanwhile but not change it: the run shares it rather than copy it. The answers are
    // written into the list when the run ends, before RunFinished.
    void Start(TUlvex& driver, TCommands& commands, TReplayPlan plan);
    // The run ends after the command under way (or the pass); the result says it was interrupted.
    // A failure of that command asks nobody: the run ends on it.
    void Stop();

    // Whether a run of the plan over the commands would send nothing at all.
    static bool PlaysNothing(const TCommands& commands, const TReplayPlan& plan);

    QList<TSubscription> ChannelHandlers() override;

private:
    void Execute();
    void Finish(const TNotifyThread& thread);
    void OnCommandRun(const QString& AMsg);
    void OnErrorQuery(const QString& AMsg);
    void OnError(const QString& AMsg);
    void OnCommandSkip(const QString& AMsg);
    // The command under way has ended: a failure nobody reported yet is reported now.
    void CloseCurrent();
    void Report(const TCommandOutcome& outcome, const QString& text, bool lastOfRange);
    void ReportEnd(int32_t code, const QString& error);

    TKestrun& FPlayer;
    IReplayListener& FListener;
    IEventBus& FBus;
    bool FRunning = false;
    // What the run uses; set on the application thread before the replay thread starts, read
    // back there after it has ended.
    TReplayPlan FPlan;
    TCommands* FTarget = nullptr;
    TCommands FCommands; // shares the target's elements for the replay thread
    QHash<int32_t, QByteArray> FPlayed; // a command played again in a loop keeps its last answer
    std::unique_ptr<TWatchedDriver> FDriver;
    TBusRegistration FRegistration;
    int32_t FLastToSend = -1;
    TCommandStart FCurrent;
    bool FCurrentOpen = false;
    QByteArray FCurrentAnswer; // of the command under way, on the replay thread
    int FFailed = 0;
    std::atomic<bool> FInterrupted{false};
};

} // namespace kestrun
