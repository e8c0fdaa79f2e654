// SPDX-License-Identifier: GPL-3.0-or-later
#include "Tap.h"

#include "TapLog.h"
#include "playback/ByteLink.h"
#include "playback/DriverErrors.h"

#include <QTimer>

namespace kestrun {

TTap::TTap(TRegisterLines& registers, TTapLog& log, TReporter report)
    : FRegisters(registers), FLog(log), FReport(std::move(report))
{
}

TTap::~TTap() = default;

void TTap::Connect(TWriter write, TCloser close, const QString& from)
{
    // Endpoints hand over one till at a time; whatever was left of one before ends here.
    if (FTillWrite)
        Disconnect();
    FTillWrite = std::move(write);
    FTillClose = std::move(close);
    FReport(QStringLiteral("the till is connected from %1").arg(from));
    // Opened once the endpoint has finished taking the till, so that a failure may end its connection.
    QTimer::singleShot(0, this, [this, till = ++FTill] {
        if (till == FTill && FTillWrite && !FRegister)
            OpenRegister();
    });
}

void TTap::Disconnect()
{
    if (!FTillWrite)
        return;
    FTillWrite = nullptr;
    FTillClose = nullptr;
    FRegister.reset();
    FLog.SideClosed();
    FReport(QStringLiteral("the till went away; waiting for it"));
}

void TTap::Receive(QByteArrayView bytes)
{
    if (!FRegister && !OpenRegister())
        return;
    // Queued before it goes on: the emulator answers from inside Write.
    FLog.Crossed(TTapSide::tsTill, bytes.toByteArray());
    FRegister->Write(bytes);
    // A till waits for each answer; one that keeps sending while the register cannot take it
    // would pile up here without end.
    if (FRegister && FRegister->Pending() > MaxUnreadBytes) {
        FReport(QStringLiteral("the till sends faster than the register takes it (%1 bytes waiting); its connection is closed")
                    .arg(FRegister->Pending()));
        FRegister.reset();
        FLog.SideClosed();
        CloseTill();
    }
}

bool TTap::OpenRegister()
{
    try {
        const uint64_t opened = ++FRegisterOpened;
        FRegister = FRegisters.Open([this](const QByteArray& bytes) { FromRegister(bytes); },
                                    [this, opened](const QString& why) { OnRegisterLost(opened, why); });
        FReport(QStringLiteral("the register is open"));
        return true;
    } catch (const TWireError& e) {
        FReport(QStringLiteral("cannot open the register: %1")
                    .arg(e.Description.isEmpty() ? DriverErrorDescription(e.Code) : e.Description));
        // The till tries again by connecting again; through a pseudo-terminal, by sending again.
        CloseTill();
        return false;
    }
}

void TTap::FromRegister(const QByteArray& bytes)
{
    FLog.Crossed(TTapSide::tsRegister, bytes);
    if (FTillWrite)
        FTillWrite(bytes);
}

void TTap::OnRegisterLost(uint64_t opened, const QString& why)
{
    // Told from inside the line's own calls, it is acted on once they have returned; a line
    // closed or replaced by then is no news.
    QTimer::singleShot(0, this, [this, opened, why] {
        if (opened != FRegisterOpened || !FRegister)
            return;
        FRegister.reset();
        FLog.SideClosed();
        FReport(QStringLiteral("the register went away: %1").arg(why));
        CloseTill();
    });
}

void TTap::CloseTill()
{
    // A copy: closing calls Disconnect, which clears the member.
    if (const TCloser close = FTillClose)
        close();
}

} // namespace kestrun
