// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "decode/RowFormats.h"
#include "log/Command.h"
#include "log/LogLoader.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdio>

namespace kestrun::cli {

// Machine formats (JSON, CSV) write numbers and dates the C way, whatever the user's locale,
// unless --locale named one; text for people follows the locale. main notes --locale.
void NoteLocaleChosen();
void UseMachineLocale();

// Exit statuses shared by every command.
enum ExitCode { ExitOk = 0, ExitFailure = 1, ExitUsage = 2 };

// Raised by argument parsing; main prints the message and the command's usage, exit status 2.
struct UsageError
{
    QString Message;
};

// Pulls options out of a command's argument list as it is read; what remains are positionals.
// "--" ends the options: everything after it is positional, also when it starts with "-".
class ArgReader
{
public:
    explicit ArgReader(const QStringList& args);

    bool TakeFlag(const QString& name);
    // Value of "--name VALUE" or "--name=VALUE"; `fallback` when absent. A value that is itself
    // an option ("--ignore --json") is missing.
    QString TakeValue(const QString& name, const QString& fallback = {});
    QStringList TakeValues(const QString& name); // every occurrence, in order
    bool HasValue(const QString& name) const;
    // The positionals; rejects unknown options and counts outside [min, max]. "-" (standard
    // input) and negative numbers are positionals.
    QStringList Positionals(int min, int max);
    // What is left, "--" and what follows it included.
    QStringList Rest() const;

private:
    QStringList FOptions;      // before "--"
    QStringList FAfterOptions; // after "--"
    bool FHasEnd = false;
};

// The arguments before "--", where options such as --help are looked for.
QStringList OptionPart(const QStringList& args);

int ToInt(const QString& text, const QString& what); // throws UsageError
// A 0-based row of a log that holds `count` commands; throws UsageError naming `what`.
int ToIndex(const QString& text, qsizetype count, const QString& what);

// Hex text given on the command line: bytes of two hex digits, with or without blanks between
// them ("FF 0A", FF0A). The core reads hex leniently, as logs need, and would take a stray digit
// or letter silently; arguments are checked here instead. Returns the text; throws UsageError
// naming `what`. `allowEmpty`: "" stands for no bytes.
QByteArray HexArgument(const QString& text, const QString& what, bool allowEmpty = false);
// The --ignore codes of a command that reads a log, each checked as hex.
QStringList TakeIgnoreLines(ArgReader& reader);

// "-" names standard input (or, for save's OUT, standard output).
bool IsStandardStream(const QString& fileName);

// The log of a command: a file, or standard input for "-". Same contracts as LoadLogFile and
// StreamLogFile, but a packed log damaged part way is no error here: its commands up to the
// damage are there to use, and the damage is kept for the end (InputDamage).
void LoadLog(const QString& fileName, const QStringList& ignoreLines, TCommands& commands);
void StreamLog(const QString& fileName, const QStringList& ignoreLines, const TSettledCommands& settled,
               TReadThread reading = TReadThread::rtCalling);

// A message about a log, led by its name (standard input is named so) unless it names the file
// already; AtCommand adds the command's index in the log.
QString AtLog(const QString& fileName, const QString& message);
QString AtCommand(const QString& fileName, qsizetype index, const QString& message);

// Why the log was read only up to a point, empty when it was read whole. main reports it after
// the command's output, and the command fails.
const QString& InputDamage();

// Standard output. A failed write raises kestrun::Exception ("cannot write standard output"),
// reported once like any other failure: message, exit status 1.
void WriteOut(const QString& text);   // UTF-8
void WriteOut(const QByteArray& bytes);
// Flushes standard output at the end of a command; raises as WriteOut does, unless a failed
// write was raised already.
void FinishOutput();

// UTF-8 to standard error, a line end appended; control characters of every line written visibly.
void WriteErr(const QString& text);
// Reports a failed command as "kestrun-cli NAME: message"; returns ExitFailure.
int ReportFailure(const char* command, const QString& message);

} // namespace kestrun::cli
