// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReplaySession.h"

#include "NotifyThread.h"
#include "Player.h"

namespace kestrun {

TReplaySession::TReplaySession(TKestrun& player, IReplayListener& listener, IEventBus& bus)
    : FPlayer(player), FListener(listener), FBus(bus)
{
}

bool TReplaySession::PlaysNothing(const TCommands& commands, const TReplayPlan& plan)
{
    return LastToSend(commands, plan) < 0;
}

QList<TSubscription> TReplaySession::ChannelHandlers()
{
    return {
        {QString::fromLatin1(ChannelCommandRun), [this](const QString& AMsg) { OnCommandRun(AMsg); }},
        {QString::fromLatin1(ChannelErrorQuery), [this](const QString& AMsg) { OnErrorQuery(AMsg); }},
        {QString::fromLatin1(ChannelError), [this](const QString& AMsg) { OnError(AMsg); }},
        {QString::fromLatin1(ChannelCommandSkip), [this](const QString& AMsg) { OnCommandSkip(AMsg); }},
    };
}

void TReplaySession::Start(TUlvex& driver, TCommands& commands, TReplayPlan plan)
{
    if (FRunning)
        return;
    FRunning = true;
    FPlan = std::move(plan);
    for (qsizetype j = 0; j < commands.size(); ++j)
        if (commands.at(j).Played || commands.at(j).HasPlayedAnswerData()) {
            commands[j].SetPlayedAnswerData({});
            commands[j].Played = false;
        }
    MarkRange(commands, FPlan.Range);
    FTarget = &commands;
    FCommands = commands;
    FPlayed.clear();
    FLastToSend = LastToSend(FCommands, FPlan);
    FDriver = std::make_unique<TWatchedDriver>(driver);
    FCurrentOpen = false;
    FFailed = 0;
    FInterrupted = false;
    // Only while a run is active: the bus is the process's, the notices carry no run of their own.
    FRegistration = RegisterSubscriberForChannels(*this, FBus);
    RunInThread([this](TNotifyThread& thread) { Finish(thread); }, [this](TNotifyThread&) { Execute(); });
}

void TReplaySession::Stop()
{
    if (FRunning)
        FInterrupted = true;
    FPlayer.StopPlaying();
}

// Runs on the replay thread.
void TReplaySession::Execute()
{
    const auto keep = [this](int32_t index, QByteArray answer) {
        FCurrentAnswer = answer;
        FPlayed.insert(index, std::move(answer));
    };
    // The player clears its stop flag when it starts: a stop that came first is kept here.
    if (!FInterrupted)
        FPlayer.PlayLog(*FDriver, std::as_const(FCommands), keep, FPlan.ExceptList, qMax(0, FPlan.Range.First),
                        FPlan.Range.Count, FPlan.Range.Loop);
    CloseCurrent();
}

void TReplaySession::Finish(const TNotifyThread& thread)
{
    FRegistration = TBusRegistration();
    FDriver.reset();
    FRunning = false;
    // Let go of the shared elements first, so writing the answers copies nothing.
    FCommands = TCommands();
    for (auto played = FPlayed.cbegin(); played != FPlayed.cend(); ++played) {
        if (played.key() >= FTarget->size())
            continue;
        TCommand& command = (*FTarget)[played.key()];
        command.SetPlayedAnswerData(played.value());
        command.Played = true;
    }
    FPlayed.clear();
    FTarget = nullptr;
    FListener.RunFinished({FFailed, FInterrupted, thread.ErrorMessage()});
}

void TReplaySession::CloseCurrent()
{
    if (!FCurrentOpen)
        return;
    FCurrentOpen = false;
    const TCommandOutcome outcome = FDriver->TakeOutcome();
    if (outcome.Failed)
        Report(outcome, outcome.Text, true);
    else
        ReportEnd(0, {});
}

void TReplaySession::Report(const TCommandOutcome& outcome, const QString& text, bool lastOfRange)
{
    ++FFailed;
    FListener.CommandFailed({FCurrent.Index, FCurrent.Cycle, outcome.Code, text, lastOfRange});
    ReportEnd(outcome.Code, text);
}

void TReplaySession::ReportEnd(int32_t code, const QString& error)
{
    FListener.CommandEnded({FCurrent.Index, FCurrent.Cycle, code, error, FCurrentAnswer});
}

void TReplaySession::OnCommandRun(const QString& AMsg)
{
    const std::optional<TRunNotice> notice = ParseCommandRunMessage(AMsg);
    if (!notice)
        return;
    CloseCurrent();
    FCurrent = {notice->Index, notice->Cycle};
    FCurrentOpen = true;
    FCurrentAnswer.clear();
    // The stop flag is read after the pass, so the last counted pass ends in full.
    if (FPlan.Range.Loop && FPlan.Range.Cycles > 0 && notice->Cycle >= FPlan.Range.Cycles
        && notice->Index == FLastToSend)
        FPlayer.StopPlaying();
    FListener.CommandStarted(FCurrent);
}

void TReplaySession::OnErrorQuery(const QString& AMsg)
{
    const std::optional<TRunNotice> notice = ParseErrorQueryMessage(AMsg);
    bool goOn = false;
    if (notice) {
        TCommandOutcome outcome = FDriver->TakeOutcome();
        if (!outcome.Failed)
            outcome.Code = GetResultCode(AMsg);
        FCurrent.Index = notice->Index;
        FCurrentOpen = false;
        Report(outcome, notice->Text, false);
        // A stopped run asks nobody: the stop was the answer.
        const std::optional<bool> decision = FInterrupted ? false : PolicyDecision(FPlan.Policy, outcome.Code);
        goOn = decision ? *decision
                        : FListener.ContinueAfterError({notice->Index, outcome.Code, AMsg, notice->Text});
    }
    FPlayer.SetPlayMode(goOn ? TPlayMode::pmContinue : TPlayMode::pmStop);
}

void TReplaySession::OnCommandSkip(const QString& AMsg)
{
    const std::optional<TRunNotice> notice = ParseCommandRunMessage(AMsg);
    if (!notice)
        return;
    CloseCurrent();
    FListener.CommandSkipped({notice->Index, notice->Cycle});
}

void TReplaySession::OnError(const QString& AMsg)
{
    const std::optional<TRunNotice> notice = ParseErrorMessage(AMsg);
    if (!notice)
        return;
    // An error that escaped the command's own handling has not been reported yet.
    if (FCurrentOpen) {
        FCurrentOpen = false;
        TCommandOutcome outcome = FDriver->TakeOutcome();
        outcome.Failed = true;
        Report(outcome, notice->Text, false);
    }
    FListener.RunFailed(*notice);
}

} // namespace kestrun
