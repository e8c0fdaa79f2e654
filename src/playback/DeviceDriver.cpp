// SPDX-License-Identifier: GPL-3.0-or-later
#include "DeviceDriver.h"

#include "DeviceSettings.h"
#include "DriverErrors.h"
#include "decode/PrinterError.h"
#include "log/Bytes.h"
#include "log/Frames.h"

#include <mutex>

namespace kestrun {

namespace {

// Positions of the mode and sub-mode in the long status answer (code, error byte, then fields).
constexpr qsizetype StatusModePos = 15;
constexpr qsizetype StatusAdvancedModePos = 16;

std::mutex DialogLock;
TPropertiesDialog Dialog;

TPropertiesDialog CurrentDialog()
{
    std::lock_guard lock(DialogLock);
    return Dialog;
}

} // namespace

TDeviceDriver::TDeviceDriver(const QString& deviceText)
    : FDeviceText(deviceText), FLink(CreateDeviceLink(deviceText))
{
}

int32_t TDeviceDriver::SetResult(int32_t code, const QString& description)
{
    FResultCode = code;
    FResultCodeDescription = description.isEmpty() ? ResultDescription(code) : description;
    return code;
}

int32_t TDeviceDriver::SetAnswerResult(const TLinkAnswer& answer)
{
    if (answer.Code < 0)
        return SetResult(answer.Code, answer.Description);
    const int error = AnswerErrorByte(answer.Frame);
    return SetResult(error < 0 ? deBadAnswer : error);
}

int32_t TDeviceDriver::ExchangeBytes()
{
    if (FBinaryConversion != 1)
        return SetResult(deBadConversion);
    const QByteArray request = HexToBytes(FRequest.toLatin1());
    if (request.isEmpty())
        return SetResult(deNoData);
    const TLinkAnswer answer = FLink->Exchange(request);
    FTransferBytes = answer.Code < 0 ? QString() : QString::fromLatin1(StrToHex(answer.Frame));
    return SetAnswerResult(answer);
}

int32_t TDeviceDriver::WaitForPrinting()
{
    const TLinkAnswer result = FLink->WaitForPrinting();
    return SetResult(result.Code, result.Description);
}

int32_t TDeviceDriver::GetECRStatus()
{
    const TLinkAnswer answer = FLink->Exchange(QByteArray(1, '\x11') + IntToBin(FPassword, 4));
    const int32_t code = SetAnswerResult(answer);
    if (code != 0)
        return code;
    if (answer.Frame.size() <= StatusAdvancedModePos)
        return SetResult(deBadAnswer);
    FECRMode = static_cast<uint8_t>(answer.Frame[StatusModePos]);
    FECRModeDescription = GetECRModeDescription(FECRMode);
    FECRAdvancedMode = static_cast<uint8_t>(answer.Frame[StatusAdvancedModePos]);
    FECRAdvancedModeDescription = GetECRAdvancedModeDescription(FECRAdvancedMode);
    return code;
}

int32_t TDeviceDriver::ShowProperties()
{
    const TPropertiesDialog dialog = CurrentDialog();
    if (!dialog)
        return SetResult(deNoDialog);
    const std::optional<QString> chosen = dialog(FDeviceText);
    if (chosen && *chosen != FDeviceText) {
        // A bad text must neither be saved nor replace the working link.
        std::unique_ptr<IDeviceLink> link = CreateDeviceLink(*chosen);
        SaveDeviceText(*chosen);
        FLink = std::move(link);
        FDeviceText = *chosen;
    }
    return SetResult(0);
}

std::unique_ptr<TUlvex> CreateDriver(const QString& deviceText)
{
    return std::make_unique<TDeviceDriver>(deviceText);
}

void SetPropertiesDialog(TPropertiesDialog dialog)
{
    std::lock_guard lock(DialogLock);
    Dialog = std::move(dialog);
}

} // namespace kestrun
