// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <cstdint>

namespace kestrun {

// Drivers pad texts with zero bytes; the values keep them, the screen does not show them.
// A run of U+0000 becomes one blank inside a line and disappears at a line's end.
QString DisplayText(const QString& text);

// Whether a tab of the text stays one: a tab-separated or CSV field may keep it, a table's cell
// or a details line would lose its columns to it.
enum class TTabs : uint8_t { tKept, tEscaped };

// One line of text output (a terminal, a pipe): what the window shows, with every other control
// character written as "<0xNN>", so a log's bytes cannot steer a terminal or make the output
// binary.
QString PrintableText(const QString& line, TTabs tabs = TTabs::tEscaped);

} // namespace kestrun
