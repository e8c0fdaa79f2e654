#include "Protocol2Frame.h"

#include "Exception.h"

#include <array>
#include <cstdint>
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

// The command's hex text taken straight from the frame's text, when that text is written as
// StrToHex writes it (after an optional leading blank), which is how the driver logs it; nullopt
// otherwise. Without an escape byte the command is a piece of the text as it stands.
std::optional<QByteArray> CommandTextOfPlainHex(QByteArrayView text)
{
    if (text.startsWith(' '))
        text = text.sliced(1);
    const qsizetype size = text.size();
    if ((size + 1) % HexByteWidth != 0)
        return std::nullopt;
    // Checked without a branch per byte: frames of receipts run to kilobytes.
    const auto* const bytes = reinterpret_cast<const unsigned char*>(text.data());
    const auto kind = [bytes](qsizetype at) { return HexTextKinds[bytes[at]]; };
    const auto isEscape = [bytes](qsizetype at) { return (bytes[at] == '9') & (bytes[at + 1] == 'F'); };
    const qsizetype last = size - 2;
    unsigned plain = kind(last) & kind(last + 1) & UpperHexDigit;
    // The start byte is never stuffed.
    bool escaped = (last > 0) & isEscape(last);
    for (qsizetype at = 0; at < last; at += HexByteWidth) {
        plain &= kind(at) & kind(at + 1) & (kind(at + 2) >> 1);
        escaped |= (at > 0) & isEscape(at);
    }
    if (!plain)
        return std::nullopt;
    const auto command = [](QByteArrayView unstuffed) {
        // Without the start byte, header and trailer.
        const qsizetype bytes = (unstuffed.size() + 1) / HexByteWidth - HeaderSize - TrailerSize;
        return bytes <= 0 ? QByteArray()
                          : unstuffed.sliced(HeaderSize * HexByteWidth, bytes * HexByteWidth - 1).toByteArray();
    };
    if (!escaped)
        return size < HexByteWidth ? QByteArray() : command(text.sliced(HexByteWidth));
    QByteArray unstuffed(size, Qt::Uninitialized);
    char* out = unstuffed.data();
    for (qsizetype at = HexByteWidth; at < size; at += HexByteWidth) {
        char high = text[at];
        char low = text[at + 1];
        if (high == '9' && low == 'F') {
            // A lone escape at the end is dropped.
            if (at + HexByteWidth >= size)
                break;
            at += HexByteWidth;
            // 9F 81 stands for 8F, 9F 83 for 9F: only the high digit can change.
            const QByteArrayView stuffed = text.sliced(at, 2);
            if (stuffed == "81")
                high = '8';
            else if (stuffed != "83")
                FrameError();
        }
        *out++ = high;
        *out++ = low;
        *out++ = ' ';
    }
    return command(QByteArrayView(unstuffed.constData(), qMax<qsizetype>(0, out - unstuffed.constData() - 1)));
}

} // namespace

TByteString UnstuffProtocol2(QByteArrayView bytes)
{
    TByteString result(bytes.size(), Qt::Uninitialized);
    result.truncate(Unstuff(bytes.data(), bytes.size(), result.data()));
    return result;
}

QByteArray DecodeProtocol2Frame(QByteArrayView text)
{
    if (std::optional<QByteArray> plain = CommandTextOfPlainHex(text))
        return *std::move(plain);
    // Unstuffed where it stands, behind the start byte.
    TByteString frame = HexToStr(text);
    if (frame.isEmpty())
        return {};
    const qsizetype size = Unstuff(frame.constData() + 1, frame.size() - 1, frame.data() + 1);
    if (size <= HeaderSize + TrailerSize)
        return {};
    return StrToHex(QByteArrayView(frame).sliced(1 + HeaderSize, size - HeaderSize - TrailerSize));
}

} // namespace kestrun
