#pragma once

#include <QString>

namespace kestrun {

// Drivers pad texts with zero bytes; the values keep them, the screen does not show them.
// A run of U+0000 becomes one blank inside a line and disappears at a line's end.
QString DisplayText(const QString& text);

} // namespace kestrun
