// SPDX-License-Identifier: GPL-3.0-or-later
#include "Application.h"
#include "MainWindow.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <optional>

namespace {

const char HelpText[] =
    "usage: kestrun [FILE]\n"
    "       kestrun --follow FILE\n"
    "\n"
    "The Kestrun window: lists the commands of a fiscal register driver's log with the\n"
    "device's answers, decodes them and replays them to a register.\n"
    "\n"
    "  FILE           a driver log to open at start\n"
    "  --follow FILE  open FILE and keep adding the commands the driver writes to it\n"
    "  -h, --help     print this help\n"
    "  --version      print the program's version\n";

// --help and --version are answered before the window system is reached, so they work
// without a display (the manual pages are made from them at build time).
std::optional<int> AnswerInfoOption(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(HelpText, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::fputs("kestrun " KESTRUN_VERSION "\n", stdout);
            return 0;
        }
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv)
{
    if (const std::optional<int> status = AnswerInfoOption(argc, argv))
        return *status;
    QApplication app(argc, argv);
    kestrun::SetUpApplication(app);
    kestrun::TfmMain window;
    window.show();
    // A file given on the command line (the desktop entry passes the chosen log) loads once the
    // window is up, as if it had been opened.
    QTimer::singleShot(0, &window, [&window] { kestrun::OpenStartFile(window, QApplication::arguments().mid(1)); });
    return app.exec();
}
