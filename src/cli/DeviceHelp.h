// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace kestrun::cli {

// The device texts of --device with their options, for --help; written from the core's table.
QString DeviceTextHelp();

} // namespace kestrun::cli
