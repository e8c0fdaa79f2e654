// SPDX-License-Identifier: GPL-3.0-or-later
#include "ArchiveMemberDialog.h"
#include "CommandListModel.h"
#include "FilterBar.h"
#include "MainWindow.h"
#include "MemoLines.h"
#include "decode/CommandFilter.h"
#include "decode/CommandView.h"
#include "log/CurrentError.h"
#include "log/Exception.h"
#include "log/LogArchive.h"
#include "log/LogParser.h"
#include "log/LogText.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>

namespace kestrun {

namespace {

const QString Loading = QStringLiteral("Загрузка...");
const QString NoCommands = QStringLiteral("Команды в логе не найдены");
constexpr int ReadSteps = 1000;
constexpr int RowsSliceMs = 25;
constexpr int RepaintEveryMs = 100;
// The progress of a load on its own thread is shown this often. Rows settled meanwhile come into
// the list for at most LoadSliceMs at a time; as every new row makes the list lay out all its rows
// again, a long list takes them in less often (a millisecond per 500 rows, up to two seconds).
constexpr int LoadEveryMs = 50;
constexpr int RowsPerAppendMs = 500;
constexpr int LoadAtMostEveryMs = 2000;
constexpr int LoadSliceMs = 40;
constexpr qsizetype LoadBatch = 8192;

// The busy cursor for the lifetime of a scope, also when it is left by an error.
class TBusyCursor
{
public:
    TBusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TBusyCursor() { QApplication::restoreOverrideCursor(); }
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;
};

} // namespace

void TfmMain::btnOpenClick()
{
    if (FDialogs->ExecuteOpen(this, dlgOpen))
        LoadLogFile(dlgOpen.FileName);
}

void TfmMain::LoadLogFile(const QString& chosenName)
{
    // With following on, every file opened is followed.
    if (chkFollow->isChecked()) {
        FollowLogFile(chosenName);
        return;
    }
    const std::optional<QString> source = ChooseLogMember(*FDialogs, this, chosenName);
    if (!source)
        return;
    const QString& fileName = *source;
    const QFileInfo chosen(chosenName);
    const qint64 fileSize = chosen.isFile() ? chosen.size() : -1;
    const bool loaded = LoadLog(
        [&] {
            return LoadInBackground(DeviceFeed([fileName] {
                try {
                    return OpenLogSource(fileName);
                } catch (const Exception& e) {
                    throw Exception(QStringLiteral("Не удалось открыть файл лога %1\n%2").arg(fileName, e.Message()));
                }
            }));
        },
        fileName);
    if (loaded) {
        FFileSize = fileSize;
        ShowStatusInfo();
        RememberLoadedFile(fileName);
    }
}

std::function<void(double)> TfmMain::LoadProgress()
{
    QElapsedTimer sinceRepaint;
    sinceRepaint.start();
    return [this, sinceRepaint](double fraction) mutable {
        progress->setValue(int(fraction * ReadSteps));
        if (sinceRepaint.elapsed() >= RepaintEveryMs) {
            RepaintNow();
            sinceRepaint.restart();
        }
    };
}

QString TfmMain::OpenLogPrompt()
{
    return QStringLiteral("Откройте файл лога, либо перетащите файл в это окно, либо вставьте текст лога из буфера обмена");
}

void TfmMain::PasteLog()
{
    edtStatus->clear();
    const QMimeData* clip = QGuiApplication::clipboard()->mimeData();
    if (!clip || !clip->hasText())
        return;
    // Text without commands (a word copied by mistake) would replace the log by an empty one that
    // nothing brings back: the log stays, and the status line says why.
    TCommands pasted;
    try {
        ParseLog(SplitLogText(clip->text()), pasted, ReadIgnoreCodes(MemoLines(memIgnoreCommand)));
    } catch (...) {
        FDialogs->ShowError(this, CurrentErrorMessage());
        return;
    }
    if (pasted.isEmpty()) {
        edtStatus->setText(QStringLiteral("В буфере обмена нет команд лога: загруженный лог оставлен"));
        return;
    }
    if (LoadLog([&] {
            FCommands = std::move(pasted);
            return true;
        },
                QStringLiteral("Clipboard"))) {
        // Pasted text has no file to reload or follow.
        FLoadedFile.clear();
        SetFollowChecked(false);
    }
}

bool TfmMain::LoadLog(const std::function<bool()>& load, const QString& source, TEmptyLoad empty)
{
    // Loads replace the list the player works from. A load on its own thread gives way to a new
    // one, so a user who chose the wrong file need not wait; the others cannot be interrupted.
    if (!FFinished || (FLoading && !FLoad))
        return false;
    CancelLoad();
    // Whatever is loaded now replaces the followed log; following goes on only when the caller
    // starts it again.
    StopFollowing();
    FLoading = true;
    // The row marked last belongs to the previous log; restoring its image here would mark a
    // row of the new one.
    FLastIndex = -1;
    FLastStateIndex = siNone;
    FRowsTimer->stop();
    StopFilter();
    memInfo->clear();
    // Kept until the new log has come: a load that brings nothing must not cost the one shown.
    TShownLog previous{std::move(FCommands), lblFileName->text(), FFileSize, FLoadMs, progress->maximum()};
    FCommands.clear();
    FModel->Reset(&FCommands);
    // Rows that come while loading pass the filter as they come.
    if (TCommandFilter(FFilterBar->Settings()).IsActive())
        FModel->SetShown(QList<int>());
    FFileSize = -1;
    FLoadMs = -1;
    FErrorCount = 0;
    QElapsedTimer loadTime;
    loadTime.start();
    edtStatus->clear();
    ShowStatusInfo();
    QString error;
    bool cancelled = false;
    {
        TBusyCursor busy;
        lblFileName->setText(Loading);
        edtStatus->clear();
        RepaintNow();
        progress->setRange(0, ReadSteps);
        progress->setValue(0);
        try {
            cancelled = !load();
        } catch (...) {
            error = CurrentErrorMessage();
        }
    }
    FLoading = false;
    // The window now shows what cancelled the load: the next one, or nothing as it closes.
    if (cancelled)
        return false;
    if (!error.isNull() && !previous.Commands.isEmpty()) {
        RestoreLog(std::move(previous), QStringLiteral("Лог не загружен: загруженный лог оставлен"));
        FDialogs->ShowError(this, error);
        return false;
    }
    if (!error.isNull()) {
        // The list stays empty, and so do the commands behind it, so rows and commands agree.
        // Nothing is loaded, so the label asks for a log again instead of showing a load that ended.
        StopFilter();
        FModel->Clear();
        FCommands.clear();
        FErrorCount = 0;
        lblFileName->setText(OpenLogPrompt());
        progress->setRange(0, previous.ProgressMaximum);
        progress->setValue(0);
        ShowStatusInfo();
        FDialogs->ShowError(this, error);
        return false;
    }
    if (FCommands.isEmpty() && !previous.Commands.isEmpty() && empty == TEmptyLoad::KeepPrevious) {
        RestoreLog(std::move(previous), NoCommands + QStringLiteral(" в %1: загруженный лог оставлен").arg(source));
        return false;
    }
    previous.Commands.clear();
    // Commands the load did not hand over as it went come in at once; those it did were counted.
    if (FModel->CommandCount() < FCommands.size()) {
        FModel->Reset(&FCommands);
        StartFilter();
        CountErrors();
    }
    FLoadMs = loadTime.elapsed();
    ShowStatusInfo();
    lblFileName->setText(source);
    // A one-command list would give an equal minimum and maximum, which Qt shows as busy.
    progress->setRange(0, FCommands.isEmpty() ? previous.ProgressMaximum : qMax(1, int(FCommands.size()) - 1));
    progress->setValue(0);
    if (FCommands.isEmpty()) {
        edtStatus->setText(FLoadWarning.isEmpty() ? NoCommands : FLoadWarning);
        return true;
    }
    edtStatus->setText(FLoadWarning);
    StartComputingRows();
    return true;
}

void TfmMain::RestoreLog(TShownLog previous, const QString& reason)
{
    StopFilter();
    FCommands = std::move(previous.Commands);
    FModel->Reset(&FCommands);
    StartFilter();
    CountErrors();
    FFileSize = previous.FileSize;
    FLoadMs = previous.LoadMs;
    lblFileName->setText(previous.Source);
    progress->setRange(0, previous.ProgressMaximum);
    progress->setValue(0);
    ShowStatusInfo();
    edtStatus->setText(reason);
    StartComputingRows();
}

bool TfmMain::LoadInBackground(TLogFeed feed)
{
    const int generation = FLoadGeneration;
    FLoadWarning.clear();
    FLoad = std::make_unique<TBackgroundLoad>(std::move(feed), MemoLines(memIgnoreCommand));
    FSinceAppend.invalidate();
    FLoadTimer->start(LoadEveryMs);
    // The caller goes on once the load ended, as callers of a load always did; meanwhile the window
    // handles every event, the user's too.
    while (generation == FLoadGeneration && !FLoad->Done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (generation != FLoadGeneration)
        return false;
    FLoadTimer->stop();
    const QString error = FLoad->Error();
    FLoadWarning = FLoad->Warning();
    FLoad.reset();
    if (!error.isNull())
        throw Exception(error);
    return true;
}

void TfmMain::LoadSlice()
{
    progress->setValue(int(FLoad->Progress() * ReadSteps));
    const int appendEveryMs = qBound(LoadEveryMs, FModel->CommandCount() / RowsPerAppendMs, LoadAtMostEveryMs);
    if (!FLoad->HasSettled() || (FSinceAppend.isValid() && FSinceAppend.elapsed() < appendEveryMs && !FLoad->Ended()))
        return;
    FSinceAppend.start();
    // A filter pass reads the list while it is worked through: it starts again over the longer one.
    const bool refilter = Filtering();
    if (refilter)
        StopFilter();
    QElapsedTimer slice;
    slice.start();
    while (FLoad->HasSettled() && slice.elapsed() < LoadSliceMs) {
        const int from = FModel->CommandCount();
        AppendCommands(FLoad->Take(LoadBatch), refilter);
        FErrorCount += ErrorsAmong(from, FModel->CommandCount());
    }
    if (refilter)
        StartFilter();
    ShowStatusInfo();
}

void TfmMain::CancelLoad()
{
    if (!FLoad)
        return;
    ++FLoadGeneration;
    FLoadTimer->stop();
    FLoad.reset();
}

void TfmMain::AppendCommands(TCommands added, bool refilter)
{
    const int from = int(FCommands.size());
    FCommands.append(std::move(added));
    FModel->Append(FModel->Filtered() && !refilter ? ShownAmong(from, int(FCommands.size())) : QList<int>());
}

void TfmMain::StartComputingRows()
{
    FRowsShowProgress = true;
    FRowsTimer->start();
}

void TfmMain::ComputeRowsSlice()
{
    const bool more = FModel->ComputeAhead(RowsSliceMs);
    if (FRowsShowProgress)
        progress->setValue(qMin(progress->maximum(), FModel->ComputedCount()));
    if (more)
        return;
    FRowsTimer->stop();
    if (FRowsShowProgress) {
        FRowsShowProgress = false;
        progress->setValue(0);
        edtStatus->setText(FLoadWarning);
    }
}

} // namespace kestrun
