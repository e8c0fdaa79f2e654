// SPDX-License-Identifier: GPL-3.0-or-later
#include "TapLog.h"

#include "log/Bytes.h"
#include "log/Exception.h"
#include "log/LogDialect.h"
#include "playback/DriverErrors.h"
#include "playback/TrafficLog.h"

#include <QDateTime>
#include <QFileInfo>
#include <chrono>

namespace kestrun {

namespace {

// A line quiet this long ends the exchange under way, so that a request left without an answer
// reaches the file while the till waits; any protocol-1 timeout is far shorter.
constexpr std::chrono::seconds QuietTime{5};
// What an event costs besides its bytes.
constexpr qsizetype EventCost = 64;
// Bytes of one side that cross within this long share an event: a flood of small writes does
// not become as many events.
constexpr int64_t ShareEventMs = 50;
// The recorder is fed this much at a time, and what it finished is written before the next.
constexpr qsizetype FeedSlice = 64 << 10;

std::unique_ptr<TTrafficLog> OpenTrafficLog(const QString& fileName, uint32_t thread)
{
    auto log = std::make_unique<TTrafficLog>(fileName);
    log->SetThread(thread);
    return log;
}

} // namespace

bool WriteTapExchange(TTrafficLog& log, const TTapExchange& exchange)
{
    for (const TTapLine& line : exchange.Lines) {
        const QDateTime time = QDateTime::fromMSecsSinceEpoch(line.Time);
        if (line.Count > 1) {
            const QByteArrayView arrow(line.Kind == TTapLine::lkTill ? SentArrow : ReceivedArrow);
            log.Note(arrow.toByteArray() + ' ' + StrToHex(line.Bytes) + " (" + QByteArray::number(line.Count) + " times)",
                     time);
            continue;
        }
        TTrafficLog::TEntry entry = -1;
        switch (line.Kind) {
        case TTapLine::lkTill: entry = log.Sent(line.Bytes, time); break;
        case TTapLine::lkRegister: entry = log.Received(line.Bytes, time); break;
        case TTapLine::lkNote: log.Note(line.Bytes, time); break;
        }
        if (line.Followed && entry >= 0)
            log.Follow(entry);
    }
    return log.Flush(exchange.Result, DriverErrorDescription(exchange.Result));
}

TTapLog::TTapLog(QString fileName, uint32_t thread, TReporter report)
    : FFileName(std::move(fileName)), FThreadNumber(thread), FReport(std::move(report)),
      FLog(OpenTrafficLog(FFileName, thread)), FThread(&TTapLog::Run, this)
{
}

TTapLog::~TTapLog()
{
    {
        std::lock_guard lock(FLock);
        FStopping = true;
    }
    FWake.notify_one();
    FThread.join();
}

void TTapLog::Crossed(TTapSide side, QByteArray bytes)
{
    Post({false, side, std::move(bytes), QDateTime::currentMSecsSinceEpoch()});
}

void TTapLog::SideClosed() { Post({true, {}, {}, QDateTime::currentMSecsSinceEpoch()}); }

void TTapLog::Post(TEvent event)
{
    {
        std::lock_guard lock(FLock);
        const qsizetype size = event.Bytes.size();
        if (size > 0 && FQueued + size + EventCost > MaxBehindBytes) {
            if (FSkipped == 0)
                FSkippedAt = event.Time;
            FSkipped += size;
            return;
        }
        // The count goes into the log in its place, before what comes after it.
        if (FSkipped > 0) {
            FEvents.push_back({false, {}, {}, FSkippedAt, std::exchange(FSkipped, 0)});
            FQueued += EventCost;
        }
        TEvent* last = FEvents.empty() ? nullptr : &FEvents.back();
        if (!event.Closed && last && !last->Closed && last->Skipped == 0 && last->Side == event.Side
            && event.Time - last->Time < ShareEventMs && last->Bytes.size() < FeedSlice) {
            last->Bytes += event.Bytes;
            FQueued += size;
            return;
        }
        FEvents.push_back(std::move(event));
        FQueued += size + EventCost;
    }
    FWake.notify_one();
}

void TTapLog::Release(qsizetype size)
{
    std::lock_guard lock(FLock);
    FQueued -= size;
}

void TTapLog::Run()
{
    std::unique_lock lock(FLock);
    for (;;) {
        const bool woken
            = FWake.wait_for(lock, QuietTime, [this] { return FStopping || !FEvents.empty() || FSkipped > 0; });
        std::deque<TEvent> events = std::exchange(FEvents, {});
        if (FSkipped > 0) {
            events.push_back({false, {}, {}, FSkippedAt, std::exchange(FSkipped, 0)});
            FQueued += EventCost;
        }
        const bool stopping = FStopping;
        lock.unlock();
        for (TEvent& event : events) {
            if (event.Skipped > 0)
                FRecorder.Lost(event.Skipped, event.Time);
            if (event.Closed)
                FRecorder.Close(deConnectionClosed);
            for (qsizetype at = 0; at < event.Bytes.size(); at += FeedSlice) {
                FRecorder.Feed(event.Side, QByteArrayView(event.Bytes).sliced(at, qMin(FeedSlice, event.Bytes.size() - at)),
                               event.Time);
                Write();
            }
            // Room for more as soon as an event is written, not when the whole batch is.
            Release(event.Bytes.size() + EventCost);
            event.Bytes = QByteArray();
        }
        if (!woken || stopping)
            FRecorder.Close(deNoAnswer);
        Write();
        if (stopping)
            return;
        lock.lock();
    }
}

void TTapLog::Write()
{
    const QList<TTapExchange> exchanges = FRecorder.TakeFinished();
    if (exchanges.isEmpty())
        return;
    ReopenIfRemoved();
    if (!FLog)
        return;
    bool written = true;
    for (const TTapExchange& exchange : exchanges)
        written = WriteTapExchange(*FLog, exchange) && written;
    if (written)
        Report(false, QStringLiteral("the log %1 is written again").arg(FFileName));
    else
        Report(true, QStringLiteral("cannot write the log %1: %2; the traffic goes on").arg(FFileName, FLog->ErrorString()));
}

void TTapLog::ReopenIfRemoved()
{
    if (FLog && QFileInfo::exists(FFileName))
        return;
    FLog.reset();
    try {
        FLog = OpenTrafficLog(FFileName, FThreadNumber);
        FReport(QStringLiteral("the log %1 was removed; it is written anew").arg(FFileName));
    } catch (const Exception& e) {
        Report(true, QStringLiteral("cannot write the log %1: %2; the traffic goes on").arg(FFileName, e.Message()));
    }
}

void TTapLog::Report(bool failing, const QString& message)
{
    // Each change is told once, not every exchange of a full disk.
    if (failing != FFailing)
        FReport(message);
    FFailing = failing;
}

} // namespace kestrun
