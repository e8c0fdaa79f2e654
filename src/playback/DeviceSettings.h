// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace kestrun {

// The chosen device text lives in a file of its own beside the window's settings:
// <config>/KELMAR/Kestrun/device.xml.
QString DeviceSettingsFileName();
// The saved device text; the default device when nothing was saved.
// Throws kestrun::Exception when the file exists but cannot be read.
QString LoadDeviceText();
// Throws kestrun::Exception when the file cannot be written.
void SaveDeviceText(const QString& deviceText);

} // namespace kestrun
