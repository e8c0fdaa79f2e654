#include "EmulatorOptions.h"

#include "log/Exception.h"

#include <QRegularExpression>
#include <limits>

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

constexpr int MaxPrintMilliseconds = 600000;

uint8_t ErrorByte(const QString& text, const QString& option)
{
    bool ok = false;
    const uint value = text.toUInt(&ok, 16);
    if (!ok || value == 0 || value > 0xFF || text.size() > 2)
        BadEmulatorOption(option);
    return static_cast<uint8_t>(value);
}

int Number(const QString& text, int min, int max, const QString& option)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < min || value > max)
        BadEmulatorOption(option);
    return value;
}

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

    if (name == QLatin1String("busy")) {
        if (parts.size() > 2)
            BadEmulatorOption(option);
        result.BusyCount = Number(parts[0], 0, 1000000, option);
        if (parts.size() == 2) {
            result.BusyError = ErrorByte(parts[1], option);
            if (result.BusyError != 0x50 && result.BusyError != 0x4B)
                BadEmulatorOption(option);
        }
    } else if (name == QLatin1String("error")) {
        if (parts.size() != 2)
            BadEmulatorOption(option);
        result.DeviceErrors.insert(EmulatorCommandCode(parts[0], option), ErrorByte(parts[1], option));
    } else if (name == QLatin1String("driver")) {
        TEmulatorOptions::TDriverFault fault;
        if (parts.size() >= 2)
            fault.Code = Number(parts[1], std::numeric_limits<int>::min(), -1, option);
        if (parts.size() >= 3)
            fault.Text = tail(2);
        result.DriverErrors.insert(EmulatorCommandCode(parts[0], option), fault);
    } else if (name == QLatin1String("throw")) {
        const QString text = parts.size() >= 2 ? tail(1) : QStringLiteral("Сбой вызова драйвера");
        result.CallFailures.insert(EmulatorCommandCode(parts[0], option), text);
    } else if (name == QLatin1String("print")) {
        result.PrintMilliseconds = Number(value, 0, MaxPrintMilliseconds, option);
    } else if (name == QLatin1String("shift")) {
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
