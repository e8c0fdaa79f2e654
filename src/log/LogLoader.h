// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Command.h"

#include <QIODevice>
#include <QString>
#include <QStringList>
#include <functional>

namespace kestrun {

// The load sequence shared by the window and the command line:
// lines (file, Windows-1251 unless a BOM says otherwise, or pasted text), the ignore codes from
// the read-exclusion lines, then ParseLog into `commands`.
// Throws kestrun::Exception with the user-facing message (file open error, bad UTF-8,
// "Некорректный формат пакета" - records parsed before that error stay in `commands`; a packed
// log damaged part way raises TDamagedInput, the records of the text before the damage kept).
// Every load empties `commands` first, so after a file that cannot be opened or decoded it is
// empty, like the list view.
// `progress` (optional) is called now and then with a fraction 0..1 of the input consumed.
// A file name may name a compressed log, an archive holding one log, or "ARCHIVE:MEMBER"
// (OpenLogSource); a compressed device is unpacked too.
using TLoadProgress = std::function<void(double fraction)>;

void LoadLogFile(const QString& fileName, const QStringList& ignoreLines, TCommands& commands,
                 const TLoadProgress& progress = {});
// The same from an open device (standard input, memory); progress needs a device of known size.
void LoadLogDevice(QIODevice& device, const QStringList& ignoreLines, TCommands& commands,
                   const TLoadProgress& progress = {});
void LoadLogText(const QString& text, const QStringList& ignoreLines, TCommands& commands);

// The same load for a consumer that does not need the whole list at once: `settled` receives,
// batch by batch and in list order, every command that no later line can change any more, so
// memory stays bounded by a batch whatever the log's size. A log that cannot be decoded hands
// over nothing; after a packet format error, or damage of a packed log (TDamagedInput), the
// commands stored before it have been handed over.
using TSettledCommands = std::function<void(const TCommands& batch)>;
// How the file is read: on the calling thread, or ahead of the parser on a thread of its own,
// for a consumer that leaves the second core idle (one that only counts).
enum class TReadThread : uint8_t { rtCalling, rtAhead };
void StreamLogFile(const QString& fileName, const QStringList& ignoreLines, const TSettledCommands& settled,
                   TReadThread reading = TReadThread::rtCalling);
// The same from a device read once (standard input), unpacked when it is packed. It cannot be
// read twice, so the caller loads a UTF-8 log (which may fail to decode late) whole instead.
void StreamLogDevice(QIODevice& device, const QStringList& ignoreLines, const TSettledCommands& settled);

} // namespace kestrun
