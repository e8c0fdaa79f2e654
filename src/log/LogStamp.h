// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QtGlobal>
#include <cstdint>
#include <optional>

namespace kestrun {

// The moment a log line's time stamp names, "[DD.MM.YYYY HH:MM:SS.mmm]" at the line's start, in
// milliseconds since 1 January 1970 (the stamp's own clock; it carries no time zone). nullopt for a
// line without a stamp or with one that does not read as a real date and time.
std::optional<qint64> LogStampMs(QByteArrayView line);

// A stamp's numbers as the line writes them.
struct TStampFields
{
    int Year = 0;
    int Month = 0;
    int Day = 0;
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
    int Millisecond = 0;
};
// The moment they name, as LogStampMs counts; nothing when they name no real moment.
std::optional<qint64> StampMs(const TStampFields& fields);

// Milliseconds from the stamp of `fromLine` to that of `toLine`; NoDuration (Command.h) when either
// stamp cannot be read, the second lies before the first, or the distance does not fit.
int32_t StampDistanceMs(QByteArrayView fromLine, QByteArrayView toLine);
// The same between two moments already read.
int32_t StampDistanceMs(std::optional<qint64> from, std::optional<qint64> to);

} // namespace kestrun
