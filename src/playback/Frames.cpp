#include "Frames.h"

namespace kestrun {

namespace {

qsizetype PrefixSize(QByteArrayView frame)
{
    if (frame.isEmpty())
        return 0;
    return static_cast<uint8_t>(frame[0]) == 0xFF ? 2 : 1;
}

} // namespace

QByteArray AnswerPrefix(QByteArrayView request)
{
    return request.first(qMin(PrefixSize(request), request.size())).toByteArray();
}

QByteArray ErrorAnswer(QByteArrayView request, uint8_t error)
{
    return AnswerPrefix(request) + char(error);
}

int AnswerErrorByte(QByteArrayView answer)
{
    const qsizetype pos = PrefixSize(answer);
    if (pos == 0 || pos >= answer.size())
        return -1;
    return static_cast<uint8_t>(answer[pos]);
}

} // namespace kestrun
