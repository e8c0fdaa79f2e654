// SPDX-License-Identifier: GPL-3.0-or-later
#include "LogText.h"

#include "Codepages.h"
#include "Command.h"
#include "LineSplitter.h"

namespace kestrun {

void TLineCollector::AddLine(QByteArrayView ALine) { FLines.append(Cp1251ToUnicode(ALine)); }

void TLineCollector::AddLine(QStringView ALine) { FLines.append(ALine.toString()); }

void FeedLogText(QStringView AText, ILogLineSink& ASink)
{
    TLineSplitter<char16_t> splitter;
    const auto add = [&ASink](std::u16string_view line) { ASink.AddLine(QStringView(line.data(), qsizetype(line.size()))); };
    splitter.Feed(AText.utf16(), size_t(AText.size()), add);
    splitter.Finish(add);
}

QStringList SplitLogText(QStringView AText)
{
    QStringList lines;
    TLineCollector collector(lines);
    FeedLogText(AText, collector);
    return lines;
}

QList<int32_t> ReadIgnoreCodes(const QStringList& ALines)
{
    QList<int32_t> codes;
    codes.reserve(ALines.size());
    for (const QString& line : ALines)
        codes.append(GetCommandCodeOfData(UnicodeToCp1251(line)));
    return codes;
}

} // namespace kestrun
