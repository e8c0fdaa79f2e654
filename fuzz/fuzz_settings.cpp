// Any settings file loads or raises the reading error; nothing else escapes and nothing hangs.
#include "log/Exception.h"
#include "ui/SettingsFile.h"

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
    // A value and a list the window reads at start-up.
    settings.Value(QStringLiteral("fmMain"), QStringLiteral("NormPos"));
    settings.Lines(QStringLiteral("fmMain"), QStringLiteral("memCommandExceptions.Lines"));
    return 0;
}
