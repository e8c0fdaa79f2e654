// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace kestrun {

// The XML settings file: root "Configuration", one element per window (the section), below it
// one element per key holding either a text or a string list ("Count", "Item0", "Item1", ...).
// Knows nothing of widgets, so it can be read and written on its own.
class TSettingsFile
{
public:
    explicit TSettingsFile(QString fileName);

    // KELMAR/Kestrun/settings.xml below the user's roaming configuration folder.
    static QString DefaultFileName();

    // What a file can make the window remember: keys beyond the first MaxEntries are dropped,
    // longer lists and texts are cut, and the rest of the file still loads.
    static constexpr int MaxEntries = 100;
    static constexpr int MaxLines = 10000;
    static constexpr int MaxLineLength = 1000;
    static constexpr int MaxValueLength = 4096;
    // Past these the file is not read on: a text (or mark-up) run longer than MaxRunBytes, or a
    // file longer than MaxFileBytes, is damage, so that no value costs seconds and memory at start.
    static constexpr qsizetype MaxRunBytes = qsizetype(64) << 10;
    static constexpr qsizetype MaxFileBytes = qsizetype(8) << 20;

    // A missing file reads as an empty configuration. Throws kestrun::Exception on a file that
    // cannot be opened. A damaged file (malformed or cut XML, over the bounds) keeps every value
    // read before the damage and is copied to BackupFileName() before anything can overwrite it;
    // Damage() tells the user so.
    void Load();
    // Creates the missing folders, then replaces the file as a whole. Throws kestrun::Exception,
    // also when Load found the file read-only or could not copy a damaged file aside.
    void Save();

    // Empty when the file was read whole; otherwise the message for the user.
    const QString& Damage() const { return FDamage; }
    QString BackupFileName() const;
    // For a list the damage left short: how many lines the file said it holds, -1 when the damage
    // came before its count or before the list itself. Nothing for a list read in full.
    std::optional<int> CutLineCount(const QString& section, const QString& key) const;

    std::optional<QString> Value(const QString& section, const QString& key) const;
    void SetValue(const QString& section, const QString& key, const QString& value);
    std::optional<QStringList> Lines(const QString& section, const QString& key) const;
    void SetLines(const QString& section, const QString& key, const QStringList& lines);

private:
    struct TEntry
    {
        QString Section;
        QString Key;
        bool IsList = false;
        QString Value;
        QStringList Lines;
        std::optional<int> CutCount; // see CutLineCount
    };

    const TEntry* Find(const QString& section, const QString& key) const;
    TEntry& Put(const QString& section, const QString& key);
    void KeepDamaged(const QString& reason);

    QString FFileName;
    bool FReadOnly = false;
    QString FDamage;
    QString FBackupError; // why a damaged file could not be copied aside; it is then not written
    QList<TEntry> FEntries; // in file order, so a rewrite keeps it
};

} // namespace kestrun
