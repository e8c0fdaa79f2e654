#pragma once

#include "ByteLink.h"
#include "DeviceLink.h"
#include "TrafficLog.h"

#include <memory>
#include <optional>

namespace kestrun {

// The host side of protocol 1 on a byte transport: ENQ, the device's NAK (ready) or ACK (an
// answer is waiting), the request frame, the device's ACK, the answer frame, the host's ACK.
// Every wait lasts at most the timeout; bounded retries end in a negative result code.
class TProtocol1Host
{
public:
    TProtocol1Host(std::unique_ptr<IByteLink> link, int timeoutMs, std::unique_ptr<TTrafficLog> log);

    TLinkAnswer Exchange(const QByteArray& request, uint32_t thread);

private:
    TLinkAnswer Transfer(const QByteArray& request);
    void Send(QByteArrayView bytes);
    std::optional<uint8_t> ReadByte(int timeoutMs);
    // The device's ACK or NAK; other bytes before it are passed over.
    std::optional<uint8_t> ReadControl();
    // An answer frame whose first byte comes within firstByteMs; a frame with a bad LRC is
    // asked for again with NAK. Nothing when the frame does not arrive whole in time.
    std::optional<QByteArray> ReadAnswer(int firstByteMs);
    void LogReceived(QByteArrayView bytes);

    std::unique_ptr<IByteLink> FLink;
    int FTimeout;
    std::unique_ptr<TTrafficLog> FLog;
    QByteArray FInput; // arrived and not yet read
};

} // namespace kestrun
