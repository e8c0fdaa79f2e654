#include "CliSupport.h"
#include "Commands.h"
#include "decode/CommandCatalogue.h"
#include "log/Exception.h"
#include "log/LogLoader.h"
#include "playback/DeviceDriver.h"
#include "playback/Notifications.h"
#include "playback/NotifyThread.h"
#include "playback/Player.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <optional>
#include <unistd.h>

namespace kestrun::cli {

namespace {

enum class TOnError { Ask, Continue, Stop };

struct TReplayOptions
{
    QString File;
    QString Device;
    int32_t First = 0;
    int32_t Count = 0;
    std::optional<QList<int32_t>> Selected; // nothing: every command
    bool Loop = false;
    int Cycles = 0;                         // 0: until stopped
    QStringList Except;
    bool IgnoreDeviceErrors = false;
    TOnError OnError = TOnError::Stop;
};

int NonNegative(const QString& text, const QString& what)
{
    const int value = ToInt(text, what);
    if (value < 0)
        throw UsageError{QStringLiteral("%1 must not be negative").arg(what)};
    return value;
}

TReplayOptions ReadOptions(const QStringList& args)
{
    ArgReader reader(args);
    TReplayOptions o;
    o.Device = reader.TakeValue(QStringLiteral("--device"), QString::fromLatin1(DefaultDeviceText));
    o.First = NonNegative(reader.TakeValue(QStringLiteral("--from"), QStringLiteral("0")), QStringLiteral("--from"));
    o.Count = NonNegative(reader.TakeValue(QStringLiteral("--count"), QStringLiteral("0")), QStringLiteral("--count"));
    if (reader.HasValue(QStringLiteral("--selected"))) {
        o.Selected.emplace();
        for (const QString& index : reader.TakeValue(QStringLiteral("--selected")).split(QLatin1Char(','), Qt::SkipEmptyParts))
            *o.Selected << NonNegative(index.trimmed(), QStringLiteral("--selected"));
    }
    o.Loop = reader.TakeFlag(QStringLiteral("--loop"));
    if (reader.HasValue(QStringLiteral("--cycles"))) {
        o.Cycles = ToInt(reader.TakeValue(QStringLiteral("--cycles")), QStringLiteral("--cycles"));
        if (o.Cycles < 1 || !o.Loop)
            throw UsageError{QStringLiteral("--cycles needs --loop and a count of 1 or more")};
    }
    // The exception list starts as the window's and is replaced as a whole, line by line.
    o.Except = reader.HasValue(QStringLiteral("--except")) ? reader.TakeValues(QStringLiteral("--except"))
                                                           : QStringList{QStringLiteral("FF 0A")};
    o.IgnoreDeviceErrors = reader.TakeFlag(QStringLiteral("--ignore-device-errors"));
    const QString onError = reader.TakeValue(QStringLiteral("--on-error"));
    if (onError.isEmpty())
        o.OnError = isatty(STDIN_FILENO) ? TOnError::Ask : TOnError::Stop;
    else if (onError == QLatin1String("ask"))
        o.OnError = TOnError::Ask;
    else if (onError == QLatin1String("continue"))
        o.OnError = TOnError::Continue;
    else if (onError == QLatin1String("stop"))
        o.OnError = TOnError::Stop;
    else
        throw UsageError{QStringLiteral("--on-error takes ask, continue or stop")};
    o.File = reader.Positionals(1, 1).first();
    return o;
}

// The first Ctrl+C asks the replay to stop after the current command, a second one quits.
int InterruptPipe[2] = {-1, -1};

extern "C" void OnInterrupt(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(InterruptPipe[1], &byte, 1);
    struct sigaction fallback = {};
    fallback.sa_handler = SIG_DFL;
    sigaction(SIGINT, &fallback, nullptr);
}

class TInterruptWatch
{
public:
    explicit TInterruptWatch(TKestrun& player)
    {
        if (pipe(InterruptPipe) != 0)
            throw Exception(QStringLiteral("cannot watch for Ctrl+C"));
        FNotifier.emplace(InterruptPipe[0], QSocketNotifier::Read);
        QObject::connect(&*FNotifier, &QSocketNotifier::activated, [&player] {
            char byte;
            [[maybe_unused]] const ssize_t read = ::read(InterruptPipe[0], &byte, 1);
            WriteErr(QStringLiteral("kestrun-cli replay: stopping after the current command (Ctrl+C again quits)"));
            player.StopPlaying();
        });
        struct sigaction action = {};
        action.sa_handler = OnInterrupt;
        action.sa_flags = SA_RESTART;
        sigaction(SIGINT, &action, nullptr);
    }

    ~TInterruptWatch()
    {
        struct sigaction fallback = {};
        fallback.sa_handler = SIG_DFL;
        sigaction(SIGINT, &fallback, nullptr);
        FNotifier.reset();
        close(InterruptPipe[0]);
        close(InterruptPipe[1]);
    }

private:
    std::optional<QSocketNotifier> FNotifier;
};

// The window's side of a replay, on the terminal. The handlers run on the replay thread.
class TTerminalSide final : public ISubscriber
{
public:
    TTerminalSide(TKestrun& player, const TCommands& commands, const TReplayOptions& options, int32_t lastToSend)
        : FPlayer(player), FCommands(commands), FOptions(options), FLastToSend(lastToSend)
    {
    }

    QList<TSubscription> ChannelHandlers() override
    {
        return {
            {QString::fromLatin1(ChannelCommandRun), [this](const QString& m) { OnCommandRun(m); }},
            {QString::fromLatin1(ChannelErrorQuery), [this](const QString& m) { OnErrorQuery(m); }},
            {QString::fromLatin1(ChannelError), [this](const QString& m) { OnError(m); }},
        };
    }

    bool Failed() const { return FFailed; }

private:
    QString NameOf(int32_t index) const
    {
        return index < FCommands.size() ? GetCommandName(FCommands.at(index)) : QString();
    }

    void OnCommandRun(const QString& AMsg)
    {
        const std::optional<TRunNotice> notice = ParseCommandRunMessage(AMsg);
        if (!notice)
            return;
        WriteOut(CommandStatusText(notice->Index, notice->Cycle, FCommands.size(), NameOf(notice->Index)) + '\n');
        std::fflush(stdout);
        // The stop flag is read after the pass, so the last pass ends in full.
        if (FOptions.Cycles > 0 && notice->Cycle >= FOptions.Cycles && notice->Index == FLastToSend)
            FPlayer.StopPlaying();
    }

    void OnErrorQuery(const QString& AMsg)
    {
        bool proceed = false;
        if (FOptions.IgnoreDeviceErrors && GetResultCode(AMsg) > 0)
            proceed = true;
        else if (FOptions.OnError == TOnError::Ask)
            proceed = Ask(AMsg);
        else
            proceed = FOptions.OnError == TOnError::Continue;
        FPlayer.SetPlayMode(proceed ? TPlayMode::pmContinue : TPlayMode::pmStop);
    }

    void OnError(const QString& AMsg)
    {
        FFailed = true;
        const std::optional<TRunNotice> notice = ParseErrorMessage(AMsg);
        if (!notice)
            return;
        WriteOut(ErrorStatusText(notice->Index, notice->Cycle, FCommands.size(), NameOf(notice->Index), notice->Text)
                 + '\n');
    }

    static bool Ask(const QString& AMsg)
    {
        for (;;) {
            WriteErr(QStringLiteral("Ошибка: %1\nПродолжить? [y/n]").arg(AMsg));
            char line[256];
            if (!std::fgets(line, sizeof line, stdin))
                return false;
            const QString answer = QString::fromUtf8(line).trimmed().toLower();
            if (answer == QLatin1String("y") || answer == QLatin1String("yes") || answer == QStringLiteral("д")
                || answer == QStringLiteral("да"))
                return true;
            if (answer == QLatin1String("n") || answer == QLatin1String("no") || answer == QStringLiteral("н")
                || answer == QStringLiteral("нет"))
                return false;
        }
    }

    TKestrun& FPlayer;
    const TCommands& FCommands;
    const TReplayOptions& FOptions;
    int32_t FLastToSend;
    bool FFailed = false;
};

// The index of the last command a pass sends, -1 when it sends none.
int32_t LastToSend(const TCommands& commands, const TReplayOptions& o)
{
    for (int32_t j = TKestrun::LastIndexOfRange(commands.size(), o.First, o.Count); j >= o.First; --j)
        if (commands.at(j).Selected && TKestrun::IsCommandAllowed(commands.at(j), o.Except))
            return j;
    return -1;
}

void PrintPlayed(const TCommands& commands)
{
    for (qsizetype i = 0; i < commands.size(); ++i) {
        const TCommand& c = commands.at(i);
        if (!c.Played)
            continue;
        QByteArray line = "{\"Index\":" + QByteArray::number(i) + ",\"Data\":";
        AppendJsonString(line, QString::fromLatin1(c.Data));
        line += ",\"PlayedAnswerData\":";
        AppendJsonString(line, QString::fromLatin1(c.PlayedAnswerData));
        line += "}\n";
        WriteOut(line);
    }
}

} // namespace

int RunReplay(const QStringList& args)
{
    const TReplayOptions options = ReadOptions(args);
    TCommands commands;
    std::unique_ptr<TUlvex> driver;
    try {
        LoadLog(options.File, {}, commands);
        driver = CreateDriver(options.Device);
    } catch (const Exception& e) {
        WriteErr(e.Message());
        return ExitFailure;
    }
    if (options.Selected) {
        for (int32_t index : *options.Selected) {
            if (index >= commands.size())
                throw UsageError{QStringLiteral("--selected: the log has no command %1").arg(index)};
            commands[index].Selected = true;
        }
    } else {
        for (TCommand& c : commands)
            c.Selected = true;
    }
    const int32_t lastToSend = LastToSend(commands, options);
    // A counted loop with nothing to send has nothing to count.
    if (options.Cycles > 0 && lastToSend < 0)
        return ExitOk;

    TKestrun player;
    TTerminalSide terminal(player, commands, options, lastToSend);
    const TBusRegistration registration = RegisterSubscriberForChannels(terminal);
    TInterruptWatch interrupt(player);
    QEventLoop loop;
    QString threadError;
    RunInThread(
        [&](TNotifyThread& thread) {
            threadError = thread.ErrorMessage();
            loop.quit();
        },
        [&](TNotifyThread&) {
            player.PlayLog(*driver, commands, options.Except, options.First, options.Count, options.Loop);
        });
    loop.exec();

    PrintPlayed(commands);
    if (!threadError.isEmpty()) {
        WriteErr(threadError);
        return ExitFailure;
    }
    return terminal.Failed() ? ExitFailure : ExitOk;
}

} // namespace kestrun::cli
