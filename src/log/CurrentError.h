// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace kestrun {

// The message of the exception being handled; call only inside a catch block.
QString CurrentErrorMessage();

} // namespace kestrun
