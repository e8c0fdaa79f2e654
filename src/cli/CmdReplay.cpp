// SPDX-License-Identifier: GPL-3.0-or-later
#include "CliSupport.h"
#include "log/JsonLine.h"
#include "Commands.h"
#include "decode/CommandView.h"
#include "log/Exception.h"
#include "log/LogLoader.h"
#include "playback/DeviceDriver.h"
#include "playback/DeviceLink.h"
#include "playback/Notifications.h"
#include "playback/Player.h"
#include "playback/ReplaySession.h"
#include "playback/StopSignals.h"
#include "playback/TrafficLog.h"

#include <QEventLoop>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace kestrun::cli {

namespace {

struct TReplayOptions
{
    QString File;
    QString Device;
    QStringList IgnoreLines;
    TReplayPlan Plan;
    bool CountGiven = false; // --count 0 plays nothing; without --count the range runs to the end
};

int NonNegative(const QString& text, const QString& what)
{
    const int value = ToInt(text, what);
    if (value < 0)
        throw UsageError{QStringLiteral("%1 не может быть отрицательным").arg(what)};
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
    throw UsageError{QStringLiteral("--on-error принимает ask, continue или stop")};
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
    o.CountGiven = reader.HasValue(QStringLiteral("--count"));
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
            throw UsageError{QStringLiteral("--cycles требует --loop и число от 1")};
    }
    // The exception list starts as the window's and is replaced as a whole, line by line.
    if (reader.HasValue(QStringLiteral("--except")))
        o.Plan.ExceptList = reader.TakeValues(QStringLiteral("--except"));
    o.Plan.Policy.IgnoreDeviceErrors = reader.TakeFlag(QStringLiteral("--ignore-device-errors"));
    o.Plan.Policy.OnError = OnErrorAction(reader.TakeValue(QStringLiteral("--on-error")));
    o.File = reader.Positionals(1, 1).first();
    return o;
}

// The first Ctrl+C or SIGTERM (what timeout and service managers send) asks the replay to stop
// after the current command, a second one quits.
class TInterruptWatch
{
public:
    explicit TInterruptWatch(TReplaySession& session)
        : FSignals(
              [&session](int) {
                  WriteErr(QStringLiteral("kestrun-cli replay: остановка после текущей команды (повторный сигнал прерывает сразу)"));
                  session.Stop();
              },
              TStopSignals::ssEnds)
    {
    }

    // As a shell reports a process ended by the signal: 130 after Ctrl+C, 143 after SIGTERM.
    int ExitStatus() const { return 128 + (FSignals.Caught() != 0 ? FSignals.Caught() : SIGINT); }

private:
    TStopSignals FSignals;
};

// A row as the other commands number it: from 0, with the pass in loop mode.
QString RowText(int32_t index, int32_t cycle)
{
    return cycle < 0 ? QStringLiteral("Строка %1").arg(index) : QStringLiteral("Цикл %1, строка %2").arg(cycle).arg(index);
}

// The window's side of a replay, on the terminal: one JSON line per row as it ends on standard
// output; status lines, failures and the question on standard error.
class TTerminalSide final : public IReplayListener
{
public:
    TTerminalSide(const TCommands& commands, bool loop, QEventLoop& eventLoop)
        : FCommands(commands), FLoop(loop), FEventLoop(eventLoop)
    {
    }

    void SetSession(TReplaySession& session) { FSession = &session; }
    const TReplayResult& Result() const { return FResult; }
    // The failed write of standard output that stopped the run, empty when none.
    const QString& OutputError() const { return FOutputError; }

    void CommandStarted(const TCommandStart& start) override
    {
        WriteErr(RowText(start.Index, start.Cycle) + QStringLiteral(": ") + NameOf(start.Index));
    }

    void CommandFailed(const TCommandFailure& failure) override
    {
        WriteErr(QStringLiteral("%1: %2: Ошибка: %3").arg(RowText(failure.Index, failure.Cycle), NameOf(failure.Index),
                                                         failure.Text));
    }

    void CommandSkipped(const TCommandStart& skip) override
    {
        WriteErr(QStringLiteral("%1: %2: нет байтов запроса, пропущена").arg(RowText(skip.Index, skip.Cycle), NameOf(skip.Index)));
        PrintRow(skip.Index, skip.Cycle, {}, 0, {}, true);
    }

    void CommandEnded(const TCommandEnd& end) override
    {
        PrintRow(end.Index, end.Cycle, end.Answer, end.Code, end.Error, false);
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
        FEventLoop.quit();
    }

private:
    QString NameOf(int32_t index) const
    {
        return index < FCommands.size() ? MakeCommandRow(FCommands.at(index)).Command : QString();
    }

    // Runs on the replay thread: a failed write ends the run instead of failing the command.
    void PrintRow(int32_t index, int32_t cycle, const QByteArray& answer, int32_t code, const QString& error, bool skipped)
    {
        if (!FOutputError.isEmpty())
            return;
        QByteArray out;
        TJsonLine line(out);
        line.Number("Index", index);
        if (FLoop)
            line.Number("Cycle", cycle);
        line.Cp1251("Data", index < FCommands.size() ? FCommands.at(index).Data() : QByteArray());
        line.Cp1251("PlayedAnswerData", answer).Number("Result", code);
        if (error.isEmpty())
            line.Null("Error");
        else
            line.Text("Error", error);
        line.Bool("Skipped", skipped).End();
        try {
            WriteOut(out);
            FinishOutput();
        } catch (const Exception& e) {
            FOutputError = e.Message();
            if (FSession)
                FSession->Stop();
        }
    }

    const TCommands& FCommands;
    const bool FLoop;
    QEventLoop& FEventLoop;
    TReplaySession* FSession = nullptr;
    TReplayResult FResult;
    QString FOutputError;
};

} // namespace

int RunReplay(const QStringList& args)
{
    const TReplayOptions options = ReadOptions(args);
    TCommands commands;
    std::unique_ptr<TUlvex> driver;
    try {
        LoadLog(options.File, options.IgnoreLines, commands);
        // Nothing of a damaged log is sent: the register would get a part of it.
        if (!InputDamage().isEmpty())
            return ExitFailure;
        driver = CreateDriver(options.Device);
    } catch (const Exception& e) {
        return ReportFailure("replay", e.Message());
    }
    if (options.Plan.Range.Rows)
        for (int32_t index : *options.Plan.Range.Rows)
            if (index >= commands.size())
                throw UsageError{QStringLiteral("--selected: в логе нет команды %1").arg(index)};
    if (options.CountGiven && options.Plan.Range.Count == 0)
        return ReportFailure("replay", QStringLiteral("--count 0: воспроизводить нечего"));
    if (TReplaySession::PlaysNothing(commands, options.Plan))
        return ReportFailure("replay", QStringLiteral("в диапазоне нет команд для воспроизведения"));

    TKestrun player;
    QEventLoop loop;
    TTerminalSide terminal(commands, options.Plan.Range.Loop, loop);
    TReplaySession session(player, terminal);
    terminal.SetSession(session);
    TInterruptWatch interrupt(session);
    session.Start(*driver, commands, options.Plan);
    loop.exec();

    const TReplayResult& result = terminal.Result();
    // The register did what it did; the record of it is what failed, and a script must know.
    const QString logFailure = TakeTrafficLogFailure();
    const int logResult = logFailure.isEmpty() ? ExitOk : ReportFailure("replay", logFailure);
    if (!terminal.OutputError().isEmpty())
        return ReportFailure("replay", terminal.OutputError());
    if (!result.ThreadError.isEmpty())
        return ReportFailure("replay", result.ThreadError);
    if (result.Interrupted)
        return interrupt.ExitStatus();
    if (result.Failed > 0)
        return ReportFailure("replay", QStringLiteral("с ошибкой завершилось команд: %1").arg(result.Failed));
    return logResult;
}

} // namespace kestrun::cli
