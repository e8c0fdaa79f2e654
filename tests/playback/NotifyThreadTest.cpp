// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback/EventBus.h"
#include "playback/NotifyThread.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QPointer>
#include <QStringList>
#include "QtPrint.h"

#include <gtest/gtest.h>
#include <mutex>
#include <stdexcept>

namespace kestrun::test {
namespace {

// Runs the application's events until `done` holds, for at most half a minute.
template <typename Done>
bool ProcessEventsUntil(Done done)
{
    QDeadlineTimer deadline(30000);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return done();
}

TEST(NotifyThread, EndEventRunsOnceOnTheApplicationThreadAfterTheLastNotification)
{
    TEventBus bus;
    std::mutex lock;
    QStringList order;
    bus.Subscribe({QStringLiteral("CommandRun"), [&](const QString& m) {
                       std::lock_guard guard(lock);
                       order << m;
                   }});
    int ends = 0;
    bool onApplicationThread = false;
    QPointer<TNotifyThread> thread = RunInThread(
        [&](TNotifyThread& sender) {
            ++ends;
            onApplicationThread = QThread::currentThread() == QCoreApplication::instance()->thread();
            EXPECT_TRUE(sender.ErrorMessage().isEmpty());
            std::lock_guard guard(lock);
            order << QStringLiteral("end");
        },
        [&](TNotifyThread&) {
            for (int i = 0; i < 3; ++i)
                bus.Post(QStringLiteral("CommandRun"), QString::number(i));
        });
    ASSERT_TRUE(ProcessEventsUntil([&] { return ends > 0; }));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(ProcessEventsUntil([&] { return thread.isNull(); })) << "the thread did not free itself";
    QCoreApplication::processEvents();
    EXPECT_EQ(ends, 1);
    EXPECT_TRUE(onApplicationThread);
    EXPECT_EQ(order, QStringList({"0", "1", "2", "end"}));
}

TEST(NotifyThread, EndEventRunsAlsoWhenTheBodyThrows)
{
    int ends = 0;
    QString message;
    RunInThread(
        [&](TNotifyThread& sender) {
            ++ends;
            message = sender.ErrorMessage();
        },
        [](TNotifyThread&) { throw std::runtime_error("body failed"); });
    ASSERT_TRUE(ProcessEventsUntil([&] { return ends > 0; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(message, "body failed");
}

} // namespace
} // namespace kestrun::test
