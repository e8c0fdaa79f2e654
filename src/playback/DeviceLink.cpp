// SPDX-License-Identifier: GPL-3.0-or-later
#include "DeviceLink.h"

#include "DeviceOptions.h"
#include "Emulator.h"
#include "WireLink.h"
#include "log/Exception.h"

namespace kestrun {

namespace {

const TDeviceKindInfo& KindOf(const QString& deviceText, QString& options)
{
    const TDeviceText text = SplitDeviceText(deviceText);
    const TDeviceKindInfo* kind = FindDeviceKind(text.Kind);
    if (!kind)
        throw Exception(QStringLiteral("Неизвестное устройство: %1").arg(deviceText));
    options = text.Options;
    return *kind;
}

} // namespace

void CheckDeviceText(const QString& deviceText)
{
    QString options;
    switch (KindOf(deviceText, options).Kind) {
    case TDeviceKind::dkEmulator: ParseEmulatorOptions(options); break;
    case TDeviceKind::dkSerial: ParseSerialSettings(options); break;
    case TDeviceKind::dkTcp: ParseTcpSettings(options); break;
    }
}

std::unique_ptr<IDeviceLink> CreateDeviceLink(const QString& deviceText)
{
    QString options;
    switch (KindOf(deviceText, options).Kind) {
    case TDeviceKind::dkEmulator: return std::make_unique<TRegisterEmulator>(ParseEmulatorOptions(options));
    case TDeviceKind::dkSerial: return CreateSerialLink(options);
    case TDeviceKind::dkTcp: return CreateTcpLink(options);
    }
    return nullptr;
}

} // namespace kestrun
