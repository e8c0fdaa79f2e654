// SPDX-License-Identifier: GPL-3.0-or-later
#include "Protocol1Host.h"

#include "DriverErrors.h"
#include "log/Frames.h"
#include "Protocol1Frames.h"

namespace kestrun {

namespace {

// Rounds of ENQ before the device counts as not ready.
constexpr int MaxRounds = 10;
// Rounds in a row without any byte mean the device is not there.
constexpr int MaxSilentRounds = 3;
// Sendings of one request frame, each after the device refused the one before.
constexpr int MaxFrameSendings = 3;
// ENQs asking for an answer that has not come.
constexpr int MaxAnswerProbes = 3;
// Broken answer frames asked for again with NAK.
constexpr int MaxFrameRepeats = 3;
// Waits of one exchange, whatever the device sends.
constexpr int MaxWaits = 60;
// Reads of one drain, against a device that never stops sending.
constexpr int MaxDrainReads = 16;

bool IsControl(uint8_t byte) { return byte == ctlACK || byte == ctlNAK; }

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
    FExchange = {};
    TLinkAnswer answer;
    try {
        answer.Frame = Transfer(request);
    } catch (const TWireError& e) {
        answer = FExchange.FrameSent ? NoAnswer(e) : TLinkAnswer{e.Code, {}, e.Description};
    }
    WriteLog(answer);
    return answer;
}

QByteArray TProtocol1Host::Transfer(const QByteArray& request)
{
    OpenLink();
    if (!AwaitReady())
        throw TWireError{FExchange.Heard ? deBadFrame : deNoLink, {}};
    // Bytes that came with the NAK make the exchange unclean: they show a late or stray reply.
    Drain();
    const QByteArray frame = Protocol1Frame(request);
    for (int sending = 1;; ++sending) {
        FExchange.Frame = LogSent(frame);
        FExchange.FrameAck = NoEntry;
        WriteOutRequest();
        FExchange.FrameSent = true;
        FLink->Write(frame, FTimeout);
        TFrameReply reply = AwaitFrameReply();
        if (reply == TFrameReply::Refused) {
            if (sending == MaxFrameSendings)
                throw TWireError{deBadFrame, QStringLiteral("Устройство отвергло кадр %1 раза").arg(MaxFrameSendings)};
            reply = ConfirmRefusal();
            if (reply == TFrameReply::Refused && FLog)
                FLog->DriverError(deBadFrame, QStringLiteral("Устройство отвергло кадр, он отправлен снова"));
        }
        if (reply != TFrameReply::Refused)
            return AwaitAnswer(request);
    }
}

TLinkAnswer TProtocol1Host::NoAnswer(const TWireError& e)
{
    // Once the frame has gone out the command may have run, whatever ended the exchange: the
    // engineer must look at the register before anything else, so every such end is deNoAnswer,
    // with the cause beside it.
    if (e.Code == deNoAnswer)
        return {deNoAnswer, {}, e.Description};
    QString cause = e.Description.isEmpty() ? DriverErrorDescription(e.Code) : e.Description;
    if (!cause.isEmpty())
        cause[0] = cause[0].toLower();
    return {deNoAnswer, {}, QStringLiteral("%1 (%2)").arg(DriverErrorDescription(deNoAnswer), cause)};
}

void TProtocol1Host::OpenLink()
{
    FLink->Open(FTimeout);
    try {
        Drain();
    } catch (const TWireError& e) {
        // A connection the device closed between exchanges is made again.
        if (e.Code != deConnectionClosed)
            throw;
        FLink->Open(FTimeout);
    }
}

bool TProtocol1Host::AwaitReady()
{
    int owed = 0; // ENQs whose reply has not come
    int silent = 0;
    for (int round = 0; round < MaxRounds && silent < MaxSilentRounds; ++round) {
        owed = qMax(0, owed - Drain());
        const TEntry enq = SendControl(ctlENQ);
        ++owed;
        bool heard = false;
        bool answerAnnounced = false; // the device's ACK says it holds an answer
        std::optional<TEntry> lateNak; // a NAK that came while the reply to an earlier ENQ was owed
        QDeadlineTimer deadline = NextWait();
        for (TIncoming in; (in = ReadIncoming(deadline, answerAnnounced)).Kind != TIncoming::inNothing;
             deadline = NextWait()) {
            heard = true;
            answerAnnounced = false;
            if (in.Kind == TIncoming::inFrame) {
                // An answer the device still holds is an old one, as this request has not gone
                // out: acknowledged, it is forgotten.
                SendControl(ctlACK);
                if (owed == 0)
                    break;
                continue;
            }
            if (in.Kind == TIncoming::inBrokenFrame) {
                Unclean();
                continue;
            }
            if (owed == 0)
                Unclean(); // more replies than ENQs
            owed = qMax(0, owed - 1);
            if (in.Control == ctlACK) {
                answerAnnounced = true;
                lateNak.reset();
                continue;
            }
            if (owed == 0) {
                FExchange.ReadyEnq = enq;
                FExchange.ReadyNak = in.Entries.front();
                return true;
            }
            lateNak = in.Entries.front();
        }
        if (lateNak) {
            // The reply owed never came within a timeout: lost, or so late that it may still come.
            Unclean();
            FExchange.ReadyEnq = enq;
            FExchange.ReadyNak = *lateNak;
            return true;
        }
        if (heard) {
            silent = 0;
        } else {
            ++silent;
            Unclean(); // its reply may still come
        }
    }
    return false;
}

TProtocol1Host::TFrameReply TProtocol1Host::AwaitFrameReply()
{
    const QDeadlineTimer deadline = NextWait();
    while (const std::optional<uint8_t> byte = ReadByte(deadline)) {
        if (*byte == ctlACK) {
            FExchange.FrameAck = LogReceived(QByteArray(1, char(*byte)));
            return TFrameReply::Taken;
        }
        if (*byte == ctlSTX) {
            // The line between the frame and the answer keeps the log reader from taking the
            // answer's first line as the end of the request.
            if (FLog)
                FLog->Note("no ACK before the answer frame");
            FInput.prepend(char(*byte));
            return TFrameReply::AnswerComing;
        }
        LogReceived(QByteArray(1, char(*byte)));
        if (*byte == ctlNAK)
            return AfterNak();
        Unclean();
    }
    Unclean();
    return TFrameReply::Silent;
}

TProtocol1Host::TFrameReply TProtocol1Host::AfterNak()
{
    // Whatever follows the NAK shows that it was not the device's refusal of the frame.
    const QDeadlineTimer quiet = NextWait();
    while (const std::optional<uint8_t> byte = ReadByte(quiet)) {
        Unclean();
        TEntry entry = NoEntry;
        if (const std::optional<TFrameReply> reply = FrameTaken(*byte, entry))
            return *reply;
    }
    if (!FExchange.Clean)
        throw TWireError{deNoAnswer, {}};
    return TFrameReply::Refused;
}

std::optional<TProtocol1Host::TFrameReply> TProtocol1Host::FrameTaken(uint8_t byte, TEntry& entry)
{
    if (byte == ctlSTX) {
        FInput.prepend(char(byte));
        return TFrameReply::AnswerComing;
    }
    entry = LogReceived(QByteArray(1, char(byte)));
    if (byte == ctlACK) {
        FExchange.FrameAck = entry;
        return TFrameReply::Taken;
    }
    return std::nullopt;
}

TProtocol1Host::TFrameReply TProtocol1Host::ConfirmRefusal()
{
    // A NAK then quiet after the frame is not proof that the frame was refused: a device may
    // answer one ENQ with two NAKs, the second arriving just after the frame while the frame
    // runs for longer than the timeout. Only the device can tell, so it is asked with ENQ. A
    // NAK, with nothing else around it, says it holds no command and no answer: the frame may
    // go out again. An ACK says it has the command or its answer, which is then read; an STX
    // starts that answer. Anything else, or nothing, is a doubt, and a doubt never sends the
    // frame again.
    Drain();
    if (!FExchange.Clean)
        throw TWireError{deNoAnswer, {}};
    const TEntry enq = SendControl(ctlENQ);
    const std::optional<uint8_t> byte = ReadByte(NextWait());
    if (!byte)
        throw TWireError{deNoAnswer, {}};
    TEntry entry = NoEntry;
    if (const std::optional<TFrameReply> reply = FrameTaken(*byte, entry))
        return *reply;
    if (*byte == ctlNAK) {
        Drain();
        if (FExchange.Clean) {
            // The frame goes out again after this ENQ and NAK, as after the first ones.
            FExchange.ReadyEnq = enq;
            FExchange.ReadyNak = entry;
            return TFrameReply::Refused;
        }
    }
    throw TWireError{deNoAnswer, {}};
}

QByteArray TProtocol1Host::AwaitAnswer(const QByteArray& request)
{
    const QByteArray prefix = AnswerPrefix(request);
    int probes = 0;
    int repeats = 0;
    bool asked = false;   // an ENQ of ours waits for its reply
    bool refused = false; // the device answered that ENQ with NAK: it holds no answer
    QDeadlineTimer deadline = NextWait();
    for (;;) {
        TIncoming in = ReadIncoming(deadline, true);
        switch (in.Kind) {
        case TIncoming::inNothing:
            // The request may have run: its answer is asked for, the request never sent again.
            if (refused || probes == MaxAnswerProbes)
                throw TWireError{deNoAnswer, {}};
            Drain();
            SendControl(ctlENQ);
            ++probes;
            asked = true;
            break;
        case TIncoming::inControl:
            if (in.Control == ctlACK) {
                refused = false;
                if (FExchange.FrameAck == NoEntry && !asked)
                    FExchange.FrameAck = in.Entries.front();
            } else if (asked) {
                refused = true; // unless the answer still follows within the timeout
            } else {
                Unclean();
            }
            asked = false;
            break;
        case TIncoming::inBrokenFrame:
            if (++repeats > MaxFrameRepeats)
                throw TWireError{deBadFrame, {}};
            SendControl(ctlNAK);
            break;
        case TIncoming::inFrame:
            // Another command's answer is not this one's: left unacknowledged, it is not taken.
            if (!in.Data.startsWith(prefix)) {
                Unclean();
                break;
            }
            FExchange.Answer = in.Entries;
            FExchange.Answer << SendControl(ctlACK);
            return in.Data;
        }
        deadline = NextWait();
    }
}

TProtocol1Host::TIncoming TProtocol1Host::ReadIncoming(const QDeadlineTimer& deadline, bool frameExpected)
{
    TIncoming in;
    while (const std::optional<uint8_t> byte = ReadByte(deadline)) {
        const TEntry entry = LogReceived(QByteArray(1, char(*byte)));
        if (IsControl(*byte)) {
            in.Kind = TIncoming::inControl;
            in.Control = *byte;
            in.Entries << entry;
            return in;
        }
        if (*byte == ctlSTX && frameExpected) {
            in.Entries << entry;
            ReadFrameRest(in);
            return in;
        }
        Unclean();
    }
    return in;
}

void TProtocol1Host::ReadFrameRest(TIncoming& in)
{
    in.Kind = TIncoming::inBrokenFrame;
    TFrameAssembler frame;
    frame.Start();
    // The length, the data and the LRC go on log lines of their own, as the driver writes them.
    while (const std::optional<uint8_t> byte = ReadByte(QDeadlineTimer(FTimeout))) {
        const TFrameAssembler::TPart part = frame.Next();
        const TFrameAssembler::TResult result = frame.Feed(*byte);
        if (part == TFrameAssembler::fpData) {
            if (frame.Next() == TFrameAssembler::fpLrc)
                in.Entries << LogReceived(frame.Data());
            continue;
        }
        in.Entries << LogReceived(QByteArray(1, char(*byte)));
        if (result == TFrameAssembler::frGood) {
            in.Kind = TIncoming::inFrame;
            in.Data = frame.Data();
        }
        if (result != TFrameAssembler::frMore)
            return;
    }
    if (frame.Next() == TFrameAssembler::fpData && !frame.Data().isEmpty())
        in.Entries << LogReceived(frame.Data());
}

std::optional<uint8_t> TProtocol1Host::ReadByte(const QDeadlineTimer& deadline)
{
    if (FInput.isEmpty())
        FInput = FLink->Read(static_cast<int>(qMax<qint64>(0, deadline.remainingTime())));
    if (FInput.isEmpty())
        return std::nullopt;
    FExchange.Heard = true;
    const auto byte = static_cast<uint8_t>(FInput.front());
    FInput.remove(0, 1);
    return byte;
}

int TProtocol1Host::Drain()
{
    int controls = 0;
    for (int i = 0; i < MaxDrainReads; ++i) {
        const QByteArray stale = FInput.isEmpty() ? FLink->Read(0) : std::exchange(FInput, {});
        if (stale.isEmpty())
            break;
        FExchange.Heard = true;
        Unclean();
        LogReceived(stale);
        controls += static_cast<int>(std::count_if(stale.begin(), stale.end(), [](char c) { return IsControl(uint8_t(c)); }));
    }
    return controls;
}

QDeadlineTimer TProtocol1Host::NextWait()
{
    if (++FExchange.Waits > MaxWaits)
        throw TWireError{FExchange.FrameSent ? deNoAnswer : deBadFrame, {}};
    return QDeadlineTimer(FTimeout);
}

TProtocol1Host::TEntry TProtocol1Host::SendControl(uint8_t control)
{
    const QByteArray byte(1, char(control));
    const TEntry entry = LogSent(byte);
    FLink->Write(byte, FTimeout);
    return entry;
}

TProtocol1Host::TEntry TProtocol1Host::LogSent(QByteArrayView bytes) { return FLog ? FLog->Sent(bytes) : NoEntry; }

TProtocol1Host::TEntry TProtocol1Host::LogReceived(QByteArrayView bytes)
{
    return FLog ? FLog->Received(bytes) : NoEntry;
}

void TProtocol1Host::WriteOutRequest()
{
    if (!FLog)
        return;
    // The request is on disk before it goes out: should the process die while the device runs
    // it, the log still shows that it was sent.
    for (const TEntry entry : {FExchange.ReadyEnq, FExchange.ReadyNak, FExchange.Frame})
        FLog->Follow(entry);
    FLog->WriteOut();
}

void TProtocol1Host::WriteLog(const TLinkAnswer& answer)
{
    if (!FLog)
        return;
    // The reader follows the request that went out and, when one was accepted, its answer.
    if (FExchange.Frame != NoEntry) {
        if (FExchange.FrameAck != NoEntry)
            FLog->Follow(FExchange.FrameAck);
        if (answer.Code == 0)
            for (const TEntry entry : FExchange.Answer)
                FLog->Follow(entry);
    }
    FLog->Flush(answer.Code, answer.Description.isEmpty() ? DriverErrorDescription(answer.Code) : answer.Description,
                TTrafficLog::TResultLine::AlsoAsDriverError);
}

} // namespace kestrun
