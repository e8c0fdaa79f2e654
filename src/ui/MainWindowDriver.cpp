// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainWindow.h"
#include "playback/StatusQuery.h"
#include "playback/TrafficLog.h"

#include <QLineEdit>
#include <QPlainTextEdit>

namespace kestrun {

// A register that does not answer takes the link's whole timeout: the query runs off the UI thread.
void TfmMain::btnGetStatusClick()
{
    if (FStatusQuery.Pending())
        return;
    memInfo->clear();
    FStatusQuery.Start([driver = FDriver] { return QueryStatus(*driver); },
                       [this](const TQueryAnswer& answer) {
                           if (answer.Error.isEmpty())
                               memInfo->setPlainText(answer.Lines.join(u'\n'));
                           else
                               FDialogs->ShowError(this, answer.Error);
                           ShowTrafficLogFailure();
                       });
}

// The exchanges went on; the engineer must still know that their record is incomplete.
void TfmMain::ShowTrafficLogFailure()
{
    if (const QString failure = TakeTrafficLogFailure(); !failure.isEmpty())
        edtStatus->setText(failure);
}

void TfmMain::btnSettingsClick()
{
    // The dialog may replace the link the pending query is using.
    if (FStatusQuery.Pending())
        return;
    RunGuarded([this] { FDriver->ShowProperties(); });
}

} // namespace kestrun
