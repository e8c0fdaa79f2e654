#pragma once

#include <QtGlobal>
#include <atomic>
#include <cstdint>
#include <utility>

namespace kestrun {

// Bytes shared by the copies of a command record, copied only when one copy writes to them. A
// pointer in the record and a count and size in front of the bytes: a byte array would take 24
// bytes and 17 more, which millions of commands feel.
class TSharedBlock
{
public:
    TSharedBlock() = default;
    // `size` bytes, their values unset; nothing for 0.
    explicit TSharedBlock(qsizetype size);
    TSharedBlock(const TSharedBlock& other) noexcept : FHeader(other.FHeader)
    {
        if (FHeader)
            FHeader->Refs.fetch_add(1, std::memory_order_relaxed);
    }
    TSharedBlock(TSharedBlock&& other) noexcept : FHeader(std::exchange(other.FHeader, nullptr)) {}
    TSharedBlock& operator=(TSharedBlock other) noexcept
    {
        std::swap(FHeader, other.FHeader);
        return *this;
    }
    ~TSharedBlock() { Release(); }

    qsizetype size() const { return FHeader ? qsizetype(FHeader->Size) : 0; }
    const char* constData() const { return FHeader ? Bytes(FHeader) : nullptr; }
    // For writing: a block shared with another copy is copied first.
    char* data();

    // Blocks are equal by their bytes.
    bool operator==(const TSharedBlock& other) const;

private:
    struct THeader
    {
        std::atomic<uint32_t> Refs{1};
        uint32_t Size = 0;
    };
    static char* Bytes(THeader* header) { return reinterpret_cast<char*>(header + 1); }
    void Release() noexcept;

    THeader* FHeader = nullptr;
};

} // namespace kestrun
