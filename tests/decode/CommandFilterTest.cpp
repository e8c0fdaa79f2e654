// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaseName.h"
#include "decode/CommandFilter.h"

#include <QLocale>
#include "PrintQt.h"

#include <gtest/gtest.h>

namespace kestrun {
namespace {

using namespace Qt::StringLiterals;

const QByteArray Sale = "80 1E 00 00 00 E8 03 00 00 00 10 27 00 00 00 01 00 00 00 00 4D 69 6C 6B";

TCommand Command(const char* thread, const QByteArray& data, const QByteArray& answer)
{
    TCommand command;
    command.SetAttributes("[12.03.2024 10:15:30.123] [" + QByteArray(thread) + "] ");
    command.SetData(data);
    command.SetAnswerData(answer);
    command.Protocol = TProtocol::pProtocol1;
    return command;
}

TCommand Played(TCommand command, const QByteArray& playedAnswer)
{
    command.Played = true;
    command.SetPlayedAnswerData(playedAnswer);
    return command;
}

TCommand DriverError(const char* thread)
{
    TCommand command = Command(thread, {}, {});
    command.SetDriverError(u"Нет связи"_s);
    return command;
}

const TCommands Log = {
    Command("00001A2C", "10 1E 00 00 00", "10 00 1E 04 00"),        // 0 short status
    Command("00001A2C", Sale, "80 00"),                              // 1 sale
    Command("00001A2D", Sale, "80 37"),                              // 2 failed sale
    Command("00001A2D", Sale, {}),                                   // 3 sale without an answer
    DriverError("00001A2C"),                                         // 4 driver error
    Command("00001A2D", "11 1E 00 00 00", "11 00 1E 03"),            // 5 status
    Played(Command("00001A2C", Sale, "80 00"), "80 37"),             // 6 failed when replayed
    Command("00001A2C", "E0 1E 00 00 00", "E0 00 1E"),               // 7 open shift
    Command("00001A2D", "FF 0A 1E 00 00 00 01 00 00 00", "FF 0A 00"), // 8 find document
    Played(Command("00001A2D", Sale, "80 00"), "80 00"),             // 9 replayed fine
};

// The "Data" cells the list would show, made up: the filter only has to look into them.
QString FakeDataCell(int index) { return index == 9 ? u"Молоко пастеризованное"_s : u"-"_s; }

struct TFilterCase
{
    const char* Name;
    TFilterSettings Settings;
    QList<int> Shown;
};

void PrintTo(const TFilterCase& c, std::ostream* os) { *os << c.Name; }

// Settings with what `change` sets.
template <class Change>
TFilterSettings With(Change change)
{
    TFilterSettings settings;
    change(settings);
    return settings;
}
TFilterSettings Errors() { return With([](TFilterSettings& s) { s.ErrorsOnly = true; }); }
TFilterSettings Codes(QStringList terms) { return With([&](TFilterSettings& s) { s.Commands = terms; }); }
TFilterSettings Thread(const QString& thread) { return With([&](TFilterSettings& s) { s.Thread = thread; }); }
TFilterSettings Text(const QString& text) { return With([&](TFilterSettings& s) { s.Text = text; }); }

class FilterTest : public testing::TestWithParam<TFilterCase>
{
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }
};

TEST_P(FilterTest, ShowsTheCommandsThatPass)
{
    const TFilterCase& c = GetParam();
    const TCommandFilter filter(c.Settings);
    EXPECT_EQ(filter.IsActive(), !c.Settings.IsEmpty());
    EXPECT_EQ(FilterCommands(Log, filter, FakeDataCell), c.Shown);
}

INSTANTIATE_TEST_SUITE_P(Filters, FilterTest, testing::Values(
    TFilterCase{"Nothing", {}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
    TFilterCase{"BlankCommandTermIsNoFilter", Codes({u"  "_s}), {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
    TFilterCase{"ErrorsLoggedDriverAndReplayed", Errors(), {2, 3, 4, 6}},
    TFilterCase{"HidePolls", With([](TFilterSettings& s) { s.HidePolls = true; }), {1, 2, 3, 4, 6, 7, 8, 9}},
    TFilterCase{"OneByteCode", Codes({u"80"_s}), {1, 2, 3, 6, 9}},
    TFilterCase{"TwoByteCodeWithBlank", Codes({u"FF 0A"_s}), {8}},
    TFilterCase{"TwoByteCodeLowerCaseRunTogether", Codes({u"ff0a"_s}), {8}},
    TFilterCase{"CodeWith0x", Codes({u"0xE0"_s}), {7}},
    TFilterCase{"NameTextAnyCase", Codes({u"ОТКРЫТИЕ"_s}), {7}},
    TFilterCase{"SeveralTermsAnyOne", Codes({u"10"_s, u"запрос состояния"_s}), {0, 5}},
    TFilterCase{"UnknownNameNothing", Codes({u"нет такой"_s}), {}},
    TFilterCase{"Thread", Thread(u" 00001A2D "_s), {2, 3, 5, 8, 9}},
    TFilterCase{"TextInData", Text(u"МОЛОКО"_s), {9}},
    TFilterCase{"TextInName", Text(u"смены"_s), {7}},
    TFilterCase{"TextInTime", Text(u"10:15:30"_s), {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
    TFilterCase{"Combined", With([](TFilterSettings& s) {
                                 s.ErrorsOnly = true;
                                 s.Commands = {u"80"_s};
                                 s.Thread = u"00001A2D"_s;
                             }), {2, 3}},
    TFilterCase{"CombinedToNothing", With([](TFilterSettings& s) {
                                 s.ErrorsOnly = true;
                                 s.Commands = {u"E0"_s};
                             }), {}}),
    kestrun::test::CaseName());

TEST(FilterPass, SlicesGiveWhatOnePassGives)
{
    TCommands many;
    for (int i = 0; i < 3000; ++i)
        many.append(Log[i % Log.size()]);
    const TCommandFilter filter(Errors());
    TFilterPass pass(many, filter, FakeDataCell);
    int slices = 1;
    while (pass.Advance(0))
        ++slices;
    EXPECT_GT(slices, 1);
    EXPECT_EQ(pass.Shown(), FilterCommands(many, filter, FakeDataCell));
    EXPECT_EQ(pass.Shown().size(), 1200);
}

// "Only errors" asks the command's outcome, never a row's "Data"; a text looks into every row it
// is asked about.
TEST(FilterPass, DataCellAskedOnlyWhereNeeded)
{
    int asked = 0;
    const auto counting = [&asked](int) {
        ++asked;
        return QString();
    };
    FilterCommands(Log, TCommandFilter(Errors()), counting);
    EXPECT_EQ(asked, 0);
    FilterCommands(Log, TCommandFilter(With([](TFilterSettings& s) {
                       s.ErrorsOnly = true;
                       s.Text = u"x"_s;
                   })), counting);
    EXPECT_EQ(asked, 4);
}

TEST(FilterPass, OnlyErrorsKeepsAnUndecodableRow)
{
    TCommands log = Log;
    log.append(Command("00001A2C", "FF 0C 1E 00 00 00 FF 03 01 00 05", "FF 0C 00"));
    EXPECT_EQ(FilterCommands(log, TCommandFilter(Errors()), FakeDataCell), QList<int>({2, 3, 4, 6, 10}));
}

// A list that keeps its commands' outcomes hands them to the filter.
TEST(FilterPass, OnlyErrorsAsksTheOutcomeWhereKept)
{
    TCommandFilter filter(Errors());
    filter.SetOutcomeOf([](int index) { return index == 1 ? TOutcome(ofDecodeFault) : TOutcome(0); });
    EXPECT_EQ(FilterCommands(Log, filter, FakeDataCell), QList<int>({1}));
}

struct TCodeTermCase
{
    const char* Name;
    QString Term;
    std::optional<uint16_t> Code;
};

void PrintTo(const TCodeTermCase& c, std::ostream* os) { *os << c.Name; }

class CodeTermTest : public testing::TestWithParam<TCodeTermCase> {};

TEST_P(CodeTermTest, ReadsHexCodesOnly)
{
    EXPECT_EQ(CommandCodeTerm(GetParam().Term), GetParam().Code);
}

INSTANTIATE_TEST_SUITE_P(Terms, CodeTermTest, testing::Values(
    TCodeTermCase{"OneByte", u"10"_s, 0x10},
    TCodeTermCase{"TwoBytes", u"FF 46"_s, 0xFF46},
    TCodeTermCase{"Prefixed", u"0x8d"_s, 0x8D},
    TCodeTermCase{"Empty", u""_s, std::nullopt},
    TCodeTermCase{"TooLong", u"FF 46 01"_s, std::nullopt},
    TCodeTermCase{"Name", u"Продажа"_s, std::nullopt},
    TCodeTermCase{"LatinNotHex", u"Sync"_s, std::nullopt}),
    kestrun::test::CaseName());

struct TErrorCase
{
    const char* Name;
    int Index;
    bool AnyError;
    bool Found;            // by "Найти ошибку" as designed
    bool FoundWithPlayed;  // with replayed answers counted
};

void PrintTo(const TErrorCase& c, std::ostream* os) { *os << c.Name; }

class ErrorKindTest : public testing::TestWithParam<TErrorCase> {};

TEST_P(ErrorKindTest, CountsEachKindWhereItBelongs)
{
    const TErrorCase& c = GetParam();
    const TOutcome outcome = GetCommandOutcome(Log[c.Index]);
    EXPECT_EQ(HasAnyError(outcome), c.AnyError);
    EXPECT_EQ(FindsError(outcome, false), c.Found);
    EXPECT_EQ(FindsError(outcome, true), c.FoundWithPlayed);
}

INSTANTIATE_TEST_SUITE_P(Kinds, ErrorKindTest, testing::Values(
    TErrorCase{"Fine", 1, false, false, false},
    TErrorCase{"LoggedError", 2, true, true, true},
    TErrorCase{"NoAnswer", 3, true, true, true},
    TErrorCase{"DriverError", 4, true, true, true},
    TErrorCase{"ReplayedError", 6, true, false, true},
    TErrorCase{"ReplayedFine", 9, false, false, false}),
    kestrun::test::CaseName());

TEST(PlayedAnswerError, MissingAnswerOfAPlayedCommandFails)
{
    EXPECT_EQ(RecordOutcome(Played(Log[1], {})), ofPlayedError);
    EXPECT_EQ(RecordOutcome(Log[1]), 0);
}

} // namespace
} // namespace kestrun
