// SPDX-License-Identifier: GPL-3.0-or-later
// kestrun-emulator: the built-in register emulator as a device on the wire.
#include "log/Exception.h"
#include "playback/DeviceOptions.h"
#include "playback/StopSignals.h"
#include "wire/PtyEndpoint.h"
#include "wire/TcpEndpoint.h"
#include "wire/WireDevice.h"

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

// The emulator options from the device-option table; driver faults and failed calls have no
// form on the wire.
QString EmulatorOptionsHelp()
{
    QStringList options;
    for (const TDeviceOption* option : {&OptBusy, &OptError, &OptPrint, &OptShift})
        options << QStringLiteral("%1=%2").arg(QLatin1String(option->Name), QLatin1String(option->Value));
    return options.join(QStringLiteral(", "));
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kestrun-emulator"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KESTRUN_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral(
            "Puts the register emulator on the wire: protocol 1 over TCP (on 127.0.0.1 unless --allow) or over\n"
            "a pseudo-terminal. Prints the device text to give kestrun-cli --device, then serves until stopped.\n"
            "On a clean exit (standard input closed under --exit-with-stdin, or SIGINT / SIGTERM) prints\n"
            "one more line: executed=N documents=M, the commands it ran and the documents it made.\n"
            "A host is read %1 KiB at a time and dropped when %2 MiB of the emulator's bytes wait for it to\n"
            "read them (under slow=MS, when %2 MiB wait to be sent).")
            .arg(ReadChunkBytes >> 10)
            .arg(MaxUnreadBytes >> 20));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption tcp(QStringLiteral("tcp"),
                                 QStringLiteral("Listen on PORT (0: a free port). One host at a time: while one is "
                                                "connected, other connections are closed at once and reported on "
                                                "standard error with their address."),
                                 QStringLiteral("PORT"));
    const QCommandLineOption allow(QStringLiteral("allow"), AllowHelp(), QStringLiteral("HOST"));
    const QCommandLineOption pty(QStringLiteral("pty"), QStringLiteral("Serve on a new pseudo-terminal."));
    const QCommandLineOption options(
        QStringLiteral("options"),
        QStringLiteral("Comma-separated emulator options (%1) and wire faults: "
                       "badlrc=CMD, garble=CMD, drop=CMD, noanswer=CMD, close=CMD (TCP only), reject=CMD, stray=BYTE, "
                       "slow=MS, work=MS, random=SEED.")
            .arg(EmulatorOptionsHelp()),
        QStringLiteral("LIST"));
    const QCommandLineOption stdinWatch(QStringLiteral("exit-with-stdin"),
                                        QStringLiteral("End when standard input closes (for a parent process)."));
    parser.addOptions({tcp, allow, pty, options, stdinWatch});
    parser.process(app);

    if (parser.isSet(tcp) == parser.isSet(pty) || (parser.isSet(pty) && parser.isSet(allow))
        || !parser.positionalArguments().isEmpty()) {
        Print(stderr, QStringLiteral("kestrun-emulator: give either --tcp PORT [--allow HOST] or --pty"));
        return ExitUsage;
    }
    bool portOk = false;
    const uint port = parser.value(tcp).toUInt(&portOk);
    if (parser.isSet(tcp) && (!portOk || port > 65535)) {
        Print(stderr, QStringLiteral("kestrun-emulator: --tcp takes a port number"));
        return ExitUsage;
    }

    try {
        TWireEmulatorSetup setup = ParseWireEmulatorSetup(parser.value(options));
        if (parser.isSet(pty) && !setup.Wire.Close.isEmpty())
            throw Exception(QStringLiteral("Параметр close действует только для TCP"));
        const TAllowedHosts allowed(parser.values(allow));
        TWireDevice device(std::move(setup));
        std::unique_ptr<TTcpEndpoint> tcpEndpoint;
        std::unique_ptr<TPtyEndpoint> ptyEndpoint;
        if (parser.isSet(tcp)) {
            tcpEndpoint = std::make_unique<TTcpEndpoint>(device, static_cast<uint16_t>(port), allowed, [](const QString& message) {
                Print(stderr, QStringLiteral("kestrun-emulator: ") + message);
            });
            Print(stdout, tcpEndpoint->DeviceText());
        } else {
            ptyEndpoint = std::make_unique<TPtyEndpoint>(device);
            Print(stdout, ptyEndpoint->DeviceText());
        }
        const TStopSignals stopSignals([](int) { QCoreApplication::quit(); }, TStopSignals::ssSame);
        if (parser.isSet(stdinWatch))
            QuitWhenStdinCloses();
        const int status = QCoreApplication::exec();
        const TDeviceTally tally = device.Tally();
        Print(stdout, QStringLiteral("executed=%1 documents=%2").arg(tally.Executed.size()).arg(tally.Documents));
        return status;
    } catch (const Exception& e) {
        Print(stderr, e.Message());
        return ExitFailure;
    }
}
