// SPDX-License-Identifier: GPL-3.0-or-later
#include "EmulatorOptions.h"

#include "DeviceOptions.h"
#include "log/Exception.h"

#include <QRegularExpression>

namespace kestrun {

void BadEmulatorOption(const QString& option)
{
    throw Exception(QStringLiteral("Неверный параметр эмулятора: %1").arg(option));
}

// Two hex digits, or four starting with the FF or FE prefix.
uint16_t EmulatorCommandCode(const QString& text, const QString& option)
{
    static const QRegularExpression pattern(QStringLiteral("^([0-9A-Fa-f]{2}|[Ff][EeFf][0-9A-Fa-f]{2})$"));
    if (!pattern.match(text).hasMatch())
        BadEmulatorOption(option);
    return static_cast<uint16_t>(text.toUInt(nullptr, 16));
}

namespace {

uint8_t ErrorByte(const QString& text, const QString& option)
{
    bool ok = false;
    const uint value = text.toUInt(&ok, 16);
    if (!ok || value == 0 || value > 0xFF || text.size() > 2)
        BadEmulatorOption(option);
    return static_cast<uint8_t>(value);
}

int32_t Number(const TDeviceOption& row, const QString& text, const QString& option)
{
    return OptionNumber(row, text, [&] { BadEmulatorOption(option); });
}

bool Is(const QString& name, const TDeviceOption& row) { return name == QLatin1String(row.Name); }

void ApplyOption(TEmulatorOptions& result, const QString& option)
{
    const qsizetype eq = option.indexOf(QLatin1Char('='));
    if (eq < 0)
        BadEmulatorOption(option);
    const QString name = option.left(eq);
    const QString value = option.mid(eq + 1);
    // The text of a fault may hold colons: only the leading parts are split off.
    const QStringList parts = value.split(QLatin1Char(':'));
    const auto tail = [&parts](qsizetype from) { return parts.mid(from).join(QLatin1Char(':')); };

    if (Is(name, OptBusy)) {
        if (parts.size() > 2)
            BadEmulatorOption(option);
        result.BusyCount = Number(OptBusy, parts[0], option);
        if (parts.size() == 2) {
            result.BusyError = ErrorByte(parts[1], option);
            if (!IsBusyError(result.BusyError))
                BadEmulatorOption(option);
        }
    } else if (Is(name, OptError)) {
        if (parts.size() != 2)
            BadEmulatorOption(option);
        result.DeviceErrors.insert(EmulatorCommandCode(parts[0], option), ErrorByte(parts[1], option));
    } else if (Is(name, OptDriver)) {
        TEmulatorOptions::TDriverFault fault;
        if (parts.size() >= 2)
            fault.Code = Number(OptDriver, parts[1], option);
        if (parts.size() >= 3)
            fault.Text = tail(2);
        result.DriverErrors.insert(EmulatorCommandCode(parts[0], option), fault);
    } else if (Is(name, OptThrow)) {
        const QString text = parts.size() >= 2 ? tail(1) : QStringLiteral("Сбой вызова драйвера");
        result.CallFailures.insert(EmulatorCommandCode(parts[0], option), text);
    } else if (Is(name, OptSilent)) {
        if (parts.size() > 2)
            BadEmulatorOption(option);
        result.SilentMilliseconds.insert(EmulatorCommandCode(parts[0], option),
                                         parts.size() == 2 ? Number(OptSilent, parts[1], option) : OptSilent.Default);
    } else if (Is(name, OptPrint)) {
        result.PrintMilliseconds = Number(OptPrint, value, option);
    } else if (Is(name, OptShift)) {
        if (value != QLatin1String("open") && value != QLatin1String("closed"))
            BadEmulatorOption(option);
        result.ShiftOpen = value == QLatin1String("open");
    } else {
        BadEmulatorOption(option);
    }
}

} // namespace

TEmulatorOptions ParseEmulatorOptions(const QString& options)
{
    TEmulatorOptions result;
    for (const QString& option : options.split(QLatin1Char(','), Qt::SkipEmptyParts))
        ApplyOption(result, option.trimmed());
    return result;
}

} // namespace kestrun
