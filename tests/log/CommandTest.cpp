// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaseName.h"
#include "log/Bytes.h"
#include "log/Command.h"

#include <gtest/gtest.h>

#include <thread>

using namespace kestrun;

namespace {

struct CodeCase
{
    const char* Name;
    QByteArray Data;
    uint16_t Code;
};

class CommandCodeTest : public ::testing::TestWithParam<CodeCase> {};

TEST_P(CommandCodeTest, ComputesCode)
{
    TCommand c;
    c.SetData(GetParam().Data);
    EXPECT_EQ(GetCommandCode(c), GetParam().Code);
}

INSTANTIATE_TEST_SUITE_P(Cases, CommandCodeTest, ::testing::Values(
    CodeCase{"LowerCasePrefix", "ff 45 01", 0xFF45},
    CodeCase{"RunTogether", "FF45", 0xFF45},
    CodeCase{"LoneFE", "FE", 0xFE00},
    CodeCase{"LoneFF", "FF", 0xFF00},
    CodeCase{"OneByte", "10 AA", 0x0010},
    CodeCase{"Empty", "", 0},
    CodeCase{"Garbage", "zz 10", 0},
    CodeCase{"LeadingBlank", " 10 AA BB", 0x0010}),
    kestrun::test::CaseName());

struct AnswerCase
{
    const char* Name;
    QByteArray AnswerData;
    int ErrorCode;
    TOutcome Outcome;
};

class AnswerErrorTest : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(AnswerErrorTest, FindsErrorByte)
{
    TCommand c;
    c.SetData("10 1E 00 00 00");
    c.SetAnswerData(GetParam().AnswerData);
    EXPECT_EQ(GetAnswerErrorCode(c), GetParam().ErrorCode);
    EXPECT_EQ(RecordOutcome(c), GetParam().Outcome);
}

// An answer too short to carry its error byte fails, as its summary's error mark says.
INSTANTIATE_TEST_SUITE_P(Cases, AnswerErrorTest, ::testing::Values(
    AnswerCase{"NoAnswer", "", -1, ofNoAnswer},
    AnswerCase{"OneByte", "10", -1, ofAnswerError},
    AnswerCase{"Success", "10 00 CC DD", 0, 0},
    AnswerCase{"Failure", "10 37", 0x37, ofAnswerError},
    AnswerCase{"FFPrefix", "FF 45 00 12", 0, 0},
    AnswerCase{"FEIsNoPrefix", "FE 01 33", 1, ofAnswerError},
    AnswerCase{"FFWithoutErrorByte", "FF 45", -1, ofAnswerError},
    AnswerCase{"TrailingBlank", "10 00 CC DD ", 0, 0}),
    kestrun::test::CaseName());

struct OutcomeCase
{
    const char* Name;
    QString DriverError;
    bool Played;
    QByteArray PlayedAnswer;
    TOutcome Outcome;
};

class RecordOutcomeTest : public ::testing::TestWithParam<OutcomeCase> {};

TEST_P(RecordOutcomeTest, FlagsWhatTheRecordTells)
{
    TCommand c;
    c.SetData("10 1E 00 00 00");
    c.SetAnswerData("10 00 CC DD");
    c.SetDriverError(GetParam().DriverError);
    c.Played = GetParam().Played;
    c.SetPlayedAnswerData(GetParam().PlayedAnswer);
    EXPECT_EQ(RecordOutcome(c), GetParam().Outcome);
    EXPECT_EQ(IsFailed(RecordOutcome(c)), (GetParam().Outcome & ~ofPlayedError) != 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, RecordOutcomeTest, ::testing::Values(
    OutcomeCase{"Clean", {}, false, {}, 0},
    OutcomeCase{"DriverError", QStringLiteral("Нет связи"), false, {}, ofDriverError},
    OutcomeCase{"NotPlayedYet", {}, false, "10 37", 0},
    OutcomeCase{"PlayedClean", {}, true, "10 00", 0},
    OutcomeCase{"PlayedFailure", {}, true, "10 37", ofPlayedError},
    OutcomeCase{"PlayedWithoutAnswer", {}, true, {}, ofPlayedError}),
    kestrun::test::CaseName());

TEST(CommandTime, CutsTwentyThreeCharacters)
{
    TCommand c;
    c.SetAttributes("[12.03.2024 10:15:30.123] [00001A2C]");
    EXPECT_EQ(GetCommandTime(c), QByteArray("12.03.2024 10:15:30.123"));
    c.SetAttributes("[");
    EXPECT_TRUE(GetCommandTime(c).isEmpty());
    c.SetAttributes("[12.03");
    EXPECT_EQ(GetCommandTime(c), QByteArray("12.03"));
}

struct ThreadCase
{
    const char* Name;
    TProtocol Protocol;
    QByteArray Attributes;
    QByteArray Thread;
};

class CommandThreadTest : public ::testing::TestWithParam<ThreadCase> {};

TEST_P(CommandThreadTest, CutsThread)
{
    TCommand c;
    c.Protocol = GetParam().Protocol;
    c.SetAttributes(GetParam().Attributes);
    EXPECT_EQ(GetCommandThread(c), GetParam().Thread);
    EXPECT_TRUE(c.ThreadIs(GetParam().Thread));
    EXPECT_FALSE(c.ThreadIs(GetParam().Thread + "0"));
}

INSTANTIATE_TEST_SUITE_P(Cases, CommandThreadTest, ::testing::Values(
    ThreadCase{"Bracketed", TProtocol::pProtocol1, "[12.03.2024 10:15:30.123] [00001A2C]", "00001A2C"},
    ThreadCase{"NoClosingBracket", TProtocol::pProtocol1, "[12.03] [0001", ""},
    ThreadCase{"NoSeparatorCutsFromThird", TProtocol::pProtocol2, "xxAB]", "AB"},
    ThreadCase{"Jpos", TProtocol::pProtocolJpos1, "[12.03.2024 10:15:30.123] Thread-7 D", "Thread-7"},
    ThreadCase{"JposNoBlankAfter", TProtocol::pProtocolJpos1, "[12.03.2024 10:15:30.123] Thread-7", ""},
    ThreadCase{"JposWithoutThread", TProtocol::pProtocolJpos1, "main D", "main"},
    ThreadCase{"JposUsualPrefix", TProtocol::pProtocolJpos1, "[12.03.2024 10:15:30.123] [00001A2C] Thread-7 D", "Thread-7"},
    ThreadCase{"LowerCaseBracketed", TProtocol::pProtocol1, "[12.03.2024 10:15:30.123] [00001a2c]", "00001a2c"}),
    kestrun::test::CaseName());

// Frames are kept as bytes and the usual prefix as its time and thread; whatever the text, it
// must read back exactly as it was set, next to the other parts.
struct KeptTextCase
{
    const char* Name;
    QByteArray Text;
};

class KeptTextTest : public ::testing::TestWithParam<KeptTextCase> {};

TEST_P(KeptTextTest, FramesReadBackAsSet)
{
    const QByteArray& text = GetParam().Text;
    TCommand c;
    c.SetAttributes("[12.03.2024 10:15:30.123] [00001A2C]");
    c.SetData(text);
    c.SetAnswerData(text + " 00");
    c.SetPlayedAnswerData(text);
    c.SetDriverError(QStringLiteral("Нет связи"));
    EXPECT_EQ(c.Data(), text);
    EXPECT_EQ(c.AnswerData(), text + " 00");
    EXPECT_EQ(c.PlayedAnswerData(), text);
    EXPECT_EQ(c.HasData(), !text.isEmpty());
    EXPECT_EQ(c.DataBytes(), HexToStr(text));
    EXPECT_EQ(c.DataHead().View(), HexToStr(text).first(qMin<qsizetype>(3, HexToStr(text).size())));
    EXPECT_EQ(c.Attributes(), QByteArray("[12.03.2024 10:15:30.123] [00001A2C]"));
    EXPECT_EQ(c.DriverError(), QStringLiteral("Нет связи"));
}

TEST_P(KeptTextTest, AttributesReadBackAsSet)
{
    const QByteArray& text = GetParam().Text;
    TCommand c;
    c.SetData("10 AA");
    c.SetAttributes(text);
    c.SetAnswerData("10 00");
    EXPECT_EQ(c.Attributes(), text);
    EXPECT_EQ(c.Data(), QByteArray("10 AA"));
    EXPECT_EQ(c.AnswerData(), QByteArray("10 00"));
}

INSTANTIATE_TEST_SUITE_P(Texts, KeptTextTest, ::testing::Values(
    KeptTextCase{"Empty", ""},
    KeptTextCase{"Usual", "10 AA BB"},
    KeptTextCase{"LeadingBlank", " 10 AA"},
    KeptTextCase{"TrailingBlank", "10 AA "},
    KeptTextCase{"BothBlanks", " 10 AA "},
    KeptTextCase{"OnlyBlank", " "},
    KeptTextCase{"DoubleBlank", "10  AA"},
    KeptTextCase{"LowerCase", "10 aa"},
    KeptTextCase{"OddDigit", "10 A"},
    KeptTextCase{"RunTogether", "10AA"},
    KeptTextCase{"Garbage", "zz 10"},
    KeptTextCase{"UsualPrefix", "[12.03.2024 10:15:30.123] [00001A2C]"},
    KeptTextCase{"UsualPrefixAndMore", "[12.03.2024 10:15:30.123] [00001A2C] [DEBUG] TPrinterProtocol"},
    KeptTextCase{"LowerCaseThread", "[12.03.2024 10:15:30.123] [00001a2c]"},
    KeptTextCase{"ShortThread", "[12.03.2024 10:15:30.123] [1A2C]"},
    KeptTextCase{"Cp1251", "\xC4\xE0\xED\xED\xFB\xE5"}),
    kestrun::test::CaseName());

TEST(CommandParts, DriverErrorKeepsAnyText)
{
    TCommand c;
    const QString lone = QString(QChar(0xD800)) + QStringLiteral("Ошибка");
    c.SetDriverError(lone);
    c.SetData("10 AA BB CC");
    EXPECT_EQ(c.DriverError(), lone);
    c.SetDriverError({});
    EXPECT_TRUE(c.DriverError().isEmpty());
    EXPECT_EQ(c.Data(), QByteArray("10 AA BB CC"));
}

TEST(CommandParts, EqualTextsMakeEqualCommands)
{
    TCommand a;
    a.SetData("10 AA");
    a.SetAnswerData("10 00 ");
    TCommand b;
    b.SetAnswerData("10 00 ");
    b.SetData("10 AA BB");
    b.SetData("10 AA");
    EXPECT_EQ(a, b);
    b.SetAnswerData("10 00");
    EXPECT_FALSE(a == b);
}

// Frames of n bytes as hex text.
QByteArray Frame(int n, char first)
{
    QByteArray bytes(n, first);
    for (int i = 0; i < n; ++i)
        bytes[i] = char(first + i);
    return StrToHex(bytes);
}

struct TPartSizes
{
    const char* Name;
    int Data;
    int Answer;
    int NewAnswer; // what a copy's answer becomes
    bool Packed = false; // the original is packed before it is copied
};

void PrintTo(const TPartSizes& c, std::ostream* os) { *os << c.Name; }

class CopiesTest : public ::testing::TestWithParam<TPartSizes> {};

// Small records keep their bytes inside, larger ones in a shared block: whichever way a write
// moves a copy, the other copy keeps what it had, and every part reads back.
TEST_P(CopiesTest, ChangeApart)
{
    const TPartSizes& c = GetParam();
    TCommand original;
    original.SetAttributes("[12.03.2024 10:15:30.123] [00001A2C]");
    original.SetData(Frame(c.Data, 0x10));
    original.SetAnswerData(Frame(c.Answer, 0x40));
    if (c.Packed)
        original.Pack();
    TCommand copy = original;
    copy.SetAnswerData(Frame(c.NewAnswer, 0x70));
    copy.SetPlayedAnswerData("10 00");
    for (const TCommand* command : {&original, &copy}) {
        EXPECT_EQ(command->Data(), Frame(c.Data, 0x10));
        EXPECT_EQ(command->Attributes(), QByteArray("[12.03.2024 10:15:30.123] [00001A2C]"));
    }
    EXPECT_EQ(original.AnswerData(), Frame(c.Answer, 0x40));
    EXPECT_FALSE(original.HasPlayedAnswerData());
    EXPECT_EQ(copy.AnswerData(), Frame(c.NewAnswer, 0x70));
    EXPECT_EQ(copy.PlayedAnswerData(), QByteArray("10 00"));
    TCommand emptied = copy;
    emptied.SetDriverError(QStringLiteral("Нет связи"));
    emptied.SetData({});
    emptied.SetAnswerData({});
    emptied.SetPlayedAnswerData({});
    EXPECT_FALSE(emptied.HasData() || emptied.HasAnswerData() || emptied.HasPlayedAnswerData());
    EXPECT_EQ(emptied.DriverError(), QStringLiteral("Нет связи"));
    EXPECT_EQ(emptied.Attributes(), QByteArray("[12.03.2024 10:15:30.123] [00001A2C]"));
    EXPECT_EQ(copy.AnswerData(), Frame(c.NewAnswer, 0x70));
}

INSTANTIATE_TEST_SUITE_P(Sizes, CopiesTest, ::testing::Values(
    TPartSizes{"SmallStaysSmall", 2, 3, 4},
    TPartSizes{"AtTheEdge", 10, 10, 11},
    TPartSizes{"SmallGrowsLarge", 2, 3, 40},
    TPartSizes{"LargeShrinksSmall", 5, 40, 1},
    TPartSizes{"LargeSameSize", 5, 40, 40},
    TPartSizes{"LargeGrows", 30, 40, 200},
    TPartSizes{"PackedSmall", 2, 3, 4, true},
    TPartSizes{"PackedLargeSameSize", 5, 40, 40, true},
    TPartSizes{"PackedLargeShrinksSmall", 5, 40, 1, true},
    TPartSizes{"PackedLargeGrows", 30, 40, 200, true}),
    kestrun::test::CaseName());

// A load packs its records on its own thread, which ends before the window reads them, changes
// some and drops the rest: enough records to fill several chunks, of every size up to a big one.
TEST(PackedCommands, OutliveTheThreadThatPackedThem)
{
    constexpr int Count = 20000;
    const auto sizeOf = [](int i) { return 1 + i % 300; };
    TCommands commands;
    std::thread([&] {
        for (int i = 0; i < Count; ++i) {
            TCommand command;
            command.SetData(Frame(sizeOf(i), char(i)));
            command.SetAnswerData(Frame(i % 7, 0x30));
            command.Pack();
            commands.append(command);
        }
    }).join();
    for (int i = 0; i < Count; i += 3)
        commands[i].SetPlayedAnswerData("10 00");
    for (int i = 0; i < Count; ++i) {
        ASSERT_EQ(commands[i].Data(), Frame(sizeOf(i), char(i))) << i;
        ASSERT_EQ(commands[i].AnswerData(), Frame(i % 7, 0x30)) << i;
        ASSERT_EQ(commands[i].HasPlayedAnswerData(), i % 3 == 0) << i;
    }
    commands.remove(0, Count / 2);
    EXPECT_EQ(commands.constFirst().Data(), Frame(sizeOf(Count / 2), char(Count / 2)));
}

TEST(Protocol, NamesAndCaptions)
{
    EXPECT_STREQ(ProtocolName(TProtocol::pProtocolJpos1), "pProtocolJpos1");
    EXPECT_EQ(ProtocolCaption(TProtocol::pProtocolNg1Plain), QStringLiteral("[Protocol v1 (plain) (NG)]"));
    EXPECT_TRUE(ProtocolCaption(TProtocol::pNone).isEmpty());
}

} // namespace
