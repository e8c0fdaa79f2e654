// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileWrite.h"

#include "Exception.h"

#include <QSaveFile>

namespace kestrun {

TAtomicFileWriter::TAtomicFileWriter(const QString& AFileName) : FFileName(AFileName), FFile(AFileName)
{
    // Unbuffered: a buffered write that the disk takes only in part is not reported by commit.
    if (!FFile.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw Exception(QStringLiteral("Cannot create file \"%1\". %2").arg(FFileName, FFile.errorString()));
}

void TAtomicFileWriter::Write(const QByteArray& ABytes)
{
    // A short write is followed by another, which fails with the system's reason.
    for (qint64 done = 0; done < ABytes.size();) {
        const qint64 written = FFile.write(ABytes.constData() + done, ABytes.size() - done);
        if (written <= 0)
            throw Exception(QStringLiteral("Cannot write file \"%1\". %2").arg(FFileName, FFile.errorString()));
        done += written;
    }
}

void TAtomicFileWriter::Commit()
{
    if (!FFile.commit())
        throw Exception(QStringLiteral("Cannot write file \"%1\". %2").arg(FFileName, FFile.errorString()));
}

void WriteFileAtomically(const QString& AFileName, const QByteArray& ABytes)
{
    TAtomicFileWriter file(AFileName);
    file.Write(ABytes);
    file.Commit();
}

} // namespace kestrun
