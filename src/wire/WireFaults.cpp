// SPDX-License-Identifier: GPL-3.0-or-later
#include "WireFaults.h"

#include "log/Exception.h"

#include <QStringList>

namespace kestrun {

namespace {

struct TCommandFault
{
    const char* Name;
    QSet<uint16_t> TWireFaults::*Codes;
};

constexpr TCommandFault CommandFaults[] = {
    {"badlrc", &TWireFaults::BadLrc},
    {"garble", &TWireFaults::Garble},
    {"drop", &TWireFaults::Drop},
    {"noanswer", &TWireFaults::NoAnswer},
    {"close", &TWireFaults::Close},
    {"reject", &TWireFaults::Reject},
};

// True when the option is a wire fault, which it then adds.
bool TakeWireFault(TWireFaults& faults, const QString& option)
{
    const qsizetype eq = option.indexOf(QLatin1Char('='));
    const QString name = option.left(eq);
    const QString value = option.mid(eq + 1);
    for (const TCommandFault& f : CommandFaults) {
        if (name == QLatin1String(f.Name)) {
            (faults.*f.Codes).insert(EmulatorCommandCode(value, option));
            return true;
        }
    }
    bool ok = false;
    if (name == QLatin1String("stray")) {
        const uint byte = value.toUInt(&ok, 16);
        if (!ok || value.size() != 2)
            BadEmulatorOption(option);
        faults.Stray = static_cast<uint8_t>(byte);
        return true;
    }
    for (const auto& [delayName, delay] : {std::pair{"slow", &TWireFaults::SlowMilliseconds}, std::pair{"work", &TWireFaults::WorkMilliseconds}}) {
        if (name == QLatin1String(delayName)) {
            faults.*delay = value.toInt(&ok);
            if (!ok || faults.*delay < 1 || faults.*delay > 10000)
                BadEmulatorOption(option);
            return true;
        }
    }
    if (name == QLatin1String("random")) {
        faults.RandomSeed = value.toUInt(&ok);
        if (!ok)
            BadEmulatorOption(option);
        return true;
    }
    if (name == QLatin1String("driver") || name == QLatin1String("throw"))
        throw Exception(QStringLiteral("Параметр действует только во встроенном эмуляторе: %1").arg(option));
    return false;
}

} // namespace

TWireEmulatorSetup ParseWireEmulatorSetup(const QString& options)
{
    TWireEmulatorSetup setup;
    QStringList emulatorOptions;
    for (const QString& raw : options.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString option = raw.trimmed();
        if (!TakeWireFault(setup.Wire, option))
            emulatorOptions << option;
    }
    setup.Emulator = ParseEmulatorOptions(emulatorOptions.join(QLatin1Char(',')));
    return setup;
}

} // namespace kestrun
