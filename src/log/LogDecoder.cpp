// SPDX-License-Identifier: GPL-3.0-or-later
#include "LogDecoder.h"

#include "Exception.h"

#include <cstring>

namespace kestrun {

namespace {

// Tried in this order.
const TByteOrderMark ByteOrderMarks[] = {
    {"\xEF\xBB\xBF", TTextEncoding::teUtf8},
    {"\xFF\xFE", TTextEncoding::teUtf16LE},
    {"\xFE\xFF", TTextEncoding::teUtf16BE},
};

bool IsAscii(const char* p, size_t n)
{
    constexpr uint64_t HighBits = 0x8080808080808080ULL;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t word;
        std::memcpy(&word, p + i, 8);
        if (word & HighBits)
            return false;
    }
    for (; i < n; ++i)
        if (static_cast<unsigned char>(p[i]) >= 0x80)
            return false;
    return true;
}

// Set once before any log is read.
TTextEncoding UnmarkedEncoding = TTextEncoding::teWindows1251;
QByteArray UnmarkedEncodingName;

struct TKnownEncoding
{
    const char* Name;
    TTextEncoding Encoding;
};

// Names read by the decoder's own paths; any other goes through a converter of that name.
const TKnownEncoding KnownEncodings[] = {
    {"windows-1251", TTextEncoding::teWindows1251}, {"cp1251", TTextEncoding::teWindows1251},
    {"utf-8", TTextEncoding::teUtf8},               {"utf8", TTextEncoding::teUtf8},
    {"utf-16le", TTextEncoding::teUtf16LE},         {"utf-16be", TTextEncoding::teUtf16BE},
};

} // namespace

void SetUnmarkedLogEncoding(const QString& name)
{
    for (const TKnownEncoding& known : KnownEncodings)
        if (name.compare(QLatin1String(known.Name), Qt::CaseInsensitive) == 0) {
            UnmarkedEncoding = known.Encoding;
            UnmarkedEncodingName = known.Name;
            return;
        }
    if (!QStringDecoder(name.toLatin1().constData()).isValid())
        throw Exception(QStringLiteral("Неизвестная кодировка \"%1\"").arg(name));
    UnmarkedEncoding = TTextEncoding::teNamed;
    UnmarkedEncodingName = name.toLatin1();
}

TTextEncoding UnmarkedLogEncoding() { return UnmarkedEncoding; }

const QByteArray& UnmarkedLogEncodingName() { return UnmarkedEncodingName; }

std::optional<TByteOrderMark> FindByteOrderMark(QByteArrayView AHead)
{
    for (const TByteOrderMark& mark : ByteOrderMarks)
        if (AHead.startsWith(mark.Bytes))
            return mark;
    return std::nullopt;
}

bool MayBeginByteOrderMark(QByteArrayView AHead)
{
    for (const TByteOrderMark& mark : ByteOrderMarks)
        if (AHead.size() < mark.Bytes.size() && mark.Bytes.startsWith(AHead))
            return true;
    return false;
}

TLogDecoder::TLogDecoder(TTextEncoding AEncoding, ILogLineSink& ASink)
    : FEncoding(AEncoding), FSink(ASink),
      FUtf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom)
{
    if (FEncoding == TTextEncoding::teNamed)
        FNamed = QStringDecoder(UnmarkedEncodingName.constData(), QStringConverter::Flag::Stateless);
}

void TLogDecoder::Feed(const char* AData, size_t ASize)
{
    switch (FEncoding) {
    case TTextEncoding::teWindows1251:
        FBytes.Feed(AData, ASize, [this](std::string_view line) { AddSingleByteLine(line); });
        break;
    case TTextEncoding::teUtf8:
        FBytes.Feed(AData, ASize, [this](std::string_view line) { AddUtf8Line(line); });
        break;
    case TTextEncoding::teNamed:
        FBytes.Feed(AData, ASize, [this](std::string_view line) { AddNamedLine(line); });
        break;
    case TTextEncoding::teUtf16LE:
    case TTextEncoding::teUtf16BE:
        DecodeUtf16(AData, ASize);
        FUnits.Feed(FUnitBuffer.data(), FUnitBuffer.size(), [this](std::u16string_view line) { AddUnicodeLine(line); });
        break;
    }
}

void TLogDecoder::Finish()
{
    switch (FEncoding) {
    case TTextEncoding::teWindows1251:
        FBytes.Finish([this](std::string_view line) { AddSingleByteLine(line); });
        break;
    case TTextEncoding::teUtf8:
        FBytes.Finish([this](std::string_view line) { AddUtf8Line(line); });
        break;
    case TTextEncoding::teNamed:
        FBytes.Finish([this](std::string_view line) { AddNamedLine(line); });
        break;
    case TTextEncoding::teUtf16LE:
    case TTextEncoding::teUtf16BE:
        if (FOddByte >= 0) {
            // A lone last byte cannot form a character.
            constexpr char16_t Replacement = u'\uFFFD';
            FUnits.Feed(&Replacement, 1, [this](std::u16string_view line) { AddUnicodeLine(line); });
            FOddByte = -1;
        }
        FUnits.Finish([this](std::u16string_view line) { AddUnicodeLine(line); });
        break;
    }
}

void TLogDecoder::AddSingleByteLine(std::string_view line)
{
    ++FLines;
    FSink.AddLine(QByteArrayView(line.data(), qsizetype(line.size())));
}

void TLogDecoder::AddUnicodeLine(std::u16string_view line)
{
    ++FLines;
    FSink.AddLine(QStringView(line.data(), qsizetype(line.size())));
}

// ASCII is the same in UTF-8 and Windows-1251, so most lines skip decoding.
void TLogDecoder::AddUtf8Line(std::string_view line)
{
    if (IsAscii(line.data(), line.size())) {
        AddSingleByteLine(line);
        return;
    }
    FUtf8.resetState();
    const QString text = FUtf8.decode(QByteArrayView(line.data(), qsizetype(line.size())));
    if (FUtf8.hasError())
        throw TUndecodableLine(QStringLiteral("No mapping for the Unicode character exists in the target multi-byte code page"),
                               FLines + 1);
    ++FLines;
    FSink.AddLine(QStringView(text));
}

// A code page by name; bytes it cannot map become U+FFFD, as Windows-1251 maps every byte.
void TLogDecoder::AddNamedLine(std::string_view line)
{
    if (IsAscii(line.data(), line.size())) {
        AddSingleByteLine(line);
        return;
    }
    ++FLines;
    const QString text = FNamed.decode(QByteArrayView(line.data(), qsizetype(line.size())));
    FSink.AddLine(QStringView(text));
}

void TLogDecoder::DecodeUtf16(const char* data, size_t size)
{
    const bool little = FEncoding == TTextEncoding::teUtf16LE;
    const auto unit = [little](unsigned char first, unsigned char second) {
        return char16_t(little ? first | (second << 8) : (first << 8) | second);
    };
    FUnitBuffer.clear();
    size_t i = 0;
    if (FOddByte >= 0 && size > 0) {
        FUnitBuffer += unit(static_cast<unsigned char>(FOddByte), static_cast<unsigned char>(data[0]));
        FOddByte = -1;
        i = 1;
    }
    for (; i + 1 < size; i += 2)
        FUnitBuffer += unit(static_cast<unsigned char>(data[i]), static_cast<unsigned char>(data[i + 1]));
    if (i < size)
        FOddByte = static_cast<unsigned char>(data[i]);
}

} // namespace kestrun
