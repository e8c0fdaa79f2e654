#include "CommandListModel.h"
#include "decode/DisplayText.h"
#include "MainWindow.h"
#include "decode/CommandView.h"

#include <QItemSelectionModel>
#include <QPlainTextEdit>
#include <QTreeView>

namespace kestrun {

void TfmMain::lvCommandsSelectionChanged(const QItemSelection& selected)
{
    // A search or a key sets the current row before the selection changes, so the current row
    // is known here even when it was selected before (and `selected` leaves it out).
    if (ShowCurrentRow())
        return;
    // A selection made without moving the current row shows the first newly selected row.
    if (!selected.isEmpty() && !selected.contains(lvCommands->selectionModel()->currentIndex()))
        ShowDetails(FModel->CommandAt(selected.constFirst().top()));
}

void TfmMain::lvCommandsPressed()
{
    // A click moves the current row before it settles the selection: decided after both.
    ShowCurrentRow();
}

bool TfmMain::ShowCurrentRow()
{
    const QItemSelectionModel* selection = lvCommands->selectionModel();
    const int row = selection->currentIndex().row();
    if (row < 0 || !selection->isRowSelected(row) || FModel->CommandAt(row) == FDetailsRow)
        return false;
    ShowDetails(FModel->CommandAt(row));
    return true;
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
