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

// Reads one frame byte by byte, from the byte after its STX: length, data, LRC. The frame has no
// escaping, so control bytes inside it are data. How long to wait for the next byte is the
// caller's to judge: the device, the tap and the host each have their own.
class TFrameAssembler
{
public:
    // What the frame's next byte is; fpNone while no frame is being read.
    enum TPart : uint8_t { fpNone, fpLength, fpData, fpLrc };
    enum TResult : uint8_t { frMore, frGood, frBadLrc };

    // An STX came.
    void Start();
    // Takes the next byte of the frame started; the LRC ends the frame, good or bad.
    TResult Feed(uint8_t byte);
    void Reset();

    TPart Next() const { return FNext; }
    bool Reading() const { return FNext != fpNone; }
    // The data read so far; of a frame that has ended, all of it, until the next start.
    const QByteArray& Data() const { return FData; }

private:
    TPart FNext = fpNone;
    uint8_t FLength = 0;
    QByteArray FData;
};

} // namespace kestrun
