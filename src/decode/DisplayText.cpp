// SPDX-License-Identifier: GPL-3.0-or-later
#include "DisplayText.h"

#include <QStringBuilder>
#include <algorithm>

namespace kestrun {

QString DisplayText(const QString& text)
{
    if (!text.contains(QChar(0)))
        return text;
    QString shown;
    shown.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        if (text[i] != QChar(0)) {
            shown += text[i++];
            continue;
        }
        while (i < text.size() && text[i] == QChar(0))
            ++i;
        const bool lineEnds = i == text.size() || text[i] == u'\r' || text[i] == u'\n';
        if (!lineEnds)
            shown += u' ';
    }
    return shown;
}

namespace {

// C0 controls, DEL and the C1 controls some terminals obey.
bool IsHiddenControl(QChar c, TTabs tabs)
{
    const char16_t code = c.unicode();
    return (code < 0x20 && (code != u'\t' || tabs == TTabs::tEscaped)) || (code >= 0x7F && code <= 0x9F);
}

} // namespace

QString PrintableText(const QString& line, TTabs tabs)
{
    QString shown = DisplayText(line);
    const auto hidden = [tabs](QChar c) { return IsHiddenControl(c, tabs); };
    if (std::none_of(shown.cbegin(), shown.cend(), hidden))
        return shown;
    QString printable;
    printable.reserve(shown.size() + 16);
    for (const QChar c : shown) {
        if (hidden(c))
            printable += QLatin1String("<0x") % QString::number(c.unicode(), 16).toUpper().rightJustified(2, u'0')
                       % QLatin1Char('>');
        else
            printable += c;
    }
    return printable;
}

} // namespace kestrun
