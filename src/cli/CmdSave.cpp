// kestrun-cli save: the text listing the window saves, written to a file or standard output.
#include "CliSupport.h"
#include "Commands.h"

#include "decode/CommandView.h"
#include "log/Exception.h"

#include <QFile>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrun::cli {

namespace {

// Whether `out` is the file the log is read from ("-": standard input), by any path or link:
// the same file system entry, not the same name.
bool IsLogFile(const QString& log, const QString& out)
{
    struct stat target = {};
    if (::stat(QFile::encodeName(out).constData(), &target) != 0)
        return false;
    struct stat source = {};
    const int found = IsStandardStream(log) ? ::fstat(STDIN_FILENO, &source)
                                            : ::stat(QFile::encodeName(log).constData(), &source);
    return found == 0 && source.st_dev == target.st_dev && source.st_ino == target.st_ino;
}

} // namespace

int RunSave(const QStringList& args)
{
    ArgReader reader(args);
    const QStringList ignoreLines = TakeIgnoreLines(reader);
    const QStringList positionals = reader.Positionals(2, 2);
    const QString& log = positionals[0];
    const QString& out = positionals[1];
    // Opening OUT empties it: the log would be lost before it is read.
    if (!IsStandardStream(out) && IsLogFile(log, out))
        throw UsageError{QStringLiteral("OUT \"%1\" is the log being read; the listing would overwrite it").arg(out)};
    // Written batch by batch as the log is read, so a log of any size takes little memory.
    if (IsStandardStream(out)) {
        StreamLog(log, ignoreLines, [](const TCommands& batch) { WriteOut(ListingText(batch)); });
        return ExitOk;
    }
    QFile file(out);
    const auto failed = [&file, &out] {
        return Exception(QStringLiteral("не удалось записать \"%1\": %2").arg(out, file.errorString()));
    };
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw failed();
    StreamLog(log, ignoreLines, [&](const TCommands& batch) {
        const QByteArray text = ListingText(batch);
        if (file.write(text) != text.size())
            throw failed();
    });
    if (!file.flush())
        throw failed();
    return ExitOk;
}

} // namespace kestrun::cli
