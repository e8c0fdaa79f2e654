#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdio>

namespace kestrun::cli {

// Exit statuses shared by every command.
enum ExitCode { ExitOk = 0, ExitFailure = 1, ExitUsage = 2 };

// Raised by argument parsing; main prints the message and the command's usage, exit status 2.
struct UsageError
{
    QString Message;
};

// Pulls options out of a command's argument list as it is read; what remains are positionals.
class ArgReader
{
public:
    explicit ArgReader(QStringList args) : FArgs(std::move(args)) {}

    bool TakeFlag(const QString& name);
    // Value of "--name VALUE" or "--name=VALUE"; `fallback` when absent.
    QString TakeValue(const QString& name, const QString& fallback = {});
    QStringList TakeValues(const QString& name); // every occurrence, in order
    bool HasValue(const QString& name) const;
    // The positionals; rejects unknown options and counts outside [min, max].
    QStringList Positionals(int min, int max);
    const QStringList& Rest() const { return FArgs; }

private:
    QStringList FArgs;
};

int ToInt(const QString& text, const QString& what); // throws UsageError

void WriteOut(const QString& text);   // UTF-8 to standard output
void WriteOut(const QByteArray& utf8);
void WriteErr(const QString& text);   // UTF-8 to standard error, a line end appended
// Reports a failed command as "kestrun-cli NAME: message"; returns ExitFailure.
int ReportFailure(const char* command, const QString& message);

// A JSON string literal, quotes included.
void AppendJsonString(QByteArray& out, const QString& value);

} // namespace kestrun::cli
