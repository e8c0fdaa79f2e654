// SPDX-License-Identifier: GPL-3.0-or-later
#include "WireSettings.h"

#include "log/Exception.h"

#include <QStringList>

namespace kestrun {

namespace {

[[noreturn]] void BadPart(const QString& part)
{
    throw Exception(QStringLiteral("Неверный параметр устройства: %1").arg(part));
}

int Number(const QString& text, int min, int max, const QString& part)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < min || value > max)
        BadPart(part);
    return value;
}

// The address, then the options; the address itself is read by the caller.
TWireSettings ReadOptions(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    TWireSettings settings;
    settings.Address = parts.first().trimmed();
    for (const QString& raw : parts.mid(1)) {
        const QString option = raw.trimmed();
        const qsizetype eq = option.indexOf(QLatin1Char('='));
        const QString name = option.left(eq);
        const QString value = option.mid(eq + 1);
        if (eq < 0)
            BadPart(option);
        else if (name == QLatin1String(OptTimeout.Name))
            settings.TimeoutMs = OptionNumber(OptTimeout, value, [&] { BadPart(option); });
        else if (name == QLatin1String(OptPrintWait.Name))
            settings.PrintWaitMs = OptionNumber(OptPrintWait, value, [&] { BadPart(option); });
        else if (name == QLatin1String(OptPassword.Name))
            settings.Password = OptionNumber(OptPassword, value, [&] { BadPart(option); });
        else if (name == QLatin1String(OptLog.Name) && !value.isEmpty())
            settings.LogFile = value;
        else
            BadPart(option);
    }
    return settings;
}

// "NAME:NUMBER" split at the last colon; without one, the default number when there is one.
void SplitAddress(TWireSettings& settings, int min, int max, int32_t fallback)
{
    const QString address = settings.Address;
    const qsizetype colon = address.lastIndexOf(QLatin1Char(':'));
    if (colon < 0 && fallback > 0) {
        settings.Number = fallback;
    } else {
        if (colon < 0)
            BadPart(address);
        settings.Address = address.left(colon);
        settings.Number = Number(address.mid(colon + 1), min, max, address);
    }
    if (settings.Address.isEmpty())
        throw Exception(QStringLiteral("Не указан адрес устройства"));
}

QString Unsplit(const QString& value)
{
    if (value.contains(QLatin1Char(',')))
        throw Exception(QStringLiteral("Параметр устройства не может содержать запятую: %1").arg(value));
    return value;
}

QString Option(const TDeviceOption& row, const QString& value)
{
    return QStringLiteral(",%1=%2").arg(QLatin1String(row.Name), value);
}

QString FormatOptions(const QString& address, const TWireSettings& settings)
{
    const TWireSettings defaults;
    QString text = Unsplit(address);
    if (settings.TimeoutMs != defaults.TimeoutMs)
        text += Option(OptTimeout, QString::number(settings.TimeoutMs));
    if (settings.PrintWaitMs != defaults.PrintWaitMs)
        text += Option(OptPrintWait, QString::number(settings.PrintWaitMs));
    if (settings.Password != defaults.Password)
        text += Option(OptPassword, QString::number(settings.Password));
    if (!settings.LogFile.isEmpty())
        text += Option(OptLog, Unsplit(settings.LogFile));
    return text;
}

} // namespace

TWireSettings ParseSerialSettings(const QString& options)
{
    TWireSettings settings = ReadOptions(options);
    SplitAddress(settings, 50, 4000000, DefaultBaudRate);
    return settings;
}

TWireSettings ParseTcpSettings(const QString& options)
{
    TWireSettings settings = ReadOptions(options);
    SplitAddress(settings, 1, 65535, 0);
    return settings;
}

QString FormatSerialSettings(const TWireSettings& settings)
{
    // A port name with a colon needs its rate, or the name would be split there.
    const bool withRate = settings.Number != DefaultBaudRate || settings.Address.contains(QLatin1Char(':'));
    return FormatOptions(withRate ? settings.Address + u':' + QString::number(settings.Number) : settings.Address,
                         settings);
}

QString FormatTcpSettings(const TWireSettings& settings)
{
    return FormatOptions(settings.Address + u':' + QString::number(settings.Number), settings);
}

} // namespace kestrun
