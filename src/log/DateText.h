// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Bytes.h"

#include <QString>

namespace kestrun {

// Date values rendered with the default QLocale (set it with QLocale::setDefault):
// the short date format and the long time format without its time-zone part.
QString ShortDateText(TDateTime value);
QString LongTimeText(TDateTime value);
// Short date, a blank, long time.
QString DateTimeText(TDateTime value);

} // namespace kestrun
