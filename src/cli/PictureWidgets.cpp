// SPDX-License-Identifier: GPL-3.0-or-later
// The picture drawn with the window's timeline chart.
#include "Picture.h"

#include "CliSupport.h"
#include "TimelineView.h"
#include "log/FileWrite.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <sys/stat.h>
#include <unistd.h>
#include <cstring>

namespace kestrun::cli {

namespace {

constexpr QSize PictureSize(1200, 600);

// Whether --plot stands among the options (before "--").
bool AsksForPicture(int argc, char** argv)
{
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i)
        if (std::strcmp(argv[i], "--plot") == 0 || std::strncmp(argv[i], "--plot=", 7) == 0)
            return true;
    return false;
}

} // namespace

std::unique_ptr<QCoreApplication> CreateApplication(int& argc, char** argv)
{
    if (!AsksForPicture(argc, argv))
        return std::make_unique<QCoreApplication>(argc, argv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Under cron nobody sets it, and Qt would say so on standard error for every picture: the
    // folder it would take instead is made and named here.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QByteArray folder = QFile::encodeName(QDir::tempPath()) + "/runtime-" + QByteArray::number(getuid());
        ::mkdir(folder.constData(), 0700);
        qputenv("XDG_RUNTIME_DIR", folder);
    }
    return std::make_unique<QApplication>(argc, argv);
}

void WriteTimelinePicture(const std::vector<TTimelinePoint>& points, const QList<TSlowCommand>& slowest,
                          const QString& fileName)
{
    const QByteArray png = TimelinePicture(points, slowest, PictureSize);
    if (IsStandardStream(fileName))
        WriteOut(png);
    else
        WriteFileAtomically(fileName, png);
}

} // namespace kestrun::cli
