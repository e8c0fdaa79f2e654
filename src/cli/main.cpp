// kestrun-cli: the analysis and replay functions of Kestrun for scripts and terminals.
#include "CliSupport.h"
#include "Commands.h"

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
    WriteOut(text);
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
