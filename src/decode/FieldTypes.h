// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FieldTexts.h"
#include "log/BinStream.h"

#include <QList>
#include <QString>
#include <cstdint>
#include <optional>

namespace kestrun {

// How a field's bytes are read and shown; the ordinal values are part of the format.
enum TFieldType : uint8_t {
    ftByte,
    ftUInt32,
    ftUint16,
    ftINN,
    ftBarcode,
    ftBarcodeTLV,
    ftKMAnswer,
    ftQuantity6,
    ftQuantity5,
    ftDateTime,
    ftDate,
    ftTime,
    ftSum,
    ftString,
    ftString40,
    ftTableValue,
    ftFieldType,
    ftCheckType,
    ftPaymentTypeSign,
    ftPaymentItemSign,
    ftTaxValue,
    ftSumm1Value,
    ftTax,
    ftTLV,
    ftTaxType,
    ftTax1,
    ftSoftVersion,
    ftECRMode,
    ftECRAdvancedMode,
    ftECRFlags,
    ftBatteryVoltage,
    ftPowerSourceVoltage,
    ftPortNumber,
    ftCheckType2,
    ftCheckItemLocalResult,
    ftCheckItemLocalError,
    ftMarkingType2,
    ftItemStatus,
    ftBarcodeOSU,
    ftMarkingType,
    ftMarkingTypeEx,
    ftAcceptOrDecline,
    ftKMSendAnswer,
    ftString16,
    ftDateTimeDoc,
    ftFNSessionState,
    ftFNCurrentDocument,
    ftFNDocumentData,
    ftFNLifeState,
};

inline bool IsAsciiText(QStringView text)
{
    for (const QChar c : text)
        if (c.unicode() > 0x7F)
            return false;
    return true;
}

// A decoded value. Numbers are kept as read and formatted when first asked for: most values
// of a command are never shown, and formatting costs more than reading.
struct TFieldValue
{
    QString Name;
    mutable QString Value;
    int64_t Number = 0;
    TFieldType FieldType = ftString;
    mutable bool Pending = false;
    // Names are looked up by their lower case, which for ASCII needs no locale: known once.
    bool AsciiName = IsAsciiText(Name);
};
using TFieldValues = QList<TFieldValue>;

// What a field type reads: one number of a fixed size, one text, or several named parts.
enum class TFieldKind : uint8_t { fkNumber, fkText, fkComposite };

// One row of the field-type table: everything the walk over a layout needs of a type.
struct TFieldTypeInfo
{
    TFieldType Type;
    TFieldKind Kind;
    uint8_t Size = 0;                       // bytes of a number
    bool BigEndian = false;                 // numbers are little-endian unless this is set
    std::optional<TCodeTable> CodeTable;    // a number shown as "code [text]" from this table
    QString (*FormatNumber)(int64_t) = nullptr;   // a number without a code table
    QString (*ReadText)(IBinStream&) = nullptr;
    // Appends the parts under their own names; `values` is null when nothing is kept.
    void (*ReadParts)(IBinStream&, TFieldValues* values) = nullptr;
    // Set for the types that render a TLV document, which throws on a malformed one (no other
    // type can fail a decode): reads what the type reads and throws what it would, making no text.
    void (*Check)(IBinStream&) = nullptr;
};

const TFieldTypeInfo& FieldTypeInfo(TFieldType type);
// The shown text of a number a number type read.
QString NumberText(TFieldType type, int64_t number);

} // namespace kestrun
