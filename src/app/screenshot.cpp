// SPDX-License-Identifier: GPL-3.0-or-later
// Takes the picture of the window for the documentation: loads a log, sets the filter controls
// given, selects a row of the list and saves what the window shows.
//
//   kestrun-screenshot LOG ROW OUT.png [CONTROL[=TEXT]]...
// CONTROL names a check box to tick or, with =TEXT, a text field to fill (e.g. chkFilterErrors,
// edtFilterCommands=80).
#include "Application.h"
#include "MainWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPixmap>
#include <QTimer>
#include <QTreeView>
#include <cstdio>

namespace {

bool SetControl(QWidget& window, const QString& setting)
{
    const QString name = setting.section(u'=', 0, 0);
    if (!setting.contains(u'=')) {
        auto* box = window.findChild<QCheckBox*>(name);
        if (box)
            box->setChecked(true);
        return box != nullptr;
    }
    auto* field = window.findChild<QLineEdit*>(name);
    if (field)
        field->setText(setting.section(u'=', 1));
    return field != nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: kestrun-screenshot LOG ROW OUT.png [CONTROL[=TEXT]]...\n");
        return 2;
    }
    kestrun::SetUpApplication(app);
    kestrun::TfmMain window;
    window.show();
    window.LoadLogFile(QString::fromLocal8Bit(argv[1]));
    for (int i = 4; i < argc; ++i) {
        if (!SetControl(window, QString::fromLocal8Bit(argv[i]))) {
            std::fprintf(stderr, "kestrun-screenshot: no control %s\n", argv[i]);
            return 2;
        }
    }
    while (window.Filtering())
        QCoreApplication::processEvents();
    auto* list = window.findChild<QTreeView*>(QStringLiteral("lvCommands"));
    const QModelIndex row = list->model()->index(QString::fromLatin1(argv[2]).toInt(), 0);
    list->selectionModel()->setCurrentIndex(row, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    list->scrollTo(row);
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
