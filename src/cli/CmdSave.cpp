// kestrun-cli save: the text listing the window saves, written to a file.
#include "CliSupport.h"
#include "Commands.h"

#include "decode/CommandView.h"
#include "log/Exception.h"
#include "log/LogLoader.h"

namespace kestrun::cli {

int RunSave(const QStringList& args)
{
    ArgReader reader(args);
    const QStringList ignoreLines = reader.TakeValues(QStringLiteral("--ignore"));
    const QStringList positionals = reader.Positionals(2, 2);
    try {
        TCommands commands;
        LoadLogFile(positionals[0], ignoreLines, commands);
        SaveListing(positionals[1], commands);
    } catch (const Exception& e) {
        return ReportFailure("save", e.Message());
    }
    return ExitOk;
}

} // namespace kestrun::cli
