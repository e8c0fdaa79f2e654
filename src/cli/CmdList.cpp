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
    out += ",\"DurationMs\":";
    out += row.DurationMs == NoDuration ? QByteArray("null") : QByteArray::number(row.DurationMs);
    out += ",\"State\":";
    out += QByteArray::number(IsFailedRow(row) ? siError : siNone);
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
// objects of its own, and batches are written in list order. Every row is written, as in the
// table; returns the first error.
QString PrintJsonRows(const QString& fileName, const QStringList& ignoreLines)
{
    const size_t workers = std::max(1u, std::thread::hardware_concurrency());
    std::deque<std::future<TJsonRows>> pending;
    QString error;
    const auto writeOldest = [&] {
        const TJsonRows rows = pending.front().get();
        pending.pop_front();
        WriteOut(rows.Text);
        if (error.isEmpty())
            error = rows.Error;
    };
    try {
        StreamLog(fileName, ignoreLines, [&](const TCommands& batch) {
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

// A row as the table prints it: the cells as text output shows them, and the "!" the rows the
// window draws red carry in front.
struct TPrintedRow
{
    QString Cells[colCount];
    bool Failed = false;
};

TPrintedRow PrintedRow(const TCommandRow& row)
{
    TPrintedRow printed;
    for (int column = 0; column < colCount; ++column)
        printed.Cells[column] = PrintedCell(row, column);
    printed.Failed = IsFailedRow(row);
    return printed;
}

void PrintTable(const QList<TPrintedRow>& rows)
{
    const qsizetype indexWidth = QString::number(std::max<qsizetype>(rows.size() - 1, 0)).size();
    qsizetype widths[colCount] = {};
    for (int column = 0; column < colCount; ++column)
        widths[column] = ColumnTitle(column).size();
    for (const TPrintedRow& row : rows)
        for (int column = 0; column < colData; ++column)
            widths[column] = std::max(widths[column], row.Cells[column].size());
    const QString gap = QStringLiteral("  ");
    const auto line = [&](const QString& index, QChar mark, const auto& cell) {
        QString text = index.rightJustified(indexWidth) + u' ' + mark + u' ';
        for (int column = 0; column < colData; ++column)
            text += cell(column).leftJustified(widths[column]) + gap;
        text += cell(colData);
        // The duration follows the data, whose width varies too much to pad; a row without one ends there.
        const QString duration = cell(colDuration);
        return duration.isEmpty() ? text : text + gap + duration;
    };
    QString out = line(QStringLiteral("#"), u' ', ColumnTitle).trimmed() + u'\n';
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const TPrintedRow& row = rows[i];
        out += line(QString::number(i), row.Failed ? u'!' : u' ', [&row](int column) { return row.Cells[column]; });
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
        QList<TPrintedRow> rows;
        rows.reserve(commands.size());
        for (const TCommand& command : commands) {
            const TCommandRow row = MakeCommandRow(command);
            if (error.isEmpty())
                error = row.DecodeError;
            rows.append(PrintedRow(row));
        }
        PrintTable(rows);
    }
    return error.isEmpty() ? ExitOk : ReportFailure("list", error);
}

} // namespace kestrun::cli
