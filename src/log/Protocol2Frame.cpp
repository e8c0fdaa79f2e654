#include "Protocol2Frame.h"

#include "Exception.h"

namespace kestrun {

namespace {

constexpr char Escape = '\x9F';
constexpr qsizetype HeaderSize = 4;
constexpr qsizetype TrailerSize = 2;

} // namespace

TByteString UnstuffProtocol2(QByteArrayView bytes)
{
    TByteString result(bytes.size(), Qt::Uninitialized);
    char* out = result.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char b = bytes[i];
        if (b != Escape) {
            *out++ = b;
            continue;
        }
        if (i + 1 == bytes.size())
            break;
        switch (static_cast<unsigned char>(bytes[++i])) {
        case 0x81: *out++ = '\x8F'; break;
        case 0x83: *out++ = Escape; break;
        default: throw Exception(QStringLiteral("Некорректный формат пакета"));
        }
    }
    result.truncate(out - result.constData());
    return result;
}

QByteArray DecodeProtocol2Frame(QByteArrayView text)
{
    const TByteString frame = HexToStr(text);
    if (frame.isEmpty())
        return {};
    const TByteString unstuffed = UnstuffProtocol2(QByteArrayView(frame).sliced(1));
    if (unstuffed.size() <= HeaderSize + TrailerSize)
        return {};
    return StrToHex(QByteArrayView(unstuffed).sliced(HeaderSize, unstuffed.size() - HeaderSize - TrailerSize));
}

} // namespace kestrun
