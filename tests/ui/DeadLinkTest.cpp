// SPDX-License-Identifier: GPL-3.0-or-later
#include "DeviceDialog.h"
#include "UiTestSupport.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTimer>

namespace kestrun::test {
namespace {

using namespace Qt::StringLiterals;

// A register that takes the connection and never says a word: every query waits out the
// link's timeout.
class TSilentRegister
{
public:
    TSilentRegister() { EXPECT_TRUE(FServer.listen(QHostAddress::LocalHost)); }
    QString DeviceText() const { return u"tcp:127.0.0.1:%1,timeout=1000"_s.arg(FServer.serverPort()); }

private:
    QTcpServer FServer;
};

bool BusyCursor()
{
    return QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
}

// While the answer is pending the busy cursor shows, `pending` holds and the event loop keeps
// running; then the answer shows and the cursor is back.
void ExpectResponsiveWhilePending(const std::function<bool()>& pending)
{
    EXPECT_TRUE(pending());
    EXPECT_TRUE(BusyCursor());
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(1);
    EXPECT_TRUE(WaitUntil([&] { return ticks >= 3; }));
    EXPECT_TRUE(pending());
    EXPECT_TRUE(WaitUntil([&] { return !pending(); }, 60000));
    EXPECT_FALSE(QApplication::overrideCursor());
}

class DeadLinkTest : public TWindowTest
{
protected:
    TSilentRegister Register;
};

TEST_F(DeadLinkTest, StatusQueryLeavesTheWindowResponsive)
{
    Dialogs.Device = Register.DeviceText();
    Click("btnSettings");
    Click("btnGetStatus");
    ExpectResponsiveWhilePending([&] { return Info().isEmpty(); });
    EXPECT_TRUE(Info().startsWith(u"Запрос состояния: Ошибка: -"_s)) << Info().toStdString();
    EXPECT_TRUE(Dialogs.Errors.isEmpty());
}

// The driver serves one thread at a time: no replay starts over a pending query.
TEST_F(DeadLinkTest, NoReplayStartsWhileTheQueryIsPending)
{
    Dialogs.Device = Register.DeviceText();
    Click("btnSettings");
    Load({{"10 1E 00 00 00", "10 00"}});
    Click("btnGetStatus");
    Click("btnStart");
    EXPECT_TRUE(Window->Finished());
    ASSERT_TRUE(WaitUntil([&] { return !Info().isEmpty(); }, 60000));
    EXPECT_FALSE(Window->Commands()[0].Played);
}

TEST(DeadLinkDialog, CheckLeavesTheDialogResponsive)
{
    const TSilentRegister silent;
    const TDeviceDialog dialog(silent.DeviceText());
    auto* memCheck = dialog.findChild<QPlainTextEdit*>(u"memCheck"_s);
    ASSERT_TRUE(memCheck);
    dialog.findChild<QPushButton*>(u"btnCheck"_s)->click();
    ExpectResponsiveWhilePending([&] { return memCheck->toPlainText().isEmpty(); });
    EXPECT_TRUE(memCheck->toPlainText().startsWith(u"Запрос состояния: Ошибка: -"_s)) << memCheck->toPlainText().toStdString();
}

} // namespace
} // namespace kestrun::test
