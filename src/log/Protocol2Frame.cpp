// SPDX-License-Identifier: GPL-3.0-or-later
#include "Protocol2Frame.h"

#include "Exception.h"
#include "HexText.h"

#include <cstring>
#include <optional>

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

// Whether canonical hex text holds the escape byte.
bool HasEscape(QByteArrayView text)
{
    const char* at = text.data();
    const char* const end = at + text.size();
    while ((at = static_cast<const char*>(std::memchr(at, '9', size_t(end - at)))) && at + 1 < end) {
        if (at[1] == 'F')
            return true;
        ++at;
    }
    return false;
}

// The command's hex text taken straight from the frame's text, when that text is written as
// StrToHex writes it (after an optional leading blank), which is how the driver logs it; nullopt
// otherwise. Without an escape byte the command is a piece of the text as it stands; with one it
// is written into `scratch`.
std::optional<QByteArrayView> CommandTextOfPlainHex(QByteArrayView text, QByteArray& scratch)
{
    if (text.startsWith(' '))
        text = text.sliced(1);
    if (!IsCanonicalHex(text))
        return std::nullopt;
    const qsizetype size = text.size();
    // In canonical text two digits side by side are a byte, so "9F" is found only as one; the
    // start byte is never stuffed.
    const bool escaped = size > HexByteWidth && HasEscape(text.sliced(HexByteWidth));
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
