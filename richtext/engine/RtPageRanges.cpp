#include "RtPageRanges.h"

#include "SysUtils.h"

bool ParsePageRanges(const AnsiString& Text, std::vector<TRtPageRange>& Numbers, int32_t MaxCount,
                     AnsiString& Error)
{
    Numbers.assign(size_t(std::max(MaxCount, 0)), TRtPageRange());
    Error.clear();
    int32_t used = 0;
    size_t entry = 0;
    size_t start = 0;
    while (start <= Text.size() && used < MaxCount) {
        size_t comma = Text.find(',', start);
        if (comma == AnsiString::npos)
            comma = Text.size();
        const AnsiString item = Trim(Text.substr(start, comma - start));
        start = comma + 1;
        if (item.empty())
            continue;
        const size_t dash = item.find('-');
        TRtPageRange r;
        const AnsiString first = Trim(item.substr(0, dash));
        if (!TryStrToInt(first, r.From)) {
            Error = "'" + first + "' is not a valid integer value";
            return false;
        }
        if (dash != AnsiString::npos) {
            const AnsiString second = Trim(item.substr(dash + 1));
            if (!TryStrToInt(second, r.To)) {
                Error = "'" + second + "' is not a valid integer value";
                return false;
            }
        }
        Numbers[entry++] = r;
        used += dash != AnsiString::npos ? 2 : 1;
    }
    return true;
}
