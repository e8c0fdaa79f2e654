// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaseName.h"
#include "FakeDriver.h"
#include "QtPrint.h"
#include "playback/Notifications.h"
#include "playback/Player.h"
#include "playback/ReplaySession.h"

#include <QEventLoop>
#include <QCoreApplication>
#include <deque>
#include <gtest/gtest.h>

namespace kestrun::test {
namespace {

TCommands Commands(std::initializer_list<const char*> requests)
{
    TCommands commands;
    for (const char* data : requests) {
        TCommand c;
        c.SetData(data);
        commands << c;
    }
    return commands;
}

// Writes every event as a line; answers questions from a script (No beyond it).
class TEventLog final : public IReplayListener
{
public:
    QStringList Events;
    std::deque<bool> Answers;
    std::function<void(const TCommandStart&)> OnStart;
    std::optional<TReplayResult> Result;

    void CommandStarted(const TCommandStart& start) override
    {
        Events << QStringLiteral("run %1 %2").arg(start.Index).arg(start.Cycle);
        if (OnStart)
            OnStart(start);
    }
    void CommandFailed(const TCommandFailure& f) override
    {
        Events << QStringLiteral("failed %1 %2 %3 %4%5")
                      .arg(f.Index)
                      .arg(f.Cycle)
                      .arg(f.Code)
                      .arg(f.Text, f.LastOfRange ? QStringLiteral(" last") : QString());
    }
    bool ContinueAfterError(const TErrorQuestion& q) override
    {
        Events << QStringLiteral("asked %1 %2: %3").arg(q.Index).arg(q.Code).arg(q.Message);
        if (Answers.empty())
            return false;
        const bool answer = Answers.front();
        Answers.pop_front();
        return answer;
    }
    void RunFailed(const TRunNotice& n) override
    {
        Events << QStringLiteral("ended %1 %2 %3").arg(n.Index).arg(n.Cycle).arg(n.Text);
    }
    void RunFinished(TReplayResult result) override
    {
        Result = std::move(result);
        FLoop.quit();
    }

    // Runs the event loop until the run has finished.
    void Wait()
    {
        if (!Result)
            FLoop.exec();
    }

private:
    QEventLoop FLoop;
};

class ReplaySessionTest : public ::testing::Test
{
protected:
    // Plays the commands as the fixture's list, where the run leaves its answers.
    const TReplayResult& Play(TCommands commands, const TReplayPlan& plan)
    {
        FCommands = std::move(commands);
        FSession.Start(FDriver, FCommands, plan);
        FListener.Wait();
        return *FListener.Result;
    }

    QList<int> Played() const
    {
        QList<int> played;
        for (qsizetype i = 0; i < FCommands.size(); ++i)
            if (FCommands[i].Played)
                played << int(i);
        return played;
    }

    TCommands FCommands;
    TEventBus FBus;
    TKestrun FPlayer{FBus};
    TEventLog FListener;
    TReplaySession FSession{FPlayer, FListener, FBus};
    TFakeDriver FDriver;
};

const QString NoShift = QStringLiteral("61, Смена не открыта - операция невозможна");

struct TRangeCase
{
    const char* Name;
    TReplayRange Range;
    QList<int> Played;
};

void PrintTo(const TRangeCase& c, std::ostream* os) { *os << c.Name; }

class ReplayRangeTest : public ReplaySessionTest, public ::testing::WithParamInterface<TRangeCase> {};

TEST_P(ReplayRangeTest, SendsItsRangeLessTheExceptions)
{
    const TCommands commands = Commands({"10", "11", "FF 0A 01", "12", "13", "0A 01"});
    TReplayPlan plan;
    plan.Range = GetParam().Range;
    Play(commands, plan);
    EXPECT_EQ(Played(), GetParam().Played);
    EXPECT_EQ(FListener.Result->Failed, 0);
    EXPECT_FALSE(FListener.Result->Interrupted);
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, ReplayRangeTest,
    ::testing::Values(TRangeCase{"All", TReplayRange::All(), {0, 1, 3, 4, 5}},
                      TRangeCase{"FromRow", TReplayRange::FromRow(3), {3, 4, 5}},
                      TRangeCase{"FromNoRow", TReplayRange::FromRow(-1), {0, 1, 3, 4, 5}},
                      TRangeCase{"OneRow", TReplayRange::OneRow(4), {4}},
                      TRangeCase{"OneRowWithoutARowIsTheFirst", TReplayRange::OneRow(-1), {0}},
                      TRangeCase{"OneExcludedRowSendsNothing", TReplayRange::OneRow(2), {}},
                      TRangeCase{"SelectedRows", TReplayRange::SelectedRows({1, 4, 9}), {1, 4}},
                      TRangeCase{"NoSelectedRows", TReplayRange::SelectedRows({}), {}},
                      // A filtered list shows rows 1, 2, 4 and 5.
                      TRangeCase{"AllShown", TReplayRange::All().Within({1, 2, 4, 5}), {1, 4, 5}},
                      TRangeCase{"FromRowShown", TReplayRange::FromRow(3).Within({1, 2, 4, 5}), {4, 5}},
                      TRangeCase{"OneHiddenRowShownSendsNothing", TReplayRange::OneRow(3).Within({1, 2, 4, 5}), {}},
                      TRangeCase{"SelectedShown", TReplayRange::SelectedRows({4, 0}).Within({1, 2, 4, 5}), {4}}),
    kestrun::test::CaseName());

TEST_F(ReplaySessionTest, PlaysNothingWhenNoCommandOfTheRangeIsSent)
{
    const TCommands commands = Commands({"10", "FF 0A 01", "11"});
    TReplayPlan plan;
    EXPECT_FALSE(TReplaySession::PlaysNothing(commands, plan));
    plan.Range = TReplayRange::OneRow(1);
    EXPECT_TRUE(TReplaySession::PlaysNothing(commands, plan));
    plan.Range = TReplayRange::SelectedRows({1});
    EXPECT_TRUE(TReplaySession::PlaysNothing(commands, plan));
    plan.ExceptList.clear();
    EXPECT_FALSE(TReplaySession::PlaysNothing(commands, plan));
    EXPECT_TRUE(TReplaySession::PlaysNothing(TCommands(), TReplayPlan()));
}

// What an earlier run left is cleared, the range is marked, and the answers land in the list.
TEST(FiscalCommandsToSend, AreThoseOfAPassThatChangeTheFiscalState)
{
    // A sale, a status, a close, an excluded command, an opened shift, a Z report.
    const TCommands commands = Commands({"80 1E", "11 1E", "85 1E", "FF 0A 01", "E0 1E", "41 1E"});
    TReplayPlan plan;
    EXPECT_EQ(FiscalCommandsToSend(commands, plan), (QList<int32_t>{0, 2, 4, 5}));
    plan.Range = TReplayRange::FromRow(3);
    EXPECT_EQ(FiscalCommandsToSend(commands, plan), (QList<int32_t>{4, 5}));
    plan.Range = TReplayRange::OneRow(1);
    EXPECT_EQ(FiscalCommandsToSend(commands, plan), QList<int32_t>());
    plan.Range = TReplayRange::SelectedRows({1, 2, 5});
    EXPECT_EQ(FiscalCommandsToSend(commands, plan), (QList<int32_t>{2, 5}));
    plan.ExceptList = QStringList{QStringLiteral("85")};
    EXPECT_EQ(FiscalCommandsToSend(commands, plan), QList<int32_t>{5});
}

TEST_F(ReplaySessionTest, WritesItsAnswersIntoTheList)
{
    TCommands commands = Commands({"10", "11", "12"});
    commands[0].SetPlayedAnswerData("10 00");
    commands[0].Played = true;
    TReplayPlan plan;
    plan.Range = TReplayRange::FromRow(1);
    Play(commands, plan);
    EXPECT_FALSE(FCommands[0].HasPlayedAnswerData());
    EXPECT_EQ(FCommands[1].PlayedAnswerData(), "11 00");
    EXPECT_EQ(FCommands[2].PlayedAnswerData(), "12 00");
    EXPECT_EQ(Played(), QList<int>({1, 2}));
}

// The failure the player passes over (the last of the range) is still reported, once.
TEST_F(ReplaySessionTest, FailureOfTheLastCommandIsReported)
{
    FDriver.Script = FailOn(QStringLiteral("41"), 0x3D);
    const TReplayResult& result = Play(Commands({"10", "41 1E"}), TReplayPlan());
    EXPECT_EQ(FListener.Events, QStringList({"run 0 -1", "run 1 -1", "failed 1 -1 61 " + NoShift + " last"}));
    EXPECT_EQ(result.Failed, 1);
}

struct TPolicyCase
{
    const char* Name;
    TErrorPolicy Policy;
    TFakeStep Failure;          // of the first command
    std::deque<bool> Answers;   // to the questions
    QStringList Events;         // the first command's after its start
    QList<int> Played;
};

void PrintTo(const TPolicyCase& c, std::ostream* os) { *os << c.Name; }

class ReplayPolicyTest : public ReplaySessionTest, public ::testing::WithParamInterface<TPolicyCase> {};

TEST_P(ReplayPolicyTest, DecidesOrAsks)
{
    const TPolicyCase& c = GetParam();
    FDriver.Script = [&c](const QString& request) {
        return request == QLatin1String("80 1E") ? c.Failure : TFakeStep{0, request.left(2) + QStringLiteral(" 00"), {}};
    };
    FListener.Answers = c.Answers;
    TReplayPlan plan;
    plan.Policy = c.Policy;
    const TReplayResult& result = Play(Commands({"80 1E", "10", "11"}), plan);
    EXPECT_EQ(FListener.Events.mid(1, c.Events.size()), c.Events);
    EXPECT_EQ(Played(), c.Played);
    EXPECT_EQ(result.Failed, 1);
}

const TErrorPolicy AskAll{false, TErrorAction::eaAsk};
const TErrorPolicy AskIgnoringDevice{true, TErrorAction::eaAsk};
const TErrorPolicy StopIgnoringDevice{true, TErrorAction::eaStop};
const TFakeStep DeviceError{0x3D, {}, {}};
const TFakeStep DriverError{-3, {}, {}};
// A failed call whose message looks like a device error is still a failed call.
const TFakeStep CallFailure{0, {}, QStringLiteral("5, сбой")};

INSTANTIATE_TEST_SUITE_P(
    Policies, ReplayPolicyTest,
    ::testing::Values(
        TPolicyCase{"AskedYes", AskAll, DeviceError, {true},
                    {"failed 0 -1 61 " + NoShift, "asked 0 61: 0 " + NoShift, "run 1 -1"}, {0, 1, 2}},
        TPolicyCase{"AskedNo", AskAll, DeviceError, {false},
                    {"failed 0 -1 61 " + NoShift, "asked 0 61: 0 " + NoShift, "ended 0 -1 " + NoShift}, {0}},
        TPolicyCase{"IgnoredDeviceError", AskIgnoringDevice, DeviceError, {},
                    {"failed 0 -1 61 " + NoShift, "run 1 -1"}, {0, 1, 2}},
        TPolicyCase{"DriverErrorAskedThoughDeviceErrorsAreIgnored", AskIgnoringDevice, DriverError, {false},
                    {"failed 0 -1 -3 -3, Неподдерживаемый формат данных",
                     "asked 0 -3: 0 -3, Неподдерживаемый формат данных"},
                    {0}},
        TPolicyCase{"CallFailureAskedThoughDeviceErrorsAreIgnored", AskIgnoringDevice, CallFailure, {true},
                    {"failed 0 -1 0 5, сбой", "asked 0 0: 0 5, сбой", "run 1 -1"}, {1, 2}},
        TPolicyCase{"ContinueWithoutAsking", {false, TErrorAction::eaContinue}, DriverError, {},
                    {"failed 0 -1 -3 -3, Неподдерживаемый формат данных", "run 1 -1"}, {0, 1, 2}},
        TPolicyCase{"StopWithoutAsking", StopIgnoringDevice, DriverError, {},
                    {"failed 0 -1 -3 -3, Неподдерживаемый формат данных",
                     "ended 0 -1 -3, Неподдерживаемый формат данных"},
                    {0}}),
    kestrun::test::CaseName());

TEST_F(ReplaySessionTest, LoopEndsAfterItsCountedCycles)
{
    TReplayPlan plan;
    plan.Range = TReplayRange::FromRow(1);
    plan.Range.Loop = true;
    plan.Range.Cycles = 2;
    Play(Commands({"10", "11", "12", "FF 0A"}), plan);
    EXPECT_EQ(FListener.Events, QStringList({"run 1 1", "run 2 1", "run 1 2", "run 2 2"}));
    EXPECT_FALSE(FListener.Result->Interrupted);
}

TEST_F(ReplaySessionTest, StopEndsAnEndlessLoopAsInterrupted)
{
    TReplayPlan plan;
    plan.Range.Loop = true;
    // Stop only sets flags, so the replay thread may ask for it itself, mid-run.
    FListener.OnStart = [this](const TCommandStart& start) {
        if (start.Cycle == 3)
            FSession.Stop();
    };
    const TReplayResult& result = Play(Commands({"10", "11"}), plan);
    EXPECT_TRUE(result.Interrupted);
    EXPECT_EQ(result.Failed, 0);
    EXPECT_GE(FListener.Events.size(), 5);
}

// The engineer stops while the register keeps silent: its failure ends the run unasked.
TEST_F(ReplaySessionTest, FailureAfterAStopAsksNobody)
{
    FDriver.Script = [this](const QString& request) {
        if (!request.startsWith(QLatin1String("80")))
            return TFakeStep{0, request.left(2) + QStringLiteral(" 00"), {}};
        FSession.Stop();
        return TFakeStep{deNoAnswer, {}, {}};
    };
    FListener.Answers = {true};
    const TReplayResult& result = Play(Commands({"10", "80 1E", "11"}), TReplayPlan());
    const QString noAnswer = ResultErrorText(deNoAnswer, ResultDescription(deNoAnswer));
    EXPECT_EQ(FListener.Events,
              QStringList({"run 0 -1", "run 1 -1", "failed 1 -1 -9 " + noAnswer, "ended 1 -1 " + noAnswer}));
    EXPECT_EQ(FDriver.Sent(), QStringList({"10", "80 1E"}));
    EXPECT_TRUE(result.Interrupted);
}

// A run that ended on an error leaves the session ready for the next one.
TEST_F(ReplaySessionTest, NextRunAfterOneThatFailed)
{
    FDriver.Script = FailOn(QStringLiteral("80"), 0x3D);
    Play(Commands({"80 1E", "10"}), TReplayPlan());
    FListener.Result.reset();
    FListener.Events.clear();
    FDriver.Script = {};
    const TReplayResult& result = Play(Commands({"10", "11"}), TReplayPlan());
    EXPECT_EQ(FListener.Events, QStringList({"run 0 -1", "run 1 -1"}));
    EXPECT_EQ(result.Failed, 0);
}

} // namespace
} // namespace kestrun::test
