// SPDX-License-Identifier: GPL-3.0-or-later
#include "FormatTLV.h"

#include "log/Codepages.h"
#include "log/Exception.h"

#include <iterator>
#include <limits>

namespace kestrun {

namespace {

const char16_t ErrorTooLarge[] = u"to large data";
const char16_t ErrorFVLNLength[] = u"Неверная длина FVLN";

constexpr TDateTime UnixEpoch = 25569.0; // 1 January 1970 as a date value
constexpr double SecondsPerDay = 86400.0;
constexpr int MaxPointPosition = 8;
constexpr int CurrencyDecimals = 4;

const char16_t* const PaymentTypeTexts[] = {
    u"Приход",
    u"Возврат прихода",
    u"Расход",
    u"Возврат расхода",
};

// Bit 0 first; the plus signs are part of the texts.
const char16_t* const TaxSystemTexts[] = {
    u"ОБЩ.",
    u"+УД",
    u"+УДМР",
    u"+ЕНВД",
    u"+ЕСН",
    u"+ПСН",
};

[[noreturn]] void Fail(const char16_t* message) { throw Exception(QString::fromUtf16(message)); }

// Integer division by 10 rounding to the nearest, ties to even.
uint64_t DivideBy10Rounded(uint64_t value)
{
    const uint64_t quotient = value / 10;
    const uint64_t remainder = value % 10;
    if (remainder > 5 || (remainder == 5 && (quotient & 1) != 0))
        return quotient + 1;
    return quotient;
}

// Checks an FVLN value and returns its point position.
int FVLNPointPosition(QByteArrayView s)
{
    if (s.size() < 2 || static_cast<unsigned char>(s[0]) > MaxPointPosition)
        Fail(ErrorFVLNLength);
    return static_cast<unsigned char>(s[0]);
}

} // namespace

uint64_t TFormatTLV::ValueTLV2Int(QByteArrayView s)
{
    uint64_t value = 0;
    for (qsizetype i = s.size() - 1; i >= 0; --i)
        value = value * 256 + static_cast<unsigned char>(s[i]);
    return value;
}

uint64_t TFormatTLV::ValueTLV2VLN(QByteArrayView s) { return ValueTLV2Int(s); }

TCurrency TFormatTLV::ValueTLV2FVLN(QByteArrayView s)
{
    const int point = FVLNPointPosition(s);
    uint64_t value = ValueTLV2Int(s.sliced(1));
    if (point <= CurrencyDecimals) {
        for (int i = point; i < CurrencyDecimals; ++i) {
            if (value > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) / 10)
                Fail(ErrorTooLarge);
            value *= 10;
        }
    } else {
        // Rounded once per decimal dropped, as the register's own arithmetic does.
        for (int i = CurrencyDecimals; i < point; ++i)
            value = DivideBy10Rounded(value);
    }
    if (value > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()))
        Fail(ErrorTooLarge);
    return TCurrency{static_cast<int64_t>(value)};
}

void TFormatTLV::CheckFVLN(QByteArrayView s)
{
    if (!s.isEmpty())
        FVLNPointPosition(s);
}

// Written from the integer mantissa, so every digit of a 64-bit mantissa is exact.
QString TFormatTLV::ValueTLV2FVLNstr(QByteArrayView s)
{
    if (s.isEmpty())
        return {};
    const int point = FVLNPointPosition(s);
    QString digits = QString::number(ValueTLV2Int(s.sliced(1)));
    if (point == 0)
        return digits;
    if (digits.size() <= point)
        digits.prepend(QString(point + 1 - digits.size(), QLatin1Char('0')));
    digits.insert(digits.size() - point, QLatin1Char('.'));
    return digits;
}

TDateTime TFormatTLV::ValueTLV2UnixTime(QByteArrayView s)
{
    if (s.size() != 4)
        return 0;
    const auto seconds = static_cast<int32_t>(static_cast<uint32_t>(ValueTLV2Int(s)));
    return UnixEpoch + seconds / SecondsPerDay;
}

QString TFormatTLV::ValueTLV2ASCII(QByteArrayView s)
{
    const qsizetype end = s.indexOf('\0');
    return Cp866ToUnicode(end < 0 ? s : s.first(end));
}

QString PaymentTypeToStr(int32_t value)
{
    if (value >= 1 && value <= static_cast<int32_t>(std::size(PaymentTypeTexts)))
        return QString::fromUtf16(PaymentTypeTexts[value - 1]);
    return QStringLiteral(u"Неизв. тип: ") + QString::number(value);
}

QString TaxSystemsToStr(uint32_t value)
{
    if (value == 0)
        return QStringLiteral(u"Нет");
    QString result;
    for (unsigned bit = 0; bit < std::size(TaxSystemTexts); ++bit)
        if (TestBit(value, bit))
            result += QString::fromUtf16(TaxSystemTexts[bit]);
    return result;
}

} // namespace kestrun
