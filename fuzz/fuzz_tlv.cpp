// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes given to the TLV renderer give text or the one error it may raise.
#include "log/Exception.h"
#include "tlv/TLVParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    kestrun::TTLVParser parser;
    parser.SetShowTagNumbers((data[0] & 0x80) != 0);
    parser.SetBaseIndent(data[0] & 0x7F);
    const kestrun::TByteString bytes(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    try {
        parser.ParseTLV(bytes);
    } catch (const kestrun::Exception& e) {
        if (e.Message() != QStringView(u"Неверная длина FVLN"))
            std::abort();
    }
    return 0;
}
