#include "CommandListModel.h"
#include "MainWindow.h"
#include "MemoLines.h"
#include "decode/CommandCatalogue.h"
#include "playback/Notifications.h"
#include "playback/NotifyThread.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QTreeView>

namespace kestrun {

QList<TSubscription> TfmMain::ChannelHandlers()
{
    return {
        {QString::fromLatin1(ChannelCommandRun), [this](const QString& AMsg) { OnUiThread([&] { OnCommandRun(AMsg); }); }},
        {QString::fromLatin1(ChannelErrorQuery), [this](const QString& AMsg) { OnUiThread([&] { OnErrorQuery(AMsg); }); }},
        {QString::fromLatin1(ChannelError), [this](const QString& AMsg) { OnUiThread([&] { OnError(AMsg); }); }},
    };
}

void TfmMain::OnUiThread(const std::function<void()>& body)
{
    // Widgets belong to the UI thread; the posting worker waits until the body has run there,
    // so delivery stays synchronous for the player.
    if (QThread::currentThread() == thread())
        body();
    else
        QMetaObject::invokeMethod(this, body, Qt::BlockingQueuedConnection);
}

void TfmMain::StartRun(TStartRange range)
{
    // One run at a time, and never over a load.
    if (!FFinished || FLoading)
        return;
    SetPlaying(true);
    const int first = FirstSelectedRow();
    FFirstCommandIndex = range == TStartRange::srFromCurrent || range == TStartRange::srCurrentLine ? qMax(0, first) : 0;
    FPlayCommandCount = range == TStartRange::srCurrentLine ? 1 : 0;
    if (range == TStartRange::srSelected) {
        for (TCommand& command : FCommands)
            command.Selected = false;
        for (int row : SelectedRows())
            FCommands[row].Selected = true;
    } else {
        for (TCommand& command : FCommands)
            command.Selected = true;
    }
    FFinished = false;
    // The player writes the played answers into its own copy of the list, taken over when the
    // run ends; the window meanwhile reads the list without racing the worker.
    FPlayCommands = FCommands;
    FPlayExceptions = MemoLines(memCommandExceptions);
    FPlayInfinite = chkInfinitePlay->isChecked();
    RunInThread([this](TNotifyThread& sender) { PlayFinished(sender); }, [this](TNotifyThread&) { PlayExecute(); });
}

void TfmMain::SetPlaying(bool playing)
{
    if (playing) {
        progress->setValue(0);
        // The bar now follows the run; rows still missing their texts get them quietly.
        FRowsShowProgress = false;
        std::vector<int8_t> images(size_t(FModel->rowCount()));
        for (size_t i = 0; i < images.size(); ++i)
            images[i] = int8_t(HasAnswerError(FCommands.at(qsizetype(i))) ? siError : siNone);
        lvCommands->setUpdatesEnabled(false);
        FModel->SetStateImages(images);
        lvCommands->setUpdatesEnabled(true);
    }
    btnStop->setEnabled(playing);
    QWidget* const idleOnly[] = {
        btnStart,       btnStartFromPosition, btnStartCurrentLine, btnStartSelected,
        btnOpen,        btnSettings,          btnPasteFromClipboard, btnFindError,
        memCommandExceptions, chkInfinitePlay, chkIngoreKKTErrors,  btnGetStatus,
    };
    for (QWidget* widget : idleOnly)
        widget->setEnabled(!playing);
    for (QAction* action : {Pfdfa1, pmMain1, N3, N5})
        action->setEnabled(!playing);
    setAcceptDrops(!playing);
    memInfo->clear();
}

void TfmMain::PlayExecute()
{
    for (TCommand& command : FPlayCommands) {
        command.PlayedAnswerData.clear();
        command.Played = false;
    }
    FPlayer->PlayLog(*FDriver, FPlayCommands, FPlayExceptions, FFirstCommandIndex, FPlayCommandCount, FPlayInfinite);
}

void TfmMain::PlayFinished(const TNotifyThread& sender)
{
    FCommands = std::move(FPlayCommands);
    FPlayCommands = TCommands();
    SetPlaying(false);
    FFinished = true;
    if (!sender.ErrorMessage().isEmpty())
        FDialogs->ShowError(this, sender.ErrorMessage());
    ShowDetails(FirstSelectedRow());
}

void TfmMain::StopPlay()
{
    FPlayer->StopPlaying();
    if (FFinished) {
        QCoreApplication::processEvents();
        return;
    }
    // The worker's handlers and its end event arrive as events; the window stays responsive.
    while (!FFinished)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void TfmMain::OnCommandRun(const QString& AMsg)
{
    const std::optional<TRunNotice> notice = ParseCommandRunMessage(AMsg);
    if (!notice)
        return;
    if (notice->Index > 0)
        SetRowSelected(notice->Index - 1, false);
    ShowCurrentCommand(notice->Index, notice->Cycle);
}

void TfmMain::ShowCurrentCommand(int Index, int Cycle)
{
    const int rows = FModel->rowCount();
    if (FLastIndex >= 0 && FLastIndex < rows) {
        FModel->SetStateImage(FLastIndex, FLastStateIndex);
        SetRowSelected(FLastIndex, false);
    }
    if (Index < 0 || Index >= rows)
        return;
    SetRowSelected(Index, true);
    lvCommands->scrollTo(FModel->index(Index, 0), QAbstractItemView::EnsureVisible);
    FLastStateIndex = FModel->StateImage(Index);
    FLastIndex = Index;
    if (FLastStateIndex < siError)
        FModel->SetStateImage(Index, siPlay);
    lvCommands->setFocus();
    progress->setValue(Index);
    edtStatus->setText(CommandStatusText(Index, Cycle, FCommands.size(), GetCommandName(FCommands.at(Index))));
}

void TfmMain::OnErrorQuery(const QString& AMsg)
{
    // While the window closes nobody is asked: the run is being stopped anyway.
    bool goOn = false;
    if (FClosing)
        goOn = false;
    else if (chkIngoreKKTErrors->isChecked() && GetResultCode(AMsg) > 0)
        goOn = true;
    else
        goOn = FDialogs->AskErrorYesNo(this, QStringLiteral("Ошибка"),
                                       QStringLiteral("Ошибка: ") + AMsg + QStringLiteral("\r\n") + QStringLiteral("Продолжить?"));
    FPlayer->SetPlayMode(goOn ? TPlayMode::pmContinue : TPlayMode::pmStop);
}

void TfmMain::OnError(const QString& AMsg)
{
    const int rows = FModel->rowCount();
    if (rows == 0)
        return;
    const std::optional<TRunNotice> notice = ParseErrorMessage(AMsg);
    if (!notice)
        return;
    ShowCurrentCommand(notice->Index, -1);
    if (notice->Index >= rows)
        return;
    lvCommands->setUpdatesEnabled(false);
    FModel->SetStateImage(notice->Index, siClose);
    lvCommands->setUpdatesEnabled(true);
    lvCommands->setFocus();
    edtStatus->setText(ErrorStatusText(notice->Index, notice->Cycle, FCommands.size(),
                                       GetCommandName(FCommands.at(notice->Index)), notice->Text));
}

void TfmMain::SetRowSelected(int row, bool selected)
{
    if (row < 0 || row >= FModel->rowCount())
        return;
    lvCommands->selectionModel()->select(FModel->index(row, 0), (selected ? QItemSelectionModel::Select
                                                                          : QItemSelectionModel::Deselect)
                                                                     | QItemSelectionModel::Rows);
}

} // namespace kestrun
