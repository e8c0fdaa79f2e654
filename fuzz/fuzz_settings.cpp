// SPDX-License-Identifier: GPL-3.0-or-later
// Any settings file loads, a damaged one keeping what was read before the damage and saying so,
// or raises the reading error; nothing else escapes and nothing hangs.
#include "log/Exception.h"
#include "settings/SettingsFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The reader takes a file name, so each input becomes the one file of a private folder.
    static const QTemporaryDir folder;
    static const QString fileName = folder.filePath(QStringLiteral("settings.xml"));
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) != static_cast<qint64>(size))
        std::abort();
    file.close();

    kestrun::TSettingsFile settings(fileName);
    try {
        settings.Load();
    } catch (const kestrun::Exception& e) {
        if (e.Message().isEmpty())
            std::abort();
        return 0;
    }
    // A damaged file is kept beside it before anything can write over it.
    if (!settings.Damage().isEmpty() && !settings.Damage().contains(QStringLiteral(".bad")))
        std::abort();
    // A value and a list the window reads at start-up.
    const QString section = QStringLiteral("fmMain");
    const QString exceptList = QStringLiteral("memCommandExceptions_Lines");
    settings.Value(section, QStringLiteral("NormPos"));
    const auto lines = settings.Lines(section, exceptList);
    const auto cut = settings.CutLineCount(section, exceptList);
    // A cut list never holds more lines than its file said it has.
    if (lines && cut && *cut >= 0 && lines->size() >= *cut)
        std::abort();
    return 0;
}
