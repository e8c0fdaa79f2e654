// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandListModel.h"
#include "MainWindow.h"
#include "MemoLines.h"
#include "decode/CommandCatalogue.h"
#include "playback/DeviceDriver.h"
#include "playback/DeviceOptions.h"
#include "playback/Notifications.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QStyleHints>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTreeView>

namespace kestrun {

void TfmMain::CommandStarted(const TCommandStart& start)
{
    OnUiThread([&] { OnCommandRun(start); });
}

// The window passes a failure over unless it ends the run or the user is asked about it.
void TfmMain::CommandFailed(const TCommandFailure&) {}

bool TfmMain::ContinueAfterError(const TErrorQuestion& question)
{
    bool goOn = false;
    OnUiThread([&] { goOn = OnErrorQuery(question); });
    return goOn;
}

void TfmMain::RunFailed(const TRunNotice& notice)
{
    OnUiThread([&] { OnError(notice); });
}

void TfmMain::RunFinished(TReplayResult result) { PlayFinished(std::move(result)); }

void TfmMain::OnUiThread(const std::function<void()>& body)
{
    // Widgets belong to the UI thread; the posting worker waits until the body has run there,
    // so delivery stays synchronous for the player.
    if (QThread::currentThread() == thread())
        body();
    else
        QMetaObject::invokeMethod(this, body, Qt::BlockingQueuedConnection);
}

void TfmMain::StartRun(TStartRange range, const QObject* control)
{
    // One run at a time, never over a load, and the driver serves one thread at a time.
    if (!FFinished || FLoading || FStatusQuery.Pending())
        return;
    if (control == FLastStartControl && FSinceStart.isValid()
        && FSinceStart.elapsed() < QGuiApplication::styleHints()->mouseDoubleClickInterval())
        return;
    FLastStartControl = control;
    FSinceStart.start();
    // The current-row starts send the row the engineer looks at, never a stand-in for it.
    const TCommandIndex current = CurrentCommand();
    if (!current.Valid() && (range == TStartRange::srFromCurrent || range == TStartRange::srCurrentLine))
        return;
    TReplayPlan plan;
    switch (range) {
    case TStartRange::srAll: plan.Range = TReplayRange::All(); break;
    case TStartRange::srFromCurrent: plan.Range = TReplayRange::FromRow(current.Value); break;
    case TStartRange::srCurrentLine: plan.Range = TReplayRange::OneRow(current.Value); break;
    case TStartRange::srSelected: plan.Range = TReplayRange::SelectedRows(SelectedCommands()); break;
    }
    // A filtered list plays what it shows.
    if (FModel->Filtered())
        plan.Range = plan.Range.Within(FModel->ShownCommands());
    plan.Range.Loop = chkInfinitePlay->isChecked();
    plan.ExceptList = MemoLines(memCommandExceptions);
    plan.Policy = {chkIngoreKKTErrors->isChecked(), TErrorAction::eaAsk};
    if (!ConfirmFiscalRun(plan))
        return;
    SetPlaying(true);
    FFinished = false;
    // The run shares the list and writes its answers when it ends; meanwhile the window only
    // reads the list, so no copy of it is needed.
    FSession->Start(*FDriver, FCommands, plan);
}

bool TfmMain::ConfirmFiscalRun(const TReplayPlan& plan)
{
    const auto* device = dynamic_cast<const TDeviceDriver*>(FDriver.get());
    const QString deviceText = device ? device->DeviceText() : QString();
    if (NamesEmulator(deviceText) || FTrustedDevices.contains(deviceText))
        return true;
    const QList<int32_t> fiscal = FiscalCommandsToSend(FCommands, plan);
    if (fiscal.isEmpty())
        return true;
    constexpr int NamesShown = 5;
    QStringList lines{QStringLiteral("Команд, меняющих фискальное состояние ККТ: %1").arg(fiscal.size())};
    for (const int32_t command : fiscal.first(qMin(NamesShown, int(fiscal.size()))))
        lines << QStringLiteral("  %1: %2").arg(command + 1).arg(GetCommandName(FCommands.at(command)));
    if (fiscal.size() > NamesShown)
        lines << QStringLiteral("  ...");
    lines << QStringLiteral("Устройство: %1").arg(deviceText) << QString() << QStringLiteral("Отправить их в ККТ?");
    // Nothing else starts while the question is open.
    EnableStarts(false);
    bool trusted = false;
    const bool send = FDialogs->AskWarningOkCancel(this, QStringLiteral("Отправка в ККТ"), lines.join(QStringLiteral("\r\n")),
                                                   QStringLiteral("не спрашивать для этого устройства до закрытия программы"),
                                                   trusted);
    if (send && trusted)
        FTrustedDevices.insert(deviceText);
    if (!send || !FFinished || FLoading || FStatusQuery.Pending()) {
        EnableStarts(FFinished);
        return false;
    }
    return true;
}

void TfmMain::SetPlaying(bool playing)
{
    if (playing) {
        progress->setValue(0);
        // The bar now follows the run; rows still missing their texts get them quietly.
        FRowsShowProgress = false;
        std::vector<int8_t> images(size_t(FModel->CommandCount()));
        for (size_t i = 0; i < images.size(); ++i)
            images[i] = int8_t(OutcomeImage(FModel->Outcome(int(i))));
        lvCommands->setUpdatesEnabled(false);
        FModel->SetStateImages(images);
        lvCommands->setUpdatesEnabled(true);
    }
    btnStop->setEnabled(playing);
    QWidget* const idleOnly[] = {
        btnOpen, btnSettings, btnPasteFromClipboard, btnFindError, memCommandExceptions,
        chkInfinitePlay, chkIngoreKKTErrors, btnGetStatus,
    };
    for (QWidget* widget : idleOnly)
        widget->setEnabled(!playing);
    N5->setEnabled(!playing);
    EnableStarts(!playing);
    setAcceptDrops(!playing);
    memInfo->clear();
}

void TfmMain::EnableStarts(bool idle)
{
    const bool withCurrent = idle && CurrentCommand().Valid();
    for (QWidget* start : {btnStart, btnStartSelected})
        start->setEnabled(idle);
    for (QWidget* start : {btnStartFromPosition, btnStartCurrentLine})
        start->setEnabled(withCurrent);
    N3->setEnabled(idle);
    for (QAction* start : {Pfdfa1, pmMain1})
        start->setEnabled(withCurrent);
}

void TfmMain::PlayFinished(TReplayResult result)
{
    StopFilter();
    SetPlaying(false);
    FFinished = true;
    // Replayed answers may add errors, which the count and an errors filter take in.
    CountErrors();
    StartFilter();
    ShowStatusInfo();
    ShowTrafficLogFailure();
    if (!result.ThreadError.isEmpty())
        FDialogs->ShowError(this, result.ThreadError);
    // The row marked last is the current one now: the pane shows it with its played answer.
    ShowCurrentDetails();
}

void TfmMain::StopPlay()
{
    FSession->Stop();
    if (FFinished) {
        QCoreApplication::processEvents();
        return;
    }
    // The command under way is finished first, which takes a silent register its whole timeout:
    // the status line says so meanwhile, and gets its last text back unless the run's end wrote one.
    btnStop->setEnabled(false);
    const QString last = edtStatus->text();
    const QString stopping = QStringLiteral("Остановка: ожидается завершение текущей команды...");
    edtStatus->setText(stopping);
    // The worker's handlers and its end event arrive as events; the window stays responsive.
    while (!FFinished)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (edtStatus->text() == stopping)
        edtStatus->setText(last);
}

void TfmMain::OnCommandRun(const TCommandStart& start) { ShowCurrentCommand(start.Index, start.Cycle); }

void TfmMain::ShowCurrentCommand(int Index, int Cycle)
{
    const int rows = FModel->CommandCount();
    if (FLastIndex >= 0 && FLastIndex < rows)
        FModel->SetStateImage(FLastIndex, FLastStateIndex);
    if (Index < 0 || Index >= rows)
        return;
    // The command being sent is the only one marked: the selection the run started from goes.
    QItemSelectionModel* selection = lvCommands->selectionModel();
    if (const QModelIndex shown = FModel->IndexOf(TCommandIndex(Index)); shown.isValid()) {
        selection->setCurrentIndex(shown, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        lvCommands->scrollTo(shown, QAbstractItemView::EnsureVisible);
    } else {
        selection->clear();
    }
    FLastStateIndex = FModel->StateImage(Index);
    FLastIndex = Index;
    if (FLastStateIndex < siError)
        FModel->SetStateImage(Index, siPlay);
    lvCommands->setFocus();
    progress->setValue(Index);
    edtStatus->setText(CommandStatusText(Index, Cycle, FCommands.size(), GetCommandName(FCommands.at(Index))));
}

// Asked only for what the policy leaves to the user: device errors while they are ignored are
// not, nor anything after a stop.
bool TfmMain::OnErrorQuery(const TErrorQuestion& question)
{
    const QString name = question.Index < FCommands.size() ? GetCommandName(FCommands.at(question.Index)) : QString();
    return FDialogs->AskErrorYesNo(this, QStringLiteral("Ошибка"),
                                   ErrorQuestionText(question.Index, name, question.Code, question.Text));
}

void TfmMain::OnError(const TRunNotice& notice)
{
    const int rows = FModel->CommandCount();
    if (rows == 0)
        return;
    ShowCurrentCommand(notice.Index, -1);
    if (notice.Index >= rows)
        return;
    lvCommands->setUpdatesEnabled(false);
    FModel->SetStateImage(notice.Index, siClose);
    lvCommands->setUpdatesEnabled(true);
    lvCommands->setFocus();
    edtStatus->setText(ErrorStatusText(notice.Index, notice.Cycle, FCommands.size(),
                                       GetCommandName(FCommands.at(notice.Index)), notice.Text));
}

} // namespace kestrun
