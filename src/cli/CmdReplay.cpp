#include "CliSupport.h"
#include "Commands.h"
#include "decode/CommandCatalogue.h"
#include "log/Exception.h"
#include "log/LogLoader.h"
#include "playback/DeviceDriver.h"
#include "playback/DeviceLink.h"
#include "playback/Notifications.h"
#include "playback/Player.h"
#include "playback/ReplaySession.h"
#include "playback/TrafficLog.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <optional>
#include <unistd.h>

namespace kestrun::cli {

namespace {

struct TReplayOptions
{
    QString File;
    QString Device;
    QStringList IgnoreLines;
    TReplayPlan Plan;
};

int NonNegative(const QString& text, const QString& what)
{
    const int value = ToInt(text, what);
    if (value < 0)
        throw UsageError{QStringLiteral("%1 must not be negative").arg(what)};
    return value;
}

TErrorAction OnErrorAction(const QString& text)
{
    if (text.isEmpty())
        return isatty(STDIN_FILENO) ? TErrorAction::eaAsk : TErrorAction::eaStop;
    if (text == QLatin1String("ask"))
        return TErrorAction::eaAsk;
    if (text == QLatin1String("continue"))
        return TErrorAction::eaContinue;
    if (text == QLatin1String("stop"))
        return TErrorAction::eaStop;
    throw UsageError{QStringLiteral("--on-error takes ask, continue or stop")};
}

TReplayOptions ReadOptions(const QStringList& args)
{
    ArgReader reader(args);
    TReplayOptions o;
    o.Device = reader.TakeValue(QStringLiteral("--device"), QString::fromLatin1(DefaultDeviceText));
    try {
        CheckDeviceText(o.Device);
    } catch (const Exception& e) {
        throw UsageError{e.Message()};
    }
    o.IgnoreLines = reader.TakeValues(QStringLiteral("--ignore"));
    TReplayRange& range = o.Plan.Range;
    range.First = NonNegative(reader.TakeValue(QStringLiteral("--from"), QStringLiteral("0")), QStringLiteral("--from"));
    range.Count = NonNegative(reader.TakeValue(QStringLiteral("--count"), QStringLiteral("0")), QStringLiteral("--count"));
    if (reader.HasValue(QStringLiteral("--selected"))) {
        range.Rows.emplace();
        for (const QString& index : reader.TakeValue(QStringLiteral("--selected")).split(QLatin1Char(','), Qt::SkipEmptyParts))
            *range.Rows << NonNegative(index.trimmed(), QStringLiteral("--selected"));
    }
    range.Loop = reader.TakeFlag(QStringLiteral("--loop"));
    if (reader.HasValue(QStringLiteral("--cycles"))) {
        range.Cycles = ToInt(reader.TakeValue(QStringLiteral("--cycles")), QStringLiteral("--cycles"));
        if (range.Cycles < 1 || !range.Loop)
            throw UsageError{QStringLiteral("--cycles needs --loop and a count of 1 or more")};
    }
    // The exception list starts as the window's and is replaced as a whole, line by line.
    if (reader.HasValue(QStringLiteral("--except")))
        o.Plan.ExceptList = reader.TakeValues(QStringLiteral("--except"));
    o.Plan.Policy.IgnoreDeviceErrors = reader.TakeFlag(QStringLiteral("--ignore-device-errors"));
    o.Plan.Policy.OnError = OnErrorAction(reader.TakeValue(QStringLiteral("--on-error")));
    o.File = reader.Positionals(1, 1).first();
    return o;
}

// Exit status after Ctrl+C, as a shell reports a process ended by SIGINT.
constexpr int ExitInterrupted = 130;

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
    explicit TInterruptWatch(TReplaySession& session)
    {
        if (pipe(InterruptPipe) != 0)
            throw Exception(QStringLiteral("cannot watch for Ctrl+C"));
        FNotifier.emplace(InterruptPipe[0], QSocketNotifier::Read);
        QObject::connect(&*FNotifier, &QSocketNotifier::activated, [&session] {
            char byte;
            [[maybe_unused]] const ssize_t read = ::read(InterruptPipe[0], &byte, 1);
            WriteErr(QStringLiteral("kestrun-cli replay: stopping after the current command (Ctrl+C again quits)"));
            session.Stop();
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

// The window's side of a replay, on the terminal: status lines, failures and the question go to
// standard error, so that standard output holds the JSON alone.
class TTerminalSide final : public IReplayListener
{
public:
    TTerminalSide(const TCommands& commands, QEventLoop& loop) : FCommands(commands), FLoop(loop) {}

    const TReplayResult& Result() const { return FResult; }

    void CommandStarted(const TCommandStart& start) override
    {
        WriteErr(CommandStatusText(start.Index, start.Cycle, FCommands.size(), NameOf(start.Index)));
    }

    void CommandFailed(const TCommandFailure& failure) override
    {
        WriteErr(ErrorStatusText(failure.Index, failure.Cycle, FCommands.size(), NameOf(failure.Index), failure.Text));
    }

    bool ContinueAfterError(const TErrorQuestion& question) override
    {
        for (;;) {
            WriteErr(QStringLiteral("Ошибка: %1\nПродолжить? [y/n]").arg(question.Message));
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

    // The failure that ended the run has had its line already.
    void RunFailed(const TRunNotice&) override {}

    void RunFinished(TReplayResult result) override
    {
        FResult = std::move(result);
        FLoop.quit();
    }

private:
    QString NameOf(int32_t index) const
    {
        return index < FCommands.size() ? GetCommandName(FCommands.at(index)) : QString();
    }

    const TCommands& FCommands;
    QEventLoop& FLoop;
    TReplayResult FResult;
};

void PrintPlayed(const TCommands& commands)
{
    for (qsizetype i = 0; i < commands.size(); ++i) {
        const TCommand& c = commands.at(i);
        if (!c.Played)
            continue;
        QByteArray line = "{\"Index\":" + QByteArray::number(i) + ",\"Data\":";
        AppendJsonString(line, QString::fromLatin1(c.Data()));
        line += ",\"PlayedAnswerData\":";
        AppendJsonString(line, QString::fromLatin1(c.PlayedAnswerData()));
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
        LoadLog(options.File, options.IgnoreLines, commands);
        driver = CreateDriver(options.Device);
    } catch (const Exception& e) {
        return ReportFailure("replay", e.Message());
    }
    if (options.Plan.Range.Rows)
        for (int32_t index : *options.Plan.Range.Rows)
            if (index >= commands.size())
                throw UsageError{QStringLiteral("--selected: the log has no command %1").arg(index)};
    if (TReplaySession::PlaysNothing(commands, options.Plan))
        return ReportFailure("replay", QStringLiteral("the range holds no command to play"));

    TKestrun player;
    QEventLoop loop;
    TTerminalSide terminal(commands, loop);
    TReplaySession session(player, terminal);
    TInterruptWatch interrupt(session);
    session.Start(*driver, commands, options.Plan);
    loop.exec();

    const TReplayResult& result = terminal.Result();
    PrintPlayed(commands);
    // The register did what it did; the record of it is what failed, and a script must know.
    const QString logFailure = TakeTrafficLogFailure();
    const int logResult = logFailure.isEmpty() ? ExitOk : ReportFailure("replay", logFailure);
    if (!result.ThreadError.isEmpty())
        return ReportFailure("replay", result.ThreadError);
    if (result.Interrupted)
        return ExitInterrupted;
    if (result.Failed > 0)
        return ReportFailure("replay", QStringLiteral("%1 of the played commands failed").arg(result.Failed));
    return logResult;
}

} // namespace kestrun::cli
