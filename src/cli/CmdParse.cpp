#include "CliSupport.h"
#include "Commands.h"

namespace kestrun::cli {

int RunParse(const QStringList& args)
{
    Q_UNUSED(args);
    WriteErr(QStringLiteral("parse: not yet available"));
    return ExitFailure;
}

} // namespace kestrun::cli
