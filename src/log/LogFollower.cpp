// SPDX-License-Identifier: GPL-3.0-or-later
#include "LogFollower.h"

#include "Exception.h"
#include "LogArchive.h"
#include "LogDecoder.h"
#include "LogParser.h"
#include "LogText.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrun {

namespace {

// Reads of up to this size; a step that finds a few new lines reads them in one small buffer.
constexpr qsizetype ChunkSize = qsizetype(1) << 20;
constexpr qsizetype LeastChunk = 4096;
// Enough of the file's start to tell a rewritten file from the one read so far.
constexpr qsizetype HeadSize = 256;

Exception ReadError(const QString& fileName)
{
    return Exception(QStringLiteral("Не удалось прочитать файл лога %1\n%2")
                         .arg(fileName, QString::fromLocal8Bit(std::strerror(errno))));
}

} // namespace

TLogFollower::TLogFollower(const QString& AFileName, const QStringList& AIgnoreLines)
    : FFileName(AFileName), FIgnoreCodes(ReadIgnoreCodes(AIgnoreLines))
{
    Open();
}

TLogFollower::~TLogFollower() = default;

void TLogFollower::Open()
{
    FDecoder.reset();
    FFile.close();
    OpenLogFile(FFile, FFileName);
    if (IsPackedLog(FFile))
        throw Exception(QStringLiteral("Сжатый или архивный лог %1 нельзя отслеживать: следить можно только за текстовым логом")
                            .arg(FFileName));
    struct stat info = {};
    if (::fstat(FFile.handle(), &info) != 0)
        throw ReadError(FFileName);
    FDevice = info.st_dev;
    FInode = info.st_ino;
    FPosition = 0;
    FHead.clear();
    FUndecided.clear();
    FParser = std::make_unique<TLogParser>(FParsed, FIgnoreCodes);
    FBase = 0;
    FSettled.clear();
    FSettledBase = 0;
    FHanded = 0;
    FLastHanded = {};
    FFailed = false;
}

bool TLogFollower::Replaced()
{
    struct stat byName = {};
    // No file under the name: a rotation under way; the new file is taken once it is there.
    if (::stat(QFile::encodeName(FFileName).constData(), &byName) != 0)
        return false;
    if (byName.st_dev != FDevice || byName.st_ino != FInode)
        return true;
    struct stat opened = {};
    if (::fstat(FFile.handle(), &opened) != 0 || opened.st_size < FPosition)
        return true;
    // Truncated and written again past the old end between two steps.
    QByteArray head(FHead.size(), Qt::Uninitialized);
    return ::pread(FFile.handle(), head.data(), size_t(head.size()), 0) != head.size() || head != FHead;
}

TFollowStep TLogFollower::Step(const TReadProgress& AProgress) { return Look(AProgress, false); }

TFollowStep TLogFollower::Finish()
{
    TFollowStep step = Look({}, true);
    FFailed = true;
    return step;
}

TFollowStep TLogFollower::Look(const TReadProgress& AProgress, bool AEnd)
{
    TFollowStep step;
    if (FFailed)
        return step;
    try {
        if (Replaced()) {
            Open();
            step.Restarted = true;
        }
    } catch (const Exception& e) {
        FFailed = true;
        step.Error = e.Message();
        return step;
    }
    FSettled.clear();
    FSettledBase = FBase;
    struct stat info = {};
    const qint64 start = FPosition;
    const qint64 end = ::fstat(FFile.handle(), &info) == 0 ? qint64(info.st_size) : 0;
    QByteArray buffer;
    try {
        for (;;) {
            if (buffer.isEmpty())
                buffer.resize(std::clamp<qsizetype>(qsizetype(end - FPosition), LeastChunk, ChunkSize));
            const ssize_t n = ::pread(FFile.handle(), buffer.data(), size_t(buffer.size()), FPosition);
            if (n < 0)
                throw ReadError(FFileName);
            if (n == 0)
                break;
            if (FPosition < HeadSize)
                FHead.append(buffer.constData(), std::min<qsizetype>(qsizetype(n), HeadSize - FPosition));
            FPosition += n;
            Feed(buffer.constData(), qsizetype(n));
            MoveSettled();
            if (AProgress && end > start)
                AProgress(std::min(1.0, double(FPosition - start) / double(end - start)));
        }
    } catch (const Exception& e) {
        // The commands stored before the fault stay, as in a whole load.
        FFailed = true;
        step.Error = e.Message();
        HandOver(step, FParsed, FBase + FParsed.size());
        return step;
    }
    if (AEnd) {
        // As a whole load ends: the last line also without its terminator, an open request stored.
        try {
            if (!FDecoder)
                StartDecoding();
            FDecoder->Finish();
            FParser->Finish();
        } catch (const Exception& e) {
            step.Error = e.Message();
        }
        HandOver(step, FParsed, FBase + FParsed.size());
        return step;
    }
    // Nothing new: the text completes what it completed at the last step.
    if (FPosition == start && !step.Restarted)
        return step;
    // The parser itself goes on from here; a copy tells what the text so far completes.
    TCommands tail = FParsed;
    TLogParser preview(*FParser, tail);
    bool awaiting = false;
    try {
        awaiting = preview.Preview();
    } catch (const Exception& e) {
        FFailed = true;
        step.Error = e.Message();
        HandOver(step, tail, FBase + tail.size());
        return step;
    }
    HandOver(step, tail, FBase + tail.size() - (awaiting ? 1 : 0));
    return step;
}

void TLogFollower::Feed(const char* AData, qsizetype ASize)
{
    if (FDecoder) {
        FDecoder->Feed(AData, size_t(ASize));
        return;
    }
    // The encoding is chosen once the first bytes show whether a byte-order mark is there.
    FUndecided.append(AData, ASize);
    if (!MayBeginByteOrderMark(FUndecided))
        StartDecoding();
}

void TLogFollower::StartDecoding()
{
    const std::optional<TByteOrderMark> mark = FindByteOrderMark(FUndecided);
    FDecoder = std::make_unique<TLogDecoder>(mark ? mark->Encoding : UnmarkedLogEncoding(), *FParser);
    const QByteArray first = std::exchange(FUndecided, {});
    const qsizetype skip = mark ? mark->Bytes.size() : 0;
    FDecoder->Feed(first.constData() + skip, size_t(first.size() - skip));
}

void TLogFollower::MoveSettled()
{
    // The parser only ever changes its last command.
    const qsizetype settled = FParsed.size() - 1;
    if (settled <= 0)
        return;
    FSettled.append(FParsed.first(settled));
    FParsed.remove(0, settled);
    FBase += settled;
}

void TLogFollower::HandOver(TFollowStep& AStep, const TCommands& ATail, qsizetype AVisible)
{
    // FSettled holds the log indexes [FSettledBase, FBase), ATail those from FBase on.
    const auto at = [&](qsizetype index) -> const TCommand& {
        return index < FBase ? FSettled[index - FSettledBase] : ATail[index - FBase];
    };
    if (FHanded > 0 && FHanded - 1 >= FSettledBase && FHanded <= AVisible && at(FHanded - 1) != FLastHanded) {
        FLastHanded = at(FHanded - 1);
        AStep.ChangedLast = FLastHanded;
    }
    if (AVisible <= FHanded)
        return;
    FLastHanded = at(AVisible - 1);
    const qsizetype first = std::max(FHanded, FSettledBase);
    const qsizetype fromSettled = std::max<qsizetype>(0, std::min(AVisible, FBase) - first);
    if (fromSettled > 0) {
        FSettled.remove(0, first - FSettledBase);
        FSettled.resize(fromSettled);
        AStep.Added = std::move(FSettled);
        FSettled = {};
    }
    for (qsizetype index = std::max(first, FBase); index < AVisible; ++index)
        AStep.Added.append(ATail[index - FBase]);
    FHanded = AVisible;
}

} // namespace kestrun
