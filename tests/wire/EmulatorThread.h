// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "wire/PtyEndpoint.h"
#include "wire/TcpEndpoint.h"
#include "wire/WireDevice.h"
#include "log/Exception.h"

#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <thread>

namespace kestrun::test {

// The device of kestrun-emulator on a thread of this process with an event loop of its own,
// so that wire tests start no child process and run under the thread sanitizer as well. The
// thread is a standard one and is told to stop through an atomic flag: the sanitizer sees
// both, where it cannot see into Qt's own locks.
class TEmulatorThread final
{
public:
    // transport: "--tcp" (a free port) or "--pty"; options as the program's --options; allowed as
    // its --allow.
    explicit TEmulatorThread(const char* transport, QString options = {}, QStringList allowed = {})
        : FPty(QByteArrayView(transport) == "--pty"), FOptions(std::move(options)), FAllowed(std::move(allowed))
    {
        std::future<QString> started = FStarted.get_future();
        FThread = std::thread(&TEmulatorThread::Run, this);
        FDeviceText = started.get();
        EXPECT_FALSE(FDeviceText.isEmpty()) << FError.toStdString();
    }

    TEmulatorThread(const TEmulatorThread&) = delete;
    TEmulatorThread& operator=(const TEmulatorThread&) = delete;

    ~TEmulatorThread()
    {
        FStop = true;
        FThread.join();
    }

    // The device text to give the driver, e.g. tcp:127.0.0.1:41234 or serial:/dev/pts/3.
    QString DeviceText() const { return FDeviceText; }

    // What the device has done so far.
    TDeviceTally Tally() const
    {
        const TWireDevice* device = FDevice.load();
        return device ? device->Tally() : TDeviceTally{};
    }

    // What the endpoint reported: connections refused and dropped.
    QStringList Reports() const
    {
        std::lock_guard lock(FReportLock);
        return FReports;
    }

private:
    static constexpr int StopPollMilliseconds = 10;

    void Run()
    {
        try {
            // Made first, it gives this thread the event dispatcher the endpoints' notifiers need.
            QEventLoop loop;
            TWireDevice device(ParseWireEmulatorSetup(FOptions));
            std::unique_ptr<TTcpEndpoint> tcp;
            std::unique_ptr<TPtyEndpoint> pty;
            QString deviceText;
            if (FPty) {
                pty = std::make_unique<TPtyEndpoint>(device);
                deviceText = QStringLiteral("serial:") + pty->Path();
            } else {
                tcp = std::make_unique<TTcpEndpoint>(device, 0, TAllowedHosts(FAllowed), [this](const QString& message) {
                    std::lock_guard lock(FReportLock);
                    FReports << message;
                });
                deviceText = QStringLiteral("tcp:127.0.0.1:%1").arg(tcp->Port());
            }
            QTimer stopPoll;
            QObject::connect(&stopPoll, &QTimer::timeout, &loop, [this, &loop] {
                if (FStop)
                    loop.quit();
            });
            stopPoll.start(StopPollMilliseconds);
            FDevice = &device;
            FStarted.set_value(deviceText);
            loop.exec();
            FDevice = nullptr;
        } catch (const Exception& e) {
            FError = e.Message();
            FStarted.set_value(QString());
        }
    }

    const bool FPty;
    const QString FOptions;
    const QStringList FAllowed;
    mutable std::mutex FReportLock;
    QStringList FReports;
    QString FError; // written before FStarted is set, read after it
    QString FDeviceText;
    std::promise<QString> FStarted;
    std::atomic<bool> FStop{false};
    std::atomic<const TWireDevice*> FDevice{nullptr};
    std::thread FThread;
};

} // namespace kestrun::test
