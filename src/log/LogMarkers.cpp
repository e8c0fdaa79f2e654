#include "LogMarkers.h"

#include <cstring>

namespace kestrun {

namespace {

// In the order of TLogMarker.
constexpr std::string_view MarkerTexts[LogMarkerCount] = {
    "[DEBUG] TPrinterProtocol -> ",
    "[DEBUG] TPrinterProtocol2 -> ",
    "] [D] -> ",
    "com.kelmar.fiscalprinter.PrinterProtocol_1 - -> ",
    "[DEBUG] TPrinterProtocol <- ",
    "[DEBUG] TPrinterProtocol2 <- ",
    "] [D] <- ",
    "com.kelmar.fiscalprinter.PrinterProtocol_1 - <- ",
    "[ERROR] TFiscalPrinter -",
};

// Every marker holds a '-' (an arrow or the error dash). Lines are scanned for that byte only,
// and each hit is tried as the last '-' of every marker, so one memchr pass finds them all.
constexpr char Anchor = '-';

constexpr std::array<size_t, LogMarkerCount> AnchorOffsets()
{
    std::array<size_t, LogMarkerCount> offsets{};
    for (size_t m = 0; m < LogMarkerCount; ++m)
        offsets[m] = MarkerTexts[m].rfind(Anchor);
    return offsets;
}

constexpr std::array<size_t, LogMarkerCount> Offsets = AnchorOffsets();

static_assert([] {
    for (size_t offset : Offsets)
        if (offset == std::string_view::npos)
            return false;
    return true;
}());

} // namespace

std::string_view LogMarkerText(TLogMarker marker) { return MarkerTexts[static_cast<size_t>(marker)]; }

void TLineMarkers::Scan(QByteArrayView line)
{
    Reset();
    const char* const begin = line.data();
    const qsizetype size = line.size();
    size_t missing = LogMarkerCount;
    qsizetype at = 0;
    while (missing > 0 && at < size) {
        const void* hit = std::memchr(begin + at, Anchor, static_cast<size_t>(size - at));
        if (!hit)
            break;
        const qsizetype dash = static_cast<const char*>(hit) - begin;
        for (size_t m = 0; m < LogMarkerCount; ++m) {
            if (FEnd[m] >= 0)
                continue;
            const std::string_view text = MarkerTexts[m];
            const qsizetype start = dash - static_cast<qsizetype>(Offsets[m]);
            const qsizetype end = start + static_cast<qsizetype>(text.size());
            if (start < 0 || end > size || begin[start] != text[0] ||
                std::memcmp(begin + start, text.data(), text.size()) != 0)
                continue;
            FEnd[m] = end;
            --missing;
        }
        at = dash + 1;
    }
}

} // namespace kestrun
