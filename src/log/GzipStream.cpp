// SPDX-License-Identifier: GPL-3.0-or-later
#include "GzipStream.h"

#include <QByteArray>
#include <zlib.h>

namespace kestrun {

namespace {

constexpr qsizetype InputChunk = qsizetype(64) << 10;
// 15-bit window, gzip wrapper only.
constexpr int GzipWindowBits = 15 + 16;

} // namespace

struct TGzipStream::TState
{
    z_stream Stream = {};
    QByteArray Input = QByteArray(InputChunk, Qt::Uninitialized);
    bool SourceEnded = false;
};

bool StartsWithGzip(QIODevice& ADevice) { return ADevice.peek(2) == QByteArrayView("\x1F\x8B", 2); }

TGzipStream::TGzipStream(QIODevice& ASource) : FSource(ASource), FState(std::make_unique<TState>())
{
    inflateInit2(&FState->Stream, GzipWindowBits);
    QIODevice::open(QIODevice::ReadOnly);
}

TGzipStream::~TGzipStream() { inflateEnd(&FState->Stream); }

qint64 TGzipStream::Fail(const QString& AReason)
{
    FFailed = true;
    setErrorString(QStringLiteral("%1 (после %2 байт текста)").arg(AReason).arg(FUnpacked));
    return -1;
}

bool TGzipStream::FillInput()
{
    z_stream& z = FState->Stream;
    if (z.avail_in > 0 || FState->SourceEnded)
        return true;
    const qint64 n = FSource.read(FState->Input.data(), FState->Input.size());
    if (n < 0) {
        Fail(FSource.errorString());
        return false;
    }
    FState->SourceEnded = n == 0;
    FPackedRead += n;
    z.next_in = reinterpret_cast<Bytef*>(FState->Input.data());
    z.avail_in = uInt(n);
    return true;
}

namespace {

QString DataErrorReason(const char* message)
{
    const QByteArrayView reason = message ? QByteArrayView(message) : QByteArrayView();
    if (reason == "incorrect data check")
        return QStringLiteral("неверная контрольная сумма");
    if (reason == "incorrect length check")
        return QStringLiteral("неверная длина");
    return QStringLiteral("данные испорчены");
}

} // namespace

qint64 TGzipStream::readData(char* AData, qint64 AMaxSize)
{
    if (FFailed)
        return -1;
    if (AMaxSize <= 0)
        return 0;
    // A fault met after some bytes of a call is reported by the next call, so those bytes count.
    if (!FPendingFault.isEmpty())
        return Fail(FPendingFault);
    z_stream& z = FState->Stream;
    z.next_out = reinterpret_cast<Bytef*>(AData);
    z.avail_out = uInt(qMin<qint64>(AMaxSize, 1 << 30));
    qint64 produced = 0;
    QString fault;
    while (!FEnded && produced == 0 && fault.isEmpty()) {
        if (!FillInput())
            return produced > 0 ? produced : -1;
        if (z.avail_in == 0 && FState->SourceEnded) {
            fault = QStringLiteral("данные оборваны");
            break;
        }
        const uInt room = z.avail_out;
        const int result = inflate(&z, Z_NO_FLUSH);
        produced += qint64(room - z.avail_out);
        if (result == Z_STREAM_END) {
            // Another member may follow; what else follows a member is left unread, as gzip does.
            if (!FillInput())
                break;
            if (z.avail_in >= 2 && z.next_in[0] == 0x1F && z.next_in[1] == 0x8B)
                inflateReset(&z);
            else
                FEnded = true;
        } else if (result == Z_DATA_ERROR) {
            fault = DataErrorReason(z.msg);
        } else if (result != Z_OK && result != Z_BUF_ERROR) {
            fault = QStringLiteral("данные испорчены");
        }
    }
    FUnpacked += produced;
    if (fault.isEmpty())
        return produced;
    if (produced > 0) {
        FPendingFault = fault;
        return produced;
    }
    return Fail(fault);
}

} // namespace kestrun
