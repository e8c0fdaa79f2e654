// SPDX-License-Identifier: GPL-3.0-or-later
#include "CliSupport.h"
#include "log/JsonLine.h"
#include "Commands.h"
#include "log/Exception.h"
#include "playback/DeviceDriver.h"
#include "playback/DeviceLink.h"
#include "playback/StatusQuery.h"

namespace kestrun::cli {

int RunStatus(const QStringList& args)
{
    ArgReader reader(args);
    const QString device = reader.TakeValue(QStringLiteral("--device"), QString::fromLatin1(DefaultDeviceText));
    const bool json = reader.TakeFlag(QStringLiteral("--json"));
    reader.Positionals(0, 0);
    try {
        CheckDeviceText(device);
    } catch (const Exception& e) {
        throw UsageError{e.Message()};
    }
    try {
        const std::unique_ptr<TUlvex> driver = CreateDriver(device);
        if (!json) {
            const QStringList lines = QueryStatus(*driver);
            WriteOut(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
            return lines.size() > 1 ? ExitOk : ExitFailure;
        }
        const TDeviceStatus status = ReadStatus(*driver);
        QByteArray out;
        TJsonLine line(out);
        line.Number("Result", status.Code);
        if (status.Code == 0)
            line.Null("Error").Number("Mode", status.Mode).Text("ModeText", status.ModeText)
                .Number("SubMode", status.SubMode).Text("SubModeText", status.SubModeText);
        else
            line.Text("Error", status.Description);
        line.End();
        WriteOut(out);
        return status.Code == 0 ? ExitOk : ExitFailure;
    } catch (const Exception& e) {
        return ReportFailure("status", e.Message());
    }
}

} // namespace kestrun::cli
