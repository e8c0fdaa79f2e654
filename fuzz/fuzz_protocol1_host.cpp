// Random device bytes and timings against the protocol-1 host: every exchange ends, and a request
// frame goes out again only after the device's NAK to it: a NAK alone as the first thing the
// device sent after the frame, and then nothing until a wait timed out.
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
        FFrameSent = false;
        FAfterFrame = TAfterFrame::Nothing;
    }

    void Open(int) override {}
    void Close() override {}

    void Write(QByteArrayView bytes, int) override
    {
        if (Peek() == 0xFF) {
            ++FPos;
            throw TWireError{dePortError, {}};
        }
        if (bytes != FFrame)
            return;
        // The rule under test: a frame again only after the device's NAK to it.
        if (FFrameSent && FAfterFrame != TAfterFrame::NakThenQuiet)
            std::abort();
        FFrameSent = true;
        FAfterFrame = TAfterFrame::Nothing;
    }

    QByteArray Read(int) override
    {
        const QByteArray chunk = NextChunk();
        if (FFrameSent)
            FAfterFrame = Next(FAfterFrame, chunk);
        return chunk;
    }

private:
    // What the device has sent since the frame went out.
    enum class TAfterFrame { Nothing, Nak, NakThenQuiet, More };

    static TAfterFrame Next(TAfterFrame state, const QByteArray& chunk)
    {
        switch (state) {
        case TAfterFrame::Nothing:
            return chunk.isEmpty() ? state : chunk == QByteArray(1, char(ctlNAK)) ? TAfterFrame::Nak : TAfterFrame::More;
        case TAfterFrame::Nak:
            return chunk.isEmpty() ? TAfterFrame::NakThenQuiet : TAfterFrame::More;
        case TAfterFrame::NakThenQuiet:
            return chunk.isEmpty() ? state : TAfterFrame::More;
        case TAfterFrame::More:
            break;
        }
        return TAfterFrame::More;
    }

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
    bool FFrameSent = false;
    TAfterFrame FAfterFrame = TAfterFrame::Nothing;
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
