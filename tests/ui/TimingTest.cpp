// SPDX-License-Identifier: GPL-3.0-or-later
#include "LogBuilder.h"
#include "TimelineView.h"
#include "UiTestSupport.h"
#include "decode/CommandView.h"

#include <QAction>
#include <QCoreApplication>
#include <QDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QTableWidget>
#include <QTest>
#include <functional>

namespace kestrun::test {
namespace {

using namespace Qt::StringLiterals;

// Rows: 0 took 250 ms, 1 has no answer, 2 took 900 ms and failed, 3 took 40 ms.
const std::vector<TTimedExchange> TimedLog = {
    {{"10 1E 00 00 00", "10 00"}, 0, 250},
    {{"10 1E 00 00 00", nullptr}, 1000, 0},
    {{"11 1E 00 00 00", "11 37"}, 2000, 900},
    {{"10 1E 00 00 00", "10 00"}, 3000, 40},
};

class TimingTest : public TWindowTest
{
protected:
    void SetUp() override
    {
        TWindowTest::SetUp();
        LoadTimed();
    }

    void LoadTimed()
    {
        const QString fileName = Path(u"timed.log"_s);
        WriteFile(fileName, TimedProtocol1Log(TimedLog));
        Window->LoadLogFile(fileName);
    }
    bool DurationShown() const { return !List()->header()->isSectionHidden(colDuration); }
    int Current() const { return List()->selectionModel()->currentIndex().row(); }
    QDialog* OpenStatistics()
    {
        Click("btnStatistics");
        auto* dialog = Window->findChild<QDialog*>(u"dlgStatistics"_s);
        EXPECT_TRUE(dialog && dialog->isVisible());
        return dialog;
    }
};

TEST_F(TimingTest, DurationColumnComesFromTheHeaderMenuAndIsRemembered)
{
    EXPECT_FALSE(DurationShown());
    EXPECT_EQ(List()->header()->contextMenuPolicy(), Qt::CustomContextMenu);
    auto* action = Child<QAction>("actDurationColumn");
    EXPECT_EQ(action->text(), u"Длительность, мс"_s);
    EXPECT_TRUE(Child<QMenu>("pmColumns")->actions().contains(action));
    action->trigger();
    EXPECT_TRUE(DurationShown());
    // Before the data, which keeps the last place.
    QHeaderView* header = List()->header();
    EXPECT_EQ(header->visualIndex(colDuration) + 1, header->visualIndex(colData));
    EXPECT_EQ(Cell(0, colDuration), u"250"_s);
    EXPECT_EQ(Cell(1, colDuration), QString());
    EXPECT_EQ(Cell(2, colDuration), u"900"_s);

    CloseWindow();
    OpenWindow();
    EXPECT_TRUE(DurationShown());
    Trigger("actDurationColumn");
    CloseWindow();
    OpenWindow();
    EXPECT_FALSE(DurationShown());
}

TEST_F(TimingTest, DetailsHeadingNamesTheDuration)
{
    ClickRow(2);
    EXPECT_TRUE(Info().section(u'\n', 0, 0).endsWith(u"(Line 16) Длительность: 900 мс"_s)) << Info().toStdString();
    ClickRow(1);
    EXPECT_TRUE(Info().section(u'\n', 0, 0).endsWith(u"(Line 12)"_s)) << Info().toStdString();
}

TEST_F(TimingTest, StatisticsListCodesAndJumpToASlowCommand)
{
    QDialog* dialog = OpenStatistics();
    ASSERT_TRUE(dialog);
    auto* codes = dialog->findChild<QTableWidget*>(u"tblCodes"_s);
    ASSERT_TRUE(codes);
    ASSERT_EQ(codes->rowCount(), 3);
    EXPECT_EQ(codes->horizontalHeaderItem(scP95)->text(), u"95%, мс"_s);
    EXPECT_EQ(codes->item(0, scCode)->text(), u"10"_s);
    EXPECT_EQ(codes->item(0, scCount)->text(), u"3"_s);
    EXPECT_EQ(codes->item(0, scErrors)->text(), u"1"_s);
    EXPECT_EQ(codes->item(0, scMin)->text(), u"40"_s);
    EXPECT_EQ(codes->item(0, scMax)->text(), u"250"_s);
    EXPECT_EQ(codes->item(2, scName)->text(), u"Всего"_s);

    auto* slowest = dialog->findChild<QTableWidget*>(u"tblSlowest"_s);
    ASSERT_TRUE(slowest);
    ASSERT_EQ(slowest->rowCount(), 3);
    EXPECT_EQ(slowest->item(0, slIndex)->text(), u"2"_s);
    EXPECT_EQ(slowest->item(1, slIndex)->text(), u"0"_s);
    EXPECT_EQ(slowest->item(2, slDuration)->text(), u"40"_s);
    emit slowest->cellDoubleClicked(2, slName);
    EXPECT_EQ(Current(), 3);
    EXPECT_TRUE(Info().contains(u"Длительность: 40 мс"_s));
}

TEST_F(TimingTest, ClickOnAPointOfTheTimelineSelectsItsRow)
{
    QDialog* dialog = OpenStatistics();
    ASSERT_TRUE(dialog);
    auto* timeline = dialog->findChild<TTimelineView*>(u"chtTimeline"_s);
    ASSERT_TRUE(timeline);
    timeline->resize(800, 500);
    timeline->show();
    QCoreApplication::processEvents();
    const std::optional<QPoint> at = timeline->PositionOf(2);
    ASSERT_TRUE(at);
    EXPECT_EQ(timeline->IndexAt(*at), 2);
    EXPECT_EQ(timeline->IndexAt(QPoint(1, 1)), -1);
    QWidget* viewport = timeline->viewport();
    const QPointF local = viewport->mapFrom(timeline, *at);
    QMouseEvent press(QEvent::MouseButtonPress, local, viewport->mapToGlobal(local), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, viewport->mapToGlobal(local), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &release);
    EXPECT_EQ(Current(), 2);
}

// With a filter on, a list row and a command index differ: every way from another view into the
// list must land on the command, not on the row of that number.
TEST_F(TimingTest, EveryWayIntoTheListFindsTheCommandWithAFilterOn)
{
    QDialog* dialog = OpenStatistics();
    ASSERT_TRUE(dialog);
    Child<QLineEdit>("edtFilterCommands")->setText(u"10"_s);
    ASSERT_TRUE(WaitUntil([&] { return Model()->rowCount() == 3; }, 5000)); // commands 0, 1 and 3
    const QString timeOfLast = Model()->Row(3).Cell(colTime);
    const struct
    {
        const char* Name;
        std::function<void()> Jump;
        int Command;
    } ways[] = {
        {"SlowestCommand", [&] { emit dialog->findChild<QTableWidget*>(u"tblSlowest"_s)->cellDoubleClicked(2, slName); }, 3},
        {"TimelinePoint", [&] { emit dialog->findChild<TTimelineView*>(u"chtTimeline"_s)->PointClicked(3); }, 3},
        {"GoToNumber",
         [&] {
             auto* field = Child<QLineEdit>("edtGoTo");
             field->setText(u"3"_s);
             QTest::keyClick(field, Qt::Key_Return);
         },
         3},
        {"Search",
         [&] {
             Child<QLineEdit>("edtSearch")->setText(timeOfLast);
             Click("btnSearch");
         },
         3},
        {"FindError", [&] { Click("btnFindError"); }, 1},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.Name);
        ClickRow(0);
        way.Jump();
        EXPECT_EQ(Model()->CommandAt(TModelRow(Current())), TCommandIndex(way.Command));
    }
}

TEST_F(TimingTest, ReloadingLeavesAnOpenDialogHarmless)
{
    QDialog* dialog = OpenStatistics();
    ASSERT_TRUE(dialog);
    const QString shorter = Path(u"shorter.log"_s);
    WriteFile(shorter, TimedProtocol1Log({TimedLog.front()}));
    Window->LoadLogFile(shorter);
    auto* slowest = dialog->findChild<QTableWidget*>(u"tblSlowest"_s);
    emit slowest->cellDoubleClicked(0, slName); // row 2 of a log no longer shown
    EXPECT_EQ(Model()->rowCount(), 1);
}

} // namespace
} // namespace kestrun::test
