// SPDX-License-Identifier: GPL-3.0-or-later
// kestrun-cli parse: the log as the window reads it, one JSON object per command.
#include "CliSupport.h"
#include "Commands.h"

#include "log/Codepages.h"
#include "log/Exception.h"
#include <array>

namespace kestrun::cli {

namespace {

// Output is written in blocks of this size rather than per record.
constexpr qsizetype FlushSize = qsizetype(1) << 20;

// UTF-8 of each Windows-1251 byte from 0x80 up, built once.
const std::array<QByteArray, 128>& HighHalfUtf8()
{
    static const std::array<QByteArray, 128> table = [] {
        std::array<QByteArray, 128> t;
        for (int b = 0x80; b < 0x100; ++b) {
            const char byte = char(b);
            t[size_t(b - 0x80)] = Cp1251ToUnicode(QByteArrayView(&byte, 1)).toUtf8();
        }
        return t;
    }();
    return table;
}

// A JSON string of a Windows-1251 field; hex text, the usual content, needs no conversion.
void AppendJson1251(QByteArray& out, const QByteArray& value)
{
    static constexpr char Hex[] = "0123456789abcdef";
    out += '"';
    const char* const end = value.constEnd();
    for (const char* p = value.constBegin(); p != end; ++p) {
        // Runs of plain ASCII, hex text above all, are copied in one go.
        const char* run = p;
        while (run != end && static_cast<unsigned char>(*run) >= 0x20 && static_cast<unsigned char>(*run) < 0x80 &&
               *run != '"' && *run != '\\')
            ++run;
        if (run != p) {
            out.append(p, run - p);
            p = run;
            if (p == end)
                break;
        }
        const char c = *p;
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x80) {
            out += HighHalfUtf8()[u - 0x80];
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else {
            out += "\\u00";
            out += Hex[u >> 4];
            out += Hex[u & 0xF];
        }
    }
    out += '"';
}

void AppendRecord(QByteArray& out, const TCommand& command)
{
    out += "{\"Data\":";
    AppendJson1251(out, command.Data());
    out += ",\"Attributes\":";
    AppendJson1251(out, command.Attributes());
    out += ",\"AnswerData\":";
    AppendJson1251(out, command.AnswerData());
    out += ",\"Protocol\":\"";
    out += ProtocolName(command.Protocol);
    out += "\",\"LineNumber\":";
    out += QByteArray::number(command.LineNumber);
    out += ",\"DriverError\":";
    AppendJsonString(out, command.DriverError());
    out += ",\"DurationMs\":";
    out += command.DurationMs == NoDuration ? QByteArray("null") : QByteArray::number(command.DurationMs);
    out += "}\n";
}

void PrintRecords(const TCommands& commands)
{
    QByteArray out;
    out.reserve(FlushSize + 4096);
    for (const TCommand& command : commands) {
        AppendRecord(out, command);
        if (out.size() >= FlushSize) {
            WriteOut(out);
            out.resize(0);
        }
    }
    WriteOut(out);
}

} // namespace

int RunParse(const QStringList& args)
{
    ArgReader reader(args);
    const QStringList ignoreLines = TakeIgnoreLines(reader);
    const bool countOnly = reader.TakeFlag(QStringLiteral("--count"));
    const QString fileName = reader.Positionals(1, 1).constFirst();

    QString error;
    qsizetype count = 0;
    try {
        // Commands are printed as the parser settles them, so a log of any size needs little memory.
        // Only counting reads ahead on a second thread: the commands that print read on one, so
        // `parse` and `list` (whose rows take the other cores) compare on equal reading.
        StreamLog(
            fileName, ignoreLines,
            [&](const TCommands& batch) {
                count += batch.size();
                if (!countOnly)
                    PrintRecords(batch);
            },
            countOnly ? TReadThread::rtAhead : TReadThread::rtCalling);
    } catch (const Exception& e) {
        error = e.Message();
    }
    // A log that could not be read at all has no count; one that failed part way has those before.
    if (countOnly && (error.isEmpty() || count > 0))
        WriteOut(QByteArray::number(count) + '\n');
    return error.isEmpty() ? ExitOk : ReportFailure("parse", error);
}

} // namespace kestrun::cli
