// SPDX-License-Identifier: GPL-3.0-or-later
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
    static constexpr uint32_t Unknown = UINT32_MAX;

    // Texts one after another in blocks, all but the last packed.
    class TBlocks
    {
    public:
        void Clear();
        // The bytes of a block: the open one as it is, a packed one unpacked (the last one asked).
        QByteArrayView Bytes(uint32_t block) const;
        // Where the text went: its block and its place there.
        std::pair<uint32_t, uint32_t> Append(QByteArrayView text);

    private:
        std::vector<QByteArray> FPacked;
        // Where texts go until it is full; its number is FPacked.size().
        QByteArray FOpen;
        mutable uint32_t FUnpackedBlock = Unknown;
        mutable QByteArray FUnpacked;
    };

    struct TEntry
    {
        uint32_t Block = Unknown; // with the LongText flag
        uint32_t At = 0;
        uint32_t Size = 0; // with the InUtf8 flag
    };

    std::vector<TEntry> FEntries;
    // Short texts apart from long ones: a filter that reads only a few kinds of commands, whose
    // texts are short, need not unpack the long texts of the others.
    TBlocks FShort;
    TBlocks FLong;
};

} // namespace kestrun
