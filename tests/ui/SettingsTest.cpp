#include "SettingsFile.h"
#include "UiTestSupport.h"
#include "log/Exception.h"

#include <QFile>
#include <QPlainTextEdit>
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
    QFile file(fileName);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<Configuration><fmMain><ShowCmd>1</fmMain>");
    file.close();
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
    const QRect placed(40, 50, 700, 500);
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
    EXPECT_EQ(value("NormPos"), u"40,50,740,550"_s);
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
    QFile file(SettingsPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("<Configuration><fmMain><memIgnoreCommand_Lines><Count>1</Count><Item0>10</Item0>");
    file.close();
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
        QFile file(SettingsPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QByteArray("<Configuration><fmMain><ShowCmd>1</ShowCmd><PixelsPerInch>") + c.PixelsPerInch
                   + "</PixelsPerInch><NormPos>" + c.NormPos + "</NormPos></fmMain></Configuration>");
        file.close();
        Dialogs.Errors.clear();
        OpenWindow();
        EXPECT_EQ(Window->geometry(), firstRun) << c.NormPos;
        EXPECT_TRUE(Dialogs.Errors.isEmpty()) << c.NormPos;
        Window.reset();
    }
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
