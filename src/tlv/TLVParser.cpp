// SPDX-License-Identifier: GPL-3.0-or-later
#include "TLVParser.h"

#include "FormatTLV.h"
#include "TLVTags.h"

#include <algorithm>

namespace kestrun {

namespace {

constexpr qsizetype HeaderSize = 4;
const QLatin1String LineEnd("\r\n");

// Up to `count` bytes from `from`: fewer, or none, near the end of the data.
QByteArrayView Clamped(QByteArrayView data, qsizetype from, qsizetype count)
{
    from = std::min(from, data.size());
    return data.sliced(from, std::min(count, data.size() - from));
}

} // namespace

TTLVParser::TTLVParser() = default;

TTLVParser::~TTLVParser() = default;

bool TTLVParser::ShowTagNumbers() const { return FShowTagNumbers; }

void TTLVParser::SetShowTagNumbers(bool value) { FShowTagNumbers = value; }

int32_t TTLVParser::BaseIndent() const { return FBaseIndent; }

void TTLVParser::SetBaseIndent(int32_t value) { FBaseIndent = value; }

QString TTLVParser::ParseTLV(const TByteString& AData)
{
    FIdent = 0;
    FMalformed = false;
    // A tag of a few bytes takes a line of a few dozen characters; room for most documents at once.
    constexpr qsizetype CharactersPerByte = 4;
    QString text;
    text.reserve(AData.size() * CharactersPerByte);
    DoParseTLV(AData, &text);
    return text;
}

void TTLVParser::CheckTLV(QByteArrayView AData)
{
    FIdent = 0;
    FMalformed = false;
    DoParseTLV(AData, nullptr);
}

qsizetype TTLVParser::IndentWidth() const { return std::max(FBaseIndent, 0) + FIdent; }

void TTLVParser::AppendHead(QString& AText, int32_t ATag, QStringView AName) const
{
    // Blanks added in place: a document has a line per tag.
    AText.resize(AText.size() + IndentWidth(), QLatin1Char(' '));
    if (FShowTagNumbers) {
        AText += QString::number(ATag);
        AText += QLatin1Char(',');
    }
    AText += AName;
}

void TTLVParser::AppendLine(QString& AText, int32_t ATag, QStringView AName) const
{
    AppendHead(AText, ATag, AName);
    AText += LineEnd;
}

void TTLVParser::AppendLine(QString& AText, int32_t ATag, QStringView AName, QStringView AValue) const
{
    AppendHead(AText, ATag, AName);
    AText += QLatin1Char(':');
    AText += AValue;
    AText += LineEnd;
}

void TTLVParser::DoParseTLV(QByteArrayView AData, QString* AText)
{
    if (AData.size() < HeaderSize) {
        FMalformed = true;
        if (AText)
            *AText += QLatin1String("TLV length error");
        return;
    }
    qsizetype position = 0;
    while (position < AData.size()) {
        const auto tag = static_cast<int32_t>(TFormatTLV::ValueTLV2Int(Clamped(AData, position, 2)));
        const auto length = static_cast<qsizetype>(TFormatTLV::ValueTLV2Int(Clamped(AData, position + 2, 2)));

        const TTLVTag* entry = TTLVTags::FindTag(tag);
        if (!entry) {
            if (AText)
                AppendLine(*AText, tag, u"НЕИЗВЕСТНЫЙ ТЕГ");
            position += HeaderSize + length;
            continue;
        }
        // Measured against the whole of this level, not against what is left of it.
        if (length > AData.size() - HeaderSize) {
            FMalformed = true;
            if (AText)
                AppendLine(*AText, tag, entry->ShortDescription(), u"Ошибка! Некорректная длина");
            return;
        }
        const QByteArrayView value = Clamped(AData, position + HeaderSize, length);

        if (entry->TagType() != ttSTLV) {
            if (AText)
                AppendLine(*AText, tag, entry->ShortDescription(), entry->GetStrValue(value));
            else
                entry->CheckValue(value);
        } else if (FIdent >= MaxNestingLevel) {
            if (AText)
                AppendLine(*AText, tag, entry->ShortDescription(), QString::fromLatin1(StrToHex(value)));
        } else {
            if (AText)
                AppendLine(*AText, tag, entry->ShortDescription());
            ++FIdent;
            DoParseTLV(value, AText);
            --FIdent;
        }
        position += HeaderSize + length;
    }
}

} // namespace kestrun
