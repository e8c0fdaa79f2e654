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
    const TCommandIndex command = CurrentCommand();
    if (!command.Valid()) {
        // A row hidden, taken out of the selection or gone leaves nothing to show; what else the
        // pane holds (a status query's answer) stays.
        if (FDetailsCommand.Valid())
            memInfo->clear();
        return;
    }
    if (command != FDetailsCommand)
        ShowDetails(command);
}

void TfmMain::ShowDetails(TCommandIndex command)
{
    // During a run the player owns the played answers; the pane waits for the run's end.
    if (!FFinished || !command.Valid() || command.Value >= FCommands.size())
        return;
    const TCommandDetails details = GetCommandDetails(FCommands.at(command.Value));
    QString text = details.Lines.join(u'\n');
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    memInfo->setPlainText(DisplayText(text));
    memInfo->moveCursor(QTextCursor::Start);
    memInfo->ensureCursorVisible();
    FDetailsCommand = command;
    if (!details.Error.isEmpty())
        FDialogs->ShowError(this, details.Error);
}

TModelRow TfmMain::FirstSelectedRow() const
{
    TModelRow first;
    for (const QItemSelectionRange& range : lvCommands->selectionModel()->selection())
        if (!first.Valid() || range.top() < first.Value)
            first = TModelRow(range.top());
    return first;
}

TCommandIndex TfmMain::CurrentCommand() const
{
    const QItemSelectionModel* selection = lvCommands->selectionModel();
    const QModelIndex current = selection->currentIndex();
    if (!current.isValid() || !selection->isRowSelected(current.row()))
        return {};
    return FModel->CommandAt(TModelRow(current.row()));
}

QList<int> TfmMain::SelectedCommands() const
{
    // Rows ascend with their commands, so the commands come out in order.
    QList<int> commands;
    for (const QItemSelectionRange& range : lvCommands->selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row)
            commands.append(FModel->CommandAt(TModelRow(row)).Value);
    std::sort(commands.begin(), commands.end());
    commands.erase(std::unique(commands.begin(), commands.end()), commands.end());
    return commands;
}

void TfmMain::SelectOnly(TModelRow row)
{
    const QModelIndex index = FModel->index(row.Value, 0);
    lvCommands->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    lvCommands->scrollTo(index, QAbstractItemView::EnsureVisible);
    lvCommands->setFocus();
}

} // namespace kestrun
