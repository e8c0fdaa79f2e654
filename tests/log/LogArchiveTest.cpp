// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaseName.h"
#include "ArchiveWriter.h"
#include "log/Codepages.h"
#include "log/Exception.h"
#include "log/LogArchive.h"
#include "log/LogLoader.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace Qt::StringLiterals;
using namespace kestrun;
using namespace kestrun::test;

QByteArray DemoLog()
{
    QFile file(QStringLiteral(KESTRUN_SOURCE_DIR "/samples/demo.log"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

// A second, different log for archives of several files.
const QByteArray OtherLog = "[12.03.2024 10:15:30.123] [00001A2C] [DEBUG] TPrinterProtocol -> 05\r\n";

class PackedLogs : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(FDir.isValid()); }

    QString Write(const QString& name, const QByteArray& bytes) const
    {
        const QString path = FDir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    struct Result
    {
        int ExitCode;
        QByteArray Out;
        QString Err;
    };

    static Result Run(const QStringList& args, const QByteArray& input = {})
    {
        QProcess cli;
        cli.start(QStringLiteral(KESTRUN_CLI), args);
        cli.write(input);
        cli.closeWriteChannel();
        EXPECT_TRUE(cli.waitForFinished(120000));
        return {cli.exitCode(), cli.readAllStandardOutput(), QString::fromUtf8(cli.readAllStandardError())};
    }

    static QString Loaded(const QString& path, TCommands& commands)
    {
        try {
            LoadLogFile(path, {}, commands);
        } catch (const Exception& e) {
            return e.Message();
        }
        return {};
    }

    QTemporaryDir FDir;
};

// --- every format ---------------------------------------------------------------------------

const TPacking Packings[] = {
    {"gz", TFilter::fGzip, TContainer::cRaw, true},
    {"bz2", TFilter::fBzip2, TContainer::cRaw, true},
    {"xz", TFilter::fXz, TContainer::cRaw, true},
    {"zst", TFilter::fZstd, TContainer::cRaw, true},
    {"zip", TFilter::fNone, TContainer::cZip, true},
    {"7z", TFilter::fNone, TContainer::c7z, false},
    {"tar", TFilter::fNone, TContainer::cTar, true},
    {"tar_gz", TFilter::fGzip, TContainer::cTar, true},
    {"tar_bz2", TFilter::fBzip2, TContainer::cTar, true},
    {"tar_xz", TFilter::fXz, TContainer::cTar, true},
    {"tar_zst", TFilter::fZstd, TContainer::cTar, true},
};

class EveryFormat : public PackedLogs, public testing::WithParamInterface<TPacking>
{
protected:
    QByteArray Packed() const { return Pack(GetParam(), {{u"demo.log"_s, DemoLog()}}); }
    QString PackedPath() const { return Write(u"demo."_s + QString::fromLatin1(GetParam().Name), Packed()); }
};

TEST_P(EveryFormat, ListJsonIsByteIdenticalToThePlainLog)
{
    const Result plain = Run({u"list"_s, u"--json"_s, Write(u"demo.log"_s, DemoLog())});
    const Result packed = Run({u"list"_s, u"--json"_s, PackedPath()});
    ASSERT_EQ(plain.ExitCode, 0) << plain.Err.toStdString();
    EXPECT_EQ(packed.ExitCode, 0) << packed.Err.toStdString();
    EXPECT_FALSE(plain.Out.isEmpty());
    EXPECT_EQ(packed.Out, plain.Out);
}

TEST_P(EveryFormat, StandardInputIsUnpackedToo)
{
    const Result plain = Run({u"parse"_s, Write(u"demo.log"_s, DemoLog())});
    const Result piped = Run({u"parse"_s, u"-"_s}, Packed());
    if (GetParam().OnePass) {
        EXPECT_EQ(piped.ExitCode, 0) << piped.Err.toStdString();
        EXPECT_EQ(piped.Out, plain.Out);
        return;
    }
    // Without seeks the index at the end is out of reach: refused, nothing read wrong.
    EXPECT_EQ(piped.ExitCode, 1);
    EXPECT_TRUE(piped.Out.isEmpty()) << piped.Out.toStdString();
    EXPECT_TRUE(piped.Err.contains(u"Архив \"-\" читается только из файла"_s)) << piped.Err.toStdString();
}

// A cut archive gives the rows read before the cut, never one after it, and fails.
TEST_P(EveryFormat, ATruncatedArchiveGivesTheRowsBeforeTheCut)
{
    const Result plain = Run({u"list"_s, u"--json"_s, Write(u"demo.log"_s, DemoLog())});
    const QByteArray whole = Packed();
    const QString path = Write(u"cut"_s, whole.left(whole.size() / 2));
    const Result r = Run({u"list"_s, u"--json"_s, path});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_TRUE(plain.Out.startsWith(r.Out)) << r.Out.toStdString();
    EXPECT_TRUE(r.Out.isEmpty() || r.Out.endsWith('\n'));
    EXPECT_TRUE(r.Err.startsWith(u"kestrun-cli list: Архив \""_s + path + u"\" повреждён: "_s)) << r.Err.toStdString();
    // No library's English reaches the user.
    EXPECT_FALSE(r.Err.section(u"повреждён: "_s, 1).contains(QRegularExpression(u"[A-Za-z]"_s))) << r.Err.toStdString();

    TCommands all, commands{TCommand{}};
    EXPECT_EQ(Loaded(Write(u"demo.log"_s, DemoLog()), all), QString());
    EXPECT_FALSE(Loaded(path, commands).isEmpty());
    EXPECT_LT(commands.size(), all.size());
    EXPECT_EQ(commands, all.first(commands.size()));
}

INSTANTIATE_TEST_SUITE_P(Packed, EveryFormat, testing::ValuesIn(Packings),
                         kestrun::test::CaseName());

// --- archives of several files --------------------------------------------------------------

const TPacking Zip{"zip", TFilter::fNone, TContainer::cZip, true};
const TPacking TarGz{"tar_gz", TFilter::fGzip, TContainer::cTar, true};
const TPacking Gz{"gz", TFilter::fGzip, TContainer::cRaw, true};

TEST_F(PackedLogs, MembersAreListedInArchiveOrder)
{
    const TMembers members{{u"logs/demo.log"_s, DemoLog()}, {u"other.log"_s, OtherLog}};
    EXPECT_EQ(ListArchiveMembers(Write(u"two.zip"_s, Pack(Zip, members))), QStringList({u"logs/demo.log"_s, u"other.log"_s}));
    EXPECT_EQ(ListArchiveMembers(Write(u"two.tar.gz"_s, Pack(TarGz, members))), QStringList({u"logs/demo.log"_s, u"other.log"_s}));
    EXPECT_EQ(ListArchiveMembers(Write(u"one.gz"_s, Pack(Gz, members))), QStringList());
    EXPECT_EQ(ListArchiveMembers(Write(u"plain.log"_s, DemoLog())), QStringList());
    const QByteArray zip = Pack(Zip, members);
    EXPECT_THROW(ListArchiveMembers(Write(u"cut.zip"_s, zip.left(zip.size() / 2))), Exception);
}

TEST_F(PackedLogs, ANamedMemberIsLoaded)
{
    const TMembers members{{u"other.log"_s, OtherLog}, {u"logs/demo.log"_s, DemoLog()}};
    const Result plain = Run({u"list"_s, u"--json"_s, Write(u"demo.log"_s, DemoLog())});
    for (const TPacking& packing : {Zip, TarGz}) {
        const QString path = Write(u"two."_s + QString::fromLatin1(packing.Name), Pack(packing, members));
        const Result r = Run({u"list"_s, u"--json"_s, path + u":logs/demo.log"_s});
        EXPECT_EQ(r.ExitCode, 0) << packing.Name << r.Err.toStdString();
        EXPECT_EQ(r.Out, plain.Out) << packing.Name;
    }
}

TEST_F(PackedLogs, SeveralMembersWithoutANameAreListedInTheMessage)
{
    const TMembers members{{u"logs/demo.log"_s, DemoLog()}, {u"other.log"_s, OtherLog}};
    const QString path = Write(u"two.zip"_s, Pack(Zip, members));
    const Result r = Run({u"list"_s, path});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_TRUE(r.Out.isEmpty());
    EXPECT_EQ(r.Err, u"kestrun-cli list: В архиве \""_s + path
                         + u"\" несколько файлов, укажите нужный как АРХИВ:ФАЙЛ: logs/demo.log, other.log\n"_s);

    // Read in one pass from a pipe, the second file is found after the first.
    const Result piped = Run({u"parse"_s, u"-"_s}, Pack(TarGz, members));
    EXPECT_EQ(piped.ExitCode, 1);
    EXPECT_TRUE(piped.Err.endsWith(u"несколько файлов, укажите нужный как АРХИВ:ФАЙЛ: logs/demo.log, other.log\n"_s))
        << piped.Err.toStdString();
}

// A name is input like the log's text: no control byte of it reaches the terminal.
TEST_F(PackedLogs, ControlBytesOfMemberNamesAreWrittenVisibly)
{
    const QString path = Write(u"two.zip"_s, Pack(Zip, {{u"\x1B]0;pwned\x07"_s, OtherLog}, {u"b.log"_s, OtherLog}}));
    const Result r = Run({u"list"_s, path});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(r.Err, u"kestrun-cli list: В архиве \""_s + path
                         + u"\" несколько файлов, укажите нужный как АРХИВ:ФАЙЛ: <0x1B>]0;pwned<0x07>, b.log\n"_s);
}

TEST_F(PackedLogs, WrongMemberNamesAreRefused)
{
    const QString zip = Write(u"two.zip"_s, Pack(Zip, {{u"a.log"_s, OtherLog}, {u"b.log"_s, OtherLog}}));
    const QString gz = Write(u"one.gz"_s, Pack(Gz, {{u"a.log"_s, OtherLog}}));
    const QString plain = Write(u"plain.log"_s, OtherLog);
    const struct
    {
        QString Source;
        QString Message;
    } cases[] = {
        {zip + u":c.log"_s, u"В архиве \""_s + zip + u"\" нет файла \"c.log\""_s},
        {gz + u":a.log"_s, u"В архиве \""_s + gz + u"\" нет файла \"a.log\""_s},
        {plain + u":a.log"_s, u"Файл \""_s + plain + u"\" не является архивом"_s},
    };
    for (const auto& c : cases) {
        TCommands commands;
        EXPECT_EQ(Loaded(c.Source, commands), c.Message);
    }
}

TEST_F(PackedLogs, SourceNamesSplitAtTheFirstColonAfterAnExistingFile)
{
    const QString zip = Write(u"a.zip"_s, {});
    const QString colon = Write(u"b:c.log"_s, {});
    const struct
    {
        QString Name;
        QString File;
        QString Member;
    } cases[] = {
        {zip, zip, {}},
        {zip + u":x.log"_s, zip, u"x.log"_s},
        {zip + u":dir/x:y.log"_s, zip, u"dir/x:y.log"_s},
        {colon, colon, {}},
        {FDir.filePath(u"absent.zip:x.log"_s), FDir.filePath(u"absent.zip:x.log"_s), {}},
    };
    for (const auto& c : cases) {
        const TLogSource source = ParseLogSource(c.Name);
        EXPECT_EQ(source.File, c.File) << c.Name.toStdString();
        EXPECT_EQ(source.Member, c.Member) << c.Name.toStdString();
    }
}

// --- limits and encodings -------------------------------------------------------------------

TEST_F(PackedLogs, AnArchiveUnpackingToTensOfGigabytesIsStopped)
{
    // Gzip members one after another form one stream: 20480 copies of a mebibyte of text.
    const QByteArray mebibyte = QByteArray("0123456789ABCDE\n").repeated(1 << 16);
    const QString path = Write(u"bomb.gz"_s, Pack(Gz, {{u"x"_s, mebibyte}}).repeated(20480));
    TCommands commands;
    const QString message = Loaded(path, commands);
    EXPECT_TRUE(message.startsWith(u"Архив \""_s + path + u"\" распаковывается в слишком большой объём"_s))
        << message.toStdString();
    EXPECT_TRUE(commands.isEmpty());
}

// Members passed over on the way to the one named (or to the end, looking for another) are
// unpacked all the same, so they count against the limit.
TEST_F(PackedLogs, MembersPassedOverCountAgainstTheLimit)
{
    const QByteArray mebibyte = QByteArray("0123456789ABCDE\n").repeated(1 << 16);
    TMembers members;
    for (int i = 0; i < 400; ++i)
        members.emplace_back(u"filler%1.log"_s.arg(i), mebibyte);
    members.emplace_back(u"late.log"_s, OtherLog);
    const QString path = Write(u"bomb-after.tar.gz"_s, Pack(TarGz, members));
    const QString tooBig = u"Архив \""_s + path + u"\" распаковывается в слишком большой объём"_s;
    TCommands commands;
    const QString message = Loaded(path + u":late.log"_s, commands);
    EXPECT_TRUE(message.startsWith(tooBig)) << message.toStdString();
    EXPECT_THROW(ListArchiveMembers(path), Exception);
}

// --- damage part way: the rows before it stand, the run fails --------------------------------

class DamagedGzip : public PackedLogs
{
protected:
    static QByteArray LongLog() { return DemoLog().repeated(300); }

    // `list --json` of the bytes, and what the same log gives whole.
    void ExpectRowsBeforeTheDamage(const QByteArray& damaged, const QString& reason, bool allRows)
    {
        const Result plain = Run({u"list"_s, u"--json"_s, Write(u"long.log"_s, LongLog())});
        const QString path = Write(u"damaged.gz"_s, damaged);
        const Result r = Run({u"list"_s, u"--json"_s, path});
        EXPECT_EQ(r.ExitCode, 1);
        EXPECT_FALSE(r.Out.isEmpty());
        // The last row read may have lost the rest of its exchange to the damage.
        const QByteArray allButLast = r.Out.left(r.Out.lastIndexOf('\n', r.Out.size() - 2) + 1);
        EXPECT_TRUE(plain.Out.startsWith(allButLast));
        if (allRows)
            EXPECT_EQ(r.Out, plain.Out);
        else
            EXPECT_LT(r.Out.size(), plain.Out.size());
        EXPECT_TRUE(r.Err.startsWith(u"kestrun-cli list: Архив \""_s + path + u"\" повреждён: "_s + reason))
            << r.Err.toStdString();
        EXPECT_EQ(r.Err.count(u'\n'), 1) << r.Err.toStdString();

        // Every command exits 1 and keeps the rows: parse counts them too.
        const Result count = Run({u"parse"_s, u"--count"_s, path});
        EXPECT_EQ(count.ExitCode, 1);
        EXPECT_EQ(count.Out.trimmed().toLongLong(), r.Out.count('\n'));
        TCommands commands;
        EXPECT_TRUE(Loaded(path, commands).startsWith(u"Архив \""_s + path + u"\" повреждён: "_s));
        EXPECT_EQ(commands.size(), r.Out.count('\n'));
    }
};

TEST_F(DamagedGzip, ACutStreamGivesTheRowsBeforeTheCut)
{
    const QByteArray whole = Pack(Gz, {{u"x"_s, LongLog()}});
    ExpectRowsBeforeTheDamage(whole.left(whole.size() / 2), u"данные оборваны"_s, false);
}

TEST_F(DamagedGzip, AWrongChecksumFailsAfterTheRows)
{
    QByteArray bytes = Pack(Gz, {{u"x"_s, LongLog()}});
    bytes[bytes.size() - 6] = char(bytes[bytes.size() - 6] ^ 0xFF);
    ExpectRowsBeforeTheDamage(bytes, u"неверная контрольная сумма"_s, true);
}

TEST_F(DamagedGzip, NothingAfterADamagedMemberIsRead)
{
    QByteArray bytes = Pack(Gz, {{u"x"_s, LongLog()}});
    bytes[bytes.size() - 6] = char(bytes[bytes.size() - 6] ^ 0xFF);
    ExpectRowsBeforeTheDamage(bytes + Pack(Gz, {{u"x"_s, LongLog()}}), u"неверная контрольная сумма"_s, true);
}

TEST_F(DamagedGzip, OverwrittenBytesInTheMiddleFail)
{
    QByteArray bytes = Pack(Gz, {{u"x"_s, LongLog()}});
    bytes.replace(bytes.size() / 2, 64, QByteArray(64, 'U'));
    const QString path = Write(u"overwritten.gz"_s, bytes);
    const Result r = Run({u"list"_s, u"--json"_s, path});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_TRUE(r.Err.startsWith(u"kestrun-cli list: Архив \""_s + path + u"\" повреждён: "_s)) << r.Err.toStdString();
}

// The outer format is told first: a gzip of a text that starts with NUL bytes is that text.
TEST_F(PackedLogs, AGzipOfTextStartingWithNulBytesIsThatText)
{
    const QByteArray text = QByteArray(512, '\0') + "\r\n" + DemoLog();
    const Result plain = Run({u"list"_s, u"--json"_s, Write(u"nul.log"_s, text)});
    const Result packed = Run({u"list"_s, u"--json"_s, Write(u"nul.gz"_s, Pack(Gz, {{u"x"_s, text}}))});
    EXPECT_EQ(packed.ExitCode, 0) << packed.Err.toStdString();
    EXPECT_FALSE(plain.Out.isEmpty());
    EXPECT_EQ(packed.Out, plain.Out);
}

TEST_F(PackedLogs, TheUnpackedTextFollowsTheEncodingRules)
{
    // The demo log is Windows-1251; the same text in UTF-8 after a byte-order mark loads alike.
    const QByteArray utf8 = "\xEF\xBB\xBF" + Cp1251ToUnicode(DemoLog()).toUtf8();
    TCommands plain, unpacked;
    EXPECT_EQ(Loaded(Write(u"demo.log"_s, DemoLog()), plain), QString());
    EXPECT_EQ(Loaded(Write(u"utf8.gz"_s, Pack(Gz, {{u"x"_s, utf8}})), unpacked), QString());
    EXPECT_FALSE(plain.isEmpty());
    EXPECT_EQ(unpacked, plain);
    // Read as the commands are listed, too.
    const Result listed = Run({u"list"_s, u"--json"_s, Write(u"utf8-listed.gz"_s, Pack(Gz, {{u"x"_s, utf8}}))});
    EXPECT_EQ(listed.ExitCode, 0) << listed.Err.toStdString();
    EXPECT_EQ(listed.Out, Run({u"list"_s, u"--json"_s, Write(u"demo.log"_s, DemoLog())}).Out);

    TCommands broken;
    EXPECT_EQ(Loaded(Write(u"bad.gz"_s, Pack(Gz, {{u"x"_s, "\xEF\xBB\xBF" + OtherLog + "\xC3\x28\r\n"}})), broken),
              u"No mapping for the Unicode character exists in the target multi-byte code page"_s);
    EXPECT_TRUE(broken.isEmpty());
}

TEST_F(PackedLogs, TextLinesAreNeverTakenForArchiveEntries)
{
    // Lines like "name key=value" make a valid listing in some archive formats.
    const QString path = Write(u"lines.gz"_s, Pack(Gz, {{u"x"_s, QByteArray("demo.log size=10 type=file\n").repeated(1000)}}));
    TCommands commands;
    EXPECT_EQ(Loaded(path, commands), QString());
    EXPECT_TRUE(commands.isEmpty());
}

TEST_F(PackedLogs, ProgressFollowsThePackedFile)
{
    const QString path = Write(u"demo.xz"_s, Pack({"xz", TFilter::fXz, TContainer::cRaw, true}, {{u"x"_s, DemoLog()}}));
    std::vector<double> steps;
    TCommands commands;
    LoadLogFile(path, {}, commands, [&](double fraction) { steps.push_back(fraction); });
    ASSERT_FALSE(steps.empty());
    EXPECT_DOUBLE_EQ(steps.back(), 1.0);
}

} // namespace
