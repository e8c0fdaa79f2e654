#pragma once

#include "log/Command.h"

#include <QString>
#include <cstdint>

namespace kestrun {

// "Неизвестная команда" for a code not in the catalogue.
QString GetCommandNameByCode(uint16_t code);
QString GetCommandNameByData(const QByteArray& data);
// "Sync" for an empty protocol-2 frame, otherwise the catalogue name.
QString GetCommandName(const TCommand& command);
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
    // CommandMatches with the prepared text.
    bool Matches(const TCommand& command) const;

private:
    QString FLowered;
};

} // namespace kestrun
