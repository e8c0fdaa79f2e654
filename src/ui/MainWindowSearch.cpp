#include "CommandListModel.h"
#include "MainWindow.h"
#include "decode/CommandView.h"

#include <QLineEdit>

namespace kestrun {

void TfmMain::btnSearchClick()
{
    const TSearchText text(edtSearch->text());
    Search([this, &text](int k) { return SearchMatches(FCommands.at(k), FModel->Row(k).Data, text); });
}

void TfmMain::btnFindErrorClick()
{
    Search([this](int k) { return HasAnswerError(FCommands.at(k)); });
}

void TfmMain::Search(const std::function<bool(int)>& test)
{
    const int count = FModel->rowCount();
    if (count == 0)
        return;
    int start = qMax(0, FirstSelectedRow());
    for (;;) {
        const TSearchResult result = ForwardSearch(count, start, test);
        if (result.Outcome == TSearchOutcome::soFound) {
            SelectOnly(result.Index);
            return;
        }
        if (result.Outcome == TSearchOutcome::soEndedSilently
            || !FDialogs->AskOkCancel(this, QStringLiteral("Поиск завершен"), QStringLiteral("Начать с начала?")))
            return;
        start = 0;
    }
}

void TfmMain::N2Click()
{
    if (FDialogs->ExecuteSave(this, dlgSave))
        RunGuarded([this] { SaveListing(dlgSave.FileName, FCommands); });
}

} // namespace kestrun
