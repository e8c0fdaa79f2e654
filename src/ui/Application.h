// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

class QApplication;

namespace kestrun {

class TfmMain;

// Names the program and puts Qt's own texts in the user's language. Sets no display name: the
// platform would append it to every window caption.
void SetUpApplication(QApplication& app);

// The log named by the program's arguments (FILE, or --follow FILE), opened in the window as if
// the user had chosen it; nothing without a file.
void OpenStartFile(TfmMain& window, const QStringList& arguments);

} // namespace kestrun
