#include "Protocol1Host.h"

#include "DriverErrors.h"
#include "Protocol1Frames.h"

#include <QDeadlineTimer>

namespace kestrun {

namespace {

// Rounds of ENQ before giving up; a long command answers ENQ with ACK until its answer is ready.
constexpr int MaxRounds = 10;
// Rounds in a row without any reply mean the device is not there.
constexpr int MaxSilentRounds = 3;
// Answer frames with a bad LRC asked for again before the exchange fails.
constexpr int MaxFrameRepeats = 3;

} // namespace

TProtocol1Host::TProtocol1Host(std::unique_ptr<IByteLink> link, int timeoutMs, std::unique_ptr<TTrafficLog> log)
    : FLink(std::move(link)), FTimeout(timeoutMs), FLog(std::move(log))
{
}

TLinkAnswer TProtocol1Host::Exchange(const QByteArray& request, uint32_t thread)
{
    if (request.size() > MaxFrameData)
        return {deFrameTooLong, {}, {}};
    if (FLog)
        FLog->SetThread(thread);
    try {
        return Transfer(request);
    } catch (const TWireError& e) {
        FInput.clear();
        return {e.Code, {}, e.Description};
    }
}

TLinkAnswer TProtocol1Host::Transfer(const QByteArray& request)
{
    FInput.clear();
    FLink->DiscardInput();
    FLink->Open(FTimeout);
    const QByteArray frame = Protocol1Frame(request);
    bool sent = false;     // the request went out at least once
    bool accepted = false; // the device acknowledged it
    bool replied = false;  // the device said anything at all
    int silent = 0;
    for (int round = 0; round < MaxRounds && silent < MaxSilentRounds; ++round) {
        Send(QByteArray(1, char(ctlENQ)));
        const std::optional<uint8_t> control = ReadControl();
        if (!control) {
            ++silent;
            continue;
        }
        silent = 0;
        replied = true;
        if (*control == ctlACK) {
            // Before the request went out a waiting answer is an old one: read and drop it.
            // After that the device keeps only the answer to this request.
            const std::optional<QByteArray> answer = ReadAnswer(FTimeout);
            if (answer && sent)
                return {0, *answer, {}};
            continue;
        }
        // NAK: the device holds no answer. Once it took the request, sending it again could
        // run a fiscal operation twice.
        if (accepted)
            throw TWireError{deNoAnswer, {}};
        Send(frame);
        sent = true;
        if (ReadControl() == std::optional<uint8_t>(ctlACK)) {
            accepted = true;
            if (const std::optional<QByteArray> answer = ReadAnswer(FTimeout))
                return {0, *answer, {}};
        }
    }
    throw TWireError{accepted ? deNoAnswer : replied ? deBadFrame : deNoLink, {}};
}

void TProtocol1Host::Send(QByteArrayView bytes)
{
    if (FLog)
        FLog->Sent(bytes);
    FLink->Write(bytes, FTimeout);
}

std::optional<uint8_t> TProtocol1Host::ReadByte(int timeoutMs)
{
    if (FInput.isEmpty())
        FInput = FLink->Read(qMax(0, timeoutMs));
    if (FInput.isEmpty())
        return std::nullopt;
    const auto byte = static_cast<uint8_t>(FInput.front());
    FInput.remove(0, 1);
    return byte;
}

void TProtocol1Host::LogReceived(QByteArrayView bytes)
{
    if (FLog)
        FLog->Received(bytes);
}

std::optional<uint8_t> TProtocol1Host::ReadControl()
{
    const QDeadlineTimer deadline(FTimeout);
    while (const std::optional<uint8_t> byte = ReadByte(deadline.remainingTime())) {
        LogReceived(QByteArray(1, char(*byte)));
        if (*byte == ctlACK || *byte == ctlNAK)
            return byte;
        if (deadline.hasExpired())
            break;
    }
    return std::nullopt;
}

std::optional<QByteArray> TProtocol1Host::ReadAnswer(int firstByteMs)
{
    for (int repeat = 0; repeat <= MaxFrameRepeats; ++repeat) {
        const QDeadlineTimer start(repeat == 0 ? firstByteMs : FTimeout);
        std::optional<uint8_t> byte;
        while ((byte = ReadByte(start.remainingTime())) && *byte != ctlSTX) {
            LogReceived(QByteArray(1, char(*byte)));
            if (start.hasExpired())
                return std::nullopt;
        }
        if (!byte)
            return std::nullopt;
        LogReceived(QByteArray(1, char(ctlSTX)));
        const std::optional<uint8_t> length = ReadByte(FTimeout);
        if (!length)
            return std::nullopt;
        LogReceived(QByteArray(1, char(*length)));
        QByteArray data;
        while (data.size() < *length) {
            const std::optional<uint8_t> b = ReadByte(FTimeout);
            if (!b) {
                LogReceived(data);
                return std::nullopt;
            }
            data += char(*b);
        }
        LogReceived(data);
        const std::optional<uint8_t> lrc = ReadByte(FTimeout);
        if (!lrc)
            return std::nullopt;
        LogReceived(QByteArray(1, char(*lrc)));
        if (*lrc == FrameLrc(data)) {
            Send(QByteArray(1, char(ctlACK)));
            return data;
        }
        Send(QByteArray(1, char(ctlNAK)));
    }
    throw TWireError{deBadFrame, {}};
}

} // namespace kestrun
