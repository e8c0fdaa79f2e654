#include "CaseName.h"
#include "SettingsFile.h"
#include "UiTestSupport.h"
#include "log/Exception.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTemporaryDir>

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

TEST(SettingsFileTest, MalformedFileIsAnError)
{
    QTemporaryDir folder;
    const QString fileName = folder.filePath(u"settings.xml"_s);
    WriteFile(fileName, "<Configuration><fmMain><ShowCmd>1</fmMain>");
    TSettingsFile settings(fileName);
    EXPECT_THROW(settings.Load(), Exception);
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
    file.write("<Item0>" + QByteArray(10 * 1024 * 1024, 'A') + "</Item0>");
    for (int i = 1; i < 20000; ++i)
        file.write("<Item" + QByteArray::number(i) + ">" + QByteArray::number(i) + "</Item" + QByteArray::number(i) + ">");
    file.write("</memCommandExceptions_Lines>");
    file.write("<memIgnoreCommand_Lines><Count>2000000000</Count><Item1999999999>10</Item1999999999></memIgnoreCommand_Lines>");
    file.write("<dlgOpen_FileName>/" + QByteArray(100000, 'b') + "</dlgOpen_FileName>");
    file.write("<dlgSave_FileName>Log</dlgSave_FileName></fmMain><junk>");
    for (int i = 0; i < 1000; ++i)
        file.write("<k" + QByteArray::number(i) + "><Count>10000</Count></k" + QByteArray::number(i) + ">");
    file.write("</junk></Configuration>");
    file.close();

    TSettingsFile settings(fileName);
    settings.Load();
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

TEST_F(WindowSettingsTest, MalformedFileIsReportedAndDefaultsStay)
{
    CloseWindow();
    WriteFile(SettingsPath(), "<Configuration><fmMain><memIgnoreCommand_Lines><Count>1</Count><Item0>10</Item0>");
    Dialogs.Errors.clear();
    OpenWindow();
    EXPECT_EQ(Dialogs.Errors.size(), 1);
    EXPECT_EQ(Memo("memCommandExceptions")->toPlainText(), u"FF 0A"_s);
    EXPECT_EQ(Memo("memIgnoreCommand")->toPlainText(), QString());
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

// The remembered lists reach the window bounded: a line of megabytes costs nothing at start.
TEST_F(WindowSettingsTest, HugeRememberedLineIsCut)
{
    CloseWindow();
    QFile file(SettingsPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("<Configuration><fmMain><memIgnoreCommand_Lines><Count>1</Count><Item0>10"
               + QByteArray(10 * 1024 * 1024, ' ') + "x</Item0></memIgnoreCommand_Lines>"
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
