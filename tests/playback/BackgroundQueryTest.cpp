// SPDX-License-Identifier: GPL-3.0-or-later
#include "QtPrint.h"
#include "log/Exception.h"
#include "playback/BackgroundQuery.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <gtest/gtest.h>
#include <semaphore>
#include <thread>

namespace kestrun::test {
namespace {

using namespace std::chrono_literals;

// Runs the event loop until `done` holds; false when a minute passes first.
bool RunEventsUntil(const std::function<bool()>& done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return done();
}

// A device that does not answer until the test lets it.
TEST(BackgroundQuery, EventsGoOnWhileTheDeviceDoesNotAnswer)
{
    std::binary_semaphore answer(0);
    std::atomic<bool> working = false;
    TBackgroundQuery query;
    std::optional<TQueryAnswer> received;
    query.Start(
        [&] {
            working = true;
            answer.acquire();
            return QStringList{QStringLiteral("Запрос состояния: Успешно")};
        },
        [&](const TQueryAnswer& a) { received = a; });
    ASSERT_TRUE(RunEventsUntil([&] { return working.load(); }));

    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(1);
    EXPECT_TRUE(RunEventsUntil([&] { return ticks >= 3; }));
    EXPECT_TRUE(query.Pending());
    EXPECT_FALSE(received);

    answer.release();
    ASSERT_TRUE(RunEventsUntil([&] { return received.has_value(); }));
    EXPECT_EQ(received->Lines, QStringList({"Запрос состояния: Успешно"}));
    EXPECT_EQ(received->Error, QString());
    EXPECT_FALSE(query.Pending());
}

TEST(BackgroundQuery, FailedCallComesBackAsItsMessage)
{
    TBackgroundQuery query;
    std::optional<TQueryAnswer> received;
    query.Start([]() -> QStringList { throw Exception(QStringLiteral("Нет связи")); },
                [&](const TQueryAnswer& a) { received = a; });
    ASSERT_TRUE(RunEventsUntil([&] { return received.has_value(); }));
    EXPECT_EQ(received->Error, "Нет связи");
    EXPECT_TRUE(received->Lines.isEmpty());
}

TEST(BackgroundQuery, SecondStartWhilePendingIsIgnored)
{
    std::binary_semaphore answer(0);
    TBackgroundQuery query;
    QStringList received;
    query.Start([&] { answer.acquire(); return QStringList{QStringLiteral("first")}; },
                [&](const TQueryAnswer& a) { received << a.Lines; });
    query.Start([] { return QStringList{QStringLiteral("second")}; }, [&](const TQueryAnswer& a) { received << a.Lines; });
    answer.release();
    ASSERT_TRUE(RunEventsUntil([&] { return !query.Pending(); }));
    EXPECT_EQ(received, QStringList({"first"}));
}

// Whoever owns the query may go while the device is still silent: the answer is dropped.
TEST(BackgroundQuery, DestroyedWhilePendingDropsTheAnswer)
{
    bool called = false;
    {
        TBackgroundQuery query;
        query.Start([] { std::this_thread::sleep_for(50ms); return QStringList(); }, [&](const TQueryAnswer&) { called = true; });
    }
    QCoreApplication::processEvents();
    EXPECT_FALSE(called);
}

} // namespace
} // namespace kestrun::test
