// SPDX-License-Identifier: GPL-3.0-or-later
// Random bytes through the file loading path, behind each byte-order mark in turn. Without a mark
// the same bytes also go through the list-of-lines path, and both must give the same commands,
// unless they start like a compressed file or an archive, which the loading path unpacks first.
#include "log/Codepages.h"
#include "log/Exception.h"
#include "log/LogArchive.h"
#include "log/LogLoader.h"
#include "log/LogParser.h"
#include "log/LogText.h"

#include <QBuffer>
#include <QCoreApplication>
#include <algorithm>
#include <cstdlib>

using namespace kestrun;

namespace {

const QByteArray Marks[] = {"", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"};

struct TLoadResult
{
    TCommands Commands;
    QString Error;
    bool operator==(const TLoadResult&) const = default;
};

TLoadResult LoadBytes(QByteArray bytes, const QStringList& ignore)
{
    TLoadResult outcome;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    try {
        LoadLogDevice(buffer, ignore, outcome.Commands);
    } catch (const Exception& e) {
        outcome.Error = e.Message();
    }
    return outcome;
}

bool LooksPacked(QByteArray bytes)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return IsPackedLog(buffer);
}

TLoadResult ParseLines(const QByteArray& bytes, const QStringList& ignore)
{
    TLoadResult outcome;
    try {
        ParseLog(SplitLogText(Cp1251ToUnicode(bytes)), outcome.Commands, ReadIgnoreCodes(ignore));
    } catch (const Exception& e) {
        outcome.Error = e.Message();
    }
    return outcome;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    static int argc = 1;
    static char name[] = "fuzz_log_parser";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);

    const QByteArray& mark = Marks[data[0] % std::size(Marks)];
    const QByteArray body(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    const QStringList ignore = {QStringLiteral("10"), QStringLiteral("FF 0A")};
    const TLoadResult loaded = LoadBytes(mark + body, ignore);
    const bool bodyHasMark = std::any_of(std::begin(Marks) + 1, std::end(Marks),
                                         [&body](const QByteArray& m) { return body.startsWith(m); });
    if (mark.isEmpty() && !bodyHasMark && !LooksPacked(body) && !(loaded == ParseLines(body, ignore)))
        std::abort();
    return 0;
}
