#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

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
        // The next LF is remembered, so CR-only text does not rescan the chunk for every line.
        const Char* lf = nullptr;
        while (p < end) {
            if (!lf || lf < p)
                lf = Find(p, end, '\n');
            const Char* const eol = Find(p, lf, '\r');
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
    static const Char* Find(const Char* from, const Char* to, Char c)
    {
        if constexpr (sizeof(Char) == 1) {
            const void* hit = std::memchr(from, c, size_t(to - from));
            return hit ? static_cast<const Char*>(hit) : to;
        } else {
            return std::find(from, to, c);
        }
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
