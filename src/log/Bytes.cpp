// SPDX-License-Identifier: GPL-3.0-or-later
#include "Bytes.h"

#include <QDate>
#include <array>
#include <cmath>

namespace kestrun {

namespace {

const qint64 JulianDayOfZero = QDate(1899, 12, 30).toJulianDay();

} // namespace

int64_t BinToInt(QByteArrayView bytes, qsizetype pos, int size)
{
    if (size <= 0 || pos < 1 || bytes.size() < pos)
        return 0;
    const qsizetype available = std::min<qsizetype>(bytes.size() - pos + 1, 8);
    if (available < size)
        return 0;
    uint64_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[pos - 1 + i]);
    return static_cast<int64_t>(value);
}

TByteString IntToBin(int64_t value, int size)
{
    if (size < 1 || size > 8)
        return {};
    TByteString bytes(size, '\0');
    auto v = static_cast<uint64_t>(value);
    for (int i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(v & 0xFF);
        v >>= 8;
    }
    return bytes;
}

TDateTime EncodeDate(int year, int month, int day)
{
    if (!QDate::isValid(year, month, day))
        return 0;
    return static_cast<double>(QDate(year, month, day).toJulianDay() - JulianDayOfZero);
}

TDateTime EncodeTime(int hour, int min, int sec, int msec)
{
    if (hour < 0 || hour >= 24 || min < 0 || min >= 60 || sec < 0 || sec >= 60 || msec < 0 || msec >= 1000)
        return 0;
    return (hour * 3600000.0 + min * 60000.0 + sec * 1000.0 + msec) / 86400000.0;
}

namespace {
int ByteAt(QByteArrayView bytes, qsizetype pos)
{
    return pos >= 1 && pos <= bytes.size() ? static_cast<unsigned char>(bytes[pos - 1]) : 0;
}
} // namespace

TDateTime BinToDate(QByteArrayView bytes, qsizetype pos)
{
    return EncodeDate(2000 + ByteAt(bytes, pos + 2), ByteAt(bytes, pos + 1), ByteAt(bytes, pos));
}

TDateTime BinToTime(QByteArrayView bytes, qsizetype pos)
{
    return EncodeTime(ByteAt(bytes, pos), ByteAt(bytes, pos + 1), ByteAt(bytes, pos + 2));
}

TDateTime BinToDateTime(QByteArrayView bytes, qsizetype pos)
{
    return EncodeDate(2000 + ByteAt(bytes, pos), ByteAt(bytes, pos + 1), ByteAt(bytes, pos + 2))
         + EncodeTime(ByteAt(bytes, pos + 3), ByteAt(bytes, pos + 4), 0);
}

bool TestBit(uint32_t value, unsigned bit) { return (value >> (bit % 32)) & 1u; }

double RoundToStep(double value, double step)
{
    const long double v = value;
    const long double s = step;
    const bool negative = v < 0;
    const long double t = std::trunc(negative ? (v - 1e-8L) / s : (v + 1e-8L) / s);
    const long double diff = std::fabs(v / s - t);
    const long double r = (diff > 0.49999999L || std::isnan(diff)) ? 1 : 0;
    return static_cast<double>(negative ? (t - r) * s : (t + r) * s);
}

int64_t RoundToInt(double value) { return static_cast<int64_t>(RoundToStep(value, 1)); }

} // namespace kestrun
