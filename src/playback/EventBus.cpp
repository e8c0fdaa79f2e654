// SPDX-License-Identifier: GPL-3.0-or-later
#include "EventBus.h"

#include <algorithm>
#include <mutex>
#include <stdexcept>

namespace kestrun {

namespace {

// Buses whose shared lock this thread holds while it delivers: a handler that posts again
// must not lock a second time (a recursive shared lock is undefined and can deadlock behind
// a waiting writer).
thread_local std::vector<const IEventBus*> DeliveringBuses;

bool IsDelivering(const IEventBus* bus)
{
    return std::find(DeliveringBuses.begin(), DeliveringBuses.end(), bus) != DeliveringBuses.end();
}

struct TDeliveryMark
{
    explicit TDeliveryMark(const IEventBus* bus) { DeliveringBuses.push_back(bus); }
    ~TDeliveryMark() { DeliveringBuses.pop_back(); }
};

void RefuseFromHandler(const IEventBus* bus)
{
    // The shared lock of the running delivery would deadlock the exclusive one.
    if (IsDelivering(bus))
        throw std::logic_error("bus registrations cannot change inside a channel handler");
}

} // namespace

IEventBus::TSubscriptionId TEventBus::Subscribe(TSubscription subscription)
{
    RefuseFromHandler(this);
    std::unique_lock lock(FLock);
    const TSubscriptionId id = FNextId++;
    FEntries.push_back({id, std::move(subscription)});
    return id;
}

void TEventBus::Unsubscribe(TSubscriptionId id)
{
    RefuseFromHandler(this);
    std::unique_lock lock(FLock);
    std::erase_if(FEntries, [id](const TEntry& e) { return e.Id == id; });
}

void TEventBus::Post(const QString& AChannel, const QString& AMessage)
{
    std::shared_lock lock(FLock, std::defer_lock);
    if (!IsDelivering(this))
        lock.lock();
    TDeliveryMark mark(this);
    for (const TEntry& e : FEntries)
        if (e.Subscription.Channel == AChannel)
            e.Subscription.Handler(AMessage);
}

IEventBus& Bus()
{
    static TEventBus bus;
    return bus;
}

TBusRegistration::TBusRegistration(IEventBus& bus, QList<IEventBus::TSubscriptionId> ids)
    : FBus(&bus), FIds(std::move(ids))
{
}

TBusRegistration::TBusRegistration(TBusRegistration&& other) noexcept
    : FBus(std::exchange(other.FBus, nullptr)), FIds(std::exchange(other.FIds, {}))
{
}

TBusRegistration& TBusRegistration::operator=(TBusRegistration&& other) noexcept
{
    if (this != &other) {
        Release();
        FBus = std::exchange(other.FBus, nullptr);
        FIds = std::exchange(other.FIds, {});
    }
    return *this;
}

TBusRegistration::~TBusRegistration() { Release(); }

void TBusRegistration::Release()
{
    if (FBus)
        for (IEventBus::TSubscriptionId id : FIds)
            FBus->Unsubscribe(id);
    FBus = nullptr;
    FIds.clear();
}

TBusRegistration RegisterSubscriberForChannels(ISubscriber& ASubscriber, IEventBus& bus)
{
    QList<IEventBus::TSubscriptionId> ids;
    for (TSubscription& s : ASubscriber.ChannelHandlers())
        ids << bus.Subscribe(std::move(s));
    return TBusRegistration(bus, std::move(ids));
}

} // namespace kestrun
