// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Bytes.h"

namespace kestrun {

// Hex text of a joined protocol-2 frame in, hex text of its command bytes out (start byte, 4-byte
// header and 2-byte trailer removed, the stuffing undone: 9F 81 -> 8F, 9F 83 -> 9F, a trailing lone
// 9F dropped, any other byte after 9F throws Exception "Некорректный формат пакета"): a piece of `text` itself where it can be, else written into
// `scratch`, which the result then refers to.
QByteArrayView DecodeProtocol2Frame(QByteArrayView text, QByteArray& scratch);

} // namespace kestrun
