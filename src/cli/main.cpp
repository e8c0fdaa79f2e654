// kestrun-cli: the analysis and replay functions of Kestrun for scripts and terminals.
#include "CliSupport.h"
#include "Commands.h"
#include "DeviceHelp.h"

#include <QCoreApplication>
#include <QLocale>
#include <iterator>

using namespace kestrun::cli;

namespace {

const Command Commands[] = {
    {"parse", "[--ignore CODE]... [--count] FILE",
     "parse a driver log and print one JSON line per command", RunParse},
    {"name", "HEX...", "print the name of the command whose request is given as hex text", RunName},
    {"error", "CODE", "print the description of a device error code (decimal, or hex with 0x)", RunError},
    {"tlv", "[--numbers] [--indent N] HEX...",
     "render fiscal-data TLV elements given as hex text, one line per element", RunTlv},
    {"list", "[--ignore CODE]... [--json] FILE",
     "print the command list: time, thread, command, data and state of every command", RunList},
    {"details", "[--ignore CODE]... FILE INDEX", "print the details pane of the command at 0-based INDEX", RunDetails},
    {"save", "[--ignore CODE]... FILE OUT", "write the text listing of the log to OUT (Windows-1251, CR LF)", RunSave},
    {"decode", "REQUEST_HEX [ANSWER_HEX [PLAYED_HEX]]",
     "decode one exchange and print its request, answer, played answer and summary as JSON", RunDecode},
    {"find-error", "[--ignore CODE]... FILE [--from INDEX]",
     "print the index of the next command whose answer reports an error (exit 1 when none)", RunFindError},
    {"search", "[--ignore CODE]... FILE TEXT [--from INDEX]",
     "print the index of the next command matching TEXT in time, name or data (exit 1 when none)", RunSearch},
    {"replay",
     "[--device TEXT] [--ignore CODE]... [--from INDEX] [--count N] [--selected I,J,...] [--loop] [--cycles N] "
     "[--except CODE]... [--ignore-device-errors] [--on-error ask|continue|stop] FILE",
     "replay the log's commands to a register; standard output gets one JSON line per played command\n"
     "      (Index, Data, PlayedAnswerData); the status line of every command sent, the line of every failed\n"
     "      command and the question go to standard error. Exit 0 when every played command succeeded,\n"
     "      1 when any failed or the range plays nothing, 130 after Ctrl+C (it stops after the current command).\n"
     "      --ignore CODE leaves the command out of the list as list --ignore does, so the indexes match.\n"
     "      --on-error: without it the question is asked when standard input is a terminal, else the run stops.\n"
     "      --except replaces the exception list (default FF 0A); --except \"\" is one empty line (code 0).",
     RunReplay},
    {"status", "[--device TEXT]",
     "query the register's state: outcome, mode and sub-mode", RunStatus},
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
    return QStringLiteral("usage: kestrun-cli [--locale NAME] %1 %2")
        .arg(QString::fromUtf8(c.Name), QString::fromUtf8(c.Usage));
}

void PrintHelp()
{
    QString text = QStringLiteral(
        "usage: kestrun-cli [--locale NAME] COMMAND [ARGS]\n\n"
        "Global options:\n"
        "  --locale NAME   locale for decimal separators, dates and times (e.g. ru_RU, C)\n\n"
        "Commands:\n");
    for (const Command& c : Commands)
        text += QStringLiteral("  %1 %2\n      %3\n")
                    .arg(QString::fromUtf8(c.Name), QString::fromUtf8(c.Usage), QString::fromUtf8(c.Summary));
    WriteOut(text + QLatin1Char('\n') + DeviceTextHelp());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    try {
        // Global options may stand anywhere on the line.
        ArgReader global(QCoreApplication::arguments().mid(1));
        if (global.HasValue(QStringLiteral("--locale")))
            QLocale::setDefault(QLocale(global.TakeValue(QStringLiteral("--locale"))));
        const QStringList rest = global.Rest();
        if (rest.isEmpty() || rest[0] == QLatin1String("--help") || rest[0] == QLatin1String("-h")) {
            PrintHelp();
            return rest.isEmpty() ? ExitUsage : ExitOk;
        }
        const Command* command = FindCommand(rest[0]);
        if (!command) {
            WriteErr(QStringLiteral("kestrun-cli: unknown command \"%1\"; see kestrun-cli --help").arg(rest[0]));
            return ExitUsage;
        }
        const QStringList commandArgs = rest.mid(1);
        if (commandArgs.contains(QLatin1String("--help"))) {
            WriteOut(UsageOf(*command) + QLatin1Char('\n'));
            return ExitOk;
        }
        try {
            return command->Run(commandArgs);
        } catch (const UsageError& e) {
            WriteErr(QStringLiteral("kestrun-cli %1: %2").arg(QString::fromUtf8(command->Name), e.Message));
            WriteErr(UsageOf(*command));
            return ExitUsage;
        }
    } catch (const UsageError& e) {
        WriteErr(QStringLiteral("kestrun-cli: ") + e.Message);
        return ExitUsage;
    }
}
