// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandListModel.h"
#include "MainWindow.h"
#include "decode/CommandOutcome.h"
#include "decode/CommandView.h"

#include <QCheckBox>
#include <QLineEdit>

namespace kestrun {

void TfmMain::btnSearchClick() { Search(SearchTest()); }

void TfmMain::btnFindErrorClick() { Search(FindErrorTest()); }

std::function<bool(int)> TfmMain::SearchTest() const
{
    return [this, text = TSearchText(edtSearch->text())](int k) {
        return SearchMatches(FCommands.at(k), FModel->Summary(k), text);
    };
}

std::function<bool(int)> TfmMain::FindErrorTest() const
{
    return [this, withPlayed = chkFindPlayedErrors->isChecked()](int k) { return FindsError(FModel->Outcome(k), withPlayed); };
}

void TfmMain::Search(const std::function<bool(int)>& test)
{
    const int count = FModel->rowCount();
    if (count == 0)
        return;
    int start = qMax(0, FirstSelectedRow().Value);
    for (;;) {
        const TSearchResult result =
            ForwardSearch(count, start, [&](int row) { return test(FModel->CommandAt(TModelRow(row)).Value); });
        if (result.Outcome == TSearchOutcome::soFound) {
            SelectOnly(TModelRow(result.Index));
            return;
        }
        if (result.Outcome == TSearchOutcome::soEndedSilently
            || !FDialogs->AskOkCancel(this, QStringLiteral("Поиск завершен"), QStringLiteral("Начать с начала?")))
            return;
        start = 0;
    }
}

void TfmMain::SearchBackward(const std::function<bool(int)>& test)
{
    const int row =
        BackwardSearch(FirstSelectedRow().Value, [&](int row) { return test(FModel->CommandAt(TModelRow(row)).Value); });
    if (row >= 0)
        SelectOnly(TModelRow(row));
}

void TfmMain::N2Click()
{
    // A listing of part of a log would pass for the whole of it.
    if (FLoading)
        return;
    if (!FDialogs->ExecuteSave(this, dlgSave))
        return;
    // The listing holds the commands the list shows.
    RunGuarded([this] {
        if (!FModel->Filtered()) {
            SaveListing(dlgSave.FileName, FCommands);
            return;
        }
        TCommands shown;
        for (int k : FModel->ShownCommands())
            shown.append(FCommands.at(k));
        SaveListing(dlgSave.FileName, shown);
    });
}

} // namespace kestrun
