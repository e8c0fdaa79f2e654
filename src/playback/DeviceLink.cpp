#include "DeviceLink.h"

#include "Emulator.h"
#include "WireLink.h"
#include "log/Exception.h"

namespace kestrun {

namespace {

std::unique_ptr<IDeviceLink> CreateEmulator(const QString& options)
{
    return std::make_unique<TRegisterEmulator>(ParseEmulatorOptions(options));
}

struct TDeviceKind
{
    const char* Name;
    std::unique_ptr<IDeviceLink> (*Create)(const QString& options);
};

constexpr TDeviceKind DeviceKinds[] = {
    {"emulator", CreateEmulator},
    {"serial", CreateSerialLink},
    {"tcp", CreateTcpLink},
};

} // namespace

std::unique_ptr<IDeviceLink> CreateDeviceLink(const QString& deviceText)
{
    const QString text = deviceText.trimmed();
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    const QString kind = colon < 0 ? text : text.left(colon);
    for (const TDeviceKind& k : DeviceKinds)
        if (kind == QLatin1String(k.Name))
            return k.Create(colon < 0 ? QString() : text.mid(colon + 1));
    throw Exception(QStringLiteral("Неизвестное устройство: %1").arg(deviceText));
}

} // namespace kestrun
