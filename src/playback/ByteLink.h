// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>

namespace kestrun {

// A failure of the wire: a negative result code and its text (empty: the standard text).
struct TWireError
{
    int32_t Code;
    QString Description;
};

// A byte transport to a register. It is used only on the thread that created it, because
// the Qt objects behind it belong to that thread. Failures throw TWireError.
class IByteLink
{
public:
    virtual ~IByteLink() = default;
    // Opens the transport unless it is open.
    virtual void Open(int timeoutMs) = 0;
    virtual void Close() = 0;
    virtual void Write(QByteArrayView bytes, int timeoutMs) = 0;
    // What arrives within timeoutMs; empty when nothing did.
    virtual QByteArray Read(int timeoutMs) = 0;
};

} // namespace kestrun
