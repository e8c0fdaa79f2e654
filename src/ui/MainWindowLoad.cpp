#include "ArchiveMemberDialog.h"
#include "CommandListModel.h"
#include "MainWindow.h"
#include "MemoLines.h"
#include "decode/CommandView.h"
#include "log/CurrentError.h"
#include "log/Exception.h"
#include "log/LogArchive.h"
#include "log/LogLoader.h"
#include "log/LogReader.h"

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

namespace kestrun {

namespace {

const QString Loading = QStringLiteral("Загрузка...");
const QString NoCommands = QStringLiteral("Команды в логе не найдены");
constexpr int ReadSteps = 1000;
constexpr int RowsSliceMs = 25;
constexpr int RepaintEveryMs = 100;

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
            std::unique_ptr<QIODevice> source;
            try {
                source = OpenLogSource(fileName);
            } catch (const Exception& e) {
                throw Exception(QStringLiteral("Не удалось открыть файл лога %1\n%2").arg(fileName, e.Message()));
            }
            LoadLogDevice(*source, MemoLines(memIgnoreCommand), FCommands, LoadProgress());
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
    const QString text = clip->text();
    if (LoadLog([&] { LoadLogText(text, MemoLines(memIgnoreCommand), FCommands); }, QStringLiteral("Clipboard"))) {
        // Pasted text has no file to reload or follow.
        FLoadedFile.clear();
        SetFollowChecked(false);
    }
}

bool TfmMain::LoadLog(const std::function<void()>& load, const QString& source)
{
    // Loads replace the list the player works from, and a load does not nest in another.
    if (!FFinished || FLoading)
        return false;
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
    FModel->Clear();
    FFileSize = -1;
    FLoadMs = -1;
    FErrorCount = 0;
    QElapsedTimer loadTime;
    loadTime.start();
    edtStatus->clear();
    const int previousMaximum = progress->maximum();
    QString error;
    {
        TBusyCursor busy;
        lblFileName->setText(Loading);
        edtStatus->clear();
        RepaintNow();
        progress->setRange(0, ReadSteps);
        progress->setValue(0);
        try {
            load();
        } catch (...) {
            error = CurrentErrorMessage();
        }
    }
    FLoading = false;
    if (!error.isNull()) {
        // The list stays empty, and so do the commands behind it, so rows and commands agree.
        // Nothing is loaded, so the label asks for a log again instead of showing a load that ended.
        FCommands.clear();
        lblFileName->setText(OpenLogPrompt());
        progress->setRange(0, previousMaximum);
        progress->setValue(0);
        ShowStatusInfo();
        FDialogs->ShowError(this, error);
        return false;
    }
    FModel->Reset(&FCommands);
    FLoadMs = loadTime.elapsed();
    CountErrors();
    StartFilter();
    ShowStatusInfo();
    lblFileName->setText(source);
    // A one-command list would give an equal minimum and maximum, which Qt shows as busy.
    progress->setRange(0, FCommands.isEmpty() ? previousMaximum : qMax(1, int(FCommands.size()) - 1));
    progress->setValue(0);
    if (FCommands.isEmpty()) {
        edtStatus->setText(NoCommands);
        return true;
    }
    edtStatus->clear();
    StartComputingRows();
    return true;
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
        edtStatus->clear();
    }
}

} // namespace kestrun
