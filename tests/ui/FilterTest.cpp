// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaseName.h"
#include "TestLogs.h"
#include "UiTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTest>

namespace kestrun::test {
namespace {

using namespace Qt::StringLiterals;

const TExchange ShortStatus{"10 1E 00 00 00", "10 00 1E 04 00 00 00 00 00 00 00 00 00 00 00 00"};
const TExchange LongStatus{"11 1E 00 00 00", "11 00 1E 03 00 00 00 00 00 00 00 00 00 00"};
const TExchange OpenShift{"E0 1E 00 00 00", "E0 00 1E"};

class FilterTest : public TWindowTest
{
protected:
    void SetFilter(const char* field, const QString& text) { Child<QLineEdit>(field)->setText(text); }
    void Toggle(const char* box, bool on) { Child<QCheckBox>(box)->setChecked(on); }
    // The commands behind the rows the list shows.
    QList<int> ShownCommands() const
    {
        QList<int> commands;
        for (int row = 0; row < Model()->rowCount(); ++row)
            commands << Model()->CommandAt(TModelRow(row)).Value;
        return commands;
    }
    bool Shows(const QList<int>& commands) const
    {
        return WaitUntil([&] { return ShownCommands() == commands; }, 5000);
    }
    QList<int> Played() const
    {
        QList<int> played;
        for (qsizetype i = 0; i < Window->Commands().size(); ++i)
            if (Window->Commands()[i].Played)
                played << int(i);
        return played;
    }
    void WaitForRunEnd() { ASSERT_TRUE(WaitUntil([&] { return Window->Finished(); })); }
    QString StatusInfo() const { return Child<QLabel>("lblStatusInfo")->text(); }
    // Keys go through the window as typed, so its shortcuts take them.
    void Key(QWidget* target, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QApplication::setActiveWindow(Window.get());
        QTest::keyClick(target, key, modifiers);
        QCoreApplication::processEvents();
    }
    int CurrentCommand() const
    {
        const QModelIndex current = List()->selectionModel()->currentIndex();
        return current.isValid() ? Model()->CommandAt(TModelRow(current.row())).Value : -1;
    }
};

TEST_F(FilterTest, HidingPollsThenReplayingTheSelectionPlaysTheChosenVisibleRows)
{
    Load({ShortStatus, LongStatus, OpenShift, ShortStatus, OpenShift, LongStatus});
    Toggle("chkHidePolls", true);
    ASSERT_TRUE(Shows({2, 4}));
    EXPECT_TRUE(StatusInfo().startsWith(u"Показано: 2 / 6"_s)) << StatusInfo().toStdString();
    // The rows keep their commands: the second row shown is command 4.
    SelectRows({1});
    EXPECT_TRUE(Info().contains(u"Открытие смены"_s));
    Click("btnStartSelected");
    WaitForRunEnd();
    EXPECT_EQ(Played(), QList<int>{4});
    EXPECT_TRUE(Dialogs.Questions.isEmpty());
    EXPECT_TRUE(Status().startsWith(u"(5/6) "_s)) << Status().toStdString();
}

TEST_F(FilterTest, StartWithAFilterPlaysWhatIsShownAndSaysSo)
{
    Load({ShortStatus, OpenShift, LongStatus, OpenShift, ShortStatus});
    EXPECT_TRUE(Child<QPushButton>("btnStart")->toolTip().isEmpty());
    SetFilter("edtFilterCommands", u"e0, 11"_s);
    ASSERT_TRUE(Shows({1, 2, 3}));
    EXPECT_FALSE(Child<QPushButton>("btnStart")->toolTip().isEmpty());
    Click("btnStart");
    WaitForRunEnd();
    EXPECT_EQ(Played(), (QList<int>{1, 2, 3}));

    // From the current row on: the shown commands from it.
    SelectRows({1});
    Click("btnStartFromPosition");
    WaitForRunEnd();
    EXPECT_EQ(Played(), (QList<int>{2, 3}));
}

// With the chosen sale hidden, "Текущая строка" has nothing to send rather than a stand-in.
TEST_F(FilterTest, HidingTheCurrentRowClosesTheCurrentRowStarts)
{
    Load(MixedLog());
    SelectRows({3});
    ASSERT_TRUE(Child<QPushButton>("btnStartCurrentLine")->isEnabled());
    Toggle("chkFilterErrors", true);
    ASSERT_TRUE(Shows({4, 6}));
    EXPECT_FALSE(Child<QPushButton>("btnStartCurrentLine")->isEnabled());
    EXPECT_FALSE(Child<QPushButton>("btnStartFromPosition")->isEnabled());
    EXPECT_FALSE(Child<QAction>("Pfdfa1")->isEnabled());
    Child<QAction>("Pfdfa1")->trigger();
    EXPECT_TRUE(Window->Finished());
    EXPECT_EQ(Played(), QList<int>());
}

struct THideCase
{
    const char* Name;
    const char* Control; // a check box to tick, or a field to fill with Text
    const char* Text;
};

void PrintTo(const THideCase& c, std::ostream* os) { *os << c.Name; }

class HideCurrentTest : public FilterTest, public ::testing::WithParamInterface<THideCase> {};

// The pane never keeps a row the list no longer shows.
TEST_P(HideCurrentTest, EmptiesThePane)
{
    Load(MixedLog());
    SelectRows({3});
    ASSERT_TRUE(Info().contains(u"Продажа"_s));
    const THideCase& c = GetParam();
    if (QString::fromLatin1(c.Control).startsWith(u"chk"_s))
        Toggle(c.Control, true);
    else
        SetFilter(c.Control, QString::fromUtf8(c.Text));
    ASSERT_TRUE(WaitUntil([&] { return !Model()->RowOf(TCommandIndex(3)).Valid(); }));
    EXPECT_EQ(Info(), QString());
    // A visible row chosen again fills it.
    ClickRow(0);
    EXPECT_TRUE(Info().contains(Model()->Row(Model()->CommandAt(TModelRow(0)).Value).Command)) << Info().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Filters, HideCurrentTest, ::testing::Values(
    THideCase{"OnlyErrors", "chkFilterErrors", ""},
    THideCase{"Commands", "edtFilterCommands", "e0"},
    THideCase{"Text", "edtFilter", "смены"}),
    kestrun::test::CaseName());

TEST_F(FilterTest, FiltersCombineAndClearingKeepsTheCurrentRowInView)
{
    std::vector<TExchange> exchanges(600, ShortStatus);
    exchanges[450] = OpenShift;
    exchanges[500] = {"E0 1E 00 00 00", "E0 4A 1E"};
    exchanges[520] = {"11 1E 00 00 00", "11 4A"};
    Load(exchanges);
    Toggle("chkFilterErrors", true);
    ASSERT_TRUE(Shows({500, 520}));
    SetFilter("edtFilterCommands", u"открытие"_s);
    ASSERT_TRUE(Shows({500}));
    SelectRows({0});
    List()->selectionModel()->setCurrentIndex(Model()->index(0, 0), QItemSelectionModel::NoUpdate);

    Toggle("chkFilterErrors", false);
    SetFilter("edtFilterCommands", QString());
    ASSERT_TRUE(WaitUntil([&] { return Model()->rowCount() == 600; }));
    EXPECT_EQ(CurrentCommand(), 500);
    EXPECT_EQ(List()->selectionModel()->selectedRows().size(), 1);
    EXPECT_TRUE(List()->selectionModel()->isRowSelected(500));
    const QRect shown = List()->visualRect(Model()->index(500, 0));
    EXPECT_TRUE(List()->viewport()->rect().intersects(shown));
    EXPECT_TRUE(StatusInfo().startsWith(u"Показано: 600 / 600  ·  ошибок: 2"_s)) << StatusInfo().toStdString();
}

TEST_F(FilterTest, SearchAndFindErrorWalkTheShownRows)
{
    Load(MixedLog());
    SetFilter("edtFilterThread", u"00001A2C"_s);
    Toggle("chkHidePolls", true);
    ASSERT_TRUE(Shows({2, 3, 4, 5, 6}));
    Click("btnFindError");
    EXPECT_EQ(CurrentCommand(), 4);
    SetFilter("edtFilter", u"продажа"_s);
    ASSERT_TRUE(Shows({3, 4}));
    SelectRows({0});
    Click("btnFindError");
    EXPECT_EQ(CurrentCommand(), 4);
}

TEST_F(FilterTest, CtrlCCopiesTheSelectedRowsAsTabSeparatedText)
{
    Load(MixedLog());
    SelectRows({2, 4});
    QGuiApplication::clipboard()->clear();
    Key(List(), Qt::Key_C, Qt::ControlModifier);
    QString expected;
    for (int row : {2, 4})
        expected += QStringList{Cell(row, colTime), Cell(row, colThread), Cell(row, colCommand), Cell(row, colData)}.join(u'\t')
                  + u'\n';
    EXPECT_EQ(QGuiApplication::clipboard()->text(), expected);
    EXPECT_TRUE(expected.startsWith(u"12.03.2024 10:15:02.123\t00001A2C\tОткрытие смены\t"_s)) << expected.toStdString();

    Trigger("actCopyJson");
    const QStringList lines = QGuiApplication::clipboard()->text().split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith(uR"({"Index":2,"Time":"12.03.2024 10:15:02.123","TimeIso":"2024-03-12T10:15:02.123","Thread":"00001A2C","Command":"Открытие смены",)"_s))
        << lines[0].toStdString();
    EXPECT_TRUE(lines[1].endsWith(uR"("State":1})"_s)) << lines[1].toStdString();
}

TEST_F(FilterTest, ExportWritesTheShownRows)
{
    Load(MixedLog());
    Toggle("chkFilterErrors", true);
    ASSERT_TRUE(Shows({4, 6}));
    Dialogs.SaveFileName = Path(u"rows.csv"_s);
    Trigger("actExportCsv");
    QFile csv(Dialogs.SaveFileName);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QByteArray bytes = csv.readAll();
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    const QStringList lines = QString::fromUtf8(bytes.mid(3)).split(u"\r\n"_s, Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], u"Index,Time,Thread,Command,Data,DurationMs,State"_s);
    EXPECT_TRUE(lines[1].startsWith(u"4,12.03.2024 10:15:04.123,00001A2C,Продажа,"_s)) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].startsWith(u"6,"_s));

    Dialogs.SaveFileName = Path(u"rows.jsonl"_s);
    Trigger("actExportJson");
    QFile json(Dialogs.SaveFileName);
    ASSERT_TRUE(json.open(QIODevice::ReadOnly));
    EXPECT_EQ(json.readAll().count('\n'), 2);
}

TEST_F(FilterTest, KeysReachSearchFilterGoToAndErrors)
{
    Load(MixedLog());
    Key(Window.get(), Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), Child<QLineEdit>("edtFilter"));
    Key(Window.get(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), Child<QLineEdit>("edtSearch"));

    Key(Window.get(), Qt::Key_G, Qt::ControlModifier);
    auto* goTo = Child<QLineEdit>("edtGoTo");
    EXPECT_EQ(QApplication::focusWidget(), goTo);
    goTo->setText(u"5"_s);
    Key(goTo, Qt::Key_Return);
    EXPECT_EQ(CurrentCommand(), 5);
    EXPECT_TRUE(Dialogs.Questions.isEmpty());

    Key(List(), Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(CurrentCommand(), 4);
    Key(List(), Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(CurrentCommand(), 6);

    Child<QLineEdit>("edtSearch")->setText(u"состояния"_s);
    Key(List(), Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(CurrentCommand(), 1);
    Key(List(), Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(CurrentCommand(), 0);
    // F3 is the search button: past the last match it asks to start again.
    Key(List(), Qt::Key_F3);
    EXPECT_EQ(CurrentCommand(), 1);
    Dialogs.Answers = {true};
    Key(List(), Qt::Key_F3);
    EXPECT_EQ(Dialogs.Questions.size(), 1);
    EXPECT_EQ(CurrentCommand(), 1);
}

TEST_F(FilterTest, CtrlEndReachesTheEndOfTheDetails)
{
    Load(MixedLog());
    SelectRows({4});
    auto* info = Child<QPlainTextEdit>("memInfo");
    ASSERT_FALSE(info->toPlainText().isEmpty());
    info->setFocus();
    Key(info, Qt::Key_End, Qt::ControlModifier);
    EXPECT_TRUE(info->textCursor().atEnd());
    EXPECT_TRUE(info->isReadOnly());
}

TEST_F(FilterTest, EnterOnAListRowOpensNoFile)
{
    Load({ShortStatus, OpenShift});
    const QString other = Path(u"other.log"_s);
    WriteLog(other, {ShortStatus});
    Dialogs.OpenFileName = other;
    SelectRows({1});
    List()->setFocus();
    Key(List(), Qt::Key_Return);
    EXPECT_EQ(Window->Commands().size(), 2);
}

TEST_F(FilterTest, FailedReplaysAreMarkedFoundOnRequestAndFiltered)
{
    Dialogs.Device = u"emulator:error=11:4A"_s;
    Click("btnSettings");
    Load({ShortStatus, LongStatus, ShortStatus});
    Child<QCheckBox>("chkIngoreKKTErrors")->setChecked(true);
    Click("btnStart");
    WaitForRunEnd();
    EXPECT_EQ(Played(), (QList<int>{0, 1, 2}));
    // The state image may keep its look; the row still tells its replay failed.
    EXPECT_TRUE(Model()->data(Model()->index(1, colData), Qt::BackgroundRole).isValid());
    EXPECT_FALSE(Model()->data(Model()->index(0, colData), Qt::BackgroundRole).isValid());

    SelectRows({0});
    Dialogs.Answers = {false};
    Click("btnFindError");
    EXPECT_EQ(Dialogs.Questions.size(), 1);
    Child<QCheckBox>("chkFindPlayedErrors")->setChecked(true);
    SelectRows({0});
    Click("btnFindError");
    EXPECT_EQ(CurrentCommand(), 1);

    Toggle("chkFilterErrors", true);
    EXPECT_TRUE(Shows({1}));
}

TEST_F(FilterTest, TheDetailsPaneKeepsTheHeightTheUserGaveIt)
{
    auto* splitter = Child<QSplitter>("splitter");
    ASSERT_TRUE(WaitUntil([&] { return splitter->sizes().value(1) > 0; }));
    const int total = splitter->sizes()[0] + splitter->sizes()[1];
    splitter->setSizes({total - 250, 250});
    const int height = splitter->sizes()[1];
    CloseWindow();
    OpenWindow();
    splitter = Child<QSplitter>("splitter");
    ASSERT_TRUE(WaitUntil([&] { return splitter->sizes().value(1) > 0; }));
    EXPECT_EQ(splitter->sizes()[1], height);
}

} // namespace
} // namespace kestrun::test
