// SPDX-License-Identifier: GPL-3.0-or-later
// kestrun-tap: sits on the line between a till and a register and writes what they say as a
// driver log that Kestrun reads, while it happens.
#include "RegisterLine.h"
#include "Tap.h"
#include "TapLog.h"
#include "log/Exception.h"
#include "playback/DeviceOptions.h"
#include "playback/StopSignals.h"
#include "playback/TrafficLog.h"
#include "wire/PtyEndpoint.h"
#include "wire/TcpEndpoint.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>
#include <memory>

using namespace kestrun;

namespace {

constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

void Print(FILE* stream, const QString& text)
{
    std::fputs((text + QLatin1Char('\n')).toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

void Report(const QString& message) { Print(stderr, QStringLiteral("kestrun-tap: ") + message); }

QString BoundsHelp()
{
    const qint64 unreadMiB = MaxUnreadBytes >> 20;
    return QStringLiteral(
               "  the till is dropped when %1 MiB of the register's bytes wait for it to read them, or %1 MiB of\n"
               "  its own for the register to take them; it is read %2 KiB at a time\n"
               "  a byte either side sends again and again outside an exchange is one log line with its count,\n"
               "  a line a side every %3 s at most\n"
               "  the log lags at most %4 MiB behind the traffic; what crosses beyond that is not written, and a\n"
               "  log line counts it")
        .arg(unreadMiB)
        .arg(ReadChunkBytes >> 10)
        .arg(TTapRecorder::RunSpanMs / 1000)
        .arg(TTapLog::MaxBehindBytes >> 20);
}

QString DeviceKindsHelp()
{
    QStringList kinds;
    for (const TDeviceKindInfo& kind : DeviceKinds)
        kinds << QStringLiteral("  %1  %2").arg(QLatin1String(kind.Syntax), QLatin1String(kind.Help));
    kinds << QStringLiteral("  (the emulator takes the --options of kestrun-emulator, wire faults included;")
          << QStringLiteral("  of the other options only timeout= counts, for opening the register)");
    return kinds.join(QLatin1Char('\n'));
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kestrun-tap"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KESTRUN_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral(
            "Sits on the line between a till and a fiscal register speaking protocol 1: forwards every byte\n"
            "both ways unchanged and writes the traffic as a protocol-1 driver log, which kestrun-cli and\n"
            "the window read while it grows. Prints the device text to point the till at, then serves\n"
            "until stopped (SIGINT / SIGTERM). Connections coming, refused and going and a log that\n"
            "cannot be written are reported on standard error; the forwarding goes on.\n"
            "Bounds under floods:\n%1\n"
            "Registers (as kestrun-cli --device):\n%2")
            .arg(BoundsHelp(), DeviceKindsHelp()));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption listen(QStringLiteral("listen"),
                                    QStringLiteral("Where the till connects: tcp:PORT (0: a free port), or pty, a new "
                                                   "pseudo-terminal. One till at a time: while one is connected, "
                                                   "other connections are closed at once and reported with their "
                                                   "address."),
                                    QStringLiteral("WHERE"));
    const QCommandLineOption allow(QStringLiteral("allow"), AllowHelp(), QStringLiteral("HOST"));
    const QCommandLineOption device(QStringLiteral("device"), QStringLiteral("The register."),
                                    QStringLiteral("DEVICE"));
    const QCommandLineOption log(QStringLiteral("log"), QStringLiteral("Append the traffic to FILE as a driver log."),
                                 QStringLiteral("FILE"));
    const QCommandLineOption stdinWatch(QStringLiteral("exit-with-stdin"),
                                        QStringLiteral("End when standard input closes (for a parent process)."));
    parser.addOptions({listen, allow, device, log, stdinWatch});
    parser.process(app);

    const QString where = parser.value(listen);
    const bool pty = where == QLatin1String("pty");
    bool portOk = false;
    const uint port = where.startsWith(QLatin1String("tcp:")) ? where.mid(4).toUInt(&portOk) : 0;
    if ((!pty && (!portOk || port > 65535)) || !parser.isSet(device) || !parser.isSet(log)
        || (pty && parser.isSet(allow)) || !parser.positionalArguments().isEmpty()) {
        Report(QStringLiteral("give --listen tcp:PORT [--allow HOST] or --listen pty, --device DEVICE and --log FILE"));
        return ExitUsage;
    }

    try {
        const TAllowedHosts allowed(parser.values(allow));
        TRegisterLines registers(parser.value(device));
        TTapLog tapLog(parser.value(log), CurrentThreadNumber(), Report);
        TTap tap(registers, tapLog, Report);
        std::unique_ptr<TTcpEndpoint> tcpEndpoint;
        std::unique_ptr<TPtyEndpoint> ptyEndpoint;
        if (pty) {
            ptyEndpoint = std::make_unique<TPtyEndpoint>(tap);
            Print(stdout, ptyEndpoint->DeviceText());
        } else {
            tcpEndpoint = std::make_unique<TTcpEndpoint>(tap, static_cast<uint16_t>(port), allowed, Report);
            Print(stdout, tcpEndpoint->DeviceText());
        }
        const TStopSignals stopSignals([](int) { QCoreApplication::quit(); }, TStopSignals::ssSame);
        if (parser.isSet(stdinWatch))
            QuitWhenStdinCloses();
        return QCoreApplication::exec();
    } catch (const Exception& e) {
        Report(e.Message());
        return ExitFailure;
    }
}
