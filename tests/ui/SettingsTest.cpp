// SPDX-License-Identifier: GPL-3.0-or-later
#include "../settings/SettingsSamples.h"
#include "CaseName.h"
#include "UiTestSupport.h"
#include "settings/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QScreen>
#include <cstring>

namespace kestrun::test {
namespace {

using namespace Qt::StringLiterals;

class WindowSettingsTest : public TWindowTest
{
protected:
    QString SettingsPath() const { return Path(u"config/KELMAR/Kestrun/settings.xml"_s); }
    QPlainTextEdit* Memo(const char* name) const { return Child<QPlainTextEdit>(name); }
};

TEST_F(WindowSettingsTest, ClosingSavesAndTheNextStartRestores)
{
    EXPECT_FALSE(QFile::exists(SettingsPath()));
    Memo("memCommandExceptions")->setPlainText(u"FF 0A\n10"_s);
    Memo("memIgnoreCommand")->setPlainText(u"11\n"_s);
    const QString logName = Path(u"logs/day.log"_s);
    ASSERT_TRUE(QDir().mkpath(Path(u"logs"_s)));
    WriteLog(logName, {{"10 1E 00 00 00", "10 00"}});
    Dialogs.OpenFileName = logName;
    Dialogs.OpenFilterIndex = 2;
    Click("btnOpen");
    const QRect placed(6, 50, 790, 500);
    Window->setGeometry(placed);
    CloseWindow();
    EXPECT_TRUE(Dialogs.Errors.isEmpty());

    TSettingsFile saved(SettingsPath());
    saved.Load();
    const auto value = [&](const char* key) { return saved.Value(u"fmMain"_s, QLatin1String(key)).value_or(u"?"_s); };
    EXPECT_EQ(value("dlgOpen_FileName"), logName);
    EXPECT_EQ(value("dlgOpen_InitialDir"), Path(u"logs"_s));
    EXPECT_EQ(value("dlgOpen_FilterIndex"), u"2"_s);
    EXPECT_EQ(value("dlgSave_FileName"), u"Log"_s);
    EXPECT_EQ(value("dlgSave_InitialDir"), QString());
    EXPECT_EQ(value("ShowCmd"), u"1"_s);
    EXPECT_EQ(value("Flags"), u"0"_s);
    EXPECT_NE(value("PixelsPerInch").toInt(), 0);
    EXPECT_EQ(value("MinMaxPos"), u"-1,-1,-1,-1"_s);
    EXPECT_EQ(value("NormPos"), u"6,50,796,550"_s);
    EXPECT_EQ(saved.Lines(u"fmMain"_s, u"memCommandExceptions_Lines"_s), (QStringList{u"FF 0A"_s, u"10"_s}));
    EXPECT_EQ(saved.Lines(u"fmMain"_s, u"memIgnoreCommand_Lines"_s), QStringList{u"11"_s});

    OpenWindow();
    EXPECT_EQ(Memo("memCommandExceptions")->toPlainText(), u"FF 0A\n10"_s);
    EXPECT_EQ(Memo("memIgnoreCommand")->toPlainText(), u"11"_s);
    EXPECT_EQ(Window->geometry(), placed);
    Dialogs.OpenFileName.clear();
    EXPECT_TRUE(Dialogs.Errors.isEmpty());
}

// A damaged file: the window shows what was read before the damage and says so once; on exit
// a never-sent list shorter than the one saved is written only with a word to the user.
struct WindowDamageCase
{
    const char* Name;
    const char* CutAfter;
    const char* ExceptMemo;
    const char* ReadNote;  // a part of the message at start
    const char* SavedNote; // a part of the message on exit; nullptr: none
};

void PrintTo(const WindowDamageCase& c, std::ostream* os) { *os << c.Name; }

class WindowDamageTest : public WindowSettingsTest, public ::testing::WithParamInterface<WindowDamageCase> {};

TEST_P(WindowDamageTest, KeepsWhatWasReadAndSaysSo)
{
    const WindowDamageCase& c = GetParam();
    CloseWindow();
    const QByteArray damaged = WholeFile.left(WholeFile.indexOf(c.CutAfter) + qsizetype(strlen(c.CutAfter)));
    WriteFile(SettingsPath(), damaged);
    Dialogs.Errors.clear();
    OpenWindow();
    EXPECT_EQ(Memo("memCommandExceptions")->toPlainText(), QString::fromUtf8(c.ExceptMemo));
    ASSERT_EQ(Dialogs.Errors.size(), 1);
    EXPECT_TRUE(Dialogs.Errors[0].contains(SettingsPath() + u".bad"_s)) << Dialogs.Errors[0].toStdString();
    EXPECT_TRUE(Dialogs.Errors[0].contains(QString::fromUtf8(c.ReadNote))) << Dialogs.Errors[0].toStdString();

    Dialogs.Errors.clear();
    CloseWindow();
    ASSERT_EQ(Dialogs.Errors.size(), c.SavedNote ? 1 : 0);
    if (c.SavedNote) {
        EXPECT_TRUE(Dialogs.Errors[0].contains(QString::fromUtf8(c.SavedNote))) << Dialogs.Errors[0].toStdString();
    }
    EXPECT_EQ(ReadFile(SettingsPath() + u".bad"_s), damaged);
    TSettingsFile saved(SettingsPath());
    saved.Load();
    EXPECT_TRUE(saved.Damage().isEmpty());
    EXPECT_EQ(saved.Lines(u"fmMain"_s, u"memCommandExceptions_Lines"_s),
              QString::fromUtf8(c.ExceptMemo).split(u'\n'));
    EXPECT_EQ(saved.Value(u"fmMain"_s, u"dlgOpen_FileName"_s), u"/logs/day.log"_s);
}

INSTANTIATE_TEST_SUITE_P(Cuts, WindowDamageTest, ::testing::Values(
    WindowDamageCase{"InTheList", "</Item1>", "41\nE0", "прочитан не полностью: 2 из 3 строк",
                     "записан в файл настроек короче сохранённого ранее: 2 строк из 3"},
    WindowDamageCase{"BeforeTheList", "</dlgOpen_FileName>", "FF 0A", "не прочитан; действует список по умолчанию",
                     "записан в файл настроек короче сохранённого ранее: 1 строк;"},
    WindowDamageCase{"AfterTheList", "</memCommandExceptions_Lines>", "41\nE0\n85", "повреждён", nullptr}),
    CaseName());

// A list the user makes as long again as the saved one is written without a word.
TEST_F(WindowSettingsTest, ExceptListFilledAgainIsSavedSilently)
{
    CloseWindow();
    WriteFile(SettingsPath(), WholeFile.left(WholeFile.indexOf("</Item1>")));
    OpenWindow();
    Memo("memCommandExceptions")->setPlainText(u"41\nE0\n85"_s);
    Dialogs.Errors.clear();
    CloseWindow();
    EXPECT_TRUE(Dialogs.Errors.isEmpty());
    TSettingsFile saved(SettingsPath());
    saved.Load();
    EXPECT_EQ(saved.Lines(u"fmMain"_s, u"memCommandExceptions_Lines"_s), AllCodes);
}

// The settings are read when the window is first shown: one destroyed unshown leaves them alone.
TEST_F(WindowSettingsTest, WindowNeverShownLeavesTheFile)
{
    CloseWindow();
    WriteFile(SettingsPath(), WholeFile);
    Window = std::make_unique<TfmMain>(&Dialogs);
    Window.reset();
    EXPECT_EQ(ReadFile(SettingsPath()), WholeFile);
}

// Placements no screen can hold are ignored: the window keeps its first-run place.
TEST_F(WindowSettingsTest, OutlandishPlacementIsIgnored)
{
    const QRect firstRun = Window->geometry();
    CloseWindow();
    const struct
    {
        const char* NormPos;
        const char* PixelsPerInch;
    } cases[] = {
        {"-2000000000,0,2000000000,100", "96"},
        {"-2147483648,-2147483648,100,100", "96"},
        {"0,0,2147483647,2147483647", "96"},
        {"0,0,100000000,100", "1"},
        {"0,0,10000000,10000000", "1"},
    };
    for (const auto& c : cases) {
        WriteFile(SettingsPath(), QByteArray("<Configuration><fmMain><ShowCmd>1</ShowCmd><PixelsPerInch>")
                                      + c.PixelsPerInch + "</PixelsPerInch><NormPos>" + c.NormPos
                                      + "</NormPos></fmMain></Configuration>");
        Dialogs.Errors.clear();
        OpenWindow();
        EXPECT_EQ(Window->geometry(), firstRun) << c.NormPos;
        EXPECT_TRUE(Dialogs.Errors.isEmpty()) << c.NormPos;
        Window.reset();
    }
}

// Placements that a screen holds only in part, or not at all in size, are brought onto the screen
// where most of the window lies: it starts visible, no larger than that screen's free area, with
// its title bar below the screen's top edge; a clean exit writes that placement back.
struct TPlacementCase
{
    const char* Name;
    const char* NormPos;
    const char* PixelsPerInch;
};

void PrintTo(const TPlacementCase& c, std::ostream* os) { *os << c.Name; }

class PlacementTest : public WindowSettingsTest, public ::testing::WithParamInterface<TPlacementCase> {};

TEST_P(PlacementTest, WindowStartsVisibleAndUsable)
{
    const TPlacementCase& c = GetParam();
    CloseWindow();
    QFile file(SettingsPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QByteArray("<Configuration><fmMain><ShowCmd>1</ShowCmd><PixelsPerInch>") + c.PixelsPerInch
               + "</PixelsPerInch><NormPos>" + c.NormPos + "</NormPos></fmMain></Configuration>");
    file.close();
    Dialogs.Errors.clear();
    OpenWindow();
    const QRect available = Window->screen()->availableGeometry();
    const QSize least = Window->minimumSize();
    const auto expectUsable = [&](const QRect& placed) {
        EXPECT_TRUE(placed.intersects(available)) << placed.x() << "," << placed.y();
        EXPECT_LE(placed.width(), available.width());
        EXPECT_LE(placed.height(), available.height());
        EXPECT_GE(placed.width(), least.width());
        EXPECT_GE(placed.height(), least.height());
        EXPECT_GT(placed.top(), available.top()) << "no room for the title bar";
        EXPECT_LT(placed.top(), available.bottom());
    };
    EXPECT_TRUE(Window->isVisible());
    EXPECT_FALSE(Window->isMinimized());
    expectUsable(Window->geometry());
    EXPECT_TRUE(Dialogs.Errors.isEmpty());

    CloseWindow();
    TSettingsFile saved(SettingsPath());
    saved.Load();
    const QStringList edges = saved.Value(u"fmMain"_s, u"NormPos"_s).value_or(QString()).split(u',');
    ASSERT_EQ(edges.size(), 4);
    expectUsable(QRect(QPoint(edges[0].toInt(), edges[1].toInt()), QPoint(edges[2].toInt() - 1, edges[3].toInt() - 1)));
}

INSTANTIATE_TEST_SUITE_P(Placements, PlacementTest, ::testing::Values(
    TPlacementCase{"SixteenMillionSquare", "0,0,16000000,16000000", "96"},
    TPlacementCase{"FortyThousandSquare", "0,0,40000,40000", "96"},
    TPlacementCase{"OnePixelPerInch", "0,0,814,584", "1"},
    TPlacementCase{"AboveTheTopEdge", "20,-500,800,30", "96"},
    TPlacementCase{"PastTheLeftEdge", "-100,20,700,500", "96"},
    TPlacementCase{"MostlyBelowTheBottomEdge", "10,590,800,1200", "96"}),
    CaseName());

// The remembered lists reach the window bounded: a long line is cut to its bound.
TEST_F(WindowSettingsTest, HugeRememberedLineIsCut)
{
    CloseWindow();
    QFile file(SettingsPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("<Configuration><fmMain><memIgnoreCommand_Lines><Count>1</Count><Item0>10"
               + QByteArray(60000, ' ') + "x</Item0></memIgnoreCommand_Lines>"
               "<dlgSave_FileName>listing</dlgSave_FileName></fmMain></Configuration>");
    file.close();
    OpenWindow();
    EXPECT_EQ(Memo("memIgnoreCommand")->toPlainText().size(), 1000);
    EXPECT_TRUE(Memo("memIgnoreCommand")->toPlainText().startsWith(u"10 "_s));
    CloseWindow();
    TSettingsFile saved(SettingsPath());
    saved.Load();
    EXPECT_EQ(saved.Value(u"fmMain"_s, u"dlgSave_FileName"_s), u"listing"_s);
}

TEST_F(WindowSettingsTest, UnwritableFolderIsReportedOnClose)
{
    CloseWindow();
    QFile::remove(SettingsPath());
    QDir(Path(u"config/KELMAR"_s)).removeRecursively();
    QFile blocker(Path(u"config/KELMAR"_s));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Dialogs.Errors.clear();
    OpenWindow();
    CloseWindow();
    EXPECT_EQ(Dialogs.Errors.size(), 1);
}

} // namespace
} // namespace kestrun::test
