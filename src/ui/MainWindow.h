// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "BusyQuery.h"
#include "Dialogs.h"
#include "ListPositions.h"
#include "decode/CommandFilter.h"
#include "decode/RowFormats.h"
#include "log/BackgroundLoad.h"
#include "log/Command.h"
#include "log/LogFollower.h"
#include "playback/Player.h"
#include "playback/ReplaySession.h"
#include "playback/Ulvex.h"
#include "settings/SettingsFile.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QSet>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

class QAction;
class QCheckBox;
class QFileSystemWatcher;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSplitter;
class QTabWidget;
class QTimer;
class QTreeView;

namespace kestrun {

class TCommandListModel;
class TStatisticsDialog;
class TFilterBar;

// The main window: loads a log, lists its commands, shows their details, searches, saves the
// listing and replays commands to the register.
class TfmMain : public QWidget, public IReplayListener
{
    Q_OBJECT
public:
    // `dialogs` (not owned) answers every modal question; null means the Qt message boxes.
    explicit TfmMain(IDialogs* dialogs = nullptr);
    ~TfmMain() override;

    void LoadLogFile(const QString& fileName);
    // Loads the file and keeps adding the commands the driver writes to it.
    void FollowLogFile(const QString& fileName);
    bool Following() const { return FFollower != nullptr; }
    const TCommands& Commands() const { return FCommands; }
    bool Finished() const { return FFinished; }
    // A filter change is still being worked through.
    bool Filtering() const { return FFilterPass != nullptr; }

    // The replay's events; all but RunFinished are called on the replay thread.
    void CommandStarted(const TCommandStart& start) override;
    void CommandFailed(const TCommandFailure& failure) override;
    bool ContinueAfterError(const TErrorQuestion& question) override;
    void RunFailed(const TRunNotice& notice) override;
    void RunFinished(TReplayResult result) override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Construction of the controls.
    void CreateControls();
    QWidget* CreateLogPage();
    QWidget* CreateOptionsPage();
    void CreateContextMenu();
    void ConnectHandlers();

    // Loading.
    void btnOpenClick();
    void PasteLog();
    // `load` fills FCommands, or hands them to the list as it goes; it returns false when the load
    // was cancelled. False when nothing was loaded (a fault, cancelled, or refused during a run).
    // A load that fails, or finds no command where one was wanted, gives the previous log back.
    enum class TEmptyLoad { KeepPrevious, Show };
    bool LoadLog(const std::function<bool()>& load, const QString& source, TEmptyLoad empty = TEmptyLoad::KeepPrevious);
    // The log shown before a load, and what the window showed of it.
    struct TShownLog
    {
        TCommands Commands;
        QString Source;
        qint64 FileSize;
        qint64 LoadMs;
        int ProgressMaximum;
    };
    void RestoreLog(TShownLog previous, const QString& reason);
    // Runs `feed` on a thread of its own and returns once the load ended, while the window goes on
    // handling every event and shows the commands as they settle. Throws the load's error; false
    // when the load was cancelled by closing the window or by another load.
    bool LoadInBackground(TLogFeed feed);
    void LoadSlice();
    void CancelLoad();
    // Adds commands at the end of the list and the rows the filter shows; with `refilter` a new
    // filter pass over the whole list is to come, and decides.
    void AppendCommands(TCommands added, bool refilter);
    // Shows a load's progress: the fraction read, with the window repainted now and then.
    std::function<void(double)> LoadProgress();
    static QString OpenLogPrompt();
    void StartComputingRows();
    void ComputeRowsSlice();

    // Following a log, recent files and reload (MainWindowFollow.cpp).
    void CreateFollowControls();
    void chkFollowToggled(bool checked);
    void SetFollowChecked(bool checked);
    void StopFollowing();
    void FollowStep();
    void ShowFollowStep(const TFollowStep& step);
    void ReloadLog();
    void RememberLoadedFile(const QString& fileName);
    void FillOpenMenu();
    void OpenLineClick();

    // Details and selection.
    // The pane shows the current row (CurrentCommand) or nothing.
    void ShowCurrentDetails();
    void ShowDetails(TCommandIndex command);
    TModelRow FirstSelectedRow() const;
    // The command of the focused row when it is shown and selected: the row whose details the
    // pane shows and the current-row starts send; invalid when there is none.
    TCommandIndex CurrentCommand() const;
    // The commands behind the selected rows, ascending.
    QList<int> SelectedCommands() const;
    void SelectOnly(TModelRow row);
    void SetDefaultButton(QPushButton* button);

    // Search and diagnostics.
    void btnSearchClick();
    void btnFindErrorClick();
    // `test` takes a command index; the search walks the rows shown.
    void Search(const std::function<bool(int)>& test);
    void SearchBackward(const std::function<bool(int)>& test);
    std::function<bool(int)> SearchTest() const;    // the search box's
    std::function<bool(int)> FindErrorTest() const; // "Найти ошибку"'s
    void N2Click();

    // Filter, status information and going to a command.
    QWidget* CreateListPane(QWidget* parent);
    void StartFilter();
    void StopFilter();
    // The commands in [from, to) the current filter shows.
    QList<int> ShownAmong(int from, int to) const;
    void FilterSlice();
    void ApplyShown(std::optional<QList<int>> shown);
    void CountErrors();
    // Commands from..to-1 with any error, a replay's too.
    int ErrorsAmong(int from, int to) const;
    void ShowStatusInfo();
    void ShowTrafficLogFailure();
    void GoToCommand(TCommandIndex command);

    // Copy, export and keys.
    void CreateCopyActions();
    void CreateShortcuts();
    void CopyRows(TRowFormat format);
    void ExportRows(TRowFormat format);

    // Status query and driver settings.
    void btnGetStatusClick();
    void btnSettingsClick();

    // Replay.
    enum class TStartRange { srAll, srFromCurrent, srCurrentLine, srSelected };
    // `control` is the button or menu item that asked for the run.
    void StartRun(TStartRange range, const QObject* control);
    // Asks before commands that change the fiscal state go to a real register; true to send.
    bool ConfirmFiscalRun(const TReplayPlan& plan);
    void SetPlaying(bool playing);
    // The start controls: all closed during a run, those of the current row also without one.
    void EnableStarts(bool idle);
    void PlayFinished(TReplayResult result);
    void StopPlay();
    void OnUiThread(const std::function<void()>& body);
    void OnCommandRun(const TCommandStart& start);
    bool OnErrorQuery(const TErrorQuestion& question);
    void OnError(const TRunNotice& notice);
    void ShowCurrentCommand(int Index, int Cycle);

    // Timing: the duration column and the statistics.
    void CreateDurationColumn();
    void ShowDurationColumn(bool shown);
    void btnStatisticsClick();
    // Another view's command (the statistics'): its row, or the next shown when a filter hides it.
    void ShowCommand(TCommandIndex command);

    // Settings.
    struct TStoredProperty
    {
        const char* Name; // object name, a point, property name
        std::variant<QString*, int*, QPlainTextEdit*> Place;
    };
    std::vector<TStoredProperty> StoredProperties();
    void RestoreSettings();
    void SaveSettings();

    void RunGuarded(const std::function<void()>& action);
    void RepaintNow();

    IDialogs* FDialogs;
    std::unique_ptr<IDialogs> FOwnDialogs;
    TSettingsFile FSettings;
    bool FSettingsRestored = false;
    bool FSettingsSaved = false;

    TCommands FCommands;
    // Shared with a status query under way, which may outlive the window's use of it.
    std::shared_ptr<TUlvex> FDriver;
    std::unique_ptr<TKestrun> FPlayer;
    std::unique_ptr<TReplaySession> FSession;
    TBusyQuery FStatusQuery;
    TCommandListModel* FModel = nullptr;
    bool FFinished = true;
    // The control of the last start and when it was asked: the second click of a double-click
    // on it starts nothing, even when the first run has already ended.
    const QObject* FLastStartControl = nullptr;
    QElapsedTimer FSinceStart;
    QSet<QString> FTrustedDevices; // devices whose fiscal runs are not asked about again
    int FLastStateIndex = -1;
    int FLastIndex = 0;
    bool FLoading = false;
    std::unique_ptr<TBackgroundLoad> FLoad; // the load running on its own thread
    int FLoadGeneration = 0;                // changes when a load running on its thread is cancelled
    QTimer* FLoadTimer = nullptr;
    QElapsedTimer FSinceAppend; // since its rows last came into the list
    QTimer* FRowsTimer = nullptr;
    bool FRowsShowProgress = false;
    bool FSplitterPlaced = false;
    int FInfoHeight = 189; // the details pane's height when the splitter is first placed
    TCommandIndex FDetailsCommand; // whose details memInfo holds; invalid when it holds anything else
    QPushButton* FDefaultButton = nullptr;
    int FDurationColumn = 0; // 1 while the duration column is shown; kept in the settings
    QPointer<TStatisticsDialog> FStatisticsDialog;
    TFilterBar* FFilterBar = nullptr;
    QTimer* FFilterTimer = nullptr;
    std::unique_ptr<TFilterPass> FFilterPass; // reads FCommands: dropped before they change
    int FErrorCount = 0;
    qint64 FFileSize = -1; // -1: not loaded from a file
    qint64 FLoadMs = -1;
    QString FLoadWarning; // a packed log read only up to its damage: shown in the status line
    TFileDialog dlgExport;

    std::unique_ptr<TLogFollower> FFollower;
    QFileSystemWatcher* FFollowWatcher = nullptr;
    QTimer* FFollowTimer = nullptr;
    QString FLoadedFile;       // the file of the last load, reloaded by F5; empty after a paste
    QStringList FRecentFiles;  // latest first

    TFileDialog dlgOpen;
    TFileDialog dlgSave;

    QPushButton* btnOpen = nullptr;
    QPushButton* btnSettings = nullptr;
    QPushButton* btnGetStatus = nullptr;
    QPushButton* btnPasteFromClipboard = nullptr;
    QPushButton* btnFindError = nullptr;
    QPushButton* btnStart = nullptr;
    QPushButton* btnStartFromPosition = nullptr;
    QPushButton* btnStartCurrentLine = nullptr;
    QPushButton* btnStartSelected = nullptr;
    QPushButton* btnStop = nullptr;
    QLabel* lblFileName = nullptr;
    QLineEdit* edtStatus = nullptr;
    QProgressBar* progress = nullptr;
    QTabWidget* pgcLog = nullptr;
    QLineEdit* edtSearch = nullptr;
    QPushButton* btnSearch = nullptr;
    QTreeView* lvCommands = nullptr;
    QSplitter* splitter = nullptr;
    QPlainTextEdit* memInfo = nullptr;
    QCheckBox* chkIngoreKKTErrors = nullptr;
    QCheckBox* chkInfinitePlay = nullptr;
    QPlainTextEdit* memCommandExceptions = nullptr;
    QPlainTextEdit* memIgnoreCommand = nullptr;
    QCheckBox* chkFindPlayedErrors = nullptr;
    QLabel* lblStatusInfo = nullptr;
    QMenu* pmMain = nullptr;
    QCheckBox* chkFollow = nullptr;
    QMenu* pmOpen = nullptr;
    QAction* Pfdfa1 = nullptr;
    QAction* pmMain1 = nullptr;
    QAction* N3 = nullptr;
    QAction* N2 = nullptr;
    QAction* N5 = nullptr;
    QPushButton* btnStatistics = nullptr;
    QMenu* pmColumns = nullptr;
    QAction* actDurationColumn = nullptr;
    QAction* actCopy = nullptr;
    QAction* actCopyJson = nullptr;
    QAction* actExportCsv = nullptr;
    QAction* actExportJson = nullptr;
};

} // namespace kestrun
