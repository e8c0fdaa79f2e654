// SPDX-License-Identifier: GPL-3.0-or-later
// kestrun-cli save: never over the log it reads, and never half a listing over a file.
#include "ArchiveWriter.h"
#include "CaseName.h"
#include "CliRun.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <unistd.h>

namespace kestrun::test {
namespace {

using namespace Qt::StringLiterals;

const QString DemoLog = QStringLiteral(KESTRUN_SOURCE_DIR "/samples/demo.log");
const QString Member = u"driver/kkt.log"_s;

QByteArray ReadFile(const QString& fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray DemoText()
{
    QFile demo(DemoLog);
    EXPECT_TRUE(demo.open(QIODevice::ReadOnly));
    return demo.readAll();
}

// How the log is stored: a plain file, a compressed one, or a member of an archive.
const TPacking Plain{"Plain", TFilter::fNone, TContainer::cRaw, true};
const TPacking Gzip{"Gzip", TFilter::fGzip, TContainer::cRaw, true};
const TPacking Zip{"Zip", TFilter::fNone, TContainer::cZip, true};
const TPacking Tar{"Tar", TFilter::fNone, TContainer::cTar, true};
const TPacking TarGzip{"TarGzip", TFilter::fGzip, TContainer::cTar, true};

enum class TOutName { tnOtherFile, tnSamePath, tnOtherSpelling, tnSymbolicLink, tnHardLink, tnLogOnInput };

struct SaveCase
{
    const char* Name;
    const TPacking* Packing;
    const char* FileName; // of the log, or of the archive holding it
    TOutName Out;
    int ExitCode;
};

void PrintTo(const SaveCase& c, std::ostream* out) { *out << c.Name; }

// `save` never writes its listing over the log it reads, by whatever name OUT gives it: for a
// member of an archive or a compressed log, the file read is the archive.
class SaveOverTheLog : public testing::TestWithParam<SaveCase>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        const SaveCase& c = GetParam();
        FLogText = Pack(*c.Packing, {{Member, DemoText()}});
        QFile log(FilePath());
        ASSERT_TRUE(log.open(QIODevice::WriteOnly));
        ASSERT_EQ(log.write(FLogText), FLogText.size());
    }

    QString FilePath() const { return FDir.filePath(QString::fromLatin1(GetParam().FileName)); }

    QString LogArgument() const
    {
        return GetParam().Packing->Container == TContainer::cRaw ? FilePath() : FilePath() + u':' + Member;
    }

    // The OUT argument of a row, making the link it names.
    QString OutArgument(TOutName name) const
    {
        switch (name) {
        case TOutName::tnOtherFile: return FDir.filePath(u"listing.txt"_s);
        case TOutName::tnSamePath:
        case TOutName::tnLogOnInput: return FilePath();
        case TOutName::tnOtherSpelling:
            return u"../"_s + QDir(FDir.path()).dirName() + u"/./"_s + QString::fromLatin1(GetParam().FileName);
        case TOutName::tnSymbolicLink:
            EXPECT_TRUE(QFile::link(FilePath(), FDir.filePath(u"soft"_s)));
            return FDir.filePath(u"soft"_s);
        case TOutName::tnHardLink:
            EXPECT_EQ(::link(QFile::encodeName(FilePath()).constData(), QFile::encodeName(FDir.filePath(u"hard"_s)).constData()),
                      0);
            return FDir.filePath(u"hard"_s);
        }
        return {};
    }

    QTemporaryDir FDir;
    QByteArray FLogText;
};

TEST_P(SaveOverTheLog, IsRefusedAndTheLogKept)
{
    const SaveCase& c = GetParam();
    const bool onInput = c.Out == TOutName::tnLogOnInput;
    const TRunResult r = RunCli({u"save"_s, onInput ? u"-"_s : LogArgument(), OutArgument(c.Out)},
                                {.InputFile = onInput ? FilePath() : QString(), .WorkingDirectory = FDir.path()});
    EXPECT_EQ(r.ExitCode, c.ExitCode) << r.Err.toStdString();
    EXPECT_TRUE(r.Err.startsWith(c.ExitCode ? "kestrun-cli save: OUT " : "")) << r.Err.toStdString();
    EXPECT_TRUE(r.Err.contains(c.ExitCode ? "это читаемый лог" : "")) << r.Err.toStdString();
    EXPECT_EQ(ReadFile(FilePath()), FLogText);
    if (c.Out == TOutName::tnOtherFile) {
        EXPECT_TRUE(ReadFile(OutArgument(c.Out)).contains("] -> 11 1E 00 00 00\r\n"));
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, SaveOverTheLog, testing::Values(
    SaveCase{"OtherFileIsWritten", &Plain, "k.log", TOutName::tnOtherFile, 0},
    SaveCase{"SamePath", &Plain, "k.log", TOutName::tnSamePath, 2},
    SaveCase{"OtherSpellingOfThePath", &Plain, "k.log", TOutName::tnOtherSpelling, 2},
    SaveCase{"SymbolicLink", &Plain, "k.log", TOutName::tnSymbolicLink, 2},
    SaveCase{"HardLink", &Plain, "k.log", TOutName::tnHardLink, 2},
    SaveCase{"LogOnStandardInput", &Plain, "k.log", TOutName::tnLogOnInput, 2},
    SaveCase{"GzipSamePath", &Gzip, "k.log.gz", TOutName::tnSamePath, 2},
    SaveCase{"GzipSymbolicLink", &Gzip, "k.log.gz", TOutName::tnSymbolicLink, 2},
    SaveCase{"ZipMemberOtherFileIsWritten", &Zip, "logs.zip", TOutName::tnOtherFile, 0},
    SaveCase{"ZipMemberSamePath", &Zip, "logs.zip", TOutName::tnSamePath, 2},
    SaveCase{"ZipMemberOtherSpelling", &Zip, "logs.zip", TOutName::tnOtherSpelling, 2},
    SaveCase{"ZipMemberSymbolicLink", &Zip, "logs.zip", TOutName::tnSymbolicLink, 2},
    SaveCase{"ZipMemberHardLink", &Zip, "logs.zip", TOutName::tnHardLink, 2},
    SaveCase{"TarMemberSamePath", &Tar, "logs.tar", TOutName::tnSamePath, 2},
    SaveCase{"TarMemberSymbolicLink", &Tar, "logs.tar", TOutName::tnSymbolicLink, 2},
    SaveCase{"TarGzipMemberSamePath", &TarGzip, "logs.tar.gz", TOutName::tnSamePath, 2}
), CaseName());

// A listing replaces OUT whole or not at all. A file size limit stands in for a full disk: the
// write fails part way, as it does when the disk fills up.
struct ReplaceCase
{
    const char* Name;
    int SizeLimitBlocks; // ulimit -f; 0: none
    int ExitCode;
};

void PrintTo(const ReplaceCase& c, std::ostream* out) { *out << c.Name; }

class SaveOverAFile : public testing::TestWithParam<ReplaceCase> {};

TEST_P(SaveOverAFile, ReplacesItWholeOrKeepsIt)
{
    const ReplaceCase& c = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString out = dir.filePath(u"listing.txt"_s);
    const QByteArray previous = "the previous listing\r\n";
    {
        QFile file(out);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(previous);
        ASSERT_TRUE(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    }
    // SIGXFSZ ignored: the write past the limit fails with an error instead of ending the program.
    const QString limit = c.SizeLimitBlocks ? u"ulimit -f %1; "_s.arg(c.SizeLimitBlocks) : QString();
    const TRunResult r = RunProgram(u"/bin/sh"_s, {u"-c"_s, u"trap '' XFSZ; "_s + limit + u"exec \"$0\" \"$@\""_s,
                                                   QStringLiteral(KESTRUN_CLI), u"save"_s, DemoLog, out});
    EXPECT_EQ(r.ExitCode, c.ExitCode) << r.Err.toStdString();
    const QByteArray text = ReadFile(out);
    if (c.ExitCode == 0) {
        EXPECT_TRUE(text.contains("] -> 11 1E 00 00 00\r\n")) << text.left(80).toStdString();
        EXPECT_TRUE(text.endsWith("\r\n"));
        EXPECT_TRUE(r.Err.isEmpty()) << r.Err.toStdString();
    } else {
        EXPECT_EQ(text, previous);
        // The message names the file and gives the system's reason.
        EXPECT_TRUE(r.Err.startsWith("kestrun-cli save: Cannot ")) << r.Err.toStdString();
        EXPECT_TRUE(r.ErrText().contains(out)) << r.Err.toStdString();
        EXPECT_TRUE(r.Err.contains("File too large")) << r.Err.toStdString();
    }
    EXPECT_EQ(QFile::permissions(out), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadUser
                                           | QFile::WriteUser);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"listing.txt"_s})
        << "no temporary file is left beside it";
}

INSTANTIATE_TEST_SUITE_P(Rows, SaveOverAFile, testing::Values(
    ReplaceCase{"Replaced", 0, 0},
    ReplaceCase{"DiskFullKeepsThePreviousFile", 1, 1}
), CaseName());

} // namespace
} // namespace kestrun::test
