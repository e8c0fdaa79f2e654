// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <cstdint>

namespace kestrun {

// Control bytes of protocol 1.
enum : uint8_t {
    ctlENQ = 0x05,
    ctlSTX = 0x02,
    ctlACK = 0x06,
    ctlNAK = 0x15,
};

// The length byte limits the command or answer bytes of one frame.
inline constexpr qsizetype MaxFrameData = 255;

// XOR of the length byte and every data byte.
uint8_t FrameLrc(QByteArrayView data);
// STX, length, data, LRC; data holds at most MaxFrameData bytes.
QByteArray Protocol1Frame(QByteArrayView data);

} // namespace kestrun
