#include "LogMarkers.h"

#include <array>
#include <cstring>
#include <span>

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

// The markers a dash can belong to, told by its neighbours: a request arrow's head after it, an
// answer arrow's head before it, or neither for the error dash, which ends its marker and may be
// followed by anything. Most dashes in a line then need one comparison instead of nine.
constexpr TLogMarker RequestCandidates[] = {TLogMarker::lmRequest1, TLogMarker::lmRequest2, TLogMarker::lmRequestNg,
                                            TLogMarker::lmRequestJpos, TLogMarker::lmDriverError};
constexpr TLogMarker AnswerCandidates[] = {TLogMarker::lmAnswer1, TLogMarker::lmAnswer2, TLogMarker::lmAnswerNg,
                                           TLogMarker::lmAnswerJpos, TLogMarker::lmDriverError};
constexpr TLogMarker ErrorCandidates[] = {TLogMarker::lmDriverError};

constexpr std::span<const TLogMarker> Candidates(char before, char after)
{
    if (after == '>')
        return RequestCandidates;
    if (before == '<')
        return AnswerCandidates;
    return ErrorCandidates;
}

static_assert([] {
    for (size_t m = 0; m < LogMarkerCount; ++m) {
        const std::string_view text = MarkerTexts[m];
        const char before = Offsets[m] > 0 ? text[Offsets[m] - 1] : ' ';
        const bool endsInDash = Offsets[m] + 1 == text.size();
        // A marker that ends in its dash must be tried whatever follows it.
        for (char after : endsInDash ? std::string_view("> ") : text.substr(Offsets[m] + 1, 1)) {
            bool tried = false;
            for (TLogMarker candidate : Candidates(before, after))
                tried = tried || static_cast<size_t>(candidate) == m;
            if (!tried)
                return false;
        }
    }
    return true;
}(), "every marker is tried at its dash");

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
        const char before = dash > 0 ? begin[dash - 1] : '\0';
        const char after = dash + 1 < size ? begin[dash + 1] : '\0';
        for (TLogMarker marker : Candidates(before, after)) {
            const auto m = static_cast<size_t>(marker);
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
