// SPDX-License-Identifier: GPL-3.0-or-later
// kestrun-cli stats: how long the commands of a log took, per command code, and the slowest.
#include "CliSupport.h"
#include "Commands.h"
#include "Picture.h"

#include "decode/CommandStatistics.h"
#include "log/Exception.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace kestrun::cli {

namespace {

using namespace Qt::StringLiterals;

QJsonValue Milliseconds(const TDurationSummary& durations, int32_t value)
{
    return durations.Timed > 0 ? QJsonValue(value) : QJsonValue(QJsonValue::Null);
}

QJsonValue CodeValue(int32_t code)
{
    return code < 0 ? QJsonValue(QJsonValue::Null) : QJsonValue(CodeText(code));
}

QJsonObject CodeJson(const TCodeStatistics& s)
{
    const TDurationSummary& d = s.Durations;
    return {{u"Code"_s, CodeValue(s.Code)},
            {u"Name"_s, s.Name},
            {u"Count"_s, qint64(s.Count)},
            {u"Errors"_s, qint64(s.Errors)},
            {u"Timed"_s, qint64(d.Timed)},
            {u"MinMs"_s, Milliseconds(d, d.MinMs)},
            {u"MedianMs"_s, Milliseconds(d, d.MedianMs)},
            {u"P95Ms"_s, Milliseconds(d, d.P95Ms)},
            {u"MaxMs"_s, Milliseconds(d, d.MaxMs)}};
}

QByteArray StatisticsJson(const TCommandStatistics& statistics)
{
    QJsonArray codes;
    for (const TCodeStatistics& s : statistics.Codes)
        codes.append(CodeJson(s));
    QJsonArray slowest;
    for (const TSlowCommand& slow : statistics.Slowest)
        slowest.append(QJsonObject{{u"Index"_s, qint64(slow.Index)},
                                   {u"Code"_s, CodeValue(slow.Code)},
                                   {u"Name"_s, slow.Name},
                                   {u"Time"_s, slow.Time},
                                   {u"DurationMs"_s, slow.DurationMs}});
    const QJsonObject document{
        {u"Commands"_s, codes}, {u"Total"_s, CodeJson(statistics.Total)}, {u"Slowest"_s, slowest}};
    return QJsonDocument(document).toJson(QJsonDocument::Compact) + '\n';
}

// An aligned table; columns from `firstNumber` on are right-aligned.
QString Table(const QStringList& titles, const QList<QStringList>& rows, int firstNumber)
{
    QList<qsizetype> widths;
    for (const QString& title : titles)
        widths.append(title.size());
    for (const QStringList& row : rows)
        for (int column = 0; column < row.size(); ++column)
            widths[column] = std::max(widths[column], row[column].size());
    const auto line = [&](const QStringList& cells) {
        QString text;
        for (int column = 0; column < cells.size(); ++column) {
            if (column > 0)
                text += u"  "_s;
            text += column >= firstNumber ? cells[column].rightJustified(widths[column])
                                          : cells[column].leftJustified(widths[column]);
        }
        while (text.endsWith(u' '))
            text.chop(1);
        return text + u'\n';
    };
    QString out = line(titles);
    for (const QStringList& row : rows)
        out += line(row);
    return out;
}

QString StatisticsText(const TCommandStatistics& statistics)
{
    QStringList titles;
    for (int column = 0; column < scColumnCount; ++column)
        titles << StatisticsColumnTitle(column);
    QList<const TCodeStatistics*> groups;
    for (const TCodeStatistics& code : statistics.Codes)
        groups << &code;
    groups << &statistics.Total;
    QList<QStringList> rows;
    for (const TCodeStatistics* s : groups) {
        QStringList cells;
        for (int column = 0; column < scColumnCount; ++column)
            cells << StatisticsCell(*s, column);
        rows << cells;
    }
    QString out = Table(titles, rows, scCount);

    QStringList slowTitles;
    for (int column = 0; column < slColumnCount; ++column)
        slowTitles << SlowColumnTitle(column);
    QList<QStringList> slowRows;
    for (const TSlowCommand& slow : statistics.Slowest) {
        QStringList cells;
        for (int column = 0; column < slColumnCount; ++column)
            cells << SlowCell(slow, column);
        slowRows << cells;
    }
    return out + u'\n' + Table(slowTitles, slowRows, slDuration);
}

} // namespace

int RunStats(const QStringList& args)
{
    ArgReader reader(args);
    const QStringList ignoreLines = TakeIgnoreLines(reader);
    const bool json = reader.TakeFlag(QStringLiteral("--json"));
    if (json)
        UseMachineLocale();
    const bool plot = reader.HasValue(QStringLiteral("--plot"));
    const QString pictureName = reader.TakeValue(QStringLiteral("--plot"));
    const QString fileName = reader.Positionals(1, 1).constFirst();
    if (plot && pictureName.isEmpty())
        throw UsageError{QStringLiteral("--plot требует имя файла")};

    // The log is read in batches, and only the durations are kept of it.
    TStatisticsCollector collector(plot);
    try {
        StreamLog(fileName, ignoreLines, [&collector](const TCommands& batch) {
            for (const TCommand& command : batch)
                collector.Add(command);
        });
    } catch (const Exception& e) {
        return ReportFailure("stats", e.Message());
    }
    const TCommandStatistics statistics = collector.Result();
    if (plot) {
        try {
            WriteTimelinePicture(collector.Timeline(), statistics.Slowest, pictureName);
        } catch (const Exception& e) {
            return ReportFailure("stats", e.Message());
        }
    }
    // The picture alone goes to standard output: the two would not come apart again.
    if (plot && IsStandardStream(pictureName))
        return ExitOk;
    if (json)
        WriteOut(StatisticsJson(statistics));
    else
        WriteOut(StatisticsText(statistics));
    return ExitOk;
}

} // namespace kestrun::cli
