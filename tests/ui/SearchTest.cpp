// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaseName.h"
#include "TestLogs.h"
#include "UiTestSupport.h"
#include "log/Codepages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

namespace kestrun::test {
namespace {

using namespace Qt::StringLiterals;

class SearchTest : public TWindowTest
{
protected:
    void SetUp() override
    {
        TWindowTest::SetUp();
        Load(MixedLog());
    }

    int Current() const { return List()->selectionModel()->currentIndex().row(); }
    QList<int> Selected() const
    {
        QList<int> rows;
        for (const QModelIndex& index : List()->selectionModel()->selectedRows())
            rows << index.row();
        return rows;
    }
    void Search(const QString& text)
    {
        QLineEdit* box = Child<QLineEdit>("edtSearch");
        box->setText(text);
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(box, &enter);
    }
};

TEST_F(SearchTest, EnterInTheSearchBoxFindsLowerCaseText)
{
    Search(u"продажа"_s);
    EXPECT_TRUE(Child<QPushButton>("btnSearch")->isDefault());
    EXPECT_FALSE(Child<QPushButton>("btnOpen")->isDefault());
    EXPECT_EQ(Selected(), QList<int>{3});
    EXPECT_TRUE(Info().contains(u"Продажа"_s));
    Search(u"продажа"_s);
    EXPECT_EQ(Selected(), QList<int>{4});
    EXPECT_TRUE(Dialogs.Questions.isEmpty());
}

TEST_F(SearchTest, NoFurtherMatchAsksToStartAgain)
{
    SelectRows({4});
    Dialogs.Answers = {true};
    Search(u"продажа"_s);
    ASSERT_EQ(Dialogs.Questions.size(), 1);
    EXPECT_EQ(Dialogs.Questions[0].Title, u"Поиск завершен"_s);
    EXPECT_EQ(Dialogs.Questions[0].Text, u"Начать с начала?"_s);
    EXPECT_EQ(Selected(), QList<int>{3});
}

TEST_F(SearchTest, CancelKeepsTheSelection)
{
    SelectRows({4});
    Dialogs.Answers = {false};
    Search(u"продажа"_s);
    EXPECT_EQ(Dialogs.Questions.size(), 1);
    EXPECT_EQ(Selected(), QList<int>{4});
}

TEST_F(SearchTest, LastRowNotMatchingEndsSilently)
{
    SelectRows({6});
    Search(u"продажа"_s);
    EXPECT_TRUE(Dialogs.Questions.isEmpty());
    EXPECT_EQ(Selected(), QList<int>{6});
}

TEST_F(SearchTest, FirstRowIsSteppedOverWithoutSelection)
{
    Dialogs.Answers = {false};
    Search(u"короткий"_s);
    EXPECT_EQ(Dialogs.Questions.size(), 1);
    EXPECT_TRUE(Selected().isEmpty());
}

TEST_F(SearchTest, FindsTimeAndDataText)
{
    Search(u"10:15:02"_s);
    EXPECT_EQ(Selected(), QList<int>{2});
    Search(u"товар"_s);
    EXPECT_EQ(Selected(), QList<int>{3});
}

TEST_F(SearchTest, FindErrorStopsAtFailedAndUnansweredCommands)
{
    Click("btnFindError");
    EXPECT_EQ(Selected(), QList<int>{4});
    EXPECT_EQ(Current(), 4);
    Click("btnFindError");
    EXPECT_EQ(Selected(), QList<int>{6});
}

// The details pane follows the row that a click, a search or find-error makes current, also
// when that row already belonged to the selection.
struct TCurrentRowCase
{
    const char* Name;
    std::vector<std::pair<int, Qt::KeyboardModifiers>> Clicks;
    enum { tNothing, tFindError, tSearchSale } Then;
    int Shown; // the row whose details the pane must show
};

void PrintTo(const TCurrentRowCase& c, std::ostream* os) { *os << c.Name; }

class CurrentRowDetailsTest : public SearchTest, public ::testing::WithParamInterface<TCurrentRowCase> {};

TEST_P(CurrentRowDetailsTest, PaneShowsTheCurrentRow)
{
    const TCurrentRowCase& c = GetParam();
    for (const auto& [row, keys] : c.Clicks)
        ClickRow(row, keys);
    if (c.Then == TCurrentRowCase::tFindError)
        Click("btnFindError");
    else if (c.Then == TCurrentRowCase::tSearchSale)
        Search(u"продажа"_s);
    EXPECT_EQ(Current(), c.Shown);
    EXPECT_TRUE(Selected().contains(c.Shown));
    // Rows are one second apart in the log, so the time names the row.
    const QString firstLine = Info().section(u'\n', 0, 0);
    EXPECT_TRUE(firstLine.startsWith(u"[12.03.2024 10:15:%1.123]"_s.arg(c.Shown, 2, 10, QLatin1Char('0'))))
        << firstLine.toStdString();
    EXPECT_TRUE(Dialogs.Questions.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Rows, CurrentRowDetailsTest, ::testing::Values(
    TCurrentRowCase{"Click", {{2, Qt::NoModifier}}, TCurrentRowCase::tNothing, 2},
    TCurrentRowCase{"ShiftClick", {{2, Qt::NoModifier}, {5, Qt::ShiftModifier}}, TCurrentRowCase::tNothing, 5},
    TCurrentRowCase{"ControlClick", {{2, Qt::NoModifier}, {5, Qt::ControlModifier}}, TCurrentRowCase::tNothing, 5},
    TCurrentRowCase{"ClickInsideSelection", {{2, Qt::NoModifier}, {5, Qt::ShiftModifier}, {3, Qt::NoModifier}},
                    TCurrentRowCase::tNothing, 3},
    TCurrentRowCase{"FindErrorInsideSelection", {{3, Qt::NoModifier}, {5, Qt::ShiftModifier}},
                    TCurrentRowCase::tFindError, 4},
    TCurrentRowCase{"SearchInsideSelection", {{2, Qt::NoModifier}, {4, Qt::ShiftModifier}},
                    TCurrentRowCase::tSearchSale, 3}),
    CaseName());

// Taking the focused row out of the selection leaves no current row: the pane shows nothing
// rather than a row the current-row starts would not send.
TEST_F(SearchTest, RowTakenOutOfTheSelectionIsNotShown)
{
    ClickRow(2);
    ClickRow(5, Qt::ShiftModifier);
    ClickRow(4, Qt::ControlModifier);
    EXPECT_EQ(Selected(), (QList<int>{2, 3, 5}));
    EXPECT_EQ(Info(), QString());
    EXPECT_FALSE(Child<QPushButton>("btnStartCurrentLine")->isEnabled());
}

TEST_F(SearchTest, SaveWritesTheListing)
{
    Load({{"10 1E 00 00 00", "10 00 1E 04 00 00 00 00 00 00 00 00 00 00 00 00"}, {"41 1E 00 00 00", nullptr}});
    Dialogs.SaveFileName = Path(u"listing.txt"_s);
    Trigger("N2");
    QFile file(Dialogs.SaveFileName);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = Cp1251ToUnicode(file.readAll());
    EXPECT_EQ(text.toStdString(), (u"[12.03.2024 10:15:00.123] [00001A2C] [Короткий запрос состояния]\r\n"
                    "[12.03.2024 10:15:00.123] [00001A2C] -> 10 1E 00 00 00\r\n"
                    "[12.03.2024 10:15:00.123] [00001A2C] <- 10 00 1E 04 00 00 00 00 00 00 00 00 00 00 00 00\r\n"
                    "[12.03.2024 10:15:01.123] [00001A2C] [Суточный отчет с гашением]\r\n"
                    "[12.03.2024 10:15:01.123] [00001A2C] -> 41 1E 00 00 00\r\n"_s).toStdString());
    EXPECT_TRUE(Dialogs.Errors.isEmpty());
}

TEST_F(SearchTest, SaveIntoAMissingFolderShowsTheError)
{
    Dialogs.SaveFileName = Path(u"no/such/folder/listing.txt"_s);
    Trigger("N2");
    EXPECT_EQ(Dialogs.Errors.size(), 1);
}

TEST_F(SearchTest, StatusQueryShowsModeLines)
{
    Click("btnGetStatus");
    ASSERT_TRUE(WaitUntil([&] { return !Info().isEmpty(); }));
    const QStringList lines = Info().split(u'\n');
    ASSERT_EQ(lines.size(), 3) << Info().toStdString();
    EXPECT_EQ(lines[0], u"Запрос состояния: Успешно"_s);
    EXPECT_TRUE(lines[1].startsWith(u"Режим   : "_s));
    EXPECT_TRUE(lines[2].startsWith(u"Подрежим: "_s));
}

TEST_F(SearchTest, StatusQueryWithDeviceErrorShowsOneLine)
{
    Dialogs.Device = u"emulator:error=11:05"_s;
    Click("btnSettings");
    EXPECT_TRUE(QFile::exists(Path(u"config/KELMAR/Kestrun/device.xml"_s)));
    Click("btnGetStatus");
    ASSERT_TRUE(WaitUntil([&] { return !Info().isEmpty(); }));
    EXPECT_TRUE(Info().startsWith(u"Запрос состояния: Ошибка: 5, "_s)) << Info().toStdString();
    EXPECT_FALSE(Info().contains(u'\n'));
}

TEST_F(SearchTest, BadDeviceOptionsAreReportedAndTheDriverStays)
{
    Dialogs.Device = u"emulator:nonsense"_s;
    Click("btnSettings");
    EXPECT_EQ(Dialogs.Errors.size(), 1);
    Click("btnGetStatus");
    ASSERT_TRUE(WaitUntil([&] { return !Info().isEmpty(); }));
    EXPECT_TRUE(Info().startsWith(u"Запрос состояния: Успешно"_s));
}

} // namespace
} // namespace kestrun::test
