// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QString>

namespace kestrun {

// The window's pictures, drawn in code: buttons "open", "settings", "right-chevron", "cancel";
// row states "Play", "Error", "close". An unknown name gives an empty icon.
QIcon WindowIcon(const QString& name);

} // namespace kestrun
