// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "log/Exception.h"
#include "playback/DriverErrors.h"
#include "playback/Ulvex.h"

#include <QStringList>
#include <functional>
#include <mutex>

namespace kestrun::test {

// What the fake device does with one request.
struct TFakeStep
{
    int32_t Result = 0;
    QString Answer;
    QString Throw; // non-empty: the call itself fails with this message
};

// A scripted driver: the script decides each exchange; sends and print waits are recorded.
class TFakeDriver final : public TUlvex
{
public:
    std::function<TFakeStep(const QString& request)> Script;
    std::function<void()> OnWaitForPrinting;

    QStringList Sent() const
    {
        std::lock_guard lock(FLock);
        return FSent;
    }
    QStringList WaitedAfter() const
    {
        std::lock_guard lock(FLock);
        return FWaitedAfter;
    }

    int32_t BinaryConversion() const override { return FBinaryConversion; }
    void SetBinaryConversion(int32_t value) override { FBinaryConversion = value; }
    QString TransferBytes() const override { return FTransferBytes; }
    void SetTransferBytes(const QString& value) override { FTransferBytes = value; }
    int32_t Password() const override { return FPassword; }
    void SetPassword(int32_t value) override { FPassword = value; }
    int32_t SysAdminPassword() const override { return 30; }
    int32_t ResultCode() const override { return FResultCode; }
    QString ResultCodeDescription() const override { return ResultDescription(FResultCode); }
    int32_t ECRMode() const override { return 0; }
    QString ECRModeDescription() const override { return {}; }
    int32_t ECRAdvancedMode() const override { return 0; }
    QString ECRAdvancedModeDescription() const override { return {}; }

    int32_t ExchangeBytes() override
    {
        {
            std::lock_guard lock(FLock);
            FSent << FTransferBytes;
        }
        const TFakeStep step = Script ? Script(FTransferBytes) : TFakeStep{0, FTransferBytes.left(2) + " 00", {}};
        if (!step.Throw.isEmpty())
            throw Exception(step.Throw);
        FTransferBytes = step.Answer;
        FResultCode = step.Result;
        return step.Result;
    }

    int32_t WaitForPrinting() override
    {
        {
            std::lock_guard lock(FLock);
            FWaitedAfter << FSent.last();
        }
        if (OnWaitForPrinting)
            OnWaitForPrinting();
        return 0;
    }

    int32_t GetECRStatus() override { return 0; }
    int32_t ShowProperties() override { return 0; }

private:
    mutable std::mutex FLock;
    QStringList FSent;
    QStringList FWaitedAfter;
    int32_t FBinaryConversion = 0;
    QString FTransferBytes;
    int32_t FPassword = 0;
    int32_t FResultCode = 0;
};

// Fails every request that starts with `prefix` with `result`; answers the rest with success.
inline std::function<TFakeStep(const QString&)> FailOn(const QString& prefix, int32_t result)
{
    return [prefix, result](const QString& request) {
        if (request.startsWith(prefix))
            return TFakeStep{result, {}, {}};
        return TFakeStep{0, request.left(2) + QStringLiteral(" 00"), {}};
    };
}

} // namespace kestrun::test
