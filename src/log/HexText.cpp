// SPDX-License-Identifier: GPL-3.0-or-later
#include "HexText.h"

#include <algorithm>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kestrun {

namespace {

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 0x20; }

// Converts a token of one or two characters; -1 when it is not hex.
int TokenValue(const char* token, int length)
{
    const int high = HexDigitValue(token[0]);
    if (high < 0)
        return -1;
    if (length == 1)
        return high;
    const int low = HexDigitValue(token[1]);
    return low < 0 ? -1 : high * 16 + low;
}

} // namespace

QByteArray StrToHex(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return {};
    QByteArray text(bytes.size() * HexByteWidth - 1, ' ');
    WriteHex(bytes, text.data());
    return text;
}

void WriteHex(QByteArrayView bytes, char* out)
{
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out[i * 3] = UpperHexDigit(b >> 4);
        out[i * 3 + 1] = UpperHexDigit(b);
        if (i + 1 < bytes.size())
            out[i * 3 + 2] = ' ';
    }
}

QByteArray HexToStrPrefix(QByteArrayView text, qsizetype maxBytes)
{
    // Every byte takes at least one digit and a blank, or two digits, so half the text is
    // enough room; writing through a pointer keeps long frames cheap.
    const qsizetype room = std::max<qsizetype>(0, std::min<qsizetype>(maxBytes, text.size() / 2 + 1));
    QByteArray bytes(room, Qt::Uninitialized);
    char* const out = bytes.data();
    qsizetype count = 0;
    // The pending token never holds blanks or control characters: they are stripped from
    // both of its ends as soon as they arrive, and it is converted once it has two characters.
    char token[2] = {0, 0};
    int length = 0;
    bool stopped = false;
    const qsizetype size = text.size();
    const char* const data = text.data();
    for (qsizetype i = 0; i < size; ++i) {
        // With no pending token two digits make a byte whatever follows, and a blank after them
        // is only a separator; this is the common case of "10 8F 0B" and skips the token handling.
        while (length == 0 && i + 1 < size && count < room) {
            const int high = HexDigitValue(data[i]);
            const int low = HexDigitValue(data[i + 1]);
            if ((high | low) < 0)
                break;
            out[count++] = static_cast<char>(high * 16 + low);
            i += 2;
            if (i < size && data[i] == ' ')
                ++i;
        }
        if (i >= size)
            break;
        if (count >= room) {
            stopped = true;
            break;
        }
        const char c = text[i];
        const bool blank = c == ' ';
        if (!IsBlankOrControl(c))
            token[length++] = c;
        if (length == 0)
            continue;
        if (length == 2 || blank) {
            const int value = TokenValue(token, length);
            if (value < 0) {
                stopped = true;
                break;
            }
            out[count++] = static_cast<char>(value);
            length = 0;
        }
    }
    if (!stopped && length > 0 && count < room) {
        const int value = TokenValue(token, length);
        if (value >= 0)
            out[count++] = static_cast<char>(value);
    }
    bytes.truncate(count);
    return bytes;
}

QByteArray HexToStr(QByteArrayView text)
{
    return HexToStrPrefix(text, std::numeric_limits<qsizetype>::max());
}

QByteArray HexToBytes(QByteArrayView text) { return HexToStr(text); }

namespace {

// Checks the text and, when asked, writes its bytes in the same pass: without a branch per
// character, by blocks where the processor allows, as frames of receipts run to kilobytes and
// every frame of a log is read as it is loaded.
template <bool Write>
bool CanonicalPass(QByteArrayView text, char* out)
{
    const qsizetype size = text.size();
    if (CanonicalHexBytes(size) < 0)
        return false;
    if (size == 0)
        return true;
    const char* const chars = text.data();
    const qsizetype last = size - HexDigitsPerByte; // the one byte without a blank after it
    unsigned canonical = 1;
    qsizetype at = 0;
#if defined(__SSE2__)
    // Five whole bytes per block of sixteen characters; the sixteenth starts the next block.
    constexpr qsizetype BlockBytes = 5;
    constexpr qsizetype BlockStep = BlockBytes * HexByteWidth;
    constexpr int DigitPlaces = 0b011011011011011;
    constexpr int BlankPlaces = 0b100100100100100;
    const auto inRange = [](__m128i v, char low, char high) {
        // Signed compares: bytes from 0x80 up are below every character in range.
        return _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8(char(low - 1))), _mm_cmplt_epi8(v, _mm_set1_epi8(char(high + 1))));
    };
    for (; at + BlockStep <= last; at += BlockStep) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(chars + at));
        const int digits = _mm_movemask_epi8(_mm_or_si128(inRange(block, '0', '9'), inRange(block, 'A', 'F')));
        const int blanks = _mm_movemask_epi8(_mm_cmpeq_epi8(block, _mm_set1_epi8(' ')));
        canonical &= unsigned((digits & (DigitPlaces | BlankPlaces)) == DigitPlaces)
                   & unsigned((blanks & (DigitPlaces | BlankPlaces)) == BlankPlaces);
        if constexpr (Write) {
            // Every character's value as a digit, then each with the next one's as its low half;
            // the bytes are those at the digit pairs' starts.
            const __m128i letters = _mm_and_si128(_mm_cmpgt_epi8(block, _mm_set1_epi8('9')), _mm_set1_epi8(9));
            const __m128i values = _mm_add_epi8(_mm_and_si128(block, _mm_set1_epi8(0x0F)), letters);
            const __m128i highs = _mm_and_si128(_mm_slli_epi16(values, 4), _mm_set1_epi8(char(0xF0)));
            alignas(16) char pairs[16];
            _mm_store_si128(reinterpret_cast<__m128i*>(pairs), _mm_or_si128(highs, _mm_srli_si128(values, 1)));
            char* const bytes = out + at / HexByteWidth;
            for (qsizetype i = 0; i < BlockBytes; ++i)
                bytes[i] = pairs[i * HexByteWidth];
        }
    }
#endif
    // The rest byte by byte: a digit's value is negative for any other character.
    int faults = canonical != 0 ? 0 : -1;
    unsigned blanks = 0;
    for (qsizetype byte = at / HexByteWidth; at <= last; at += HexByteWidth, ++byte) {
        const int high = UpperHexDigitValue(chars[at]);
        const int low = UpperHexDigitValue(chars[at + 1]);
        faults |= high | low;
        if (at < last)
            blanks |= unsigned(static_cast<unsigned char>(chars[at + 2]) ^ unsigned(' '));
        if constexpr (Write)
            out[byte] = char(high << 4 | low);
    }
    return faults >= 0 && blanks == 0;
}

} // namespace

bool IsCanonicalHex(QByteArrayView text) { return CanonicalPass<false>(text, nullptr); }

bool ReadCanonicalHex(QByteArrayView text, char* out) { return CanonicalPass<true>(text, out); }

} // namespace kestrun
