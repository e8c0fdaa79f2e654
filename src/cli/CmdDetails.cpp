// kestrun-cli details: the details pane of one command, one pane line per output line.
#include "CliSupport.h"
#include "Commands.h"

#include "decode/CommandView.h"
#include "decode/DisplayText.h"
#include "log/Exception.h"
#include "log/LogLoader.h"

namespace kestrun::cli {

int RunDetails(const QStringList& args)
{
    ArgReader reader(args);
    const QStringList ignoreLines = reader.TakeValues(QStringLiteral("--ignore"));
    const QStringList positionals = reader.Positionals(2, 2);
    const int index = ToInt(positionals[1], QStringLiteral("INDEX"));

    TCommands commands;
    try {
        LoadLogFile(positionals[0], ignoreLines, commands);
    } catch (const Exception& e) {
        return ReportFailure("details", e.Message());
    }
    if (index < 0 || index >= commands.size())
        return ReportFailure("details", QStringLiteral("no command %1: the log holds %2").arg(index).arg(commands.size()));

    const TCommandDetails details = GetCommandDetails(commands[index]);
    QString out;
    for (const QString& line : details.Lines)
        out += PrintableText(line) + u'\n';
    WriteOut(out);
    return details.Error.isEmpty() ? ExitOk : ReportFailure("details", details.Error);
}

} // namespace kestrun::cli
