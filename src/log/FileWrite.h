// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>

namespace kestrun {

// Replaces AFileName by ABytes as a whole or not at all: the bytes go to a temporary file beside
// it, renamed over it once all are written, so a full disk keeps the previous file. An existing
// file's permissions are kept; a link is followed to the file it names. Throws Exception
// "Cannot create file "NAME". REASON" or "Cannot write file "NAME". REASON" with the system's reason.
void WriteFileAtomically(const QString& AFileName, const QByteArray& ABytes);

// The same for a file written piece by piece: nothing replaces the file until Commit, and a
// writer destroyed without it leaves the previous file as it was.
class TAtomicFileWriter
{
public:
    explicit TAtomicFileWriter(const QString& AFileName);
    void Write(const QByteArray& ABytes);
    void Commit();

private:
    QString FFileName;
    QSaveFile FFile;
};

} // namespace kestrun
