// SPDX-License-Identifier: GPL-3.0-or-later
#include "PartBlock.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include <sys/mman.h>

namespace kestrun {

namespace {

constexpr unsigned InlineMark = 1;

// Packed blocks are carved one after another from chunks aligned to their size, so a block finds
// its chunk from its own address. A chunk counts its live blocks, plus one while a thread still
// carves from it, and is freed when the count drops to nothing.
constexpr size_t ChunkSize = size_t(1) << 18;
// Bigger blocks stay where they are: they are few, and would leave chunks half empty.
constexpr size_t PackedMost = ChunkSize / 64;

struct TChunk
{
    std::atomic<uint32_t> Live{1};
};

constexpr size_t ChunkStart = (sizeof(TChunk) + 7) & ~size_t(7);

// Chunks are mapped from the system directly rather than taken from the heap, where their
// alignment would leave holes between them and freeing one would seldom give its pages back.
void* MapChunk()
{
    // Twice the size leaves room for an aligned chunk; the rest is unmapped at once.
    void* mapped = mmap(nullptr, 2 * ChunkSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        throw std::bad_alloc();
    const auto start = reinterpret_cast<uintptr_t>(mapped);
    const uintptr_t aligned = (start + ChunkSize - 1) & ~uintptr_t(ChunkSize - 1);
    if (aligned > start)
        munmap(mapped, aligned - start);
    if (const uintptr_t tail = start + 2 * ChunkSize - (aligned + ChunkSize))
        munmap(reinterpret_cast<void*>(aligned + ChunkSize), tail);
    return reinterpret_cast<void*>(aligned);
}

void ReleaseChunk(TChunk* chunk) noexcept
{
    if (chunk->Live.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        chunk->~TChunk();
        munmap(chunk, ChunkSize);
    }
}

TChunk* ChunkOf(const void* block)
{
    return reinterpret_cast<TChunk*>(reinterpret_cast<uintptr_t>(block) & ~uintptr_t(ChunkSize - 1));
}

// The chunk this thread carves from.
class TChunkCursor
{
public:
    TChunkCursor() = default;
    TChunkCursor(const TChunkCursor&) = delete;
    TChunkCursor& operator=(const TChunkCursor&) = delete;
    ~TChunkCursor()
    {
        if (FChunk)
            ReleaseChunk(FChunk);
    }

    void* Take(size_t size, size_t alignment)
    {
        size = (size + alignment - 1) & ~(alignment - 1);
        if (!FChunk || FUsed + size > ChunkSize) {
            void* memory = MapChunk();
            if (FChunk)
                ReleaseChunk(FChunk);
            FChunk = new (memory) TChunk;
            FUsed = ChunkStart;
        }
        FChunk->Live.fetch_add(1, std::memory_order_relaxed);
        void* block = reinterpret_cast<char*>(FChunk) + FUsed;
        FUsed += size;
        return block;
    }

private:
    TChunk* FChunk = nullptr;
    size_t FUsed = 0;
};

thread_local TChunkCursor Cursor;

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
        TPartBlock own = WithRoom(SizeOf(*header), ends);
        std::copy_n(Bytes(), SizeOf(*header), own.MutableBytes());
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

void TPartBlock::Pack()
{
    THeader* header = Header();
    if (!header || (header->Size & PackedMark) || header->Size > PackedMost
        || header->Refs.load(std::memory_order_acquire) != 1)
        return;
    const uint32_t size = header->Size;
    auto* packed = new (Cursor.Take(sizeof(THeader) + size, alignof(THeader))) THeader;
    packed->Size = size | PackedMark;
    std::memcpy(reinterpret_cast<char*>(packed + 1), reinterpret_cast<const char*>(header + 1), size);
    Release(header);
    std::memcpy(FRaw, &packed, sizeof packed);
}

bool TPartBlock::operator==(const TPartBlock& other) const
{
    for (int part = 0; part < PartCount; ++part)
        if (Part(part) != other.Part(part))
            return false;
    return true;
}

void TPartBlock::Release(THeader* header) noexcept
{
    if (header->Refs.fetch_sub(1, std::memory_order_acq_rel) != 1)
        return;
    const bool packed = header->Size & PackedMark;
    header->~THeader();
    if (packed)
        ReleaseChunk(ChunkOf(header));
    else
        ::operator delete(header);
}

void TPartBlock::Release() noexcept
{
    if (THeader* header = Header())
        Release(header);
    std::memset(FRaw, 0, sizeof FRaw);
}

} // namespace kestrun
