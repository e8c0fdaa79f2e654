// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Ulvex.h"

#include <QStringList>

namespace kestrun {

// "%s: Успешно" for code 0, "%s: Ошибка: %d, %s" otherwise.
QString DriverResultText(const QString& operation, int32_t code, const QString& description);

// The register's state as read with the system administrator's password; the modes only when
// the query succeeded (Code 0).
struct TDeviceStatus
{
    int32_t Code = 0;
    QString Description;
    int32_t Mode = 0;
    QString ModeText;
    int32_t SubMode = 0;
    QString SubModeText;
};
// A failed call throws kestrun::Exception.
TDeviceStatus ReadStatus(TUlvex& Drv);

// The same as text: the outcome line, then the mode and sub-mode lines when the query succeeded.
QStringList QueryStatus(TUlvex& Drv);

} // namespace kestrun
