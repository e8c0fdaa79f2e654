// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "log/Bytes.h"

#include <QString>
#include <cstdint>

namespace kestrun {

// A fixed-point amount with exactly four decimals, held as its count of ten-thousandths.
struct TCurrency
{
    static constexpr int64_t Scale = 10000;

    int64_t TenThousandths = 0;

    friend bool operator==(TCurrency, TCurrency) = default;
};

// Readings of fiscal-data TLV values: little-endian integers, VLN amounts, FVLN decimals
// (a point-position byte and a mantissa), Unix times and code page 866 texts.
class TFormatTLV
{
public:
    TFormatTLV() = delete;

    static uint64_t ValueTLV2Int(QByteArrayView s);
    static uint64_t ValueTLV2VLN(QByteArrayView s);
    static TCurrency ValueTLV2FVLN(QByteArrayView s);
    static QString ValueTLV2FVLNstr(QByteArrayView s);
    // Throws what ValueTLV2FVLNstr throws, without writing the number.
    static void CheckFVLN(QByteArrayView s);
    static TDateTime ValueTLV2UnixTime(QByteArrayView s);
    static QString ValueTLV2ASCII(QByteArrayView s);
};

// Words for the payment type of tag 1054.
QString PaymentTypeToStr(int32_t value);
// Words for the taxation-system bit set of tags 1055 and 1062.
QString TaxSystemsToStr(uint32_t value);

} // namespace kestrun
