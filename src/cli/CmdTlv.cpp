// SPDX-License-Identifier: GPL-3.0-or-later
#include "CliSupport.h"
#include "Commands.h"

#include "tlv/TLVParser.h"

#include <limits>

namespace kestrun::cli {

namespace {

// Enough for any caller's layout, small enough that no line can exhaust memory.
constexpr int MaxIndent = 255;

} // namespace

int RunTlv(const QStringList& args)
{
    ArgReader reader(args);
    TTLVParser parser;
    parser.SetShowTagNumbers(reader.TakeFlag(QStringLiteral("--numbers")));
    const int indent = ToInt(reader.TakeValue(QStringLiteral("--indent"), QStringLiteral("0")), QStringLiteral("--indent"));
    if (indent < 0 || indent > MaxIndent)
        throw UsageError{QStringLiteral("--indent должно быть от 0 до %1, а не %2").arg(MaxIndent).arg(indent)};
    parser.SetBaseIndent(indent);
    // The bytes may come as one argument or as one argument per byte.
    const QStringList hex = reader.Positionals(1, std::numeric_limits<int>::max());
    const QByteArray bytes = HexToStr(HexArgument(hex.join(u' '), QStringLiteral("HEX")));
    WriteOut(parser.ParseTLV(bytes));
    // The text shows where the document could not be read; a script learns it from the status.
    if (parser.Malformed())
        return ReportFailure("tlv", QStringLiteral("Некорректная длина TLV"));
    return ExitOk;
}

} // namespace kestrun::cli
