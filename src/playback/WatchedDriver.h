// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Ulvex.h"

#include <optional>

namespace kestrun {

// How the command being sent has fared so far: the text is the one the player's error carries.
struct TCommandOutcome
{
    bool Failed = false;
    int32_t Code = 0; // the result code; 0 when the call itself failed
    QString Text;
};

// Passes every call to the driver it watches and remembers how the current command ended, so a
// failure the player passes over silently (the last command of a range) is still known.
class TWatchedDriver final : public TUlvex
{
public:
    explicit TWatchedDriver(TUlvex& driver) : FDriver(driver) {}

    // A new command starts: what is known of the previous one is returned and forgotten.
    TCommandOutcome TakeOutcome();

    int32_t BinaryConversion() const override { return FDriver.BinaryConversion(); }
    void SetBinaryConversion(int32_t value) override { FDriver.SetBinaryConversion(value); }
    QString TransferBytes() const override { return FDriver.TransferBytes(); }
    void SetTransferBytes(const QString& value) override { FDriver.SetTransferBytes(value); }
    int32_t Password() const override { return FDriver.Password(); }
    void SetPassword(int32_t value) override { FDriver.SetPassword(value); }
    int32_t SysAdminPassword() const override { return FDriver.SysAdminPassword(); }
    int32_t ResultCode() const override { return FDriver.ResultCode(); }
    QString ResultCodeDescription() const override { return FDriver.ResultCodeDescription(); }
    int32_t ECRMode() const override { return FDriver.ECRMode(); }
    QString ECRModeDescription() const override { return FDriver.ECRModeDescription(); }
    int32_t ECRAdvancedMode() const override { return FDriver.ECRAdvancedMode(); }
    QString ECRAdvancedModeDescription() const override { return FDriver.ECRAdvancedModeDescription(); }
    int32_t GetECRStatus() override { return FDriver.GetECRStatus(); }
    int32_t ShowProperties() override { return FDriver.ShowProperties(); }

    // The result of the last exchange counts, as for the player; a failed call counts whenever.
    int32_t ExchangeBytes() override;
    // Its result is not the command's (the player ignores it); only a failed call counts.
    int32_t WaitForPrinting() override;

private:
    template <class TCall>
    int32_t Watched(TCall call);

    TUlvex& FDriver;
    TCommandOutcome FOutcome;
};

} // namespace kestrun
