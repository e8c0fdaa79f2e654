// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaseName.h"
#include "FakeDriver.h"
#include "Recorder.h"
#include "playback/Player.h"

#include <QElapsedTimer>
#include <QMap>
#include <future>
#include "QtPrint.h"

#include <gtest/gtest.h>
#include <thread>

namespace kestrun::test {
namespace {

using namespace std::chrono_literals;

TCommands Selected(std::initializer_list<const char*> requests)
{
    TCommands commands;
    for (const char* data : requests) {
        TCommand c;
        c.SetData(data);
        c.Selected = true;
        commands << c;
    }
    return commands;
}

class PlayerTest : public ::testing::Test
{
protected:
    TEventBus FBus;
    TKestrun FPlayer{FBus};
    TRecorder FRecorder{FBus};
    TFakeDriver FDriver;
    const QStringList FNoExceptions;
};

TEST_F(PlayerTest, SendsSelectedCommandsAndStoresAnswers)
{
    TCommands commands = Selected({"10 1E 00 00 00", "11 1E 00 00 00", "FC"});
    commands[1].Selected = false;
    FPlayer.PlayLog(FDriver, commands, FNoExceptions, 0, 0, false);
    EXPECT_EQ(FDriver.Sent(), QStringList({"10 1E 00 00 00", "FC"}));
    EXPECT_EQ(FRecorder.Messages(), QStringList({"CommandRun: 0", "CommandRun: 2"}));
    EXPECT_EQ(commands[0].PlayedAnswerData(), "10 00");
    EXPECT_TRUE(commands[0].Played);
    EXPECT_FALSE(commands[1].Played);
    EXPECT_EQ(FDriver.BinaryConversion(), 1);
}

TEST_F(PlayerTest, LastCommandOfRangeFailsSilently)
{
    TCommands commands = Selected({"10 1E 00 00 00", "41 1E 00 00 00"});
    FDriver.Script = FailOn(QStringLiteral("41"), 0x3D);
    FPlayer.PlayLog(FDriver, commands, FNoExceptions, 0, 0, false);
    EXPECT_EQ(FRecorder.Messages(), QStringList({"CommandRun: 0", "CommandRun: 1"}));
    EXPECT_EQ(commands[1].PlayedAnswerData(), "41 3D");
    EXPECT_TRUE(commands[1].Played);
}

TEST_F(PlayerTest, CountOnePlaysOnlyTheFirstCommandAndNeverAsks)
{
    TCommands commands = Selected({"10", "41 1E 00 00 00", "11"});
    FDriver.Script = FailOn(QStringLiteral("41"), 0x3D);
    FPlayer.PlayLog(FDriver, commands, FNoExceptions, 1, 1, false);
    EXPECT_EQ(FDriver.Sent(), QStringList({"41 1E 00 00 00"}));
    EXPECT_EQ(FRecorder.Messages(), QStringList({"CommandRun: 1"}));
}

TEST_F(PlayerTest, RangeIsCutAtTheEndOfTheList)
{
    TCommands commands = Selected({"10", "11", "FC"});
    FPlayer.PlayLog(FDriver, commands, FNoExceptions, 1, 50, false);
    EXPECT_EQ(FDriver.Sent(), QStringList({"11", "FC"}));
}

TEST_F(PlayerTest, NegativeStartPlaysFromTheFirstCommand)
{
    TCommands commands = Selected({"10", "11"});
    FPlayer.PlayLog(FDriver, commands, FNoExceptions, -4, 0, false);
    EXPECT_EQ(FDriver.Sent(), QStringList({"10", "11"}));
}

TEST_F(PlayerTest, ExceptionListSkipsTwoByteCodeWithoutNotice)
{
    TCommands commands = Selected({"FF 0A 01 00 00 00", "0A 01"});
    FPlayer.PlayLog(FDriver, commands, {QStringLiteral("FF 0A")}, 0, 0, false);
    EXPECT_EQ(FDriver.Sent(), QStringList({"0A 01"}));
    EXPECT_EQ(FRecorder.Messages(), QStringList({"CommandRun: 1"}));
}

// A driver error line has no request: nothing is sent for it, the run says so and goes on.
TEST_F(PlayerTest, RowWithoutRequestBytesIsSkippedWithANotice)
{
    TCommands commands = Selected({"10", "", "  ", "11"});
    FDriver.Script = FailOn(QStringLiteral("11"), 0x3D);
    FPlayer.PlayLog(FDriver, commands, FNoExceptions, 0, 0, false);
    EXPECT_EQ(FDriver.Sent(), QStringList({"10", "11"}));
    EXPECT_EQ(FRecorder.Messages(),
              QStringList({"CommandRun: 0", "CommandSkip: 1", "CommandSkip: 2", "CommandRun: 3"}));
    EXPECT_FALSE(commands[1].Played);
}

TEST_F(PlayerTest, ContinueAfterErrorGoesOnWithTheNextCommand)
{
    TCommands commands = Selected({"80 1E", "10", "11"});
    FDriver.Script = FailOn(QStringLiteral("80"), 0x3D);
    FRecorder.OnErrorQuery = [this](const QString&) { FPlayer.SetPlayMode(TPlayMode::pmContinue); };
    FPlayer.PlayLog(FDriver, commands, FNoExceptions, 0, 0, false);
    EXPECT_EQ(FRecorder.Messages(),
              QStringList({"CommandRun: 0", "ErrorQuery: 0 61, Смена не открыта - операция невозможна",
                           "CommandRun: 1", "CommandRun: 2"}));
    EXPECT_EQ(FPlayer.PlayMode(), TPlayMode::pmPlay);
}

TEST_F(PlayerTest, StopAfterErrorPostsErrorAndKeepsWhatWasPlayed)
{
    TCommands commands = Selected({"10", "80 1E", "11"});
    FDriver.Script = FailOn(QStringLiteral("80"), 0x3D);
    FRecorder.OnErrorQuery = [this](const QString&) { FPlayer.SetPlayMode(TPlayMode::pmStop); };
    FPlayer.PlayLog(FDriver, commands, FNoExceptions, 0, 0, false);
    EXPECT_EQ(FRecorder.Messages(),
              QStringList({"CommandRun: 0", "CommandRun: 1", "ErrorQuery: 1 61, Смена не открыта - операция невозможна",
                           "Error: 1 -1 61, Смена не открыта - операция невозможна"}));
    EXPECT_EQ(commands[0].PlayedAnswerData(), "10 00");
    EXPECT_EQ(commands[1].PlayedAnswerData(), "80 3D");
    EXPECT_FALSE(commands[2].Played);
}

TEST_F(PlayerTest, DriverErrorKeepsTheDriverAnswerText)
{
    TCommands commands = Selected({"10", "11"});
    FDriver.Script = [](const QString& request) {
        return request == QLatin1String("10") ? TFakeStep{deBadConversion, {}, {}} : TFakeStep{0, "11 00", {}};
    };
    FRecorder.OnErrorQuery = [this](const QString&) { FPlayer.SetPlayMode(TPlayMode::pmStop); };
    FPlayer.PlayLog(FDriver, commands, FNoExceptions, 0, 0, false);
    EXPECT_EQ(FRecorder.Messages().at(1), "ErrorQuery: 0 -3, Неподдерживаемый формат данных");
    EXPECT_TRUE(commands[0].Played);
    EXPECT_EQ(commands[0].PlayedAnswerData(), "");
}

TEST_F(PlayerTest, FailedCallTakesTheErrorRoadWithItsMessage)
{
    TCommands commands = Selected({"10", "11"});
    FDriver.Script = [](const QString&) { return TFakeStep{0, {}, QStringLiteral("Порт закрыт")}; };
    FRecorder.OnErrorQuery = [this](const QString&) { FPlayer.SetPlayMode(TPlayMode::pmStop); };
    FPlayer.PlayLog(FDriver, commands, FNoExceptions, 0, 0, false);
    EXPECT_EQ(FRecorder.Messages(),
              QStringList({"CommandRun: 0", "ErrorQuery: 0 Порт закрыт", "Error: 0 -1 Порт закрыт"}));
    EXPECT_FALSE(commands[0].Played);
}

TEST_F(PlayerTest, LoopModeCountsCyclesUntilStopped)
{
    TCommands commands = Selected({"10", "11"});
    FRecorder.OnCommandRun = [this](const QString& AMsg) {
        if (AMsg == QLatin1String("1 2"))
            FPlayer.StopPlaying();
    };
    FPlayer.PlayLog(FDriver, commands, FNoExceptions, 0, 0, true);
    EXPECT_EQ(FRecorder.Messages(), QStringList({"CommandRun: 0 1", "CommandRun: 1 1", "CommandRun: 0 2",
                                                 "CommandRun: 1 2"}));
}

TEST_F(PlayerTest, LoopModeErrorCarriesTheCycle)
{
    TCommands commands = Selected({"10", "80 1E", "11"});
    int runs = 0;
    FDriver.Script = [&runs](const QString& request) {
        if (request.startsWith(QLatin1String("80")) && ++runs == 3)
            return TFakeStep{0x50 + 0x0E, {}, {}};
        return TFakeStep{0, request.left(2) + " 00", {}};
    };
    FRecorder.OnErrorQuery = [this](const QString&) { FPlayer.SetPlayMode(TPlayMode::pmStop); };
    FPlayer.PlayLog(FDriver, commands, FNoExceptions, 0, 0, true);
    EXPECT_EQ(FRecorder.Messages().last(), "Error: 1 3 94, Некорректная операция");
}

TEST_F(PlayerTest, EmptyLoopRepeatsUntilStopped)
{
    TCommands commands = Selected({"10", "11"});
    for (TCommand& c : commands)
        c.Selected = false;
    auto run = std::async(std::launch::async, [&] { FPlayer.PlayLog(FDriver, commands, FNoExceptions, 0, 0, true); });
    EXPECT_EQ(run.wait_for(200ms), std::future_status::timeout);
    FPlayer.StopPlaying();
    ASSERT_EQ(run.wait_for(30s), std::future_status::ready);
    EXPECT_TRUE(FRecorder.Messages().isEmpty());
    EXPECT_TRUE(FDriver.Sent().isEmpty());
}

class BusyTest : public PlayerTest, public ::testing::WithParamInterface<int32_t>
{
};

TEST_P(BusyTest, FiveExchangesWithPausesThenTheErrorPath)
{
    TCommands commands = Selected({"FF 45 1E", "10"});
    FDriver.Script = [](const QString&) { return TFakeStep{GetParam(), {}, {}}; };
    FRecorder.OnErrorQuery = [this](const QString&) { FPlayer.SetPlayMode(TPlayMode::pmStop); };
    QElapsedTimer clock;
    clock.start();
    FPlayer.PlayLog(FDriver, commands, FNoExceptions, 0, 0, false);
    EXPECT_GE(clock.elapsed(), 5 * 50);
    EXPECT_EQ(FDriver.Sent().size(), 5);
    EXPECT_EQ(FRecorder.Messages().at(1),
              QStringLiteral("ErrorQuery: 0 %1, %2").arg(GetParam()).arg(ResultDescription(GetParam())));
    EXPECT_EQ(commands[0].PlayedAnswerData(), QStringLiteral("FF 45 %1").arg(GetParam(), 2, 16).toUpper().toLatin1());
    EXPECT_TRUE(FDriver.WaitedAfter().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Player, BusyTest, ::testing::Values(80, 75),
                         [](const auto& info) { return "Result" + std::to_string(info.param); });

TEST_F(PlayerTest, BusyThenSuccessIsNoError)
{
    TCommands commands = Selected({"10", "11"});
    int exchanges = 0;
    FDriver.Script = [&exchanges](const QString&) {
        return ++exchanges <= 2 ? TFakeStep{80, {}, {}} : TFakeStep{0, "10 00", {}};
    };
    FPlayer.PlayLog(FDriver, commands, FNoExceptions, 0, 1, false);
    EXPECT_EQ(FDriver.Sent().size(), 3);
    EXPECT_EQ(commands[0].PlayedAnswerData(), "10 00");
}

TEST_F(PlayerTest, BusyCommandIsNotAskedAgainAfterAStop)
{
    TCommands commands = Selected({"10", "11"});
    FDriver.Script = [this](const QString&) {
        FPlayer.StopPlaying();
        return TFakeStep{80, {}, {}};
    };
    FPlayer.PlayLog(FDriver, commands, FNoExceptions, 0, 0, false);
    EXPECT_EQ(FDriver.Sent(), QStringList{QStringLiteral("10")});
}

struct TPrintCase
{
    const char* Name;
    const char* Data;
    int32_t Result;
    bool Waits;
};

class PrintWaitTest : public PlayerTest, public ::testing::WithParamInterface<TPrintCase>
{
};

TEST_P(PrintWaitTest, WaitsOnlyAfterSuccessfulPrintingCommands)
{
    TCommands commands = Selected({GetParam().Data});
    FDriver.Script = [](const QString& request) { return TFakeStep{GetParam().Result, request.left(2) + " 00", {}}; };
    FPlayer.PlayLog(FDriver, commands, FNoExceptions, 0, 0, false);
    EXPECT_EQ(FDriver.WaitedAfter().size(), GetParam().Waits ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Player, PrintWaitTest,
                         ::testing::Values(TPrintCase{"ZReport", "41 1E 00 00 00", 0, true},
                                           TPrintCase{"ZReportFailed", "41 1E 00 00 00", 0x3D, false},
                                           TPrintCase{"XReport", "40 1E 00 00 00", 0, true},
                                           TPrintCase{"OpenShift", "E0 1E 00 00 00", 0, true},
                                           TPrintCase{"CloseV2", "FF 45 1E", 0, true},
                                           TPrintCase{"Correction", "FF 4A 1E", 0, true},
                                           TPrintCase{"SettlementReport", "FF 38 1E", 0, true},
                                           TPrintCase{"Reregistration", "FF 34 1E", 0, true},
                                           TPrintCase{"Registration", "FF 06 1E", 0, true},
                                           TPrintCase{"LeadingBlank", " 41 1E 00 00 00", 0, true},
                                           TPrintCase{"LowerCase", "ff 45 1E", 0, false},
                                           TPrintCase{"Operation", "FF 46 1E", 0, false},
                                           // These print (the emulator keeps busy after them), yet the
                                           // player goes straight on.
                                           TPrintCase{"CloseReceipt", "85 1E 00 00 00", 0, false},
                                           TPrintCase{"CloseV3", "FF 76 1E", 0, false},
                                           TPrintCase{"PrintLine", "17 1E 00 00 00 02 41", 0, false},
                                           TPrintCase{"Sale", "80 1E", 0, false}),
                         kestrun::test::CaseName());

struct TPlayedAnswerCase
{
    const char* Name;
    const char* Data;
    int32_t Result;
    const char* Played;
};

class PlayedAnswerTest : public PlayerTest, public ::testing::WithParamInterface<TPlayedAnswerCase>
{
};

TEST_P(PlayedAnswerTest, DeviceErrorBecomesCodeAndErrorByte)
{
    TCommands commands = Selected({GetParam().Data});
    FDriver.Script = [](const QString&) { return TFakeStep{GetParam().Result, {}, {}}; };
    FPlayer.PlayLog(FDriver, commands, FNoExceptions, 0, 0, false);
    EXPECT_EQ(commands[0].PlayedAnswerData(), GetParam().Played);
    EXPECT_TRUE(commands[0].Played);
}

INSTANTIATE_TEST_SUITE_P(Player, PlayedAnswerTest,
                         ::testing::Values(TPlayedAnswerCase{"FFPrefix", "FF 45 1E 00", 0x33, "FF 45 33"},
                                           TPlayedAnswerCase{"OneByteCode", "E0 1E 00 00 00", 0x16, "E0 16"},
                                           TPlayedAnswerCase{"FEIsNoPrefix", "FE 01 02", 0x37, "FE 37"},
                                           TPlayedAnswerCase{"TooShort", "8", 0x37, ""}),
                         kestrun::test::CaseName());

TEST_F(PlayerTest, DecisionWrittenLaterOnAnotherThreadIsAwaited)
{
    TCommands commands = Selected({"80 1E", "10", "11"});
    std::atomic<bool> decided{false};
    std::promise<void> asked;
    FDriver.Script = [&decided](const QString& request) {
        if (request.startsWith(QLatin1String("80")))
            return TFakeStep{0x3D, {}, {}};
        EXPECT_TRUE(decided) << "sent before the decision";
        return TFakeStep{0, request.left(2) + " 00", {}};
    };
    // The handler only hands the question over, as a window that asks on its own thread does.
    FRecorder.OnErrorQuery = [&asked](const QString&) { asked.set_value(); };
    std::thread decider([&] {
        asked.get_future().wait();
        decided = true;
        FPlayer.SetPlayMode(TPlayMode::pmContinue);
    });
    FPlayer.PlayLog(FDriver, commands, FNoExceptions, 0, 0, false);
    decider.join();
    EXPECT_EQ(FDriver.Sent(), QStringList({"80 1E", "10", "11"}));
}

TEST_F(PlayerTest, StopWhileWaitingForADecisionEndsTheRun)
{
    TCommands commands = Selected({"80 1E", "10"});
    FDriver.Script = FailOn(QStringLiteral("80"), 0x3D);
    std::thread stopper;
    FRecorder.OnErrorQuery = [&](const QString&) { stopper = std::thread([this] { FPlayer.StopPlaying(); }); };
    FPlayer.PlayLog(FDriver, commands, FNoExceptions, 0, 0, false);
    stopper.join();
    EXPECT_EQ(FDriver.Sent(), QStringList({"80 1E"}));
    EXPECT_EQ(FRecorder.Messages().last(), "Error: 0 -1 61, Смена не открыта - операция невозможна");
}

TEST_F(PlayerTest, StopDuringSlowPrintFinishesTheCurrentCommandFirst)
{
    TCommands commands = Selected({"41 1E 00 00 00", "E0 1E 00 00 00"});
    std::promise<void> printing;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    FDriver.OnWaitForPrinting = [&] {
        if (FDriver.WaitedAfter().size() == 1) {
            printing.set_value();
            released.wait();
        }
    };
    auto run = std::async(std::launch::async, [&] { FPlayer.PlayLog(FDriver, commands, FNoExceptions, 0, 0, false); });
    ASSERT_EQ(printing.get_future().wait_for(30s), std::future_status::ready);
    FPlayer.StopPlaying();
    EXPECT_EQ(run.wait_for(100ms), std::future_status::timeout) << "the print under way was cut short";
    release.set_value();
    ASSERT_EQ(run.wait_for(30s), std::future_status::ready);
    EXPECT_EQ(FDriver.Sent(), QStringList({"41 1E 00 00 00"}));
    EXPECT_EQ(FRecorder.Messages(), QStringList({"CommandRun: 0"}));
}

TEST_F(PlayerTest, StopPlayChannelSetsStop)
{
    FBus.Post(QString::fromLatin1(ChannelStopPlay), QStringLiteral("any"));
    EXPECT_EQ(FPlayer.PlayMode(), TPlayMode::pmStop);
    EXPECT_FALSE(FPlayer.WaitPlayMode());
}

// A bus that knows the channels of its live subscriptions.
class TWatchedBus final : public IEventBus
{
public:
    TSubscriptionId Subscribe(TSubscription subscription) override
    {
        const QString channel = subscription.Channel;
        const TSubscriptionId id = FBus.Subscribe(std::move(subscription));
        FLive.insert(id, channel);
        return id;
    }
    void Unsubscribe(TSubscriptionId id) override
    {
        FBus.Unsubscribe(id);
        FLive.remove(id);
    }
    void Post(const QString& AChannel, const QString& AMessage) override { FBus.Post(AChannel, AMessage); }

    QStringList LiveChannels() const { return FLive.values(); }

private:
    TEventBus FBus;
    QMap<TSubscriptionId, QString> FLive;
};

TEST(PlayerRegistration, DestroyedPlayerLeavesNoHandler)
{
    TWatchedBus bus;
    {
        TKestrun player(bus);
        EXPECT_EQ(bus.LiveChannels(), QStringList({QString::fromLatin1(ChannelStopPlay)}));
    }
    EXPECT_EQ(bus.LiveChannels(), QStringList());
}

struct TAllowedCase
{
    const char* Name;
    QStringList Lines;
    const char* Data;
    bool Allowed;
};

class AllowedTest : public ::testing::TestWithParam<TAllowedCase>
{
};

TEST_P(AllowedTest, CodesOfTheLinesAreExcluded)
{
    TCommand command;
    command.SetData(GetParam().Data);
    EXPECT_EQ(TKestrun::IsCommandAllowed(command, GetParam().Lines), GetParam().Allowed);
}

INSTANTIATE_TEST_SUITE_P(
    Player, AllowedTest,
    ::testing::Values(TAllowedCase{"TwoByteCode", {"FF 0A"}, "FF 0A 01 00", false},
                      TAllowedCase{"SecondByteAloneIsOther", {"FF 0A"}, "0A 01", true},
                      TAllowedCase{"OneByteCode", {"FF 0A", "10"}, "10 1E 00 00 00", false},
                      TAllowedCase{"RunTogether", {"ff0a"}, "FF 0A", false},
                      TAllowedCase{"EmptyLineIsCodeZero", {""}, "", false},
                      TAllowedCase{"EmptyLineKeepsOthers", {""}, "10", true},
                      TAllowedCase{"NoList", {}, "FF 0A", true}),
    kestrun::test::CaseName());

} // namespace
} // namespace kestrun::test
