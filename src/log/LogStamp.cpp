#include "LogStamp.h"

#include "Command.h"

#include <QDate>
#include <limits>

namespace kestrun {

namespace {

// "[12.03.2024 10:15:30.123]": every character's place is fixed.
constexpr char StampPattern[] = "[dd.dd.dddd dd:dd:dd.ddd]";
constexpr qsizetype StampLength = qsizetype(sizeof(StampPattern) - 1);
constexpr qint64 MsPerDay = 24 * 60 * 60 * 1000;

int Number(QByteArrayView line, qsizetype at, qsizetype digits)
{
    int value = 0;
    for (qsizetype i = at; i < at + digits; ++i)
        value = value * 10 + (line[i] - '0');
    return value;
}

} // namespace

std::optional<qint64> LogStampMs(QByteArrayView line)
{
    if (line.size() < StampLength)
        return std::nullopt;
    for (qsizetype i = 0; i < StampLength; ++i) {
        const bool digit = line[i] >= '0' && line[i] <= '9';
        if (StampPattern[i] == 'd' ? !digit : line[i] != StampPattern[i])
            return std::nullopt;
    }
    const QDate date(Number(line, 7, 4), Number(line, 4, 2), Number(line, 1, 2));
    const int hour = Number(line, 12, 2);
    const int minute = Number(line, 15, 2);
    const int second = Number(line, 18, 2);
    if (!date.isValid() || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    const qint64 days = date.toJulianDay() - QDate(1970, 1, 1).toJulianDay();
    return days * MsPerDay + ((hour * 60 + minute) * 60 + second) * 1000 + Number(line, 21, 3);
}

int32_t StampDistanceMs(QByteArrayView fromLine, QByteArrayView toLine)
{
    const std::optional<qint64> from = LogStampMs(fromLine);
    const std::optional<qint64> to = LogStampMs(toLine);
    if (!from || !to || *to < *from || *to - *from > std::numeric_limits<int32_t>::max())
        return NoDuration;
    return int32_t(*to - *from);
}

} // namespace kestrun
