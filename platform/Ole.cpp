#include "Ole.h"

#include "SysUtils.h"

#include <mutex>

namespace {

constexpr TClipFormat FirstRegisteredFormat = 0xC000;

struct FormatNames {
    std::mutex lock;
    std::vector<AnsiString> names;  // index = identifier - FirstRegisteredFormat
};

FormatNames& Names()
{
    static FormatNames n;
    return n;
}

}  // namespace

TClipFormat RegisterClipboardFormatA(const AnsiString& name)
{
    if (name.empty())
        return 0;
    FormatNames& n = Names();
    std::lock_guard guard(n.lock);
    for (size_t i = 0; i < n.names.size(); ++i)
        if (SameText(n.names[i], name))
            return TClipFormat(FirstRegisteredFormat + i);
    if (n.names.size() >= size_t(0x10000 - FirstRegisteredFormat))
        return 0;
    n.names.push_back(name);
    return TClipFormat(FirstRegisteredFormat + n.names.size() - 1);
}

AnsiString GetClipboardFormatNameA(TClipFormat format)
{
    if (format < FirstRegisteredFormat)
        return {};
    FormatNames& n = Names();
    std::lock_guard guard(n.lock);
    const size_t i = format - FirstRegisteredFormat;
    return i < n.names.size() ? n.names[i] : AnsiString();
}
