// SPDX-License-Identifier: GPL-3.0-or-later
#include "FormatTLV.h"
#include "TLVTags.h"

#include "log/DateText.h"

#include <cmath>
#include <iterator>

namespace kestrun {

namespace {

constexpr int32_t TagPaymentType = 1054;
constexpr int32_t TagTaxSystem = 1055;
constexpr int32_t TagTaxSystems = 1062;
constexpr int32_t TagDocumentSign = 1077;
constexpr int32_t TagNumerator = 1293;
constexpr int32_t TagDenominator = 1294;

// Kopecks as roubles with two decimals, in integers so that every 64-bit amount is exact.
QString KopecksText(uint64_t kopecks)
{
    // Written digit by digit: receipts carry amounts by the dozen, and arg() parses its pattern every time.
    char text[24];
    char* at = std::end(text);
    const auto digit = [&at](uint64_t value) { *--at = char('0' + value % 10); };
    digit(kopecks);
    digit(kopecks / 10);
    *--at = '.';
    uint64_t roubles = kopecks / 100;
    do {
        digit(roubles);
        roubles /= 10;
    } while (roubles > 0);
    return QString::fromLatin1(at, std::end(text) - at);
}

QString DateTimeValueText(TDateTime value)
{
    return value == std::floor(value) ? ShortDateText(value) : DateTimeText(value);
}

QString TrimmedRight(QString text)
{
    qsizetype end = text.size();
    while (end > 0 && text[end - 1].unicode() <= 32)
        --end;
    text.truncate(end);
    return text;
}

// The document's fiscal sign: bytes 3 to 6, big-endian.
QString DocumentSignText(QByteArrayView value)
{
    uint64_t sign = 0;
    for (qsizetype i = 2; i < value.size() && i < 6; ++i)
        sign = sign * 256 + static_cast<unsigned char>(value[i]);
    return QString::number(sign);
}

} // namespace

QString TTLVTag::Description() const
{
    QString text = FDescription.toString();
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text;
}

QString TTLVTag::GetStrValue(QByteArrayView AData) const
{
    switch (FTagType) {
    case ttByte: {
        const uint64_t value = TFormatTLV::ValueTLV2Int(AData);
        if (FTag == TagPaymentType)
            return PaymentTypeToStr(static_cast<int32_t>(static_cast<uint32_t>(value)));
        if (FTag == TagTaxSystem || FTag == TagTaxSystems)
            return TaxSystemsToStr(static_cast<uint32_t>(value));
        return QString::number(static_cast<int64_t>(value));
    }
    case ttUInt16:
    case ttUInt32:
        return QString::number(static_cast<uint32_t>(TFormatTLV::ValueTLV2Int(AData)));
    case ttVLN: {
        const uint64_t value = TFormatTLV::ValueTLV2VLN(AData);
        if (FTag == TagNumerator || FTag == TagDenominator)
            return QString::number(static_cast<int64_t>(value));
        return KopecksText(value);
    }
    case ttFVLN:
        return TFormatTLV::ValueTLV2FVLNstr(AData);
    case ttBitField:
        return {};
    case ttUnixTime:
        return DateTimeValueText(TFormatTLV::ValueTLV2UnixTime(AData));
    case ttString:
        return TrimmedRight(TFormatTLV::ValueTLV2ASCII(AData));
    case ttSTLV:
        return {};
    case ttByteArray:
        if (FTag == TagDocumentSign)
            return DocumentSignText(AData);
        return QString::fromLatin1(StrToHex(AData));
    }
    return {};
}

void TTLVTag::CheckValue(QByteArrayView AData) const
{
    // An FVLN value is the only one whose text cannot always be made.
    if (FTagType == ttFVLN)
        TFormatTLV::CheckFVLN(AData);
}

} // namespace kestrun
