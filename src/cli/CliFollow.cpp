// SPDX-License-Identifier: GPL-3.0-or-later
#include "CliFollow.h"

#include "CliSupport.h"
#include "playback/StopSignals.h"

#include <QFileInfo>
#include <poll.h>
#include <unistd.h>
#include <ctime>

namespace kestrun::cli {

namespace {

// Looks at the file this often: new rows show well within a second of their write.
constexpr long StepNanoseconds = 200L * 1000 * 1000;

// Whether the reader of standard output has gone (a pipe whose other end closed, as after
// `| head -1`): following ends then, as tail -f does, also while no row comes to write.
bool OutputReaderGone()
{
    pollfd out = {STDOUT_FILENO, 0, 0};
    return ::poll(&out, 1, 0) > 0 && (out.revents & (POLLERR | POLLHUP)) != 0;
}

void Wait()
{
    const timespec wait = {0, StepNanoseconds};
    nanosleep(&wait, nullptr);
}

} // namespace

QString FollowLog(const QString& AFileName, const QStringList& AIgnoreLines,
                  const std::function<void(const TFollowStep&)>& AOnStep)
{
    // The wait between two looks ends at once on a signal.
    const TStopSignals stopSignals;
    // A log not written yet is waited for, as tail -F does.
    if (!QFileInfo::exists(AFileName)) {
        WriteErr(QStringLiteral("kestrun-cli list: ожидание файла \"%1\"").arg(AFileName));
        while (!QFileInfo::exists(AFileName) && !stopSignals.Caught() && !OutputReaderGone())
            Wait();
        if (stopSignals.Caught() || OutputReaderGone())
            return {};
    }
    TLogFollower follower(AFileName, AIgnoreLines);
    while (!stopSignals.Caught() && !OutputReaderGone()) {
        const TFollowStep step = follower.Step();
        AOnStep(step);
        FinishOutput();
        if (!step.Error.isEmpty())
            return step.Error;
        Wait();
    }
    return {};
}

} // namespace kestrun::cli
