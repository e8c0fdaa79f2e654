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

QByteArray UnicodeToCp1251(QStringView text)
{
    static const QHash<char16_t, char> reverse = [] {
        QHash<char16_t, char> map;
        const Table& table = Cp1251Table();
        for (int b = 0x80; b < 256; ++b)
            map.insert(table[b], static_cast<char>(b));
        return map;
    }();
    QByteArray bytes(text.size(), Qt::Uninitialized);
    char* out = bytes.data();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        out[i] = c < 0x80 ? static_cast<char>(c) : reverse.value(c, '?');
    }
    return bytes;
}

} // namespace kestrun
