// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandListModel.h"
#include "MainWindow.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>

namespace kestrun {

void TfmMain::CreateCopyActions()
{
    struct TItem
    {
        QAction* TfmMain::*Member;
        const char* Name;
        const char* Caption;
        std::function<void(TfmMain*)> Run;
    };
    const TItem items[] = {
        {&TfmMain::actCopy, "actCopy", "Копировать", [](TfmMain* w) { w->CopyRows(TRowFormat::rfTabs); }},
        {&TfmMain::actCopyJson, "actCopyJson", "Копировать как JSON",
         [](TfmMain* w) { w->CopyRows(TRowFormat::rfJsonLines); }},
        {&TfmMain::actExportCsv, "actExportCsv", "Экспорт показанных строк в CSV...",
         [](TfmMain* w) { w->ExportRows(TRowFormat::rfCsv); }},
        {&TfmMain::actExportJson, "actExportJson", "Экспорт показанных строк в JSON Lines...",
         [](TfmMain* w) { w->ExportRows(TRowFormat::rfJsonLines); }},
    };
    // After the designed items, so those keep their places.
    pmMain->addSeparator();
    for (const TItem& item : items) {
        if (item.Member == &TfmMain::actExportCsv)
            pmMain->addSeparator();
        QAction* action = pmMain->addAction(QString::fromUtf8(item.Caption));
        action->setObjectName(QLatin1String(item.Name));
        connect(action, &QAction::triggered, this, [this, run = item.Run] { run(this); });
        this->*item.Member = action;
    }
    dlgExport.Filter = QStringLiteral("*.csv|*.csv|*.jsonl|*.jsonl|*.*|*.*");
    dlgExport.FileName = QStringLiteral("Log");
    dlgExport.ConfirmOverwrite = true;
}

void TfmMain::CopyRows(TRowFormat format)
{
    const QList<int> commands = SelectedCommands();
    if (commands.isEmpty())
        return;
    const QByteArray text = RowsText(format, commands, [this](int k) { return FModel->Row(k); });
    QGuiApplication::clipboard()->setText(QString::fromUtf8(text));
}

void TfmMain::ExportRows(TRowFormat format)
{
    // An export of part of a log would pass for the whole of it.
    if (FLoading)
        return;
    const bool csv = format == TRowFormat::rfCsv;
    dlgExport.DefaultExt = csv ? QStringLiteral("csv") : QStringLiteral("jsonl");
    dlgExport.FilterIndex = csv ? 1 : 2;
    if (!FDialogs->ExecuteSave(this, dlgExport))
        return;
    RunGuarded([&] {
        SaveRows(dlgExport.FileName, format, FModel->ShownCommands(), [this](int k) { return FModel->Row(k); });
    });
}

} // namespace kestrun
