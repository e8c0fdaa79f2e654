// SPDX-License-Identifier: GPL-3.0-or-later
#include "Application.h"
#include "MainWindow.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QStringList>
#include <QTranslator>

namespace kestrun {

void SetUpApplication(QApplication& app)
{
    QApplication::setApplicationName(QStringLiteral("Kestrun"));
    QApplication::setApplicationVersion(QStringLiteral(KESTRUN_VERSION));
    // Standard buttons and dialogs in the user's language; without the translations they stay English.
    auto* qtTexts = new QTranslator(&app);
    if (qtTexts->load(QLocale::system(), QStringLiteral("qtbase"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(qtTexts);
}

void OpenStartFile(TfmMain& window, const QStringList& arguments)
{
    QStringList files = arguments;
    const bool follow = files.removeAll(QStringLiteral("--follow")) > 0;
    if (files.isEmpty())
        return;
    if (follow)
        window.FollowLogFile(files.constFirst());
    else
        window.LoadLogFile(files.constFirst());
}

} // namespace kestrun
