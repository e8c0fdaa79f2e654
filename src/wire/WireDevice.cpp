// SPDX-License-Identifier: GPL-3.0-or-later
#include "WireDevice.h"

#include "log/Bytes.h"
#include "log/Command.h"

namespace kestrun {

namespace {

constexpr int InterByteMilliseconds = 500;

// Chances in percent of each random fault.
constexpr int StrayChance = 15;
constexpr int BadLrcChance = 10;
constexpr int DropChance = 10;
constexpr int RejectChance = 10;
constexpr int NoAnswerChance = 5;
constexpr int HoldChance = 10;
constexpr int CloseChance = 3;
// Stray bytes: the control bytes a host could mistake for a reply, and line noise.
constexpr uint8_t StrayKinds[] = {ctlNAK, ctlACK, ctlSTX, 0xFF};

} // namespace

TWireDevice::TWireDevice(TWireEmulatorSetup setup)
    : FEmulator(std::move(setup.Emulator)), FFaults(std::move(setup.Wire)), FRandom(FFaults.RandomSeed.value_or(0))
{
    FSlowTimer.setInterval(FFaults.SlowMilliseconds);
    connect(&FSlowTimer, &QTimer::timeout, this, &TWireDevice::SendNextSlowByte);
    FByteTimer.setSingleShot(true);
    FByteTimer.setInterval(InterByteMilliseconds);
    connect(&FByteTimer, &QTimer::timeout, this, &TWireDevice::ResetReceiving);
    FWorkTimer.setSingleShot(true);
    FWorkTimer.setInterval(FFaults.WorkMilliseconds);
    connect(&FWorkTimer, &QTimer::timeout, this, &TWireDevice::FinishWork);
}

void TWireDevice::Connect(TWriter write, TCloser close, const QString& /*from*/)
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
    FHeld.clear();
    ResetReceiving();
}

void TWireDevice::ResetReceiving()
{
    FByteTimer.stop();
    FFrame.Reset();
}

void TWireDevice::Receive(QByteArrayView bytes)
{
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        // A device at work reads nothing until it has finished.
        if (FWorkTimer.isActive()) {
            FHeld += bytes.sliced(i);
            return;
        }
        OnByte(static_cast<uint8_t>(bytes[i]));
    }
}

void TWireDevice::FinishWork()
{
    const QByteArray request = std::exchange(FWorking, {});
    RunRequest(request, GetCommandCodeOfData(StrToHex(request)));
    Receive(std::exchange(FHeld, {}));
}

void TWireDevice::OnByte(uint8_t byte)
{
    if (FFrame.Reading()) {
        const TFrameAssembler::TResult result = FFrame.Feed(byte);
        if (result == TFrameAssembler::frMore) {
            FByteTimer.start();
            return;
        }
        const QByteArray request = FFrame.Data();
        ResetReceiving();
        if (result == TFrameAssembler::frGood)
            OnRequest(request);
        else
            SendReply(ctlNAK);
        return;
    }
    if (byte == ctlENQ) {
        if (FPending) {
            SendReply(ctlACK);
            SendAnswer(false, 0);
        } else {
            SendReply(ctlNAK);
        }
    } else if (byte == ctlACK) {
        FPending.reset();
    } else if (byte == ctlNAK && FPending) {
        SendAnswer(false, 0);
    } else if (byte == ctlSTX) {
        FFrame.Start();
        FByteTimer.start();
    }
}

void TWireDevice::OnRequest(const QByteArray& request)
{
    const uint16_t code = GetCommandCodeOfData(StrToHex(request));
    if (FClose && (FFaults.Close.contains(code) || Roll(CloseChance))) {
        FClose();
        return;
    }
    if ((FFaults.Reject.contains(code) && request != FRejected) || Roll(RejectChance)) {
        FRejected = request;
        SendReply(ctlNAK);
        return;
    }
    FRejected.clear();
    if (FFaults.WorkMilliseconds > 0) {
        FWorking = request;
        FWorkTimer.start();
        return;
    }
    RunRequest(request, code);
}

void TWireDevice::RunRequest(const QByteArray& request, uint16_t code)
{
    SendReply(ctlACK);
    // A new request replaces the answer that waited for its acknowledgement.
    FPending.reset();
    if (FFaults.NoAnswer.contains(code) || Roll(NoAnswerChance))
        return;
    const TLinkAnswer answer = FEmulator.Exchange(request);
    Q_ASSERT(answer.Code == 0); // driver faults are refused on the wire
    {
        std::lock_guard lock(FTallyLock);
        FTally.Executed.append({request, answer.Frame});
        FTally.Documents = FEmulator.DocumentNumber();
    }
    FPending = answer.Frame;
    // A held answer goes out only when the host asks for it.
    if (!Roll(HoldChance))
        SendAnswer(true, code);
}

void TWireDevice::SendAnswer(bool first, uint16_t code)
{
    QByteArray frame = Protocol1Frame(*FPending);
    if ((first && FFaults.BadLrc.contains(code)) || FFaults.Garble.contains(GetCommandCodeOfData(StrToHex(*FPending)))
        || Roll(BadLrcChance))
        frame.back() = char(~frame.back());
    if (first && FFaults.Drop.contains(code))
        frame.remove(frame.size() - 2, 1);
    else if (Roll(DropChance))
        frame.remove(static_cast<qsizetype>(FRandom() % static_cast<uint32_t>(frame.size())), 1);
    SendSlowly(frame);
}

void TWireDevice::SendReply(uint8_t control)
{
    QByteArray bytes(1, char(control));
    // A NAK's stray byte, as some registers send one before it.
    if (FFaults.Stray && control == ctlNAK)
        bytes.prepend(char(*FFaults.Stray));
    if (Roll(StrayChance))
        bytes.prepend(char(StrayKinds[FRandom() % std::size(StrayKinds)]));
    SendSlowly(bytes);
}

bool TWireDevice::Roll(int percent)
{
    return FFaults.RandomSeed && static_cast<int>(FRandom() % 100) < percent;
}

TDeviceTally TWireDevice::Tally() const
{
    std::lock_guard lock(FTallyLock);
    return FTally;
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
    // Only a host that does not read lets the bytes pile up: it is dropped, as over TCP.
    if (FSlowQueue.size() > MaxUnreadBytes) {
        FSlowQueue.clear();
        if (FClose)
            FClose();
        return;
    }
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
