// SPDX-License-Identifier: GPL-3.0-or-later
#include "Codepages.h"

#include <QHash>
#include <QStringDecoder>
#include <array>

namespace kestrun {

namespace {

using Table = std::array<char16_t, 256>;

// Built once from the platform's converter; the lower half is ASCII in both code pages.
Table BuildTable(const char* name)
{
    Table table{};
    QStringDecoder decoder(name);
    for (int b = 0; b < 256; ++b) {
        if (b < 0x80 || !decoder.isValid()) {
            table[b] = static_cast<char16_t>(b);
            continue;
        }
        const char byte = static_cast<char>(b);
        const QString s = decoder.decode(QByteArrayView(&byte, 1));
        table[b] = s.size() == 1 ? s.at(0).unicode() : u'\uFFFD';
        decoder.resetState();
    }
    return table;
}

const Table& Cp1251Table()
{
    static const Table table = [] {
        Table t = BuildTable("windows-1251");
        t[0x98] = u'\u0098'; // unassigned in the code page: kept as the C1 control of the same value
        return t;
    }();
    return table;
}

const Table& Cp866Table()
{
    static const Table table = BuildTable("IBM866");
    return table;
}

QString Decode(QByteArrayView bytes, const Table& table)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i < bytes.size(); ++i)
        out[i] = QChar(table[static_cast<unsigned char>(bytes[i])]);
    return text;
}

} // namespace

QString Cp1251ToUnicode(QByteArrayView bytes) { return Decode(bytes, Cp1251Table()); }

QString Cp866ToUnicode(QByteArrayView bytes) { return Decode(bytes, Cp866Table()); }

namespace {

// The byte of a character above ASCII, 0 when the code page lacks it. Most such text is Russian,
// so the Cyrillic block has a table of its own; the few other characters go through a hash.
char Cp1251Byte(char16_t c)
{
    static const auto cyrillic = [] {
        std::array<char, 0x60> bytes{};
        const Table& table = Cp1251Table();
        for (int b = 0x80; b < 256; ++b)
            if (table[b] >= 0x400 && table[b] < 0x460)
                bytes[table[b] - 0x400] = static_cast<char>(b);
        return bytes;
    }();
    static const QHash<char16_t, char> others = [] {
        QHash<char16_t, char> map;
        const Table& table = Cp1251Table();
        for (int b = 0x80; b < 256; ++b)
            if (table[b] < 0x400 || table[b] >= 0x460)
                map.insert(table[b], static_cast<char>(b));
        return map;
    }();
    if (c >= 0x400 && c < 0x460)
        return cyrillic[c - 0x400];
    return others.value(c, 0);
}

// Writes the bytes of the text; false when a character has none, which then becomes '?'.
bool ToCp1251(QStringView text, char* out)
{
    bool exact = true;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const char byte = c < 0x80 ? static_cast<char>(c) : Cp1251Byte(c);
        exact = exact && (byte != 0 || c == 0);
        out[i] = byte != 0 || c == 0 ? byte : '?';
    }
    return exact;
}

} // namespace

QByteArray UnicodeToCp1251(QStringView text)
{
    QByteArray bytes(text.size(), Qt::Uninitialized);
    ToCp1251(text, bytes.data());
    return bytes;
}

std::optional<QByteArray> ExactCp1251(QStringView text)
{
    QByteArray bytes(text.size(), Qt::Uninitialized);
    if (!ToCp1251(text, bytes.data()))
        return std::nullopt;
    return bytes;
}

} // namespace kestrun
