#include "CliSupport.h"
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
    reader.Positionals(0, 0);
    try {
        CheckDeviceText(device);
    } catch (const Exception& e) {
        throw UsageError{e.Message()};
    }
    try {
        const std::unique_ptr<TUlvex> driver = CreateDriver(device);
        const QStringList lines = QueryStatus(*driver);
        WriteOut(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
        return lines.size() > 1 ? ExitOk : ExitFailure;
    } catch (const Exception& e) {
        WriteErr(e.Message());
        return ExitFailure;
    }
}

} // namespace kestrun::cli
