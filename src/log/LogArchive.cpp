// SPDX-License-Identifier: GPL-3.0-or-later
#include "LogArchive.h"

#include "Exception.h"
#include "GzipStream.h"
#include "LogReader.h"

#include <QFile>
#include <QFileInfo>
#include <archive.h>
#include <archive_entry.h>
#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace kestrun {

namespace {

constexpr qsizetype PackedChunk = qsizetype(64) << 10;

enum class TPackedKind : uint8_t { pkStream, pkArchive };

struct TSignature
{
    qsizetype Offset;
    QByteArrayView Bytes;
    TPackedKind Kind;
    bool NeedsSeek; // the index is at the end
};

// A compressed stream may hold a tar; an archive format is never read as a raw stream. Gzip is
// unpacked before libarchive sees it (StartsWithGzip), the tar inside then told by its own bytes.
const TSignature Signatures[] = {
    {0, QByteArrayView("BZh", 3), TPackedKind::pkStream, false},                    // bzip2
    {0, QByteArrayView("\xFD" "7zXZ\x00", 6), TPackedKind::pkStream, false},        // xz
    {0, QByteArrayView("\x28\xB5\x2F\xFD", 4), TPackedKind::pkStream, false},       // zstd
    {0, QByteArrayView("PK\x03\x04", 4), TPackedKind::pkArchive, false},            // zip
    {0, QByteArrayView("PK\x05\x06", 4), TPackedKind::pkArchive, false},            // empty zip
    {0, QByteArrayView("7z\xBC\xAF\x27\x1C", 6), TPackedKind::pkArchive, true},     // 7z
    {257, QByteArrayView("ustar", 5), TPackedKind::pkArchive, false},               // tar
};

const TSignature* FindSignature(QIODevice& device)
{
    const QByteArray head = device.peek(512);
    for (const TSignature& s : Signatures)
        if (QByteArrayView(head).sliced(std::min(s.Offset, head.size())).startsWith(s.Bytes))
            return &s;
    return nullptr;
}

const TSignature& RequireSignature(QIODevice& device, const QString& name)
{
    const TSignature* signature = FindSignature(device);
    if (!signature)
        throw Exception(QStringLiteral("Файл \"%1\" не является архивом").arg(name));
    if (signature->NeedsSeek && device.isSequential())
        throw Exception(QStringLiteral("Архив \"%1\" читается только из файла: его оглавление в конце").arg(name));
    return *signature;
}

// Only the formats a log comes in: a broader set would take some plain texts for archives of
// their own (one entry per line) and read them whole.
using TSupport = int (*)(archive*);
const TSupport Supported[] = {
    archive_read_support_filter_bzip2, archive_read_support_filter_xz,
    archive_read_support_filter_zstd, archive_read_support_format_zip,   archive_read_support_format_7zip,
    archive_read_support_format_tar,  archive_read_support_format_raw,
};

struct TArchiveFree
{
    void operator()(archive* a) const { archive_read_free(a); }
};

Exception DamagedError(const QString& name, const QString& reason)
{
    return Exception(QStringLiteral("Архив \"%1\" повреждён: %2").arg(name, reason));
}

Exception NoSuchMember(const QString& name, const QString& member)
{
    return Exception(QStringLiteral("В архиве \"%1\" нет файла \"%2\"").arg(name, member));
}

QString SeveralMembers(const QString& name, const QStringList& members)
{
    // An archive of thousands of files is named by its first ones.
    constexpr qsizetype Shown = 20;
    QString list = members.mid(0, Shown).join(QStringLiteral(", "));
    if (members.size() > Shown)
        list += QStringLiteral(" и ещё %1").arg(members.size() - Shown);
    return QStringLiteral("В архиве \"%1\" несколько файлов, укажите нужный как АРХИВ:ФАЙЛ: %2").arg(name, list);
}

void CheckUnpackLimit(const QString& name, qint64 unpacked, qint64 packedRead)
{
    if (unpacked > UnpackFloor + MaxUnpackRatio * packedRead)
        throw Exception(QStringLiteral("Архив \"%1\" распаковывается в слишком большой объём: чтение остановлено после %2 МБ")
                            .arg(name)
                            .arg(unpacked >> 20));
}

QString EntryName(archive_entry* entry)
{
    if (const char* utf8 = archive_entry_pathname_utf8(entry))
        return QString::fromUtf8(utf8);
    const char* local = archive_entry_pathname(entry);
    return local ? QString::fromLocal8Bit(local) : QString();
}

} // namespace

// One libarchive reader over a device: walks the regular files and reads their data.
class TArchiveReader
{
public:
    // `outer`: the gzip layer `source` is, whose packed bytes are the ones the limit weighs.
    TArchiveReader(QIODevice& source, const QString& name, const TGzipStream* outer = nullptr)
        : FSource(source), FOuter(outer), FName(name), FKind(RequireSignature(source, name).Kind),
          FArchive(archive_read_new()), FBuffer(PackedChunk, Qt::Uninitialized)
    {
        for (const TSupport support : Supported)
            support(FArchive.get());
        archive_read_set_callback_data(FArchive.get(), this);
        archive_read_set_read_callback(FArchive.get(), &TArchiveReader::Read);
        // 7z keeps its index at the end, so a file is read with seeks; a pipe in one pass.
        if (!source.isSequential())
            archive_read_set_seek_callback(FArchive.get(), &TArchiveReader::Seek);
        if (archive_read_open1(FArchive.get()) != ARCHIVE_OK)
            throw DamagedError(FName, ErrorText());
    }
    TArchiveReader(const TArchiveReader&) = delete;
    TArchiveReader& operator=(const TArchiveReader&) = delete;

    // Moves to the next regular file; false at the archive's end. Throws when it is damaged.
    bool NextFile(QString& name)
    {
        for (;;) {
            archive_entry* entry = nullptr;
            const int result = archive_read_next_header(FArchive.get(), &entry);
            if (result == ARCHIVE_EOF)
                return false;
            if (result < ARCHIVE_WARN)
                throw DamagedError(FName, ErrorText());
            // What libarchive cannot take for what its first bytes promise (a gzip header cut
            // short, a zip without its directory) would otherwise be read as raw bytes.
            const bool unpacks = archive_filter_count(FArchive.get()) > 1;
            if (FKind == TPackedKind::pkArchive ? IsSingleStream() : !unpacks)
                throw DamagedError(FName, QStringLiteral("формат не распознан"));
            if (archive_entry_filetype(entry) == AE_IFREG) {
                name = EntryName(entry);
                return true;
            }
        }
    }

    // Unpacked rather than skipped: a member passed over counts against the limit as well.
    void SkipData()
    {
        QByteArray scratch(PackedChunk, Qt::Uninitialized);
        for (;;) {
            const qint64 n = archive_read_data(FArchive.get(), scratch.data(), size_t(scratch.size()));
            if (n < 0)
                throw DamagedError(FName, ErrorText());
            if (n == 0)
                return;
            CountUnpacked(n);
        }
    }

    // Negative on a fault, 0 at the end of the current file. Throws past the unpack limit.
    qint64 ReadData(char* data, qint64 size)
    {
        const qint64 n = archive_read_data(FArchive.get(), data, size_t(size));
        if (n > 0)
            CountUnpacked(n);
        return n;
    }

    // A compressed file without an archive inside has one unnamed member.
    bool IsSingleStream() const { return archive_format(FArchive.get()) == ARCHIVE_FORMAT_RAW; }
    qint64 PackedRead() const { return FOuter ? FOuter->PackedRead() : archive_filter_bytes(FArchive.get(), -1); }
    // The library's messages are English: the reason is told in the window's language instead.
    QString ErrorText() const
    {
        if (!FSourceError.isEmpty())
            return FSourceError;
        const QByteArray text = QByteArray(archive_error_string(FArchive.get())).toLower();
        if (text.contains("truncat") || text.contains("premature") || text.contains("unexpected end"))
            return QStringLiteral("данные оборваны");
        if (text.contains("crc") || text.contains("checksum"))
            return QStringLiteral("неверная контрольная сумма");
        return QStringLiteral("данные испорчены");
    }

private:
    void CountUnpacked(qint64 n) { CheckUnpackLimit(FName, FUnpacked += n, PackedRead()); }

    static la_ssize_t Read(archive* a, void* client, const void** buffer)
    {
        auto* self = static_cast<TArchiveReader*>(client);
        const qint64 n = self->FSource.read(self->FBuffer.data(), self->FBuffer.size());
        if (n < 0) {
            self->FSourceError = self->FSource.errorString();
            archive_set_error(a, EIO, "%s", self->FSourceError.toLocal8Bit().constData());
            return ARCHIVE_FATAL;
        }
        *buffer = self->FBuffer.constData();
        return la_ssize_t(n);
    }

    static la_int64_t Seek(archive*, void* client, la_int64_t offset, int whence)
    {
        QIODevice& device = static_cast<TArchiveReader*>(client)->FSource;
        const qint64 base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? device.pos() : device.size();
        return device.seek(base + offset) ? la_int64_t(device.pos()) : la_int64_t(ARCHIVE_FATAL);
    }

    QIODevice& FSource;
    const TGzipStream* FOuter;
    QString FName;
    TPackedKind FKind;
    std::unique_ptr<archive, TArchiveFree> FArchive;
    QByteArray FBuffer;
    qint64 FUnpacked = 0; // every member's, from the archive's start
    QString FSourceError; // why the packed input could not be read, already in Russian
};

bool IsPackedLog(QIODevice& ADevice)
{
    return StartsWithGzip(ADevice) || FindSignature(ADevice) != nullptr;
}

namespace {

bool IsTar(QIODevice& device)
{
    const QByteArray head = device.peek(512);
    return head.size() >= 262 && QByteArrayView(head).sliced(257, 5) == QByteArrayView("ustar");
}

} // namespace

TPackedLayers OpenPackedLayers(QIODevice& ASource, const QString& AName)
{
    TPackedLayers layers;
    if (!StartsWithGzip(ASource)) {
        layers.Reader = std::make_unique<TArchiveReader>(ASource, AName);
        return layers;
    }
    // Told by the unpacked bytes alone, so a text that starts with NUL bytes is no empty tar.
    layers.Gzip = std::make_unique<TGzipStream>(ASource);
    if (IsTar(*layers.Gzip))
        layers.Reader = std::make_unique<TArchiveReader>(*layers.Gzip, AName, layers.Gzip.get());
    return layers;
}

TPackedLayers::TPackedLayers() = default;
TPackedLayers::TPackedLayers(TPackedLayers&&) noexcept = default;
TPackedLayers& TPackedLayers::operator=(TPackedLayers&&) noexcept = default;
TPackedLayers::~TPackedLayers() = default;

qint64 TPackedLayers::PackedRead() const { return Gzip ? Gzip->PackedRead() : Reader->PackedRead(); }

QStringList ListArchiveMembers(const QString& AFileName)
{
    QFile file;
    OpenLogFile(file, AFileName);
    if (!IsPackedLog(file))
        return {};
    const TPackedLayers layers = OpenPackedLayers(file, AFileName);
    if (!layers.Reader)
        return {};
    TArchiveReader& reader = *layers.Reader;
    QStringList members;
    QString name;
    while (reader.NextFile(name)) {
        if (reader.IsSingleStream())
            return {};
        members << name;
        reader.SkipData();
    }
    return members;
}

TUnpackedLog::TUnpackedLog(const QString& AFileName, const QString& AMember) : FName(AFileName)
{
    auto file = std::make_unique<QFile>();
    OpenLogFile(*file, AFileName);
    FPackedSize = file->size();
    FOwnedSource = std::move(file);
    // Listed first, so that a choice to make is reported before any unpacking.
    if (AMember.isEmpty()) {
        const QStringList members = ListArchiveMembers(AFileName);
        if (members.size() > 1)
            throw Exception(SeveralMembers(AFileName, members));
    }
    Open(*FOwnedSource, AMember);
}

TUnpackedLog::TUnpackedLog(QIODevice& ASource) : FName(QStringLiteral("-"))
{
    Open(ASource, {});
}

TUnpackedLog::~TUnpackedLog() = default;

void TUnpackedLog::Open(QIODevice& ASource, const QString& AMember)
{
    FLayers = OpenPackedLayers(ASource, FName);
    FNamedMember = !AMember.isEmpty();
    if (!FLayers.Reader) {
        // A gzip stream holding the log itself.
        if (FNamedMember)
            throw NoSuchMember(FName, AMember);
        FSingleStream = true;
        QIODevice::open(QIODevice::ReadOnly);
        return;
    }
    TArchiveReader& reader = *FLayers.Reader;
    QString name;
    if (!reader.NextFile(name))
        throw Exception(QStringLiteral("В архиве \"%1\" нет файлов").arg(FName));
    FSingleStream = reader.IsSingleStream();
    if (FNamedMember) {
        if (FSingleStream)
            throw NoSuchMember(FName, AMember);
        while (name != AMember) {
            reader.SkipData();
            if (!reader.NextFile(name))
                throw NoSuchMember(FName, AMember);
        }
    }
    FMember = name;
    QIODevice::open(QIODevice::ReadOnly);
}

double TUnpackedLog::ReadFraction() const
{
    return FPackedSize > 0 ? std::min(1.0, double(FLayers.PackedRead()) / double(FPackedSize)) : 0.0;
}

qint64 TUnpackedLog::Fail(const QString& AMessage, bool ADamaged)
{
    FFailed = true;
    FDamaged = ADamaged;
    setErrorString(AMessage);
    return -1;
}

qint64 TUnpackedLog::readData(char* AData, qint64 AMaxSize)
{
    if (FFailed)
        return -1;
    // Qt asks for nothing now and then; that is no end of the data.
    if (FEnded || AMaxSize <= 0)
        return 0;
    qint64 n = 0;
    try {
        if (FLayers.Reader) {
            n = FLayers.Reader->ReadData(AData, AMaxSize);
        } else {
            n = FLayers.Gzip->read(AData, AMaxSize);
            if (n > 0)
                CheckUnpackLimit(FName, FUnpacked += n, FLayers.Gzip->PackedRead());
        }
    } catch (const Exception& e) {
        return Fail(e.Message());
    }
    if (n < 0)
        return Fail(DamagedError(FName, FLayers.Reader ? FLayers.Reader->ErrorText() : FLayers.Gzip->errorString()).Message());
    if (n == 0) {
        FEnded = true;
        return CheckNoOtherMember() ? 0 : -1;
    }
    return n;
}

bool TUnpackedLog::CheckNoOtherMember()
{
    if (FNamedMember || FSingleStream)
        return true;
    // Read in one pass, a second file shows up only after the first one.
    QStringList members{FMember};
    QString name;
    try {
        while (FLayers.Reader->NextFile(name)) {
            members << name;
            FLayers.Reader->SkipData();
        }
    } catch (const Exception& e) {
        Fail(e.Message());
        return false;
    }
    if (members.size() == 1)
        return true;
    Fail(SeveralMembers(FName, members), false);
    return false;
}

TLogSource ParseLogSource(const QString& AName)
{
    if (QFileInfo::exists(AName))
        return {AName, {}};
    for (qsizetype colon = AName.indexOf(QLatin1Char(':')); colon > 0;
         colon = AName.indexOf(QLatin1Char(':'), colon + 1)) {
        const QString file = AName.left(colon);
        if (QFileInfo(file).isFile())
            return {file, AName.mid(colon + 1)};
    }
    return {AName, {}};
}

std::unique_ptr<QIODevice> OpenLogSource(const QString& AName)
{
    const TLogSource source = ParseLogSource(AName);
    if (!source.Member.isEmpty())
        return std::make_unique<TUnpackedLog>(source.File, source.Member);
    auto file = std::make_unique<QFile>();
    OpenLogFile(*file, source.File);
    if (!IsPackedLog(*file))
        return file;
    file.reset();
    return std::make_unique<TUnpackedLog>(source.File);
}

} // namespace kestrun
