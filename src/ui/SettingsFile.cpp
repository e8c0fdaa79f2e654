#include "SettingsFile.h"

#include "log/Exception.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSaveFile>
#include <QStandardPaths>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace kestrun {

namespace {

const QString RootName = QStringLiteral("Configuration");
const QString CountName = QStringLiteral("Count");
const QString ItemPrefix = QStringLiteral("Item");

Exception ReadError(const QString& fileName, const QString& reason)
{
    return Exception(QStringLiteral("Ошибка чтения файла настроек %1: %2").arg(QDir::toNativeSeparators(fileName), reason));
}

Exception WriteError(const QString& fileName, const QString& reason)
{
    return Exception(QStringLiteral("Ошибка записи файла настроек %1: %2").arg(QDir::toNativeSeparators(fileName), reason));
}

// A key element: its text, or, when it has child elements, the string list they hold.
struct TKeyContent
{
    bool IsList = false;
    QString Value;
    QStringList Lines;
};

// The text of the current element up to `limit` characters; reads to the element's end.
QString ReadBoundedText(QXmlStreamReader& xml, qsizetype limit)
{
    QString text;
    while (xml.readNext() != QXmlStreamReader::EndElement && !xml.hasError()) {
        if (xml.isCharacters() && text.size() < limit)
            text += xml.text().left(limit - text.size());
        else if (xml.isStartElement())
            xml.skipCurrentElement();
    }
    return text;
}

TKeyContent ReadKey(QXmlStreamReader& xml)
{
    TKeyContent content;
    QString count;
    QMap<int, QString> items; // a repeated item replaces the earlier one instead of piling up
    while (xml.readNext() != QXmlStreamReader::EndElement && !xml.hasError()) {
        if (xml.isCharacters() && content.Value.size() < TSettingsFile::MaxValueLength)
            content.Value += xml.text().left(TSettingsFile::MaxValueLength - content.Value.size());
        if (!xml.isStartElement())
            continue;
        content.IsList = true;
        const QString name = xml.name().toString();
        bool ok = false;
        const int index = name.startsWith(ItemPrefix) ? name.mid(ItemPrefix.size()).toInt(&ok) : -1;
        if (name == CountName)
            count = ReadBoundedText(xml, TSettingsFile::MaxLineLength);
        else if (ok && index >= 0 && index < TSettingsFile::MaxLines)
            items.insert(index, ReadBoundedText(xml, TSettingsFile::MaxLineLength));
        else
            xml.skipCurrentElement();
    }
    if (content.IsList) {
        bool ok = false;
        const int n = count.toInt(&ok);
        content.Lines = QStringList(ok && n > 0 ? qMin(n, TSettingsFile::MaxLines) : 0);
        for (auto item = items.cbegin(); item != items.cend() && item.key() < content.Lines.size(); ++item)
            content.Lines[item.key()] = item.value();
    }
    return content;
}

} // namespace

TSettingsFile::TSettingsFile(QString fileName) : FFileName(std::move(fileName)) {}

QString TSettingsFile::DefaultFileName()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/KELMAR/Kestrun/settings.xml");
}

void TSettingsFile::Load()
{
    FEntries.clear();
    FReadOnly = false;
    const QFileInfo info(FFileName);
    if (!info.exists())
        return;
    FReadOnly = !info.isWritable();
    QFile file(FFileName);
    if (!file.open(QIODevice::ReadOnly))
        throw ReadError(FFileName, file.errorString());

    QList<TEntry> entries;
    QXmlStreamReader xml(&file);
    if (xml.readNextStartElement() && xml.name() != RootName)
        xml.raiseError(QStringLiteral("корневой элемент не %1").arg(RootName));
    while (!xml.hasError() && xml.readNextStartElement()) {
        const QString section = xml.name().toString();
        while (!xml.hasError() && xml.readNextStartElement()) {
            if (entries.size() >= MaxEntries) {
                xml.skipCurrentElement();
                continue;
            }
            TEntry entry;
            entry.Section = section;
            entry.Key = xml.name().toString();
            TKeyContent content = ReadKey(xml);
            entry.IsList = content.IsList;
            entry.Value = std::move(content.Value);
            entry.Lines = std::move(content.Lines);
            entries.append(std::move(entry));
        }
    }
    if (xml.hasError())
        throw ReadError(FFileName, QStringLiteral("%1 (строка %2)").arg(xml.errorString()).arg(xml.lineNumber()));
    FEntries = std::move(entries);
}

void TSettingsFile::Save() const
{
    if (FReadOnly)
        throw WriteError(FFileName, QStringLiteral("файл доступен только для чтения"));
    const QString folder = QFileInfo(FFileName).absolutePath();
    if (!QDir().mkpath(folder))
        throw WriteError(FFileName, QStringLiteral("не удалось создать папку %1").arg(QDir::toNativeSeparators(folder)));

    // Written aside and renamed, so a failed write leaves the previous settings intact.
    QSaveFile file(FFileName);
    if (!file.open(QIODevice::WriteOnly))
        throw WriteError(FFileName, file.errorString());
    QXmlStreamWriter xml(&file);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(RootName);
    QString section;
    for (const TEntry& entry : FEntries) {
        if (entry.Section != section) {
            if (!section.isEmpty())
                xml.writeEndElement();
            section = entry.Section;
            xml.writeStartElement(section);
        }
        if (!entry.IsList) {
            xml.writeTextElement(entry.Key, entry.Value);
            continue;
        }
        xml.writeStartElement(entry.Key);
        xml.writeTextElement(CountName, QString::number(entry.Lines.size()));
        for (qsizetype i = 0; i < entry.Lines.size(); ++i)
            xml.writeTextElement(ItemPrefix + QString::number(i), entry.Lines[i]);
        xml.writeEndElement();
    }
    if (!section.isEmpty())
        xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    if (xml.hasError() || !file.commit())
        throw WriteError(FFileName, file.errorString());
}

const TSettingsFile::TEntry* TSettingsFile::Find(const QString& section, const QString& key) const
{
    for (const TEntry& entry : FEntries)
        if (entry.Section == section && entry.Key == key)
            return &entry;
    return nullptr;
}

TSettingsFile::TEntry& TSettingsFile::Put(const QString& section, const QString& key)
{
    if (const TEntry* found = Find(section, key))
        return FEntries[found - FEntries.constData()];
    // New keys join the end of their section, so each section stays one element.
    qsizetype at = FEntries.size();
    for (qsizetype i = FEntries.size(); i > 0; --i)
        if (FEntries[i - 1].Section == section) {
            at = i;
            break;
        }
    TEntry entry;
    entry.Section = section;
    entry.Key = key;
    FEntries.insert(at, std::move(entry));
    return FEntries[at];
}

std::optional<QString> TSettingsFile::Value(const QString& section, const QString& key) const
{
    const TEntry* entry = Find(section, key);
    if (!entry || entry->IsList)
        return std::nullopt;
    return entry->Value;
}

void TSettingsFile::SetValue(const QString& section, const QString& key, const QString& value)
{
    TEntry& entry = Put(section, key);
    entry.IsList = false;
    entry.Value = value;
    entry.Lines.clear();
}

std::optional<QStringList> TSettingsFile::Lines(const QString& section, const QString& key) const
{
    const TEntry* entry = Find(section, key);
    if (!entry || !entry->IsList)
        return std::nullopt;
    return entry->Lines;
}

void TSettingsFile::SetLines(const QString& section, const QString& key, const QStringList& lines)
{
    TEntry& entry = Put(section, key);
    entry.IsList = true;
    entry.Value.clear();
    entry.Lines = lines;
}

} // namespace kestrun
