#pragma once

#include "Ulvex.h"

#include <QStringList>

namespace kestrun {

// "%s: Успешно" for code 0, "%s: Ошибка: %d, %s" otherwise.
QString DriverResultText(const QString& operation, int32_t code, const QString& description);

// The register's state with the system administrator's password: the outcome line, then the
// mode and sub-mode lines when the query succeeded. A failed call throws kestrun::Exception.
QStringList QueryStatus(TUlvex& Drv);

} // namespace kestrun
