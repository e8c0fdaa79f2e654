// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DeviceLink.h"
#include "Ulvex.h"

#include <functional>
#include <memory>
#include <optional>

namespace kestrun {

// The device text of the default device.
inline constexpr char DefaultDeviceText[] = "emulator";

// The driver control over a device link chosen by a device text.
class TDeviceDriver final : public TUlvex
{
public:
    explicit TDeviceDriver(const QString& deviceText);

    QString DeviceText() const { return FDeviceText; }

    int32_t BinaryConversion() const override { return FBinaryConversion; }
    void SetBinaryConversion(int32_t value) override { FBinaryConversion = value; }
    QString TransferBytes() const override { return FTransferBytes; }
    void SetTransferBytes(const QString& value) override { FTransferBytes = FRequest = value; }
    int32_t Password() const override { return FPassword; }
    void SetPassword(int32_t value) override { FPassword = value; }
    int32_t SysAdminPassword() const override { return FLink->SysAdminPassword(); }

    int32_t ResultCode() const override { return FResultCode; }
    QString ResultCodeDescription() const override { return FResultCodeDescription; }
    int32_t ECRMode() const override { return FECRMode; }
    QString ECRModeDescription() const override { return FECRModeDescription; }
    int32_t ECRAdvancedMode() const override { return FECRAdvancedMode; }
    QString ECRAdvancedModeDescription() const override { return FECRAdvancedModeDescription; }

    int32_t ExchangeBytes() override;
    int32_t WaitForPrinting() override;
    int32_t GetECRStatus() override;
    int32_t ShowProperties() override;

private:
    int32_t SetResult(int32_t code, const QString& description = {});
    int32_t SetAnswerResult(const TLinkAnswer& answer);

    QString FDeviceText;
    std::unique_ptr<IDeviceLink> FLink;
    int32_t FBinaryConversion = 1;
    QString FTransferBytes;
    // The last request written: a busy device is asked again without writing it anew.
    QString FRequest;
    int32_t FPassword = 1;
    int32_t FResultCode = 0;
    QString FResultCodeDescription;
    int32_t FECRMode = 0;
    QString FECRModeDescription;
    int32_t FECRAdvancedMode = 0;
    QString FECRAdvancedModeDescription;
};

// The driver for a device text; throws kestrun::Exception for an unknown device or bad options.
std::unique_ptr<TUlvex> CreateDriver(const QString& deviceText);

// The window's device dialog: gets the current device text, returns the chosen one, or
// nothing when the user cancelled. The core has no widgets, so the window installs it.
using TPropertiesDialog = std::function<std::optional<QString>(const QString& deviceText)>;
void SetPropertiesDialog(TPropertiesDialog dialog);

} // namespace kestrun
