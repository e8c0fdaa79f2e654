// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaseName.h"
#include "decode/CommandOutcome.h"
#include "decode/CommandView.h"
#include "decode/ParserCommands.h"
#include "log/Exception.h"

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include "PrintQt.h"

#include <gtest/gtest.h>
#include <set>

namespace kestrun {
namespace {

using namespace Qt::StringLiterals;

const QByteArray Prefix = "[12.03.2024 10:15:30.123] [00001A2C] ";
const QByteArray Sale = "80 1E 00 00 00 E8 03 00 00 00 10 27 00 00 00 01 00 00 00 00 4D 69 6C 6B";
const QByteArray BrokenTLV = "FF 0C 1E 00 00 00 FF 03 01 00 05";

TCommand Command(const QByteArray& data, const QByteArray& answer, TProtocol protocol = TProtocol::pProtocol1)
{
    TCommand command;
    command.SetAttributes(Prefix);
    command.SetData(data);
    command.SetAnswerData(answer);
    command.Protocol = protocol;
    command.LineNumber = 12;
    return command;
}

TCommand DriverErrorRecord(const QByteArray& data)
{
    TCommand command = Command(data, {}, TProtocol::pNone);
    command.SetDriverError(u"Нет связи"_s);
    command.LineNumber = -1;
    return command;
}

TEST(CommandRow, CellsOfADecodedCommand)
{
    const TCommandRow row = MakeCommandRow(Command(Sale, "80 00"));
    EXPECT_EQ(row.Time, u"12.03.2024 10:15:30.123"_s);
    EXPECT_EQ(row.Thread, u"00001A2C"_s);
    EXPECT_EQ(row.Command, u"Продажа"_s);
    EXPECT_EQ(row.Data, u"ПРОДАЖА 100.00X1.000 Milk"_s);
    EXPECT_EQ(row.StateImage, siNone);
}

TEST(CommandRow, MissingAnswerIsAnError)
{
    const TCommandRow row = MakeCommandRow(Command(Sale, {}));
    EXPECT_EQ(row.Data, u"ПРОДАЖА 100.00X1.000 Milk [ERROR] -1 (0xFFFFFFFF) Неизвестный код ошибки"_s);
    EXPECT_EQ(row.StateImage, siError);
}

TEST(CommandRow, OneByteAnswerFailsAsItsMarkSays)
{
    const TCommandRow row = MakeCommandRow(Command(Sale, "80"));
    EXPECT_TRUE(row.Data.contains(u"[ERROR] -1"_s));
    EXPECT_EQ(row.Outcome, ofAnswerError);
    EXPECT_EQ(row.StateImage, siError);
}

TEST(CommandRow, DriverErrorWithoutRequest)
{
    const TCommandRow row = MakeCommandRow(DriverErrorRecord({}));
    EXPECT_EQ(row.Command, u"Ошибка драйвера"_s);
    EXPECT_EQ(row.Data, u" Ошибка [Нет связи]"_s);
    EXPECT_EQ(row.StateImage, siError);
}

TEST(CommandRow, DriverErrorWithRequestKeepsTheName)
{
    const TCommandRow row = MakeCommandRow(DriverErrorRecord(Sale));
    EXPECT_EQ(row.Command, u"Продажа"_s);
    EXPECT_EQ(row.Data, u" Ошибка [Нет связи]"_s);
}

TEST(CommandRow, UndecodableSummaryKeepsItsRow)
{
    const TCommandRow row = MakeCommandRow(Command(BrokenTLV, "FF 0C 00"));
    EXPECT_EQ(row.DecodeError, u"Неверная длина FVLN"_s);
    EXPECT_EQ(row.Data, u" [ERROR] Неверная длина FVLN"_s);
    EXPECT_EQ(row.Command, u"Передать произвольную TLV структуру"_s);
    EXPECT_EQ(row.Outcome, ofDecodeFault);
    EXPECT_EQ(row.StateImage, siError);
}

struct StyleCase
{
    const char* Name;
    int StateImage;
    uint16_t Code;
    TOutcome Outcome;
    int Column;
    TCellStyle Expected;
};

class CellStyles : public testing::TestWithParam<StyleCase> {};

TEST_P(CellStyles, FollowTheRulesInOrder)
{
    const StyleCase& c = GetParam();
    EXPECT_EQ(GetCellStyle(c.StateImage, c.Outcome, CommandProperties(c.Code), c.Column), c.Expected);
}

constexpr uint16_t SaleCode = 0x80;
constexpr TOutcome Failed = ofAnswerError;
constexpr TCellStyle Plain{};
constexpr TCellStyle Red{.Red = true};
constexpr TCellStyle Bold{.Bold = true};
constexpr TCellStyle RedBold{.Red = true, .Bold = true};
constexpr TCellStyle Courier{.CourierNew = true};
constexpr TCellStyle RedCourier{.Red = true, .CourierNew = true};
constexpr TCellStyle Purple{.Purple = true};

INSTANTIATE_TEST_SUITE_P(Rows, CellStyles, testing::Values(
    StyleCase{"FailedSaleTime", siError, SaleCode, Failed, 0, Red},
    StyleCase{"FailedSaleThread", siError, SaleCode, Failed, 1, Red},
    StyleCase{"FailedSaleIsNotBold", siError, SaleCode, Failed, 2, Red},
    StyleCase{"FailedSaleData", siError, SaleCode, Failed, 3, Red},
    StyleCase{"FailureWhilePlaying", siPlay, SaleCode, Failed, 3, Red},
    StyleCase{"FailureLeavesTimeAloneWhilePlaying", siPlay, SaleCode, Failed, 0, Plain},
    StyleCase{"DecodeFault", siError, 0xFF0C, ofDecodeFault, 3, Red},
    StyleCase{"PlayedErrorAloneIsNoFailure", siNone, SaleCode, ofPlayedError, 2, Bold},
    StyleCase{"SaleTime", siNone, SaleCode, 0, 0, Plain},
    StyleCase{"SaleCommand", siNone, SaleCode, 0, 2, Bold},
    StyleCase{"SaleData", siNone, SaleCode, 0, 3, Bold},
    StyleCase{"PlayedSale", siPlay, SaleCode, 0, 3, Bold},
    StyleCase{"ErrorImageOnBold", siError, 0x89, 0, 2, RedBold},
    StyleCase{"LastBoldName", siNone, 0x89, 0, 3, Bold},
    StyleCase{"UnknownCode", siNone, 0x8E, 0, 2, Plain},
    StyleCase{"FontLineCommand", siNone, 0x2F, 0, 2, Plain},
    StyleCase{"FontLineData", siNone, 0x2F, 0, 3, Courier},
    StyleCase{"FontLineDataOnErrorImage", siError, 0x2F, 0, 3, RedCourier},
    StyleCase{"StatusCommand", siNone, 0x11, 0, 2, Plain},
    StyleCase{"StatusData", siNone, 0x11, 0, 3, Purple},
    StyleCase{"ShortStatusData", siNone, 0x10, 0, 3, Purple},
    StyleCase{"ShortStatusDataOnErrorImage", siError, 0x10, 0, 3, Purple},
    StyleCase{"ShortStatusCommandOnErrorImage", siError, 0x10, 0, 2, Red},
    StyleCase{"ErrorTextData", siNone, 0x6B, 0, 3, Red},
    StyleCase{"ErrorTextCommand", siNone, 0x6B, 0, 2, Plain}
), kestrun::test::CaseName());

struct FailedRowCase
{
    const char* Name;
    TCommand Command;
    TOutcome Outcome;
};

class FailedRows : public testing::TestWithParam<FailedRowCase> {};

// The row made for the window and the command line, and the outcome asked of the command alone,
// agree; the row is red and marked exactly when the command failed.
TEST_P(FailedRows, AgreeWithTheCommandsOutcome)
{
    const FailedRowCase& c = GetParam();
    const TCommandRow row = MakeCommandRow(c.Command);
    EXPECT_EQ(row.Outcome, c.Outcome);
    EXPECT_EQ(GetCommandOutcome(c.Command), c.Outcome);
    EXPECT_EQ(row.StateImage, IsFailed(c.Outcome) ? siError : siNone);
    EXPECT_EQ(GetCellStyle(row, colCommand).Red, IsFailed(c.Outcome));
}

INSTANTIATE_TEST_SUITE_P(Rows, FailedRows, testing::Values(
    FailedRowCase{"CleanSale", Command(Sale, "80 00"), 0},
    FailedRowCase{"DeviceError", Command(Sale, "80 37"), ofAnswerError},
    FailedRowCase{"NoAnswer", Command(Sale, {}), ofNoAnswer},
    FailedRowCase{"DriverError", DriverErrorRecord({}), ofNoAnswer | ofDriverError},
    FailedRowCase{"UndecodableSummary", Command(BrokenTLV, "FF 0C 00"), ofDecodeFault},
    FailedRowCase{"UndecodableMarkingTLV", Command("FF 61 1E 00 00 00 01 00 02 06 41 42 FF 03 02 00 09 01", "FF 61 00"), ofDecodeFault},
    FailedRowCase{"DecodableMarkingTLV", Command("FF 61 1E 00 00 00 01 00 02 06 41 42 FF 03 02 00 03 05", "FF 61 00"), 0},
    // A printed line that reads "[ERROR]" is no failure: rows are judged by their outcome.
    FailedRowCase{"PrintedErrorText", Command("17 1E 00 00 00 02 5B 45 52 52 4F 52 5D", "17 00 02"), 0},
    FailedRowCase{"ErrorTextRequestRedInDataOnly", Command("6B 01", "6B 00 41"), 0}
), kestrun::test::CaseName());

TEST(CommandRow, PrintedCellsAreOneLineWithoutControlBytes)
{
    TCommandRow row;
    row.Data = QString::fromUtf16(u"a\0\0\r\nb\x1b[0m\0\tc", 13);
    // A table loses its columns to a tab; a tab-separated or CSV field may keep it.
    EXPECT_EQ(PrintedCell(row, colData, TTabs::tEscaped), u"a b<0x1B>[0m <0x09>c"_s);
    EXPECT_EQ(PrintedCell(row, colData, TTabs::tKept), u"a b<0x1B>[0m \tc"_s);
}

TEST(CommandDetails, LinesOfADecodedCommand)
{
    TCommand command = Command(Sale, "80 00");
    command.SetPlayedAnswerData("80 00");
    const TCommandDetails details = GetCommandDetails(command);
    EXPECT_EQ(details.Error, QString());
    EXPECT_EQ(details.Lines, QStringList({
        QString::fromLatin1(Prefix) + u" [Protocol v1] (Line 12)"_s,
        u"Продажа"_s,
        u"Передано     : "_s + QString::fromLatin1(Sale),
        u"Принято (лог): 80 00"_s,
        u"Принято (ККТ): 80 00"_s,
        QString(),
        u"Входные параметры:"_s,
        u"Password: 30"_s,
        u"Quantity: 1.000"_s,
        u"Price: 100.00"_s,
        u"Department: 1"_s,
        u"Tax1: 0"_s,
        u"Tax2: 0"_s,
        u"Tax3: 0"_s,
        u"Tax4: 0"_s,
        u"StringForPrinting: Milk"_s,
        QString(),
        u"Возвращенные параметры (лог):"_s,
        QString(),
        u"Возвращенные параметры (ККТ):"_s,
        QString(),
    }));
}

TEST(CommandDetails, DriverErrorRecordWithoutAnswer)
{
    const TCommandDetails details = GetCommandDetails(DriverErrorRecord({}));
    ASSERT_GE(details.Lines.size(), 6);
    EXPECT_EQ(details.Lines[0], QString::fromLatin1(Prefix) + u"  (Line -1)"_s);
    EXPECT_EQ(details.Lines[2], u"Передано     : "_s);
    EXPECT_EQ(details.Lines[3], u"Принято (лог): НЕТ ОТВЕТА"_s);
    EXPECT_EQ(details.Lines[4], u"ОШИБКА Драйвера: Нет связи"_s);
    EXPECT_EQ(details.Lines[5], u"Принято (ККТ): "_s);
}

TEST(CommandDetails, AnswerErrorLine)
{
    const TCommandDetails details = GetCommandDetails(Command(Sale, "80 37"));
    const qsizetype at = details.Lines.indexOf(u"Возвращенные параметры (лог):"_s);
    ASSERT_GE(at, 0);
    EXPECT_EQ(details.Lines[at + 1], u"Error: 55(0x37) Команда не поддерживается в данной реализации"_s);
}

TEST(CommandDetails, DecodingErrorKeepsTheLinesBeforeIt)
{
    const TCommandDetails details = GetCommandDetails(Command(BrokenTLV, "FF 0C 00"));
    EXPECT_EQ(details.Error, u"Неверная длина FVLN"_s);
    ASSERT_FALSE(details.Lines.isEmpty());
    EXPECT_EQ(details.Lines.last(), u"Входные параметры:"_s);
}

struct SearchCase
{
    const char* Name;
    QString Text;
    QString DataCell;
    bool Expected;
};

class SearchTest : public testing::TestWithParam<SearchCase> {};

TEST_P(SearchTest, MatchesNameTimeOrDataCell)
{
    EXPECT_EQ(SearchMatches(Command(Sale, "80 00"), GetParam().DataCell, TSearchText(GetParam().Text)), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(Texts, SearchTest, testing::Values(
    SearchCase{"LowerCaseName", u"продажа"_s, u"x"_s, true},
    SearchCase{"Time", u"10:15:30"_s, u"x"_s, true},
    SearchCase{"DataCellFolded", u"milk"_s, u"ПРОДАЖА 100.00X1.000 Milk"_s, true},
    SearchCase{"DataCellCyrillicFolded", u"продажа 100"_s, u"ПРОДАЖА 100.00X1.000 Milk"_s, true},
    SearchCase{"RequestBytesAreNotSearched", u"E8 03"_s, u"x"_s, false},
    SearchCase{"EmptyText", QString(), u"x"_s, false}
), kestrun::test::CaseName());

struct ForwardCase
{
    const char* Name;
    int Count;
    int FirstSelected;
    std::set<int> Matches;
    TSearchOutcome Outcome;
    int Index;
};

class Forward : public testing::TestWithParam<ForwardCase> {};

TEST_P(Forward, FindsTheNextMatch)
{
    const ForwardCase& c = GetParam();
    const TSearchResult result = ForwardSearch(c.Count, c.FirstSelected, [&](int k) {
        EXPECT_GE(k, 0);
        EXPECT_LT(k, c.Count);
        return c.Matches.count(k) > 0;
    });
    EXPECT_EQ(result.Outcome, c.Outcome);
    if (c.Outcome == TSearchOutcome::soFound) {
        EXPECT_EQ(result.Index, c.Index);
    }
}

using enum TSearchOutcome;

INSTANTIATE_TEST_SUITE_P(Rows, Forward, testing::Values(
    ForwardCase{"EmptyList", 0, 0, {}, soEndedSilently, -1},
    ForwardCase{"NextMatch", 5, 1, {3}, soFound, 3},
    ForwardCase{"SelectedMatchIsSteppedOver", 5, 1, {1, 4}, soFound, 4},
    ForwardCase{"FirstRowCountsAsStart", 5, 0, {0, 2}, soFound, 2},
    ForwardCase{"NoRowSelectedStillTestsRowZero", 5, -1, {0}, soNotFound, -1},
    ForwardCase{"LastRowNotMatchingEndsSilently", 5, 4, {1}, soEndedSilently, -1},
    ForwardCase{"LastRowMatchingAsksToWrap", 5, 4, {4}, soNotFound, -1},
    ForwardCase{"LastRowReachedFromAMatch", 5, 3, {3, 4}, soFound, 4},
    ForwardCase{"NothingAfterStart", 5, 2, {0}, soNotFound, -1},
    ForwardCase{"SingleRowNotMatching", 1, 0, {}, soEndedSilently, -1}
), kestrun::test::CaseName());

TEST(Forward, WrapRestartsAtRowZeroAndStepsOverIt)
{
    const std::set<int> matches{0, 2};
    const auto test = [&](int k) { return matches.count(k) > 0; };
    EXPECT_EQ(ForwardSearch(4, 2, test).Outcome, soNotFound);
    const TSearchResult again = ForwardSearch(4, 0, test);
    EXPECT_EQ(again.Outcome, soFound);
    EXPECT_EQ(again.Index, 2);
}

TEST(Listing, ThreeLineFormsInWindows1251)
{
    TCommand first = Command("11 1E 00 00 00", "11 00 1E");
    TCommand second = Command(Sale, {});
    const QByteArray expected = "[12.03.2024 10:15:30.123] [00001A2C] [\xC7\xE0\xEF\xF0\xEE\xF1 \xF1\xEE\xF1\xF2\xEE\xFF\xED\xE8\xFF]\r\n"
                                "[12.03.2024 10:15:30.123] [00001A2C] -> 11 1E 00 00 00\r\n"
                                "[12.03.2024 10:15:30.123] [00001A2C] <- 11 00 1E\r\n"
                                "[12.03.2024 10:15:30.123] [00001A2C] [\xCF\xF0\xEE\xE4\xE0\xE6\xE0]\r\n"
                                "[12.03.2024 10:15:30.123] [00001A2C] -> " + Sale + "\r\n";
    EXPECT_EQ(ListingText({first, second}), expected);
    EXPECT_EQ(ListingText({}), QByteArray());
}

TEST(Listing, SaveWritesTheListing)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(u"Log.txt"_s);
    const TCommands commands{Command(Sale, "80 00")};
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(1000, 'x'));
    old.close();
    SaveListing(path, commands);
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), ListingText(commands));
}

TEST(Listing, UnwritableFileThrowsTheSystemMessage)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    try {
        SaveListing(dir.filePath(u"missing/Log.txt"_s), {});
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_FALSE(e.Message().isEmpty());
    }
}

} // namespace
} // namespace kestrun
