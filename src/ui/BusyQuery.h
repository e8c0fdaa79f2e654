// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "playback/BackgroundQuery.h"

namespace kestrun {

// A device query off the UI thread, with the busy cursor while it is pending; the window
// stays responsive and `done` shows the answer when it comes.
class TBusyQuery
{
public:
    TBusyQuery() = default;
    TBusyQuery(const TBusyQuery&) = delete;
    TBusyQuery& operator=(const TBusyQuery&) = delete;
    ~TBusyQuery();

    // Ignored while a query is pending.
    void Start(TBackgroundQuery::TWork work, TBackgroundQuery::TDone done);
    bool Pending() const { return FQuery.Pending(); }

private:
    TBackgroundQuery FQuery;
};

} // namespace kestrun
