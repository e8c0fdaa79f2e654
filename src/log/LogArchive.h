// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "LogReader.h"

#include <QIODevice>
#include <QString>
#include <QStringList>
#include <memory>

namespace kestrun {

class TArchiveReader;
class TGzipStream;

// The layers of a packed input: gzip unpacked by zlib, then libarchive for an archive format or
// another compression. No reader: a gzip stream holding the log itself.
struct TPackedLayers
{
    std::unique_ptr<TGzipStream> Gzip;
    std::unique_ptr<TArchiveReader> Reader;

    TPackedLayers();
    TPackedLayers(TPackedLayers&&) noexcept;
    TPackedLayers& operator=(TPackedLayers&&) noexcept;
    ~TPackedLayers();
    qint64 PackedRead() const;
};
// Throws a Russian message when the input is not packed in a known way or damaged at its start.
TPackedLayers OpenPackedLayers(QIODevice& ASource, const QString& AName);

// Unpacking stops once the unpacked bytes exceed this multiple of the packed bytes read so far,
// plus the floor below: far beyond what any real log compresses to, so only a crafted archive
// (a few megabytes that unpack to gigabytes) reaches it, long before memory runs out. Every
// byte unpacked counts, those of the members passed over on the way to the one read included.
constexpr qint64 MaxUnpackRatio = 200;
constexpr qint64 UnpackFloor = qint64(64) << 20;

// True when the device's first bytes are those of a compressed file (gzip, bzip2, xz, zstd) or an
// archive (zip, 7z, tar). Only peeks: the device's position is unchanged.
bool IsPackedLog(QIODevice& ADevice);

// The regular files of an archive, in archive order; empty for a compressed single file. The
// whole archive is read, so a damaged one throws rather than giving part of its list.
QStringList ListArchiveMembers(const QString& AFileName);

// The unpacked bytes of a compressed file or of one archive member, streamed as a sequential
// device. Without AMember an archive must hold exactly one file. Opening throws kestrun::Exception
// with a Russian message (not an archive, damaged, no such member, several members); a fault met
// while reading (damage, unpacked size over the limit) fails the read with the message as the
// device's error string.
class TUnpackedLog final : public QIODevice, public IReadProgress, public IUnpacking
{
public:
    TUnpackedLog(const QString& AFileName, const QString& AMember = {});
    // Reads a packed stream (standard input) in one pass; an archive must hold one file only.
    explicit TUnpackedLog(QIODevice& ASource);
    ~TUnpackedLog() override;

    bool isSequential() const override { return true; }
    // How far the packed input has been read, 0..1; 0 when its size is unknown.
    double ReadFraction() const override;
    bool Damaged() const override { return FDamaged; }

protected:
    qint64 readData(char* AData, qint64 AMaxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    void Open(QIODevice& ASource, const QString& AMember);
    // ADamaged: a fault of the packed input, the text before it standing.
    qint64 Fail(const QString& AMessage, bool ADamaged = true);
    // At the end of an unnamed member: false (and failed) when the archive holds another file.
    bool CheckNoOtherMember();

    QString FName;
    std::unique_ptr<QIODevice> FOwnedSource;
    TPackedLayers FLayers;
    QString FMember;
    qint64 FPackedSize = 0;
    qint64 FUnpacked = 0;
    bool FNamedMember = false;
    bool FSingleStream = false;
    bool FEnded = false;
    bool FFailed = false;
    bool FDamaged = false;
};

// A log named on the command line or chosen in the window: a file, or "ARCHIVE:MEMBER" for one
// file inside an archive (a name that exists as a file is always taken whole).
struct TLogSource
{
    QString File;
    QString Member;
};
TLogSource ParseLogSource(const QString& AName);

// Opens a log for reading: the file itself, or its unpacked bytes when it is compressed or
// archived. Throws the file-open error for a file that cannot be opened.
std::unique_ptr<QIODevice> OpenLogSource(const QString& AName);

} // namespace kestrun
