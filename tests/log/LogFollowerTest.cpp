// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaseName.h"
#include "LogBuilder.h"
#include "log/Codepages.h"
#include "log/Exception.h"
#include "log/LogFollower.h"
#include "log/LogLoader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

namespace kestrun {

// Names a command in failure output by what tells commands apart.
void PrintTo(const TCommand& command, std::ostream* os)
{
    *os << '{' << command.Data().toStdString() << " | " << command.AnswerData().toStdString() << " | "
        << command.DriverError().toStdString() << " | line " << command.LineNumber << '}';
}

namespace test {
namespace {

const QByteArray ErrorLine = "[12.03.2024 10:15:31.000] [00001A2C] [ERROR] TFiscalPrinter - ";
const QString Cyrillic = QStringLiteral("Нет связи с ККТ");

QByteArray Utf16Le(const QString& text)
{
    QByteArray bytes("\xFF\xFE");
    for (QChar c : text) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes;
}

const std::vector<TExchange> Exchanges = {
    {"10 1E 00 00 00", "10 00 01 02"},
    {"FF 01 1E 00 00 00", "FF 01 00 05"},
    {"11 1E 00 00 00", "11 00 33"},
};

struct TFollowCase
{
    const char* Name;
    QByteArray Bytes; // the final file
};

void PrintTo(const TFollowCase& c, std::ostream* os) { *os << c.Name; }

class LogFollowerTest : public ::testing::Test
{
protected:
    QString Path() const { return Folder.filePath(QStringLiteral("driver.log")); }

    void Append(const QByteArray& bytes) const
    {
        QFile file(Path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Append));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }

    // The commands a follower shows: what it added, with a changed last command put in place.
    static void Apply(const TFollowStep& step, TCommands& shown)
    {
        if (step.Restarted)
            shown.clear();
        if (step.ChangedLast) {
            ASSERT_FALSE(shown.isEmpty());
            shown.last() = *step.ChangedLast;
        }
        shown.append(step.Added);
        EXPECT_EQ(step.Error, QString());
    }

    TCommands LoadWhole() const
    {
        TCommands commands;
        LoadLogFile(Path(), {}, commands);
        return commands;
    }

    QTemporaryDir Folder;
};

class FollowSplitTest : public LogFollowerTest, public ::testing::WithParamInterface<TFollowCase> {};

// Split points: every byte of the start (byte-order mark, first line), then every few bytes, so
// that splits fall at every place of a line and of a character over the log.
constexpr qsizetype EveryByteUpTo = 80;
constexpr qsizetype SplitStride = 7;

// Written in two pieces: the second look shows exactly the whole load, and nothing shown after
// the first piece changes later.
TEST_P(FollowSplitTest, EveryTwoPieceWriteEndsLikeAWholeLoad)
{
    const QByteArray& bytes = GetParam().Bytes;
    WriteFile(Path(), bytes);
    const TCommands whole = LoadWhole();
    ASSERT_FALSE(whole.isEmpty());
    for (qsizetype split = 0; split <= bytes.size(); split += split < EveryByteUpTo ? 1 : SplitStride) {
        SCOPED_TRACE(split);
        WriteFile(Path(), bytes.first(split));
        TLogFollower follower(Path(), {});
        TCommands shown;
        Apply(follower.Step(), shown);
        ASSERT_LE(shown.size(), whole.size());
        EXPECT_EQ(shown, whole.first(shown.size()));
        Append(bytes.sliced(split));
        const TFollowStep second = follower.Step();
        EXPECT_FALSE(second.Restarted);
        EXPECT_FALSE(second.ChangedLast.has_value());
        Apply(second, shown);
        ASSERT_EQ(shown, whole);
        EXPECT_EQ(follower.Count(), whole.size());
    }
}

// Written byte by byte, looking after every byte.
TEST_P(FollowSplitTest, ByteByByteWriteEndsLikeAWholeLoad)
{
    const QByteArray& bytes = GetParam().Bytes;
    WriteFile(Path(), {});
    TLogFollower follower(Path(), {});
    TCommands shown;
    for (char byte : bytes) {
        Append(QByteArray(1, byte));
        Apply(follower.Step(), shown);
    }
    WriteFile(Path(), bytes);
    EXPECT_EQ(shown, LoadWhole());
}

INSTANTIATE_TEST_SUITE_P(Dialects, FollowSplitTest, ::testing::Values(
    TFollowCase{"Protocol1", Protocol1Log(Exchanges)},
    TFollowCase{"Protocol2", UnicodeToCp1251(Protocol2Log(Exchanges)) + "\r\n"},
    TFollowCase{"Ng", NgLog(Exchanges)},
    TFollowCase{"Windows1251DriverError", Protocol1Log(Exchanges) + ErrorLine + UnicodeToCp1251(Cyrillic) + "\r\n"
                                             + Protocol1Log({Exchanges[0]})},
    TFollowCase{"Utf8WithMark", "\xEF\xBB\xBF" + Protocol1Log({Exchanges[0]}) + ErrorLine + Cyrillic.toUtf8() + "\n"
                                    + NgLog({Exchanges[1]})},
    TFollowCase{"Utf16WithMark", Utf16Le(QString::fromLatin1(Protocol1Log({Exchanges[0]})) + QString::fromLatin1(ErrorLine)
                                         + Cyrillic + QStringLiteral("\r\n") + QString::fromLatin1(NgLog({Exchanges[2]})))},
    TFollowCase{"CrOnlyLines", Protocol1Log(Exchanges).replace("\r\n", "\r")}),
    CaseName());

// An exchange appears once it is complete: named points inside the second exchange.
struct TPartCase
{
    const char* Name;
    QByteArray Bytes;
    QByteArray Through; // the first piece ends just after this text's first occurrence
    qsizetype ShownAfterFirst;
};

void PrintTo(const TPartCase& c, std::ostream* os) { *os << c.Name; }

class FollowPartTest : public LogFollowerTest, public ::testing::WithParamInterface<TPartCase> {};

TEST_P(FollowPartTest, ShowsAnExchangeOnlyOnceComplete)
{
    const TPartCase& c = GetParam();
    const qsizetype split = c.Bytes.indexOf(c.Through) + c.Through.size();
    ASSERT_GE(split, c.Through.size());
    WriteFile(Path(), c.Bytes.first(split));
    TLogFollower follower(Path(), {});
    TCommands shown;
    Apply(follower.Step(), shown);
    EXPECT_EQ(shown.size(), c.ShownAfterFirst);
    Append(c.Bytes.sliced(split));
    Apply(follower.Step(), shown);
    WriteFile(Path(), c.Bytes);
    EXPECT_EQ(shown, LoadWhole());
}

const QByteArray TwoProtocol1 = Protocol1Log({Exchanges[0], Exchanges[1]});
const QByteArray TwoProtocol2 = UnicodeToCp1251(Protocol2Log({Exchanges[0], Exchanges[1]})) + "\r\n";

INSTANTIATE_TEST_SUITE_P(Points, FollowPartTest, ::testing::Values(
    TPartCase{"Protocol1InsideRequestLine", TwoProtocol1, "-> 02 06 FF 01", 1},
    TPartCase{"Protocol1AfterRequest", TwoProtocol1, "FF 01 1E 00 00 00 00\r\n[12.03.2024 10:15:30.123] [00001A2C] [DEBUG] TPrinterProtocol <- 06\r\n", 1},
    TPartCase{"Protocol1InsideAnswer", TwoProtocol1, "<- FF 01 00", 1},
    TPartCase{"Protocol1BeforeHostAck", TwoProtocol1, "FF 01 00 05\r\n[12.03.2024 10:15:30.123] [00001A2C] [DEBUG] TPrinterProtocol <- 05\r\n", 1},
    TPartCase{"Protocol1AfterHostAck", TwoProtocol1, TwoProtocol1, 2},
    TPartCase{"Protocol2AfterRequest", TwoProtocol2, "8F 06 00 01 00 FF 01 1E 00 00 00 12 34\r\n", 1},
    TPartCase{"NgAfterRequest", NgLog({Exchanges[0], Exchanges[1]}), "-> FF 01 1E 00 00 00\r\n", 1}),
    CaseName());

// Lines of every dialect and handshake step, in any order, so that the parser meets each state
// with each kind of line, split anywhere.
const char* const ShuffledLines[] = {
    "[12.03.2024 10:15:30.123] [00001A2C] [DEBUG] TPrinterProtocol -> 05",
    "[12.03.2024 10:15:30.123] [00001A2C] [DEBUG] TPrinterProtocol -> 02 05 10 AA BB CC 02",
    "[12.03.2024 10:15:30.123] [00001A2C] [DEBUG] TPrinterProtocol -> 03 10 AA BB",
    "[12.03.2024 10:15:30.123] [00001A2C] [DEBUG] TPrinterProtocol -> 06",
    "[12.03.2024 10:15:30.123] [00001A2C] [DEBUG] TPrinterProtocol -> 15",
    "[12.03.2024 10:15:30.123] [00001A2C] [DEBUG] TPrinterProtocol <- 06",
    "[12.03.2024 10:15:30.123] [00001A2C] [DEBUG] TPrinterProtocol <- 02",
    "[12.03.2024 10:15:30.123] [00001A2C] [DEBUG] TPrinterProtocol <- 04",
    "[12.03.2024 10:15:30.123] [00001A2C] [DEBUG] TPrinterProtocol <- 10 00 CC DD",
    "[12.03.2024 10:15:30.123] [00001A2C] [DEBUG] TPrinterProtocol <- 05",
    "[12.03.2024 10:15:30.123] [00001A2C] [DEBUG] TPrinterProtocol2 -> 8F 06 00 01 00 10 9F 81 BB 12 34",
    "[12.03.2024 10:15:30.123] [00001A2C] [DEBUG] TPrinterProtocol2 <- 06",
    "[12.03.2024 10:15:30.123] [00001A2C] [DEBUG] TPrinterProtocol2 <- 8F 07 00 01 00 10 00 CC DD 56 78",
    "[12.03.2024 10:15:30.123] [00001A2C] [DEBUG] TPrinterProtocol2 <- EE 9F",
    "[12.03.2024 10:15:30.123] [00001A2C] [DEBUG] TPrinterProtocol2 -> 8F 06 00 01 00 10 9F 82 BB 12 34",
    "[12.03.2024 10:15:30.123] [00001A2C] [D] -> 05",
    "[12.03.2024 10:15:30.123] [00001A2C] [D] -> 02 03 10 AA BB 02",
    "[12.03.2024 10:15:30.123] [00001A2C] [D] <- FF",
    "[12.03.2024 10:15:30.123] [00001A2C] [D] <- 02 04 10 00 CC DD 05",
    "[12.03.2024 10:15:30.123] Thread-7 DEBUG com.kelmar.fiscalprinter.PrinterProtocol_1 - -> 05",
    "[12.03.2024 10:15:30.123] Thread-7 DEBUG com.kelmar.fiscalprinter.PrinterProtocol_1 - -> 02 03 10 AA BB 02",
    "[12.03.2024 10:15:30.123] Thread-7 DEBUG com.kelmar.fiscalprinter.PrinterProtocol_1 - <- 02",
    "[12.03.2024 10:15:30.123] Thread-7 DEBUG com.kelmar.fiscalprinter.PrinterProtocol_1 - <- 10 00 CC DD",
    "[12.03.2024 10:15:30.123] Thread-7 DEBUG com.kelmar.fiscalprinter.PrinterProtocol_1 - -> 06",
    "[12.03.2024 10:15:31.000] [00001A2C] [ERROR] TFiscalPrinter - \xCD\xE5\xF2 \xF1\xE2\xFF\xE7\xE8",
    "other text",
    "",
};

// Logs of lines drawn at random (a fixed seed), each written in three pieces cut anywhere and
// looked at after each: what was shown, with what the end of following hands over (an exchange
// left open), is what a whole load gives, packet format error included.
TEST_F(LogFollowerTest, ShuffledLogsInPiecesEndLikeAWholeLoad)
{
    std::mt19937 random(20240312);
    for (int round = 0; round < 250; ++round) {
        QByteArray bytes;
        const int lines = int(random() % 40);
        for (int i = 0; i < lines; ++i)
            bytes += QByteArray(ShuffledLines[random() % std::size(ShuffledLines)]) + "\r\n";
        SCOPED_TRACE(bytes.toStdString());
        const qsizetype cuts[] = {qsizetype(random() % (bytes.size() + 1)), qsizetype(random() % (bytes.size() + 1))};
        const qsizetype first = std::min(cuts[0], cuts[1]);
        const qsizetype second = std::max(cuts[0], cuts[1]);

        WriteFile(Path(), bytes);
        TCommands whole;
        QString wholeError;
        try {
            LoadLogFile(Path(), {}, whole);
        } catch (const Exception& e) {
            wholeError = e.Message();
        }

        WriteFile(Path(), bytes.first(first));
        TLogFollower follower(Path(), {});
        TCommands shown;
        QString error;
        const auto look = [&] {
            const TFollowStep step = follower.Step();
            ASSERT_FALSE(step.Restarted);
            if (step.ChangedLast) {
                ASSERT_FALSE(shown.isEmpty());
                shown.last() = *step.ChangedLast;
            }
            shown.append(step.Added);
            if (!step.Error.isEmpty())
                error = step.Error;
        };
        look();
        Append(bytes.sliced(first, second - first));
        look();
        Append(bytes.sliced(second));
        look();
        const TFollowStep end = follower.Finish();
        ASSERT_FALSE(end.ChangedLast.has_value());
        shown.append(end.Added);
        if (!end.Error.isEmpty())
            error = end.Error;
        ASSERT_EQ(error, wholeError);
        ASSERT_EQ(shown, whole);
    }
}

TEST_F(LogFollowerTest, ShrunkFileStartsAgain)
{
    WriteFile(Path(), Protocol1Log(Exchanges));
    TLogFollower follower(Path(), {});
    EXPECT_EQ(follower.Step().Added.size(), 3);
    WriteFile(Path(), Protocol1Log({Exchanges[2]}));
    const TFollowStep step = follower.Step();
    EXPECT_TRUE(step.Restarted);
    EXPECT_EQ(step.Added, LoadWhole());
}

TEST_F(LogFollowerTest, ReplacedFileStartsAgain)
{
    WriteFile(Path(), Protocol1Log({Exchanges[0]}));
    TLogFollower follower(Path(), {});
    EXPECT_EQ(follower.Step().Added.size(), 1);
    const QString next = Folder.filePath(QStringLiteral("next.log"));
    WriteFile(next, Protocol1Log(Exchanges) + Protocol1Log(Exchanges));
    ASSERT_TRUE(QFile::remove(Path()));
    // While the name is missing (a rotation under way) nothing changes.
    const TFollowStep waiting = follower.Step();
    EXPECT_FALSE(waiting.Restarted);
    EXPECT_TRUE(waiting.Added.isEmpty());
    ASSERT_TRUE(QFile::rename(next, Path()));
    const TFollowStep step = follower.Step();
    EXPECT_TRUE(step.Restarted);
    EXPECT_EQ(step.Added.size(), 6);
    EXPECT_EQ(step.Added, LoadWhole());
}

// Truncated and written again beyond the old end between two looks: the changed start tells.
TEST_F(LogFollowerTest, FileRewrittenPastItsOldEndStartsAgain)
{
    WriteFile(Path(), NgLog({Exchanges[0]}));
    TLogFollower follower(Path(), {});
    EXPECT_EQ(follower.Step().Added.size(), 1);
    WriteFile(Path(), Protocol1Log(Exchanges));
    const TFollowStep step = follower.Step();
    EXPECT_TRUE(step.Restarted);
    EXPECT_EQ(step.Added, LoadWhole());
}

// A protocol-2 answer continued on a later line changes the command already shown.
TEST_F(LogFollowerTest, AnswerContinuedLaterChangesTheLastCommand)
{
    const QByteArray request = "[12.03.2024 10:15:00.123] [00001A2C] [DEBUG] TPrinterProtocol2 -> 8F 06 00 01 00 10 12 34\r\n";
    const QByteArray answer1 = "[12.03.2024 10:15:00.123] [00001A2C] [DEBUG] TPrinterProtocol2 <- 8F 07 00 01 00 10 00\r\n";
    const QByteArray answer2 = "[12.03.2024 10:15:00.123] [00001A2C] [DEBUG] TPrinterProtocol2 <- CC DD 56 78\r\n";
    WriteFile(Path(), request + answer1);
    TLogFollower follower(Path(), {});
    TCommands shown;
    Apply(follower.Step(), shown);
    ASSERT_EQ(shown.size(), 1);
    Append(answer2 + "other\r\n");
    const TFollowStep step = follower.Step();
    ASSERT_TRUE(step.ChangedLast.has_value());
    Apply(step, shown);
    EXPECT_EQ(shown, LoadWhole());
    EXPECT_EQ(shown.constFirst().AnswerData(), "10 00 CC DD");
}

TEST_F(LogFollowerTest, PacketFormatErrorKeepsTheCommandsBeforeItAndStops)
{
    const QByteArray bad = "[12.03.2024 10:15:09.123] [00001A2C] [DEBUG] TPrinterProtocol2 -> 8F 06 00 01 00 10 9F 82 12 34\r\n"
                           "[12.03.2024 10:15:09.123] [00001A2C] [DEBUG] TPrinterProtocol2 <- 8F 07 00 01 00 10 00 56 78\r\n";
    WriteFile(Path(), NgLog({Exchanges[0]}));
    TLogFollower follower(Path(), {});
    EXPECT_EQ(follower.Step().Added.size(), 1);
    Append(NgLog({Exchanges[1]}) + bad);
    const TFollowStep step = follower.Step();
    EXPECT_EQ(step.Error, QStringLiteral("Некорректный формат пакета"));
    EXPECT_EQ(step.Added.size(), 1);
    EXPECT_TRUE(follower.Failed());
    Append(NgLog({Exchanges[2]}));
    EXPECT_TRUE(follower.Step().Added.isEmpty());
}

TEST_F(LogFollowerTest, IgnoredCodesAreLeftOut)
{
    WriteFile(Path(), Protocol1Log(Exchanges));
    TLogFollower follower(Path(), {QStringLiteral("FF 01")});
    EXPECT_EQ(follower.Step().Added.size(), 2);
}

TEST_F(LogFollowerTest, MissingFileCannotBeFollowed)
{
    EXPECT_THROW(TLogFollower(Folder.filePath(QStringLiteral("none.log")), {}), Exception);
}

TEST_F(LogFollowerTest, CompressedLogCannotBeFollowed)
{
    WriteFile(Path(), QByteArray("\x1F\x8B\x08\x00\x00\x00\x00\x00\x00\x03", 10));
    EXPECT_THROW(TLogFollower(Path(), {}), Exception);
}

} // namespace
} // namespace test
} // namespace kestrun
