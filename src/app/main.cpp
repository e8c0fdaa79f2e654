#include "Application.h"
#include "MainWindow.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    kestrun::SetUpApplication(app);
    kestrun::TfmMain window;
    window.show();
    return app.exec();
}
