// SPDX-License-Identifier: GPL-3.0-or-later
// kestrun-cli: the analysis and replay functions of Kestrun for scripts and terminals.
#include "CliSupport.h"
#include "Commands.h"
#include "DeviceHelp.h"
#include "Picture.h"
#include "log/Exception.h"
#include "log/LogReader.h"

#include <QCoreApplication>
#include <QLocale>
#include <QRegularExpression>
#include <iterator>

using namespace kestrun::cli;

namespace {

const Command Commands[] = {
    {"parse", "[--ignore CODE]... [--count] FILE",
     "parse a driver log and print one JSON line per command", RunParse},
    {"name", "HEX...", "print the name of the command whose request is given as hex text", RunName},
    {"error", "NUMBER",
     "print the description of a device error NUMBER (decimal, or hex with 0x; negative for driver errors)", RunError},
    {"tlv", "[--numbers] [--indent N] HEX...",
     "render fiscal-data TLV elements given as hex text, one line per element", RunTlv},
    {"list",
     "[--ignore CODE]... [--json | --csv | --count | -q] [--follow] [--errors] [--command CODE|NAME]... [--thread T] "
     "[--text TEXT] [--hide-polls] FILE",
     "print the command list: time, thread, command, data, duration and state of every command; the number in\n"
     "      front is the command's index in the whole log. --csv writes CSV (UTF-8 with a byte-order mark).\n"
     "      --count prints the number of rows, -q (--quiet) nothing; both exit 1 when no row is listed.\n"
     "      Filters combine: --errors keeps the rows marked ! (failed, unanswered, driver error, undecodable);\n"
     "      --command keeps a code (hex) or names containing the text, repeatable; --thread keeps one thread;\n"
     "      --text matches as search does;"
     " --hide-polls leaves out status polls (10 and 11)\n"
     "      --follow: go on printing the rows the driver adds to FILE, each once its exchange is complete,\n"
     "      until Ctrl+C or until nobody reads the output (exit 0); a FILE not there yet is waited for; a row\n"
     "      a later line changes is printed again with its index (JSON: \"Update\":true); a file that shrinks\n"
     "      or is replaced is listed again from its start (JSON: a line {\"Restart\":FILE} first); - (standard\n"
     "      input) is listed as it comes, to its end", RunList},
    {"details", "[--ignore CODE]... FILE INDEX", "print the details pane of the command at 0-based INDEX", RunDetails},
    {"save", "[--ignore CODE]... FILE OUT",
     "write the text listing of the log to OUT (Windows-1251, CR LF; - is standard output); OUT must not be FILE",
     RunSave},
    {"decode", "REQUEST_HEX [ANSWER_HEX [PLAYED_HEX]]",
     "decode one exchange and print its request, answer, played answer and summary as JSON; exit 1 (the\n"
     "      JSON printed all the same) when the request ends before its first field or the answer before its\n"
     "      error byte", RunDecode},
    {"find-error", "[--ignore CODE]... FILE [--from INDEX]",
     "print the index of the first failed command (a row list marks with !), from the first row or, with\n"
     "      --from, after row INDEX; the log is read only up to it (exit 1 when none)", RunFindError},
    {"search", "[--ignore CODE]... FILE TEXT [--from INDEX]",
     "print the index of the first command matching TEXT in time, name or data, from the first row or,\n"
     "      with --from, after row INDEX; the log is read only up to it (exit 1 when none)", RunSearch},
    {"replay",
     "[--device TEXT] [--ignore CODE]... [--from INDEX] [--count N] [--selected I,J,...] [--loop] [--cycles N] "
     "[--except CODE]... [--ignore-device-errors] [--on-error ask|continue|stop] FILE",
     "replay the log's commands to a register; standard output gets one JSON line per row as it ends\n"
     "      (Index, Cycle with --loop, Data, PlayedAnswerData, Result, Error, Skipped); the status line of every\n"
     "      command sent (\"Строка INDEX\"), the line of every failed command and the question go to standard\n"
     "      error. A row without request bytes (a driver error line) is skipped with a line, not failed.\n"
     "      Exit 0 when every played command succeeded, 1 when any failed or the range plays nothing (--count 0\n"
     "      plays nothing); Ctrl+C or SIGTERM stops after the current command, exit 130 or 143.\n"
     "      --ignore CODE leaves the command out of the list as list --ignore does, so the indexes match.\n"
     "      --on-error: without it the question is asked when standard input is a terminal, else the run stops.\n"
     "      --except replaces the exception list (default FF 0A); --except \"\" is one empty line (code 0).",
     RunReplay},
    {"status", "[--device TEXT] [--json]",
     "query the register's state: outcome, mode and sub-mode; --json prints one object (Result, Error,\n"
     "      Mode, ModeText, SubMode, SubModeText)", RunStatus},
    {"stats", "[--ignore CODE]... [--json] [--plot OUT] FILE",
     "per command code: name, count, errors and the minimum, median, 95th percentile and maximum duration\n"
     "      in ms (percentiles by nearest rank); the totals; the 20 slowest commands with their indexes.\n"
     "      A duration runs from the request's first line to the line completing the exchange; commands\n"
     "      without an answer or a readable time stamp have none. --plot writes the timeline to OUT (PNG);\n"
     "      --plot - writes it to standard output instead of the statistics",
     RunStats},
};

const Command* FindCommand(const QString& name)
{
    for (const Command& c : Commands)
        if (name == QLatin1String(c.Name))
            return &c;
    return nullptr;
}

QString UsageOf(const Command& c)
{
    return QStringLiteral("usage: kestrun-cli [--locale NAME] [--encoding NAME] %1 %2")
        .arg(QString::fromUtf8(c.Name), QString::fromUtf8(c.Usage));
}

void PrintHelp()
{
    QString text = QStringLiteral(
        "usage: kestrun-cli [--locale NAME] [--encoding NAME] COMMAND [ARGS]\n"
        "       kestrun-cli [COMMAND] --help | -h | --version\n\n"
        "Options of every command:\n"
        "  --locale NAME   locale for decimal separators, dates and times (e.g. ru_RU, C); without it text\n"
        "                  follows the user's locale and JSON and CSV use C conventions\n"
        "  --encoding NAME the code page of a log that starts with no byte-order mark: windows-1251 unless\n"
        "                  named (e.g. UTF-8, IBM866, KOI8-R)\n"
        "  --help, -h      this text; after a command, its usage\n"
        "  --version       the version of kestrun-cli\n"
        "  --              ends the options: what follows is an argument even when it starts with -\n\n"
        "Arguments:\n"
        "  FILE     a driver log, Windows-1251 (or --encoding) unless a byte-order mark says otherwise; - reads\n"
        "           standard input; compressed (.gz .bz2 .xz .zst) or in an archive (.zip .7z .tar.*:\n"
        "           ARCHIVE:MEMBER) is read as it is\n"
        "  CODE     a command code as hex text, e.g. \"FF 0A\" or FF0A; --ignore CODE leaves out its commands\n"
        "  HEX      hex text, two digits a byte, blanks between bytes optional\n"
        "  INDEX    a row of the command list, counted from 0\n\n"
        "Commands:\n");
    for (const Command& c : Commands)
        text += QStringLiteral("  %1 %2\n      %3\n")
                    .arg(QString::fromUtf8(c.Name), QString::fromUtf8(c.Usage), QString::fromUtf8(c.Summary));
    text += QLatin1Char('\n') + DeviceTextHelp();
    text += QStringLiteral(
        "\nExit status:\n"
        "  0  done\n"
        "  1  failed: a log that cannot be read or decoded, nothing found, a failed write of standard output\n"
        "  2  bad arguments\n"
        "Messages go to standard error as \"kestrun-cli COMMAND: message\", in Russian as the window's, with\n"
        "the file and, where known, the line (\"строка N\") or the command (\"команда INDEX\").\n");
    WriteOut(text);
}

void PrintVersion() { WriteOut(QStringLiteral("kestrun-cli " KESTRUN_VERSION "\n")); }

// A locale that Qt knows by its language and, when given, its territory: Qt would quietly fall
// back to C (or to another territory) for a name it does not know.
QLocale LocaleArgument(const QString& name)
{
    if (name == QLatin1String("C") || name == QLatin1String("POSIX"))
        return QLocale::c();
    const QStringList parts = name.section(QLatin1Char('.'), 0, 0).split(QRegularExpression(QStringLiteral("[_-]")));
    const bool known = QLocale::codeToLanguage(parts[0]) != QLocale::AnyLanguage
                    && (parts.size() < 2 || QLocale::codeToTerritory(parts.last()) != QLocale::AnyTerritory);
    if (!known)
        throw UsageError{QStringLiteral("неизвестная локаль \"%1\" (например, ru_RU, en_US, C)").arg(name)};
    return QLocale(name);
}

// Help, version or the command itself; failures of any kind end as "kestrun-cli NAME: message".
int RunCommand(const Command& command, const QStringList& args)
{
    const QStringList options = OptionPart(args);
    if (options.contains(QLatin1String("--help")) || options.contains(QLatin1String("-h"))) {
        WriteOut(UsageOf(command) + QStringLiteral("\n      ") + QString::fromUtf8(command.Summary) + u'\n');
        return ExitOk;
    }
    if (options.contains(QLatin1String("--version"))) {
        PrintVersion();
        return ExitOk;
    }
    return command.Run(args);
}

} // namespace

int main(int argc, char** argv)
{
    const std::unique_ptr<QCoreApplication> app = CreateApplication(argc, argv);
    try {
        // Global options may stand anywhere before "--".
        ArgReader global(QCoreApplication::arguments().mid(1));
        if (global.HasValue(QStringLiteral("--encoding"))) {
            try {
                kestrun::SetUnmarkedLogEncoding(global.TakeValue(QStringLiteral("--encoding")));
            } catch (const kestrun::Exception& e) {
                throw UsageError{e.Message()};
            }
        }
        if (global.HasValue(QStringLiteral("--locale"))) {
            QLocale::setDefault(LocaleArgument(global.TakeValue(QStringLiteral("--locale"))));
            NoteLocaleChosen();
        }
        const QStringList rest = global.Rest();
        // Without a command: the short usage, on standard error, as a mistake is told.
        if (rest.isEmpty()) {
            WriteErr(QStringLiteral("usage: kestrun-cli [--locale NAME] [--encoding NAME] COMMAND [ARGS]\n"
                                    "       kestrun-cli [COMMAND] --help | -h | --version"));
            return ExitUsage;
        }
        if (rest[0] == QLatin1String("--help") || rest[0] == QLatin1String("-h")) {
            PrintHelp();
            FinishOutput();
            return ExitOk;
        }
        if (rest[0] == QLatin1String("--version")) {
            PrintVersion();
            FinishOutput();
            return ExitOk;
        }
        const Command* command = FindCommand(rest[0]);
        if (!command) {
            WriteErr(QStringLiteral("kestrun-cli: неизвестная команда \"%1\"; см. kestrun-cli --help").arg(rest[0]));
            return ExitUsage;
        }
        try {
            const int status = RunCommand(*command, rest.mid(1));
            FinishOutput();
            if (!InputDamage().isEmpty())
                return ReportFailure(command->Name, InputDamage());
            return status;
        } catch (const UsageError& e) {
            WriteErr(QStringLiteral("kestrun-cli %1: %2").arg(QString::fromUtf8(command->Name), e.Message));
            WriteErr(UsageOf(*command));
            return ExitUsage;
        } catch (const kestrun::Exception& e) {
            return ReportFailure(command->Name, e.Message());
        }
    } catch (const UsageError& e) {
        WriteErr(QStringLiteral("kestrun-cli: ") + e.Message);
        return ExitUsage;
    } catch (const kestrun::Exception& e) {
        WriteErr(QStringLiteral("kestrun-cli: ") + e.Message());
        return ExitFailure;
    }
}
