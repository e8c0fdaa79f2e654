// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

namespace kestrun::test {

// kestrun-emulator as a child process for the length of a test. It ends when its standard
// input closes, so it does not outlive a test that crashes.
class TEmulatorProcess
{
public:
    // transport: "--tcp" (a free port) or "--pty"; options as the program's --options.
    TEmulatorProcess(const char* transport, const QString& options = {})
    {
        QStringList args{QString::fromLatin1(transport)};
        if (args.first() == QLatin1String("--tcp"))
            args << QStringLiteral("0");
        args << QStringLiteral("--exit-with-stdin");
        if (!options.isEmpty())
            args << QStringLiteral("--options") << options;
        FProcess.start(QStringLiteral(KESTRUN_EMULATOR), args);
        while (!FProcess.canReadLine() && FProcess.waitForReadyRead(10000)) {
        }
        FDeviceText = QString::fromLocal8Bit(FProcess.readLine()).trimmed();
        EXPECT_FALSE(FDeviceText.isEmpty()) << FProcess.readAllStandardError().toStdString();
    }

    ~TEmulatorProcess() { Finish(); }

    // Ends the program by closing its standard input; returns what it printed after the device
    // text, such as its exit line "executed=N documents=M".
    QString Finish()
    {
        FProcess.closeWriteChannel();
        if (!FProcess.waitForFinished(5000)) {
            FProcess.kill();
            FProcess.waitForFinished(5000);
        }
        return QString::fromLocal8Bit(FProcess.readAllStandardOutput()).trimmed();
    }

    // The device text the emulator printed, e.g. tcp:127.0.0.1:41234 or serial:/dev/pts/3.
    QString DeviceText() const { return FDeviceText; }

private:
    QProcess FProcess;
    QString FDeviceText;
};

} // namespace kestrun::test
