#pragma once

#include <QByteArray>
#include <QString>

namespace kestrun {

// Replaces AFileName by ABytes as a whole or not at all: the bytes go to a temporary file beside
// it, renamed over it once all are written, so a full disk keeps the previous file. An existing
// file's permissions are kept; a link is followed to the file it names. Throws Exception
// "Cannot create file "NAME". REASON" or "Cannot write file "NAME". REASON" with the system's reason.
void WriteFileAtomically(const QString& AFileName, const QByteArray& ABytes);

} // namespace kestrun
