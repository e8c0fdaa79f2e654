#include "SummaryStore.h"

#include <algorithm>

namespace kestrun {

namespace {

// Big enough that chunks are few, small enough that the last one wastes little.
constexpr size_t ChunkSize = size_t(1) << 20;
// Long texts (a TLV document's fields) repeat their labels and blanks: packed, they take a tenth.
constexpr qsizetype PackFrom = 512;
constexpr uint32_t Packed = 1u << 31;
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
    const qsizetype size = qsizetype(entry.Size & ~Packed);
    if (size == 0)
        return QString();
    const char* stored = FChunks[entry.Chunk].Bytes.get() + entry.At;
    if (entry.Size & Packed)
        return QString::fromUtf8(qUncompress(reinterpret_cast<const uchar*>(stored), size));
    return QString::fromUtf8(stored, size);
}

void TSummaryStore::Set(size_t command, const QString& text)
{
    QByteArray bytes = text.toUtf8();
    const bool pack = bytes.size() >= PackFrom;
    if (pack)
        bytes = qCompress(bytes, FastPacking);
    TEntry& entry = FEntries[command];
    // A text made again (after a replay) mostly keeps its length: it goes where the old one was.
    if (size_t(bytes.size()) <= entry.Room) {
        if (!bytes.isEmpty())
            std::copy_n(bytes.constData(), bytes.size(), FChunks[entry.Chunk].Bytes.get() + entry.At);
        entry.Size = uint32_t(bytes.size()) | (pack ? Packed : 0);
        return;
    }
    entry = Place(bytes);
    if (pack)
        entry.Size |= Packed;
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
