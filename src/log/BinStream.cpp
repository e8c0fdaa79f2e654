// SPDX-License-Identifier: GPL-3.0-or-later
#include "BinStream.h"

#include "Exception.h"

#include <algorithm>

namespace kestrun {

namespace {

// Integer sizes beyond 8 bytes are outside the contract; they read 8.
int ClampIntSize(int32_t size) { return std::clamp<int32_t>(size, 0, 8); }

uint64_t LittleEndian(QByteArrayView bytes)
{
    uint64_t value = 0;
    for (qsizetype i = bytes.size(); i-- > 0;)
        value = (value << 8) | static_cast<unsigned char>(bytes[i]);
    return value;
}

} // namespace

IBinStreamPtr TBinStream::Create(const TBytes& AData) { return std::make_shared<TBinStream>(AData); }

TBinStream::TBinStream(const TBytes& AData)
{
    FStream.setBuffer(&FBytes);
    FStream.open(QIODevice::ReadOnly);
    SetData(AData);
}

TBytes TBinStream::Data()
{
    FStream.seek(0);
    return FStream.readAll();
}

int64_t TBinStream::Size() const { return FStream.size(); }

QBuffer& TBinStream::Stream() { return FStream; }

void TBinStream::SetData(const TBytes& data)
{
    // Shared rather than copied: a decoder refills its stream for every command it reads.
    FStream.seek(0);
    FBytes = data;
}

TByteString TBinStream::DataAsStr() { return Data(); }

int64_t TBinStream::Remaining() const { return FStream.size() - FStream.pos(); }

void TBinStream::ReadPadded(char* out, qsizetype size)
{
    const qint64 read = std::max<qint64>(0, FStream.read(out, size));
    std::fill(out + read, out + size, '\0');
}

QByteArray TBinStream::ReadPadded(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    ReadPadded(bytes.data(), size);
    return bytes;
}

uint64_t TBinStream::ReadLittleEndian(int size)
{
    char bytes[8];
    ReadPadded(bytes, size);
    return LittleEndian(QByteArrayView(bytes, size));
}

uint8_t TBinStream::ReadByte() { return static_cast<uint8_t>(ReadLittleEndian(1)); }

uint16_t TBinStream::ReadUInt16() { return static_cast<uint16_t>(ReadLittleEndian(2)); }

uint32_t TBinStream::ReadUInt32() { return static_cast<uint32_t>(ReadLittleEndian(4)); }

char TBinStream::ReadChar() { return static_cast<char>(ReadLittleEndian(1)); }

TDateTime TBinStream::ReadDate()
{
    const TDateTime date = BinToDate(ReadPadded(3), 1);
    if (date == 0)
        throw Exception(QStringLiteral("Invalid argument to date encode"));
    return date;
}

TDateTime TBinStream::ReadTime()
{
    const QByteArray bytes = ReadPadded(3);
    const auto hour = static_cast<unsigned char>(bytes[0]);
    const auto min = static_cast<unsigned char>(bytes[1]);
    const auto sec = static_cast<unsigned char>(bytes[2]);
    if (hour >= 24 || min >= 60 || sec >= 60)
        throw Exception(QStringLiteral("Invalid argument to time encode"));
    return EncodeTime(hour, min, sec);
}

TByteString TBinStream::ReadString() { return FStream.readAll(); }

TByteString TBinStream::ReadString(int32_t ASize)
{
    if (FStream.size() == 0 || ASize <= 0)
        return {};
    return ReadPadded(ASize);
}

int64_t TBinStream::ReadInt(int32_t ASize) { return static_cast<int64_t>(ReadLittleEndian(ClampIntSize(ASize))); }

int64_t TBinStream::ReadIntRev(int32_t ASize)
{
    const int size = ClampIntSize(ASize);
    char bytes[8];
    ReadPadded(bytes, size);
    std::reverse(bytes, bytes + size);
    return static_cast<int64_t>(LittleEndian(QByteArrayView(bytes, size)));
}

TBytes TBinStream::ReadBytes(int32_t ASize)
{
    if (ASize <= 0)
        return {};
    return ReadPadded(ASize);
}

} // namespace kestrun
