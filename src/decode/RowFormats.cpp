// SPDX-License-Identifier: GPL-3.0-or-later
#include "RowFormats.h"

#include "DisplayText.h"
#include "log/Exception.h"
#include "log/FileWrite.h"
#include "log/LogDialect.h"

#include <QFile>
#include <algorithm>
#include <charconv>
#include <iterator>

namespace kestrun {

using namespace Qt::StringLiterals;

namespace {

// The two-character JSON escape of a character, or null.
const char* ShortEscape(char32_t c)
{
    switch (c) {
    case '"': return "\\\"";
    case '\\': return "\\\\";
    case '\n': return "\\n";
    case '\r': return "\\r";
    case '\t': return "\\t";
    default: return nullptr;
    }
}

// Written in place: a list has a row per command.
void AppendNumber(QByteArray& out, int32_t number)
{
    char digits[16];
    const std::to_chars_result written = std::to_chars(std::begin(digits), std::end(digits), number);
    out.append(digits, written.ptr - digits);
}

int RowState(const TCommandRow& row) { return IsFailedRow(row) ? siError : siNone; }

// A cell on one line with no tab of its own, so the columns stay apart.
QString TabCell(const TCommandRow& row, int column) { return PrintedCell(row, column).replace(u'\t', u' '); }

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
            AppendCsvField(out, PrintedCell(row, column));
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

void AppendJsonString(QByteArray& out, const QString& value)
{
    static constexpr char hex[] = "0123456789abcdef";
    // Encoded straight into `out`, sized for the worst case (a \u00XX escape per character):
    // rows of long texts are written by the hundred thousand.
    const qsizetype start = out.size();
    out.resize(start + value.size() * 6 + 2);
    char* p = out.data() + start;
    *p++ = '"';
    const char16_t* c = reinterpret_cast<const char16_t*>(value.constData());
    const char16_t* const end = c + value.size();
    for (; c != end; ++c) {
        char32_t u = *c;
        if (u >= 0x20 && u < 0x80 && u != '"' && u != '\\') {
            *p++ = static_cast<char>(u);
            continue;
        }
        if (u < 0x80) {
            if (const char* escape = ShortEscape(u)) {
                *p++ = escape[0];
                *p++ = escape[1];
            } else {
                *p++ = '\\';
                *p++ = 'u';
                *p++ = '0';
                *p++ = '0';
                *p++ = hex[u >> 4];
                *p++ = hex[u & 0xF];
            }
            continue;
        }
        // Cyrillic, the rest of most texts, takes two bytes and no further test.
        if (u < 0x800) {
            *p++ = static_cast<char>(0xC0 | (u >> 6));
            *p++ = static_cast<char>(0x80 | (u & 0x3F));
            continue;
        }
        if (QChar::isHighSurrogate(u) && c + 1 != end && QChar::isLowSurrogate(c[1]))
            u = QChar::surrogateToUcs4(static_cast<char16_t>(u), *++c);
        else if (QChar::isSurrogate(u))
            u = QChar::ReplacementCharacter;
        if (u < 0x10000) {
            *p++ = static_cast<char>(0xE0 | (u >> 12));
            *p++ = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        } else {
            *p++ = static_cast<char>(0xF0 | (u >> 18));
            *p++ = static_cast<char>(0x80 | ((u >> 12) & 0x3F));
            *p++ = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        }
        *p++ = static_cast<char>(0x80 | (u & 0x3F));
    }
    *p++ = '"';
    out.truncate(p - out.constData());
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

void AppendJsonRow(QByteArray& out, int index, const TCommandRow& row)
{
    out += "{\"Index\":";
    AppendNumber(out, index);
    out += ",\"Time\":";
    AppendJsonString(out, row.Time);
    out += ",\"TimeIso\":";
    AppendIsoTime(out, row.Time);
    out += ",\"Thread\":";
    AppendJsonString(out, row.Thread);
    out += ",\"Command\":";
    AppendJsonString(out, row.Command);
    out += ",\"Data\":";
    AppendJsonString(out, DisplayText(row.Data));
    out += ",\"DurationMs\":";
    if (row.DurationMs == NoDuration)
        out += "null";
    else
        AppendNumber(out, row.DurationMs);
    out += ",\"State\":";
    AppendNumber(out, RowState(row));
    out += "}\n";
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
