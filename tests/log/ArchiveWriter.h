// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <utility>
#include <vector>

namespace kestrun::test {

// How a test log is packed: a compression filter, an archive format, or both.
enum class TFilter { fNone, fGzip, fBzip2, fXz, fZstd };
enum class TContainer { cRaw, cZip, c7z, cTar };

struct TPacking
{
    const char* Name;
    TFilter Filter;
    TContainer Container;
    bool OnePass; // readable from a pipe (7z keeps its index at the end)
};

using TMembers = std::vector<std::pair<QString, QByteArray>>;

// The archive bytes, written with libarchive; a raw container holds the first member alone.
QByteArray Pack(const TPacking& APacking, const TMembers& AMembers);

} // namespace kestrun::test
