#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace kestrun {

// The "Data" text of every command, kept for search and filters without keeping whole rows:
// one byte a character where Windows-1251 has it, long texts packed, in large shared chunks,
// with a few bytes of bookkeeping a command.
class TSummaryStore
{
public:
    void Clear();
    // Room for `count` commands, those added unknown.
    void Resize(size_t count);
    size_t Size() const { return FEntries.size(); }

    std::optional<QString> Get(size_t command) const;
    void Set(size_t command, const QString& text);
    // The text must be made again.
    void Forget(size_t command);

private:
    struct TEntry
    {
        uint32_t Chunk = 0;
        uint32_t At = 0;
        uint32_t Room = 0; // what the place holds, kept when the text is forgotten
        uint32_t Size = Unknown;
    };
    static constexpr uint32_t Unknown = UINT32_MAX;

    struct TChunk
    {
        std::unique_ptr<char[]> Bytes;
        size_t Capacity = 0;
        size_t Used = 0;
    };

    TEntry Place(const QByteArray& text);

    std::vector<TEntry> FEntries;
    std::vector<TChunk> FChunks;
};

} // namespace kestrun
