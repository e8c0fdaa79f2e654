// SPDX-License-Identifier: GPL-3.0-or-later
#include "Recorder.h"
#include "playback/DeviceDriver.h"
#include "playback/Player.h"

#include "QtPrint.h"

#include <gtest/gtest.h>

namespace kestrun::test {
namespace {

// A shift as a log shows it: open, one sale, close the receipt, Z report.
TCommands Shift()
{
    TCommands commands;
    for (const char* data : {"E0 1E 00 00 00", "80 1E 00 00 00 E8 03 00 00 00 10 27 00 00 00 01 00 00 00 00",
                             "FF 0A 1E 00 00 00 01 00 00 00",
                             "85 1E 00 00 00 10 27 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
                             "00 00 00 00",
                             "41 1E 00 00 00"}) {
        TCommand c;
        c.SetData(data);
        c.Selected = true;
        commands << c;
    }
    return commands;
}

TEST(Replay, ShiftAgainstTheEmulator)
{
    TEventBus bus;
    TKestrun player(bus);
    TRecorder recorder(bus);
    const std::unique_ptr<TUlvex> driver = CreateDriver(QStringLiteral("emulator:print=1"));
    TCommands commands = Shift();
    player.PlayLog(*driver, commands, {QStringLiteral("FF 0A")}, 0, 0, false);
    EXPECT_EQ(recorder.Messages(),
              QStringList({"CommandRun: 0", "CommandRun: 1", "CommandRun: 3", "CommandRun: 4"}));
    EXPECT_EQ(commands[0].PlayedAnswerData(), "E0 00");
    EXPECT_EQ(commands[1].PlayedAnswerData(), "80 00");
    EXPECT_FALSE(commands[2].Played);
    EXPECT_EQ(commands[3].PlayedAnswerData(), "85 00 1E 00 00 00 00 00");
    EXPECT_EQ(commands[4].PlayedAnswerData(), "41 00");
}

TEST(Replay, SecondPassOfALoopMeetsTheStateTheFirstLeft)
{
    TEventBus bus;
    TKestrun player(bus);
    TRecorder recorder(bus);
    recorder.OnErrorQuery = [&](const QString&) { player.SetPlayMode(TPlayMode::pmContinue); };
    recorder.OnCommandRun = [&](const QString& AMsg) {
        if (AMsg == QLatin1String("1 2"))
            player.StopPlaying();
    };
    const std::unique_ptr<TUlvex> driver = CreateDriver(QStringLiteral("emulator"));
    TCommands commands = Shift();
    // The first pass leaves a receipt open, so the second cannot open the shift.
    player.PlayLog(*driver, commands, {}, 0, 2, true);
    EXPECT_EQ(recorder.Messages(),
              QStringList({"CommandRun: 0 1", "CommandRun: 1 1", "CommandRun: 0 2",
                           "ErrorQuery: 0 74, Открыт чек - операция невозможна", "CommandRun: 1 2"}));
    EXPECT_EQ(commands[0].PlayedAnswerData(), "E0 4A");
    EXPECT_EQ(commands[1].PlayedAnswerData(), "80 00");
}

} // namespace
} // namespace kestrun::test
