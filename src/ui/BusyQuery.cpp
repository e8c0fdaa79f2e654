// SPDX-License-Identifier: GPL-3.0-or-later
#include "BusyQuery.h"

#include <QApplication>

namespace kestrun {

TBusyQuery::~TBusyQuery()
{
    if (Pending())
        QApplication::restoreOverrideCursor();
}

void TBusyQuery::Start(TBackgroundQuery::TWork work, TBackgroundQuery::TDone done)
{
    if (Pending())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    FQuery.Start(std::move(work), [done = std::move(done)](const TQueryAnswer& answer) {
        QApplication::restoreOverrideCursor();
        done(answer);
    });
}

} // namespace kestrun
