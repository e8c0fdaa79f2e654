// SPDX-License-Identifier: GPL-3.0-or-later
#include "CliSupport.h"
#include "Commands.h"

#include "playback/DriverErrors.h"

#include <QRegularExpression>
#include <cstdint>

namespace kestrun::cli {

namespace {

// Decimal or 0x-prefixed hexadecimal, optionally negative. Values up to 0xFFFFFFFF are taken as
// 32-bit patterns, so the FFFFFFFF that the command list shows for a missing answer reads as -1.
int32_t ParseCode(const QString& text)
{
    static const QRegularExpression form(QStringLiteral("^(-?)(?:0[xX]([0-9A-Fa-f]{1,8})|([0-9]{1,10}))$"));
    const QRegularExpressionMatch match = form.match(text);
    if (match.hasMatch()) {
        const bool hex = match.hasCaptured(2);
        const qint64 magnitude = (hex ? match.captured(2) : match.captured(3)).toLongLong(nullptr, hex ? 16 : 10);
        const qint64 value = match.captured(1).isEmpty() ? magnitude : -magnitude;
        if (value >= INT32_MIN && value <= UINT32_MAX)
            return static_cast<int32_t>(static_cast<uint32_t>(value));
    }
    throw UsageError{QStringLiteral("NUMBER должно быть 32-битным числом, десятичным или шестнадцатеричным с 0x, а не \"%1\"").arg(text)};
}

} // namespace

int RunError(const QStringList& args)
{
    ArgReader reader(args);
    const QString code = reader.Positionals(1, 1).constFirst();
    // Negative codes are the driver's own, with the texts a replay shows.
    WriteOut(ResultDescription(ParseCode(code)) + u'\n');
    return ExitOk;
}

} // namespace kestrun::cli
