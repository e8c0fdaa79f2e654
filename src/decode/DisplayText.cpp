#include "DisplayText.h"

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

} // namespace kestrun
