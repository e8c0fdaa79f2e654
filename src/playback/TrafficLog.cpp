#include "TrafficLog.h"

#include "log/Bytes.h"
#include "log/Exception.h"

#include <QDateTime>
#include <QThread>

#ifdef Q_OS_LINUX
#include <unistd.h>
#endif

namespace kestrun {

TTrafficLog::TTrafficLog(const QString& fileName) : FFile(fileName)
{
    if (!FFile.open(QIODevice::WriteOnly | QIODevice::Append))
        throw Exception(QStringLiteral("Не удалось открыть журнал обмена %1: %2").arg(fileName, FFile.errorString()));
}

void TTrafficLog::Sent(QByteArrayView bytes) { Write("->", bytes); }

void TTrafficLog::Received(QByteArrayView bytes) { Write("<-", bytes); }

void TTrafficLog::Write(const char* arrow, QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return;
    // The time and thread take the 36 characters a record keeps as its attributes.
    const QByteArray line = '[' + QDateTime::currentDateTime().toString(QStringLiteral("dd.MM.yyyy hh:mm:ss.zzz")).toLatin1()
                            + "] [" + QByteArray::number(FThread, 16).toUpper().rightJustified(8, '0')
                            + "] [DEBUG] TPrinterProtocol " + arrow + ' ' + StrToHex(bytes) + "\r\n";
    // The log is a diagnostic aid: a full disk must not fail the exchange it records.
    FFile.write(line);
    FFile.flush();
}

uint32_t CurrentThreadNumber()
{
#ifdef Q_OS_LINUX
    return static_cast<uint32_t>(gettid());
#else
    return static_cast<uint32_t>(reinterpret_cast<quintptr>(QThread::currentThreadId()));
#endif
}

} // namespace kestrun
