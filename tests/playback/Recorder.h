// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "playback/EventBus.h"
#include "playback/Notifications.h"

#include <QStringList>
#include <functional>
#include <mutex>

namespace kestrun::test {

// Records every message of the replay channels as "Channel: message", in order.
class TRecorder final : public ISubscriber
{
public:
    // Called on the posting thread for each "ErrorQuery", after the message is recorded.
    std::function<void(const QString& AMsg)> OnErrorQuery;
    std::function<void(const QString& AMsg)> OnCommandRun;

    explicit TRecorder(IEventBus& bus) : FRegistration(RegisterSubscriberForChannels(*this, bus)) {}

    QList<TSubscription> ChannelHandlers() override
    {
        QList<TSubscription> handlers;
        for (const char* channel : {ChannelCommandRun, ChannelErrorQuery, ChannelError, ChannelCommandSkip}) {
            const QString name = QString::fromLatin1(channel);
            handlers.append({name, [this, name](const QString& AMsg) { Record(name, AMsg); }});
        }
        return handlers;
    }

    QStringList Messages() const
    {
        std::lock_guard lock(FLock);
        return FMessages;
    }

private:
    void Record(const QString& channel, const QString& AMsg)
    {
        {
            std::lock_guard lock(FLock);
            FMessages << channel + QStringLiteral(": ") + AMsg;
        }
        if (channel == QLatin1String(ChannelErrorQuery) && OnErrorQuery)
            OnErrorQuery(AMsg);
        if (channel == QLatin1String(ChannelCommandRun) && OnCommandRun)
            OnCommandRun(AMsg);
    }

    mutable std::mutex FLock;
    QStringList FMessages;
    TBusRegistration FRegistration;
};

} // namespace kestrun::test
