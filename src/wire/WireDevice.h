// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "WireFaults.h"
#include "WirePeer.h"
#include "playback/Emulator.h"
#include "playback/Protocol1Frames.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <functional>
#include <mutex>
#include <optional>
#include <random>

namespace kestrun {

// A request the emulator ran and the answer it gave.
struct TExecution
{
    QByteArray Request;
    QByteArray Answer;
};

// What the device has done so far.
struct TDeviceTally
{
    QList<TExecution> Executed; // in order
    uint32_t Documents = 0;     // the documents the emulator has made
};

// The device side of protocol 1 around the emulator: answers ENQ with NAK, or with ACK and
// the answer the host has not acknowledged yet; takes a request frame, acknowledges it and
// sends the emulator's answer, again on NAK. Injects the wire faults. Lives on the thread of
// the event loop that feeds it.
class TWireDevice final : public QObject, public IWirePeer
{
public:
    explicit TWireDevice(TWireEmulatorSetup setup);

    // The connection the device talks on. A new one drops a frame half received and what
    // was still to be sent; an answer the host has not acknowledged stays waiting.
    void Connect(TWriter write, TCloser close, const QString& from) override;
    void Disconnect() override;
    void Receive(QByteArrayView bytes) override;

    // From any thread.
    TDeviceTally Tally() const;

private:
    void OnByte(uint8_t byte);
    void OnRequest(const QByteArray& request);
    void RunRequest(const QByteArray& request, uint16_t code);
    void FinishWork();
    void SendAnswer(bool first, uint16_t code);
    // ACK or NAK, with the stray bytes the faults put before it.
    void SendReply(uint8_t control);
    void SendSlowly(const QByteArray& bytes);
    void SendNextSlowByte();
    void ResetReceiving();
    // True in `percent` cases out of a hundred under random faults; never without them.
    bool Roll(int percent);

    TRegisterEmulator FEmulator;
    TWireFaults FFaults;
    TWriter FWrite;
    TCloser FClose;
    TFrameAssembler FFrame; // the request frame being received
    std::optional<QByteArray> FPending; // the answer not yet acknowledged
    QByteArray FRejected;               // the request refused last, taken when it comes again
    std::mt19937 FRandom;
    mutable std::mutex FTallyLock;
    TDeviceTally FTally;
    QByteArray FSlowQueue;
    QTimer FSlowTimer;
    QTimer FByteTimer; // a frame whose bytes stop coming is forgotten
    QTimer FWorkTimer; // runs while a request is being worked on
    QByteArray FWorking; // that request
    QByteArray FHeld;    // bytes that came meanwhile
};

} // namespace kestrun
