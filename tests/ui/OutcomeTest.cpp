// SPDX-License-Identifier: GPL-3.0-or-later
// The window judges rows as the command line does (tests/cli/CliOutcomeTest.cpp): its counter,
// its state images, "Найти ошибку" and the errors-only filter all fail the same rows.
#include "OutcomeLog.h"
#include "UiTestSupport.h"

#include <QCheckBox>
#include <QLabel>

namespace kestrun::test {
namespace {

using namespace Qt::StringLiterals;

class OutcomeTest : public TWindowTest
{
protected:
    void SetUp() override
    {
        TWindowTest::SetUp();
        const QString fileName = Path(u"outcome.log"_s);
        WriteFile(fileName, OutcomeLog());
        Window->LoadLogFile(fileName);
        ASSERT_EQ(Model()->rowCount(), 8);
    }
    QString StatusInfo() const { return Child<QLabel>("lblStatusInfo")->text(); }
    int Current() const { return List()->selectionModel()->currentIndex().row(); }
};

TEST_F(OutcomeTest, CounterCountsTheFailedRows)
{
    EXPECT_TRUE(StatusInfo().contains(u"ошибок: %1"_s.arg(OutcomeFailedRows.size()))) << StatusInfo().toStdString();
}

TEST_F(OutcomeTest, FailedRowsGetTheErrorImage)
{
    QList<int> failed;
    for (int row = 0; row < Model()->rowCount(); ++row)
        if (Model()->StateImage(row) == siError)
            failed << row;
    EXPECT_EQ(failed, OutcomeFailedRows);
}

TEST_F(OutcomeTest, FindErrorStopsAtEachFailedRow)
{
    QList<int> found;
    for (qsizetype i = 0; i < OutcomeFailedRows.size(); ++i) {
        Click("btnFindError");
        found << Current();
    }
    EXPECT_EQ(found, OutcomeFailedRows);
}

TEST_F(OutcomeTest, ErrorsOnlyShowsTheFailedRows)
{
    Child<QCheckBox>("chkFilterErrors")->setChecked(true);
    const auto shown = [this] {
        QList<int> commands;
        for (int row = 0; row < Model()->rowCount(); ++row)
            commands << Model()->CommandAt(TModelRow(row)).Value;
        return commands;
    };
    EXPECT_TRUE(WaitUntil([&] { return shown() == OutcomeFailedRows; }, 5000));
    EXPECT_EQ(shown(), OutcomeFailedRows);
}

} // namespace
} // namespace kestrun::test
