// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandListModel.h"
#include "decode/DisplayText.h"
#include "MainWindow.h"
#include "decode/CommandView.h"

#include <QItemSelectionModel>
#include <QPlainTextEdit>
#include <QTreeView>

namespace kestrun {

void TfmMain::ShowCurrentDetails()
{
    // During a run the pane stays empty: the player owns the played answers.
    if (!FFinished)
        return;
    const int command = CurrentCommand();
    if (command < 0) {
        // A row hidden, taken out of the selection or gone leaves nothing to show; what else the
        // pane holds (a status query's answer) stays.
        if (FDetailsRow >= 0)
            memInfo->clear();
        return;
    }
    if (command != FDetailsRow)
        ShowDetails(command);
}

void TfmMain::ShowDetails(int row)
{
    // During a run the player owns the played answers; the pane waits for the run's end.
    if (!FFinished || row < 0 || row >= FCommands.size())
        return;
    const TCommandDetails details = GetCommandDetails(FCommands.at(row));
    QString text = details.Lines.join(u'\n');
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    memInfo->setPlainText(DisplayText(text));
    memInfo->moveCursor(QTextCursor::Start);
    memInfo->ensureCursorVisible();
    FDetailsRow = row;
    if (!details.Error.isEmpty())
        FDialogs->ShowError(this, details.Error);
}

int TfmMain::FirstSelectedRow() const
{
    int first = -1;
    for (const QItemSelectionRange& range : lvCommands->selectionModel()->selection())
        if (first < 0 || range.top() < first)
            first = range.top();
    return first;
}

int TfmMain::CurrentCommand() const
{
    const QItemSelectionModel* selection = lvCommands->selectionModel();
    const QModelIndex current = selection->currentIndex();
    if (!current.isValid() || !selection->isRowSelected(current.row()))
        return -1;
    return FModel->CommandAt(current.row());
}

QList<int> TfmMain::SelectedRows() const
{
    QList<int> rows;
    for (const QItemSelectionRange& range : lvCommands->selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.append(row);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

QList<int> TfmMain::SelectedCommands() const
{
    QList<int> commands = SelectedRows();
    for (int& row : commands)
        row = FModel->CommandAt(row);
    return commands;
}

void TfmMain::SelectOnly(int row)
{
    const QModelIndex index = FModel->index(row, 0);
    lvCommands->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    lvCommands->scrollTo(index, QAbstractItemView::EnsureVisible);
    lvCommands->setFocus();
}

} // namespace kestrun
