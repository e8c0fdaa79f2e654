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
    // The row that became selected: the current one when it is, else the first newly selected.
    if (selected.isEmpty())
        return;
    const QItemSelectionModel* selection = lvCommands->selectionModel();
    const QModelIndex current = selection->currentIndex();
    if (current.isValid() && selected.contains(current))
        ShowDetails(current.row());
    else
        ShowDetails(selected.constFirst().top());
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

void TfmMain::SelectOnly(int row)
{
    const QModelIndex index = FModel->index(row, 0);
    lvCommands->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    lvCommands->scrollTo(index, QAbstractItemView::EnsureVisible);
    lvCommands->setFocus();
}

} // namespace kestrun
