// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "playback/EmulatorOptions.h"

#include <QSet>
#include <QString>
#include <cstdint>
#include <optional>

namespace kestrun {

// Faults of the wire, on top of the emulator's own options:
//   badlrc=CMD   the first sending of each answer to CMD has a wrong LRC
//   garble=CMD   every sending of each answer to CMD has a wrong LRC
//   drop=CMD     the first sending of each answer to CMD lacks its last data byte
//   noanswer=CMD each request CMD is acknowledged and never answered
//   close=CMD    each request CMD closes the connection (TCP only)
//   reject=CMD   the first frame of each request CMD is refused with NAK, as if its LRC were wrong
//   stray=BYTE   every NAK follows a stray BYTE (hex), as some registers send
//   slow=MS      the device sends one byte every MS milliseconds
//   work=MS      each request it takes runs MS milliseconds before its ACK and answer; bytes that
//                come meanwhile are read when it has finished
//   random=SEED  faults drawn from SEED: stray bytes of every kind before replies, answers with a
//                wrong LRC or a byte missing, refused frames, requests never answered, answers held
//                back until the host asks with ENQ, closed connections
struct TWireFaults
{
    QSet<uint16_t> BadLrc;
    QSet<uint16_t> Garble;
    QSet<uint16_t> Drop;
    QSet<uint16_t> NoAnswer;
    QSet<uint16_t> Close;
    QSet<uint16_t> Reject;
    std::optional<uint8_t> Stray;
    int SlowMilliseconds = 0;
    int WorkMilliseconds = 0;
    std::optional<uint32_t> RandomSeed;
};

struct TWireEmulatorSetup
{
    TEmulatorOptions Emulator;
    TWireFaults Wire;
};

// Comma-separated emulator options and wire faults. The emulator's driver and call faults
// belong to the in-process driver and have no meaning on the wire: they are refused.
// Throws kestrun::Exception naming the first option it cannot take.
TWireEmulatorSetup ParseWireEmulatorSetup(const QString& options);

} // namespace kestrun
