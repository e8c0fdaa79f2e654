#pragma once

#include "emulator/PtyEndpoint.h"
#include "emulator/TcpEndpoint.h"
#include "emulator/WireDevice.h"
#include "log/Exception.h"

#include <QThread>
#include <atomic>
#include <future>
#include <gtest/gtest.h>
#include <memory>

namespace kestrun::test {

// The device of kestrun-emulator on a thread of this process with an event loop of its own,
// so that wire tests start no child process and run under the thread sanitizer as well.
class TEmulatorThread final : public QThread
{
public:
    // transport: "--tcp" (a free port on 127.0.0.1) or "--pty"; options as the program's --options.
    explicit TEmulatorThread(const char* transport, QString options = {})
        : FPty(QByteArrayView(transport) == "--pty"), FOptions(std::move(options))
    {
        std::future<QString> started = FStarted.get_future();
        start();
        FDeviceText = started.get();
        EXPECT_FALSE(FDeviceText.isEmpty()) << FError.toStdString();
    }

    ~TEmulatorThread() override
    {
        quit();
        wait();
    }

    // The device text to give the driver, e.g. tcp:127.0.0.1:41234 or serial:/dev/pts/3.
    QString DeviceText() const { return FDeviceText; }

    // What the device has done so far; valid while the thread runs.
    TDeviceTally Tally() const
    {
        const TWireDevice* device = FDevice.load();
        return device ? device->Tally() : TDeviceTally{};
    }

protected:
    void run() override
    {
        try {
            TWireDevice device(ParseWireEmulatorSetup(FOptions));
            std::unique_ptr<TTcpEndpoint> tcp;
            std::unique_ptr<TPtyEndpoint> pty;
            QString deviceText;
            if (FPty) {
                pty = std::make_unique<TPtyEndpoint>(device);
                deviceText = QStringLiteral("serial:") + pty->Path();
            } else {
                tcp = std::make_unique<TTcpEndpoint>(device, 0);
                deviceText = QStringLiteral("tcp:127.0.0.1:%1").arg(tcp->Port());
            }
            FDevice = &device;
            FStarted.set_value(deviceText);
            exec();
            FDevice = nullptr;
        } catch (const Exception& e) {
            FError = e.Message();
            FStarted.set_value(QString());
        }
    }

private:
    const bool FPty;
    const QString FOptions;
    QString FError; // written before FStarted is set, read after it
    QString FDeviceText;
    std::promise<QString> FStarted;
    std::atomic<const TWireDevice*> FDevice{nullptr};
};

} // namespace kestrun::test
