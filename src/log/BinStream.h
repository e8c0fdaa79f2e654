// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Bytes.h"

#include <QBuffer>
#include <memory>

namespace kestrun {

// A read cursor over a block of bytes: little-endian by default, big-endian on request. Users
// hold it through IBinStreamPtr; the last reference frees it.
class IBinStream
{
public:
    virtual ~IBinStream() = default;

    virtual TBytes Data() = 0;              // whole content; leaves the position at the end
    virtual int64_t Size() const = 0;
    virtual QBuffer& Stream() = 0;          // the underlying stream, e.g. to move the position
    virtual void SetData(const TBytes& data) = 0;
    virtual TByteString DataAsStr() = 0;
    virtual int64_t Remaining() const = 0;

    virtual uint8_t ReadByte() = 0;
    virtual uint16_t ReadUInt16() = 0;
    virtual uint32_t ReadUInt32() = 0;
    virtual char ReadChar() = 0;
    virtual TDateTime ReadDate() = 0;       // throws Exception "Invalid argument to date encode"
    virtual TDateTime ReadTime() = 0;       // throws Exception "Invalid argument to time encode"
    virtual TByteString ReadString() = 0;   // all remaining bytes
    virtual TByteString ReadString(int32_t ASize) = 0;
    virtual int64_t ReadInt(int32_t ASize) = 0;
    virtual int64_t ReadIntRev(int32_t ASize) = 0;
    virtual TBytes ReadBytes(int32_t ASize) = 0;
};

using IBinStreamPtr = std::shared_ptr<IBinStream>;

class TBinStream final : public IBinStream
{
public:
    static IBinStreamPtr Create(const TBytes& AData);
    explicit TBinStream(const TBytes& AData);

    TBytes Data() override;
    int64_t Size() const override;
    QBuffer& Stream() override;
    void SetData(const TBytes& data) override;
    TByteString DataAsStr() override;
    int64_t Remaining() const override;

    uint8_t ReadByte() override;
    uint16_t ReadUInt16() override;
    uint32_t ReadUInt32() override;
    char ReadChar() override;
    TDateTime ReadDate() override;
    TDateTime ReadTime() override;
    TByteString ReadString() override;
    TByteString ReadString(int32_t ASize) override;
    int64_t ReadInt(int32_t ASize) override;
    int64_t ReadIntRev(int32_t ASize) override;
    TBytes ReadBytes(int32_t ASize) override;

private:
    // The next `size` bytes, zeros standing in for those past the end; the position moves
    // only over the bytes that exist.
    void ReadPadded(char* out, qsizetype size);
    QByteArray ReadPadded(qsizetype size);
    // A little-endian number of up to 8 bytes, read as ReadPadded reads.
    uint64_t ReadLittleEndian(int size);

    QByteArray FBytes;
    QBuffer FStream;
};

} // namespace kestrun
