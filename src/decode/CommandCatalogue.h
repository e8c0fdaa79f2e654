// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "log/Command.h"

#include <QString>
#include <QStringMatcher>
#include <bitset>
#include <cstdint>

namespace kestrun {

// "Неизвестная команда" for a code not in the catalogue.
QString GetCommandNameByCode(uint16_t code);
QString GetCommandNameByData(const QByteArray& data);
// "Sync" for an empty protocol-2 frame, otherwise the catalogue name.
QString GetCommandName(const TCommand& command);

// What the catalogue tells of a command besides its name, a column of its rows each.
enum TCommandProperty : uint16_t {
    // Sending it changes the register's fiscal state: a sale, a return, a close, a cancel, a shift
    // command, a fiscal report, a registration.
    cpChangesFiscalState = 1 << 0,
    // A status request a driver sends over and over: hidden by "Без опросов" and --hide-polls,
    // its "Data" cell purple.
    cpStatusPoll = 1 << 1,
    // The register prints for it: the emulator keeps its printer busy after it.
    cpPrints = 1 << 2,
    // The player waits for the print to end after it. Not every printing command: a line of
    // text, 85 and FF76 print, but the player goes straight on after them.
    cpPlayerWaits = 1 << 3,
    // Drawn bold in the "Command" and "Data" cells.
    cpBold = 1 << 4,
    // Its "Data" cell drawn in Courier New, or red.
    cpFixedFontData = 1 << 5,
    cpRedData = 1 << 6,
};
using TCommandProperties = uint16_t;
// The status requests the system sends of its own.
constexpr uint16_t ShortStatusCode = 0x10;
constexpr uint16_t LongStatusCode = 0x11;

// The catalogue row's properties of a code; none for a code not in the catalogue.
TCommandProperties CommandProperties(uint16_t code);
// Those of the command's code; none for an empty protocol-2 frame.
TCommandProperties CommandProperties(const TCommand& command);
// The name the list, the details and the listing show: "Ошибка драйвера" for a driver error
// line without a request, otherwise GetCommandName. Searches and filters match this name.
QString GetRowCommandName(const TCommand& command);
// Case-insensitive (locale lower-casing) match of the search text in Attributes or the name.
bool CommandMatches(const TCommand& command, const QString& searchText);

// A search text lowered once for a pass over many commands.
class TSearchText
{
public:
    explicit TSearchText(const QString& searchText);

    bool IsEmpty() const { return FLowered.isEmpty(); }
    // Whether the text occurs in `text`, case folded; an empty search text occurs nowhere.
    bool OccursIn(QStringView text) const;
    bool OccursIn1251(const QByteArray& text) const; // text in Windows-1251
    // Whether the text occurs in the command's name (GetRowCommandName).
    bool OccursInName(const TCommand& command) const;
    // CommandMatches with the prepared text.
    bool Matches(const TCommand& command) const;

private:
    QString FLowered;
    // Prepared once: a filter looks for the text in hundreds of thousands of rows.
    QStringMatcher FMatcher;
    // Per command code, whether the text occurs in its name: the names are few and the commands
    // many, and a case-folded find in Cyrillic costs more than reading the code.
    std::bitset<0x10000> FInNames;
    bool FInSync = false;
    bool FInDriverError = false;
};

} // namespace kestrun
