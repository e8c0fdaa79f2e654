// SPDX-License-Identifier: GPL-3.0-or-later
#include "BackgroundLoad.h"

#include "CurrentError.h"
#include "LogArchive.h"
#include "LogParser.h"
#include "LogText.h"
#include "ParseUntilFault.h"

#include <algorithm>
#include <iterator>
#include <utility>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace kestrun {

namespace {

// Often enough that the first rows come at once and the owner never waits long for more; seldom
// enough that the lock costs nothing against parsing the lines.
constexpr int HandOverLines = 1024;

// Thrown on the loading thread to leave the reading when the load is stopped.
struct TCancelled
{
};

} // namespace

// Parses each line, hands the settled commands over now and then, and leaves once stopped.
class TBackgroundLoad::TSink final : public ILogLineSink
{
public:
    TSink(TBackgroundLoad& ALoad, ILogLineSink& AParse, TCommands& AParsed)
        : FLoad(ALoad), FParse(AParse), FParsed(AParsed)
    {
    }

    void AddLine(QByteArrayView ALine) override
    {
        Step();
        FParse.AddLine(ALine);
    }
    void AddLine(QStringView ALine) override
    {
        Step();
        FParse.AddLine(ALine);
    }

private:
    void Step()
    {
        if (FLoad.FCancelled.load(std::memory_order_relaxed))
            throw TCancelled();
        // The parser only ever changes its last command, so everything before it is settled.
        if (++FLines % HandOverLines == 0)
            FLoad.HandOver(FParsed, 1);
    }

    TBackgroundLoad& FLoad;
    ILogLineSink& FParse;
    TCommands& FParsed;
    qint64 FLines = 0;
};

TLogFeed DeviceFeed(std::function<std::unique_ptr<QIODevice>()> AOpen)
{
    return [open = std::move(AOpen)](ILogLineSink& ASink, const TReadProgress& AProgress) {
        const std::unique_ptr<QIODevice> device = open();
        if (!IsPackedLog(*device)) {
            ReadLogStream(*device, UnmarkedLogEncoding(), ASink, AProgress);
            return;
        }
        TUnpackedLog unpacked(*device);
        ReadLogStream(unpacked, UnmarkedLogEncoding(), ASink, AProgress);
    };
}

TLogFeed TextFeed(QString AText)
{
    return [text = std::move(AText)](ILogLineSink& ASink, const TReadProgress&) { FeedLogText(text, ASink); };
}

TBackgroundLoad::TBackgroundLoad(TLogFeed AFeed, const QStringList& AIgnoreLines)
{
    FThread = std::thread(&TBackgroundLoad::Run, this, std::move(AFeed), AIgnoreLines);
}

TBackgroundLoad::~TBackgroundLoad()
{
    FCancelled.store(true, std::memory_order_relaxed);
    FThread.join();
}

void TBackgroundLoad::Run(const TLogFeed& AFeed, const QStringList& AIgnoreLines)
{
    QString error;
    QString warning;
    try {
        TCommands parsed;
        TLogParser parser(parsed, ReadIgnoreCodes(AIgnoreLines));
        TParseUntilFault parse(parser);
        TSink sink(*this, parse, parsed);
        try {
            AFeed(sink, [this](double fraction) { FProgress.store(fraction, std::memory_order_relaxed); });
        } catch (const TDamagedInput& e) {
            warning = e.Message();
        }
        parse.Finish();
        HandOver(parsed, 0);
#ifdef __GLIBC__
        // Parsing leaves small holes between the commands it made (lines, batches handed over);
        // whole free pages among them go back to the system rather than count against the log.
        malloc_trim(0);
#endif
    } catch (const TCancelled&) {
        // Nobody waits for the outcome of a load that was stopped.
    } catch (...) {
        error = CurrentErrorMessage();
    }
    const std::lock_guard lock(FLock);
    FError = error;
    FWarning = error.isNull() ? warning : QString();
    FEnded = true;
}

void TBackgroundLoad::HandOver(TCommands& AParsed, qsizetype AKeep)
{
    if (AParsed.size() <= AKeep)
        return;
    // The list itself is handed over, without moving its commands one by one.
    TCommands kept;
    // The next batch will be about as long: room for it at once leaves no trail of outgrown lists.
    kept.reserve(AParsed.size());
    std::move(AParsed.end() - AKeep, AParsed.end(), std::back_inserter(kept));
    AParsed.resize(AParsed.size() - AKeep);
    TCommands batch = std::exchange(AParsed, std::move(kept));
    for (TCommand& command : batch)
        command.Pack();
    const std::lock_guard lock(FLock);
    FSettled.push_back(std::move(batch));
}

TCommands TBackgroundLoad::Take(qsizetype AMost)
{
    const std::lock_guard lock(FLock);
    TCommands taken;
    while (!FSettled.empty() && taken.size() < AMost) {
        TCommands& front = FSettled.front();
        if (FFrontTaken == 0 && front.size() <= AMost - taken.size()) {
            if (taken.isEmpty())
                taken = std::move(front);
            else
                taken.append(std::move(front));
            FSettled.pop_front();
            continue;
        }
        const qsizetype count = qMin(front.size() - FFrontTaken, AMost - taken.size());
        std::move(front.begin() + FFrontTaken, front.begin() + FFrontTaken + count, std::back_inserter(taken));
        FFrontTaken += count;
        if (FFrontTaken == front.size()) {
            FSettled.pop_front();
            FFrontTaken = 0;
        }
    }
    return taken;
}

bool TBackgroundLoad::HasSettled() const
{
    const std::lock_guard lock(FLock);
    return !FSettled.empty();
}

bool TBackgroundLoad::Ended() const
{
    const std::lock_guard lock(FLock);
    return FEnded;
}

bool TBackgroundLoad::Done() const
{
    const std::lock_guard lock(FLock);
    return FEnded && FSettled.empty();
}

QString TBackgroundLoad::Error() const
{
    const std::lock_guard lock(FLock);
    return FError;
}

QString TBackgroundLoad::Warning() const
{
    const std::lock_guard lock(FLock);
    return FWarning;
}

} // namespace kestrun
