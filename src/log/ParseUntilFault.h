// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Exception.h"
#include "LogParser.h"

#include <optional>

namespace kestrun {

// Hands lines to the parser until it raises the packet format error, then only lets the
// reading go on: a decoding fault later in the log must still win, as it does when the whole
// text is read before it is parsed.
class TParseUntilFault final : public ILogLineSink
{
public:
    explicit TParseUntilFault(TLogParser& parser) : FParser(parser) {}

    void AddLine(QByteArrayView line) override
    {
        if (!FFault)
            Guard([&] { FParser.AddLine(line); });
    }
    void AddLine(QStringView line) override
    {
        if (!FFault)
            Guard([&] { FParser.AddLine(line); });
    }
    void AddScannedLine(QByteArrayView line, const TLineMarkers& markers) override
    {
        if (!FFault)
            Guard([&] { FParser.AddScannedLine(line, markers); });
    }
    void KeepScannedLines() override { FParser.KeepScannedLines(); }
    // Rethrows the parser's error, if any.
    void Finish()
    {
        if (!FFault)
            Guard([&] { FParser.Finish(); });
        if (FFault)
            throw *FFault;
    }

private:
    template <class Step>
    void Guard(Step&& step)
    {
        try {
            step();
        } catch (const Exception& e) {
            FFault = e;
        }
    }

    TLogParser& FParser;
    std::optional<Exception> FFault;
};

} // namespace kestrun
