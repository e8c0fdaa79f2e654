// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaseName.h"
#include "SettingsFile.h"
#include "UiTestSupport.h"
#include "log/Exception.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTemporaryDir>
#include <cstring>

namespace kestrun::test {
namespace {

using namespace Qt::StringLiterals;

TEST(SettingsFileTest, WritesAndReadsTextsAndStringLists)
{
    QTemporaryDir folder;
    const QString fileName = folder.filePath(u"a/b/settings.xml"_s);
    TSettingsFile settings(fileName);
    settings.SetValue(u"fmMain"_s, u"dlgOpen_FileName"_s, u"/logs/день 1.log"_s);
    settings.SetLines(u"fmMain"_s, u"memCommandExceptions_Lines"_s, {u"FF 0A"_s, QString(), u"10"_s});
    settings.SetLines(u"fmMain"_s, u"memIgnoreCommand_Lines"_s, {});
    settings.Save();

    QFile file(fileName);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString xml = QString::fromUtf8(file.readAll());
    for (const QString& part : {u"<Configuration>"_s, u"<fmMain>"_s, u"<dlgOpen_FileName>/logs/день 1.log</dlgOpen_FileName>"_s,
                                u"<Count>3</Count>"_s, u"<Item0>FF 0A</Item0>"_s, u"<Item1></Item1>"_s, u"<Item2>10</Item2>"_s,
                                u"<Count>0</Count>"_s})
        EXPECT_TRUE(xml.contains(part)) << part.toStdString() << "\n" << xml.toStdString();

    TSettingsFile read(fileName);
    read.Load();
    EXPECT_EQ(read.Value(u"fmMain"_s, u"dlgOpen_FileName"_s), u"/logs/день 1.log"_s);
    EXPECT_EQ(read.Lines(u"fmMain"_s, u"memCommandExceptions_Lines"_s), (QStringList{u"FF 0A"_s, QString(), u"10"_s}));
    EXPECT_EQ(read.Lines(u"fmMain"_s, u"memIgnoreCommand_Lines"_s), QStringList());
    EXPECT_EQ(read.Value(u"fmMain"_s, u"NormPos"_s), std::nullopt);
}

TEST(SettingsFileTest, MissingFileIsEmpty)
{
    QTemporaryDir folder;
    TSettingsFile settings(folder.filePath(u"settings.xml"_s));
    settings.Load();
    EXPECT_EQ(settings.Lines(u"fmMain"_s, u"memIgnoreCommand_Lines"_s), std::nullopt);
}

QByteArray ReadFile(const QString& fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A file damaged part way keeps every value read before the damage, and only those: a text or a
// line the damage cut is not taken for a whole one. The damaged file is kept beside it as .bad.
struct DamageCase
{
    const char* Name;
    const char* CutAfter;   // the file ends after the first occurrence of this text
    QByteArray Inserted;    // written there instead of the rest, when the file is not cut
    const char* OpenFile;   // dlgOpen_FileName read; nullptr: none
    std::optional<QStringList> ExceptList;
    std::optional<int> CutLineCount;
    const char* SaveFile;   // dlgSave_FileName read; nullptr: none
};

void PrintTo(const DamageCase& c, std::ostream* os) { *os << c.Name; }

class DamagedSettingsTest : public ::testing::TestWithParam<DamageCase> {};

const QByteArray WholeFile = "<?xml version=\"1.0\"?>\n<Configuration><fmMain>"
                             "<dlgOpen_FileName>/logs/day.log</dlgOpen_FileName>"
                             "<memCommandExceptions_Lines><Count>3</Count><Item0>41</Item0><Item1>E0</Item1><Item2>85</Item2>"
                             "</memCommandExceptions_Lines>"
                             "<dlgSave_FileName>listing</dlgSave_FileName>"
                             "</fmMain></Configuration>\n";

TEST_P(DamagedSettingsTest, KeepsWhatWasReadAndTheDamagedFile)
{
    const DamageCase& c = GetParam();
    QTemporaryDir folder;
    const QString fileName = folder.filePath(u"settings.xml"_s);
    const qsizetype at = WholeFile.indexOf(c.CutAfter) + qsizetype(strlen(c.CutAfter));
    ASSERT_GE(at, qsizetype(strlen(c.CutAfter)));
    const QByteArray damaged = c.Inserted.isEmpty() ? WholeFile.left(at) : WholeFile.left(at) + c.Inserted + WholeFile.mid(at);
    WriteFile(fileName, damaged);

    TSettingsFile settings(fileName);
    ASSERT_NO_THROW(settings.Load());
    const QString section = u"fmMain"_s;
    EXPECT_EQ(settings.Value(section, u"dlgOpen_FileName"_s), c.OpenFile ? std::optional(QString::fromUtf8(c.OpenFile)) : std::nullopt);
    EXPECT_EQ(settings.Lines(section, u"memCommandExceptions_Lines"_s), c.ExceptList);
    EXPECT_EQ(settings.CutLineCount(section, u"memCommandExceptions_Lines"_s), c.CutLineCount);
    EXPECT_EQ(settings.Value(section, u"dlgSave_FileName"_s), c.SaveFile ? std::optional(QString::fromUtf8(c.SaveFile)) : std::nullopt);
    EXPECT_TRUE(settings.Damage().contains(settings.BackupFileName())) << settings.Damage().toStdString();
    EXPECT_EQ(settings.BackupFileName(), fileName + u".bad"_s);
    EXPECT_EQ(ReadFile(settings.BackupFileName()), damaged);

    // Written again, the file is whole: what was kept reads back and nothing is damaged.
    settings.Save();
    TSettingsFile again(fileName);
    again.Load();
    EXPECT_TRUE(again.Damage().isEmpty()) << again.Damage().toStdString();
    EXPECT_EQ(again.Lines(section, u"memCommandExceptions_Lines"_s), c.ExceptList);
    EXPECT_EQ(again.CutLineCount(section, u"memCommandExceptions_Lines"_s), std::nullopt);
    EXPECT_EQ(ReadFile(settings.BackupFileName()), damaged);
}

const QStringList AllCodes{u"41"_s, u"E0"_s, u"85"_s};

INSTANTIATE_TEST_SUITE_P(Cuts, DamagedSettingsTest, ::testing::Values(
    DamageCase{"Empty", "", {}, nullptr, std::nullopt, -1, nullptr},
    DamageCase{"InTheFirstValue", "<dlgOpen_FileName>/logs/d", {}, nullptr, std::nullopt, -1, nullptr},
    DamageCase{"BeforeTheList", "</dlgOpen_FileName>", {}, "/logs/day.log", std::nullopt, -1, nullptr},
    DamageCase{"InTheCount", "<Count>", {}, "/logs/day.log", QStringList(), -1, nullptr},
    DamageCase{"InTheSecondLine", "<Item1>E", {}, "/logs/day.log", QStringList{u"41"_s}, 3, nullptr},
    DamageCase{"AfterTheSecondLine", "</Item1>", {}, "/logs/day.log", (QStringList{u"41"_s, u"E0"_s}), 3, nullptr},
    DamageCase{"AfterTheLastLine", "</Item2>", {}, "/logs/day.log", AllCodes, std::nullopt, nullptr},
    DamageCase{"InTheLastValue", "<dlgSave_FileName>lis", {}, "/logs/day.log", AllCodes, std::nullopt, nullptr},
    DamageCase{"BeforeTheEnd", "</dlgSave_FileName>", {}, "/logs/day.log", AllCodes, std::nullopt, "listing"},
    DamageCase{"MismatchedTag", "</Item0>", "</fmMain>", "/logs/day.log", QStringList{u"41"_s}, 3, nullptr},
    // Reading stops at the bound: the value and all after it are not read.
    DamageCase{"HugeValue", "<Item1>", QByteArray(1 << 20, 'x'), "/logs/day.log", QStringList{u"41"_s}, 3, nullptr},
    DamageCase{"HugeMarkup", "</dlgOpen_FileName>", "<a" + QByteArray(1 << 20, 'x') + "/>", "/logs/day.log",
               std::nullopt, -1, nullptr},
    DamageCase{"FileOverItsBound", "</dlgOpen_FileName>",
               "<junk>" + ("<v>" + QByteArray(60000, 'v') + "</v>").repeated(200),
               "/logs/day.log", std::nullopt, -1, nullptr}),
    CaseName());

// The copy of a damaged file is what keeps it: without one the file is not written over.
TEST(SettingsFileTest, DamagedFileThatCannotBeCopiedIsNotWrittenOver)
{
    QTemporaryDir folder;
    const QString fileName = folder.filePath(u"settings.xml"_s);
    const QByteArray damaged = WholeFile.left(WholeFile.indexOf("</Item1>"));
    WriteFile(fileName, damaged);
    ASSERT_TRUE(QDir().mkpath(fileName + u".bad/in the way"_s));
    TSettingsFile settings(fileName);
    settings.Load();
    EXPECT_TRUE(settings.Damage().contains(u"не будет перезаписан"_s)) << settings.Damage().toStdString();
    settings.SetLines(u"fmMain"_s, u"memCommandExceptions_Lines"_s, {u"FF 0A"_s});
    EXPECT_THROW(settings.Save(), Exception);
    EXPECT_EQ(ReadFile(fileName), damaged);
}

TEST(SettingsFileTest, FolderThatCannotBeMadeIsAnError)
{
    QTemporaryDir folder;
    QFile blocker(folder.filePath(u"KELMAR"_s));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    TSettingsFile settings(folder.filePath(u"KELMAR/Kestrun/settings.xml"_s));
    settings.SetValue(u"fmMain"_s, u"ShowCmd"_s, u"1"_s);
    EXPECT_THROW(settings.Save(), Exception);
}

// Remembered lists and values are bounded, so a damaged or hostile file cannot flood the window;
// what lies beyond the bounds is dropped and the rest still loads.
TEST(SettingsFileTest, ListsAndTextsAreBounded)
{
    QTemporaryDir folder;
    const QString fileName = folder.filePath(u"settings.xml"_s);
    QFile file(fileName);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<Configuration><fmMain><memCommandExceptions_Lines><Count>20000</Count>");
    file.write("<Item0>" + QByteArray(60000, 'A') + "</Item0>");
    for (int i = 1; i < 20000; ++i)
        file.write("<Item" + QByteArray::number(i) + ">" + QByteArray::number(i) + "</Item" + QByteArray::number(i) + ">");
    file.write("</memCommandExceptions_Lines>");
    file.write("<memIgnoreCommand_Lines><Count>2000000000</Count><Item1999999999>10</Item1999999999></memIgnoreCommand_Lines>");
    file.write("<dlgOpen_FileName>/" + QByteArray(60000, 'b') + "</dlgOpen_FileName>");
    file.write("<dlgSave_FileName>Log</dlgSave_FileName></fmMain><junk>");
    for (int i = 0; i < 1000; ++i)
        file.write("<k" + QByteArray::number(i) + "><Count>10000</Count></k" + QByteArray::number(i) + ">");
    file.write("</junk></Configuration>");
    file.close();

    TSettingsFile settings(fileName);
    settings.Load();
    EXPECT_TRUE(settings.Damage().isEmpty()) << settings.Damage().toStdString();
    const QStringList lines = settings.Lines(u"fmMain"_s, u"memCommandExceptions_Lines"_s).value_or(QStringList());
    ASSERT_EQ(lines.size(), 10000);
    EXPECT_EQ(lines[0], QString(1000, u'A'));
    EXPECT_EQ(lines[1], u"1"_s);
    EXPECT_EQ(lines[9999], u"9999"_s);
    EXPECT_EQ(settings.Lines(u"fmMain"_s, u"memIgnoreCommand_Lines"_s).value_or(QStringList()).size(), 10000);
    EXPECT_EQ(settings.Value(u"fmMain"_s, u"dlgOpen_FileName"_s).value_or(QString()), u"/"_s + QString(4095, u'b'));
    EXPECT_EQ(settings.Value(u"fmMain"_s, u"dlgSave_FileName"_s), u"Log"_s);
    EXPECT_EQ(settings.Lines(u"junk"_s, u"k0"_s).value_or(QStringList()).size(), 10000);
    EXPECT_EQ(settings.Lines(u"junk"_s, u"k999"_s), std::nullopt);
}

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
