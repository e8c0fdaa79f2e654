// SPDX-License-Identifier: GPL-3.0-or-later
#include "MemoLines.h"

#include <QPlainTextEdit>

namespace kestrun {

QStringList MemoLines(const QPlainTextEdit* memo)
{
    const QString text = memo->toPlainText();
    if (text.isEmpty())
        return {};
    QStringList lines = text.split(u'\n');
    if (lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

void SetMemoLines(QPlainTextEdit* memo, const QStringList& lines) { memo->setPlainText(lines.join(u'\n')); }

} // namespace kestrun
