// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace kestrun {

// Drivers pad texts with zero bytes; the values keep them, the screen does not show them.
// A run of U+0000 becomes one blank inside a line and disappears at a line's end.
QString DisplayText(const QString& text);

// One line of text output (a terminal, a pipe): what the window shows, with every other control
// character but the tab written as "<0xNN>", so a log's bytes cannot steer a terminal or make
// the output binary.
QString PrintableText(const QString& line);

} // namespace kestrun
