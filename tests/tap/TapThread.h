// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "tap/RegisterLine.h"
#include "tap/Tap.h"
#include "tap/TapLog.h"
#include "wire/TcpEndpoint.h"

#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <future>
#include <mutex>
#include <thread>

namespace kestrun::test {

// kestrun-tap's parts on a standard thread with an event loop, stopped through an atomic flag.
class TTapThread final
{
public:
    TTapThread(QString device, QString logFile) : FDevice(std::move(device)), FLogFile(std::move(logFile))
    {
        std::future<QString> started = FStarted.get_future();
        FThread = std::thread(&TTapThread::Run, this);
        FDeviceText = started.get();
    }
    TTapThread(const TTapThread&) = delete;
    TTapThread& operator=(const TTapThread&) = delete;

    ~TTapThread() { Stop(); }

    // Ends the tap; its log is written whole.
    void Stop()
    {
        FStop = true;
        if (FThread.joinable())
            FThread.join();
    }

    QString DeviceText() const { return FDeviceText; }

    QStringList Reports() const
    {
        std::lock_guard lock(FReportLock);
        return FReports;
    }

private:
    void Report(const QString& message)
    {
        std::lock_guard lock(FReportLock);
        FReports << message;
    }

    void Run()
    {
        QEventLoop loop;
        const auto report = [this](const QString& message) { Report(message); };
        TRegisterLines registers(FDevice);
        TTapLog log(FLogFile, 1, report);
        TTap tap(registers, log, report);
        TTcpEndpoint endpoint(tap, 0, TAllowedHosts(), report);
        QTimer stopPoll;
        QObject::connect(&stopPoll, &QTimer::timeout, &loop, [this, &loop] {
            if (FStop)
                loop.quit();
        });
        stopPoll.start(10);
        FStarted.set_value(endpoint.DeviceText());
        loop.exec();
    }

    const QString FDevice;
    const QString FLogFile;
    QString FDeviceText;
    mutable std::mutex FReportLock;
    QStringList FReports;
    std::promise<QString> FStarted;
    std::atomic<bool> FStop{false};
    std::thread FThread;
};

} // namespace kestrun::test
