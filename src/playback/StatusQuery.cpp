// SPDX-License-Identifier: GPL-3.0-or-later
#include "StatusQuery.h"

namespace kestrun {

QString DriverResultText(const QString& operation, int32_t code, const QString& description)
{
    if (code == 0)
        return QStringLiteral("%1: Успешно").arg(operation);
    return QStringLiteral("%1: Ошибка: %2, %3").arg(operation, QString::number(code), description);
}

TDeviceStatus ReadStatus(TUlvex& Drv)
{
    Drv.SetPassword(Drv.SysAdminPassword());
    TDeviceStatus status;
    status.Code = Drv.GetECRStatus();
    status.Description = Drv.ResultCodeDescription();
    if (status.Code == 0) {
        status.Mode = Drv.ECRMode();
        status.ModeText = Drv.ECRModeDescription();
        status.SubMode = Drv.ECRAdvancedMode();
        status.SubModeText = Drv.ECRAdvancedModeDescription();
    }
    return status;
}

QStringList QueryStatus(TUlvex& Drv)
{
    const TDeviceStatus status = ReadStatus(Drv);
    QStringList lines{DriverResultText(QStringLiteral("Запрос состояния"), status.Code, status.Description)};
    if (status.Code == 0) {
        lines << QStringLiteral("Режим   : %1, %2").arg(QString::number(status.Mode), status.ModeText);
        lines << QStringLiteral("Подрежим: %1, %2").arg(QString::number(status.SubMode), status.SubModeText);
    }
    return lines;
}

} // namespace kestrun
