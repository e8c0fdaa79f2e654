// SPDX-License-Identifier: GPL-3.0-or-later
#include "BackgroundQuery.h"

#include "log/CurrentError.h"

#include <QThread>
#include <utility>

namespace kestrun {

TBackgroundQuery::~TBackgroundQuery()
{
    if (!FThread)
        return;
    QObject::disconnect(FThread, nullptr, &FReceiver, nullptr);
    FThread->wait();
    delete FThread;
}

void TBackgroundQuery::Start(TWork work, TDone done)
{
    if (FThread)
        return;
    FAnswer = std::make_shared<TSharedAnswer>();
    FDone = std::move(done);
    FThread = QThread::create([shared = FAnswer, work = std::move(work)] {
        TQueryAnswer answer;
        try {
            answer.Lines = work();
        } catch (...) {
            answer.Error = CurrentErrorMessage();
        }
        const std::lock_guard lock(shared->Lock);
        shared->Answer = std::move(answer);
    });
    // Queued to the receiver: `finished` is emitted on the query's thread.
    QObject::connect(FThread, &QThread::finished, &FReceiver, [this] { Finish(); }, Qt::QueuedConnection);
    FThread->start();
}

void TBackgroundQuery::Finish()
{
    FThread->wait();
    delete FThread;
    FThread = nullptr;
    TQueryAnswer answer;
    {
        const std::lock_guard lock(FAnswer->Lock);
        answer = std::move(FAnswer->Answer);
    }
    const TDone done = std::exchange(FDone, {});
    done(answer);
}

} // namespace kestrun
