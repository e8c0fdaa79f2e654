// SPDX-License-Identifier: GPL-3.0-or-later
// Opens a log in the real window (offscreen) the way a user does and reports how long the list
// takes to become usable (its first rows drawn), the longest the event loop was held during the
// load, when the load ended, how long until every row's texts are made, how long a search and
// "Найти ошибку" over all rows take, how long each filter change takes to show its rows (and the
// longest the event loop waited meanwhile), then replays every command to the built-in emulator
// for a few seconds, and reports the peak memory of all that, each with its limit.
//
//   kestrun-window-bench LOG
#include "CommandListModel.h"
#include "Dialogs.h"
#include "MainWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QEventLoop>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTemporaryDir>
#include <QTreeView>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>
#include <sys/resource.h>

namespace {

// Opens the given file and answers every question with Cancel, so a search that finds nothing
// ends after one pass over the list.
class TBenchDialogs : public kestrun::IDialogs
{
public:
    explicit TBenchDialogs(QString fileName) : FFileName(std::move(fileName)) {}
    void ShowError(QWidget*, const QString& message) override { std::fprintf(stderr, "error: %s\n", qPrintable(message)); }
    bool AskOkCancel(QWidget*, const QString&, const QString&) override { return false; }
    bool AskErrorYesNo(QWidget*, const QString&, const QString&) override { return false; }
    bool AskWarningOkCancel(QWidget*, const QString&, const QString&, const QString&, bool&) override { return false; }
    bool ExecuteOpen(QWidget*, kestrun::TFileDialog& dialog) override
    {
        dialog.FileName = FFileName;
        return true;
    }
    bool ExecuteSave(QWidget*, kestrun::TFileDialog&) override { return false; }
    std::optional<QString> ChooseDevice(QWidget*, const QString&) override { return std::nullopt; }
    std::optional<QString> ChooseArchiveMember(QWidget*, const QString&, const QStringList&) override
    {
        return std::nullopt;
    }

private:
    QString FFileName;
};

double Seconds(const QElapsedTimer& timer) { return double(timer.nsecsElapsed()) / 1e9; }

double Milliseconds(const QElapsedTimer& timer) { return double(timer.nsecsElapsed()) / 1e6; }

// A filter change must show its rows within this time.
constexpr double FilterLimitMs = 150;
// The list must show its first rows this soon after the file was chosen, whatever the log's size.
constexpr double UsableLimitSeconds = 3;
// Longer than this without handling events, the window would be seen to freeze.
constexpr double FreezeLimitMs = 250;
// How long the replay runs before it is stopped.
constexpr qint64 ReplayMs = 5000;
// Peak memory against the size of the log.
constexpr double MemoryLimitRatio = 0.5;

// Watches a load from the event loop: when the list first drew rows, and the longest time the
// loop was held between two turns of a short timer.
class TLoadWatch : public QObject
{
public:
    TLoadWatch(QTreeView& list, const QElapsedTimer& clock) : FList(list), FClock(clock)
    {
        list.viewport()->installEventFilter(this);
        FTicks.setTimerType(Qt::PreciseTimer);
        FTicks.setInterval(5);
        QObject::connect(&FTicks, &QTimer::timeout, [this] { Tick(); });
        FTicks.start();
        FLastTick = FClock.nsecsElapsed();
    }
    ~TLoadWatch() override { FList.viewport()->removeEventFilter(this); }

    // Seconds from the start of the clock; -1 when no rows were drawn yet.
    double FirstRowsSeconds() const { return FFirstRows; }
    double LongestHoldMs() const { return FLongestHoldMs; }
    void Stop()
    {
        Tick();
        FTicks.stop();
    }

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && FFirstRows < 0 && FList.model()->rowCount() > 0)
            FFirstRows = double(FClock.nsecsElapsed()) / 1e9;
        return false;
    }

private:
    void Tick()
    {
        const qint64 now = FClock.nsecsElapsed();
        FLongestHoldMs = std::max(FLongestHoldMs, double(now - FLastTick) / 1e6);
        FLastTick = now;
    }

    QTreeView& FList;
    const QElapsedTimer& FClock;
    QTimer FTicks;
    qint64 FLastTick = 0;
    double FFirstRows = -1;
    double FLongestHoldMs = 0;
};

const char* Verdict(bool holds) { return holds ? "yes" : "NO"; }

struct TFilterTiming
{
    double ShownMs = 0;
    double LongestPauseMs = 0; // the longest the event loop was held at a time
    int Rows = 0;
};

// Makes one filter change and runs the event loop until the list shows its result.
template <class Change>
TFilterTiming TimeFilter(kestrun::TfmMain& window, const kestrun::TCommandListModel& model, Change change)
{
    TFilterTiming timing;
    QElapsedTimer timer;
    QElapsedTimer pause;
    timer.start();
    pause.start();
    change();
    timing.LongestPauseMs = Milliseconds(pause);
    while (window.Filtering()) {
        pause.restart();
        QCoreApplication::processEvents();
        timing.LongestPauseMs = std::max(timing.LongestPauseMs, Milliseconds(pause));
    }
    timing.ShownMs = Milliseconds(timer);
    timing.Rows = model.rowCount();
    return timing;
}

long PeakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The window's settings and device choice go to a throw-away folder.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kestrun-window-bench LOG\n");
        return 2;
    }
    const QString fileName = QString::fromLocal8Bit(argv[1]);
    TBenchDialogs dialogs(fileName);
    kestrun::TfmMain window(&dialogs);
    window.show();
    QCoreApplication::processEvents();
    auto* list = window.findChild<QTreeView*>(QStringLiteral("lvCommands"));
    auto* model = static_cast<kestrun::TCommandListModel*>(list->model());

    QElapsedTimer timer;
    timer.start();
    TLoadWatch watch(*list, timer);
    // The click returns when the load has ended; the window handles events meanwhile.
    window.findChild<QPushButton*>(QStringLiteral("btnOpen"))->click();
    const double loaded = Seconds(timer);
    list->viewport()->repaint();
    watch.Stop();
    const double usable = watch.FirstRowsSeconds();
    const double longestHold = watch.LongestHoldMs();
    const int rows = model->rowCount();

    while (model->ComputedCount() < rows)
        QCoreApplication::processEvents();
    const double allTexts = Seconds(timer);

    list->selectionModel()->clearSelection();
    timer.restart();
    window.findChild<QPushButton*>(QStringLiteral("btnFindError"))->click();
    const double findError = Seconds(timer);

    window.findChild<QLineEdit*>(QStringLiteral("edtSearch"))->setText(QStringLiteral("нет такого текста"));
    list->selectionModel()->clearSelection();
    timer.restart();
    window.findChild<QPushButton*>(QStringLiteral("btnSearch"))->click();
    const double search = Seconds(timer);

    auto* errorsOnly = window.findChild<QCheckBox*>(QStringLiteral("chkFilterErrors"));
    auto* hidePolls = window.findChild<QCheckBox*>(QStringLiteral("chkHidePolls"));
    auto* commands = window.findChild<QLineEdit*>(QStringLiteral("edtFilterCommands"));
    auto* text = window.findChild<QLineEdit*>(QStringLiteral("edtFilter"));
    const std::pair<const char*, std::function<void()>> filters[] = {
        {"only errors", [&] { errorsOnly->setChecked(true); }},
        {"errors off", [&] { errorsOnly->setChecked(false); }},
        {"hide status polls", [&] { hidePolls->setChecked(true); }},
        {"command 80 (polls hidden)", [&] { commands->setText(QStringLiteral("80")); }},
        {"command name and text", [&] {
             commands->setText(QStringLiteral("продажа"));
             text->setText(QStringLiteral("нет такого текста"));
         }},
        {"text off", [&] { text->clear(); }},
        {"clear all", [&] {
             commands->clear();
             hidePolls->setChecked(false);
         }},
    };
    std::vector<std::pair<const char*, TFilterTiming>> filterTimings;
    for (const auto& [name, change] : filters)
        filterTimings.emplace_back(name, TimeFilter(window, *model, change));

    // The default device is the built-in emulator; a device error question is answered "stop".
    window.findChild<QCheckBox*>(QStringLiteral("chkIngoreKKTErrors"))->setChecked(true);
    window.findChild<QPushButton*>(QStringLiteral("btnStart"))->click();
    timer.restart();
    while (!window.Finished() && timer.elapsed() < ReplayMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    window.findChild<QPushButton*>(QStringLiteral("btnStop"))->click();
    const double replaySeconds = Seconds(timer);
    const auto played = std::count_if(window.Commands().cbegin(), window.Commands().cend(),
                                      [](const kestrun::TCommand& command) { return command.Played; });

    const double fileMegabytes = double(QFileInfo(fileName).size()) / 1048576.0;
    std::printf("log: %s (%.1f MB, %d rows)\n", qPrintable(fileName), fileMegabytes, rows);
    const bool usableInTime = usable >= 0 && usable <= UsableLimitSeconds;
    std::printf("choosing the file to a usable list:   %6.2f s (first rows drawn; limit %.0f s): %s\n", usable,
                UsableLimitSeconds, Verdict(usableInTime));
    const bool neverFroze = longestHold <= FreezeLimitMs;
    std::printf("longest event loop hold while loading: %5.0f ms (limit %.0f ms): %s\n", longestHold,
                FreezeLimitMs, Verdict(neverFroze));
    std::printf("choosing the file to the end of the load: %4.2f s\n", loaded);
    std::printf("every row's texts made (background):  %6.2f s\n", allTexts);
    std::printf("\"Найти ошибку\" from the first row:     %6.3f s\n", findError);
    std::printf("search without a match (all rows):    %6.3f s\n", search);
    bool withinLimit = true;
    for (const auto& [name, timing] : filterTimings) {
        std::printf("filter %-27s %7.1f ms to %7d rows (limit %.0f ms), longest pause %5.1f ms\n", name,
                    timing.ShownMs, timing.Rows, FilterLimitMs, timing.LongestPauseMs);
        withinLimit = withinLimit && timing.ShownMs <= FilterLimitMs;
    }
    std::printf("filter changes within %.0f ms:         %s\n", FilterLimitMs, Verdict(withinLimit));
    std::printf("replay of every command, stopped:     %6.2f s, %lld commands played\n", replaySeconds,
                static_cast<long long>(played));
    const double peak = double(PeakMegabytes());
    const bool memoryHolds = peak <= MemoryLimitRatio * fileMegabytes;
    std::printf("peak memory:                          %6.0f MB = %.2f x the log (limit %.1f x = %.0f MB): %s\n", peak,
                peak / fileMegabytes, MemoryLimitRatio, MemoryLimitRatio * fileMegabytes, Verdict(memoryHolds));
    const bool allHold = usableInTime && neverFroze && withinLimit && memoryHolds;
    std::printf("every limit holds:                    %s\n", Verdict(allHold));
    return allHold ? 0 : 1;
}
