// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "EventBus.h"
#include "Ulvex.h"
#include "log/Command.h"

#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace kestrun {

// The decision after a failed command.
enum class TPlayMode : uint8_t { pmPlay, pmStop, pmContinue, pmNone };

// Replays logged request frames to a register on the worker thread and reports through the
// bus: "CommandRun" before each command, "CommandSkip" for a row without request bytes, "ErrorQuery" after a failed one (a handler answers
// with SetPlayMode), "Error" when the run ends on an error.
class TKestrun final : public ISubscriber
{
public:
    explicit TKestrun(IEventBus& bus = Bus());
    TKestrun(const TKestrun&) = delete;
    TKestrun& operator=(const TKestrun&) = delete;

    // Takes the answer of a played command, by its index.
    using TPlayedSink = std::function<void(int32_t index, QByteArray answer)>;

    // ACount 0 plays up to the last command; AInfinitePlay repeats the range until stopped. The
    // played answers and Played flags are written into the list.
    void PlayLog(TUlvex& Drv, TCommands& Commands, const QStringList& ExceptList, int32_t AFirstCommandIndex,
                 int32_t ACount, bool AInfinitePlay);
    // The same run over a list it only reads (one shared with a window that goes on reading it):
    // the answers go to `played` instead.
    void PlayLog(TUlvex& Drv, const TCommands& Commands, const TPlayedSink& played, const QStringList& ExceptList,
                 int32_t AFirstCommandIndex, int32_t ACount, bool AInfinitePlay);
    // From any thread: the run ends before its next command, or after the current pass.
    void StopPlaying();
    void OnStopPlay(const QString& AMsg);

    TPlayMode PlayMode() const { return FPlayMode; }
    // The answer to "ErrorQuery": pmContinue or pmStop.
    void SetPlayMode(TPlayMode mode);
    // Blocks until the decision is pmContinue (true) or pmStop (false); a stop request also ends it.
    bool WaitPlayMode();

    // False when the command's code is the code of one of the lines.
    static bool IsCommandAllowed(const TCommand& Command, const QStringList& ExceptList);
    // A row with no request bytes (a driver error line) has nothing to send: it is passed over
    // with "CommandSkip" and counts neither as sent nor as failed.
    static bool HasRequestBytes(const TCommand& Command);
    // The index of the last command of a range, below AFirstCommandIndex when it is empty.
    static int32_t LastIndexOfRange(qsizetype commandCount, int32_t AFirstCommandIndex, int32_t ACount);

    QList<TSubscription> ChannelHandlers() override;

private:
    bool PlayCommand(TUlvex& Drv, const TCommands& Commands, const TPlayedSink& played, int32_t j, int32_t cycle,
                     int32_t lastIndex, const QStringList& ExceptList);

    std::atomic<bool> FStopFlag{false};
    std::atomic<TPlayMode> FPlayMode{TPlayMode::pmPlay};
    std::mutex FDecisionLock;
    std::condition_variable FDecision;
    IEventBus& FBus;
    TBusRegistration FRegistration;
};

} // namespace kestrun
