// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <memory>

namespace kestrun {

class IWirePeer;

// A peer behind a pseudo-terminal: the host opens its slave side as a serial port.
class TPtyEndpoint final : public QObject
{
public:
    // Throws kestrun::Exception when no pseudo-terminal can be made.
    explicit TPtyEndpoint(IWirePeer& peer);
    ~TPtyEndpoint() override;

    // The slave side, e.g. /dev/pts/3.
    QString Path() const { return FPath; }
    // What a host gives to reach it: serial:PATH.
    QString DeviceText() const { return QStringLiteral("serial:") + FPath; }

private:
    void OnReadable();
    void Write(const QByteArray& bytes);

    IWirePeer& FPeer;
    int FMaster = -1;
    // Held open so that the master side never sees a hang-up between two hosts.
    int FSlave = -1;
    QString FPath;
    std::unique_ptr<QSocketNotifier> FNotifier;
};

} // namespace kestrun
