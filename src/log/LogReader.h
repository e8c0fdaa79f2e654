// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Exception.h"
#include "LogLineSink.h"

#include <QFile>
#include <QIODevice>
#include <QStringList>
#include <cstdint>
#include <functional>

namespace kestrun {

enum class TTextEncoding : uint8_t {
    teWindows1251,
    teUtf8,
    teUtf16LE,
    teUtf16BE,
    teNamed, // a code page by its name, UnmarkedLogEncodingName
};

// The encoding of a log that starts with no byte-order mark: Windows-1251, as drivers write,
// unless a name was given once at start (the command line's --encoding; IBM866, UTF-8, KOI8-R...).
// Throws Exception for a name no converter knows.
void SetUnmarkedLogEncoding(const QString& name);
TTextEncoding UnmarkedLogEncoding();
const QByteArray& UnmarkedLogEncodingName();

// A line that is not valid UTF-8: the message as the window shows it, and the line's number.
class TUndecodableLine : public Exception
{
public:
    TUndecodableLine(QString message, qint64 line) : Exception(std::move(message)), FLine(line) {}
    qint64 Line() const { return FLine; } // from 1
private:
    qint64 FLine;
};

using TReadProgress = std::function<void(double fraction)>;

// A device whose own size says nothing of the work left (unpacked bytes of an archive) tells how
// far it has read.
class IReadProgress
{
public:
    virtual ~IReadProgress() = default;
    virtual double ReadFraction() const = 0;
};

// A device that unpacks its input. A read it failed for damage of the packed input (or for
// unpacking far too much) raises TDamagedInput: the text read before the fault stands.
class IUnpacking
{
public:
    virtual ~IUnpacking() = default;
    virtual bool Damaged() const = 0;
};

// Opens a log read-only (a driver may still be writing it). Throws Exception
// "Cannot open file "NAME". REASON" with the system's reason.
void OpenLogFile(QFile& AFile, const QString& AFileName);

// Streams a log into ASink: a byte-order mark (UTF-8, UTF-16LE, UTF-16BE) chooses the encoding,
// otherwise AEncoding. Invalid UTF-8 after a UTF-8 mark throws Exception "No mapping for the
// Unicode character exists in the target multi-byte code page" once the lines before it are
// delivered. AProgress is called after each chunk with the fraction of the device read, when its
// size or IReadProgress tells it, else with 0.
void ReadLogStream(QIODevice& ADevice, TTextEncoding AEncoding, ILogLineSink& ASink,
                   const TReadProgress& AProgress = {});
// The same, with the device read and cut into lines on a thread of its own a few chunks ahead of
// the sink, which gets its lines, progress and errors on the calling thread in the same order. A
// parse on the command line then takes a fifth less time; the window's load, already beside the
// window, keeps to one thread and less memory.
void ReadLogStreamAhead(QIODevice& ADevice, TTextEncoding AEncoding, ILogLineSink& ASink,
                        const TReadProgress& AProgress = {});

// The whole file as Unicode lines. Lines is left alone when the file cannot be opened, and holds
// the lines before the fault when decoding fails.
void ReadLogLines(const QString& FileName, TTextEncoding Encoding, QStringList& Lines);

} // namespace kestrun
