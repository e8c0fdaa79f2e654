#include "MainWindow.h"

#include <QPlainTextEdit>

namespace kestrun {

void TfmMain::btnGetStatusClick()
{
    memInfo->clear();
    RepaintNow();
    RunGuarded([this] {
        FDriver->SetPassword(FDriver->SysAdminPassword());
        const int32_t code = FDriver->GetECRStatus();
        ShowDriverResult(code, QStringLiteral("Запрос состояния"));
        if (code != 0)
            return;
        memInfo->appendPlainText(QStringLiteral("Режим   : %1, %2").arg(QString::number(FDriver->ECRMode()), FDriver->ECRModeDescription()));
        memInfo->appendPlainText(QStringLiteral("Подрежим: %1, %2")
                                     .arg(QString::number(FDriver->ECRAdvancedMode()), FDriver->ECRAdvancedModeDescription()));
    });
}

void TfmMain::ShowDriverResult(int32_t code, const QString& operation)
{
    if (code == 0)
        memInfo->setPlainText(QStringLiteral("%1: Успешно").arg(operation));
    else
        memInfo->setPlainText(QStringLiteral("%1: Ошибка: %2, %3").arg(operation, QString::number(code), FDriver->ResultCodeDescription()));
}

void TfmMain::btnSettingsClick()
{
    RunGuarded([this] { FDriver->ShowProperties(); });
}

} // namespace kestrun
