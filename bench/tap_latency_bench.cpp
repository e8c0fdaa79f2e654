// SPDX-License-Identifier: GPL-3.0-or-later
// The delay kestrun-tap adds to each byte: one-byte round trips (ENQ out, the emulator's NAK
// back) straight to kestrun-emulator and through kestrun-tap, then whole status exchanges of the
// wire driver both ways. A byte through the tap crosses it once each way, so the delay it adds
// is half the difference of the round trips. Exit status 1 when that is above the limit.
//
//   kestrun-tap-bench EMULATOR TAP [ROUND_TRIPS]
#include "log/Bytes.h"
#include "playback/DeviceLink.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

namespace {

using namespace kestrun;

constexpr double LimitMilliseconds = 1.0;

// A program that serves until its standard input closes, and the device text it printed.
class TServer
{
public:
    TServer(const QString& program, const QStringList& args)
    {
        FProcess.start(program, args);
        while (!FProcess.canReadLine() && FProcess.waitForReadyRead(10000)) {
        }
        FDeviceText = QString::fromLocal8Bit(FProcess.readLine()).trimmed();
    }
    ~TServer()
    {
        FProcess.closeWriteChannel();
        if (!FProcess.waitForFinished(10000))
            FProcess.kill();
        FProcess.waitForFinished();
    }
    QString DeviceText() const { return FDeviceText; }

private:
    QProcess FProcess;
    QString FDeviceText;
};

// Mean milliseconds of one ENQ answered by one byte, over `count` round trips; -1 on failure.
double ByteRoundTrip(const QString& deviceText, int count)
{
    const QStringList parts = deviceText.split(QLatin1Char(':'));
    QTcpSocket socket;
    socket.connectToHost(parts.value(1), static_cast<uint16_t>(parts.value(2).toUInt()));
    if (!socket.waitForConnected(5000))
        return -1;
    socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < count; ++i) {
        socket.write("\x05", 1);
        socket.flush();
        while (socket.bytesAvailable() == 0)
            if (!socket.waitForReadyRead(5000))
                return -1;
        socket.readAll();
    }
    return static_cast<double>(timer.nsecsElapsed()) / 1e6 / count;
}

// Mean milliseconds of one status exchange of the wire driver.
double ExchangeTime(const QString& deviceText, int count)
{
    const std::unique_ptr<IDeviceLink> link = CreateDeviceLink(deviceText);
    const QByteArray status = HexToBytes("10 1E 00 00 00");
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < count; ++i)
        if (link->Exchange(status).Code != 0)
            return -1;
    return static_cast<double>(timer.nsecsElapsed()) / 1e6 / count;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: kestrun-tap-bench EMULATOR TAP [ROUND_TRIPS]\n");
        return 2;
    }
    const int count = args.size() > 3 ? args[3].toInt() : 5000;
    QTemporaryDir dir;
    const TServer emulator(args[1], {"--tcp", "0", "--exit-with-stdin"});
    const TServer tap(args[2], {"--listen", "tcp:0", "--device", emulator.DeviceText(), "--log",
                                dir.filePath(QStringLiteral("tap.log")), "--exit-with-stdin"});

    const double direct = ByteRoundTrip(emulator.DeviceText(), count);
    const double through = ByteRoundTrip(tap.DeviceText(), count);
    const double exchangeDirect = ExchangeTime(emulator.DeviceText(), count / 5);
    const double exchangeThrough = ExchangeTime(tap.DeviceText(), count / 5);
    if (direct < 0 || through < 0 || exchangeDirect < 0 || exchangeThrough < 0) {
        std::fprintf(stderr, "a round trip failed\n");
        return 1;
    }
    const double perByte = (through - direct) / 2;
    std::printf("byte round trip: direct %.3f ms, through the tap %.3f ms (%d each)\n", direct, through, count);
    std::printf("status exchange: direct %.3f ms, through the tap %.3f ms (%d each)\n", exchangeDirect,
                exchangeThrough, count / 5);
    std::printf("delay the tap adds per byte: %.3f ms (limit %.3f ms)\n", perByte, LimitMilliseconds);
    return perByte <= LimitMilliseconds ? 0 : 1;
}
