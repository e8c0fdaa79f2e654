// SPDX-License-Identifier: GPL-3.0-or-later
#include "WireLink.h"

#include "DriverErrors.h"
#include "Protocol1Host.h"
#include "SerialLink.h"
#include "TcpLink.h"
#include "decode/CommandCatalogue.h"
#include "decode/ParserCommands.h"
#include "decode/PrinterError.h"
#include "log/Bytes.h"
#include "log/Frames.h"

#include <QDeadlineTimer>
#include <QThread>

namespace kestrun {

namespace {

constexpr int PrintPollMilliseconds = 100;
// Sub-modes of a print under way.
constexpr uint8_t SubModeLongReport = 4;
constexpr uint8_t SubModeOperation = 5;

} // namespace

TWireLink::TWireLink(TTransportFactory transport, TWireSettings settings) : FSettings(std::move(settings))
{
    FThread.Call([this, &transport] {
        std::unique_ptr<TTrafficLog> log;
        if (!FSettings.LogFile.isEmpty())
            log = std::make_unique<TTrafficLog>(FSettings.LogFile);
        FHost = std::make_unique<TProtocol1Host>(transport(), FSettings.TimeoutMs, std::move(log));
    });
}

TWireLink::~TWireLink()
{
    FThread.Call([this] { FHost.reset(); });
}

TLinkAnswer TWireLink::Exchange(const QByteArray& request)
{
    const uint32_t thread = CurrentThreadNumber();
    return FThread.Call([this, &request, thread] { return FHost->Exchange(request, thread); });
}

TLinkAnswer TWireLink::WaitForPrinting()
{
    const QByteArray status = QByteArray(1, char(ShortStatusCode)) + IntToBin(FSettings.Password, 4);
    // The sub-mode byte of the short status answer, as its layout places it.
    static const qsizetype subModePos = AnswerFieldPosition(ShortStatusCode, u"ECRAdvancedMode").value();
    const QDeadlineTimer deadline(FSettings.PrintWaitMs);
    for (;;) {
        const TLinkAnswer answer = Exchange(status);
        if (answer.Code < 0)
            return answer;
        const int error = AnswerErrorByte(answer.Frame);
        if (error < 0 || (error == 0 && answer.Frame.size() <= subModePos))
            return {deBadAnswer, {}, {}};
        if (error == 0) {
            const auto subMode = static_cast<uint8_t>(answer.Frame[subModePos]);
            if (subMode != SubModeLongReport && subMode != SubModeOperation)
                return {};
        } else if (error != BusyPrinting) {
            return {error, {}, {}};
        }
        if (deadline.hasExpired())
            return {dePrintTimeout, {}, {}};
        QThread::msleep(static_cast<unsigned long>(qMin<qint64>(PrintPollMilliseconds, deadline.remainingTime())));
    }
}

std::unique_ptr<IDeviceLink> CreateSerialLink(const QString& options)
{
    const TWireSettings settings = ParseSerialSettings(options);
    return std::make_unique<TWireLink>(
        [settings] { return std::make_unique<TSerialLink>(settings.Address, settings.Number); }, settings);
}

std::unique_ptr<IDeviceLink> CreateTcpLink(const QString& options)
{
    const TWireSettings settings = ParseTcpSettings(options);
    return std::make_unique<TWireLink>(
        [settings] { return std::make_unique<TTcpLink>(settings.Address, static_cast<uint16_t>(settings.Number)); },
        settings);
}

} // namespace kestrun
