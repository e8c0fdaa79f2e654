// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandView.h"

#include "CommandCatalogue.h"
#include "DisplayText.h"
#include "ParserCommands.h"
#include "log/Codepages.h"
#include "log/Exception.h"
#include "log/FileWrite.h"
#include "log/LogDialect.h"

#include <QLocale>
#include <algorithm>
#include <iterator>

namespace kestrun {

using namespace Qt::StringLiterals;

namespace {

const QString ColumnTitles[] = {
    u"Time"_s,
    u"Thread"_s,
    u"Command"_s,
    u"Data"_s,
    u"Длительность, мс"_s,
};
static_assert(std::size(ColumnTitles) == colCount);

// A pane line per line of the text; an empty text still gives one empty line.
void AddLines(QStringList& lines, const QString& text)
{
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n')
            continue;
        lines << text.mid(start, i - start);
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    lines << text.mid(start);
}

} // namespace

QString ColumnTitle(int column) { return ColumnTitles[column]; }

QString TCommandRow::Cell(int column) const
{
    if (column == colDuration)
        return DurationText(DurationMs);
    const QString* cells[] = {&Time, &Thread, &Command, &Data};
    static_assert(std::size(cells) == colDuration);
    return *cells[column];
}

TCommandRow MakeCommandRow(const TCommand& command)
{
    TCommandRow row;
    row.Time = Cp1251ToUnicode(GetCommandTime(command));
    row.Thread = Cp1251ToUnicode(GetCommandThread(command));
    const bool driverError = command.HasDriverError();
    row.Command = GetRowCommandName(command);
    row.Outcome = RecordOutcome(command);
    row.Properties = CommandProperties(command);
    try {
        row.Data = driverError ? u" Ошибка ["_s + command.DriverError() + u']' : GetCommandShortValue(command);
    } catch (const Exception& e) {
        row.DecodeError = e.Message();
        row.Data = u" [ERROR] "_s + row.DecodeError;
        row.Outcome |= ofDecodeFault;
    }
    row.DurationMs = command.DurationMs;
    row.StateImage = OutcomeImage(row.Outcome);
    return row;
}

QString DurationText(int32_t durationMs) { return durationMs == NoDuration ? QString() : QString::number(durationMs); }

TCellStyle GetCellStyle(int stateImage, TOutcome outcome, TCommandProperties properties, int column)
{
    TCellStyle style;
    style.Red = stateImage == siError;
    if (column != colCommand && column != colData)
        return style;
    // A failure shows in these cells whatever the state image has become since.
    if (IsFailed(outcome)) {
        style.Red = true;
    } else if (properties & cpBold) {
        style.Bold = true;
    } else if (column != colData) {
        return style;
    } else if (properties & cpFixedFontData) {
        style.CourierNew = true;
    } else if (properties & cpStatusPoll) {
        style.Red = false;
        style.Purple = true;
    } else if (properties & cpRedData) {
        style.Red = true;
    }
    return style;
}

TCellStyle GetCellStyle(const TCommandRow& row, int column)
{
    return GetCellStyle(row.StateImage, row.Outcome, row.Properties, column);
}

QString PrintedCell(const TCommandRow& row, int column, TTabs tabs)
{
    QString text = row.Cell(column);
    // Most cells hold no control character: one look, and they are shown as they are.
    const auto isControl = [](QChar c) { return c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F); };
    if (std::none_of(text.cbegin(), text.cend(), isControl))
        return text;
    // Zero runs first: a run before a line break disappears rather than becoming a blank.
    text = DisplayText(text);
    text.replace(u"\r\n"_s, u" "_s).replace(u'\n', u' ').replace(u'\r', u' ');
    return PrintableText(text, tabs);
}

TCommandDetails GetCommandDetails(const TCommand& command)
{
    TCommandDetails details;
    QStringList& lines = details.Lines;
    QString heading = Cp1251ToUnicode(command.Attributes()) + u' ' + ProtocolCaption(command.Protocol) + u" (Line "_s
                    + QString::number(command.LineNumber) + u')';
    // The duration joins the heading only when there is one, so a line without it stays as it was.
    if (command.DurationMs != NoDuration)
        heading += u" Длительность: "_s + DurationText(command.DurationMs) + u" мс"_s;
    AddLines(lines, heading);
    AddLines(lines, GetRowCommandName(command));
    AddLines(lines, u"Передано     : "_s + Cp1251ToUnicode(command.Data()));
    AddLines(lines, command.AnswerData().isEmpty() ? u"Принято (лог): НЕТ ОТВЕТА"_s
                                                 : u"Принято (лог): "_s + Cp1251ToUnicode(command.AnswerData()));
    if (!command.DriverError().isEmpty())
        AddLines(lines, u"ОШИБКА Драйвера: "_s + command.DriverError());
    AddLines(lines, u"Принято (ККТ): "_s + Cp1251ToUnicode(command.PlayedAnswerData()));
    AddLines(lines, QString());
    AddLines(lines, u"Входные параметры:"_s);
    try {
        const TParsedCommand parsed = ParseCommand(command);
        AddLines(lines, parsed.Request);
        AddLines(lines, u"Возвращенные параметры (лог):"_s);
        AddLines(lines, parsed.Answer);
        AddLines(lines, u"Возвращенные параметры (ККТ):"_s);
        AddLines(lines, parsed.Played);
    } catch (const Exception& e) {
        details.Error = e.Message();
    }
    return details;
}

bool SearchMatches(const TCommand& command, const QString& dataCell, const TSearchText& searchText)
{
    return searchText.Matches(command) || searchText.OccursIn(dataCell);
}

TSearchResult ForwardSearch(int count, int firstSelected, const std::function<bool(int)>& test)
{
    if (count <= 0)
        return {TSearchOutcome::soEndedSilently};
    const int start = std::clamp(firstSelected, 0, count - 1);
    const bool startMatches = test(start);
    // A non-matching last row ends the search quietly; a row reached by stepping over a
    // match is still tested, so the last row can be found.
    if (!startMatches && start == count - 1)
        return {TSearchOutcome::soEndedSilently};
    for (int j = start + 1; j < count; ++j)
        if (test(j))
            return {TSearchOutcome::soFound, j};
    return {TSearchOutcome::soNotFound};
}

int BackwardSearch(int before, const std::function<bool(int)>& test)
{
    for (int j = before - 1; j >= 0; --j)
        if (test(j))
            return j;
    return -1;
}

QByteArray ListingText(const TCommands& commands)
{
    QByteArray out;
    for (const TCommand& command : commands) {
        const QByteArray time = GetCommandTime(command);
        const QByteArray thread = GetCommandThread(command);
        AppendLogLine(out, time, thread, {"[", UnicodeToCp1251(GetRowCommandName(command)), "]"});
        // A driver error line sent nothing: its text stands where the request would.
        if (command.HasData() || command.DriverError().isEmpty())
            AppendLogLine(out, time, thread, {SentArrow, " ", command.Data()});
        else
            AppendLogLine(out, time, thread, {UnicodeToCp1251(u"ОШИБКА Драйвера: "_s + command.DriverError())});
        if (!command.AnswerData().isEmpty())
            AppendLogLine(out, time, thread, {ReceivedArrow, " ", command.AnswerData()});
    }
    return out;
}

void SaveListing(const QString& fileName, const TCommands& commands)
{
    WriteFileAtomically(fileName, ListingText(commands));
}

} // namespace kestrun
