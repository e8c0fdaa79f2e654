// SPDX-License-Identifier: GPL-3.0-or-later
#include "CliRun.h"
#include "LogBuilder.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

namespace kestrun::test {
namespace {

using namespace Qt::StringLiterals;

// The picture is drawn without any display: no platform chosen, none to connect to.
TEST(CliPlot, StatsWritesTheTimelineAsPng)
{
    QTemporaryDir dir;
    const QString log = dir.filePath(u"timed.log"_s);
    WriteFile(log, TimedProtocol1Log({{{"10 1E 00 00 00", "10 00"}, 0, 250}, {{"11 1E 00 00 00", "11 37"}, 1000, 900}}));
    const QString picture = dir.filePath(u"timeline.png"_s);
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        qunsetenv(name);

    const TRunResult r = RunCli({u"stats"_s, u"--plot"_s, picture, log});
    ASSERT_EQ(r.ExitCode, 0) << r.ErrText().toStdString();
    EXPECT_TRUE(r.OutText().contains(u"Всего"_s)) << r.OutText().toStdString();
    QFile file(picture);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray png = file.readAll();
    ASSERT_GT(png.size(), 24);
    EXPECT_TRUE(png.startsWith("\x89PNG\r\n\x1a\n"));
    // The header chunk's width and height.
    EXPECT_EQ(qFromBigEndian<quint32>(png.constData() + 16), 1200u);
    EXPECT_EQ(qFromBigEndian<quint32>(png.constData() + 20), 600u);
}

TEST(CliPlot, UnwritablePictureFails)
{
    QTemporaryDir dir;
    const QString log = dir.filePath(u"timed.log"_s);
    WriteFile(log, TimedProtocol1Log({{{"10 1E 00 00 00", "10 00"}, 0, 250}}));
    const TRunResult r = RunCli({u"stats"_s, u"--plot"_s, dir.filePath(u"no/such/folder/t.png"_s), log});
    EXPECT_EQ(r.ExitCode, 1);
    // With the reason, and nothing else: under cron no runtime folder is set, and Qt would say so.
    EXPECT_EQ(r.ErrText(), u"kestrun-cli stats: Cannot create file \"%1\". No such file or directory\n"_s
                               .arg(dir.filePath(u"no/such/folder/t.png"_s)));
}

// As a filter: the picture alone on standard output, nothing on standard error under cron.
TEST(CliPlot, PictureToStandardOutput)
{
    QTemporaryDir dir;
    const QString log = dir.filePath(u"timed.log"_s);
    WriteFile(log, TimedProtocol1Log({{{"10 1E 00 00 00", "10 00"}, 0, 250}}));
    qunsetenv("XDG_RUNTIME_DIR");
    const TRunResult r = RunCli({u"stats"_s, u"--plot"_s, u"-"_s, log});
    EXPECT_EQ(r.ExitCode, 0);
    EXPECT_TRUE(r.Out.startsWith("\x89PNG\r\n\x1a\n"));
    EXPECT_TRUE(r.Err.isEmpty()) << r.ErrText().toStdString();
}

} // namespace
} // namespace kestrun::test
