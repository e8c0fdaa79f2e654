// SPDX-License-Identifier: GPL-3.0-or-later
// Random device bytes and timings against the protocol-1 host: every exchange ends, and the
// device runs no request frame twice. The device is taken to run every frame it is sent, unless
// it says otherwise in the only way the protocol has: asked with ENQ after the frame, it answers
// with a lone NAK (it holds no command and no answer), and it has sent nothing but NAKs since
// the frame. A frame sent while the one before may have run is a second execution.
#include "playback/ByteLink.h"
#include "playback/DriverErrors.h"
#include "log/Frames.h"
#include "playback/Protocol1Frames.h"
#include "playback/Protocol1Host.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

using namespace kestrun;

// A sale and a status request: each exchange of a run sends one of them.
const QByteArray Requests[] = {
    QByteArray::fromHex("801E000000E8030000001027000000010000000000"),
    QByteArray::fromHex("101E000000"),
};

// The device's side as a script read from the fuzzer's bytes. Each read takes one step:
//   00-3F  the next 1-64 bytes of the script arrive at once
//   40-7F  nothing arrives: the wait times out
//   80-BF  a well-formed answer frame to the request arrives, with 0-63 bytes after its code
//   C0-FD  one control byte arrives: ACK, NAK, STX or ENQ
//   FE     the connection closes
//   FF     a write fails
class TScriptedLink final : public IByteLink
{
public:
    TScriptedLink(const uint8_t* data, size_t size) : FData(data), FSize(size) {}

    void StartExchange(const QByteArray& request)
    {
        FFrame = Protocol1Frame(request);
        FRequest = request;
        FMayHaveRun = false;
    }

    void Open(int) override {}
    void Close() override {}

    void Write(QByteArrayView bytes, int) override
    {
        if (Peek() == 0xFF) {
            ++FPos;
            throw TWireError{dePortError, {}};
        }
        if (bytes == FFrame) {
            if (FMayHaveRun)
                std::abort();
            FMayHaveRun = true;
            FRan = false;
            FAsked = false;
        } else if (bytes == QByteArray(1, char(ctlENQ)) && FMayHaveRun) {
            FAsked = true;
        }
    }

    QByteArray Read(int) override
    {
        const QByteArray chunk = NextChunk();
        if (FMayHaveRun && !chunk.isEmpty()) {
            // Anything but NAKs after the frame shows that the device took it.
            FRan = FRan || chunk.count(char(ctlNAK)) != chunk.size();
            if (FAsked && !FRan && chunk == QByteArray(1, char(ctlNAK)))
                FMayHaveRun = false;
            FAsked = false;
        }
        return chunk;
    }

private:
    int Peek() const { return FPos < FSize ? FData[FPos] : -1; }

    QByteArray Take(size_t count)
    {
        count = std::min(count, FSize - FPos);
        const QByteArray bytes(reinterpret_cast<const char*>(FData + FPos), static_cast<qsizetype>(count));
        FPos += count;
        return bytes;
    }

    QByteArray NextChunk()
    {
        const int step = Peek();
        if (step < 0)
            return {};
        ++FPos;
        if (step < 0x40)
            return Take(static_cast<size_t>(step) + 1);
        if (step < 0x80)
            return {};
        if (step < 0xC0)
            return Protocol1Frame(AnswerPrefix(FRequest) + Take(static_cast<size_t>(step & 0x3F)));
        if (step < 0xFE) {
            static constexpr uint8_t Controls[] = {ctlACK, ctlNAK, ctlSTX, ctlENQ};
            return QByteArray(1, char(Controls[step & 3]));
        }
        throw TWireError{deConnectionClosed, {}};
    }

    const uint8_t* FData;
    size_t FSize;
    size_t FPos = 0;
    QByteArray FRequest;
    QByteArray FFrame;
    bool FMayHaveRun = false; // the device may have run the frame sent last
    bool FRan = false;        // it has sent more than NAKs since that frame
    bool FAsked = false;      // an ENQ went out after the frame, no reply read yet
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the requests of three exchanges and whether a traffic log is kept.
    const uint8_t setup = data[0];
    auto owned = std::make_unique<TScriptedLink>(data + 1, size - 1);
    TScriptedLink& link = *owned;
    std::unique_ptr<TTrafficLog> log;
    if (setup & 0x80)
        log = std::make_unique<TTrafficLog>(QStringLiteral("/dev/null"));
    TProtocol1Host host(std::move(owned), 1000, std::move(log));
    for (int exchange = 0; exchange < 3; ++exchange) {
        const QByteArray& request = Requests[(setup >> exchange) & 1];
        link.StartExchange(request);
        const TLinkAnswer answer = host.Exchange(request, 1);
        // An accepted answer is this request's; a failure carries no answer.
        if (answer.Code == 0 ? !answer.Frame.startsWith(AnswerPrefix(request)) : !answer.Frame.isEmpty())
            std::abort();
        if (answer.Code > 0)
            std::abort();
    }
    return 0;
}
