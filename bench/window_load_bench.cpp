// Opens a log in the real window (offscreen) the way a user does and reports how long the list
// takes to become usable, how long until every row's texts are made, how long a search and
// "Найти ошибку" over all rows take, and the peak memory.
//
//   kestrun-window-bench LOG
#include "CommandListModel.h"
#include "Dialogs.h"
#include "MainWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>
#include <cstdio>
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
    window.findChild<QPushButton*>(QStringLiteral("btnOpen"))->click();
    list->viewport()->repaint();
    const double usable = Seconds(timer);
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

    std::printf("log: %s (%.1f MB, %d rows)\n", qPrintable(fileName), double(QFileInfo(fileName).size()) / 1048576.0, rows);
    std::printf("choosing the file to a usable list:   %6.2f s\n", usable);
    std::printf("every row's texts made (background):  %6.2f s\n", allTexts);
    std::printf("\"Найти ошибку\" from the first row:     %6.3f s\n", findError);
    std::printf("search without a match (all rows):    %6.3f s\n", search);
    std::printf("peak memory:                          %6ld MB\n", PeakMegabytes());
    return 0;
}
