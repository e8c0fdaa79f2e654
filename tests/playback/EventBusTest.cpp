// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback/EventBus.h"

#include <QStringList>
#include "QtPrint.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>

namespace kestrun::test {
namespace {

TEST(EventBus, DeliversInRegistrationOrderToTheNamedChannelOnly)
{
    TEventBus bus;
    QStringList seen;
    bus.Subscribe({QStringLiteral("A"), [&](const QString& m) { seen << "first " + m; }});
    bus.Subscribe({QStringLiteral("B"), [&](const QString& m) { seen << "other " + m; }});
    bus.Subscribe({QStringLiteral("A"), [&](const QString& m) { seen << "second " + m; }});
    bus.Post(QStringLiteral("A"), QStringLiteral("1 2"));
    bus.Post(QStringLiteral("a"), QStringLiteral("dropped"));
    bus.Post(QStringLiteral("Nobody"), QStringLiteral("dropped"));
    EXPECT_EQ(seen, QStringList({"first 1 2", "second 1 2"}));
}

TEST(EventBus, HandlerMayPostAgain)
{
    TEventBus bus;
    QStringList seen;
    bus.Subscribe({QStringLiteral("A"), [&](const QString& m) { bus.Post(QStringLiteral("B"), m + " via A"); }});
    bus.Subscribe({QStringLiteral("B"), [&](const QString& m) { seen << m; }});
    // A writer waiting for the lock must not block the nested post either.
    std::thread writer([&] { bus.Subscribe({QStringLiteral("C"), [](const QString&) {}}); });
    bus.Post(QStringLiteral("A"), QStringLiteral("x"));
    writer.join();
    EXPECT_EQ(seen, QStringList({"x via A"}));
}

TEST(EventBus, RegistrationsCannotChangeInsideAHandler)
{
    TEventBus bus;
    bool refused = false;
    bus.Subscribe({QStringLiteral("A"), [&](const QString&) {
                       try {
                           bus.Subscribe({QStringLiteral("B"), [](const QString&) {}});
                       } catch (const std::logic_error&) {
                           refused = true;
                       }
                   }});
    bus.Post(QStringLiteral("A"), {});
    EXPECT_TRUE(refused);
}

class TTwoHandlers final : public ISubscriber
{
public:
    QStringList Seen;
    QList<TSubscription> ChannelHandlers() override
    {
        return {{QStringLiteral("A"), [this](const QString& m) { Seen << "A " + m; }},
                {QStringLiteral("B"), [this](const QString& m) { Seen << "B " + m; }}};
    }
};

TEST(EventBus, SubscriberHandlersLiveAsLongAsTheRegistration)
{
    TEventBus bus;
    TTwoHandlers subscriber;
    {
        const TBusRegistration registration = RegisterSubscriberForChannels(subscriber, bus);
        bus.Post(QStringLiteral("A"), QStringLiteral("1"));
        bus.Post(QStringLiteral("B"), QStringLiteral("2"));
    }
    bus.Post(QStringLiteral("A"), QStringLiteral("3"));
    EXPECT_EQ(subscriber.Seen, QStringList({"A 1", "B 2"}));
}

TEST(EventBus, PostsFromSeveralThreadsWhileRegistering)
{
    TEventBus bus;
    std::atomic<int> delivered{0};
    bus.Subscribe({QStringLiteral("A"), [&](const QString&) { ++delivered; }});
    auto poster = [&] {
        for (int i = 0; i < 500; ++i)
            bus.Post(QStringLiteral("A"), QString::number(i));
    };
    std::thread p1(poster);
    std::thread p2(poster);
    for (int i = 0; i < 200; ++i)
        bus.Unsubscribe(bus.Subscribe({QStringLiteral("B"), [](const QString&) {}}));
    p1.join();
    p2.join();
    EXPECT_EQ(delivered, 1000);
}

} // namespace
} // namespace kestrun::test
