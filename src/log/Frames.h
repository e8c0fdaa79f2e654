// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <cstdint>

namespace kestrun {

// Facts of the command frames that the log, the decoders and the replay share.

// A command code of two bytes starts with one of these; its code is prefix * 256 + second byte.
inline constexpr uint8_t ExtendedCodePrefix = 0xFF;
inline constexpr uint8_t ServiceCodePrefix = 0xFE;

// Protocol-1 envelope around the command or answer bytes: STX and the length byte before
// them, the LRC byte after them.
inline constexpr qsizetype FrameHeadBytes = 2;
inline constexpr qsizetype FrameTailBytes = 1;

// The code of a command given as frame bytes: first byte, or prefix * 256 + second byte
// (0 when missing) for FF and FE; 0 for no bytes.
uint16_t CommandCodeOf(QByteArrayView request);
// The bytes that code takes at the start of the request: two after FF or FE (one when the
// request ends there), one otherwise, 0 for no bytes.
qsizetype CommandCodeSize(QByteArrayView request);

// How many code bytes an answer repeats before its error byte, and a decoder skips: two
// only after FF (FE counts as a one-byte code here); 0 for no bytes.
qsizetype EchoedCodeSize(QByteArrayView frame);
// The bytes an answer repeats before its error byte.
QByteArray AnswerPrefix(QByteArrayView request);
// The answer frame of a failed request: its prefix and the error byte.
QByteArray ErrorAnswer(QByteArrayView request, uint8_t error);
// The error byte of an answer frame, -1 when the frame ends before it.
int AnswerErrorByte(QByteArrayView answer);

} // namespace kestrun
