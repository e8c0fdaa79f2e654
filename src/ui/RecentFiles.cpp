// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecentFiles.h"

namespace kestrun {

QStringList WithRecentFile(const QStringList& AFiles, const QString& AFileName)
{
    return CleanRecentFiles(QStringList{AFileName} + AFiles);
}

QStringList CleanRecentFiles(const QStringList& AStored)
{
    QStringList files;
    for (const QString& file : AStored) {
        if (files.size() == MaxRecentFiles)
            break;
        if (!file.trimmed().isEmpty() && !files.contains(file))
            files.append(file);
    }
    return files;
}

} // namespace kestrun
