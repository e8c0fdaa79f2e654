// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

namespace kestrun::cli {

// One sub-command of kestrun-cli. `Run` gets the arguments after the command's name
// (global options already removed) and returns the exit status.
struct Command
{
    const char* Name;
    const char* Usage;   // arguments, e.g. "[--ignore CODE]... FILE"
    const char* Summary; // one line for --help
    int (*Run)(const QStringList& args);
};

// Each command lives in a file of its own (Cmd*.cpp) and is listed in main.cpp.
int RunParse(const QStringList& args);
int RunName(const QStringList& args);
int RunError(const QStringList& args);
int RunTlv(const QStringList& args);

int RunList(const QStringList& args);
int RunDetails(const QStringList& args);
int RunSave(const QStringList& args);
int RunDecode(const QStringList& args);
int RunFindError(const QStringList& args);
int RunSearch(const QStringList& args);
int RunReplay(const QStringList& args);
int RunStatus(const QStringList& args);
int RunStats(const QStringList& args);

} // namespace kestrun::cli
