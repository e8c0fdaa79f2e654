// kestrun-cli list: the rows of the command list, as an aligned table or as JSON Lines.
#include "CliSupport.h"
#include "Commands.h"

#include "decode/CommandView.h"
#include "log/Exception.h"
#include "log/LogLoader.h"

#include <algorithm>
#include <deque>
#include <future>
#include <thread>

namespace kestrun::cli {

namespace {

// Output is written in blocks of this size rather than per row.
constexpr qsizetype FlushSize = qsizetype(1) << 20;

void AppendJsonRow(QByteArray& out, const TCommandRow& row)
{
    out += "{\"Time\":";
    AppendJsonString(out, row.Time);
    out += ",\"Thread\":";
    AppendJsonString(out, row.Thread);
    out += ",\"Command\":";
    AppendJsonString(out, row.Command);
    out += ",\"Data\":";
    AppendJsonString(out, row.Data);
    out += ",\"State\":";
    out += QByteArray::number(row.StateImage);
    out += "}\n";
}

// The JSON lines of a batch of rows, and the first summary that could not be decoded.
struct TJsonRows
{
    QByteArray Text;
    QString Error;
};

TJsonRows JsonRows(const TCommands& commands)
{
    TJsonRows rows;
    for (const TCommand& command : commands) {
        const TCommandRow row = MakeCommandRow(command);
        if (rows.Error.isEmpty())
            rows.Error = row.DecodeError;
        AppendJsonRow(rows.Text, row);
    }
    return rows;
}

// Rows are made on worker threads while the log is still being read; every decoder works on
// objects of its own, and batches are written in list order. Returns the first error.
QString PrintJsonRows(const QString& fileName, const QStringList& ignoreLines)
{
    const size_t workers = std::max(1u, std::thread::hardware_concurrency());
    std::deque<std::future<TJsonRows>> pending;
    QString error;
    const auto writeOldest = [&] {
        const TJsonRows rows = pending.front().get();
        pending.pop_front();
        if (!error.isEmpty())
            return;
        WriteOut(rows.Text);
        error = rows.Error;
    };
    try {
        StreamLog(fileName, ignoreLines, [&](const TCommands& batch) {
            if (!error.isEmpty())
                return;
            pending.push_back(std::async(std::launch::async, JsonRows, batch));
            while (pending.size() > workers)
                writeOldest();
        });
    } catch (const Exception& e) {
        while (!pending.empty())
            writeOldest();
        return error.isEmpty() ? e.Message() : error;
    }
    while (!pending.empty())
        writeOldest();
    return error;
}

// The rows the window draws red carry a "!" in front.
bool IsFailed(const TCommandRow& row)
{
    return row.StateImage == siError || row.Data.contains(QLatin1String("[ERROR]"));
}

QString OneLine(QString text)
{
    return text.replace(QLatin1String("\r\n"), QLatin1String(" ")).replace(u'\n', u' ').replace(u'\r', u' ');
}

void PrintTable(const QList<TCommandRow>& rows)
{
    const qsizetype indexWidth = QString::number(std::max<qsizetype>(rows.size() - 1, 0)).size();
    qsizetype timeWidth = 4, threadWidth = 6, commandWidth = 7;
    for (const TCommandRow& row : rows) {
        timeWidth = std::max(timeWidth, row.Time.size());
        threadWidth = std::max(threadWidth, row.Thread.size());
        commandWidth = std::max(commandWidth, row.Command.size());
    }
    const QString gap = QStringLiteral("  ");
    const auto line = [&](const QString& index, QChar mark, const QString& time, const QString& thread,
                          const QString& command, const QString& data) {
        return index.rightJustified(indexWidth) + u' ' + mark + u' ' + time.leftJustified(timeWidth) + gap
             + thread.leftJustified(threadWidth) + gap + command.leftJustified(commandWidth) + gap + data;
    };
    QString out = line(QStringLiteral("#"), u' ', QStringLiteral("Time"), QStringLiteral("Thread"),
                       QStringLiteral("Command"), QStringLiteral("Data")).trimmed() + u'\n';
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const TCommandRow& row = rows[i];
        out += line(QString::number(i), IsFailed(row) ? u'!' : u' ', row.Time, row.Thread, row.Command, OneLine(row.Data));
        out += u'\n';
        if (out.size() >= FlushSize) {
            WriteOut(out);
            out.clear();
        }
    }
    WriteOut(out);
}

} // namespace

int RunList(const QStringList& args)
{
    ArgReader reader(args);
    const QStringList ignoreLines = TakeIgnoreLines(reader);
    const bool json = reader.TakeFlag(QStringLiteral("--json"));
    const QString fileName = reader.Positionals(1, 1).constFirst();

    // Every row is listed, as in the window; the first summary that could not be decoded is
    // reported at the end.
    QString error;
    if (json) {
        error = PrintJsonRows(fileName, ignoreLines);
    } else {
        TCommands commands;
        try {
            LoadLog(fileName, ignoreLines, commands);
        } catch (const Exception& e) {
            return ReportFailure("list", e.Message());
        }
        QList<TCommandRow> rows;
        rows.reserve(commands.size());
        for (const TCommand& command : commands) {
            rows.append(MakeCommandRow(command));
            if (error.isEmpty())
                error = rows.last().DecodeError;
        }
        PrintTable(rows);
    }
    return error.isEmpty() ? ExitOk : ReportFailure("list", error);
}

} // namespace kestrun::cli
