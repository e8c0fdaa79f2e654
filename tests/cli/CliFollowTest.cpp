// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaseName.h"
#include "CliRun.h"
#include "LogBuilder.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>

namespace kestrun::test {
namespace {

using namespace Qt::StringLiterals;

const std::vector<TExchange> Exchanges = {
    {"10 1E 00 00 00", "10 00 1E 03 00 02 00 05 FF D8 00 00 00 1A 04"},
    {"11 1E 00 00 00", "11 00 1E 03"},
    {"FF 01 1E 00 00 00", "FF 01 00 05"},
};

struct TFollowRun
{
    const char* Name;
    QStringList Options;
};

void PrintTo(const TFollowRun& c, std::ostream* os) { *os << c.Name; }

// kestrun-cli list --follow as a user runs it: started on a log being written, stopped by a signal.
class CliFollow : public testing::TestWithParam<TFollowRun>
{
protected:
    void SetUp() override { ASSERT_TRUE(FDir.isValid()); }

    QString LogPath() const { return FDir.filePath(u"driver.log"_s); }

    void Append(const QByteArray& bytes) const
    {
        QFile file(LogPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Append));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }

    // Reads standard output until it holds `count` lines; the minute is for a loaded machine.
    QStringList WaitForLines(QProcess& process, qsizetype count)
    {
        QDeadlineTimer deadline(60000);
        while (FOut.count('\n') < count && !deadline.hasExpired() && process.state() == QProcess::Running) {
            process.waitForReadyRead(200);
            FOut += process.readAllStandardOutput();
        }
        return QString::fromUtf8(FOut).split(u'\n', Qt::SkipEmptyParts);
    }

    QTemporaryDir FDir;
    QByteArray FOut;
};

TEST_P(CliFollow, PrintsRowsAsTheyCompleteUntilInterrupted)
{
    const QByteArray first = Protocol1Log({Exchanges[0]});
    const QByteArray second = Protocol1Log({Exchanges[1]});
    const QByteArray third = Protocol1Log({Exchanges[2]});
    WriteFile(LogPath(), first);
    QProcess process;
    process.start(QStringLiteral(KESTRUN_CLI), QStringList{u"list"_s, u"--follow"_s} + GetParam().Options + QStringList{LogPath()});
    ASSERT_TRUE(process.waitForStarted());
    const bool json = GetParam().Options.contains(u"--json"_s);
    const qsizetype header = json ? 0 : 1;
    EXPECT_EQ(WaitForLines(process, header + 1).size(), header + 1);

    // The second exchange is split inside its answer: its row waits for the rest.
    const qsizetype split = second.indexOf("<- 11 00") + 5;
    Append(second.first(split));
    Append(second.sliced(split) + third);
    const QStringList lines = WaitForLines(process, header + 3);
    ASSERT_EQ(lines.size(), header + 3) << FOut.toStdString();

    ::kill(pid_t(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(60000));
    FOut += process.readAllStandardOutput();
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    EXPECT_EQ(QString::fromUtf8(FOut).split(u'\n', Qt::SkipEmptyParts), lines);

    // The rows are those of the finished file, in order, with their indexes.
    const TRunResult whole = RunCli(QStringList{u"list"_s} + GetParam().Options + QStringList{LogPath()});
    ASSERT_EQ(whole.ExitCode, 0);
    const QStringList expected = whole.OutLines();
    ASSERT_EQ(expected.size(), lines.size());
    for (qsizetype i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines[i].simplified(), expected[i].simplified());
}

TEST_P(CliFollow, TerminateEndsCleanly)
{
    WriteFile(LogPath(), Protocol1Log({Exchanges[0]}));
    QProcess process;
    process.start(QStringLiteral(KESTRUN_CLI), QStringList{u"list"_s, u"--follow"_s} + GetParam().Options + QStringList{LogPath()});
    ASSERT_TRUE(process.waitForStarted());
    WaitForLines(process, 1);
    ::kill(pid_t(process.processId()), SIGTERM);
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
}

TEST_P(CliFollow, ShrunkFileIsListedAgainFromItsStart)
{
    WriteFile(LogPath(), Protocol1Log(Exchanges));
    QProcess process;
    process.start(QStringLiteral(KESTRUN_CLI), QStringList{u"list"_s, u"--follow"_s} + GetParam().Options + QStringList{LogPath()});
    ASSERT_TRUE(process.waitForStarted());
    const bool json = GetParam().Options.contains(u"--json"_s);
    const qsizetype header = json ? 0 : 1;
    EXPECT_EQ(WaitForLines(process, header + 3).size(), header + 3);
    WriteFile(LogPath(), Protocol1Log({Exchanges[2]}));
    // JSON tells of the restart in its own stream, a line before the rows that start again from 0.
    const qsizetype restart = json ? 1 : 0;
    const QStringList lines = WaitForLines(process, header + 4 + restart);
    ASSERT_EQ(lines.size(), header + 4 + restart);
    if (json) {
        EXPECT_EQ(lines[3], uR"({"Restart":")"_s + LogPath() + uR"("})"_s);
    }
    EXPECT_TRUE(lines.last().contains(json ? u"{\"Index\":0,"_s : u"0 "_s)) << lines.last().toStdString();
    ::kill(pid_t(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_TRUE(process.readAllStandardError().contains("список выводится заново с начала"));
}

// As tail -f | head -1: following ends once nobody reads its output, also while no row comes.
TEST_P(CliFollow, EndsWhenItsReaderGoesAway)
{
    WriteFile(LogPath(), Protocol1Log({Exchanges[0]}));
    const QString command = QStringLiteral("'%1' list --follow %2 '%3' | head -1")
                                .arg(QStringLiteral(KESTRUN_CLI), GetParam().Options.join(u' '), LogPath());
    const TRunResult r = RunProgram(u"sh"_s, {u"-c"_s, command});
    EXPECT_EQ(r.ExitCode, 0);
    EXPECT_EQ(r.OutLines().size(), 1);
}

// As tail -F: a log not there yet is waited for.
TEST_P(CliFollow, MissingFileIsWaitedFor)
{
    QProcess process;
    process.start(QStringLiteral(KESTRUN_CLI), QStringList{u"list"_s, u"--follow"_s} + GetParam().Options + QStringList{LogPath()});
    ASSERT_TRUE(process.waitForStarted());
    QByteArray err;
    QDeadlineTimer deadline(60000);
    while (!err.contains("ожидание файла") && !deadline.hasExpired()) {
        process.waitForReadyRead(200);
        err += process.readAllStandardError();
    }
    EXPECT_TRUE(err.startsWith("kestrun-cli list: ожидание файла \"" + LogPath().toUtf8() + '"')) << err.toStdString();
    WriteFile(LogPath(), Protocol1Log({Exchanges[0]}));
    const bool json = GetParam().Options.contains(u"--json"_s);
    EXPECT_EQ(WaitForLines(process, json ? 1 : 2).size(), json ? 1 : 2) << FOut.toStdString();
    ::kill(pid_t(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0);
}

INSTANTIATE_TEST_SUITE_P(Formats, CliFollow, testing::Values(
    TFollowRun{"Table", {}},
    TFollowRun{"Json", {u"--json"_s}}),
    CaseName());

// A pipe is followed as it comes, to its end; its rows come complete, so none is printed twice.
TEST(CliFollowArguments, StandardInputIsFollowedToItsEnd)
{
    const TRunResult result = RunCli({u"list"_s, u"--follow"_s, u"--json"_s, u"-"_s},
                                     {.InputFile = QStringLiteral(KESTRUN_SOURCE_DIR "/samples/demo.log")});
    EXPECT_EQ(result.ExitCode, 0) << result.ErrText().toStdString();
    EXPECT_EQ(result.Out.count('\n'), 18);
    EXPECT_FALSE(result.Out.contains("Update"));
}

} // namespace
} // namespace kestrun::test
