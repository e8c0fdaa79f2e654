// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "LineSplitter.h"
#include "LogReader.h"

#include <QByteArrayView>
#include <QStringDecoder>
#include <optional>
#include <string>

namespace kestrun {

// The encoding a byte-order mark at the start of a log names, and the mark's length.
struct TByteOrderMark
{
    QByteArrayView Bytes;
    TTextEncoding Encoding;
};

// The mark `AHead` starts with; nothing when it starts with none.
std::optional<TByteOrderMark> FindByteOrderMark(QByteArrayView AHead);
// True while `AHead` is too short to tell: it is a proper beginning of some mark.
bool MayBeginByteOrderMark(QByteArrayView AHead);

// Turns the bytes of a log in one encoding into lines for the sink, chunk by chunk: a line, a
// UTF-16 unit or a UTF-8 character split across chunks waits for the rest.
class TLogDecoder
{
public:
    TLogDecoder(TTextEncoding AEncoding, ILogLineSink& ASink);

    // Throws Exception "No mapping for the Unicode character exists in the target multi-byte
    // code page" for a line that is not valid UTF-8; the lines before it have been delivered.
    void Feed(const char* AData, size_t ASize);
    // Hands over the last line when no terminator followed it.
    void Finish();

private:
    void AddSingleByteLine(std::string_view line);
    void AddUnicodeLine(std::u16string_view line);
    void AddUtf8Line(std::string_view line);
    void AddNamedLine(std::string_view line);
    void DecodeUtf16(const char* data, size_t size);

    TTextEncoding FEncoding;
    ILogLineSink& FSink;
    QStringDecoder FUtf8;
    QStringDecoder FNamed; // for teNamed
    qint64 FLines = 0;     // delivered, for the place of an undecodable one
    TLineSplitter<char> FBytes;
    TLineSplitter<char16_t> FUnits;
    std::u16string FUnitBuffer;
    int FOddByte = -1;
};

} // namespace kestrun
