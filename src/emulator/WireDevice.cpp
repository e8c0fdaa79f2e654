#include "WireDevice.h"

#include "log/Bytes.h"
#include "log/Command.h"
#include "playback/Protocol1Frames.h"

namespace kestrun {

namespace {

constexpr int InterByteMilliseconds = 500;

} // namespace

TWireDevice::TWireDevice(TWireEmulatorSetup setup)
    : FEmulator(std::move(setup.Emulator)), FFaults(std::move(setup.Wire))
{
    FSlowTimer.setInterval(FFaults.SlowMilliseconds);
    connect(&FSlowTimer, &QTimer::timeout, this, &TWireDevice::SendNextSlowByte);
    FByteTimer.setSingleShot(true);
    FByteTimer.setInterval(InterByteMilliseconds);
    connect(&FByteTimer, &QTimer::timeout, this, &TWireDevice::ResetReceiving);
}

void TWireDevice::Connect(TWriter write, TCloser close)
{
    Disconnect();
    FWrite = std::move(write);
    FClose = std::move(close);
}

void TWireDevice::Disconnect()
{
    FWrite = nullptr;
    FClose = nullptr;
    FSlowQueue.clear();
    FSlowTimer.stop();
    ResetReceiving();
}

void TWireDevice::ResetReceiving()
{
    FByteTimer.stop();
    FState = TState::Idle;
    FData.clear();
}

void TWireDevice::Receive(QByteArrayView bytes)
{
    for (const char c : bytes)
        OnByte(static_cast<uint8_t>(c));
}

void TWireDevice::OnByte(uint8_t byte)
{
    switch (FState) {
    case TState::Idle:
        if (byte == ctlENQ) {
            if (FPending) {
                Send(QByteArray(1, char(ctlACK)));
                SendAnswer(false, 0);
            } else {
                Send(QByteArray(1, char(ctlNAK)));
            }
        } else if (byte == ctlACK) {
            FPending.reset();
        } else if (byte == ctlNAK && FPending) {
            SendAnswer(false, 0);
        } else if (byte == ctlSTX) {
            FState = TState::Length;
            FByteTimer.start();
        }
        return;
    case TState::Length:
        FLength = byte;
        FState = FLength == 0 ? TState::Lrc : TState::Data;
        break;
    case TState::Data:
        FData += char(byte);
        if (FData.size() == FLength)
            FState = TState::Lrc;
        break;
    case TState::Lrc: {
        const QByteArray request = FData;
        ResetReceiving();
        if (byte == FrameLrc(request))
            OnRequest(request);
        else
            Send(QByteArray(1, char(ctlNAK)));
        return;
    }
    }
    FByteTimer.start();
}

void TWireDevice::OnRequest(const QByteArray& request)
{
    const uint16_t code = GetCommandCodeOfData(StrToHex(request));
    if (FFaults.Close.contains(code)) {
        if (FClose)
            FClose();
        return;
    }
    Send(QByteArray(1, char(ctlACK)));
    // A new request replaces the answer that waited for its acknowledgement.
    FPending.reset();
    if (FFaults.NoAnswer.contains(code))
        return;
    const TLinkAnswer answer = FEmulator.Exchange(request);
    Q_ASSERT(answer.Code == 0); // driver faults are refused on the wire
    FPending = answer.Frame;
    SendAnswer(true, code);
}

void TWireDevice::SendAnswer(bool first, uint16_t code)
{
    QByteArray frame = Protocol1Frame(*FPending);
    if (first && FFaults.BadLrc.contains(code))
        frame.back() = char(~frame.back());
    if (first && FFaults.Drop.contains(code))
        frame.remove(frame.size() - 2, 1);
    SendSlowly(frame);
}

void TWireDevice::Send(const QByteArray& bytes)
{
    // A NAK's stray byte, as some registers send one before it.
    if (FFaults.Stray && bytes == QByteArray(1, char(ctlNAK)))
        SendSlowly(QByteArray(1, char(*FFaults.Stray)) + bytes);
    else
        SendSlowly(bytes);
}

void TWireDevice::SendSlowly(const QByteArray& bytes)
{
    if (!FWrite)
        return;
    if (FFaults.SlowMilliseconds == 0) {
        FWrite(bytes);
        return;
    }
    FSlowQueue += bytes;
    if (!FSlowTimer.isActive())
        FSlowTimer.start();
}

void TWireDevice::SendNextSlowByte()
{
    if (FSlowQueue.isEmpty() || !FWrite) {
        FSlowTimer.stop();
        return;
    }
    FWrite(FSlowQueue.left(1));
    FSlowQueue.remove(0, 1);
}

} // namespace kestrun
