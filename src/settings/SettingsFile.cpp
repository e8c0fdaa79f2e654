// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingsFile.h"

#include "log/Exception.h"
#include "log/FileWrite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
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

// A key element: its text, or, when it has child elements, the string list they hold. A key the
// damage cut is kept only as a list, with the lines read before the damage.
struct TKeyContent
{
    bool IsList = false;
    QString Value;
    QStringList Lines;
    std::optional<int> CutCount;
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
        if (name == CountName) {
            const QString text = ReadBoundedText(xml, TSettingsFile::MaxLineLength);
            if (!xml.hasError())
                count = text;
        } else if (ok && index >= 0 && index < TSettingsFile::MaxLines) {
            const QString text = ReadBoundedText(xml, TSettingsFile::MaxLineLength);
            if (!xml.hasError())
                items.insert(index, text);
        } else {
            xml.skipCurrentElement();
        }
    }
    if (!content.IsList)
        return content;
    bool ok = false;
    const int n = count.toInt(&ok);
    if (xml.hasError()) {
        // The lines before the first one the damage took; none is made up.
        for (int i = 0; items.contains(i) && (!ok || i < n) && i < TSettingsFile::MaxLines; ++i)
            content.Lines.append(items.value(i));
        if (!ok || content.Lines.size() < n)
            content.CutCount = ok ? n : -1;
        return content;
    }
    content.Lines = QStringList(ok && n > 0 ? qMin(n, TSettingsFile::MaxLines) : 0);
    for (auto item = items.cbegin(); item != items.cend() && item.key() < content.Lines.size(); ++item)
        content.Lines[item.key()] = item.value();
    return content;
}

// The file's bytes up to the first run of text or mark-up longer than MaxRunBytes, or up to
// MaxFileBytes; `cut` tells why when it stops early. Nothing past the bound is read.
QByteArray ReadBounded(QFile& file, QString& cut)
{
    QByteArray bytes;
    qsizetype run = 0;
    for (;;) {
        const QByteArray chunk = file.read(TSettingsFile::MaxRunBytes);
        if (chunk.isEmpty()) {
            if (file.error() != QFileDevice::NoError)
                throw ReadError(file.fileName(), file.errorString());
            return bytes;
        }
        for (qsizetype i = 0; i < chunk.size(); ++i) {
            run = chunk[i] == '<' || chunk[i] == '>' ? 0 : run + 1;
            if (run > TSettingsFile::MaxRunBytes) {
                cut = QStringLiteral("значение длиннее %1 байт").arg(TSettingsFile::MaxRunBytes);
                return bytes + chunk.left(i);
            }
        }
        bytes += chunk;
        if (bytes.size() > TSettingsFile::MaxFileBytes) {
            cut = QStringLiteral("файл длиннее %1 байт").arg(TSettingsFile::MaxFileBytes);
            bytes.truncate(TSettingsFile::MaxFileBytes);
            return bytes;
        }
    }
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
    FDamage.clear();
    FBackupError.clear();
    const QFileInfo info(FFileName);
    if (!info.exists())
        return;
    FReadOnly = !info.isWritable();
    QFile file(FFileName);
    if (!file.open(QIODevice::ReadOnly))
        throw ReadError(FFileName, file.errorString());
    QString cut;
    const QByteArray bytes = ReadBounded(file, cut);
    file.close();

    QXmlStreamReader xml(bytes);
    if (xml.readNextStartElement() && xml.name() != RootName)
        xml.raiseError(QStringLiteral("корневой элемент не %1").arg(RootName));
    while (!xml.hasError() && xml.readNextStartElement()) {
        const QString section = xml.name().toString();
        while (!xml.hasError() && xml.readNextStartElement()) {
            if (FEntries.size() >= MaxEntries) {
                xml.skipCurrentElement();
                continue;
            }
            TEntry entry;
            entry.Section = section;
            entry.Key = xml.name().toString();
            TKeyContent content = ReadKey(xml);
            // A text the damage cut would pass for a whole one.
            if (xml.hasError() && !content.IsList)
                break;
            entry.IsList = content.IsList;
            entry.Value = std::move(content.Value);
            entry.Lines = std::move(content.Lines);
            entry.CutCount = content.CutCount;
            FEntries.append(std::move(entry));
        }
    }
    if (cut.isEmpty() && !xml.hasError())
        return;
    KeepDamaged(cut.isEmpty() ? QStringLiteral("%1 (строка %2)").arg(xml.errorString()).arg(xml.lineNumber()) : cut);
}

void TSettingsFile::KeepDamaged(const QString& reason)
{
    const QString backup = BackupFileName();
    QFile::remove(backup);
    QFile damaged(FFileName);
    if (!damaged.copy(backup))
        FBackupError = damaged.errorString();
    const QString kept = FBackupError.isEmpty()
                             ? QStringLiteral("копия файла: %1").arg(QDir::toNativeSeparators(backup))
                             : QStringLiteral("копию файла %1 сделать не удалось (%2), поэтому файл настроек не будет перезаписан")
                                   .arg(QDir::toNativeSeparators(backup), FBackupError);
    FDamage = QStringLiteral("Файл настроек %1 повреждён: %2. Значения, прочитанные до повреждения, сохранены; %3.")
                  .arg(QDir::toNativeSeparators(FFileName), reason, kept);
}

void TSettingsFile::Save()
{
    if (FReadOnly)
        throw WriteError(FFileName, QStringLiteral("файл доступен только для чтения"));
    if (!FBackupError.isEmpty())
        throw WriteError(FFileName, QStringLiteral("повреждённый файл не скопирован в %1 (%2)")
                                        .arg(QDir::toNativeSeparators(BackupFileName()), FBackupError));
    const QString folder = QFileInfo(FFileName).absolutePath();
    if (!QDir().mkpath(folder))
        throw WriteError(FFileName, QStringLiteral("не удалось создать папку %1").arg(QDir::toNativeSeparators(folder)));

    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
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
    try {
        WriteFileAtomically(FFileName, bytes);
    } catch (const Exception& e) {
        throw WriteError(FFileName, e.Message());
    }
    // What the file holds now is whole.
    FDamage.clear();
    for (TEntry& entry : FEntries)
        entry.CutCount.reset();
}

QString TSettingsFile::BackupFileName() const { return FFileName + QStringLiteral(".bad"); }

std::optional<int> TSettingsFile::CutLineCount(const QString& section, const QString& key) const
{
    if (FDamage.isEmpty())
        return std::nullopt;
    const TEntry* entry = Find(section, key);
    if (!entry)
        return -1;
    return entry->IsList ? entry->CutCount : std::nullopt;
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
