#include "PartBlock.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace kestrun {

namespace {

constexpr unsigned InlineMark = 1;

} // namespace

TPartBlock::TPartBlock(const TPartBlock& other) noexcept
{
    std::memcpy(FRaw, other.FRaw, sizeof FRaw);
    if (THeader* header = Header())
        header->Refs.fetch_add(1, std::memory_order_relaxed);
}

TPartBlock::TPartBlock(TPartBlock&& other) noexcept
{
    std::memcpy(FRaw, other.FRaw, sizeof FRaw);
    std::memset(other.FRaw, 0, sizeof other.FRaw);
}

TPartBlock& TPartBlock::operator=(TPartBlock other) noexcept
{
    std::swap(FRaw, other.FRaw);
    return *this;
}

TPartBlock::~TPartBlock() { Release(); }

char* TPartBlock::MutableBytes()
{
    THeader* header = Header();
    if (header && header->Refs.load(std::memory_order_acquire) != 1) {
        qsizetype ends[PartCount - 1];
        for (int part = 0; part < PartCount - 1; ++part)
            ends[part] = End(part);
        TPartBlock own = WithRoom(header->Size, ends);
        std::copy_n(Bytes(), header->Size, own.MutableBytes());
        *this = std::move(own);
    }
    return const_cast<char*>(Bytes());
}

TPartBlock TPartBlock::WithRoom(qsizetype size, const qsizetype (&ends)[PartCount - 1])
{
    TPartBlock block;
    if (size <= InlineRoom) {
        block.FRaw[0] = static_cast<unsigned char>(InlineMark | unsigned(size) << 1);
        uint32_t packed = 0;
        for (int part = 0; part < PartCount - 1; ++part)
            packed |= uint32_t(ends[part]) << (part * EndBits);
        for (size_t i = 0; i < 3; ++i)
            block.FRaw[InlineEndsAt + i] = static_cast<unsigned char>(packed >> (8 * i));
        return block;
    }
    auto* header = new (::operator new(sizeof(THeader) + size_t(size))) THeader;
    header->Size = uint32_t(size);
    std::memcpy(block.FRaw, &header, sizeof header);
    for (int part = 0; part < PartCount - 1; ++part) {
        const auto end = uint32_t(ends[part]);
        std::memcpy(block.FRaw + EndsAt + part * sizeof end, &end, sizeof end);
    }
    return block;
}

char* TPartBlock::ResizePart(int part, qsizetype size)
{
    const qsizetype from = PartFrom(part);
    const qsizetype oldSize = PartSize(part);
    const qsizetype delta = size - oldSize;
    // Emptying an empty part (each replay clears the played answers) must not copy a shared block.
    if (size == 0 && delta == 0)
        return nullptr;
    if (delta == 0)
        return MutableBytes() + from;
    const qsizetype total = End(PartCount - 1);
    qsizetype ends[PartCount - 1];
    for (int later = 0; later < PartCount - 1; ++later)
        ends[later] = End(later) + (later >= part ? delta : 0);
    // A block of just the size it needs: hundreds of thousands of them are kept.
    TPartBlock resized = WithRoom(total + delta, ends);
    char* out = resized.MutableBytes();
    std::copy_n(Bytes(), from, out);
    std::copy(Bytes() + from + oldSize, Bytes() + total, out + from + size);
    *this = std::move(resized);
    // Inline bytes moved with the block.
    return MutableBytes() + from;
}

bool TPartBlock::operator==(const TPartBlock& other) const
{
    for (int part = 0; part < PartCount; ++part)
        if (Part(part) != other.Part(part))
            return false;
    return true;
}

void TPartBlock::Release() noexcept
{
    THeader* header = Header();
    if (header && header->Refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        header->~THeader();
        ::operator delete(header);
    }
    std::memset(FRaw, 0, sizeof FRaw);
}

} // namespace kestrun
