// SPDX-License-Identifier: GPL-3.0-or-later
#include "Player.h"

#include "Notifications.h"
#include "decode/CommandCatalogue.h"
#include "decode/PrinterError.h"
#include "log/Bytes.h"
#include "log/CurrentError.h"
#include "log/Exception.h"
#include "log/Frames.h"

#include <chrono>
#include <thread>

namespace kestrun {

namespace {

constexpr int MaxExchanges = 5;
constexpr std::chrono::milliseconds RetryPause{50};

// Whether the player waits for the print after the request: the catalogue says which commands.
// The request is compared as text with the code's upper-case hex ("FF 45"), as the player always
// has: one written in lower case is not waited for.
bool IsPrintingCommand(const QByteArray& data)
{
    // Some dialects leave a blank in front of the first byte.
    const QByteArray request = data.trimmed();
    const uint16_t code = GetCommandCodeOfData(request);
    if (!(CommandProperties(code) & cpPlayerWaits))
        return false;
    QByteArray codeBytes;
    if (code > 0xFF)
        codeBytes += char(code >> 8);
    codeBytes += char(code & 0xFF);
    return request.startsWith(StrToHex(codeBytes));
}

// The answer a device error stands for: the request's code and the error byte.
QByteArray PlayedErrorAnswer(const QByteArray& data, int32_t result)
{
    if (data.size() < 2)
        return {};
    return StrToHex(ErrorAnswer(HexToStr(data), static_cast<uint8_t>(result)));
}

} // namespace

TKestrun::TKestrun(IEventBus& bus) : FBus(bus), FRegistration(RegisterSubscriberForChannels(*this, bus)) {}

QList<TSubscription> TKestrun::ChannelHandlers()
{
    return {{QString::fromLatin1(ChannelStopPlay), [this](const QString& AMsg) { OnStopPlay(AMsg); }}};
}

void TKestrun::PlayLog(TUlvex& Drv, TCommands& Commands, const QStringList& ExceptList, int32_t AFirstCommandIndex,
                       int32_t ACount, bool AInfinitePlay)
{
    const auto intoList = [&Commands](int32_t index, QByteArray answer) {
        TCommand played = Commands.at(index);
        played.SetPlayedAnswerData(answer);
        played.Played = true;
        Commands[index] = played;
    };
    PlayLog(Drv, std::as_const(Commands), intoList, ExceptList, AFirstCommandIndex, ACount, AInfinitePlay);
}

void TKestrun::PlayLog(TUlvex& Drv, const TCommands& Commands, const TPlayedSink& played,
                       const QStringList& ExceptList, int32_t AFirstCommandIndex, int32_t ACount, bool AInfinitePlay)
{
    FStopFlag = false;
    int32_t cycle = AInfinitePlay ? 0 : -1;
    // A negative start would index before the list.
    const int32_t first = qMax(0, AFirstCommandIndex);
    int32_t j = first;
    try {
        do {
            if (AInfinitePlay)
                ++cycle;
            const int32_t last = LastIndexOfRange(Commands.size(), first, ACount);
            SetPlayMode(TPlayMode::pmPlay);
            bool sent = false;
            for (j = first; j <= last && !FStopFlag; ++j)
                sent = PlayCommand(Drv, Commands, played, j, cycle, last, ExceptList) || sent;
            // A loop over nothing to send would otherwise spin a core until stopped.
            if (AInfinitePlay && !sent && !FStopFlag)
                std::this_thread::sleep_for(RetryPause);
        } while (AInfinitePlay && !FStopFlag);
    } catch (...) {
        FBus.Post(QString::fromLatin1(ChannelError), ErrorMessage(j, cycle, CurrentErrorMessage()));
    }
}

bool TKestrun::PlayCommand(TUlvex& Drv, const TCommands& Commands, const TPlayedSink& played, int32_t j,
                           int32_t cycle, int32_t lastIndex, const QStringList& ExceptList)
{
    // A copy: writing the answer into the list may move its elements.
    const TCommand command = Commands.at(j);
    if (!command.Selected || !IsCommandAllowed(command, ExceptList))
        return false;
    if (!HasRequestBytes(command)) {
        FBus.Post(QString::fromLatin1(ChannelCommandSkip), CommandRunMessage(j, cycle));
        return false;
    }
    try {
        FBus.Post(QString::fromLatin1(ChannelCommandRun), CommandRunMessage(j, cycle));
        Drv.SetBinaryConversion(1);
        Drv.SetTransferBytes(QString::fromLatin1(command.Data()));
        int32_t result = 0;
        for (int exchanges = 1;; ++exchanges) {
            result = Drv.ExchangeBytes();
            if (!IsBusyError(result))
                break;
            // After a stop the busy device is not asked again: the command is not sent anew.
            if (FStopFlag)
                break;
            std::this_thread::sleep_for(RetryPause);
            if (exchanges >= MaxExchanges)
                break;
        }
        played(j, result <= 0 ? Drv.TransferBytes().toLatin1() : PlayedErrorAnswer(command.Data(), result));
        if (result != 0)
            throw Exception(ResultErrorText(Drv.ResultCode(), Drv.ResultCodeDescription()));
        if (IsPrintingCommand(command.Data()))
            Drv.WaitForPrinting();
    } catch (...) {
        const QString text = CurrentErrorMessage();
        // The last command of the range fails silently: its answer shows in its details.
        if (j == lastIndex)
            return true;
        FBus.Post(QString::fromLatin1(ChannelErrorQuery), ErrorQueryMessage(j, text));
        if (!WaitPlayMode())
            throw Exception(text);
        SetPlayMode(TPlayMode::pmPlay);
    }
    return true;
}

void TKestrun::StopPlaying()
{
    FStopFlag = true;
    // Under the lock, so a WaitPlayMode between its test and its sleep cannot miss it.
    { std::lock_guard lock(FDecisionLock); }
    FDecision.notify_all();
}

void TKestrun::OnStopPlay(const QString& AMsg)
{
    Q_UNUSED(AMsg);
    SetPlayMode(TPlayMode::pmStop);
}

void TKestrun::SetPlayMode(TPlayMode mode)
{
    {
        std::lock_guard lock(FDecisionLock);
        FPlayMode = mode;
    }
    FDecision.notify_all();
}

bool TKestrun::WaitPlayMode()
{
    std::unique_lock lock(FDecisionLock);
    FDecision.wait(lock, [this] {
        const TPlayMode mode = FPlayMode;
        return mode == TPlayMode::pmStop || mode == TPlayMode::pmContinue || FStopFlag;
    });
    return FPlayMode == TPlayMode::pmContinue;
}

bool TKestrun::IsCommandAllowed(const TCommand& Command, const QStringList& ExceptList)
{
    const uint16_t code = GetCommandCode(Command);
    for (const QString& line : ExceptList)
        if (GetCommandCodeOfData(line.toLatin1()) == code)
            return false;
    return true;
}

bool TKestrun::HasRequestBytes(const TCommand& Command) { return !HexToStrPrefix(Command.Data(), 1).isEmpty(); }

int32_t TKestrun::LastIndexOfRange(qsizetype commandCount, int32_t AFirstCommandIndex, int32_t ACount)
{
    const int64_t lastElement = commandCount - 1;
    if (ACount > 0)
        return static_cast<int32_t>(qMin<int64_t>(int64_t(AFirstCommandIndex) + ACount - 1, lastElement));
    return static_cast<int32_t>(lastElement);
}

} // namespace kestrun
