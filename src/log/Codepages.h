// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

namespace kestrun {

// Single-byte code pages. Every byte maps to one character, so decoding never fails.
QString Cp1251ToUnicode(QByteArrayView bytes);
// Characters without a Windows-1251 byte become '?'.
QByteArray UnicodeToCp1251(QStringView text);
// The text's bytes when the code page has every one of its characters.
std::optional<QByteArray> ExactCp1251(QStringView text);
// Code page 866 as the fiscal storage writes text: bytes 00-7F are plain ASCII.
QString Cp866ToUnicode(QByteArrayView bytes);

} // namespace kestrun
