// SPDX-License-Identifier: GPL-3.0-or-later
#include "TrafficLog.h"

#include "log/Bytes.h"
#include "log/Codepages.h"
#include "log/Exception.h"
#include "log/LogDialect.h"

#include <QFile>
#include <QThread>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrun {

namespace {

std::mutex FailureLock;
QString Failure;

void ReportFailure(const QString& text)
{
    std::lock_guard lock(FailureLock);
    if (Failure.isEmpty())
        Failure = text;
}

// True when a regular file ends inside a line: a write of an earlier run was cut short.
bool EndsInsideALine(const QByteArray& path)
{
    const int handle = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (handle < 0)
        return false;
    struct stat info = {};
    char last = '\n';
    const bool cut = fstat(handle, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0
                     && pread(handle, &last, 1, info.st_size - 1) == 1 && last != '\n';
    ::close(handle);
    return cut;
}

// A line for people, "TPrinterProtocol: ...".
QByteArray Remark(QByteArrayView text) { return QByteArrayView(Protocol1Writer).toByteArray().append(": ").append(text); }

} // namespace

TTrafficLog::TTrafficLog(const QString& fileName) : FFileName(fileName)
{
    // Written with the system's calls: every write goes to the file at once, a refused one
    // is lost at once instead of piling up in memory, and its reason is the system's own.
    const QByteArray path = QFile::encodeName(fileName);
    FHandle = ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (FHandle < 0)
        throw Exception(QStringLiteral("Не удалось открыть журнал обмена %1: %2").arg(fileName, qt_error_string(errno)));
    FCutLine = EndsInsideALine(path);
}

TTrafficLog::~TTrafficLog()
{
    if (FHandle >= 0)
        ::close(FHandle);
}

TTrafficLog::TEntry TTrafficLog::Sent(QByteArrayView bytes, const QDateTime& time)
{
    return Add(LevelTrace, WriterText(Protocol1Writer, SentArrow, StrToHex(bytes)), time);
}

TTrafficLog::TEntry TTrafficLog::Received(QByteArrayView bytes, const QDateTime& time)
{
    return Add(LevelTrace, WriterText(Protocol1Writer, ReceivedArrow, StrToHex(bytes)), time);
}

void TTrafficLog::Note(const QByteArray& text, const QDateTime& time)
{
    Add(LevelTrace, Remark(text), time);
}

void TTrafficLog::DriverError(int32_t code, const QString& description, const QDateTime& time)
{
    Add(LevelError, WriterText(DriverWriter, DriverErrorDash, UnicodeToCp1251(description) + " (" + QByteArray::number(code) + ')'),
        time);
}

TTrafficLog::TEntry TTrafficLog::Add(std::string_view level, const QByteArray& text, const QDateTime& time)
{
    FLines.append({time, level, text});
    return FLines.size() - 1;
}

void TTrafficLog::Follow(TEntry entry)
{
    if (entry >= FWritten && entry < FLines.size())
        FLines[entry].Level = LevelDebug;
}

bool TTrafficLog::WriteOut()
{
    const QByteArray thread = ThreadText(FThread);
    QByteArray text;
    for (qsizetype i = FWritten; i < FLines.size(); ++i) {
        const TLine& line = FLines[i];
        AppendLogLine(text, StampTimeText(line.Time), thread, {"[", line.Level, "] ", line.Text});
    }
    FWritten = FLines.size();
    return Write(std::move(text));
}

bool TTrafficLog::Flush(int32_t result, const QString& description, TResultLine resultLine)
{
    if (result != 0) {
        // The line people read comes first: a driver error line right behind a request frame
        // would be read as part of that request.
        Add(LevelError, Remark(QByteArray::number(result) + ", " + UnicodeToCp1251(description)),
            QDateTime::currentDateTime());
        if (resultLine == TResultLine::AlsoAsDriverError)
            DriverError(result, description);
    }
    const bool written = WriteOut();
    FLines.clear();
    FWritten = 0;
    return written;
}

bool TTrafficLog::Write(QByteArray text)
{
    if (text.isEmpty())
        return true;
    // A line cut by a full disk is ended before anything else, so that no later line is
    // glued onto it and read as part of it.
    if (FCutLine)
        text.prepend("\r\n");
    qsizetype done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(FHandle, text.constData() + done, size_t(text.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        FError = qt_error_string(n < 0 ? errno : EIO);
        FCutLine = FCutLine || done > 0;
        ReportFailure(QStringLiteral("Не удалось записать журнал обмена %1: %2").arg(FFileName, FError));
        return false;
    }
    FCutLine = false;
    return true;
}

QString TakeTrafficLogFailure()
{
    std::lock_guard lock(FailureLock);
    return std::exchange(Failure, {});
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
