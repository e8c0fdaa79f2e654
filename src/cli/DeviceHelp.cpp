// SPDX-License-Identifier: GPL-3.0-or-later
#include "DeviceHelp.h"

#include "playback/DeviceDriver.h"
#include "playback/DeviceOptions.h"

namespace kestrun::cli {

namespace {

QString Row(int indent, const QString& left, const char* help)
{
    constexpr int Column = 30;
    const QString lead = QString(indent, QLatin1Char(' ')) + left;
    return lead.leftJustified(Column - 1) + QLatin1Char(' ') + QString::fromUtf8(help) + QLatin1Char('\n');
}

} // namespace

QString DeviceTextHelp()
{
    QString text = QStringLiteral("Device texts (--device of replay and status; default %1):\n")
                       .arg(QString::fromLatin1(DefaultDeviceText));
    for (const TDeviceKindInfo& kind : DeviceKinds) {
        text += Row(2, QString::fromUtf8(kind.Syntax), kind.Help);
        // Kinds that share their options list them once, under the last of them.
        const TDeviceKindInfo* const next = &kind + 1;
        if (next != std::end(DeviceKinds) && next->Options == kind.Options)
            continue;
        for (const TDeviceOption* option : OptionsOfGroup(kind.Options))
            text += Row(6, QStringLiteral("%1=%2").arg(QLatin1String(option->Name), QString::fromUtf8(option->Value)),
                        option->Help);
    }
    return text;
}

} // namespace kestrun::cli
