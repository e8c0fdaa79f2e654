// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CommandView.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

namespace kestrun {

// The text forms of list rows that the window copies and exports and the command line prints.

// The object `kestrun-cli list --json` prints for a row, with its line end: first the index of
// the command in the whole log, and "Data" as the window shows it. `update`: the row was printed
// before, and a later line of a followed log changed it.
void AppendJsonRow(QByteArray& out, int index, const TCommandRow& row, bool update = false);

enum class TRowFormat {
    rfTabs,      // time, thread, command and data, tab-separated, one line per row
    rfCsv,       // UTF-8 with a byte-order mark, a header line, CR LF lines
    rfJsonLines, // one `list --json` object per line
};

// What comes before the rows: the CSV's byte-order mark and header line; nothing for the others.
QByteArray RowsHeader(TRowFormat format);
// One row in the format, appended to `out`; `index` is the command's in the whole log.
void AppendRowText(QByteArray& out, TRowFormat format, int index, const TCommandRow& row);

// The row of the command at an index.
using TRowOf = std::function<TCommandRow(int index)>;
// The rows of the commands at `indexes`, in the format; UTF-8.
QByteArray RowsText(TRowFormat format, const QList<int>& indexes, const TRowOf& rowOf);
// Replaces the file as a whole or not at all (WriteFileAtomically); throws kestrun::Exception
// naming the file and the reason when it cannot be created or written.
void SaveRows(const QString& fileName, TRowFormat format, const QList<int>& indexes, const TRowOf& rowOf);

} // namespace kestrun
