// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "LogDialect.h"

#include <QByteArrayView>
#include <array>

namespace kestrun {

// Where each marker first occurs in one line, found in a single pass over the line.
class TLineMarkers
{
public:
    void Scan(QByteArrayView line);
    void Reset() { FEnd.fill(-1); }

    bool Has(TLogMarker marker) const { return End(marker) >= 0; }
    // Offset just behind the marker's first occurrence (where its payload starts); -1 when absent.
    qsizetype End(TLogMarker marker) const { return FEnd[static_cast<size_t>(marker)]; }

private:
    std::array<qsizetype, LogMarkerCount> FEnd{-1, -1, -1, -1, -1, -1, -1, -1, -1};
};

} // namespace kestrun
