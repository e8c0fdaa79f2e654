// SPDX-License-Identifier: GPL-3.0-or-later
// kestrun-cli save: the text listing the window saves, written to a file or standard output.
#include "CliSupport.h"
#include "Commands.h"

#include "decode/CommandView.h"
#include "log/FileWrite.h"
#include "log/LogArchive.h"

#include <QFile>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrun::cli {

namespace {

// Whether `out` is the file the log is read from ("-": standard input; the archive of
// "ARCHIVE:MEMBER"), by any path or link: the same file system entry, not the same name.
bool IsLogFile(const QString& log, const QString& out)
{
    struct stat target = {};
    if (::stat(QFile::encodeName(out).constData(), &target) != 0)
        return false;
    struct stat source = {};
    const int found = IsStandardStream(log)
                          ? ::fstat(STDIN_FILENO, &source)
                          : ::stat(QFile::encodeName(ParseLogSource(log).File).constData(), &source);
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
    // The listing replaces OUT: the log would be lost.
    if (!IsStandardStream(out) && IsLogFile(log, out))
        throw UsageError{QStringLiteral("OUT \"%1\" - это читаемый лог: листинг записал бы поверх него").arg(out)};
    // Written batch by batch as the log is read, so a log of any size takes little memory.
    if (IsStandardStream(out)) {
        StreamLog(log, ignoreLines, [](const TCommands& batch) { WriteOut(ListingText(batch)); });
        return ExitOk;
    }
    // Replaced whole or not at all: a full disk keeps the previous file.
    TAtomicFileWriter file(out);
    StreamLog(log, ignoreLines, [&file](const TCommands& batch) { file.Write(ListingText(batch)); });
    file.Commit();
    return ExitOk;
}

} // namespace kestrun::cli
