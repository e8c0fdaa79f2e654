// kestrun-cli list: the rows of the command list, as an aligned table or as JSON Lines.
#include "CliSupport.h"
#include "Commands.h"

#include "decode/CommandFilter.h"
#include "decode/CommandView.h"
#include "decode/RowFormats.h"
#include "log/Exception.h"
#include "log/LogLoader.h"

#include <algorithm>
#include <deque>
#include <optional>
#include <future>
#include <thread>

namespace kestrun::cli {

namespace {

// Output is written in blocks of this size rather than per row.
constexpr qsizetype FlushSize = qsizetype(1) << 20;

// The JSON lines of a batch of rows, and the first summary that could not be decoded.
struct TJsonRows
{
    QByteArray Text;
    QString Error;
};

TJsonRows JsonRows(const TCommands& commands, const TCommandFilter& filter)
{
    TJsonRows rows;
    for (qsizetype i = 0; i < commands.size(); ++i) {
        std::optional<TCommandRow> row;
        const auto rowOf = [&](int) -> const TCommandRow& {
            if (!row)
                row = MakeCommandRow(commands[i]);
            return *row;
        };
        if (!filter.Accepts(commands[i], int(i), [&](int k) { return rowOf(k).Data; }))
            continue;
        if (rows.Error.isEmpty())
            rows.Error = rowOf(int(i)).DecodeError;
        AppendJsonRow(rows.Text, rowOf(int(i)));
    }
    return rows;
}

// Rows are made on worker threads while the log is still being read; every decoder works on
// objects of its own, and batches are written in list order. Every row is written, as in the
// table; returns the first error.
QString PrintJsonRows(const QString& fileName, const QStringList& ignoreLines, const TCommandFilter& filter)
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
            pending.push_back(std::async(std::launch::async, JsonRows, batch, filter));
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
    int Index = 0; // in the whole log, whatever the filter leaves out
    QString Cells[colCount];
    bool Failed = false;
};

TPrintedRow PrintedRow(int index, const TCommandRow& row)
{
    TPrintedRow printed;
    printed.Index = index;
    for (int column = 0; column < colCount; ++column)
        printed.Cells[column] = PrintedCell(row, column);
    printed.Failed = IsFailedRow(row);
    return printed;
}

void PrintTable(const QList<TPrintedRow>& rows)
{
    const qsizetype indexWidth = QString::number(rows.isEmpty() ? 0 : rows.constLast().Index).size();
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
        out += line(QString::number(row.Index), row.Failed ? u'!' : u' ', [&row](int column) { return row.Cells[column]; });
        out += u'\n';
        if (out.size() >= FlushSize) {
            WriteOut(out);
            out.clear();
        }
    }
    WriteOut(out);
}

// The --errors, --command, --thread, --text and --hide-polls options.
TFilterSettings TakeFilter(ArgReader& reader)
{
    TFilterSettings filter;
    filter.ErrorsOnly = reader.TakeFlag(QStringLiteral("--errors"));
    filter.HidePolls = reader.TakeFlag(QStringLiteral("--hide-polls"));
    filter.Commands = reader.TakeValues(QStringLiteral("--command"));
    filter.Thread = reader.TakeValue(QStringLiteral("--thread"));
    filter.Text = reader.TakeValue(QStringLiteral("--text"));
    return filter;
}

} // namespace

int RunList(const QStringList& args)
{
    ArgReader reader(args);
    const QStringList ignoreLines = TakeIgnoreLines(reader);
    const bool json = reader.TakeFlag(QStringLiteral("--json"));
    const bool csv = reader.TakeFlag(QStringLiteral("--csv"));
    const TCommandFilter filter(TakeFilter(reader));
    const QString fileName = reader.Positionals(1, 1).constFirst();
    if (json && csv)
        throw UsageError{QStringLiteral("--json and --csv exclude each other")};

    // Every row that passes the filter is listed, as in the window; the first of their summaries
    // that could not be decoded is reported at the end.
    if (json) {
        const QString error = PrintJsonRows(fileName, ignoreLines, filter);
        return error.isEmpty() ? ExitOk : ReportFailure("list", error);
    }
    TCommands commands;
    try {
        LoadLog(fileName, ignoreLines, commands);
    } catch (const Exception& e) {
        return ReportFailure("list", e.Message());
    }
    // Rows the text filter made are kept for the output and dropped once written.
    std::vector<std::optional<TCommandRow>> made(size_t(commands.size()));
    const auto dataCell = [&](int index) {
        std::optional<TCommandRow>& row = made[size_t(index)];
        if (!row)
            row = MakeCommandRow(commands[index]);
        return row->Data;
    };
    QString error;
    const auto takeRow = [&](int index) {
        std::optional<TCommandRow>& kept = made[size_t(index)];
        TCommandRow row = kept ? std::move(*kept) : MakeCommandRow(commands[index]);
        kept.reset();
        if (error.isEmpty())
            error = row.DecodeError;
        return row;
    };
    const QList<int> shown = FilterCommands(commands, filter, dataCell);
    if (csv) {
        WriteOut(RowsText(TRowFormat::rfCsv, shown, takeRow));
    } else {
        QList<TPrintedRow> rows;
        rows.reserve(shown.size());
        for (int index : shown)
            rows.append(PrintedRow(index, takeRow(index)));
        PrintTable(rows);
    }
    return error.isEmpty() ? ExitOk : ReportFailure("list", error);
}

} // namespace kestrun::cli
