// SPDX-License-Identifier: GPL-3.0-or-later
#include "Protocol1Frames.h"

#include <QtGlobal>

namespace kestrun {

uint8_t FrameLrc(QByteArrayView data)
{
    auto lrc = static_cast<uint8_t>(data.size());
    for (const char c : data)
        lrc ^= static_cast<uint8_t>(c);
    return lrc;
}

QByteArray Protocol1Frame(QByteArrayView data)
{
    Q_ASSERT(data.size() <= MaxFrameData);
    QByteArray frame;
    frame.reserve(data.size() + 3);
    frame += char(ctlSTX);
    frame += char(data.size());
    frame += data;
    frame += char(FrameLrc(data));
    return frame;
}

void TFrameAssembler::Start()
{
    FNext = fpLength;
    FData.clear();
}

TFrameAssembler::TResult TFrameAssembler::Feed(uint8_t byte)
{
    switch (FNext) {
    case fpNone:
        Q_ASSERT(false);
        break;
    case fpLength:
        FLength = byte;
        FData.reserve(byte);
        FNext = byte == 0 ? fpLrc : fpData;
        break;
    case fpData:
        FData += char(byte);
        if (FData.size() == FLength)
            FNext = fpLrc;
        break;
    case fpLrc:
        FNext = fpNone;
        return byte == FrameLrc(FData) ? frGood : frBadLrc;
    }
    return frMore;
}

void TFrameAssembler::Reset()
{
    FNext = fpNone;
    FData.clear();
}

} // namespace kestrun
