// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DeviceLink.h"
#include "EmulatorOptions.h"

#include <QByteArrayView>
#include <QDeadlineTimer>
#include <QMap>

namespace kestrun {

// A fiscal register in-process: keeps the state of shift, receipt, documents and settings
// tables, answers the commands the decoders know, and injects the faults of its options.
class TRegisterEmulator final : public IDeviceLink
{
public:
    explicit TRegisterEmulator(TEmulatorOptions options = {});

    TLinkAnswer Exchange(const QByteArray& request) override;
    TLinkAnswer WaitForPrinting() override;

    // The device mode byte as the status commands report it.
    uint8_t Mode() const;
    // The sub-mode byte: a print under way, or paper present.
    uint8_t SubMode() const;
    // The number of the last document made: shift openings, reports and receipts.
    uint32_t DocumentNumber() const { return FDocumentNumber; }

private:
    struct TReply
    {
        uint8_t Error = 0;
        QByteArray Data; // the answer fields behind the error byte
    };
    // A request without its command code.
    struct TRequest
    {
        uint16_t Code;
        QByteArrayView Body;
    };
    using THandler = TReply (TRegisterEmulator::*)(const TRequest&);
    struct TEmulatedCommand
    {
        uint16_t Code;
        qsizetype MinBody;
        THandler Handle;
    };
    static const TEmulatedCommand Commands[];

    TReply Answer(const TRequest& request);
    TReply ShortStatus(const TRequest& request);
    TReply LongStatus(const TRequest& request);
    TReply DeviceType(const TRequest& request);
    TReply FNStatus(const TRequest& request);
    TReply PrintText(const TRequest& request);
    TReply WriteTable(const TRequest& request);
    TReply ReadTable(const TRequest& request);
    TReply TableStructure(const TRequest& request);
    TReply FieldStructure(const TRequest& request);
    TReply ErrorText(const TRequest& request);
    TReply OpenShift(const TRequest& request);
    TReply XReport(const TRequest& request);
    TReply ZReport(const TRequest& request);
    TReply OpenReceipt(const TRequest& request);
    TReply Sale(const TRequest& request);
    TReply Operation(const TRequest& request);
    TReply Subtotal(const TRequest& request);
    TReply CloseReceipt(const TRequest& request);
    TReply CloseReceiptV2(const TRequest& request);
    TReply AcceptTLV(const TRequest& request);
    TReply CheckMarking(const TRequest& request);
    TReply BindMarking(const TRequest& request);
    TReply AcceptMarking(const TRequest& request);

    // Adds an amount to the receipt of the given type, opening it when none is open.
    uint8_t AddToReceipt(uint8_t type, int64_t amount);
    TReply FinishReceipt(int64_t paid, int64_t due, bool extended);
    uint32_t FiscalSign(int64_t total) const;

    TEmulatorOptions FOptions;
    bool FShiftOpen;
    uint16_t FShiftNumber = 0;
    uint32_t FDocumentNumber = 0;
    bool FReceiptOpen = false;
    uint8_t FReceiptType = 0;
    int64_t FReceiptTotal = 0;
    int FReceiptItems = 0;
    uint8_t FPreviousMode;
    uint8_t FLastError = 0;
    QDeadlineTimer FPrintEnd; // expired when no print is under way
    int FBusyLeft;
    QMap<uint32_t, QByteArray> FTableValues; // written cells by TableCellKey
};

} // namespace kestrun
