#include "SummaryStore.h"

#include "log/Codepages.h"

namespace kestrun {

namespace {

// Search and filters read the texts in order, so a block is unpacked once a pass; a row asked
// for alone costs one block's unpacking, well under a millisecond.
constexpr qsizetype BlockSize = 64 * 1024;
constexpr int FastPacking = 1;
// Most texts are Russian: one byte a letter in Windows-1251, two in UTF-8, which takes the rest.
constexpr uint32_t InUtf8 = 1u << 31;

} // namespace

void TSummaryStore::Clear()
{
    FEntries.clear();
    FEntries.shrink_to_fit();
    FSealed.clear();
    FSealed.shrink_to_fit();
    FOpen.clear();
    FUnpackedBlock = Unknown;
    FUnpacked.clear();
}

void TSummaryStore::Resize(size_t count) { FEntries.resize(count); }

QByteArrayView TSummaryStore::BlockBytes(uint32_t block) const
{
    if (block == FSealed.size())
        return FOpen;
    if (block != FUnpackedBlock) {
        FUnpacked = qUncompress(FSealed[block]);
        FUnpackedBlock = block;
    }
    return FUnpacked;
}

std::optional<QString> TSummaryStore::Get(size_t command) const
{
    const TEntry& entry = FEntries[command];
    if (entry.Block == Unknown)
        return std::nullopt;
    const QByteArrayView bytes = BlockBytes(entry.Block).sliced(entry.At, entry.Size & ~InUtf8);
    return entry.Size & InUtf8 ? QString::fromUtf8(bytes) : Cp1251ToUnicode(bytes);
}

void TSummaryStore::Set(size_t command, const QString& text)
{
    QByteArray bytes = UnicodeToCp1251(text);
    // A character the code page lacks turns into '?'.
    const bool utf8 = bytes.count('?') != text.count(u'?');
    if (utf8)
        bytes = text.toUtf8();
    if (!FOpen.isEmpty() && FOpen.size() + bytes.size() > BlockSize)
        Seal();
    // A text made again (after a replay) goes to the open block; its old place is not reused.
    FEntries[command] = {uint32_t(FSealed.size()), uint32_t(FOpen.size()),
                         uint32_t(bytes.size()) | (utf8 ? InUtf8 : 0)};
    FOpen.append(bytes);
}

void TSummaryStore::Seal()
{
    QByteArray packed = qCompress(FOpen, FastPacking);
    // Packing allocates for the worst case.
    packed.squeeze();
    FSealed.push_back(std::move(packed));
    FOpen.resize(0);
}

} // namespace kestrun
