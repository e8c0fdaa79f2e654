// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainWindow.h"

#include "CommandListModel.h"
#include "StatisticsDialog.h"
#include "decode/CommandView.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QTreeView>

namespace kestrun {

namespace {

constexpr int DurationWidth = 110;

} // namespace

void TfmMain::CreateDurationColumn()
{
    QHeaderView* header = lvCommands->header();
    // Shown before the data, which keeps the last place and the rest of the width.
    header->moveSection(header->visualIndex(colDuration), header->visualIndex(colData));
    header->resizeSection(colDuration, DurationWidth);
    actDurationColumn = new QAction(ColumnTitle(colDuration), this);
    actDurationColumn->setObjectName(QStringLiteral("actDurationColumn"));
    actDurationColumn->setCheckable(true);
    pmColumns = new QMenu(this);
    pmColumns->setObjectName(QStringLiteral("pmColumns"));
    pmColumns->addAction(actDurationColumn);
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QWidget::customContextMenuRequested, this,
            [this, header](const QPoint& at) { pmColumns->popup(header->mapToGlobal(at)); });
    connect(actDurationColumn, &QAction::toggled, this, &TfmMain::ShowDurationColumn);
    ShowDurationColumn(false);
}

void TfmMain::ShowDurationColumn(bool shown)
{
    FDurationColumn = shown ? 1 : 0;
    actDurationColumn->setChecked(shown);
    lvCommands->header()->setSectionHidden(colDuration, !shown);
}

void TfmMain::btnStatisticsClick()
{
    // Statistics are made for a whole log.
    if (FLoading)
        return;
    // One dialog at a time, made afresh for the log loaded now.
    if (FStatisticsDialog)
        FStatisticsDialog->close();
    RunGuarded([this] {
        FStatisticsDialog = new TStatisticsDialog(FCommands, this);
        FStatisticsDialog->setAttribute(Qt::WA_DeleteOnClose);
        connect(FStatisticsDialog, &TStatisticsDialog::CommandRequested, this,
                [this](int command) { ShowCommand(TCommandIndex(command)); });
        FStatisticsDialog->show();
    });
}

void TfmMain::ShowCommand(TCommandIndex command)
{
    // The dialog may have outlived the log it counted; RowAtOrAfter refuses a command it lacks.
    const TModelRow row = FModel->RowAtOrAfter(command);
    if (!row.Valid())
        return;
    pgcLog->setCurrentIndex(0);
    SelectOnly(row);
    activateWindow();
}

} // namespace kestrun
