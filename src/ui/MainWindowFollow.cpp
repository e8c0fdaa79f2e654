// SPDX-License-Identifier: GPL-3.0-or-later
#include "AnchorLayout.h"
#include "CommandListModel.h"
#include "MainWindow.h"
#include "MemoLines.h"
#include "RecentFiles.h"
#include "log/Exception.h"
#include "log/LogArchive.h"

#include <QAction>
#include <QCheckBox>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTimer>
#include <QTreeView>

namespace kestrun {

namespace {

// The watcher reports most writes at once; the timer catches what it misses (network folders,
// a file replaced under its name), well within a second.
constexpr int FollowPollMs = 500;

const QString FileStartedAgain = QStringLiteral("Файл лога урезан или заменён: он загружен заново с начала");

} // namespace

void TfmMain::CreateFollowControls()
{
    QWidget* page = edtSearch->parentWidget();
    chkFollow = new QCheckBox(QStringLiteral("Следить за файлом"), page);
    chkFollow->setObjectName(QStringLiteral("chkFollow"));
    chkFollow->setToolTip(QStringLiteral("Добавлять в список команды, которые драйвер дописывает в открытый файл лога"));
    static_cast<TAnchorLayout*>(page->layout())->Add(chkFollow, QRect(QPoint(584, 18), chkFollow->sizeHint()));
    connect(chkFollow, &QCheckBox::toggled, this, &TfmMain::chkFollowToggled);

    FFollowWatcher = new QFileSystemWatcher(this);
    connect(FFollowWatcher, &QFileSystemWatcher::fileChanged, this, &TfmMain::FollowStep);
    FFollowTimer = new QTimer(this);
    FFollowTimer->setObjectName(QStringLiteral("tmrFollow"));
    FFollowTimer->setInterval(FollowPollMs);
    connect(FFollowTimer, &QTimer::timeout, this, &TfmMain::FollowStep);

    auto* reload = new QAction(QStringLiteral("Обновить"), this);
    reload->setObjectName(QStringLiteral("actReload"));
    reload->setShortcut(QKeySequence(Qt::Key_F5));
    addAction(reload);
    connect(reload, &QAction::triggered, this, &TfmMain::ReloadLog);

    // Recent files and the line of a tap sit in the open button's context menu.
    pmOpen = new QMenu(this);
    pmOpen->setObjectName(QStringLiteral("pmOpen"));
    connect(pmOpen, &QMenu::aboutToShow, this, &TfmMain::FillOpenMenu);
    btnOpen->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(btnOpen, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { pmOpen->popup(btnOpen->mapToGlobal(at)); });
}

void TfmMain::FillOpenMenu()
{
    pmOpen->clear();
    QAction* line = pmOpen->addAction(QStringLiteral("Открыть линию…"));
    line->setObjectName(QStringLiteral("actOpenLine"));
    connect(line, &QAction::triggered, this, &TfmMain::OpenLineClick);
    pmOpen->addAction(findChild<QAction*>(QStringLiteral("actReload")));
    pmOpen->addSeparator();
    if (FRecentFiles.isEmpty())
        pmOpen->addAction(QStringLiteral("Недавних файлов нет"))->setEnabled(false);
    for (const QString& file : FRecentFiles) {
        QAction* recent = pmOpen->addAction(file);
        // A log moved or deleted since stays listed, but cannot be chosen.
        recent->setEnabled(QFileInfo(ParseLogSource(file).File).isFile());
        connect(recent, &QAction::triggered, this, [this, file] { LoadLogFile(file); });
    }
}

void TfmMain::OpenLineClick()
{
    if (FDialogs->ExecuteOpen(this, dlgOpen))
        FollowLogFile(dlgOpen.FileName);
}

void TfmMain::FollowLogFile(const QString& fileName)
{
    // A file that cannot be followed (a compressed log, one that is gone) leaves the loaded log
    // as it is: nothing is emptied before following can start.
    std::unique_ptr<TLogFollower> follower;
    try {
        follower = std::make_unique<TLogFollower>(fileName, MemoLines(memIgnoreCommand));
    } catch (const Exception& e) {
        SetFollowChecked(Following());
        FDialogs->ShowError(this, QStringLiteral("Не удалось открыть файл лога %1\n%2").arg(fileName, e.Message()));
        return;
    }
    const bool loaded = LoadLog(
        [&] {
            TFollowStep step = follower->Step(LoadProgress());
            if (!step.Error.isEmpty())
                throw Exception(step.Error);
            FCommands = std::move(step.Added);
            return true;
        },
        fileName, TEmptyLoad::Show);
    // Refused during a run, the load leaves a followed log followed.
    if (!loaded) {
        SetFollowChecked(Following());
        return;
    }
    FFollower = std::move(follower);
    FFollowWatcher->addPath(fileName);
    FFollowTimer->start();
    SetFollowChecked(true);
    RememberLoadedFile(fileName);
}

void TfmMain::chkFollowToggled(bool checked)
{
    // The file being loaded is not the one to follow yet.
    if (FLoading) {
        SetFollowChecked(Following());
        return;
    }
    if (checked) {
        if (!FLoadedFile.isEmpty())
            FollowLogFile(FLoadedFile);
        return;
    }
    // The list ends as opening the file now gives it, with the exchange left open at its end.
    if (FFollower && FFinished)
        ShowFollowStep(FFollower->Finish());
    StopFollowing();
}

void TfmMain::SetFollowChecked(bool checked)
{
    const QSignalBlocker quiet(chkFollow);
    chkFollow->setChecked(checked);
}

void TfmMain::StopFollowing()
{
    FFollower.reset();
    FFollowTimer->stop();
    if (!FFollowWatcher->files().isEmpty())
        FFollowWatcher->removePaths(FFollowWatcher->files());
}

void TfmMain::FollowStep()
{
    // A run plays a copy of the list and hands it back at its end; new rows wait for that.
    if (!FFollower || FLoading || !FFinished)
        return;
    const QString fileName = FFollower->FileName();
    ShowFollowStep(FFollower->Step());
    // A file replaced under its name drops out of the watcher.
    if (FFollower && FFollowWatcher->files().isEmpty() && QFileInfo::exists(fileName))
        FFollowWatcher->addPath(fileName);
}

void TfmMain::ShowFollowStep(const TFollowStep& step)
{
    const QScrollBar* bar = lvCommands->verticalScrollBar();
    const bool atBottom = bar->value() == bar->maximum();
    const bool grew = step.Restarted || !step.Added.isEmpty() || step.ChangedLast;
    // A filter pass reads the list while it is being worked through: it starts again over the new one.
    const bool filterWasRunning = Filtering();
    if (grew)
        StopFilter();
    bool refilter = filterWasRunning;
    if (step.Restarted) {
        FLastIndex = -1;
        FLastStateIndex = siNone;
        memInfo->clear();
        FCommands = step.Added;
        FModel->Reset(&FCommands);
        refilter = true;
        // Rows of the old text still being made would clear the notice when done.
        FRowsShowProgress = false;
        progress->setValue(0);
        edtStatus->setText(FileStartedAgain);
    } else {
        if (step.ChangedLast && !FCommands.isEmpty()) {
            const int command = int(FCommands.size()) - 1;
            FCommands.last() = *step.ChangedLast;
            FModel->CommandChanged(command);
            // Its new content may pass the filter differently.
            refilter = true;
            if (FDetailsCommand == TCommandIndex(command))
                ShowDetails(TCommandIndex(command));
        }
        AppendCommands(step.Added, refilter);
    }
    if (grew) {
        if (refilter)
            StartFilter();
        CountErrors();
        FFileSize = QFileInfo(FFollower ? FFollower->FileName() : FLoadedFile).size();
        ShowStatusInfo();
    }
    if (step.Restarted || !step.Added.isEmpty()) {
        if (!FCommands.isEmpty())
            progress->setRange(0, qMax(1, int(FCommands.size()) - 1));
        FRowsTimer->start();
        if (atBottom)
            lvCommands->scrollToBottom();
    }
    if (!step.Error.isEmpty()) {
        StopFollowing();
        SetFollowChecked(false);
        FDialogs->ShowError(this, step.Error);
    }
}

void TfmMain::ReloadLog()
{
    // While a load runs, the file loaded before it is no longer what the list shows.
    if (FLoadedFile.isEmpty() || FLoading)
        return;
    // The engineer stays on the command they were looking at, with its details.
    const TCommandIndex current = CurrentCommand();
    LoadLogFile(FLoadedFile);
    if (current.Valid() && current.Value < FCommands.size())
        GoToCommand(current);
}

void TfmMain::RememberLoadedFile(const QString& fileName)
{
    FLoadedFile = fileName;
    FRecentFiles = WithRecentFile(FRecentFiles, QFileInfo(fileName).absoluteFilePath());
}

} // namespace kestrun
