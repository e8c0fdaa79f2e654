// SPDX-License-Identifier: GPL-3.0-or-later
#include "LogMarkers.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace kestrun {

namespace {

// Every marker holds a '-' (an arrow or the error dash). Lines are scanned for that byte only,
// and each hit is tried as the last '-' of the markers that can end there, so one memchr pass finds
// them all.
constexpr char Anchor = '-';

constexpr std::array<size_t, LogMarkerCount> AnchorOffsets()
{
    std::array<size_t, LogMarkerCount> offsets{};
    for (size_t m = 0; m < LogMarkerCount; ++m)
        offsets[m] = LogMarkerText(TLogMarker(m)).rfind(Anchor);
    return offsets;
}

constexpr std::array<size_t, LogMarkerCount> Offsets = AnchorOffsets();

static_assert([] {
    for (size_t offset : Offsets)
        if (offset == std::string_view::npos)
            return false;
    return true;
}());

// The markers a dash can belong to, told by the line around it: whether an answer arrow's head
// stands before the dash, and the character before the arrow or the blank in front of the dash.
// Every marker differs there from the others, so a dash is mostly compared with one marker.
using TMarkerSet = uint16_t;
static_assert(LogMarkerCount <= 16);

constexpr char AnswerHead = '<';

// The place of the telling character, from the dash back.
constexpr qsizetype KeyDistance(bool answerHead) { return answerHead ? 3 : 2; }

constexpr std::array<std::array<TMarkerSet, 256>, 2> MarkersByKey = [] {
    std::array<std::array<TMarkerSet, 256>, 2> table{};
    for (size_t m = 0; m < LogMarkerCount; ++m) {
        const std::string_view text = LogMarkerText(TLogMarker(m));
        const bool answerHead = text[Offsets[m] - 1] == AnswerHead;
        const char key = text[Offsets[m] - size_t(KeyDistance(answerHead))];
        table[answerHead][static_cast<unsigned char>(key)] |= TMarkerSet(1u << m);
    }
    return table;
}();

static_assert([] {
    for (size_t offset : Offsets)
        if (offset < size_t(KeyDistance(true)))
            return false;
    return true;
}(), "every marker has its telling character before its dash");

} // namespace

void TLineMarkers::Scan(QByteArrayView line)
{
    Reset();
    const char* const begin = line.data();
    const qsizetype size = line.size();
    TMarkerSet missing = TMarkerSet((1u << LogMarkerCount) - 1);
    qsizetype at = 0;
    while (missing != 0 && at < size) {
        const void* hit = std::memchr(begin + at, Anchor, static_cast<size_t>(size - at));
        if (!hit)
            break;
        const qsizetype dash = static_cast<const char*>(hit) - begin;
        at = dash + 1;
        const bool answerHead = dash > 0 && begin[dash - 1] == AnswerHead;
        const qsizetype key = dash - KeyDistance(answerHead);
        if (key < 0)
            continue;
        for (unsigned candidates = MarkersByKey[answerHead][static_cast<unsigned char>(begin[key])] & missing;
             candidates != 0; candidates &= candidates - 1) {
            const auto m = static_cast<size_t>(std::countr_zero(candidates));
            const std::string_view text = LogMarkerText(TLogMarker(m));
            const qsizetype start = dash - static_cast<qsizetype>(Offsets[m]);
            const qsizetype end = start + static_cast<qsizetype>(text.size());
            if (start < 0 || end > size || std::memcmp(begin + start, text.data(), text.size()) != 0)
                continue;
            FEnd[m] = end;
            missing &= TMarkerSet(~(1u << m));
        }
    }
}

} // namespace kestrun
