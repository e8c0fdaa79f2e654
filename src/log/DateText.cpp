// SPDX-License-Identifier: GPL-3.0-or-later
#include "DateText.h"

#include <QDate>
#include <QLocale>
#include <QTime>
#include <cmath>

namespace kestrun {

namespace {

QDate DateOf(TDateTime value)
{
    return QDate(1899, 12, 30).addDays(static_cast<qint64>(std::floor(value)));
}

QTime TimeOf(TDateTime value)
{
    const double fraction = value - std::floor(value);
    const auto msecs = static_cast<int>(std::llround(fraction * 86400000.0)) % 86400000;
    return QTime::fromMSecsSinceStartOfDay(msecs);
}

// Qt's long time formats end in a time-zone field ("t" or "tttt"); a register's time has none.
QString LongTimeFormat()
{
    QString format = QLocale().timeFormat(QLocale::LongFormat);
    qsizetype zone = format.indexOf(QLatin1Char('t'));
    while (zone >= 0) {
        qsizetype end = zone;
        while (end < format.size() && format[end] == QLatin1Char('t'))
            ++end;
        qsizetype start = zone;
        while (start > 0 && format[start - 1] == QLatin1Char(' '))
            --start;
        format.remove(start, end - start);
        zone = format.indexOf(QLatin1Char('t'));
    }
    return format.trimmed();
}

} // namespace

QString ShortDateText(TDateTime value) { return QLocale().toString(DateOf(value), QLocale::ShortFormat); }

QString LongTimeText(TDateTime value) { return QLocale().toString(TimeOf(value), LongTimeFormat()); }

QString DateTimeText(TDateTime value) { return ShortDateText(value) + QLatin1Char(' ') + LongTimeText(value); }

} // namespace kestrun
