// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <cstdint>
#include <functional>
#include <shared_mutex>
#include <vector>

namespace kestrun {

// Delivery modes of a subscription. Posting: the handler runs synchronously on the posting thread.
enum class TThreadMode : uint8_t { Posting };

using TChannelHandler = std::function<void(const QString& AMsg)>;

struct TSubscription
{
    QString Channel;
    TChannelHandler Handler;
    TThreadMode Mode = TThreadMode::Posting;
};

// An object with channel handlers: lists them for RegisterSubscriberForChannels.
class ISubscriber
{
public:
    virtual ~ISubscriber() = default;
    virtual QList<TSubscription> ChannelHandlers() = 0;
};

// Channels carry one-line text messages; each post reaches the channel's subscriptions in
// registration order, synchronously, and returns after the last handler has returned.
class IEventBus
{
public:
    using TSubscriptionId = uint64_t;

    virtual ~IEventBus() = default;
    virtual TSubscriptionId Subscribe(TSubscription subscription) = 0;
    // When it returns, the handler runs no more; it must not be called from a handler.
    virtual void Unsubscribe(TSubscriptionId id) = 0;
    virtual void Post(const QString& AChannel, const QString& AMessage) = 0;
};

class TEventBus final : public IEventBus
{
public:
    TSubscriptionId Subscribe(TSubscription subscription) override;
    void Unsubscribe(TSubscriptionId id) override;
    void Post(const QString& AChannel, const QString& AMessage) override;

private:
    struct TEntry
    {
        TSubscriptionId Id;
        TSubscription Subscription;
    };

    std::shared_mutex FLock; // posts read, registrations write
    std::vector<TEntry> FEntries;
    TSubscriptionId FNextId = 1;
};

// The process-wide bus, made on first use.
IEventBus& Bus();

// The subscriptions of one subscriber; dropped from the bus when this is destroyed, so a
// subscriber that dies before the program ends leaves no handler behind.
class TBusRegistration
{
public:
    TBusRegistration() = default;
    TBusRegistration(IEventBus& bus, QList<IEventBus::TSubscriptionId> ids);
    TBusRegistration(TBusRegistration&& other) noexcept;
    TBusRegistration& operator=(TBusRegistration&& other) noexcept;
    TBusRegistration(const TBusRegistration&) = delete;
    TBusRegistration& operator=(const TBusRegistration&) = delete;
    ~TBusRegistration();

private:
    void Release();

    IEventBus* FBus = nullptr;
    QList<IEventBus::TSubscriptionId> FIds;
};

// Subscribes every handler the subscriber lists.
[[nodiscard]] TBusRegistration RegisterSubscriberForChannels(ISubscriber& ASubscriber, IEventBus& bus = Bus());

} // namespace kestrun
