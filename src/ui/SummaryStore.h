#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace kestrun {

// The "Data" text of every command, kept for search and filters without keeping whole rows:
// one byte a character where Windows-1251 has it, packed in blocks of neighbouring texts (which
// repeat each other's words), with a few bytes of bookkeeping a command.
class TSummaryStore
{
public:
    void Clear();
    // Room for `count` commands, those added unknown.
    void Resize(size_t count);
    size_t Size() const { return FEntries.size(); }

    bool Has(size_t command) const { return FEntries[command].Block != Unknown; }
    std::optional<QString> Get(size_t command) const;
    void Set(size_t command, const QString& text);
    // The text must be made again.
    void Forget(size_t command) { FEntries[command].Block = Unknown; }

private:
    struct TEntry
    {
        uint32_t Block = Unknown;
        uint32_t At = 0;
        uint32_t Size = 0; // with the InUtf8 flag
    };
    static constexpr uint32_t Unknown = UINT32_MAX;

    // The bytes of a block: the open one as it is, a sealed one unpacked (the last one asked).
    QByteArrayView BlockBytes(uint32_t block) const;
    void Seal();

    std::vector<TEntry> FEntries;
    std::vector<QByteArray> FSealed;
    // Where texts go until it is full; its number is FSealed.size().
    QByteArray FOpen;
    mutable uint32_t FUnpackedBlock = Unknown;
    mutable QByteArray FUnpacked;
};

} // namespace kestrun
