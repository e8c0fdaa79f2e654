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

void LoadLogText(const QString& text, const QStringList& ignoreLines, TCommands& commands)
{
    TLogParser parser(commands, ReadIgnoreCodes(ignoreLines));
    FeedLogText(text, parser);
    parser.Finish();
}

} // namespace kestrun
