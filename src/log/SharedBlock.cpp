#include "SharedBlock.h"

#include <algorithm>
#include <new>

namespace kestrun {

TSharedBlock::TSharedBlock(qsizetype size)
{
    if (size <= 0)
        return;
    FHeader = new (::operator new(sizeof(THeader) + size_t(size))) THeader;
    FHeader->Size = uint32_t(size);
}

char* TSharedBlock::data()
{
    if (!FHeader)
        return nullptr;
    if (FHeader->Refs.load(std::memory_order_acquire) != 1) {
        TSharedBlock own(size());
        std::copy_n(constData(), size(), Bytes(own.FHeader));
        *this = std::move(own);
    }
    return Bytes(FHeader);
}

bool TSharedBlock::operator==(const TSharedBlock& other) const
{
    return size() == other.size() && std::equal(constData(), constData() + size(), other.constData());
}

void TSharedBlock::Release() noexcept
{
    if (FHeader && FHeader->Refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        FHeader->~THeader();
        ::operator delete(FHeader);
    }
    FHeader = nullptr;
}

} // namespace kestrun
