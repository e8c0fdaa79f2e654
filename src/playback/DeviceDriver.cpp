// SPDX-License-Identifier: GPL-3.0-or-later
#include "DeviceDriver.h"

#include "DeviceSettings.h"
#include "DriverErrors.h"
#include "decode/CommandCatalogue.h"
#include "decode/ParserCommands.h"
#include "decode/PrinterError.h"
#include "log/Bytes.h"
#include "log/Frames.h"

#include <algorithm>
#include <mutex>

namespace kestrun {

namespace {

// Position of a field in the long status answer, as its layout places it.
qsizetype StatusPosition(QStringView name) { return AnswerFieldPosition(LongStatusCode, name).value(); }

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
    const TLinkAnswer answer = FLink->Exchange(QByteArray(1, char(LongStatusCode)) + IntToBin(FPassword, 4));
    const int32_t code = SetAnswerResult(answer);
    if (code != 0)
        return code;
    static const qsizetype modePos = StatusPosition(u"ECRMode");
    static const qsizetype advancedModePos = StatusPosition(u"ECRAdvancedMode");
    if (answer.Frame.size() <= std::max(modePos, advancedModePos))
        return SetResult(deBadAnswer);
    FECRMode = static_cast<uint8_t>(answer.Frame[modePos]);
    FECRModeDescription = GetECRModeDescription(FECRMode);
    FECRAdvancedMode = static_cast<uint8_t>(answer.Frame[advancedModePos]);
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
