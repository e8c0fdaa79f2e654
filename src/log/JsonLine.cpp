// SPDX-License-Identifier: GPL-3.0-or-later
#include "JsonLine.h"

#include "Codepages.h"

#include <QChar>
#include <algorithm>
#include <array>
#include <cstring>
#include <charconv>
#include <iterator>
#include <utility>

namespace kestrun {

namespace {

// The two-character JSON escape of a character, or null.
const char* ShortEscape(char32_t c)
{
    switch (c) {
    case '"': return "\\\"";
    case '\\': return "\\\\";
    case '\n': return "\\n";
    case '\r': return "\\r";
    case '\t': return "\\t";
    default: return nullptr;
    }
}

// UTF-8 of each Windows-1251 byte from 0x80 up, built once.
const std::array<QByteArray, 128>& HighHalfUtf8()
{
    static const std::array<QByteArray, 128> table = [] {
        std::array<QByteArray, 128> t;
        for (int b = 0x80; b < 0x100; ++b) {
            const char byte = char(b);
            t[size_t(b - 0x80)] = Cp1251ToUnicode(QByteArrayView(&byte, 1)).toUtf8();
        }
        return t;
    }();
    return table;
}

} // namespace

void AppendJsonString(QByteArray& out, const QString& value)
{
    static constexpr char hex[] = "0123456789abcdef";
    // Encoded straight into `out`, sized for the worst case (a \u00XX escape per character):
    // rows of long texts are written by the hundred thousand.
    const qsizetype start = out.size();
    out.resize(start + value.size() * 6 + 2);
    char* p = out.data() + start;
    *p++ = '"';
    const char16_t* c = reinterpret_cast<const char16_t*>(value.constData());
    const char16_t* const end = c + value.size();
    for (; c != end; ++c) {
        char32_t u = *c;
        if (u >= 0x20 && u < 0x80 && u != '"' && u != '\\') {
            *p++ = static_cast<char>(u);
            continue;
        }
        if (u < 0x80) {
            if (const char* escape = ShortEscape(u)) {
                *p++ = escape[0];
                *p++ = escape[1];
            } else {
                *p++ = '\\';
                *p++ = 'u';
                *p++ = '0';
                *p++ = '0';
                *p++ = hex[u >> 4];
                *p++ = hex[u & 0xF];
            }
            continue;
        }
        // Cyrillic, the rest of most texts, takes two bytes and no further test.
        if (u < 0x800) {
            *p++ = static_cast<char>(0xC0 | (u >> 6));
            *p++ = static_cast<char>(0x80 | (u & 0x3F));
            continue;
        }
        if (QChar::isHighSurrogate(u) && c + 1 != end && QChar::isLowSurrogate(c[1]))
            u = QChar::surrogateToUcs4(static_cast<char16_t>(u), *++c);
        else if (QChar::isSurrogate(u))
            u = QChar::ReplacementCharacter;
        if (u < 0x10000) {
            *p++ = static_cast<char>(0xE0 | (u >> 12));
            *p++ = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        } else {
            *p++ = static_cast<char>(0xF0 | (u >> 18));
            *p++ = static_cast<char>(0x80 | ((u >> 12) & 0x3F));
            *p++ = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        }
        *p++ = static_cast<char>(0x80 | (u & 0x3F));
    }
    *p++ = '"';
    out.truncate(p - out.constData());
}

// Hex text, the usual content of a record's fields, is copied without conversion.
void AppendJson1251(QByteArray& out, QByteArrayView value)
{
    static constexpr char Hex[] = "0123456789abcdef";
    out += '"';
    const char* const end = value.data() + value.size();
    for (const char* p = value.data(); p != end; ++p) {
        // Runs of plain ASCII, hex text above all, are copied in one go.
        const char* run = p;
        while (run != end && static_cast<unsigned char>(*run) >= 0x20 && static_cast<unsigned char>(*run) < 0x80 &&
               *run != '"' && *run != '\\')
            ++run;
        if (run != p) {
            out.append(p, run - p);
            p = run;
            if (p == end)
                break;
        }
        const char c = *p;
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x80) {
            out += HighHalfUtf8()[u - 0x80];
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else {
            out += "\\u00";
            out += Hex[u >> 4];
            out += Hex[u & 0xF];
        }
    }
    out += '"';
}


QByteArray& TJsonLine::Value(std::string_view AName)
{
    // One append per name: the lines are written by the hundred thousand.
    char head[64];
    const size_t length = std::min(AName.size(), sizeof head - 4);
    size_t n = 0;
    if (!std::exchange(FFirst, false))
        head[n++] = ',';
    head[n++] = '"';
    std::memcpy(head + n, AName.data(), length);
    n += length;
    head[n++] = '"';
    head[n++] = ':';
    FOut.append(head, qsizetype(n));
    return FOut;
}

TJsonLine& TJsonLine::Text(std::string_view AName, const QString& AValue)
{
    AppendJsonString(Value(AName), AValue);
    return *this;
}

TJsonLine& TJsonLine::Cp1251(std::string_view AName, QByteArrayView AValue)
{
    AppendJson1251(Value(AName), AValue);
    return *this;
}

TJsonLine& TJsonLine::Number(std::string_view AName, int64_t AValue)
{
    char digits[24];
    const std::to_chars_result written = std::to_chars(std::begin(digits), std::end(digits), AValue);
    Value(AName).append(digits, written.ptr - digits);
    return *this;
}

TJsonLine& TJsonLine::Number(std::string_view AName, std::optional<int64_t> AValue)
{
    return AValue ? Number(AName, *AValue) : Null(AName);
}

TJsonLine& TJsonLine::Bool(std::string_view AName, bool AValue)
{
    Value(AName) += AValue ? "true" : "false";
    return *this;
}

TJsonLine& TJsonLine::Null(std::string_view AName)
{
    Value(AName) += "null";
    return *this;
}

} // namespace kestrun
