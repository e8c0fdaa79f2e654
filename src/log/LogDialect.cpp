// SPDX-License-Identifier: GPL-3.0-or-later
#include "LogDialect.h"

#include "Bytes.h"

namespace kestrun {

namespace {

// Whether `whole` is the pieces one after another: what is written is what is read.
constexpr bool Joins(std::string_view whole, std::initializer_list<std::string_view> pieces)
{
    for (std::string_view piece : pieces) {
        if (!whole.starts_with(piece))
            return false;
        whole.remove_prefix(piece.size());
    }
    return whole.empty();
}

static_assert(Joins(LogMarkerText(TLogMarker::lmRequest1), {"[", LevelDebug, "] ", Protocol1Writer, " ", SentArrow, " "}));
static_assert(Joins(LogMarkerText(TLogMarker::lmAnswer1), {"[", LevelDebug, "] ", Protocol1Writer, " ", ReceivedArrow, " "}));
static_assert(Joins(LogMarkerText(TLogMarker::lmRequest2), {"[", LevelDebug, "] ", Protocol2Writer, " ", SentArrow, " "}));
static_assert(Joins(LogMarkerText(TLogMarker::lmAnswer2), {"[", LevelDebug, "] ", Protocol2Writer, " ", ReceivedArrow, " "}));
static_assert(Joins(LogMarkerText(TLogMarker::lmDriverError), {"[", LevelError, "] ", DriverWriter, " ", DriverErrorDash}));
static_assert(Joins(PrefixPattern, {StampPattern.substr(0, StampPattern.size() - 1), ThreadOpen, "hhhhhhhh", {&ThreadClose, 1}}));
static_assert(Joins(StampPattern, {"[", StampTimePattern, "]"}));
static_assert(PrefixLength == 36 && ThreadDigits == 8);

} // namespace

QByteArray StampTimeText(const QDateTime& time)
{
    return time.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss.zzz")).toLatin1();
}

QByteArray ThreadText(uint32_t thread)
{
    QByteArray digits(ThreadDigits, Qt::Uninitialized);
    WriteThreadDigits(digits.data(), thread);
    return digits;
}

void WriteThreadDigits(char* out, uint32_t thread)
{
    for (qsizetype i = ThreadDigits - 1; i >= 0; --i) {
        out[i] = UpperHexDigit(thread);
        thread >>= 4;
    }
}

QByteArray WriterText(std::string_view writer, std::string_view sign, QByteArrayView rest)
{
    QByteArray text;
    text.reserve(qsizetype(writer.size() + sign.size()) + rest.size() + 2);
    text.append(writer).append(' ').append(sign).append(' ').append(rest);
    return text;
}

void AppendLogLine(QByteArray& out, QByteArrayView time, QByteArrayView thread, std::initializer_list<QByteArrayView> text)
{
    out += '[';
    out += time;
    out += QByteArrayView(ThreadOpen);
    out += thread;
    out += ThreadClose;
    out += ' ';
    for (QByteArrayView piece : text)
        out += piece;
    out += QByteArrayView(LineEnd);
}

} // namespace kestrun
