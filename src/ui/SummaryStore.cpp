#include "SummaryStore.h"

#include "log/Codepages.h"

#include <algorithm>

namespace kestrun {

namespace {

// Big enough that chunks are few, small enough that the last one wastes little.
constexpr size_t ChunkSize = size_t(1) << 20;
// Long texts (a TLV document's fields) repeat their labels and blanks: packed, they take a tenth.
constexpr qsizetype PackFrom = 512;
constexpr uint32_t Packed = 1u << 31;
// Most texts are Russian: one byte a letter in Windows-1251, two in UTF-8, which takes the rest.
constexpr uint32_t InUtf8 = 1u << 30;
constexpr uint32_t SizeBits = InUtf8 - 1;
constexpr int FastPacking = 1;

} // namespace

void TSummaryStore::Clear()
{
    FEntries.clear();
    FEntries.shrink_to_fit();
    FChunks.clear();
}

void TSummaryStore::Resize(size_t count) { FEntries.resize(count); }

std::optional<QString> TSummaryStore::Get(size_t command) const
{
    const TEntry& entry = FEntries[command];
    if (entry.Size == Unknown)
        return std::nullopt;
    const qsizetype size = qsizetype(entry.Size & SizeBits);
    if (size == 0)
        return QString();
    const char* stored = FChunks[entry.Chunk].Bytes.get() + entry.At;
    const QByteArray unpacked =
        entry.Size & Packed ? qUncompress(reinterpret_cast<const uchar*>(stored), size) : QByteArray();
    const QByteArrayView bytes = entry.Size & Packed ? QByteArrayView(unpacked) : QByteArrayView(stored, size);
    return entry.Size & InUtf8 ? QString::fromUtf8(bytes) : Cp1251ToUnicode(bytes);
}

void TSummaryStore::Set(size_t command, const QString& text)
{
    QByteArray bytes = UnicodeToCp1251(text);
    // A character the code page lacks turns into '?'.
    const bool utf8 = bytes.count('?') != text.count(u'?');
    if (utf8)
        bytes = text.toUtf8();
    const bool pack = bytes.size() >= PackFrom;
    if (pack)
        bytes = qCompress(bytes, FastPacking);
    const uint32_t flags = (pack ? Packed : 0) | (utf8 ? InUtf8 : 0);
    TEntry& entry = FEntries[command];
    // A text made again (after a replay) mostly keeps its length: it goes where the old one was.
    if (size_t(bytes.size()) <= entry.Room) {
        if (!bytes.isEmpty())
            std::copy_n(bytes.constData(), bytes.size(), FChunks[entry.Chunk].Bytes.get() + entry.At);
        entry.Size = uint32_t(bytes.size()) | flags;
        return;
    }
    entry = Place(bytes);
    entry.Size |= flags;
}

void TSummaryStore::Forget(size_t command) { FEntries[command].Size = Unknown; }

TSummaryStore::TEntry TSummaryStore::Place(const QByteArray& text)
{
    const size_t size = size_t(text.size());
    if (FChunks.empty() || FChunks.back().Capacity - FChunks.back().Used < size) {
        TChunk chunk;
        chunk.Capacity = std::max(ChunkSize, size);
        chunk.Bytes = std::make_unique<char[]>(chunk.Capacity);
        FChunks.push_back(std::move(chunk));
    }
    TChunk& chunk = FChunks.back();
    TEntry entry{uint32_t(FChunks.size() - 1), uint32_t(chunk.Used), uint32_t(size), uint32_t(size)};
    std::copy_n(text.constData(), size, chunk.Bytes.get() + chunk.Used);
    chunk.Used += size;
    return entry;
}

} // namespace kestrun
