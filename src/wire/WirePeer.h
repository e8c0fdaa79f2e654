// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>

namespace kestrun {

// Bytes a host may leave unread before its connection is dropped: a protocol-1 host reads every
// answer before it asks again, so only a host that does not read comes near.
constexpr qint64 MaxUnreadBytes = 1 << 20;
// What is read from a line at once; the kernel holds the rest until it is taken.
constexpr qint64 ReadChunkBytes = 64 << 10;

// What sits behind a listening endpoint: the emulated device, or the tap forwarding to a register.
// The endpoint hands it the connection of the host that came and the bytes that host sends.
class IWirePeer
{
public:
    using TWriter = std::function<void(const QByteArray& bytes)>;
    using TCloser = std::function<void()>;

    virtual ~IWirePeer() = default;
    // A host came: write sends it bytes, close (may be empty) ends its connection; `from` names it
    // for people (127.0.0.1:41234, or the pseudo-terminal's path).
    virtual void Connect(TWriter write, TCloser close, const QString& from) = 0;
    virtual void Disconnect() = 0;
    virtual void Receive(QByteArrayView bytes) = 0;
};

} // namespace kestrun
