// SPDX-License-Identifier: GPL-3.0-or-later
#include "CliSupport.h"
#include "Commands.h"

#include "decode/CommandCatalogue.h"

#include <limits>

namespace kestrun::cli {

int RunName(const QStringList& args)
{
    ArgReader reader(args);
    // "FF 45" may come as one argument or as one argument per byte.
    const QStringList hex = reader.Positionals(1, std::numeric_limits<int>::max());
    WriteOut(GetCommandNameByData(HexArgument(hex.join(u' '), QStringLiteral("HEX"))) + u'\n');
    return ExitOk;
}

} // namespace kestrun::cli
