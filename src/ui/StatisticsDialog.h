// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "log/Command.h"

#include <QDialog>

namespace kestrun {

// The statistics of a loaded log: per command code, the slowest commands and the timeline. It
// keeps only what it shows, so the window may load another log while it is open; a double-click
// on a slow command or a click on a point asks the window for that command.
class TStatisticsDialog : public QDialog
{
    Q_OBJECT
public:
    TStatisticsDialog(const TCommands& commands, QWidget* parent);

signals:
    // The command's index in the whole log, whatever rows the list shows.
    void CommandRequested(int command);
};

} // namespace kestrun
