// SPDX-License-Identifier: GPL-3.0-or-later
#include "DeviceOptions.h"

namespace kestrun {

TDeviceText SplitDeviceText(const QString& deviceText)
{
    const QString text = deviceText.trimmed();
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return {text, QString()};
    return {text.left(colon), text.mid(colon + 1)};
}

QString JoinDeviceText(const QString& kind, const QString& options)
{
    return options.isEmpty() ? kind : kind + QLatin1Char(':') + options;
}

bool NamesEmulator(const QString& deviceText)
{
    const TDeviceKindInfo* kind = FindDeviceKind(SplitDeviceText(deviceText).Kind);
    return kind && kind->Kind == TDeviceKind::dkEmulator;
}

const TDeviceKindInfo* FindDeviceKind(const QString& name)
{
    for (const TDeviceKindInfo& kind : DeviceKinds)
        if (name == QLatin1String(kind.Name))
            return &kind;
    return nullptr;
}

QList<const TDeviceOption*> OptionsOfGroup(TOptionGroup group)
{
    QList<const TDeviceOption*> options;
    for (const TDeviceOption* option : DeviceOptions)
        if (option->Group == group)
            options << option;
    return options;
}

} // namespace kestrun
