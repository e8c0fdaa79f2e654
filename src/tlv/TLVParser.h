#pragma once

#include "log/Bytes.h"

#include <QString>

namespace kestrun {

// Renders fiscal-data TLV elements as text, one line per element, containers indented.
// Throws kestrun::Exception ("TLV length error", "Неверная длина FVLN", "to large data", ...).
class TTLVParser
{
public:
    TTLVParser();
    ~TTLVParser();

    bool ShowTagNumbers() const;
    void SetShowTagNumbers(bool value);
    int32_t BaseIndent() const;
    void SetBaseIndent(int32_t value);

    QString ParseTLV(const TByteString& AData);

    // ... (private members are the TLV team's)
};

} // namespace kestrun
