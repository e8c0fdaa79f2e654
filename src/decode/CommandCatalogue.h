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

} // namespace kestrun
