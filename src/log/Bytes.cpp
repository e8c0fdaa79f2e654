// SPDX-License-Identifier: GPL-3.0-or-later
#include "Bytes.h"

#include <QDate>
#include <array>
#include <cmath>

namespace kestrun {

namespace {

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 0x20; }

// Converts a token of one or two characters; -1 when it is not hex.
int TokenValue(const char* token, int length)
{
    const int high = HexDigitValue(token[0]);
    if (high < 0)
        return -1;
    if (length == 1)
        return high;
    const int low = HexDigitValue(token[1]);
    return low < 0 ? -1 : high * 16 + low;
}

const qint64 JulianDayOfZero = QDate(1899, 12, 30).toJulianDay();

} // namespace

QByteArray StrToHex(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return {};
    QByteArray text(bytes.size() * 3 - 1, ' ');
    WriteHex(bytes, text.data());
    return text;
}

void WriteHex(QByteArrayView bytes, char* out)
{
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out[i * 3] = UpperHexDigit(b >> 4);
        out[i * 3 + 1] = UpperHexDigit(b);
        if (i + 1 < bytes.size())
            out[i * 3 + 2] = ' ';
    }
}

TByteString HexToStrPrefix(QByteArrayView text, qsizetype maxBytes)
{
    // Every byte takes at least one digit and a blank, or two digits, so half the text is
    // enough room; writing through a pointer keeps long frames cheap.
    const qsizetype room = std::max<qsizetype>(0, std::min<qsizetype>(maxBytes, text.size() / 2 + 1));
    TByteString bytes(room, Qt::Uninitialized);
    char* const out = bytes.data();
    qsizetype count = 0;
    // The pending token never holds blanks or control characters: they are stripped from
    // both of its ends as soon as they arrive, and it is converted once it has two characters.
    char token[2] = {0, 0};
    int length = 0;
    bool stopped = false;
    const qsizetype size = text.size();
    const char* const data = text.data();
    for (qsizetype i = 0; i < size; ++i) {
        // With no pending token two digits make a byte whatever follows, and a blank after them
        // is only a separator; this is the common case of "10 8F 0B" and skips the token handling.
        while (length == 0 && i + 1 < size && count < room) {
            const int high = HexDigitValue(data[i]);
            const int low = HexDigitValue(data[i + 1]);
            if ((high | low) < 0)
                break;
            out[count++] = static_cast<char>(high * 16 + low);
            i += 2;
            if (i < size && data[i] == ' ')
                ++i;
        }
        if (i >= size)
            break;
        if (count >= room) {
            stopped = true;
            break;
        }
        const char c = text[i];
        const bool blank = c == ' ';
        if (!IsBlankOrControl(c))
            token[length++] = c;
        if (length == 0)
            continue;
        if (length == 2 || blank) {
            const int value = TokenValue(token, length);
            if (value < 0) {
                stopped = true;
                break;
            }
            out[count++] = static_cast<char>(value);
            length = 0;
        }
    }
    if (!stopped && length > 0 && count < room) {
        const int value = TokenValue(token, length);
        if (value >= 0)
            out[count++] = static_cast<char>(value);
    }
    bytes.truncate(count);
    return bytes;
}

TByteString HexToStr(QByteArrayView text)
{
    return HexToStrPrefix(text, std::numeric_limits<qsizetype>::max());
}

TBytes HexToBytes(QByteArrayView text) { return HexToStr(text); }

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
