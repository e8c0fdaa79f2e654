// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandListModel.h"
#include "FilterBar.h"
#include "MainWindow.h"
#include "decode/CommandFilter.h"

#include <QItemSelectionModel>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

namespace kestrun {

namespace {

// A slice of filtering between two looks at the user's input.
constexpr int FilterSliceMs = 20;

} // namespace

QWidget* TfmMain::CreateListPane(QWidget* parent)
{
    auto* pane = new QWidget(parent);
    pane->setObjectName(QStringLiteral("pnlList"));
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    FFilterBar = new TFilterBar(pane);
    layout->addWidget(FFilterBar);
    connect(FFilterBar, &TFilterBar::Changed, this, &TfmMain::StartFilter);
    connect(FFilterBar, &TFilterBar::GoTo, this, [this](int command) { GoToCommand(TCommandIndex(command)); });
    return pane;
}

void TfmMain::StartFilter()
{
    StopFilter();
    TCommandFilter filter(FFilterBar->Settings());
    filter.SetOutcomeOf([this](int k) { return FModel->Outcome(k); });
    if (!filter.IsActive()) {
        if (FModel->Filtered())
            ApplyShown(std::nullopt);
        return;
    }
    FFilterPass = std::make_unique<TFilterPass>(FCommands, filter, [this](int k) { return FModel->Summary(k); });
    FilterSlice();
    if (FFilterPass)
        FFilterTimer->start();
}

QList<int> TfmMain::ShownAmong(int from, int to) const
{
    TCommandFilter filter(FFilterBar->Settings());
    filter.SetOutcomeOf([this](int k) { return FModel->Outcome(k); });
    QList<int> shown;
    for (int command = from; command < to; ++command)
        if (filter.Accepts(FCommands[command], command, [this](int k) { return FModel->Summary(k); }))
            shown << command;
    return shown;
}

void TfmMain::StopFilter()
{
    FFilterTimer->stop();
    FFilterPass.reset();
}

void TfmMain::FilterSlice()
{
    if (!FFilterPass || FFilterPass->Advance(FilterSliceMs))
        return;
    QList<int> shown = FFilterPass->Shown();
    StopFilter();
    ApplyShown(std::move(shown));
}

void TfmMain::ApplyShown(std::optional<QList<int>> shown)
{
    const QItemSelectionModel* selection = lvCommands->selectionModel();
    const TCommandIndex current =
        selection->currentIndex().isValid() ? FModel->CommandAt(TModelRow(selection->currentIndex().row())) : TCommandIndex();
    const QList<int> selected = SelectedCommands();
    FModel->SetShown(std::move(shown));

    // The rows the user chose stay chosen where they are still shown, joined into spans.
    QItemSelection kept;
    int spanStart = -1;
    int spanEnd = -1;
    const auto closeSpan = [&] {
        if (spanStart >= 0)
            kept.select(FModel->index(spanStart, 0), FModel->index(spanEnd, colCount - 1));
    };
    for (int command : selected) {
        const int row = FModel->RowOf(TCommandIndex(command)).Value;
        if (row < 0)
            continue;
        if (row != spanEnd + 1 || spanStart < 0) {
            closeSpan();
            spanStart = row;
        }
        spanEnd = row;
    }
    closeSpan();
    lvCommands->selectionModel()->select(kept, QItemSelectionModel::Select);
    // The current row stays in view; when the filter hides it, the next row shown takes its place.
    if (current.Valid()) {
        int row = FModel->RowAtOrAfter(current).Value;
        if (row < 0)
            row = FModel->rowCount() - 1;
        if (row >= 0) {
            const QModelIndex index = FModel->index(row, 0);
            lvCommands->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
            lvCommands->scrollTo(index, QAbstractItemView::PositionAtCenter);
        }
    }
    ShowStatusInfo();
}

void TfmMain::CountErrors() { FErrorCount = ErrorsAmong(0, FModel->CommandCount()); }

int TfmMain::ErrorsAmong(int from, int to) const
{
    int errors = 0;
    for (int command = from; command < to; ++command)
        errors += HasAnyError(FModel->Outcome(command)) ? 1 : 0;
    return errors;
}

void TfmMain::ShowStatusInfo()
{
    const QLocale locale;
    QStringList parts{QStringLiteral("Показано: %1 / %2")
                          .arg(locale.toString(FModel->rowCount()), locale.toString(FModel->CommandCount())),
                      QStringLiteral("ошибок: %1").arg(locale.toString(FErrorCount))};
    if (FFileSize >= 0)
        parts << locale.formattedDataSize(FFileSize);
    if (FLoadMs >= 0)
        parts << QStringLiteral("загрузка %1 с").arg(locale.toString(FLoadMs / 1000.0, 'f', 1));
    lblStatusInfo->setText(parts.join(QStringLiteral("  ·  ")));
    btnStart->setToolTip(FModel->Filtered()
                             ? QStringLiteral("Фильтр включён: запускаются только показанные команды (%1 из %2)")
                                   .arg(FModel->rowCount())
                                   .arg(FModel->CommandCount())
                             : QString());
}

void TfmMain::GoToCommand(TCommandIndex command)
{
    const TModelRow row = FModel->RowAtOrAfter(command);
    if (row.Valid())
        SelectOnly(row);
}

} // namespace kestrun
