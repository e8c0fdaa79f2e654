#include "Application.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
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

} // namespace kestrun
