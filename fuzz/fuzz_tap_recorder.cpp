// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes from either side of the line through the tap's recorder: nothing crashes or hangs,
// every byte is on exactly one line of the log in the order it crossed (a run's line as many
// times as it counts), and the log reads back with only requests the till really sent. The recorder runs on the log thread after the bytes
// have been forwarded, so the forwarding never waits on what it does with them.
#include "log/Bytes.h"
#include "log/LogLoader.h"
#include "playback/TrafficLog.h"
#include "tap/TapLog.h"
#include "tap/TapRecorder.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace kestrun;

// The input as steps: a head byte, then its bytes. Head FF ends the exchange under way as a side
// going away does; otherwise bit 7 names the side (set: the register) and bits 0-5 count the
// bytes that follow, less one.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QTemporaryDir folder;
    static const QString fileName = folder.filePath(QStringLiteral("tap.log"));
    QFile::remove(fileName);

    TTapRecorder recorder;
    QByteArray sent[2];
    int64_t time = 0;
    for (size_t pos = 0; pos < size;) {
        const uint8_t head = data[pos++];
        if (head == 0xFF) {
            recorder.Close(-8);
            continue;
        }
        const size_t count = std::min<size_t>((head & 0x3F) + 1, size - pos);
        const auto side = (head & 0x80) ? TTapSide::tsRegister : TTapSide::tsTill;
        const QByteArrayView bytes(reinterpret_cast<const char*>(data + pos), static_cast<qsizetype>(count));
        recorder.Feed(side, bytes, ++time);
        sent[side == TTapSide::tsRegister] += bytes;
        pos += count;
    }
    recorder.Close(-9);

    QByteArray logged[2];
    QList<QByteArray> followedRequests;
    const QList<TTapExchange> exchanges = recorder.TakeFinished();
    {
        TTrafficLog log(fileName);
        for (const TTapExchange& exchange : exchanges) {
            for (const TTapLine& line : exchange.Lines) {
                if (line.Kind == TTapLine::lkNote)
                    continue;
                logged[line.Kind == TTapLine::lkRegister] += line.Bytes.repeated(line.Count);
                // A followed frame of the till: STX, length, data, LRC.
                if (line.Followed && line.Kind == TTapLine::lkTill && line.Bytes.size() >= 3)
                    followedRequests << StrToHex(line.Bytes.mid(2).chopped(1));
            }
            WriteTapExchange(log, exchange);
        }
    }
    if (logged[0] != sent[0] || logged[1] != sent[1])
        std::abort();

    TCommands commands;
    LoadLogFile(fileName, {}, commands);
    for (const TCommand& command : commands)
        if (!followedRequests.contains(command.Data()))
            std::abort();
    return 0;
}
