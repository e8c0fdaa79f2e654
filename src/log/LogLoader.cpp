#include "LogLoader.h"

#include "Exception.h"
#include "LogParser.h"
#include "LogReader.h"
#include "LogText.h"

namespace kestrun {

void LoadLogDevice(QIODevice& device, const QStringList& ignoreLines, TCommands& commands,
                   const TLoadProgress& progress)
{
    TLogParser parser(commands, ReadIgnoreCodes(ignoreLines));
    try {
        ReadLogStream(device, TTextEncoding::teWindows1251, parser, progress);
        parser.Finish();
    } catch (const Exception&) {
        // A log that could not be read is not parsed at all; a packet format error keeps
        // the commands stored before it.
        if (!parser.Failed())
            commands.clear();
        throw;
    }
}

void LoadLogFile(const QString& fileName, const QStringList& ignoreLines, TCommands& commands,
                 const TLoadProgress& progress)
{
    commands.clear();
    QFile file;
    OpenLogFile(file, fileName);
    LoadLogDevice(file, ignoreLines, commands, progress);
}

namespace {

// Decodes without keeping anything: finds a decoding fault before any command is handed over.
class TDecodeCheck final : public ILogLineSink
{
public:
    void AddLine(QByteArrayView) override {}
    void AddLine(QStringView) override {}
};

bool StartsWithUtf8Mark(QFile& file)
{
    const bool marked = file.peek(3) == QByteArrayView("\xEF\xBB\xBF");
    return marked;
}

} // namespace

void StreamLogFile(const QString& fileName, const QStringList& ignoreLines, const TSettledCommands& settled)
{
    QFile file;
    OpenLogFile(file, fileName);
    // Only UTF-8 can fail to decode; such a file is read twice so that a fault near its end
    // still means nothing was handed over, as with a whole load.
    if (StartsWithUtf8Mark(file)) {
        TDecodeCheck check;
        ReadLogStream(file, TTextEncoding::teWindows1251, check);
        file.seek(0);
    }
    TCommands commands;
    // The parser only ever changes the last command, so everything before it is settled.
    const auto handOver = [&](qsizetype keep) {
        if (commands.size() <= keep)
            return;
        const TCommands batch = commands.first(commands.size() - keep);
        commands.remove(0, commands.size() - keep);
        settled(batch);
    };
    TLogParser parser(commands, ReadIgnoreCodes(ignoreLines));
    try {
        ReadLogStream(file, TTextEncoding::teWindows1251, parser, [&](double) { handOver(1); });
        parser.Finish();
    } catch (const Exception&) {
        handOver(0);
        throw;
    }
    handOver(0);
}

void LoadLogText(const QString& text, const QStringList& ignoreLines, TCommands& commands)
{
    TLogParser parser(commands, ReadIgnoreCodes(ignoreLines));
    FeedLogText(text, parser);
    parser.Finish();
}

} // namespace kestrun
