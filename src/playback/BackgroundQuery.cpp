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
    FAnswer = std::make_shared<TQueryAnswer>();
    FDone = std::move(done);
    FThread = QThread::create([answer = FAnswer, work = std::move(work)] {
        try {
            answer->Lines = work();
        } catch (...) {
            answer->Error = CurrentErrorMessage();
        }
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
    const TQueryAnswer answer = *FAnswer;
    const TDone done = std::exchange(FDone, {});
    done(answer);
}

} // namespace kestrun
