// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QtGlobal>
#include <atomic>
#include <cstdint>
#include <cstring>

namespace kestrun {

// The parts of a command record (its frames, what it keeps of the line prefix, the driver's
// error text) one after another. Up to 20 bytes stay inside the record itself, which a status
// request and its answer fit; more go to a block on the heap shared by the record's copies and
// copied only when one of them writes. A big log holds millions of records: most of them need
// no block at all, and the others a pointer and 8 bytes in front of their bytes.
class TPartBlock
{
public:
    static constexpr int PartCount = 5;

    TPartBlock() = default;
    TPartBlock(const TPartBlock& other) noexcept;
    TPartBlock(TPartBlock&& other) noexcept;
    TPartBlock& operator=(TPartBlock other) noexcept;
    ~TPartBlock();

    QByteArrayView Part(int part) const { return QByteArrayView(Bytes() + PartFrom(part), PartSize(part)); }
    qsizetype PartSize(int part) const { return End(part) - PartFrom(part); }
    // Gives the part `size` bytes, to be written through the pointer returned before the block
    // changes again; nothing when the part is and stays empty.
    char* ResizePart(int part, qsizetype size);

    // Moves a heap block of its own into a chunk shared with the blocks packed before it on this
    // thread. A finished record packs its block: a loaded log keeps its bytes side by side,
    // without a heap allocation's overhead each or the holes parsing leaves between them.
    void Pack();

    // Blocks are equal by their parts.
    bool operator==(const TPartBlock& other) const;

private:
    struct THeader
    {
        std::atomic<uint32_t> Refs{1};
        uint32_t Size = 0; // with PackedMark when the block lies in a chunk
    };
    static constexpr uint32_t PackedMark = 1u << 31;
    static uint32_t SizeOf(const THeader& header) { return header.Size & ~PackedMark; }
    static constexpr qsizetype InlineRoom = 20;
    static constexpr int EndBits = 5;

    static constexpr size_t EndsAt = 8;        // on the heap
    static constexpr size_t InlineEndsAt = 21; // inline, three bytes

    bool IsInline() const { return FRaw[0] & 1u; }
    THeader* Header() const
    {
        THeader* header = nullptr;
        if (!IsInline())
            std::memcpy(&header, FRaw, sizeof header);
        return header;
    }
    qsizetype PartFrom(int part) const { return part == 0 ? 0 : End(part - 1); }
    // Where the part ends; the last one runs to the end of the bytes.
    qsizetype End(int part) const
    {
        if (IsInline()) {
            if (part == PartCount - 1)
                return FRaw[0] >> 1;
            const uint32_t ends = uint32_t(FRaw[InlineEndsAt]) | uint32_t(FRaw[InlineEndsAt + 1]) << 8
                                  | uint32_t(FRaw[InlineEndsAt + 2]) << 16;
            return (ends >> (part * EndBits)) & ((1u << EndBits) - 1);
        }
        if (part == PartCount - 1) {
            const THeader* header = Header();
            return header ? SizeOf(*header) : 0;
        }
        uint32_t end = 0;
        std::memcpy(&end, FRaw + EndsAt + part * sizeof end, sizeof end);
        return end;
    }
    const char* Bytes() const
    {
        if (IsInline())
            return reinterpret_cast<const char*>(FRaw + 1);
        const THeader* header = Header();
        return header ? reinterpret_cast<const char*>(header + 1) : nullptr;
    }
    // For writing: a heap block shared with another copy is copied first.
    char* MutableBytes();
    // Fresh room for `size` bytes with the ends given, the bytes unset.
    static TPartBlock WithRoom(qsizetype size, const qsizetype (&ends)[PartCount - 1]);
    void Release() noexcept;
    static void Release(THeader* header) noexcept;

    // Inline: byte 0 holds the mark (bit 0) and the size, bytes 1-20 the parts, bytes 21-23 the
    // ends of the first four parts, 5 bits each. On the heap: the header's pointer (bit 0 clear),
    // then the four ends as 32-bit numbers. All zero is an empty block.
    alignas(8) unsigned char FRaw[24] = {};
};

} // namespace kestrun
