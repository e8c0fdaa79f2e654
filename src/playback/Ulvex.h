// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <cstdint>

namespace kestrun {

// The register driver control. Every method returns a result code - 0 success, a positive
// device error, a negative driver error - and leaves it with its text in ResultCode and
// ResultCodeDescription. A failure of the call itself is thrown as kestrun::Exception.
// One thread at a time uses a driver: the worker during a replay, the UI thread otherwise.
class TUlvex
{
public:
    virtual ~TUlvex() = default;

    // 1: TransferBytes carries hex text, two upper-case digits per byte, single blanks.
    virtual int32_t BinaryConversion() const = 0;
    virtual void SetBinaryConversion(int32_t value) = 0;
    // The request before ExchangeBytes, the answer frame after it.
    virtual QString TransferBytes() const = 0;
    virtual void SetTransferBytes(const QString& value) = 0;
    virtual int32_t Password() const = 0;
    virtual void SetPassword(int32_t value) = 0;
    virtual int32_t SysAdminPassword() const = 0;

    virtual int32_t ResultCode() const = 0;
    virtual QString ResultCodeDescription() const = 0;
    // Valid after GetECRStatus returned 0.
    virtual int32_t ECRMode() const = 0;
    virtual QString ECRModeDescription() const = 0;
    virtual int32_t ECRAdvancedMode() const = 0;
    virtual QString ECRAdvancedModeDescription() const = 0;

    virtual int32_t ExchangeBytes() = 0;
    virtual int32_t WaitForPrinting() = 0;
    virtual int32_t GetECRStatus() = 0;
    // The driver's own settings dialog (device and connection).
    virtual int32_t ShowProperties() = 0;
};

} // namespace kestrun
