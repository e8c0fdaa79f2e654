// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <cstdint>

namespace kestrun {

// The code tables behind enumerated field values. "Other" codes give the table's fall-back text.
enum class TCodeTable {
    ctFieldType,
    ctCheckType,
    ctCheckType2,
    ctPaymentTypeSign,
    ctPaymentItemSign,
    ctTaxType,
    ctTax1,
    ctPortNumber,
    ctItemStatus,
    ctCheckItemLocalError,
    ctMarkingType2,
    ctMarkingType,       // keyed by the big-endian 16-bit value
    ctMarkingTypeEx,
    ctFNSessionState,
    ctFNCurrentDocument,
    ctFNDocumentData,
    ctKMServerError,     // server error code of a marking-code check answer
};

QString CodeText(TCodeTable table, int64_t code);

// Texts built from single bits; lines joined by CR LF, no trailing line break.
QString ECRFlagsText(uint16_t flags);
QString FNLifeStateText(uint8_t state);          // starts with a line break
QString CheckItemLocalResultText(uint8_t result);
QString KMCheckingStatusText(uint8_t status);

} // namespace kestrun
