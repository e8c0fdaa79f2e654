#include "Protocol2Frame.h"

#include "Exception.h"

namespace kestrun {

namespace {

constexpr char Escape = '\x9F';
constexpr qsizetype HeaderSize = 4;
constexpr qsizetype TrailerSize = 2;

} // namespace

namespace {

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
        default: throw Exception(QStringLiteral("Некорректный формат пакета"));
        }
    }
    return out - start;
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
    // Unstuffed where it stands, behind the start byte: a log holds hundreds of thousands of frames.
    TByteString frame = HexToStr(text);
    if (frame.isEmpty())
        return {};
    const qsizetype size = Unstuff(frame.constData() + 1, frame.size() - 1, frame.data() + 1);
    if (size <= HeaderSize + TrailerSize)
        return {};
    return StrToHex(QByteArrayView(frame).sliced(1 + HeaderSize, size - HeaderSize - TrailerSize));
}

} // namespace kestrun
