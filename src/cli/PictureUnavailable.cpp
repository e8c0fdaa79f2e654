// SPDX-License-Identifier: GPL-3.0-or-later
// A build without the window's libraries draws no pictures.
#include "Picture.h"

#include "log/Exception.h"

namespace kestrun::cli {

std::unique_ptr<QCoreApplication> CreateApplication(int& argc, char** argv)
{
    return std::make_unique<QCoreApplication>(argc, argv);
}

void WriteTimelinePicture(const std::vector<TTimelinePoint>&, const QList<TSlowCommand>&, const QString&)
{
    throw Exception(QStringLiteral("эта сборка kestrun-cli собрана без библиотек окна и не рисует графиков"));
}

} // namespace kestrun::cli
