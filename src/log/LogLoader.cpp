// SPDX-License-Identifier: GPL-3.0-or-later
#include "LogLoader.h"

#include "Exception.h"
#include "LogArchive.h"
#include "LogParser.h"
#include "LogReader.h"
#include "LogText.h"
#include "ParseUntilFault.h"

namespace kestrun {

namespace {

void ParseLogDevice(QIODevice& device, const QStringList& ignoreLines, TCommands& commands,
                    const TLoadProgress& progress)
{
    TLogParser parser(commands, ReadIgnoreCodes(ignoreLines));
    TParseUntilFault sink(parser);
    try {
        ReadLogStream(device, UnmarkedLogEncoding(), sink, progress);
    } catch (const TDamagedInput&) {
        // The text before the damage stands; a packet format error in it came first.
        sink.Finish();
        throw;
    } catch (const Exception&) {
        // A log that could not be read is not parsed at all.
        commands.clear();
        throw;
    }
    // A packet format error keeps the commands stored before it.
    sink.Finish();
}

} // namespace

void LoadLogDevice(QIODevice& device, const QStringList& ignoreLines, TCommands& commands,
                   const TLoadProgress& progress)
{
    commands.clear();
    // A compressed stream (standard input) is unpacked on the way.
    if (!IsPackedLog(device)) {
        ParseLogDevice(device, ignoreLines, commands, progress);
        return;
    }
    TUnpackedLog unpacked(device);
    ParseLogDevice(unpacked, ignoreLines, commands, progress);
}

void LoadLogFile(const QString& fileName, const QStringList& ignoreLines, TCommands& commands,
                 const TLoadProgress& progress)
{
    commands.clear();
    const std::unique_ptr<QIODevice> device = OpenLogSource(fileName);
    ParseLogDevice(*device, ignoreLines, commands, progress);
}

namespace {

// Decodes without keeping anything: finds a decoding fault before any command is handed over.
class TDecodeCheck final : public ILogLineSink
{
public:
    void AddLine(QByteArrayView) override {}
    void AddLine(QStringView) override {}
};

bool StartsWithUtf8Mark(QIODevice& device)
{
    const bool marked = device.peek(3) == QByteArrayView("\xEF\xBB\xBF");
    return marked;
}

} // namespace

namespace {

void StreamDevice(QIODevice& device, const QStringList& ignoreLines, const TSettledCommands& settled,
                  TReadThread reading);

} // namespace

void StreamLogDevice(QIODevice& device, const QStringList& ignoreLines, const TSettledCommands& settled)
{
    if (!IsPackedLog(device)) {
        StreamDevice(device, ignoreLines, settled, TReadThread::rtCalling);
        return;
    }
    TUnpackedLog unpacked(device);
    StreamDevice(unpacked, ignoreLines, settled, TReadThread::rtCalling);
}

void StreamLogFile(const QString& fileName, const QStringList& ignoreLines, const TSettledCommands& settled,
                   TReadThread reading)
{
    std::unique_ptr<QIODevice> device = OpenLogSource(fileName);
    // Only UTF-8 can fail to decode; such a log is read twice so that a fault near its end still
    // means nothing was handed over, as with a whole load. An archive damaged part way hands
    // over what was read before the damage, as a whole load keeps it.
    if (StartsWithUtf8Mark(*device)) {
        TDecodeCheck check;
        try {
            ReadLogStream(*device, UnmarkedLogEncoding(), check);
        } catch (const TDamagedInput&) {
            // Met again, and kept to, by the pass that hands the commands over.
        }
        // An unpacked log cannot go back: it is opened again.
        if (device->isSequential())
            device = OpenLogSource(fileName);
        else
            device->seek(0);
    }
    StreamDevice(*device, ignoreLines, settled, reading);
}

namespace {

void StreamDevice(QIODevice& device, const QStringList& ignoreLines, const TSettledCommands& settled,
                  TReadThread reading)
{
    TCommands commands;
    // The parser only ever changes the last command, so everything before it is settled.
    // Records are moved, not copied, into the batch.
    const auto handOver = [&](qsizetype keep) {
        if (commands.size() <= keep)
            return;
        TCommands batch;
        batch.swap(commands);
        const qsizetype settledCount = batch.size() - keep;
        for (qsizetype i = settledCount; i < batch.size(); ++i)
            commands.append(std::move(batch[i]));
        batch.resize(settledCount);
        settled(batch);
    };
    TLogParser parser(commands, ReadIgnoreCodes(ignoreLines));
    try {
        const auto read = reading == TReadThread::rtAhead ? ReadLogStreamAhead : ReadLogStream;
        read(device, UnmarkedLogEncoding(), parser, [&](double) { handOver(1); });
        parser.Finish();
    } catch (const TDamagedInput&) {
        try {
            parser.Finish();
        } catch (const Exception&) {
            handOver(0);
            throw;
        }
        handOver(0);
        throw;
    } catch (const Exception&) {
        handOver(0);
        throw;
    }
    handOver(0);
}

} // namespace

void LoadLogText(const QString& text, const QStringList& ignoreLines, TCommands& commands)
{
    TLogParser parser(commands, ReadIgnoreCodes(ignoreLines));
    FeedLogText(text, parser);
    parser.Finish();
}

} // namespace kestrun
