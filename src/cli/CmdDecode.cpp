// SPDX-License-Identifier: GPL-3.0-or-later
// kestrun-cli decode: the decoded texts and the summary of one exchange given as hex text.
#include "CliSupport.h"
#include "log/JsonLine.h"
#include "Commands.h"

#include "decode/ParserCommands.h"

namespace kestrun::cli {

int RunDecode(const QStringList& args)
{
    ArgReader reader(args);
    const QStringList hex = reader.Positionals(1, 3);
    UseMachineLocale();
    TCommand command;
    command.Protocol = TProtocol::pProtocol1;
    command.SetData(HexArgument(hex.value(0), QStringLiteral("REQUEST_HEX")));
    // An empty answer is an exchange the device did not answer.
    command.SetAnswerData(HexArgument(hex.value(1), QStringLiteral("ANSWER_HEX"), true));
    command.SetPlayedAnswerData(HexArgument(hex.value(2), QStringLiteral("PLAYED_HEX"), true));
    const TParsedCommand parsed = ParseCommand(command);
    const QString summary = GetCommandShortValue(command);
    QByteArray out;
    TJsonLine(out).Text("request", parsed.Request).Text("answer", parsed.Answer).Text("played", parsed.Played)
        .Text("short", summary).End();
    WriteOut(out);
    // The values are shown as the window would show them; a script is told they are not real.
    const QString unreadable = UnreadableFrame(command);
    return unreadable.isEmpty() ? ExitOk : ReportFailure("decode", unreadable);
}

} // namespace kestrun::cli
