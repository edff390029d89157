#pragma once
// The page list of the editor's printing: "1,3-5" as single pages and
// from-to pairs.
#include "AnsiString.h"

#include <cstdint>
#include <vector>

struct TRtPageRange {
    int32_t From = 0;
    int32_t To = 0;      // 0 for a single page
    bool operator==(const TRtPageRange&) const = default;
};

// Splits Text at commas into MaxCount entries (all 0 first): "a-b" gives the
// pair (a, b) and counts two numbers towards MaxCount, "a" gives (a, 0) and
// counts one; items beyond MaxCount are ignored, blank items skipped. An item
// that is not a number ("x", "3-") refuses the whole text: False, with the
// conversion's message in Error.
bool ParsePageRanges(const AnsiString& Text, std::vector<TRtPageRange>& Numbers, int32_t MaxCount,
                     AnsiString& Error);
