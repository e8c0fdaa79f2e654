#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <cstdint>

namespace kestrun {

// The bytes an answer repeats before its error byte: the command code, two bytes only
// when the request starts with the FF prefix.
QByteArray AnswerPrefix(QByteArrayView request);
// The answer frame of a failed request: its prefix and the error byte.
QByteArray ErrorAnswer(QByteArrayView request, uint8_t error);
// The error byte of an answer frame, -1 when the frame ends before it.
int AnswerErrorByte(QByteArrayView answer);

} // namespace kestrun
