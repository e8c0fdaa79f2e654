// kestrun-cli decode: the decoded texts and the summary of one exchange given as hex text.
#include "CliSupport.h"
#include "Commands.h"

#include "decode/ParserCommands.h"
#include "log/Exception.h"

namespace kestrun::cli {

int RunDecode(const QStringList& args)
{
    ArgReader reader(args);
    const QStringList hex = reader.Positionals(1, 3);
    TCommand command;
    command.Protocol = TProtocol::pProtocol1;
    command.Data = hex.value(0).toLatin1();
    command.AnswerData = hex.value(1).toLatin1();
    command.PlayedAnswerData = hex.value(2).toLatin1();
    try {
        const TParsedCommand parsed = ParseCommand(command);
        const QString summary = GetCommandShortValue(command);
        QByteArray out = "{\"request\":";
        AppendJsonString(out, parsed.Request);
        out += ",\"answer\":";
        AppendJsonString(out, parsed.Answer);
        out += ",\"played\":";
        AppendJsonString(out, parsed.Played);
        out += ",\"short\":";
        AppendJsonString(out, summary);
        out += "}\n";
        WriteOut(out);
    } catch (const Exception& e) {
        return ReportFailure("decode", e.Message());
    }
    return ExitOk;
}

} // namespace kestrun::cli
