#pragma once

#include "WireFaults.h"
#include "playback/Emulator.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <functional>
#include <optional>

namespace kestrun {

// The device side of protocol 1 around the emulator: answers ENQ with NAK, or with ACK and
// the answer the host has not acknowledged yet; takes a request frame, acknowledges it and
// sends the emulator's answer, again on NAK. Injects the wire faults. Lives on the thread of
// the event loop that feeds it.
class TWireDevice final : public QObject
{
public:
    using TWriter = std::function<void(const QByteArray& bytes)>;
    using TCloser = std::function<void()>;

    explicit TWireDevice(TWireEmulatorSetup setup);

    // The connection the device talks on. A new one drops a frame half received and what
    // was still to be sent; an answer the host has not acknowledged stays waiting.
    void Connect(TWriter write, TCloser close);
    void Disconnect();
    void Receive(QByteArrayView bytes);

private:
    enum class TState { Idle, Length, Data, Lrc };

    void OnByte(uint8_t byte);
    void OnRequest(const QByteArray& request);
    void SendAnswer(bool first, uint16_t code);
    void Send(const QByteArray& bytes);
    void SendSlowly(const QByteArray& bytes);
    void SendNextSlowByte();
    void ResetReceiving();

    TRegisterEmulator FEmulator;
    TWireFaults FFaults;
    TWriter FWrite;
    TCloser FClose;
    TState FState = TState::Idle;
    uint8_t FLength = 0;
    QByteArray FData;
    std::optional<QByteArray> FPending; // the answer not yet acknowledged
    QByteArray FSlowQueue;
    QTimer FSlowTimer;
    QTimer FByteTimer; // a frame whose bytes stop coming is forgotten
};

} // namespace kestrun
