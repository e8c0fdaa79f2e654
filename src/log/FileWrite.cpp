#include "FileWrite.h"

#include "Exception.h"

#include <QSaveFile>

namespace kestrun {

void WriteFileAtomically(const QString& AFileName, const QByteArray& ABytes)
{
    // Unbuffered: a buffered write that the disk takes only in part is not reported by commit.
    QSaveFile file(AFileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw Exception(QStringLiteral("Cannot create file \"%1\". %2").arg(AFileName, file.errorString()));
    // A short write is followed by another, which fails with the system's reason.
    for (qint64 done = 0; done < ABytes.size();) {
        const qint64 written = file.write(ABytes.constData() + done, ABytes.size() - done);
        if (written <= 0)
            throw Exception(QStringLiteral("Cannot write file \"%1\". %2").arg(AFileName, file.errorString()));
        done += written;
    }
    if (!file.commit())
        throw Exception(QStringLiteral("Cannot write file \"%1\". %2").arg(AFileName, file.errorString()));
}

} // namespace kestrun
