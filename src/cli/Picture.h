// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "decode/CommandStatistics.h"

#include <QCoreApplication>
#include <QString>
#include <memory>
#include <vector>

namespace kestrun::cli {

// kestrun-cli's application object. A picture (stats --plot) is drawn with widgets, which need a
// QApplication; it runs on the offscreen platform, so no display is needed. Everything else
// gets a QCoreApplication.
std::unique_ptr<QCoreApplication> CreateApplication(int& argc, char** argv);

// Writes the timeline picture to a PNG file, or to standard output for "-"; throws Exception with
// the file and the reason when it cannot.
void WriteTimelinePicture(const std::vector<TTimelinePoint>& points, const QList<TSlowCommand>& slowest,
                          const QString& fileName);

} // namespace kestrun::cli
