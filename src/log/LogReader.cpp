#include "LogReader.h"

#include "Exception.h"
#include "LineSplitter.h"
#include "LogText.h"

#include <QStringDecoder>
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

struct TByteOrderMark
{
    QByteArrayView Bytes;
    TTextEncoding Encoding;
};

// Tried in this order.
const TByteOrderMark ByteOrderMarks[] = {
    {"\xEF\xBB\xBF", TTextEncoding::teUtf8},
    {"\xFF\xFE", TTextEncoding::teUtf16LE},
    {"\xFE\xFF", TTextEncoding::teUtf16BE},
};

Exception OpenError(const QString& fileName, int error)
{
    return Exception(QStringLiteral("Cannot open file \"%1\". %2")
                         .arg(fileName, QString::fromLocal8Bit(std::strerror(error))));
}

bool IsAscii(const char* p, size_t n)
{
    constexpr uint64_t HighBits = 0x8080808080808080ULL;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t word;
        std::memcpy(&word, p + i, 8);
        if (word & HighBits)
            return false;
    }
    for (; i < n; ++i)
        if (static_cast<unsigned char>(p[i]) >= 0x80)
            return false;
    return true;
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

// Turns the bytes of one encoding into lines for the sink.
class TLogDecoder
{
public:
    TLogDecoder(TTextEncoding encoding, ILogLineSink& sink)
        : FEncoding(encoding), FSink(sink),
          FUtf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom)
    {
    }

    void Feed(const char* data, size_t size)
    {
        switch (FEncoding) {
        case TTextEncoding::teWindows1251:
            FBytes.Feed(data, size, [this](std::string_view line) { AddSingleByteLine(line); });
            break;
        case TTextEncoding::teUtf8:
            FBytes.Feed(data, size, [this](std::string_view line) { AddUtf8Line(line); });
            break;
        case TTextEncoding::teUtf16LE:
        case TTextEncoding::teUtf16BE:
            DecodeUtf16(data, size);
            FUnits.Feed(FUnitBuffer.data(), FUnitBuffer.size(), [this](std::u16string_view line) { AddUnicodeLine(line); });
            break;
        }
    }

    void Finish()
    {
        switch (FEncoding) {
        case TTextEncoding::teWindows1251:
            FBytes.Finish([this](std::string_view line) { AddSingleByteLine(line); });
            break;
        case TTextEncoding::teUtf8:
            FBytes.Finish([this](std::string_view line) { AddUtf8Line(line); });
            break;
        case TTextEncoding::teUtf16LE:
        case TTextEncoding::teUtf16BE:
            if (FOddByte >= 0) {
                // A lone last byte cannot form a character.
                constexpr char16_t Replacement = u'\uFFFD';
                FUnits.Feed(&Replacement, 1, [this](std::u16string_view line) { AddUnicodeLine(line); });
                FOddByte = -1;
            }
            FUnits.Finish([this](std::u16string_view line) { AddUnicodeLine(line); });
            break;
        }
    }

private:
    void AddSingleByteLine(std::string_view line) { FSink.AddLine(QByteArrayView(line.data(), qsizetype(line.size()))); }

    void AddUnicodeLine(std::u16string_view line) { FSink.AddLine(QStringView(line.data(), qsizetype(line.size()))); }

    // ASCII is the same in UTF-8 and Windows-1251, so most lines skip decoding.
    void AddUtf8Line(std::string_view line)
    {
        if (IsAscii(line.data(), line.size())) {
            AddSingleByteLine(line);
            return;
        }
        FUtf8.resetState();
        const QString text = FUtf8.decode(QByteArrayView(line.data(), qsizetype(line.size())));
        if (FUtf8.hasError())
            throw Exception(QStringLiteral("No mapping for the Unicode character exists in the target multi-byte code page"));
        FSink.AddLine(QStringView(text));
    }

    void DecodeUtf16(const char* data, size_t size)
    {
        const bool little = FEncoding == TTextEncoding::teUtf16LE;
        const auto unit = [little](unsigned char first, unsigned char second) {
            return char16_t(little ? first | (second << 8) : (first << 8) | second);
        };
        FUnitBuffer.clear();
        size_t i = 0;
        if (FOddByte >= 0 && size > 0) {
            FUnitBuffer += unit(static_cast<unsigned char>(FOddByte), static_cast<unsigned char>(data[0]));
            FOddByte = -1;
            i = 1;
        }
        for (; i + 1 < size; i += 2)
            FUnitBuffer += unit(static_cast<unsigned char>(data[i]), static_cast<unsigned char>(data[i + 1]));
        if (i < size)
            FOddByte = static_cast<unsigned char>(data[i]);
    }

    TTextEncoding FEncoding;
    ILogLineSink& FSink;
    QStringDecoder FUtf8;
    TLineSplitter<char> FBytes;
    TLineSplitter<char16_t> FUnits;
    std::u16string FUnitBuffer;
    int FOddByte = -1;
};

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

    TTextEncoding encoding = AEncoding;
    qsizetype start = 0;
    for (const TByteOrderMark& mark : ByteOrderMarks) {
        if (QByteArrayView(buffer.constData(), size).startsWith(mark.Bytes)) {
            encoding = mark.Encoding;
            start = mark.Bytes.size();
            break;
        }
    }

    TLogDecoder decoder(encoding, ASink);
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
