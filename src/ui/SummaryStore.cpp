// SPDX-License-Identifier: GPL-3.0-or-later
#include "SummaryStore.h"

#include "log/Codepages.h"

namespace kestrun {

namespace {

// Search and filters read the texts in order, so a block is unpacked once a pass; a row asked
// for alone costs one block's unpacking, well under a millisecond.
constexpr qsizetype BlockSize = 64 * 1024;
constexpr int FastPacking = 1;
// A receipt line or a state fits below this; a fiscal document's fields do not.
constexpr qsizetype LongFrom = 256;
constexpr uint32_t LongText = 1u << 31;
// Most texts are Russian: one byte a letter in Windows-1251, two in UTF-8, which takes the rest.
constexpr uint32_t InUtf8 = 1u << 31;

} // namespace

void TSummaryStore::TBlocks::Clear() { *this = TBlocks(); }

QByteArrayView TSummaryStore::TBlocks::Bytes(uint32_t block) const
{
    if (block == FPacked.size())
        return FOpen;
    if (block != FUnpackedBlock) {
        FUnpacked = qUncompress(FPacked[block]);
        FUnpackedBlock = block;
    }
    return FUnpacked;
}

std::pair<uint32_t, uint32_t> TSummaryStore::TBlocks::Append(QByteArrayView text)
{
    if (!FOpen.isEmpty() && FOpen.size() + text.size() > BlockSize) {
        QByteArray packed = qCompress(FOpen, FastPacking);
        // Packing allocates for the worst case.
        packed.squeeze();
        FPacked.push_back(std::move(packed));
        FOpen.resize(0);
    }
    const std::pair<uint32_t, uint32_t> place{uint32_t(FPacked.size()), uint32_t(FOpen.size())};
    FOpen.append(text);
    return place;
}

void TSummaryStore::Clear()
{
    FEntries.clear();
    FEntries.shrink_to_fit();
    FShort.Clear();
    FLong.Clear();
}

void TSummaryStore::Resize(size_t count) { FEntries.resize(count); }

std::optional<QString> TSummaryStore::Get(size_t command) const
{
    const TEntry& entry = FEntries[command];
    if (entry.Block == Unknown)
        return std::nullopt;
    const TBlocks& blocks = entry.Block & LongText ? FLong : FShort;
    const QByteArrayView bytes = blocks.Bytes(entry.Block & ~LongText).sliced(entry.At, entry.Size & ~InUtf8);
    return entry.Size & InUtf8 ? QString::fromUtf8(bytes) : Cp1251ToUnicode(bytes);
}

void TSummaryStore::Set(size_t command, const QString& text)
{
    std::optional<QByteArray> cp1251 = ExactCp1251(text);
    const bool utf8 = !cp1251;
    const QByteArray bytes = utf8 ? text.toUtf8() : *std::move(cp1251);
    const bool isLong = bytes.size() >= LongFrom;
    // A text made again (after a replay) is appended; its old place is not reused.
    const auto [block, at] = (isLong ? FLong : FShort).Append(bytes);
    FEntries[command] = {block | (isLong ? LongText : 0), at, uint32_t(bytes.size()) | (utf8 ? InUtf8 : 0)};
}

} // namespace kestrun
