// SPDX-License-Identifier: GPL-3.0-or-later
#include "PtyEndpoint.h"

#include "WirePeer.h"
#include "log/Exception.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace kestrun {

namespace {

[[noreturn]] void Fail(const char* what)
{
    throw Exception(QStringLiteral("Не удалось создать псевдотерминал (%1): %2")
                        .arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno))));
}

} // namespace

TPtyEndpoint::TPtyEndpoint(IWirePeer& peer) : FPeer(peer)
{
    FMaster = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (FMaster < 0)
        Fail("posix_openpt");
    if (grantpt(FMaster) != 0 || unlockpt(FMaster) != 0)
        Fail("grantpt");
    const char* path = ptsname(FMaster);
    if (!path)
        Fail("ptsname");
    FPath = QString::fromLocal8Bit(path);
    FSlave = ::open(path, O_RDWR | O_NOCTTY);
    if (FSlave < 0)
        Fail("open");
    // Bytes pass unchanged: no echo, no line editing, no translation of CR or LF.
    termios raw{};
    if (tcgetattr(FSlave, &raw) != 0)
        Fail("tcgetattr");
    cfmakeraw(&raw);
    if (tcsetattr(FSlave, TCSANOW, &raw) != 0)
        Fail("tcsetattr");
    FNotifier = std::make_unique<QSocketNotifier>(FMaster, QSocketNotifier::Read);
    connect(FNotifier.get(), &QSocketNotifier::activated, this, &TPtyEndpoint::OnReadable);
    FPeer.Connect([this](const QByteArray& bytes) { Write(bytes); }, nullptr, FPath);
}

TPtyEndpoint::~TPtyEndpoint()
{
    FPeer.Disconnect();
    FNotifier.reset();
    if (FSlave >= 0)
        ::close(FSlave);
    if (FMaster >= 0)
        ::close(FMaster);
}

void TPtyEndpoint::OnReadable()
{
    char buffer[512];
    const ssize_t n = ::read(FMaster, buffer, sizeof buffer);
    if (n > 0)
        FPeer.Receive(QByteArrayView(buffer, n));
}

void TPtyEndpoint::Write(const QByteArray& bytes)
{
    // The answers are short; a full buffer means no host reads them, and they may go.
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(FMaster, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n <= 0)
            return;
        done += n;
    }
}

} // namespace kestrun
