// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <array>
#include <cstdint>

namespace kestrun {

// Frames as text: written canonically, "10 8F 0B", two upper-case digits a byte and one blank
// between bytes; read tolerantly by HexToStr.
constexpr qsizetype HexDigitsPerByte = 2;
constexpr qsizetype HexByteWidth = HexDigitsPerByte + 1; // with the blank after it

// Bytes as canonical text.
QByteArray StrToHex(QByteArrayView bytes);
// The same text written at `out`, which has room for HexByteWidth * size - 1 characters.
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
QByteArray HexToStr(QByteArrayView text);
// The first maxBytes bytes of HexToStr(text), without reading further than needed.
QByteArray HexToStrPrefix(QByteArrayView text, qsizetype maxBytes);
QByteArray HexToBytes(QByteArrayView text);

// The number of bytes canonical text of `size` characters holds; -1 when none has that size.
constexpr qsizetype CanonicalHexBytes(qsizetype size)
{
    return size == 0 ? 0 : (size + 1) % HexByteWidth == 0 ? (size + 1) / HexByteWidth : -1;
}
// Whether the text is canonical, as StrToHex writes it.
bool IsCanonicalHex(QByteArrayView text);
// The bytes of canonical text written at `out`, which has room for CanonicalHexBytes(text.size());
// false, `out` then holding anything, when the text is not canonical.
bool ReadCanonicalHex(QByteArrayView text, char* out);

} // namespace kestrun
