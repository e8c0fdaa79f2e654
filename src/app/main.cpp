#include "MainWindow.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrun"));
    QApplication::setApplicationDisplayName(QStringLiteral("Kestrun"));
    QApplication::setApplicationVersion(QStringLiteral(KESTRUN_VERSION));
    // Standard buttons and dialogs in the user's language; without the translations they stay English.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale::system(), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    kestrun::TfmMain window;
    window.show();
    return app.exec();
}
