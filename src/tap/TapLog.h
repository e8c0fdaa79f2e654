// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TapRecorder.h"

#include <QByteArray>
#include <QString>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace kestrun {

class TTrafficLog;

// The tap's driver log, written on a thread of its own: the forwarding only queues what crossed
// the line, so a slow, full or vanished disk never holds back a byte of the traffic. A file that
// cannot be written is reported, and the writing goes on when it can. The queue is bounded: what
// crosses while the log is MaxBehindBytes behind is counted and not written, and a line of the
// log tells how much.
class TTapLog final
{
public:
    static constexpr qsizetype MaxBehindBytes = 8 << 20;

    // Called on the log thread with a message for people.
    using TReporter = std::function<void(const QString& message)>;

    // Appends to the file; throws kestrun::Exception when it cannot be opened. `thread` is the
    // number the lines carry.
    TTapLog(QString fileName, uint32_t thread, TReporter report);
    TTapLog(const TTapLog&) = delete;
    TTapLog& operator=(const TTapLog&) = delete;
    // Writes everything queued and the exchange under way.
    ~TTapLog();

    // From any thread, in the order the bytes crossed.
    void Crossed(TTapSide side, QByteArray bytes);
    // A side went away: the exchange under way ends.
    void SideClosed();

private:
    struct TEvent
    {
        bool Closed = false;
        TTapSide Side = TTapSide::tsTill;
        QByteArray Bytes;
        int64_t Time = 0;
        int64_t Skipped = 0; // bytes that crossed before this event and were not queued
    };

    void Post(TEvent event);
    // The log thread is done with `size` bytes of the queue.
    void Release(qsizetype size);
    void Run();
    void Write();
    // A file removed while the tap writes it is made again, so that a reader finds the new lines.
    void ReopenIfRemoved();
    void Report(bool failing, const QString& message);

    const QString FFileName;
    const uint32_t FThreadNumber;
    const TReporter FReport;
    // The log thread's own.
    TTapRecorder FRecorder;
    std::unique_ptr<TTrafficLog> FLog;
    bool FFailing = false;

    std::mutex FLock;
    std::condition_variable FWake;
    std::deque<TEvent> FEvents;
    qsizetype FQueued = 0;  // bytes queued or being written, and a share for each event's keeping
    int64_t FSkipped = 0;   // bytes not queued since the last event queued
    int64_t FSkippedAt = 0; // when the first of them crossed
    bool FStopping = false;
    std::thread FThread; // last: starts when everything it uses is there
};

// Writes the exchange's lines, the followed ones for the reader; false when the file refused them.
bool WriteTapExchange(TTrafficLog& log, const TTapExchange& exchange);

} // namespace kestrun
