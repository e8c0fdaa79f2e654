// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaseName.h"
#include "LogBuilder.h"
#include "SettingsSamples.h"
#include "log/Exception.h"
#include "settings/SettingsFile.h"

#include <QDir>
#include <QFile>
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

} // namespace
} // namespace kestrun::test
