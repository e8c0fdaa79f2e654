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
// Whether sending the command changes the register's fiscal state (the catalogue says so of its
// sales, returns, closes, cancels, shift commands, fiscal reports and registrations).
bool ChangesFiscalState(const TCommand& command);
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
