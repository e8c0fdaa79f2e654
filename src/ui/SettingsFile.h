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

    // A missing file reads as an empty configuration. Throws kestrun::Exception on a file that
    // cannot be read or holds malformed XML; the values read so far are dropped then.
    void Load();
    // Creates the missing folders, then replaces the file as a whole. Throws kestrun::Exception,
    // also when Load found the file read-only.
    void Save() const;

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
    };

    const TEntry* Find(const QString& section, const QString& key) const;
    TEntry& Put(const QString& section, const QString& key);

    QString FFileName;
    bool FReadOnly = false;
    QList<TEntry> FEntries; // in file order, so a rewrite keeps it
};

} // namespace kestrun
