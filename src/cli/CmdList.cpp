// SPDX-License-Identifier: GPL-3.0-or-later
// kestrun-cli list: the rows of the command list, as an aligned table, JSON Lines or CSV, written
// as the log is read.
#include "CliFollow.h"
#include "CliSupport.h"
#include "log/JsonLine.h"
#include "Commands.h"

#include "decode/CommandFilter.h"
#include "decode/CommandView.h"
#include "decode/RowFormats.h"
#include "log/Exception.h"
#include "log/LogLoader.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <mutex>
#include <deque>
#include <functional>
#include <utility>
#include <optional>
#include <future>
#include <thread>

namespace kestrun::cli {

namespace {

// Output is written in blocks of this size rather than per row.
constexpr qsizetype FlushSize = qsizetype(1) << 20;

// How the rows of a batch come out: JSON and CSV as their text, the table as printed cells whose
// widths are settled when they are written.
enum class TListFormat : uint8_t { lfTable, lfJson, lfCsv, lfCount };

// A row as the table prints it: the cells as text output shows them, and the "!" the rows the
// window draws red carry in front.
struct TPrintedRow
{
    int Index = 0; // in the whole log, whatever the filter leaves out
    QString Cells[colCount];
    bool Failed = false;
};

// What a worker makes of a batch of commands, and the first summary that could not be decoded.
struct TBatchRows
{
    qsizetype Count = 0; // rows the filter passed
    QByteArray Text;
    QList<TPrintedRow> Printed;
    QString Error;
    int ErrorIndex = 0; // the command whose summary could not be decoded
};

TPrintedRow PrintedRow(int index, const TCommandRow& row)
{
    TPrintedRow printed;
    printed.Index = index;
    for (int column = 0; column < colCount; ++column)
        printed.Cells[column] = PrintedCell(row, column, TTabs::tEscaped);
    printed.Failed = IsFailed(row.Outcome);
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

// The table's widths: those of the first batch's rows, so the table needs no pass over the whole
// log before its first line; a longer cell later pushes its line wider. The workers of the later
// batches wait for them.
class TTableLayout
{
public:
    void Settle(const QList<TPrintedRow>& rows)
    {
        const std::lock_guard lock(FLock);
        if (!rows.isEmpty())
            FIndexWidth = QString::number(rows.constLast().Index).size();
        for (const TPrintedRow& row : rows)
            Widen(FWidths, row);
        FSettled = true;
        FChanged.notify_all();
    }
    void Wait()
    {
        std::unique_lock lock(FLock);
        FChanged.wait(lock, [this] { return FSettled; });
    }
    // Once settled.
    const TColumnWidths& Widths() const { return FWidths; }
    qsizetype IndexWidth() const { return FIndexWidth; }
    QString Header() const { return TableLine(QStringLiteral("#"), u' ', ColumnTitle, FWidths, FIndexWidth).trimmed() + u'\n'; }

private:
    std::mutex FLock;
    std::condition_variable FChanged;
    TColumnWidths FWidths = TitleWidths();
    qsizetype FIndexWidth = 1;
    bool FSettled = false;
};

QByteArray TableText(const QList<TPrintedRow>& rows, const TTableLayout& layout)
{
    QString out;
    for (const TPrintedRow& row : rows) {
        out += TableLine(QString::number(row.Index), row.Failed ? u'!' : u' ',
                         [&row](int column) { return row.Cells[column]; }, layout.Widths(), layout.IndexWidth());
        out += u'\n';
    }
    return out.toUtf8();
}

// `first`: the index of the batch's first command in the whole log.
TBatchRows BatchRows(const TCommands& commands, qsizetype first, const TCommandFilter& filter, TListFormat format,
                     TTableLayout* layout)
{
    // Room for a typical row each, so the text seldom moves while it grows.
    constexpr qsizetype TypicalRowBytes = 256;
    TBatchRows rows;
    if (format == TListFormat::lfJson || format == TListFormat::lfCsv)
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
        ++rows.Count;
        if (rows.Error.isEmpty()) {
            rows.Error = rowOf(index).DecodeError;
            rows.ErrorIndex = index;
        }
        switch (format) {
        case TListFormat::lfCount: break;
        case TListFormat::lfJson: AppendJsonRow(rows.Text, index, rowOf(index)); break;
        case TListFormat::lfCsv: AppendRowText(rows.Text, TRowFormat::rfCsv, index, rowOf(index)); break;
        case TListFormat::lfTable: rows.Printed.append(PrintedRow(index, rowOf(index))); break;
        }
    }
    if (format == TListFormat::lfTable) {
        if (first == 0) {
            layout->Settle(rows.Printed);
            rows.Text = layout->Header().toUtf8();
        }
        layout->Wait();
        rows.Text += TableText(rows.Printed, *layout);
        rows.Printed.clear();
    }
    return rows;
}

// Rows are made on worker threads while the log is still being read; every decoder works on
// objects of its own, and batches are handed to `write` in list order, a few at most waiting, so
// a log of any size takes little memory. Every row is written, as in the window; returns the
// first error.
QString StreamRows(const QString& fileName, const QStringList& ignoreLines, const TCommandFilter& filter,
                   TListFormat format, const std::function<void(const TBatchRows&)>& write)
{
    // A pipe may pause for long between its lines: its rows are written as soon as they are made.
    const size_t workers = IsStandardStream(fileName) ? 0 : std::max(1u, std::thread::hardware_concurrency());
    std::deque<std::future<TBatchRows>> pending;
    TTableLayout layout;
    qsizetype first = 0;
    QString error;
    const auto writeOldest = [&] {
        const TBatchRows rows = pending.front().get();
        pending.pop_front();
        write(rows);
        // Each batch is out before the next is read: a reader of a pipe sees the rows as they come.
        FinishOutput();
        if (error.isEmpty() && !rows.Error.isEmpty())
            error = AtCommand(fileName, rows.ErrorIndex, rows.Error);
    };
    try {
        StreamLog(fileName, ignoreLines, [&](const TCommands& batch) {
            pending.push_back(std::async(std::launch::async, BatchRows, batch, first, filter, format, &layout));
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
    // `update`: the row was printed before and a later line changed it.
    const auto print = [&](qsizetype index, const TCommand& command, bool update) {
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
            AppendJsonRow(out, int(index), row, update);
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
                WriteErr(QStringLiteral("kestrun-cli list: файл \"%1\" уменьшился или заменён: список выводится заново с начала").arg(fileName));
                // A reader of the JSON learns it in its own stream: the indexes start again.
                if (json) {
                    QByteArray out;
                    TJsonLine(out).Text("Restart", fileName).End();
                    WriteOut(out);
                }
                next = 0;
            }
            if (step.ChangedLast)
                print(next - 1, *step.ChangedLast, true);
            for (const TCommand& command : step.Added)
                print(next++, command, false);
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
    const bool count = reader.TakeFlag(QStringLiteral("--count"));
    const bool quiet = reader.TakeFlag(QStringLiteral("--quiet")) | reader.TakeFlag(QStringLiteral("-q"));
    const TCommandFilter filter(TakeFilter(reader));
    const QString fileName = reader.Positionals(1, 1).constFirst();
    if (json && csv)
        throw UsageError{QStringLiteral("--json и --csv исключают друг друга")};
    if (follow && csv)
        throw UsageError{QStringLiteral("--follow выводит таблицу или JSON Lines, но не CSV")};
    if ((count || quiet) && (json || csv || follow))
        throw UsageError{QStringLiteral("--count и --quiet не выводят строк: они несовместимы с --json, --csv и --follow")};
    if (json || csv)
        UseMachineLocale();
    // Standard input is followed by reading it as it comes, to its end: its rows are handed
    // over once complete, so none needs printing again.
    if (follow && !IsStandardStream(fileName))
        return FollowList(fileName, ignoreLines, json, filter);

    // Every row that passes the filter is listed, as in the window; the first of their summaries
    // that could not be decoded is reported at the end.
    QString error;
    // As grep -c and grep -q: the number of rows, or nothing; exit status 1 when none.
    if (count || quiet) {
        qsizetype rows = 0;
        error = StreamRows(fileName, ignoreLines, filter, TListFormat::lfCount,
                           [&rows](const TBatchRows& batch) { rows += batch.Count; });
        if (count && (error.isEmpty() || rows > 0))
            WriteOut(QByteArray::number(rows) + '\n');
        if (!error.isEmpty())
            return ReportFailure("list", error);
        return rows > 0 ? ExitOk : ExitFailure;
    }
    if (json) {
        error = StreamRows(fileName, ignoreLines, filter, TListFormat::lfJson,
                           [](const TBatchRows& rows) { WriteOut(rows.Text); });
    } else if (csv) {
        // The header comes with the first rows: a log that cannot be read gives no output at all.
        bool headed = false;
        const auto head = [&headed] {
            if (!std::exchange(headed, true))
                WriteOut(RowsHeader(TRowFormat::rfCsv));
        };
        error = StreamRows(fileName, ignoreLines, filter, TListFormat::lfCsv, [&head](const TBatchRows& rows) {
            head();
            WriteOut(rows.Text);
        });
        if (error.isEmpty())
            head();
    } else {
        // The first batch's text starts with the header; a log without commands has the header alone.
        bool written = false;
        error = StreamRows(fileName, ignoreLines, filter, TListFormat::lfTable, [&written](const TBatchRows& rows) {
            written = true;
            WriteOut(rows.Text);
        });
        if (error.isEmpty() && !written) {
            TTableLayout empty;
            empty.Settle({});
            WriteOut(empty.Header());
        }
    }
    return error.isEmpty() ? ExitOk : ReportFailure("list", error);
}

} // namespace kestrun::cli
