// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kestrun {

// Cuts text that arrives in chunks into lines at CR LF, lone CR or lone LF, the terminators
// dropped. A line split across chunks is carried over; a final terminator makes no empty line.
template <typename Char>
class TLineSplitter
{
public:
    using View = std::basic_string_view<Char>;

    // Calls AOnLine(View) for every line completed by this chunk.
    template <typename OnLine>
    void Feed(const Char* AData, size_t ASize, OnLine&& AOnLine)
    {
        const Char* p = AData;
        const Char* const end = AData + ASize;
        if (p == end)
            return;
        if (FSkipLf) {
            FSkipLf = false;
            if (*p == '\n')
                ++p;
        }
        while (p < end) {
            const Char* const eol = FindLineEnd(p, end);
            if (eol == end) {
                FCarry.append(p, size_t(end - p));
                return;
            }
            if (FCarry.empty()) {
                AOnLine(View(p, size_t(eol - p)));
            } else {
                FCarry.append(p, size_t(eol - p));
                AOnLine(View(FCarry));
                ClearCarry();
            }
            p = eol + 1;
            if (*eol == '\r') {
                if (p == end)
                    FSkipLf = true;
                else if (*p == '\n')
                    ++p;
            }
        }
    }

    // Hands over the last line when no terminator followed it.
    template <typename OnLine>
    void Finish(OnLine&& AOnLine)
    {
        if (!FCarry.empty()) {
            AOnLine(View(FCarry));
            ClearCarry();
        }
        FSkipLf = false;
    }

private:
    static bool IsLineEnd(Char c) { return c == '\r' || c == '\n'; }

    // The first CR or LF, or `to`: one pass for both, so neither CR-only text nor long lines
    // are read twice.
    static const Char* FindLineEnd(const Char* from, const Char* to)
    {
#if defined(__SSE2__)
        if constexpr (sizeof(Char) == 1) {
            constexpr ptrdiff_t Width = sizeof(__m128i);
            const __m128i cr = _mm_set1_epi8('\r');
            const __m128i lf = _mm_set1_epi8('\n');
            for (; to - from >= Width; from += Width) {
                const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
                const int hits = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(block, cr), _mm_cmpeq_epi8(block, lf)));
                if (hits != 0)
                    return from + __builtin_ctz(unsigned(hits));
            }
        }
#endif
        return std::find_if(from, to, IsLineEnd);
    }

    void ClearCarry()
    {
        FCarry.clear();
        if (FCarry.capacity() > (size_t(1) << 20))
            FCarry.shrink_to_fit();
    }

    std::basic_string<Char> FCarry;
    bool FSkipLf = false;
};

} // namespace kestrun
