// SPDX-License-Identifier: GPL-3.0-or-later
#include "ArchiveMemberDialog.h"
#include "UiTestSupport.h"
#include "../log/ArchiveWriter.h"
#include "log/Codepages.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

namespace kestrun::test {

namespace {

using namespace Qt::StringLiterals;

const TPacking Zip{"zip", TFilter::fNone, TContainer::cZip, true};
const TPacking Gz{"gz", TFilter::fGzip, TContainer::cRaw, true};

QByteArray LogBytes(const std::vector<TExchange>& exchanges) { return UnicodeToCp1251(Protocol2Log(exchanges)); }

const std::vector<TExchange> OneCommand = {{"10 1E 00 00 00", "10 00 1E 03 00 02 00 05 FF D8 00 00 00 1A 04"}};
const std::vector<TExchange> TwoCommands = {{"10 1E 00 00 00", "10 00 1E 03 00 02 00 05 FF D8 00 00 00 1A 04"},
                                            {"11 1E 00 00 00", "11 4E"}};

class ArchiveLoad : public TWindowTest
{
protected:
    QString WritePacked(const QString& name, const TPacking& packing, const TMembers& members) const
    {
        QFile file(Path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(Pack(packing, members));
        return file.fileName();
    }

    QString FileLabel() const { return Child<QLabel>("lblFileName")->text(); }
};

} // namespace

TEST_F(ArchiveLoad, SeveralLogsAskWhichOneToOpen)
{
    const QString zip = WritePacked(u"two.zip"_s, Zip, {{u"a.log"_s, LogBytes(OneCommand)}, {u"b.log"_s, LogBytes(TwoCommands)}});
    Dialogs.Member = u"b.log"_s;
    Window->LoadLogFile(zip);
    EXPECT_EQ(Dialogs.OfferedMembers, QStringList({u"a.log"_s, u"b.log"_s}));
    EXPECT_EQ(Model()->rowCount(), 2);
    EXPECT_EQ(FileLabel(), zip + u":b.log"_s);
    EXPECT_TRUE(Dialogs.Errors.isEmpty()) << Dialogs.Errors.join(u'\n').toStdString();
}

TEST_F(ArchiveLoad, CancellingTheChoiceChangesNothing)
{
    const QString before = FileLabel();
    Load(TwoCommands);
    const QString loaded = FileLabel();
    const QString zip = WritePacked(u"two.zip"_s, Zip, {{u"a.log"_s, LogBytes(OneCommand)}, {u"b.log"_s, LogBytes(OneCommand)}});
    Dialogs.Member.reset();
    Window->LoadLogFile(zip);
    EXPECT_EQ(Dialogs.OfferedMembers.size(), 2);
    EXPECT_EQ(Model()->rowCount(), 2);
    EXPECT_EQ(FileLabel(), loaded);
    EXPECT_NE(loaded, before);
    EXPECT_TRUE(Dialogs.Errors.isEmpty());
}

TEST_F(ArchiveLoad, ACompressedLogOpensWithoutAQuestion)
{
    const QString gz = WritePacked(u"one.log.gz"_s, Gz, {{u"x"_s, LogBytes(TwoCommands)}});
    Window->LoadLogFile(gz);
    EXPECT_TRUE(Dialogs.OfferedMembers.isEmpty());
    EXPECT_EQ(Model()->rowCount(), 2);
    EXPECT_EQ(FileLabel(), gz);
}

// A compressed log cannot be followed: ticking the box says so and keeps the rows it shows.
TEST_F(ArchiveLoad, FollowingACompressedLogKeepsItsRows)
{
    const QString gz = WritePacked(u"one.log.gz"_s, Gz, {{u"x"_s, LogBytes(TwoCommands)}});
    Window->LoadLogFile(gz);
    ASSERT_EQ(Model()->rowCount(), 2);
    Child<QCheckBox>("chkFollow")->setChecked(true);
    ASSERT_EQ(Dialogs.Errors.size(), 1);
    EXPECT_TRUE(Dialogs.Errors[0].contains(u"нельзя отслеживать"_s));
    EXPECT_FALSE(Child<QCheckBox>("chkFollow")->isChecked());
    EXPECT_FALSE(Window->Following());
    EXPECT_EQ(Model()->rowCount(), 2);
    EXPECT_EQ(Window->Commands().size(), 2);
    EXPECT_EQ(FileLabel(), gz);
}

TEST_F(ArchiveLoad, ADamagedArchiveIsReportedAndLoadsNothing)
{
    const QByteArray whole = Pack(Zip, {{u"a.log"_s, LogBytes(TwoCommands)}, {u"b.log"_s, LogBytes(TwoCommands)}});
    QFile file(Path(u"cut.zip"_s));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(whole.left(whole.size() / 2));
    file.close();
    Window->LoadLogFile(file.fileName());
    EXPECT_TRUE(Dialogs.OfferedMembers.isEmpty());
    ASSERT_EQ(Dialogs.Errors.size(), 1);
    // The window's own first line, then the reason.
    const QStringList lines = Dialogs.Errors[0].split(u'\n');
    ASSERT_EQ(lines.size(), 2) << Dialogs.Errors[0].toStdString();
    EXPECT_EQ(lines[0], u"Не удалось открыть файл лога "_s + file.fileName());
    EXPECT_TRUE(lines[1].startsWith(u"Архив \""_s + file.fileName() + u"\" повреждён: "_s)) << lines[1].toStdString();
    EXPECT_EQ(Model()->rowCount(), 0);
    EXPECT_EQ(FileLabel(), OpenPrompt);
}

// A log damaged part way shows its rows up to the damage, and the reason in the status line.
TEST_F(ArchiveLoad, ALogDamagedPartWayShowsItsRowsAndWarns)
{
    QByteArray bytes = Pack(Gz, {{u"x"_s, LogBytes(TwoCommands)}});
    bytes[bytes.size() - 6] = char(bytes[bytes.size() - 6] ^ 0xFF); // the checksum
    QFile file(Path(u"crc.log.gz"_s));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    Window->LoadLogFile(file.fileName());
    EXPECT_TRUE(Dialogs.Errors.isEmpty()) << Dialogs.Errors.join(u'\n').toStdString();
    EXPECT_EQ(Model()->rowCount(), 2);
    const QString status = Child<QLineEdit>("edtStatus")->text();
    EXPECT_TRUE(status.startsWith(u"Архив \""_s + file.fileName() + u"\" повреждён: неверная контрольная сумма"_s))
        << status.toStdString();
}

TEST(ArchiveMemberDialog, ListsTheFilesWithTheFirstChosen)
{
    TArchiveMemberDialog dialog(u"/tmp/logs.zip"_s, {u"a.log"_s, u"dir/b.log"_s});
    auto* list = dialog.findChild<QListWidget*>(u"lstMembers"_s);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(1)->text(), u"dir/b.log"_s);
    EXPECT_EQ(dialog.Member(), u"a.log"_s);
    list->setCurrentRow(1);
    EXPECT_EQ(dialog.Member(), u"dir/b.log"_s);
}

} // namespace kestrun::test
