// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

class QPlainTextEdit;

namespace kestrun {

// A memo's text as a list of lines: a final line break starts no further line, an empty memo
// has none, an empty line in between stays.
QStringList MemoLines(const QPlainTextEdit* memo);
void SetMemoLines(QPlainTextEdit* memo, const QStringList& lines);

} // namespace kestrun
