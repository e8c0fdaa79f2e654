// SPDX-License-Identifier: GPL-3.0-or-later
// Every decoder given any request and answer bytes gives text or the TLV renderer's error.
#include "decode/CommandView.h"
#include "decode/ParserCommands.h"
#include "log/Exception.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// The codes with a decoder of their own, and one without.
constexpr uint16_t Codes[] = {0xFF45, 0xFF46, 0xFF01, 0xFF0C, 0xFF4D, 0xFF61, 0xFF67, 0xFF69, 0xFF76,
                              0x10,   0x11,   0x17,   0x1E,   0x1F,   0x2F,   0x2D,   0x2E,   0x6B,
                              0x80,   0x81,   0x82,   0x83,   0x85,   0x89,   0x8D,   0xFC,   0x8E};

QByteArray CodeBytes(uint16_t code)
{
    return code > 0xFF ? QByteArray{static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)}
                       : QByteArray(1, static_cast<char>(code));
}

} // namespace

// Input: decoder selector, answer error byte, request length, then request bytes and answer bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    const QByteArray code = CodeBytes(Codes[data[0] % std::size(Codes)]);
    const QByteArray rest(reinterpret_cast<const char*>(data + 3), static_cast<qsizetype>(size - 3));
    const qsizetype split = std::min<qsizetype>(data[2], rest.size());

    kestrun::TCommand command;
    command.Protocol = kestrun::TProtocol::pProtocol1;
    command.SetData(kestrun::StrToHex(code + rest.left(split)));
    // A zero error byte lets the answer fields be read; others give the error line.
    command.SetAnswerData(kestrun::StrToHex(code + QByteArray(1, static_cast<char>(data[1] & 0x03 ? 0 : data[1])) + rest.mid(split)));
    command.SetPlayedAnswerData(kestrun::StrToHex(code + '\0' + rest.mid(split)));
    try {
        kestrun::ParseCommand(command);
        kestrun::MakeCommandRow(command);
    } catch (const kestrun::Exception& e) {
        if (e.Message() != QStringView(u"Неверная длина FVLN"))
            std::abort();
    }
    const kestrun::TCommandDetails details = kestrun::GetCommandDetails(command);
    if (details.Lines.isEmpty())
        std::abort();
    return 0;
}
