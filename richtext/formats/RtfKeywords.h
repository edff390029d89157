#pragma once
// The RTF control words the reader knows: one process-wide table, filled once,
// read-only afterwards. Names are case-sensitive; the first registration of a
// name wins.
#include <cstddef>
#include <cstdint>
#include <string_view>

// Kinds of a keyword.
enum TRtfKeywordKind : int32_t {
    rtfkChar = 1,        // the code is the character passed on
    rtfkDestination = 2, // the code selects a destination
    rtfkProperty = 3,    // the code selects a property handler
    rtfkSpecial = 4,     // "\'" (code 2) and "\*" (code 3)
};

// Property codes beyond the table of the program's own RTF: Unicode characters.
constexpr int32_t rtfpUnicode = 200;     // "\u": one UTF-16 unit, then fallback characters
constexpr int32_t rtfpUnicodeSkip = 201; // "\uc": fallback characters after each "\u"
constexpr int32_t rtfpFootnoteNumber = 210; // "\chftn": the automatic footnote number
constexpr int32_t rtfpCodePage = 202;    // "\ansicpg", "\ansi", "\mac", "\pc", "\pca": the document's code page

// Destination code beyond the table of the program's own RTF: a field result.
constexpr int32_t rtfdFieldResult = 46;

struct TRtfKeyword {
    char Name[41];        // without the backslash, cut at 40 characters
    int32_t Default;      // parameter used without a number (always when UseDefault)
    uint8_t UseDefault;   // 1: the default replaces any number written
    int32_t Kind;         // TRtfKeywordKind
    int32_t Code;         // handler code within the kind
    int32_t NameLength;

    // The parameter a word of this entry passes on, given what was written.
    int32_t Parameter(int32_t value, bool hasValue) const;
};

// The first entry registered under the name, or null. The table is filled on
// first use (thread-safe), before any reader consults it.
const TRtfKeyword* FindRtfKeyword(std::string_view name);
int RtfKeywordCount();
const TRtfKeyword& RtfKeywordAt(int index);
