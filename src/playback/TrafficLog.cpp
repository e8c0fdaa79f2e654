#include "TrafficLog.h"

#include "log/Bytes.h"
#include "log/Codepages.h"
#include "log/Exception.h"

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

TTrafficLog::TEntry TTrafficLog::Sent(QByteArrayView bytes) { return Add("TRACE", "TPrinterProtocol -> " + StrToHex(bytes)); }

TTrafficLog::TEntry TTrafficLog::Received(QByteArrayView bytes)
{
    return Add("TRACE", "TPrinterProtocol <- " + StrToHex(bytes));
}

void TTrafficLog::Note(const QByteArray& text) { Add("TRACE", "TPrinterProtocol: " + text); }

TTrafficLog::TEntry TTrafficLog::Add(const char* level, const QByteArray& text)
{
    FLines.append({QDateTime::currentDateTime(), level, text});
    return FLines.size() - 1;
}

void TTrafficLog::Follow(TEntry entry) { FLines[entry].Level = "DEBUG"; }

void TTrafficLog::Flush(int32_t result, const QString& description)
{
    if (result != 0)
        Add("ERROR", "TPrinterProtocol: " + QByteArray::number(result) + ", " + UnicodeToCp1251(description));
    const QByteArray thread = QByteArray::number(FThread, 16).toUpper().rightJustified(8, '0');
    QByteArray text;
    for (const TLine& line : FLines) {
        // The time and thread take the 36 characters a record keeps as its attributes.
        text += '[' + line.Time.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss.zzz")).toLatin1() + "] [" + thread
                + "] [" + line.Level + "] " + line.Text + "\r\n";
    }
    FLines.clear();
    // The log is a diagnostic aid: a full disk must not fail the exchange it records.
    FFile.write(text);
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
