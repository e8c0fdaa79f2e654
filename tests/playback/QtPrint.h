// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <ostream>

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& value, std::ostream* os) { *os << '"' << value.toStdString() << '"'; }

inline void PrintTo(const QStringList& value, std::ostream* os)
{
    *os << '{';
    for (const QString& s : value)
        *os << " \"" << s.toStdString() << '"';
    *os << " }";
}
