// kestrun-cli list: the rows of the command list, as an aligned table or as JSON Lines.
#include "CliFollow.h"
#include "CliSupport.h"
#include "Commands.h"

#include "decode/CommandFilter.h"
#include "decode/CommandView.h"
#include "decode/RowFormats.h"
#include "log/Exception.h"
#include "log/LogLoader.h"

#include <algorithm>
#include <array>
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

// `first`: the index of the batch's first command in the whole log.
TJsonRows JsonRows(const TCommands& commands, qsizetype first, const TCommandFilter& filter)
{
    // Room for a typical row each, so the text seldom moves while it grows.
    constexpr qsizetype TypicalRowBytes = 256;
    TJsonRows rows;
    rows.Text.reserve(commands.size() * TypicalRowBytes);
    for (qsizetype i = 0; i < commands.size(); ++i) {
        std::optional<TCommandRow> row;
        const auto rowOf = [&](int) -> const TCommandRow& {
            if (!row)
                row = MakeCommandRow(commands[i]);
            return *row;
        };
        const int index = int(first + i);
        if (!filter.Accepts(commands[i], index, [&](int k) { return rowOf(k).Data; }))
            continue;
        if (rows.Error.isEmpty())
            rows.Error = rowOf(index).DecodeError;
        AppendJsonRow(rows.Text, index, rowOf(index));
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
    qsizetype first = 0;
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
            pending.push_back(std::async(std::launch::async, JsonRows, batch, first, filter));
            first += batch.size();
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

using TColumnWidths = std::array<qsizetype, colCount>;

TColumnWidths TitleWidths()
{
    TColumnWidths widths{};
    for (int column = 0; column < colCount; ++column)
        widths[size_t(column)] = ColumnTitle(column).size();
    return widths;
}

// Only the columns before the data are padded: the data's width varies too much.
void Widen(TColumnWidths& widths, const TPrintedRow& row)
{
    for (int column = 0; column < colData; ++column)
        widths[size_t(column)] = std::max(widths[size_t(column)], row.Cells[column].size());
}

// One line of the table: the index, the failure mark and the cells; the duration follows the data,
// and a row without one ends there.
template <typename TCellOf>
QString TableLine(const QString& index, QChar mark, const TCellOf& cell, const TColumnWidths& widths,
                  qsizetype indexWidth)
{
    const QString gap = QStringLiteral("  ");
    QString text = index.rightJustified(indexWidth) + u' ' + mark + u' ';
    for (int column = 0; column < colData; ++column)
        text += cell(column).leftJustified(widths[size_t(column)]) + gap;
    text += cell(colData);
    const QString duration = cell(colDuration);
    return duration.isEmpty() ? text : text + gap + duration;
}

void PrintTable(const QList<TPrintedRow>& rows)
{
    const qsizetype indexWidth = QString::number(rows.isEmpty() ? 0 : rows.constLast().Index).size();
    TColumnWidths widths = TitleWidths();
    for (const TPrintedRow& row : rows)
        Widen(widths, row);
    QString out = TableLine(QStringLiteral("#"), u' ', ColumnTitle, widths, indexWidth).trimmed() + u'\n';
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const TPrintedRow& row = rows[i];
        out += TableLine(QString::number(row.Index), row.Failed ? u'!' : u' ',
                         [&row](int column) { return row.Cells[column]; }, widths, indexWidth);
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

// Rows as the log grows, each printed once complete with its index in the whole log; a row that
// a later line changed is printed again with its index. Table columns widen as longer cells come.
int FollowList(const QString& fileName, const QStringList& ignoreLines, bool json, const TCommandFilter& filter)
{
    qsizetype next = 0;
    TColumnWidths widths = TitleWidths();
    if (!json)
        WriteOut(TableLine(QStringLiteral("#"), u' ', ColumnTitle, widths, 0).trimmed() + u'\n');
    const auto print = [&](qsizetype index, const TCommand& command) {
        std::optional<TCommandRow> made;
        const auto rowOf = [&](int) -> const TCommandRow& {
            if (!made)
                made = MakeCommandRow(command);
            return *made;
        };
        if (!filter.Accepts(command, int(index), [&](int k) { return rowOf(k).Data; }))
            return;
        const TCommandRow& row = rowOf(int(index));
        if (json) {
            QByteArray out;
            AppendJsonRow(out, int(index), row);
            WriteOut(out);
            return;
        }
        const TPrintedRow printed = PrintedRow(int(index), row);
        Widen(widths, printed);
        WriteOut(TableLine(QString::number(index), printed.Failed ? u'!' : u' ',
                           [&printed](int column) { return printed.Cells[column]; }, widths, 0)
                 + u'\n');
    };
    QString error;
    try {
        error = FollowLog(fileName, ignoreLines, [&](const TFollowStep& step) {
            if (step.Restarted) {
                WriteErr(QStringLiteral("kestrun-cli list: %1 shrank or was replaced; listing it again from its start").arg(fileName));
                next = 0;
            }
            if (step.ChangedLast)
                print(next - 1, *step.ChangedLast);
            for (const TCommand& command : step.Added)
                print(next++, command);
        });
    } catch (const Exception& e) {
        error = e.Message();
    }
    return error.isEmpty() ? ExitOk : ReportFailure("list", error);
}

} // namespace

int RunList(const QStringList& args)
{
    ArgReader reader(args);
    const QStringList ignoreLines = TakeIgnoreLines(reader);
    const bool json = reader.TakeFlag(QStringLiteral("--json"));
    const bool csv = reader.TakeFlag(QStringLiteral("--csv"));
    const bool follow = reader.TakeFlag(QStringLiteral("--follow"));
    const TCommandFilter filter(TakeFilter(reader));
    const QString fileName = reader.Positionals(1, 1).constFirst();
    if (json && csv)
        throw UsageError{QStringLiteral("--json and --csv exclude each other")};
    if (follow && csv)
        throw UsageError{QStringLiteral("--follow prints a table or JSON Lines, not CSV")};
    if (follow && IsStandardStream(fileName))
        throw UsageError{QStringLiteral("--follow needs a file, not standard input")};
    if (follow)
        return FollowList(fileName, ignoreLines, json, filter);

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
