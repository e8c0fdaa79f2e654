// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIODevice>
#include <QString>
#include <memory>

namespace kestrun {

// The unpacked bytes of a gzip stream (members one after another), as a sequential device. Each
// member's checksum and length are checked at its end; a damaged or cut stream fails the read
// after every byte unpacked before the fault, with a Russian reason as the error string.
class TGzipStream final : public QIODevice
{
public:
    explicit TGzipStream(QIODevice& ASource);
    ~TGzipStream() override;

    bool isSequential() const override { return true; }
    // Bytes of the packed stream taken so far.
    qint64 PackedRead() const { return FPackedRead; }

protected:
    qint64 readData(char* AData, qint64 AMaxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    struct TState;
    qint64 Fail(const QString& AReason);
    bool FillInput();

    QIODevice& FSource;
    std::unique_ptr<TState> FState;
    qint64 FPackedRead = 0;
    qint64 FUnpacked = 0;
    QString FPendingFault;
    bool FEnded = false;
    bool FFailed = false;
};

// Whether the device's first bytes are a gzip header. Only peeks.
bool StartsWithGzip(QIODevice& ADevice);

} // namespace kestrun
