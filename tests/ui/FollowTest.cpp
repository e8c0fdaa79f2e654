// SPDX-License-Identifier: GPL-3.0-or-later
#include "Application.h"
#include "CaseName.h"
#include "RecentFiles.h"
#include "UiTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QTimer>

namespace kestrun::test {
namespace {

using namespace Qt::StringLiterals;

const std::vector<TExchange> Exchanges = {
    {"10 1E 00 00 00", "10 00 1E 03 00 02 00 05 FF D8 00 00 00 1A 04"},
    {"11 1E 00 00 00", "11 00 1E 03"},
    {"FF 01 1E 00 00 00", "FF 01 00 05"},
};

// The window following a log that the test writes as a driver would.
class FollowTest : public TWindowTest
{
protected:
    QString LogPath() const { return Path(u"driver.log"_s); }

    void Append(const QByteArray& bytes) const
    {
        QFile file(LogPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Append));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }

    QCheckBox* FollowBox() const { return Child<QCheckBox>("chkFollow"); }
    int Rows() const { return Model()->rowCount(); }
    bool WaitForRows(int count) const { return WaitUntil([&] { return Rows() == count; }, 60000); }

    // Lets the window look at the file a few more times, without depending on how long that takes.
    void LetFollowerLook() const
    {
        int looks = 0;
        QTimer* timer = Child<QTimer>("tmrFollow");
        const QMetaObject::Connection counting = QObject::connect(timer, &QTimer::timeout, [&looks] { ++looks; });
        EXPECT_TRUE(WaitUntil([&looks] { return looks >= 2; }, 60000));
        QObject::disconnect(counting);
    }

    // The open button's context menu as it is shown.
    QMenu* OpenMenu() const
    {
        QMenu* menu = Child<QMenu>("pmOpen");
        emit menu->aboutToShow();
        return menu;
    }
    QAction* MenuAction(const QString& text) const
    {
        for (QAction* action : OpenMenu()->actions())
            if (action->text() == text)
                return action;
        ADD_FAILURE() << "no menu item " << text.toStdString();
        return nullptr;
    }
};

TEST_F(FollowTest, AddsCommandsWrittenInPiecesOnlyOnceComplete)
{
    WriteFile(LogPath(), Protocol1Log({Exchanges[0]}));
    Window->FollowLogFile(LogPath());
    EXPECT_TRUE(Window->Following());
    EXPECT_TRUE(FollowBox()->isChecked());
    EXPECT_EQ(Child<QLabel>("lblFileName")->text(), LogPath());
    ASSERT_EQ(Rows(), 1);

    // The second exchange is written in two pieces, split inside its answer.
    const QByteArray second = Protocol1Log({Exchanges[1]});
    const qsizetype split = second.indexOf("<- 11 00") + 5;
    Append(second.first(split));
    LetFollowerLook();
    EXPECT_EQ(Rows(), 1);
    Append(second.sliced(split) + Protocol1Log({Exchanges[2]}));
    ASSERT_TRUE(WaitForRows(3));
    EXPECT_EQ(Cell(1, colCommand), u"Запрос состояния"_s);
    EXPECT_EQ(Window->Commands().size(), 3);
    EXPECT_EQ(Model()->StateImage(1), siNone);
}

TEST_F(FollowTest, ShrunkFileIsLoadedAgainWithANotice)
{
    WriteFile(LogPath(), Protocol1Log(Exchanges));
    Window->FollowLogFile(LogPath());
    ASSERT_EQ(Rows(), 3);
    WriteFile(LogPath(), Protocol1Log({Exchanges[2]}));
    ASSERT_TRUE(WaitForRows(1));
    EXPECT_EQ(Cell(0, colCommand), u"Запрос статуса ФН"_s);
    EXPECT_TRUE(Status().contains(u"загружен заново"_s)) << Status().toStdString();
    // Following goes on in the new text.
    Append(Protocol1Log({Exchanges[0]}));
    EXPECT_TRUE(WaitForRows(2));
}

TEST_F(FollowTest, ReplacedFileIsLoadedAgain)
{
    WriteFile(LogPath(), Protocol1Log({Exchanges[0]}));
    Window->FollowLogFile(LogPath());
    ASSERT_EQ(Rows(), 1);
    const QString next = Path(u"next.log"_s);
    WriteFile(next, Protocol1Log(Exchanges) + Protocol1Log(Exchanges));
    ASSERT_TRUE(QFile::remove(LogPath()));
    ASSERT_TRUE(QFile::rename(next, LogPath()));
    ASSERT_TRUE(WaitForRows(6));
    EXPECT_TRUE(Status().contains(u"загружен заново"_s));
    Append(Protocol1Log({Exchanges[1]}));
    EXPECT_TRUE(WaitForRows(7));
}

TEST_F(FollowTest, ViewStaysAtTheBottomOnlyWhenItWasThere)
{
    std::vector<TExchange> many;
    for (int i = 0; i < 200; ++i)
        many.push_back(Exchanges[size_t(i % 3)]);
    WriteFile(LogPath(), Protocol1Log(many));
    Window->FollowLogFile(LogPath());
    ASSERT_EQ(Rows(), 200);
    QScrollBar* bar = List()->verticalScrollBar();
    List()->scrollToBottom();
    QCoreApplication::processEvents();
    ASSERT_GT(bar->maximum(), 0);
    Append(Protocol1Log(many));
    ASSERT_TRUE(WaitForRows(400));
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->value(), bar->maximum());

    bar->setValue(bar->maximum() / 2);
    const int away = bar->value();
    Append(Protocol1Log(many));
    ASSERT_TRUE(WaitForRows(600));
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->value(), away);
    EXPECT_LT(bar->value(), bar->maximum());
}

TEST_F(FollowTest, ToggleFollowsTheOpenedFileAndStops)
{
    WriteFile(LogPath(), Protocol1Log({Exchanges[0]}));
    Window->LoadLogFile(LogPath());
    EXPECT_FALSE(Window->Following());
    FollowBox()->click();
    EXPECT_TRUE(Window->Following());
    Append(Protocol1Log({Exchanges[1]}));
    ASSERT_TRUE(WaitForRows(2));
    FollowBox()->click();
    EXPECT_FALSE(Window->Following());
    Append(Protocol1Log({Exchanges[2]}));
    // Stopped, the window does not look at the file at all.
    EXPECT_FALSE(Child<QTimer>("tmrFollow")->isActive());
    QCoreApplication::processEvents();
    EXPECT_EQ(Rows(), 2);
}

// A run plays a copy of the list and hands it back at its end: rows written meanwhile wait.
TEST_F(FollowTest, RowsWrittenDuringARunArriveWhenItEnds)
{
    Dialogs.Device = u"emulator:error=11:4A"_s;
    Click("btnSettings");
    // The device fails the first command; the question about it holds the run.
    WriteFile(LogPath(), Protocol1Log({Exchanges[1], Exchanges[0]}));
    Window->FollowLogFile(LogPath());
    ASSERT_EQ(Rows(), 2);
    int rowsDuringRun = -1;
    Dialogs.OnQuestion = [&] {
        Append(Protocol1Log({Exchanges[2]}));
        LetFollowerLook();
        rowsDuringRun = Rows();
    };
    Dialogs.Answers = {false};
    Click("btnStart");
    ASSERT_TRUE(WaitUntil([&] { return Window->Finished(); }));
    ASSERT_EQ(Dialogs.Questions.size(), 1);
    EXPECT_EQ(rowsDuringRun, 2);
    ASSERT_TRUE(WaitForRows(3));
    EXPECT_EQ(Window->Commands().size(), 3);
    EXPECT_EQ(Window->Commands()[0].PlayedAnswerData(), QByteArray("11 4A"));
    EXPECT_TRUE(Window->Following());
}

// Unticked, the list shows what opening the file gives: a request still waiting for its answer too.
TEST_F(FollowTest, StoppingShowsTheExchangeLeftOpen)
{
    WriteFile(LogPath(), Protocol1Log({Exchanges[0], {Exchanges[1].Request, nullptr}}));
    Window->FollowLogFile(LogPath());
    ASSERT_EQ(Rows(), 1);
    FollowBox()->click();
    EXPECT_FALSE(Window->Following());
    ASSERT_EQ(Rows(), 2);
    EXPECT_EQ(Model()->StateImage(1), siError);
}

TEST_F(FollowTest, PastedTextEndsFollowing)
{
    WriteFile(LogPath(), Protocol1Log({Exchanges[0]}));
    Window->FollowLogFile(LogPath());
    QGuiApplication::clipboard()->setText(QString::fromLatin1(Protocol1Log(Exchanges)));
    Click("btnPasteFromClipboard");
    EXPECT_FALSE(Window->Following());
    EXPECT_FALSE(FollowBox()->isChecked());
    EXPECT_EQ(Rows(), 3);
}

TEST_F(FollowTest, CompressedLogIsNotFollowed)
{
    WriteFile(LogPath(), QByteArray("\x1F\x8B\x08\x00\x00\x00\x00\x00\x00\x03", 10));
    Window->FollowLogFile(LogPath());
    EXPECT_FALSE(Window->Following());
    EXPECT_FALSE(FollowBox()->isChecked());
    ASSERT_EQ(Dialogs.Errors.size(), 1);
    EXPECT_TRUE(Dialogs.Errors[0].contains(u"нельзя отслеживать"_s));
}

TEST_F(FollowTest, OpenLineFollowsTheChosenFile)
{
    WriteFile(LogPath(), NgLog(Exchanges));
    Dialogs.OpenFileName = LogPath();
    MenuAction(u"Открыть линию…"_s)->trigger();
    EXPECT_TRUE(Window->Following());
    EXPECT_TRUE(FollowBox()->isChecked());
    EXPECT_EQ(Rows(), 3);
}

TEST_F(FollowTest, F5ReloadsTheFile)
{
    WriteFile(LogPath(), Protocol1Log({Exchanges[0]}));
    Window->LoadLogFile(LogPath());
    ASSERT_EQ(Rows(), 1);
    Append(Protocol1Log({Exchanges[1]}));
    QKeyEvent press(QEvent::KeyPress, Qt::Key_F5, Qt::NoModifier);
    QApplication::sendEvent(List(), &press);
    EXPECT_EQ(Rows(), 2);
    EXPECT_FALSE(Window->Following());
}

TEST_F(FollowTest, F5KeepsTheCurrentRowAndItsDetails)
{
    WriteFile(LogPath(), Protocol1Log(Exchanges));
    Window->LoadLogFile(LogPath());
    ASSERT_EQ(Rows(), 3);
    SelectRows({1});
    const QString details = Info();
    ASSERT_FALSE(details.isEmpty());
    Child<QAction>("actReload")->trigger();
    EXPECT_EQ(Rows(), 3);
    EXPECT_EQ(List()->selectionModel()->currentIndex().row(), 1);
    EXPECT_EQ(Info(), details);
}

struct TPasteCase
{
    const char* Name;
    const char* Control; // the button or the context-menu item
};

void PrintTo(const TPasteCase& c, std::ostream* os) { *os << c.Name; }

class PasteTest : public FollowTest, public ::testing::WithParamInterface<TPasteCase> {};

// Text without commands keeps the log, which F5 can still read again.
TEST_P(PasteTest, PlainTextKeepsTheLoadedLog)
{
    WriteFile(LogPath(), Protocol1Log(Exchanges));
    Window->LoadLogFile(LogPath());
    SelectRows({2});
    QGuiApplication::clipboard()->setText(u"Продажа 100,00 X 1,000"_s);
    const QString control = QString::fromLatin1(GetParam().Control);
    if (control.startsWith(u"btn"_s))
        Click(GetParam().Control);
    else
        Trigger(GetParam().Control);
    EXPECT_EQ(Rows(), 3);
    EXPECT_EQ(Child<QLabel>("lblFileName")->text(), LogPath());
    EXPECT_EQ(Status(), u"В буфере обмена нет команд лога: загруженный лог оставлен"_s);
    EXPECT_FALSE(Info().isEmpty());
    EXPECT_TRUE(Dialogs.Errors.isEmpty());
    Append(Protocol1Log({Exchanges[0]}));
    Child<QAction>("actReload")->trigger();
    EXPECT_EQ(Rows(), 4);
}

INSTANTIATE_TEST_SUITE_P(Controls, PasteTest, ::testing::Values(
    TPasteCase{"Button", "btnPasteFromClipboard"},
    TPasteCase{"Menu", "N5"}),
    kestrun::test::CaseName());

TEST_F(FollowTest, RecentFilesSurviveARestartLatestFirst)
{
    const QString first = Path(u"first.log"_s);
    const QString gone = Path(u"gone.log"_s);
    WriteFile(first, Protocol1Log({Exchanges[0]}));
    WriteFile(gone, Protocol1Log(Exchanges));
    WriteFile(LogPath(), NgLog(Exchanges));
    Window->LoadLogFile(gone);
    Window->LoadLogFile(first);
    Window->FollowLogFile(LogPath());
    Window->LoadLogFile(first);
    CloseWindow();
    ASSERT_TRUE(QFile::remove(gone));
    OpenWindow();

    QStringList recent;
    for (QAction* action : OpenMenu()->actions())
        if (action->text().endsWith(u".log"_s))
            recent << action->text();
    EXPECT_EQ(recent, (QStringList{first, LogPath(), gone}));
    EXPECT_FALSE(MenuAction(gone)->isEnabled());
    MenuAction(LogPath())->trigger();
    EXPECT_EQ(Rows(), 3);
    EXPECT_EQ(Child<QLabel>("lblFileName")->text(), LogPath());
}

TEST_F(FollowTest, NoRecentFilesAtFirstStart)
{
    EXPECT_FALSE(MenuAction(u"Недавних файлов нет"_s)->isEnabled());
}

struct TStartCase
{
    const char* Name;
    QStringList Arguments; // "LOG" stands for the log's path
    bool Follows;
};

void PrintTo(const TStartCase& c, std::ostream* os) { *os << c.Name; }

class StartFileTest : public FollowTest, public ::testing::WithParamInterface<TStartCase> {};

// kestrun FILE and kestrun --follow FILE, as the program hands its arguments to the window.
TEST_P(StartFileTest, OpensTheNamedLog)
{
    WriteFile(LogPath(), Protocol1Log(Exchanges));
    QStringList arguments = GetParam().Arguments;
    arguments.replaceInStrings(u"LOG"_s, LogPath());
    OpenStartFile(*Window, arguments);
    EXPECT_EQ(Rows(), arguments.isEmpty() ? 0 : 3);
    EXPECT_EQ(Window->Following(), GetParam().Follows);
    EXPECT_EQ(FollowBox()->isChecked(), GetParam().Follows);
}

INSTANTIATE_TEST_SUITE_P(Arguments, StartFileTest, ::testing::Values(
    TStartCase{"None", {}, false},
    TStartCase{"File", {u"LOG"_s}, false},
    TStartCase{"FollowFile", {u"--follow"_s, u"LOG"_s}, true},
    TStartCase{"FileThenFollow", {u"LOG"_s, u"--follow"_s}, true}),
    CaseName());

struct TRecentCase
{
    const char* Name;
    QStringList Before;
    QString Added;
    QStringList After;
};

void PrintTo(const TRecentCase& c, std::ostream* os) { *os << c.Name; }

class RecentFilesTest : public ::testing::TestWithParam<TRecentCase> {};

TEST_P(RecentFilesTest, PutsTheLatestFirst)
{
    EXPECT_EQ(WithRecentFile(GetParam().Before, GetParam().Added), GetParam().After);
}

QStringList Numbered(int from, int to)
{
    QStringList files;
    for (int i = from; i <= to; ++i)
        files << u"/logs/%1.log"_s.arg(i);
    return files;
}

INSTANTIATE_TEST_SUITE_P(Lists, RecentFilesTest, ::testing::Values(
    TRecentCase{"Empty", {}, u"/a.log"_s, {u"/a.log"_s}},
    TRecentCase{"New", {u"/a.log"_s}, u"/b.log"_s, {u"/b.log"_s, u"/a.log"_s}},
    TRecentCase{"AgainMovesUp", {u"/a.log"_s, u"/b.log"_s}, u"/b.log"_s, {u"/b.log"_s, u"/a.log"_s}},
    TRecentCase{"TenKept", Numbered(1, 10), u"/logs/0.log"_s, Numbered(0, 9)},
    TRecentCase{"StoredBlanksAndRepeatsDropped", {u""_s, u"/a.log"_s, u" "_s, u"/a.log"_s}, u"/b.log"_s,
                {u"/b.log"_s, u"/a.log"_s}}),
    CaseName());

} // namespace
} // namespace kestrun::test
