#include "MainWindow.h"
#include "playback/StatusQuery.h"

#include <QPlainTextEdit>

namespace kestrun {

void TfmMain::btnGetStatusClick()
{
    memInfo->clear();
    RepaintNow();
    RunGuarded([this] { memInfo->setPlainText(QueryStatus(*FDriver).join(u'\n')); });
}

void TfmMain::btnSettingsClick()
{
    RunGuarded([this] { FDriver->ShowProperties(); });
}

} // namespace kestrun
