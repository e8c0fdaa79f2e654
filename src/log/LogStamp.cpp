// SPDX-License-Identifier: GPL-3.0-or-later
#include "LogStamp.h"

#include "Command.h"
#include "LogDialect.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>

namespace kestrun {

namespace {

// "[12.03.2024 10:15:30.123]": every character's place is fixed.
constexpr qsizetype StampLength = qsizetype(StampPattern.size());
constexpr qint64 MsPerDay = 24 * 60 * 60 * 1000;

// The stamp is checked eight characters at a time: words at these offsets cover it, and each is
// compared with the pattern's fixed characters and tested for digits where the pattern has 'd'.
constexpr qsizetype WordOffsets[] = {0, 8, 16, StampLength - 8};

constexpr int ByteShift(qsizetype i) { return 8 * int(std::endian::native == std::endian::little ? i : 7 - i); }

// Every byte of the word at `offset` that the pattern fills with `wanted` (a digit place, or else a
// fixed character), set to `value` or to that character.
constexpr uint64_t PatternWord(qsizetype offset, bool digits, int value)
{
    uint64_t word = 0;
    for (qsizetype i = 0; i < 8; ++i) {
        const char c = StampPattern[offset + i];
        if ((c == 'd') == digits)
            word |= uint64_t(value >= 0 ? value : static_cast<unsigned char>(c)) << ByteShift(i);
    }
    return word;
}

constexpr uint64_t EveryByte(uint8_t value) { return 0x0101010101010101ULL * value; }

// The masks of each word, worked out once.
struct TWordMasks
{
    uint64_t DigitPlaces;
    uint64_t Fixed;
    uint64_t HighNibbles;
    uint64_t DigitHighNibbles;
};

constexpr std::array<TWordMasks, std::size(WordOffsets)> WordMasks = [] {
    std::array<TWordMasks, std::size(WordOffsets)> masks{};
    for (size_t w = 0; w < masks.size(); ++w) {
        const uint64_t digitPlaces = PatternWord(WordOffsets[w], true, 0xFF);
        masks[w] = {digitPlaces, PatternWord(WordOffsets[w], false, -1), EveryByte(0xF0) & digitPlaces,
                    EveryByte(0x30) & digitPlaces};
    }
    return masks;
}();

bool MatchesPattern(const char* text)
{
    bool matches = true;
    for (size_t w = 0; w < WordMasks.size(); ++w) {
        const TWordMasks& mask = WordMasks[w];
        uint64_t word;
        std::memcpy(&word, text + WordOffsets[w], sizeof word);
        // 0x30..0x39 have 0x3 above and stay below 0x40 when 6 is added; the fixed characters are
        // all below 0xFA, so adding 6 carries into no neighbour.
        matches &= (word & ~mask.DigitPlaces) == mask.Fixed;
        matches &= (word & mask.HighNibbles) == mask.DigitHighNibbles;
        matches &= ((word + EveryByte(6)) & mask.HighNibbles) == mask.DigitHighNibbles;
    }
    return matches;
}

int Number(const char* text, qsizetype at, qsizetype digits)
{
    int value = 0;
    for (qsizetype i = at; i < at + digits; ++i)
        value = value * 10 + (text[i] - '0');
    return value;
}

// A Gregorian calendar date with a year of the common era (there is no year 0).
constexpr bool IsRealDate(int year, int month, int day)
{
    constexpr int MonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || month < 1 || month > 12 || day < 1)
        return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= MonthDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

// Days from 1 January 1970 to a real date, counted in 400-year cycles from a year that starts in
// March, so the leap day falls at a cycle's end: stamps are read for every line, a calendar
// object per line costs more than the rest of the parse of it.
constexpr qint64 DaysSinceEpoch(int year, int month, int day)
{
    const int y = month <= 2 ? year - 1 : year;
    const int era = y / 400;
    const int yearOfEra = y - era * 400;
    const int dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    constexpr qint64 EpochFromCycleStart = 719468; // 1 March of year 0 to 1 January 1970
    return qint64(era) * 146097 + dayOfEra - EpochFromCycleStart;
}

static_assert(DaysSinceEpoch(1970, 1, 1) == 0);
static_assert(DaysSinceEpoch(2000, 3, 1) == 11017);
static_assert(DaysSinceEpoch(1, 1, 1) == -719162);

} // namespace

std::optional<qint64> LogStampMs(QByteArrayView line)
{
    if (line.size() < StampLength)
        return std::nullopt;
    const char* const text = line.data();
    if (!MatchesPattern(text))
        return std::nullopt;
    return StampMs({Number(text, 7, 4), Number(text, 4, 2), Number(text, 1, 2), Number(text, 12, 2),
                    Number(text, 15, 2), Number(text, 18, 2), Number(text, 21, 3)});
}

std::optional<qint64> StampMs(const TStampFields& f)
{
    if (!IsRealDate(f.Year, f.Month, f.Day) || f.Hour > 23 || f.Minute > 59 || f.Second > 59)
        return std::nullopt;
    return DaysSinceEpoch(f.Year, f.Month, f.Day) * MsPerDay + ((f.Hour * 60 + f.Minute) * 60 + f.Second) * 1000
         + f.Millisecond;
}

int32_t StampDistanceMs(QByteArrayView fromLine, QByteArrayView toLine)
{
    return StampDistanceMs(LogStampMs(fromLine), LogStampMs(toLine));
}

int32_t StampDistanceMs(std::optional<qint64> from, std::optional<qint64> to)
{
    if (!from || !to || *to < *from || *to - *from > std::numeric_limits<int32_t>::max())
        return NoDuration;
    return int32_t(*to - *from);
}

} // namespace kestrun
