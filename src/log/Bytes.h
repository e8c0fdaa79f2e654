// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <array>
#include <cstdint>

namespace kestrun {

// Frame bytes travel as 8-bit strings. A "byte string" is addressed from position 1,
// a "byte array" from index 0; both are QByteArray here.
using TByteString = QByteArray;
using TBytes = QByteArray;

// Days since 30 December 1899, the time of day as the fraction; 0 marks an invalid value.
using TDateTime = double;

// "10 8F 0B": two upper-case digits per byte, single blanks between.
QByteArray StrToHex(QByteArrayView bytes);
// The same text written at `out`, which has room for 3 * size - 1 characters.
void WriteHex(QByteArrayView bytes, char* out);

namespace hex {
// The value of every byte as a hex digit, -1 for the rest: one load instead of three range tests.
// Frames are read digit by digit, so these stay inline.
constexpr std::array<int8_t, 256> DigitValues(bool lowerCase)
{
    std::array<int8_t, 256> values{};
    for (int c = 0; c < 256; ++c)
        values[size_t(c)] = c >= '0' && c <= '9'                ? int8_t(c - '0')
                          : c >= 'A' && c <= 'F'                ? int8_t(c - 'A' + 10)
                          : lowerCase && c >= 'a' && c <= 'f' ? int8_t(c - 'a' + 10)
                                                                : int8_t(-1);
    return values;
}
inline constexpr std::array<int8_t, 256> AnyCase = DigitValues(true);
inline constexpr std::array<int8_t, 256> UpperCase = DigitValues(false);
} // namespace hex

inline char UpperHexDigit(unsigned nibble) { return "0123456789ABCDEF"[nibble & 0x0F]; }
// The value of a hex digit of either case; -1 for any other character.
inline int HexDigitValue(char c) { return hex::AnyCase[static_cast<unsigned char>(c)]; }
// The value of an upper-case hex digit; -1 for any other character, lower case included.
inline int UpperHexDigitValue(char c) { return hex::UpperCase[static_cast<unsigned char>(c)]; }

// Tolerant reading of hex text; stops silently at the first invalid token.
TByteString HexToStr(QByteArrayView text);
// The first maxBytes bytes of HexToStr(text), without reading further than needed.
TByteString HexToStrPrefix(QByteArrayView text, qsizetype maxBytes);
TBytes HexToBytes(QByteArrayView text);

// Little-endian integer of `size` bytes at the 1-based position `pos`; 0 when out of range.
int64_t BinToInt(QByteArrayView bytes, qsizetype pos, int size);
TByteString IntToBin(int64_t value, int size);

TDateTime BinToDate(QByteArrayView bytes, qsizetype pos);
TDateTime BinToTime(QByteArrayView bytes, qsizetype pos);
TDateTime BinToDateTime(QByteArrayView bytes, qsizetype pos);

// The date value of a calendar date and time; 0 when the date or time is not valid.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int min, int sec, int msec = 0);

bool TestBit(uint32_t value, unsigned bit);
double RoundToStep(double value, double step);
int64_t RoundToInt(double value);

} // namespace kestrun
