// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

namespace kestrun {

// The logs offered again beside the open button, the latest first.
constexpr qsizetype MaxRecentFiles = 10;

// AFiles with AFileName put first, its earlier place dropped, cut to MaxRecentFiles.
QStringList WithRecentFile(const QStringList& AFiles, const QString& AFileName);
// A list read from the settings file as the menu offers it: blanks and repeats dropped, cut.
QStringList CleanRecentFiles(const QStringList& AStored);

} // namespace kestrun
