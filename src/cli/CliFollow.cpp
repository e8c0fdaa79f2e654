#include "CliFollow.h"

#include "CliSupport.h"

#include <csignal>
#include <ctime>

namespace kestrun::cli {

namespace {

// Looks at the file this often: new rows show well within a second of their write.
constexpr long StepNanoseconds = 200L * 1000 * 1000;

volatile std::sig_atomic_t StopRequested = 0;

extern "C" void OnStopSignal(int) { StopRequested = 1; }

// The stop signals for the lifetime of a scope. Without SA_RESTART the wait between two looks
// ends at once.
class TStopSignals
{
public:
    TStopSignals()
    {
        StopRequested = 0;
        struct sigaction action = {};
        action.sa_handler = OnStopSignal;
        for (int i = 0; i < 2; ++i)
            sigaction(Signals[i], &action, &FPrevious[i]);
    }
    ~TStopSignals()
    {
        for (int i = 0; i < 2; ++i)
            sigaction(Signals[i], &FPrevious[i], nullptr);
    }
    TStopSignals(const TStopSignals&) = delete;
    TStopSignals& operator=(const TStopSignals&) = delete;

private:
    static constexpr int Signals[2] = {SIGINT, SIGTERM};
    struct sigaction FPrevious[2] = {};
};

} // namespace

QString FollowLog(const QString& AFileName, const QStringList& AIgnoreLines,
                  const std::function<void(const TFollowStep&)>& AOnStep)
{
    TStopSignals stopSignals;
    TLogFollower follower(AFileName, AIgnoreLines);
    while (!StopRequested) {
        const TFollowStep step = follower.Step();
        AOnStep(step);
        FinishOutput();
        if (!step.Error.isEmpty())
            return step.Error;
        const timespec wait = {0, StepNanoseconds};
        nanosleep(&wait, nullptr);
    }
    return {};
}

} // namespace kestrun::cli
