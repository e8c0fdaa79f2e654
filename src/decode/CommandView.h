// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CommandCatalogue.h"
#include "DisplayText.h"
#include "log/Command.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

namespace kestrun {

// What the window and the command line show of a command, computed here so both agree.

// Row state images of the command list.
enum TStateImage { siNone = -1, siPlay = 0, siError = 1, siClose = 2 };

// Columns of the command list, in the order shown.
enum TColumn { colTime, colThread, colCommand, colData, colDuration, colCount };
// "Time", "Thread", "Command", "Data", "Длительность, мс".
QString ColumnTitle(int column);

struct TCommandRow
{
    QString Time;
    QString Thread;
    QString Command;
    QString Data;
    int32_t DurationMs = NoDuration; // its cell's text is made when asked for, to keep rows small
    int StateImage = siNone;
    TOutcome Outcome = 0;
    TCommandProperties Properties = 0;
    // Why the summary could not be decoded (ofDecodeFault); empty when it could.
    QString DecodeError;

    QString Cell(int column) const;
};

// The four cells, the outcome and the state image a freshly loaded command gets: "Error" when it
// failed. A summary that cannot be decoded still gives a row, its "Data" cell carrying
// " [ERROR] " and the decoder's message, so one damaged record does not hide the commands after it.
TCommandRow MakeCommandRow(const TCommand& command);
// The state image of a command with this outcome when it is loaded or a run starts.
constexpr int OutcomeImage(TOutcome outcome) { return IsFailed(outcome) ? siError : siNone; }
// A duration as its cell shows it: milliseconds, or empty for NoDuration.
QString DurationText(int32_t durationMs);

// Red and Purple never both hold; without either the list's normal colour applies.
struct TCellStyle
{
    bool Red = false;
    bool Bold = false;
    bool CourierNew = false;
    bool Purple = false;

    bool operator==(const TCellStyle&) const = default;
};
// A cell by the row's state image, the command's outcome and its catalogue properties.
TCellStyle GetCellStyle(int stateImage, TOutcome outcome, TCommandProperties properties, int column);
TCellStyle GetCellStyle(const TCommandRow& row, int column);
// The cell as text output shows it: as the window draws it, on one line, other control
// characters written visibly.
QString PrintedCell(const TCommandRow& row, int column, TTabs tabs);

// Lines of the details pane; when decoding fails, the lines made before the failure
// and the error's message.
struct TCommandDetails
{
    QStringList Lines;
    QString Error;
};
TCommandDetails GetCommandDetails(const TCommand& command);

// The search box test: catalogue match, or the text inside the row's "Data" cell.
bool SearchMatches(const TCommand& command, const QString& dataCell, const TSearchText& searchText);

// Forward search over n rows starting from the first selected row (0 when none).
// On soNotFound the caller may ask to start again and call once more with firstSelected 0.
enum class TSearchOutcome { soFound, soNotFound, soEndedSilently };
struct TSearchResult
{
    TSearchOutcome Outcome;
    int Index = -1; // the matching row for soFound
};
TSearchResult ForwardSearch(int count, int firstSelected, const std::function<bool(int)>& test);

// The last row before `before` that passes, -1 when none; none is selected (-1) searches nothing.
int BackwardSearch(int before, const std::function<bool(int)>& test);

// The saved listing: Windows-1251, CR LF lines.
QByteArray ListingText(const TCommands& commands);
// Replaces the file as a whole or not at all (WriteFileAtomically); throws kestrun::Exception
// naming the file and the reason when it cannot be created or written.
void SaveListing(const QString& fileName, const TCommands& commands);

} // namespace kestrun
