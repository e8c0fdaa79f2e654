// SPDX-License-Identifier: GPL-3.0-or-later
#include "Protocol2Frame.h"

#include "Exception.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kestrun {

namespace {

constexpr char Escape = '\x9F';
constexpr qsizetype HeaderSize = 4;
constexpr qsizetype TrailerSize = 2;

[[noreturn]] void FrameError() { throw Exception(QStringLiteral("Некорректный формат пакета")); }

// Unstuffs `size` bytes from `in` to `out`, which may be `in` itself: the result is never longer.
// Returns the length written.
qsizetype Unstuff(const char* in, qsizetype size, char* out)
{
    char* const start = out;
    for (qsizetype i = 0; i < size; ++i) {
        const char b = in[i];
        if (b != Escape) {
            *out++ = b;
            continue;
        }
        if (i + 1 == size)
            break;
        switch (static_cast<unsigned char>(in[++i])) {
        case 0x81: *out++ = '\x8F'; break;
        case 0x83: *out++ = Escape; break;
        default: FrameError();
        }
    }
    return out - start;
}

constexpr qsizetype HexByteWidth = 3; // two digits and a blank

// What each byte may be in hex text as StrToHex writes it.
constexpr uint8_t UpperHexDigit = 1;
constexpr uint8_t Blank = 2;
constexpr std::array<uint8_t, 256> HexTextKinds = [] {
    std::array<uint8_t, 256> kinds{};
    for (int c = '0'; c <= '9'; ++c)
        kinds[size_t(c)] = UpperHexDigit;
    for (int c = 'A'; c <= 'F'; ++c)
        kinds[size_t(c)] = UpperHexDigit;
    kinds[' '] = Blank;
    return kinds;
}();

// Whether `size` bytes, tokens of two digits with a blank between, are hex text as StrToHex
// writes it, and whether a token after the first (the start byte, never stuffed) is an escape.
// Checked without a branch per byte, by blocks where the processor allows: frames of receipts
// run to kilobytes.
bool IsPlainHex(const unsigned char* bytes, qsizetype size, bool& escaped)
{
    const auto kind = [bytes](qsizetype at) { return HexTextKinds[bytes[at]]; };
    const auto isEscape = [bytes](qsizetype at) { return (bytes[at] == '9') & (bytes[at + 1] == 'F'); };
    const qsizetype last = size - 2; // where the one token without a blank after it starts
    unsigned plain = kind(last) & kind(last + 1) & UpperHexDigit;
    escaped = (last > 0) & isEscape(last);
    qsizetype at = 0;
#if defined(__SSE2__)
    // Five whole tokens per block of sixteen bytes; the sixteenth starts the next block.
    constexpr qsizetype BlockTokens = 5;
    constexpr qsizetype BlockStep = BlockTokens * HexByteWidth;
    constexpr int DigitPlaces = 0b011011011011011;
    constexpr int BlankPlaces = 0b100100100100100;
    constexpr int TokenStarts = 0b001001001001001;
    const auto inRange = [](__m128i v, char low, char high) {
        // Signed compares: bytes from 0x80 up are below every character in range.
        return _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8(char(low - 1))), _mm_cmplt_epi8(v, _mm_set1_epi8(char(high + 1))));
    };
    for (; at + BlockStep <= last; at += BlockStep) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + at));
        const int digits = _mm_movemask_epi8(_mm_or_si128(inRange(block, '0', '9'), inRange(block, 'A', 'F')));
        const int blanks = _mm_movemask_epi8(_mm_cmpeq_epi8(block, _mm_set1_epi8(' ')));
        const int nines = _mm_movemask_epi8(_mm_cmpeq_epi8(block, _mm_set1_epi8('9')));
        const int effs = _mm_movemask_epi8(_mm_cmpeq_epi8(block, _mm_set1_epi8('F')));
        plain &= unsigned((digits & (DigitPlaces | BlankPlaces)) == DigitPlaces)
               & unsigned((blanks & (DigitPlaces | BlankPlaces)) == BlankPlaces);
        escaped |= (nines & (effs >> 1) & TokenStarts & (at == 0 ? ~1 : ~0)) != 0;
    }
#endif
    for (; at < last; at += HexByteWidth) {
        plain &= kind(at) & kind(at + 1) & (kind(at + 2) >> 1);
        escaped |= (at > 0) & isEscape(at);
    }
    return plain != 0;
}

// The command's hex text taken straight from the frame's text, when that text is written as
// StrToHex writes it (after an optional leading blank), which is how the driver logs it; nullopt
// otherwise. Without an escape byte the command is a piece of the text as it stands; with one it
// is written into `scratch`.
std::optional<QByteArrayView> CommandTextOfPlainHex(QByteArrayView text, QByteArray& scratch)
{
    if (text.startsWith(' '))
        text = text.sliced(1);
    const qsizetype size = text.size();
    if ((size + 1) % HexByteWidth != 0)
        return std::nullopt;
    bool escaped = false;
    if (!IsPlainHex(reinterpret_cast<const unsigned char*>(text.data()), size, escaped))
        return std::nullopt;
    const auto command = [](QByteArrayView unstuffed) {
        // Without the start byte, header and trailer.
        const qsizetype bytes = (unstuffed.size() + 1) / HexByteWidth - HeaderSize - TrailerSize;
        return bytes <= 0 ? QByteArrayView() : unstuffed.sliced(HeaderSize * HexByteWidth, bytes * HexByteWidth - 1);
    };
    if (!escaped)
        return size < HexByteWidth ? QByteArrayView() : command(text.sliced(HexByteWidth));
    // Tokens go over in runs, each with its blank; an escape and the token after it become one.
    scratch.resize(size + 1);
    char* out = scratch.data();
    const auto copyRun = [&](qsizetype from, qsizetype to) {
        std::memcpy(out, text.data() + from, size_t(to - from));
        out += to - from;
    };
    qsizetype run = HexByteWidth;
    for (qsizetype at = HexByteWidth; at < size; at += HexByteWidth) {
        if (text[at] != '9' || text[at + 1] != 'F')
            continue;
        copyRun(run, at);
        // A lone escape at the end is dropped.
        if (at + HexByteWidth >= size) {
            run = size;
            break;
        }
        at += HexByteWidth;
        // 9F 81 stands for 8F, 9F 83 for 9F: only the high digit can change.
        const QByteArrayView stuffed = text.sliced(at, 2);
        if (stuffed != "81" && stuffed != "83")
            FrameError();
        *out++ = stuffed == "81" ? '8' : '9';
        *out++ = 'F';
        *out++ = ' ';
        run = at + HexByteWidth;
    }
    if (run < size) {
        copyRun(run, size);
        *out++ = ' ';
    }
    return command(QByteArrayView(scratch.constData(), qMax<qsizetype>(0, out - scratch.constData() - 1)));
}

} // namespace

QByteArrayView DecodeProtocol2Frame(QByteArrayView text, QByteArray& scratch)
{
    if (std::optional<QByteArrayView> plain = CommandTextOfPlainHex(text, scratch))
        return *plain;
    // Unstuffed where it stands, behind the start byte.
    TByteString frame = HexToStr(text);
    if (frame.isEmpty())
        return {};
    const qsizetype size = Unstuff(frame.constData() + 1, frame.size() - 1, frame.data() + 1);
    if (size <= HeaderSize + TrailerSize)
        return {};
    scratch = StrToHex(QByteArrayView(frame).sliced(1 + HeaderSize, size - HeaderSize - TrailerSize));
    return scratch;
}

} // namespace kestrun
