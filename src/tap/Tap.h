// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "RegisterLine.h"
#include "wire/WirePeer.h"

#include <QObject>
#include <functional>
#include <memory>

namespace kestrun {

class TTapLog;

// Sits on the line between a till and a register: every byte of either goes on to the other at
// once, unchanged and in order, and is handed to the log after. The till comes through a
// listening endpoint; the register is opened when the till comes and closed when it goes. A
// register that goes away ends the till's connection where the endpoint can end it, so the till
// sees what it would see on a direct line; otherwise the register is opened again when the till
// next sends. Lives on the thread of the event loop that feeds it.
class TTap final : public QObject, public IWirePeer
{
public:
    using TReporter = std::function<void(const QString& message)>;

    TTap(TRegisterLines& registers, TTapLog& log, TReporter report);
    ~TTap() override;

    void Connect(TWriter write, TCloser close, const QString& from) override;
    void Disconnect() override;
    void Receive(QByteArrayView bytes) override;

private:
    bool OpenRegister();
    void FromRegister(const QByteArray& bytes);
    void OnRegisterLost(uint64_t opened, const QString& why);
    void CloseTill();

    TRegisterLines& FRegisters;
    TTapLog& FLog;
    TReporter FReport;
    TWriter FTillWrite;
    TCloser FTillClose;
    std::unique_ptr<IRegisterLine> FRegister;
    uint64_t FTill = 0;           // counts the tills that came
    uint64_t FRegisterOpened = 0; // counts the lines opened to the register
};

} // namespace kestrun
