// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

namespace kestrun::test {

// kestrun-tap as a child process for the length of a test. It ends when its standard input
// closes, so it does not outlive a test that crashes.
class TTapProcess
{
public:
    // listen: "tcp:0" or "pty"; device: the register's device text.
    TTapProcess(const QString& listen, const QString& device, const QString& logFile)
    {
        FProcess.start(QStringLiteral(KESTRUN_TAP), {"--listen", listen, "--device", device, "--log", logFile,
                                                    "--exit-with-stdin"});
        while (!FProcess.canReadLine() && FProcess.waitForReadyRead(10000)) {
        }
        FDeviceText = QString::fromLocal8Bit(FProcess.readLine()).trimmed();
        EXPECT_FALSE(FDeviceText.isEmpty()) << FProcess.readAllStandardError().toStdString();
    }

    ~TTapProcess() { Finish(); }

    // Ends the tap as a parent would; returns what it reported on standard error.
    QString Finish()
    {
        if (FProcess.state() != QProcess::NotRunning) {
            FProcess.closeWriteChannel();
            if (!FProcess.waitForFinished(15000)) {
                FProcess.kill();
                FProcess.waitForFinished(5000);
            }
            FErr += QString::fromLocal8Bit(FProcess.readAllStandardError());
            // A sanitizer build of the tap reports on its standard error.
            EXPECT_FALSE(FErr.contains(QLatin1String("Sanitizer"))) << FErr.toStdString();
        }
        return FErr;
    }

    // Ends it with SIGTERM; returns its exit status.
    int Terminate()
    {
        FProcess.terminate();
        EXPECT_TRUE(FProcess.waitForFinished(15000));
        FErr += QString::fromLocal8Bit(FProcess.readAllStandardError());
        return FProcess.exitStatus() == QProcess::NormalExit ? FProcess.exitCode() : -1;
    }

    // Where the till connects, e.g. tcp:127.0.0.1:41234 or serial:/dev/pts/3.
    QString DeviceText() const { return FDeviceText; }

private:
    QProcess FProcess;
    QString FDeviceText;
    QString FErr;
};

} // namespace kestrun::test
