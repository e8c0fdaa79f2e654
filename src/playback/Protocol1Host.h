// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ByteLink.h"
#include "DeviceLink.h"
#include "TrafficLog.h"

#include <QDeadlineTimer>
#include <memory>
#include <optional>

namespace kestrun {

// The host side of protocol 1 on a byte transport: ENQ, the device's NAK (ready) or ACK (an
// answer is waiting), the request frame, the device's ACK, the answer frame, the host's ACK.
//
// A request frame may run a fiscal operation, so it goes out once. It goes out again only when
// the device refused that very frame with NAK: the NAK is the first byte after the frame, the
// exchange so far held nothing unexplained (every byte a reply in its place, no late or stray
// byte, no silent round), nothing follows the NAK for a whole timeout, and the device, asked
// with ENQ, answers NAK: it holds no command and no answer. Any other doubt, and any failure at
// all after the frame has gone out, ends the exchange with deNoAnswer. Asking for an answer
// again (ENQ, or NAK to a broken answer frame) runs nothing and is done freely. Every wait
// lasts at most the timeout and every loop is bounded, so each exchange ends with a result code.
class TProtocol1Host
{
public:
    TProtocol1Host(std::unique_ptr<IByteLink> link, int timeoutMs, std::unique_ptr<TTrafficLog> log);

    TLinkAnswer Exchange(const QByteArray& request, uint32_t thread);

private:
    using TEntry = TTrafficLog::TEntry;
    static constexpr TEntry NoEntry = -1;

    // What comes from the device next: a control byte or a frame; stray bytes are passed over.
    struct TIncoming
    {
        enum TKind { inNothing, inControl, inFrame, inBrokenFrame } Kind = inNothing;
        uint8_t Control = 0;
        QByteArray Data;              // of a whole frame with a good LRC
        QList<TEntry> Entries;        // its log lines
    };
    enum class TFrameReply { Taken, AnswerComing, Refused, Silent };

    // The state of the exchange under way.
    struct TExchange
    {
        bool Clean = true;     // nothing unexplained arrived
        bool Heard = false;    // the device sent any byte
        bool FrameSent = false;
        int Waits = 0;         // waits begun; bounded so that no device keeps the host forever
        TEntry ReadyEnq = NoEntry, ReadyNak = NoEntry, Frame = NoEntry, FrameAck = NoEntry;
        QList<TEntry> Answer;  // the lines of the answer accepted and of the host's ACK
    };

    QByteArray Transfer(const QByteArray& request);
    void OpenLink();
    // ENQ until the device answers NAK with no reply to an earlier ENQ still owed.
    bool AwaitReady();
    TFrameReply AwaitFrameReply();
    TFrameReply AfterNak();
    TFrameReply ConfirmRefusal();
    // An STX starts the answer and an ACK says the device took the frame; another byte is
    // logged and left to the caller.
    std::optional<TFrameReply> FrameTaken(uint8_t byte, TEntry& entry);
    static TLinkAnswer NoAnswer(const TWireError& e);
    QByteArray AwaitAnswer(const QByteArray& request);

    // An STX starts a frame only when one is expected; otherwise it is a stray byte.
    TIncoming ReadIncoming(const QDeadlineTimer& deadline, bool frameExpected);
    void ReadFrameRest(TIncoming& incoming);
    std::optional<uint8_t> ReadByte(const QDeadlineTimer& deadline);
    // Reads and logs what has arrived and not been read; any of it makes the exchange unclean.
    // Returns the number of ACKs and NAKs among it.
    int Drain();
    QDeadlineTimer NextWait();
    void Unclean() { FExchange.Clean = false; }
    TEntry SendControl(uint8_t control);
    TEntry LogSent(QByteArrayView bytes);
    TEntry LogReceived(QByteArrayView bytes);
    void WriteOutRequest();
    void WriteLog(const TLinkAnswer& answer);

    std::unique_ptr<IByteLink> FLink;
    int FTimeout;
    std::unique_ptr<TTrafficLog> FLog;
    QByteArray FInput; // arrived and not yet read
    TExchange FExchange;
};

} // namespace kestrun
