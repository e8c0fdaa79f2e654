// SPDX-License-Identifier: GPL-3.0-or-later
// kestrun-cli parse: the log as the window reads it, one JSON object per command.
#include "CliSupport.h"
#include "Commands.h"

#include "log/Codepages.h"
#include "log/Exception.h"
#include "log/JsonLine.h"
#include <array>

namespace kestrun::cli {

namespace {

// Output is written in blocks of this size rather than per record.
constexpr qsizetype FlushSize = qsizetype(1) << 20;

void AppendRecord(QByteArray& out, const TCommand& command)
{
    TJsonLine line(out);
    line.Cp1251("Data", command.Data()).Cp1251("Attributes", command.Attributes()).Cp1251("AnswerData", command.AnswerData());
    // A name of the format, plain ASCII.
    line.Value("Protocol").append('"').append(ProtocolName(command.Protocol)).append('"');
    line.Number("LineNumber", command.LineNumber).Text("DriverError", command.DriverError());
    line.Number("DurationMs", command.DurationMs == NoDuration ? std::nullopt : std::optional<int64_t>(command.DurationMs));
    line.End();
}

void PrintRecords(const TCommands& commands)
{
    QByteArray out;
    out.reserve(FlushSize + 4096);
    for (const TCommand& command : commands) {
        AppendRecord(out, command);
        if (out.size() >= FlushSize) {
            WriteOut(out);
            out.resize(0);
        }
    }
    WriteOut(out);
}

} // namespace

int RunParse(const QStringList& args)
{
    ArgReader reader(args);
    const QStringList ignoreLines = TakeIgnoreLines(reader);
    const bool countOnly = reader.TakeFlag(QStringLiteral("--count"));
    const QString fileName = reader.Positionals(1, 1).constFirst();

    QString error;
    qsizetype count = 0;
    try {
        // Commands are printed as the parser settles them, so a log of any size needs little memory.
        // Only counting reads ahead on a second thread: the commands that print read on one, so
        // `parse` and `list` (whose rows take the other cores) compare on equal reading.
        StreamLog(
            fileName, ignoreLines,
            [&](const TCommands& batch) {
                count += batch.size();
                if (!countOnly)
                    PrintRecords(batch);
            },
            countOnly ? TReadThread::rtAhead : TReadThread::rtCalling);
    } catch (const Exception& e) {
        error = e.Message();
    }
    // A log that could not be read at all has no count; one that failed part way has those before.
    if (countOnly && (error.isEmpty() || count > 0))
        WriteOut(QByteArray::number(count) + '\n');
    return error.isEmpty() ? ExitOk : ReportFailure("parse", error);
}

} // namespace kestrun::cli
