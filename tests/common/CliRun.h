// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

namespace kestrun::test {

// What a run reads and where it writes; empty fields keep the default pipes.
struct TRunIo
{
    QByteArray Input = {};      // written to standard input, which is then closed
    QString InputFile = {};     // standard input read from this file instead
    QString OutputFile = {};    // standard output written to this file (e.g. /dev/full)
    QString WorkingDirectory = {};
    QStringList Environment = {}; // NAME=VALUE, over the test's own (LC_ALL included)
};

// Exit status and the two output streams of one run.
struct TRunResult
{
    int ExitCode = -1;
    QByteArray Out;
    QByteArray Err;

    QString OutText() const { return QString::fromUtf8(Out); }
    QString ErrText() const { return QString::fromUtf8(Err); }
    QStringList OutLines() const { return OutText().split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
};

// Runs a program to its end under the C locale, so that its texts do not depend on the machine.
// The minute's wait is for a loaded machine; no test relies on its length.
inline TRunResult RunProgram(const QString& program, const QStringList& args, const TRunIo& io = {})
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    for (const QString& setting : io.Environment)
        environment.insert(setting.section(QLatin1Char('='), 0, 0), setting.section(QLatin1Char('='), 1));
    process.setProcessEnvironment(environment);
    if (!io.InputFile.isEmpty())
        process.setStandardInputFile(io.InputFile);
    if (!io.OutputFile.isEmpty())
        process.setStandardOutputFile(io.OutputFile);
    if (!io.WorkingDirectory.isEmpty())
        process.setWorkingDirectory(io.WorkingDirectory);
    process.start(program, args);
    if (io.InputFile.isEmpty()) {
        process.write(io.Input);
        process.closeWriteChannel();
    }
    EXPECT_TRUE(process.waitForFinished(60000)) << program.toStdString() << ' ' << args.join(u' ').toStdString();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
            process.readAllStandardError()};
}

#ifdef KESTRUN_CLI
// kestrun-cli, in the test targets made with kestrun_add_cli_test.
inline TRunResult RunCli(const QStringList& args, const TRunIo& io = {})
{
    return RunProgram(QStringLiteral(KESTRUN_CLI), args, io);
}
#endif

} // namespace kestrun::test
