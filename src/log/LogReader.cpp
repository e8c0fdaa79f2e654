// SPDX-License-Identifier: GPL-3.0-or-later
#include "LogReader.h"

#include "Exception.h"
#include "LogDecoder.h"
#include "LogText.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrun {

namespace {

// Large reads keep the per-call overhead negligible for logs of hundreds of megabytes.
constexpr qsizetype ChunkSize = qsizetype(1) << 20;

Exception OpenError(const QString& fileName, int error)
{
    return Exception(QStringLiteral("Cannot open file \"%1\". %2")
                         .arg(fileName, QString::fromLocal8Bit(std::strerror(error))));
}

// Reads until the buffer is full or the device is exhausted.
qsizetype Fill(QIODevice& device, char* buffer, qsizetype size)
{
    qsizetype filled = 0;
    while (filled < size) {
        // What a peek left in the device's buffer is taken alone, lest the read wait for more.
        const qint64 buffered = device.isSequential() ? device.bytesAvailable() : 0;
        const qint64 n = device.read(buffer + filled, buffered > 0 ? std::min<qint64>(buffered, size - filled) : size - filled);
        // The bytes before a fault are taken first; the device fails again on the next read.
        if (n < 0 && filled > 0)
            break;
        if (n < 0) {
            const auto* unpacking = dynamic_cast<const IUnpacking*>(&device);
            if (unpacking && unpacking->Damaged())
                throw TDamagedInput(device.errorString());
            throw Exception(device.errorString());
        }
        if (n == 0)
            break;
        filled += qsizetype(n);
        // A pipe gives what has been written so far: its lines go on at once, not when a chunk fills.
        if (device.isSequential())
            break;
    }
    return filled;
}

} // namespace

void OpenLogFile(QFile& AFile, const QString& AFileName)
{
    const int fd = ::open(QFile::encodeName(AFileName).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw OpenError(AFileName, errno);
    struct stat info;
    if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(fd);
        throw OpenError(AFileName, EISDIR);
    }
    if (!AFile.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw Exception(QStringLiteral("Cannot open file \"%1\". %2").arg(AFileName, AFile.errorString()));
    }
}

namespace {

// Lines cut and scanned for their markers on the reading thread, handed to the parsing one in
// batches: reading, cutting and scanning lines take a third of a parse, which then runs beside it.
struct TLineBatch
{
    static constexpr qsizetype UnicodeLine = -1;
    QByteArray Bytes; // single-byte lines one after another
    // In the order read: where each single-byte line ends, or UnicodeLine for the next of Unicode.
    std::vector<qsizetype> Ends;
    std::vector<TLineMarkers> Markers; // of each single-byte line
    QStringList Unicode;
    std::optional<double> Progress;
};

// Thrown on the reading thread when nobody takes its lines any more.
struct TNobodyReads
{
};

// A short queue between the two threads; the reader waits when the parser is behind.
class TLinePipe
{
public:
    void Push(TLineBatch batch)
    {
        std::unique_lock lock(FLock);
        FChanged.wait(lock, [this] { return FBatches.size() < MostWaiting || FStopped; });
        if (FStopped)
            throw TNobodyReads();
        FBatches.push_back(std::move(batch));
        FChanged.notify_all();
    }
    // An emptied batch to fill again: a load makes a handful of batches, not one for each chunk,
    // so it leaves no trail of freed megabytes behind it.
    TLineBatch Spare()
    {
        const std::lock_guard lock(FLock);
        if (FSpare.empty()) {
            TLineBatch batch;
            batch.Bytes.reserve(ChunkSize);
            return batch;
        }
        TLineBatch batch = std::move(FSpare.back());
        FSpare.pop_back();
        return batch;
    }
    void Recycle(TLineBatch batch)
    {
        batch.Bytes.resize(0);
        batch.Ends.clear();
        batch.Markers.clear();
        batch.Unicode.clear();
        const std::lock_guard lock(FLock);
        FSpare.push_back(std::move(batch));
    }
    // Nothing once the reader has closed the pipe and every batch was taken.
    std::optional<TLineBatch> Pop()
    {
        std::unique_lock lock(FLock);
        FChanged.wait(lock, [this] { return !FBatches.empty() || FClosed; });
        if (FBatches.empty())
            return std::nullopt;
        TLineBatch batch = std::move(FBatches.front());
        FBatches.pop_front();
        FChanged.notify_all();
        return batch;
    }
    void Close(std::exception_ptr error)
    {
        const std::lock_guard lock(FLock);
        FClosed = true;
        FError = std::move(error);
        FChanged.notify_all();
    }
    void Stop()
    {
        const std::lock_guard lock(FLock);
        FStopped = true;
        FChanged.notify_all();
    }
    // What ended the reading, after the lines read before it.
    void RethrowError() const
    {
        if (FError)
            std::rethrow_exception(FError);
    }

private:
    static constexpr size_t MostWaiting = 4;
    std::mutex FLock;
    std::condition_variable FChanged;
    std::deque<TLineBatch> FBatches;
    std::vector<TLineBatch> FSpare;
    bool FClosed = false;
    bool FStopped = false;
    std::exception_ptr FError;
};

class TBatchingSink final : public ILogLineSink
{
public:
    explicit TBatchingSink(TLinePipe& APipe) : FPipe(APipe), FBatch(APipe.Spare()) {}

    void AddLine(QByteArrayView ALine) override
    {
        FBatch.Bytes.append(ALine);
        FBatch.Ends.push_back(FBatch.Bytes.size());
        FBatch.Markers.emplace_back().Scan(ALine);
    }
    void AddLine(QStringView ALine) override
    {
        FBatch.Unicode.append(ALine.toString());
        FBatch.Ends.push_back(TLineBatch::UnicodeLine);
    }

    void Flush(std::optional<double> AProgress)
    {
        FBatch.Progress = AProgress;
        FPipe.Push(std::exchange(FBatch, FPipe.Spare()));
    }

private:
    TLinePipe& FPipe;
    TLineBatch FBatch;
};

void Deliver(const TLineBatch& ABatch, ILogLineSink& ASink)
{
    qsizetype from = 0;
    qsizetype unicode = 0;
    auto markers = ABatch.Markers.cbegin();
    for (const qsizetype end : ABatch.Ends) {
        if (end == TLineBatch::UnicodeLine) {
            ASink.AddLine(QStringView(ABatch.Unicode.at(unicode++)));
            continue;
        }
        ASink.AddScannedLine(QByteArrayView(ABatch.Bytes.constData() + from, end - from), *markers++);
        from = end;
    }
}

// Reads the device chunk by chunk, with the lines of each chunk handed to the sink before the
// next is read; AChunkRead after each, with the fraction read when it is known.
void ReadChunks(QIODevice& ADevice, TTextEncoding AEncoding, ILogLineSink& ASink,
                const std::function<void(std::optional<double>)>& AChunkRead)
{
    QByteArray buffer(ChunkSize, Qt::Uninitialized);
    const qint64 total = ADevice.isSequential() ? 0 : ADevice.size() - ADevice.pos();
    const auto* known = dynamic_cast<const IReadProgress*>(&ADevice);
    qint64 consumed = 0;
    qsizetype size = Fill(ADevice, buffer.data(), ChunkSize);

    const std::optional<TByteOrderMark> mark = FindByteOrderMark(QByteArrayView(buffer.constData(), size));
    qsizetype start = mark ? mark->Bytes.size() : 0;
    TLogDecoder decoder(mark ? mark->Encoding : AEncoding, ASink);
    while (size > 0) {
        decoder.Feed(buffer.constData() + start, size_t(size - start));
        consumed += size;
        if (known)
            AChunkRead(known->ReadFraction());
        else if (total > 0)
            AChunkRead(std::min(1.0, double(consumed) / double(total)));
        else
            AChunkRead(0.0); // a pipe: how far is unknown, but a chunk was read all the same
        start = 0;
        size = Fill(ADevice, buffer.data(), ChunkSize);
    }
    decoder.Finish();
    AChunkRead(std::nullopt);
}

} // namespace

void ReadLogStream(QIODevice& ADevice, TTextEncoding AEncoding, ILogLineSink& ASink, const TReadProgress& AProgress)
{
    ReadChunks(ADevice, AEncoding, ASink, [&AProgress](std::optional<double> fraction) {
        if (AProgress && fraction)
            AProgress(*fraction);
    });
}

void ReadLogStreamAhead(QIODevice& ADevice, TTextEncoding AEncoding, ILogLineSink& ASink,
                        const TReadProgress& AProgress)
{
    TLinePipe pipe;
    std::thread reader([&] {
        TBatchingSink batches(pipe);
        try {
            ReadChunks(ADevice, AEncoding, batches, [&batches](std::optional<double> fraction) { batches.Flush(fraction); });
            pipe.Close(nullptr);
        } catch (const TNobodyReads&) {
        } catch (...) {
            // The lines before the fault are handed over first, as they were read.
            const std::exception_ptr error = std::current_exception();
            try {
                batches.Flush(std::nullopt);
            } catch (const TNobodyReads&) {
            }
            pipe.Close(error);
        }
    });
    try {
        while (std::optional<TLineBatch> batch = pipe.Pop()) {
            Deliver(*batch, ASink);
            ASink.KeepScannedLines();
            if (AProgress && batch->Progress)
                AProgress(*batch->Progress);
            pipe.Recycle(*std::move(batch));
        }
    } catch (...) {
        pipe.Stop();
        reader.join();
        throw;
    }
    reader.join();
    pipe.RethrowError();
}

void ReadLogLines(const QString& FileName, TTextEncoding Encoding, QStringList& Lines)
{
    QFile file;
    OpenLogFile(file, FileName);
    Lines.clear();
    TLineCollector collector(Lines);
    ReadLogStream(file, Encoding, collector);
}

} // namespace kestrun
