// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaseName.h"
#include "TestLogs.h"
#include "UiTestSupport.h"

#include <QAction>
#include <QCheckBox>
#include <QGuiApplication>
#include <QStyleHints>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

namespace kestrun::test {
namespace {

using namespace Qt::StringLiterals;

const TExchange ShortStatus{"10 1E 00 00 00", "10 00 1E 04 00 00 00 00 00 00 00 00 00 00 00 00"};
const TExchange LongStatus{"11 1E 00 00 00", "11 00 1E 03 00 00 00 00 00 00 00 00 00 00"};
const TExchange OpenShift{"E0 1E 00 00 00", "E0 00 1E"};
const TExchange FindDocument{"FF 0A 1E 00 00 00 01 00 00 00", "FF 0A 00"};

class ReplayTest : public TWindowTest
{
protected:
    // The device the next window's driver talks to.
    void UseDevice(const QString& deviceText)
    {
        Dialogs.Device = deviceText;
        Click("btnSettings");
    }
    void WaitForRunEnd() { ASSERT_TRUE(WaitUntil([&] { return Window->Finished(); })); }
    QList<int> Played() const
    {
        QList<int> played;
        for (qsizetype i = 0; i < Window->Commands().size(); ++i)
            if (Window->Commands()[i].Played)
                played << int(i);
        return played;
    }
};

struct TStartCase
{
    const char* Name;
    const char* Control; // a button or a context-menu item
    QList<int> SelectedRows; // clicked in this order, the first alone: the last is the current row
    QList<int> Played;
};

void PrintTo(const TStartCase& c, std::ostream* os) { *os << c.Name; }

class StartTest : public ReplayTest, public ::testing::WithParamInterface<TStartCase> {};

TEST_P(StartTest, SendsItsRange)
{
    const TStartCase& c = GetParam();
    Load({ShortStatus, LongStatus, ShortStatus, FindDocument, ShortStatus, LongStatus});
    SelectRows(c.SelectedRows);
    if (QString::fromLatin1(c.Control).startsWith(u"btn"_s))
        Click(c.Control);
    else
        Trigger(c.Control);
    WaitForRunEnd();
    EXPECT_EQ(Played(), c.Played);
    for (int i : c.Played)
        EXPECT_FALSE(Window->Commands()[i].PlayedAnswerData().isEmpty()) << i;
    EXPECT_TRUE(Dialogs.Questions.isEmpty());
    EXPECT_TRUE(Dialogs.Errors.isEmpty());
    const int last = c.Played.constLast();
    EXPECT_TRUE(Status().startsWith(u"(%1/6) "_s.arg(last + 1))) << Status().toStdString();
    // The pane shows the row marked last, the current one now, with its played answer.
    EXPECT_TRUE(Info().contains(u"Принято (ККТ): "_s + QString::fromLatin1(Window->Commands()[last].PlayedAnswerData())));
    EXPECT_FALSE(Window->Commands()[last].PlayedAnswerData().isEmpty());
    EXPECT_EQ(Model()->StateImage(last), siPlay);
    EXPECT_TRUE(Child<QPushButton>("btnStart")->isEnabled());
    EXPECT_FALSE(Child<QPushButton>("btnStop")->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(Modes, StartTest, ::testing::Values(
    TStartCase{"All", "btnStart", {3}, {0, 1, 2, 4, 5}},
    TStartCase{"FromPosition", "btnStartFromPosition", {2}, {2, 4, 5}},
    TStartCase{"FromPositionMenu", "pmMain1", {4}, {4, 5}},
    TStartCase{"CurrentLineMenu", "Pfdfa1", {5}, {5}},
    // The row the details show, not the topmost selected one.
    TStartCase{"CurrentLineIsTheFocusedRow", "btnStartCurrentLine", {1, 4}, {4}},
    TStartCase{"CurrentLineMenuIsTheFocusedRow", "Pfdfa1", {0, 5}, {5}},
    TStartCase{"FromPositionIsTheFocusedRow", "btnStartFromPosition", {1, 4}, {4, 5}},
    TStartCase{"FromPositionMenuIsTheFocusedRow", "pmMain1", {0, 5}, {5}},
    TStartCase{"Selected", "btnStartSelected", {2, 5}, {2, 5}},
    TStartCase{"SelectedMenu", "N3", {4, 1}, {1, 4}}),
    kestrun::test::CaseName());

// The starts of the current row are closed while there is no current row to send.
TEST_F(ReplayTest, CurrentRowStartsNeedACurrentRow)
{
    Load({ShortStatus, LongStatus, ShortStatus});
    const auto currentRowStarts = [&] {
        return QList<bool>{Child<QPushButton>("btnStartCurrentLine")->isEnabled(),
                           Child<QPushButton>("btnStartFromPosition")->isEnabled(),
                           Child<QAction>("Pfdfa1")->isEnabled(), Child<QAction>("pmMain1")->isEnabled()};
    };
    const QList<bool> closed{false, false, false, false};
    const QList<bool> open{true, true, true, true};
    EXPECT_EQ(currentRowStarts(), closed);
    EXPECT_TRUE(Child<QPushButton>("btnStart")->isEnabled());
    EXPECT_TRUE(Child<QPushButton>("btnStartSelected")->isEnabled());
    ClickRow(1);
    EXPECT_EQ(currentRowStarts(), open);
    // Ctrl+click takes the row out again: it is still focused but no longer chosen.
    ClickRow(1, Qt::ControlModifier);
    EXPECT_EQ(currentRowStarts(), closed);
    // Clicking the buttons and the items anyway sends nothing.
    Child<QPushButton>("btnStartCurrentLine")->click();
    Child<QAction>("Pfdfa1")->trigger();
    EXPECT_TRUE(Window->Finished());
    EXPECT_EQ(Played(), QList<int>());
}

// Click row 1, Ctrl+click row 4: the pane and "Текущая строка" agree on row 4.
TEST_F(ReplayTest, CurrentLineAfterCtrlClickSendsTheRowTheDetailsShow)
{
    Load({ShortStatus, OpenShift, ShortStatus, ShortStatus, LongStatus});
    ClickRow(1);
    ClickRow(4, Qt::ControlModifier);
    EXPECT_TRUE(Info().contains(u"Запрос состояния"_s)) << Info().toStdString();
    Click("btnStartCurrentLine");
    WaitForRunEnd();
    EXPECT_EQ(Played(), QList<int>{4});
}

// A double-click whose first click's run has already ended when the second comes: a shift
// opened twice would answer the second time with an error.
TEST_F(ReplayTest, TheSecondClickOfADoubleClickSendsNothing)
{
    QStyleHints* hints = QGuiApplication::styleHints();
    const int interval = hints->mouseDoubleClickInterval();
    // However slow the machine, both clicks fall within it.
    hints->setMouseDoubleClickInterval(600000);
    Load({ShortStatus, OpenShift});
    SelectRows({1});
    for (const char* start : {"btnStartCurrentLine", "btnStartCurrentLine"}) {
        Child<QPushButton>(start)->click();
        WaitForRunEnd();
    }
    hints->setMouseDoubleClickInterval(interval);
    EXPECT_EQ(Played(), QList<int>{1});
    EXPECT_EQ(Window->Commands()[1].PlayedAnswerData(), QByteArray("E0 00"));
    // Another control is no second click: it starts its own run.
    Click("btnStartSelected");
    WaitForRunEnd();
    EXPECT_EQ(Window->Commands()[1].PlayedAnswerData().left(2), QByteArray("E0"));
    EXPECT_NE(Window->Commands()[1].PlayedAnswerData(), QByteArray("E0 00"));
}

TEST_F(ReplayTest, FiscalCommandsForARealRegisterAreConfirmedOncePerDevice)
{
    // Nothing listens there: what is sent fails, as the last command of its range, unasked.
    const QString device = u"tcp:127.0.0.1:1"_s;
    UseDevice(device);
    Load(MixedLog());
    // Cancel is the default: nothing is sent and the starts open again.
    Click("btnStart");
    ASSERT_EQ(Dialogs.Questions.size(), 1);
    EXPECT_TRUE(Window->Finished());
    EXPECT_EQ(Played(), QList<int>());
    EXPECT_TRUE(Child<QPushButton>("btnStart")->isEnabled());
    const QString text = Dialogs.Questions[0].Text;
    EXPECT_EQ(Dialogs.Questions[0].Title, u"Отправка в ККТ"_s);
    // The shift, both sales and the Z report; the excluded search is not sent.
    EXPECT_TRUE(text.startsWith(u"Команд, меняющих фискальное состояние ККТ: 4\r\n"_s)) << text.toStdString();
    for (const QString& line : {u"  3: Открытие смены"_s, u"  4: Продажа"_s, u"  5: Продажа"_s,
                                u"  7: Суточный отчет с гашением"_s, u"Устройство: "_s + device})
        EXPECT_TRUE(text.contains(line + u"\r\n"_s)) << line.toStdString();
    EXPECT_EQ(Dialogs.CheckTexts, QStringList{u"не спрашивать для этого устройства до закрытия программы"_s});

    // A status query is sent unasked.
    SelectRows({0});
    Click("btnStartCurrentLine");
    WaitForRunEnd();
    EXPECT_EQ(Dialogs.Questions.size(), 1);
    EXPECT_EQ(Played(), QList<int>{0});

    // Confirmed with the box ticked: the device is not asked about again.
    SelectRows({3});
    Dialogs.Check = true;
    Dialogs.Answers = {true};
    Trigger("Pfdfa1");
    WaitForRunEnd();
    EXPECT_EQ(Dialogs.Questions.size(), 2);
    EXPECT_EQ(Played(), QList<int>{3});
    SelectRows({4});
    Click("btnStartCurrentLine");
    WaitForRunEnd();
    EXPECT_EQ(Dialogs.Questions.size(), 2);
    EXPECT_EQ(Played(), QList<int>{4});
}

TEST_F(ReplayTest, TheEmulatorIsNeverAskedAbout)
{
    Load(MixedLog());
    SelectRows({2});
    Click("btnStartCurrentLine");
    WaitForRunEnd();
    EXPECT_EQ(Played(), QList<int>{2});
    EXPECT_TRUE(Dialogs.Questions.isEmpty());
}

// A register nobody answers on, with a traffic log on a full disk: the run's end says that the
// log could not be written, and why.
TEST_F(ReplayTest, TrafficLogThatCannotBeWrittenIsToldInTheStatusLine)
{
    UseDevice(u"tcp:127.0.0.1:1,timeout=50,log=/dev/full"_s);
    Load({ShortStatus});
    Dialogs.Answers = {false};
    Click("btnStart");
    WaitForRunEnd();
    EXPECT_EQ(Status(), u"Не удалось записать журнал обмена /dev/full: "_s + qt_error_string(ENOSPC));
}

TEST_F(ReplayTest, DeviceErrorAnsweredNoEndsTheRun)
{
    UseDevice(u"emulator:error=11:4A"_s);
    Load({ShortStatus, LongStatus, ShortStatus, ShortStatus});
    Dialogs.Answers = {false};
    Click("btnStart");
    WaitForRunEnd();
    ASSERT_EQ(Dialogs.Questions.size(), 1);
    EXPECT_EQ(Dialogs.Questions[0].Title, u"Ошибка"_s);
    EXPECT_TRUE(Dialogs.Questions[0].Text.startsWith(u"Ошибка: строка 2 (Запрос состояния): 74 (0x4A), "_s)) << Dialogs.Questions[0].Text.toStdString();
    EXPECT_TRUE(Dialogs.Questions[0].Text.endsWith(u"\r\nПродолжить?"_s));
    EXPECT_EQ(Played(), (QList<int>{0, 1}));
    EXPECT_EQ(Model()->StateImage(1), siClose);
    EXPECT_TRUE(Status().startsWith(u"(2/4) Запрос состояния: Ошибка: 74, "_s)) << Status().toStdString();
    EXPECT_EQ(Window->Commands()[1].PlayedAnswerData(), QByteArray("11 4A"));
}

TEST_F(ReplayTest, DeviceErrorAnsweredYesGoesOn)
{
    UseDevice(u"emulator:error=11:4A"_s);
    Load({ShortStatus, LongStatus, ShortStatus, ShortStatus});
    Dialogs.Answers = {true};
    Click("btnStart");
    WaitForRunEnd();
    EXPECT_EQ(Dialogs.Questions.size(), 1);
    EXPECT_EQ(Played(), (QList<int>{0, 1, 2, 3}));
    EXPECT_NE(Model()->StateImage(1), siClose);
    EXPECT_TRUE(Status().startsWith(u"(4/4) "_s));
}

TEST_F(ReplayTest, IgnoredDeviceErrorsAreNotAsked)
{
    UseDevice(u"emulator:error=11:4A"_s);
    Load({ShortStatus, LongStatus, ShortStatus});
    Child<QCheckBox>("chkIngoreKKTErrors")->setChecked(true);
    Click("btnStart");
    WaitForRunEnd();
    EXPECT_TRUE(Dialogs.Questions.isEmpty());
    EXPECT_EQ(Played(), (QList<int>{0, 1, 2}));
}

TEST_F(ReplayTest, DriverErrorsAreAskedEvenWhenDeviceErrorsAreIgnored)
{
    UseDevice(u"emulator:driver=11:-3"_s);
    Load({ShortStatus, LongStatus, ShortStatus});
    Child<QCheckBox>("chkIngoreKKTErrors")->setChecked(true);
    Dialogs.Answers = {false};
    Click("btnStart");
    WaitForRunEnd();
    ASSERT_EQ(Dialogs.Questions.size(), 1);
    EXPECT_TRUE(Dialogs.Questions[0].Text.startsWith(u"Ошибка: строка 2 (Запрос состояния): -3, "_s)) << Dialogs.Questions[0].Text.toStdString();
    EXPECT_EQ(Model()->StateImage(1), siClose);
}

TEST_F(ReplayTest, StopDuringASlowPrintWaitsAndKeepsTheWindowResponsive)
{
    UseDevice(u"emulator:print=3000"_s);
    Load({ShortStatus, OpenShift, ShortStatus, ShortStatus});
    Click("btnStart");
    ASSERT_TRUE(WaitUntil([&] { return Status() == u"(2/4) Открытие смены"_s; }));

    // While running: starting, loading and the driver's other uses are closed, the pane stays empty.
    for (const char* name : {"btnStart", "btnOpen", "btnPasteFromClipboard", "btnGetStatus", "btnSettings", "btnFindError"})
        EXPECT_FALSE(Child<QPushButton>(name)->isEnabled()) << name;
    for (const char* name : {"Pfdfa1", "pmMain1", "N3", "N5"})
        EXPECT_FALSE(Child<QAction>(name)->isEnabled()) << name;
    EXPECT_FALSE(Child<QPlainTextEdit>("memCommandExceptions")->isEnabled());
    EXPECT_FALSE(Window->acceptDrops());
    EXPECT_TRUE(Child<QAction>("N2")->isEnabled());
    List()->selectionModel()->setCurrentIndex(Model()->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(Info(), QString());

    bool eventsRan = false;
    QTimer::singleShot(100, [&] { eventsRan = !Window->Finished(); });
    Click("btnStop");
    EXPECT_TRUE(eventsRan);
    EXPECT_TRUE(Window->Finished());
    EXPECT_EQ(Played(), (QList<int>{0, 1}));
    EXPECT_FALSE(Info().isEmpty());
    EXPECT_TRUE(Child<QPushButton>("btnStart")->isEnabled());
    EXPECT_FALSE(Child<QPushButton>("btnStop")->isEnabled());
    EXPECT_TRUE(Window->acceptDrops());
}

// The register keeps silent: the stop shows at once, waits for the driver to give up, asks
// nothing, and reports the command as unanswered; the next one is never sent.
TEST_F(ReplayTest, StopWhileTheRegisterIsSilent)
{
    UseDevice(u"emulator:silent=11:3000"_s);
    Load({ShortStatus, LongStatus, ShortStatus});
    Click("btnStart");
    ASSERT_TRUE(WaitUntil([&] { return Status() == u"(2/3) Запрос состояния"_s; }));
    Dialogs.Answers = {true};
    QString whileStopping;
    bool stillRunning = false;
    QTimer::singleShot(0, [&] {
        whileStopping = Status();
        stillRunning = !Window->Finished();
    });
    Click("btnStop");
    EXPECT_TRUE(stillRunning);
    EXPECT_EQ(whileStopping, u"Остановка: ожидается завершение текущей команды..."_s);
    EXPECT_TRUE(Window->Finished());
    EXPECT_TRUE(Dialogs.Questions.isEmpty());
    EXPECT_EQ(Played(), (QList<int>{0, 1}));
    EXPECT_EQ(Model()->StateImage(1), siClose);
    EXPECT_TRUE(Status().startsWith(u"(2/3) Запрос состояния: Ошибка: -9, "_s)) << Status().toStdString();
}

// The selection the run started from goes: only the command being sent is marked.
TEST_F(ReplayTest, DuringARunOnlyTheCommandBeingSentIsMarked)
{
    UseDevice(u"emulator:print=3000"_s);
    Load({ShortStatus, OpenShift, ShortStatus, ShortStatus});
    SelectRows({1, 3});
    Click("btnStartSelected");
    ASSERT_TRUE(WaitUntil([&] { return Status() == u"(2/4) Открытие смены"_s; }));
    QList<int> marked;
    for (const QModelIndex& row : List()->selectionModel()->selectedRows())
        marked << row.row();
    EXPECT_EQ(marked, QList<int>{1});
    EXPECT_EQ(List()->selectionModel()->currentIndex().row(), 1);
    EXPECT_EQ(Info(), QString());
    Click("btnStop");
}

TEST_F(ReplayTest, LoopModeCountsCycles)
{
    Load({ShortStatus, ShortStatus, ShortStatus});
    Child<QCheckBox>("chkInfinitePlay")->setChecked(true);
    Click("btnStart");
    // Cycles pass faster than the status line is looked at: wait for the third or a later one.
    const QRegularExpression cycle(u"^Цикл (\\d+) "_s);
    ASSERT_TRUE(WaitUntil([&] { return cycle.match(Status()).captured(1).toInt() >= 3; })) << Status().toStdString();
    Click("btnStop");
    EXPECT_TRUE(Window->Finished());
    EXPECT_TRUE(QRegularExpression(u"^Цикл \\d+ \\([123]/3\\) Короткий запрос состояния$"_s).match(Status()).hasMatch())
        << Status().toStdString();
}

TEST_F(ReplayTest, ClosingDuringARunStopsItWithoutQuestions)
{
    // The first command is busy through all its retries, so its error arrives while closing.
    UseDevice(u"emulator:busy=5"_s);
    Load({ShortStatus, ShortStatus});
    Click("btnStart");
    ASSERT_TRUE(WaitUntil([&] { return Status() == u"(1/2) Короткий запрос состояния"_s; }));
    Dialogs.Answers = {true};
    CloseWindow();
    EXPECT_TRUE(Dialogs.Questions.isEmpty());
}

} // namespace
} // namespace kestrun::test
