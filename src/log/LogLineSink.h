// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "LogMarkers.h"

#include <QByteArrayView>
#include <QStringView>

namespace kestrun {

// Receives the lines of a log in file order, without their terminators. Single-byte logs
// arrive as Windows-1251 bytes so they need no conversion; others as Unicode.
class ILogLineSink
{
public:
    virtual ~ILogLineSink() = default;

    virtual void AddLine(QByteArrayView ALine) = 0;
    virtual void AddLine(QStringView ALine) = 0;
    // A single-byte line whose markers a thread reading ahead has found already. Its bytes stay
    // where they are until KeepScannedLines; a sink that does not look for markers takes it as
    // any other line.
    virtual void AddScannedLine(QByteArrayView ALine, const TLineMarkers& AMarkers)
    {
        Q_UNUSED(AMarkers);
        AddLine(ALine);
    }
    // The bytes of the scanned lines handed over so far are about to be reused: a sink copies
    // what it still needs of them.
    virtual void KeepScannedLines() {}
};

} // namespace kestrun
