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
    // Unbuffered: a write the disk refuses is lost at once instead of piling up in memory.
    if (!FFile.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        throw Exception(QStringLiteral("Не удалось открыть журнал обмена %1: %2").arg(fileName, FFile.errorString()));
}

TTrafficLog::TEntry TTrafficLog::Sent(QByteArrayView bytes, const QDateTime& time)
{
    return Add("TRACE", "TPrinterProtocol -> " + StrToHex(bytes), time);
}

TTrafficLog::TEntry TTrafficLog::Received(QByteArrayView bytes, const QDateTime& time)
{
    return Add("TRACE", "TPrinterProtocol <- " + StrToHex(bytes), time);
}

void TTrafficLog::Note(const QByteArray& text, const QDateTime& time)
{
    Add("TRACE", "TPrinterProtocol: " + text, time);
}

TTrafficLog::TEntry TTrafficLog::Add(const char* level, const QByteArray& text, const QDateTime& time)
{
    FLines.append({time, level, text});
    return FLines.size() - 1;
}

void TTrafficLog::Follow(TEntry entry) { FLines[entry].Level = "DEBUG"; }

bool TTrafficLog::Flush(int32_t result, const QString& description)
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
    return FFile.write(text) == text.size();
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
