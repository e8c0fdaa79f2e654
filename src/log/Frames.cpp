// SPDX-License-Identifier: GPL-3.0-or-later
#include "Frames.h"

namespace kestrun {

namespace {

bool StartsTwoByteCode(QByteArrayView request)
{
    if (request.isEmpty())
        return false;
    const auto first = static_cast<uint8_t>(request[0]);
    return first == ExtendedCodePrefix || first == ServiceCodePrefix;
}

} // namespace

uint16_t CommandCodeOf(QByteArrayView request)
{
    if (request.isEmpty())
        return 0;
    const auto first = static_cast<uint8_t>(request[0]);
    if (!StartsTwoByteCode(request))
        return first;
    const unsigned second = request.size() > 1 ? static_cast<uint8_t>(request[1]) : 0;
    return static_cast<uint16_t>((first << 8) | second);
}

qsizetype CommandCodeSize(QByteArrayView request)
{
    return qMin<qsizetype>(StartsTwoByteCode(request) ? 2 : 1, request.size());
}

qsizetype EchoedCodeSize(QByteArrayView frame)
{
    if (frame.isEmpty())
        return 0;
    return static_cast<uint8_t>(frame[0]) == ExtendedCodePrefix ? 2 : 1;
}

QByteArray AnswerPrefix(QByteArrayView request)
{
    return request.first(qMin(EchoedCodeSize(request), request.size())).toByteArray();
}

QByteArray ErrorAnswer(QByteArrayView request, uint8_t error)
{
    return AnswerPrefix(request) + char(error);
}

int AnswerErrorByte(QByteArrayView answer)
{
    const qsizetype pos = EchoedCodeSize(answer);
    if (pos == 0 || pos >= answer.size())
        return -1;
    return static_cast<uint8_t>(answer[pos]);
}

} // namespace kestrun
