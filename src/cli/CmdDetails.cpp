// SPDX-License-Identifier: GPL-3.0-or-later
// kestrun-cli details: the details pane of one command, one pane line per output line.
#include "CliSupport.h"
#include "Commands.h"

#include "decode/CommandView.h"
#include "decode/DisplayText.h"
#include "log/Exception.h"

namespace kestrun::cli {

int RunDetails(const QStringList& args)
{
    ArgReader reader(args);
    const QStringList ignoreLines = TakeIgnoreLines(reader);
    const QStringList positionals = reader.Positionals(2, 2);
    ToInt(positionals[1], QStringLiteral("INDEX")); // a mistyped index is refused before the log is read

    TCommands commands;
    LoadLog(positionals[0], ignoreLines, commands);
    const int index = ToIndex(positionals[1], commands.size(), QStringLiteral("INDEX"));

    const TCommandDetails details = GetCommandDetails(commands[index]);
    QString out;
    for (const QString& line : details.Lines)
        out += PrintableText(line) + u'\n';
    WriteOut(out);
    return details.Error.isEmpty() ? ExitOk : ReportFailure("details", AtCommand(positionals[0], index, details.Error));
}

} // namespace kestrun::cli
