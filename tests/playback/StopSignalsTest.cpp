// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback/StopSignals.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <csignal>
#include <gtest/gtest.h>

namespace kestrun::test {
namespace {

struct sigaction HandlerOf(int signal)
{
    struct sigaction action = {};
    sigaction(signal, nullptr, &action);
    return action;
}

// The handlers a test finds are the ones it leaves: SIGINT and SIGTERM ignored meanwhile, so
// that a handler left behind by mistake cannot end the test program.
class StopSignals : public ::testing::Test
{
protected:
    void SetUp() override
    {
        struct sigaction ignore = {};
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGINT, &ignore, &FInt);
        sigaction(SIGTERM, &ignore, &FTerm);
    }
    void TearDown() override
    {
        sigaction(SIGINT, &FInt, nullptr);
        sigaction(SIGTERM, &FTerm, nullptr);
    }

    // Runs the event loop until `count` watch have been delivered; bounded against a fault.
    static void AwaitDelivered(const QList<int>& delivered, qsizetype count)
    {
        const QDeadlineTimer bound(30000);
        while (delivered.size() < count && !bound.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    }

private:
    struct sigaction FInt = {};
    struct sigaction FTerm = {};
};

TEST_F(StopSignals, FlagKeepsTheFirstSignal)
{
    const TStopSignals watch;
    EXPECT_EQ(watch.Caught(), 0);
    std::raise(SIGTERM);
    std::raise(SIGINT);
    EXPECT_EQ(watch.Caught(), SIGTERM);
    // A wait under way must end on the signal, not go on.
    EXPECT_EQ(HandlerOf(SIGINT).sa_flags & SA_RESTART, 0);
}

TEST_F(StopSignals, HandlersBeforeComeBack)
{
    {
        const TStopSignals watch([](int) {}, TStopSignals::ssEnds);
        EXPECT_NE(HandlerOf(SIGTERM).sa_handler, SIG_IGN);
    }
    EXPECT_EQ(HandlerOf(SIGINT).sa_handler, SIG_IGN);
    EXPECT_EQ(HandlerOf(SIGTERM).sa_handler, SIG_IGN);
    const TStopSignals again;
    EXPECT_EQ(again.Caught(), 0); // a new watch starts with none caught
}

TEST_F(StopSignals, EachSignalDeliveredOnTheEventLoop)
{
    QList<int> delivered;
    const TStopSignals watch([&delivered](int signal) { delivered << signal; }, TStopSignals::ssSame);
    // Reads of other threads go on through the signal.
    EXPECT_NE(HandlerOf(SIGINT).sa_flags & SA_RESTART, 0);
    std::raise(SIGINT);
    EXPECT_TRUE(delivered.isEmpty()); // not from inside the handler
    AwaitDelivered(delivered, 1);
    std::raise(SIGTERM);
    AwaitDelivered(delivered, 2);
    EXPECT_EQ(delivered, QList<int>({SIGINT, SIGTERM}));
    EXPECT_EQ(watch.Caught(), SIGINT);
    EXPECT_EQ(HandlerOf(SIGINT).sa_handler, HandlerOf(SIGTERM).sa_handler);
    EXPECT_NE(HandlerOf(SIGINT).sa_handler, SIG_DFL);
}

TEST_F(StopSignals, SecondSignalEndsTheProcess)
{
    QList<int> delivered;
    const TStopSignals watch([&delivered](int signal) { delivered << signal; }, TStopSignals::ssEnds);
    std::raise(SIGTERM);
    // The signal's default action is back for both: a second one ends the process.
    EXPECT_EQ(HandlerOf(SIGINT).sa_handler, SIG_DFL);
    EXPECT_EQ(HandlerOf(SIGTERM).sa_handler, SIG_DFL);
    AwaitDelivered(delivered, 1);
    EXPECT_EQ(delivered, QList<int>({SIGTERM}));
    EXPECT_EQ(watch.Caught(), SIGTERM);
}

} // namespace
} // namespace kestrun::test
