// SPDX-License-Identifier: GPL-3.0-or-later
#include "LogStamp.h"

#include "Command.h"
#include "LogDialect.h"

#include <array>
#include <bit>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <limits>

namespace kestrun {

namespace {

// "[12.03.2024 10:15:30.123]": every character's place is fixed.
constexpr qsizetype StampLength = qsizetype(StampPattern.size());

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
    using namespace std::chrono;
    const year_month_day date{year{f.Year}, month{unsigned(f.Month)}, day{unsigned(f.Day)}};
    // A year of the common era: there is no year 0.
    if (f.Year < 1 || !date.ok() || f.Hour > 23 || f.Minute > 59 || f.Second > 59)
        return std::nullopt;
    const sys_time<milliseconds> moment
        = sys_days{date} + hours{f.Hour} + minutes{f.Minute} + seconds{f.Second} + milliseconds{f.Millisecond};
    return moment.time_since_epoch().count();
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
