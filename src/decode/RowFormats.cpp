// SPDX-License-Identifier: GPL-3.0-or-later
#include "RowFormats.h"

#include "DisplayText.h"
#include "log/Exception.h"
#include "log/FileWrite.h"
#include "log/JsonLine.h"
#include "log/LogDialect.h"

#include <QFile>
#include <algorithm>
#include <charconv>
#include <iterator>

namespace kestrun {

using namespace Qt::StringLiterals;

namespace {

// Written in place: a list has a row per command.
void AppendNumber(QByteArray& out, int32_t number)
{
    char digits[16];
    const std::to_chars_result written = std::to_chars(std::begin(digits), std::end(digits), number);
    out.append(digits, written.ptr - digits);
}

// The state the command was loaded with (its outcome's), whatever a run has shown on its row since.
int RowState(const TCommandRow& row) { return row.StateImage; }

// A cell on one line with no tab of its own, so the columns stay apart.
QString TabCell(const TCommandRow& row, int column)
{
    return PrintedCell(row, column, TTabs::tKept).replace(u'\t', u' ');
}

QString CsvField(const QString& text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') && !text.contains(u'\r'))
        return text;
    QString quoted = text;
    quoted.replace(u"\""_s, u"\"\""_s);
    return u'"' + quoted + u'"';
}

void AppendCsvField(QByteArray& out, const QString& text)
{
    const bool quoted = std::any_of(text.cbegin(), text.cend(), [](QChar c) {
        return c == u',' || c == u'"' || c == u'\n' || c == u'\r';
    });
    if (!quoted) {
        out += text.toUtf8();
        return;
    }
    out += '"';
    out += QString(text).replace(u"\""_s, u"\"\""_s).toUtf8();
    out += '"';
}

QString CsvLine(const QStringList& fields)
{
    QStringList quoted;
    for (const QString& field : fields)
        quoted << CsvField(field);
    return quoted.join(u',') + u"\r\n"_s;
}

} // namespace

void AppendRowText(QByteArray& out, TRowFormat format, int index, const TCommandRow& row)
{
    switch (format) {
    case TRowFormat::rfTabs: {
        QStringList cells;
        for (int column = 0; column <= colData; ++column)
            cells << TabCell(row, column);
        out += (cells.join(u'\t') + u'\n').toUtf8();
        break;
    }
    case TRowFormat::rfCsv: {
        // Written straight into `out`: a list has a row per command.
        AppendNumber(out, index);
        for (int column = 0; column < colCount; ++column) {
            out += ',';
            AppendCsvField(out, PrintedCell(row, column, TTabs::tKept));
        }
        out += ',';
        AppendNumber(out, RowState(row));
        out += "\r\n";
        break;
    }
    case TRowFormat::rfJsonLines:
        AppendJsonRow(out, index, row);
        break;
    }
}

namespace {

// A log stamp's time, "dd.MM.yyyy HH:mm:ss.zzz", as ISO 8601 ("yyyy-MM-ddTHH:mm:ss.zzz"); null for a
// time of another form.
void AppendIsoTime(QByteArray& out, const QString& time)
{
    constexpr std::string_view Form = StampTimePattern;
    bool fits = time.size() == qsizetype(Form.size());
    for (size_t i = 0; fits && i < Form.size(); ++i)
        fits = Form[i] == 'd' ? time[qsizetype(i)].isDigit() : time[qsizetype(i)] == QLatin1Char(Form[i]);
    if (!fits) {
        out += "null";
        return;
    }
    const QByteArray t = time.toLatin1();
    out += '"' + t.mid(6, 4) + '-' + t.mid(3, 2) + '-' + t.mid(0, 2) + 'T' + t.mid(11, 12) + '"';
}

} // namespace

void AppendJsonRow(QByteArray& out, int index, const TCommandRow& row, bool update)
{
    TJsonLine line(out);
    line.Number("Index", index).Text("Time", row.Time);
    AppendIsoTime(line.Value("TimeIso"), row.Time);
    line.Text("Thread", row.Thread).Text("Command", row.Command).Text("Data", DisplayText(row.Data));
    line.Number("DurationMs", row.DurationMs == NoDuration ? std::nullopt : std::optional<int64_t>(row.DurationMs));
    line.Number("State", RowState(row));
    if (update)
        line.Bool("Update", true);
    line.End();
}

QByteArray RowsHeader(TRowFormat format)
{
    if (format != TRowFormat::rfCsv)
        return {};
    // The byte-order mark tells spreadsheets the text is UTF-8.
    QByteArray out = "\xEF\xBB\xBF";
    QStringList titles{u"Index"_s};
    // Named as the JSON rows name them: the duration's window title carries a comma and a unit.
    for (int column = 0; column < colCount; ++column)
        titles << (column == colDuration ? u"DurationMs"_s : ColumnTitle(column));
    titles << u"State"_s;
    out += CsvLine(titles).toUtf8();
    return out;
}

QByteArray RowsText(TRowFormat format, const QList<int>& indexes, const TRowOf& rowOf)
{
    QByteArray out = RowsHeader(format);
    for (int index : indexes)
        AppendRowText(out, format, index, rowOf(index));
    return out;
}

void SaveRows(const QString& fileName, TRowFormat format, const QList<int>& indexes, const TRowOf& rowOf)
{
    WriteFileAtomically(fileName, RowsText(format, indexes, rowOf));
}

} // namespace kestrun
