#include "LogReader.h"

#include "Exception.h"
#include "LogDecoder.h"
#include "LogText.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrun {

namespace {

// Large reads keep the per-call overhead negligible for logs of hundreds of megabytes.
constexpr qsizetype ChunkSize = qsizetype(1) << 20;

Exception OpenError(const QString& fileName, int error)
{
    return Exception(QStringLiteral("Cannot open file \"%1\". %2")
                         .arg(fileName, QString::fromLocal8Bit(std::strerror(error))));
}

// Reads until the buffer is full or the device is exhausted.
qsizetype Fill(QIODevice& device, char* buffer, qsizetype size)
{
    qsizetype filled = 0;
    while (filled < size) {
        const qint64 n = device.read(buffer + filled, size - filled);
        if (n < 0)
            throw Exception(device.errorString());
        if (n == 0)
            break;
        filled += qsizetype(n);
    }
    return filled;
}

} // namespace

void OpenLogFile(QFile& AFile, const QString& AFileName)
{
    const int fd = ::open(QFile::encodeName(AFileName).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw OpenError(AFileName, errno);
    struct stat info;
    if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(fd);
        throw OpenError(AFileName, EISDIR);
    }
    if (!AFile.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw Exception(QStringLiteral("Cannot open file \"%1\". %2").arg(AFileName, AFile.errorString()));
    }
}

void ReadLogStream(QIODevice& ADevice, TTextEncoding AEncoding, ILogLineSink& ASink, const TReadProgress& AProgress)
{
    QByteArray buffer(ChunkSize, Qt::Uninitialized);
    const qint64 total = ADevice.isSequential() ? 0 : ADevice.size() - ADevice.pos();
    const auto* known = dynamic_cast<const IReadProgress*>(&ADevice);
    qint64 consumed = 0;
    qsizetype size = Fill(ADevice, buffer.data(), ChunkSize);

    const std::optional<TByteOrderMark> mark = FindByteOrderMark(QByteArrayView(buffer.constData(), size));
    qsizetype start = mark ? mark->Bytes.size() : 0;
    TLogDecoder decoder(mark ? mark->Encoding : AEncoding, ASink);
    while (size > 0) {
        decoder.Feed(buffer.constData() + start, size_t(size - start));
        consumed += size;
        if (AProgress && known)
            AProgress(known->ReadFraction());
        else if (AProgress && total > 0)
            AProgress(std::min(1.0, double(consumed) / double(total)));
        start = 0;
        size = Fill(ADevice, buffer.data(), ChunkSize);
    }
    decoder.Finish();
}

void ReadLogLines(const QString& FileName, TTextEncoding Encoding, QStringList& Lines)
{
    QFile file;
    OpenLogFile(file, FileName);
    Lines.clear();
    TLineCollector collector(Lines);
    ReadLogStream(file, Encoding, collector);
}

} // namespace kestrun
