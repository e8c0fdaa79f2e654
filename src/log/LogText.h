// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "LogLineSink.h"

#include <QList>
#include <QStringList>
#include <cstdint>

namespace kestrun {

// Collects the lines of a log as Unicode strings.
class TLineCollector final : public ILogLineSink
{
public:
    explicit TLineCollector(QStringList& ALines) : FLines(ALines) {}
    void AddLine(QByteArrayView ALine) override;
    void AddLine(QStringView ALine) override;

private:
    QStringList& FLines;
};

// Pasted text split at CR LF, lone CR or lone LF; no empty line for a final terminator.
void FeedLogText(QStringView AText, ILogLineSink& ASink);
QStringList SplitLogText(QStringView AText);

// One command code per read-exclusion line, each line read as hex text ("FF 0A" and "FF0A" give
// FF0A); an empty or non-hex line gives 0. Duplicates and order are kept.
QList<int32_t> ReadIgnoreCodes(const QStringList& ALines);

} // namespace kestrun
