// Takes the picture of the window for the documentation: loads a log, selects a row,
// and saves what the window shows.
#include "Application.h"
#include "MainWindow.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QPixmap>
#include <QTimer>
#include <QTreeView>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: kestrun-screenshot LOG ROW OUT.png\n");
        return 2;
    }
    kestrun::SetUpApplication(app);
    kestrun::TfmMain window;
    window.show();
    window.LoadLogFile(QString::fromLocal8Bit(argv[1]));
    auto* list = window.findChild<QTreeView*>(QStringLiteral("lvCommands"));
    const QModelIndex row = list->model()->index(QString::fromLatin1(argv[2]).toInt(), 0);
    list->selectionModel()->setCurrentIndex(row, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    list->setFocus();
    int result = 1;
    // Give the window time to finish its layout and the rows their texts before the picture.
    QTimer::singleShot(1500, &app, [&] {
        result = window.grab().save(QString::fromLocal8Bit(argv[3])) ? 0 : 1;
        window.close();
        app.quit();
    });
    app.exec();
    return result;
}
