#include "StatusQuery.h"

namespace kestrun {

QString DriverResultText(const QString& operation, int32_t code, const QString& description)
{
    if (code == 0)
        return QStringLiteral("%1: Успешно").arg(operation);
    return QStringLiteral("%1: Ошибка: %2, %3").arg(operation, QString::number(code), description);
}

QStringList QueryStatus(TUlvex& Drv)
{
    Drv.SetPassword(Drv.SysAdminPassword());
    const int32_t code = Drv.GetECRStatus();
    QStringList lines{DriverResultText(QStringLiteral("Запрос состояния"), code, Drv.ResultCodeDescription())};
    if (code == 0) {
        lines << QStringLiteral("Режим   : %1, %2").arg(QString::number(Drv.ECRMode()), Drv.ECRModeDescription());
        lines << QStringLiteral("Подрежим: %1, %2")
                     .arg(QString::number(Drv.ECRAdvancedMode()), Drv.ECRAdvancedModeDescription());
    }
    return lines;
}

} // namespace kestrun
