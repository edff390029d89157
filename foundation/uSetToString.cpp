#include "uSetToString.h"

#include "SysUtils.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

bool IsIdentChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           c == '_';
}

bool IsBlank(char c)
{
    return uint8_t(c) <= 32;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

void RequireSetType(const TTypeInfo* info)
{
    if (info->Kind != tkSet)
        throw EConvertError(Format("SetToString: argument must be a set type; %s not allowed",
                                   {TypeKindName(info->Kind)}));
}

// First bit of a set value and its element range.
struct SetLayout {
    const TTypeInfo* element;
    int32_t base;
    int32_t min;
    int32_t max;
};

SetLayout LayoutOf(const TTypeInfo* setInfo)
{
    const TTypeInfo* element = setInfo->CompType;
    return {element, element->MinValue / 8 * 8, element->MinValue, element->MaxValue};
}

void Include(const SetLayout& layout, uint8_t* bits, int32_t v)
{
    const int32_t bit = v - layout.base;
    bits[bit / 8] |= uint8_t(1u << (bit % 8));
}

bool Contains(const SetLayout& layout, const uint8_t* bits, int32_t v)
{
    const int32_t bit = v - layout.base;
    return (bits[bit / 8] >> (bit % 8)) & 1;
}

// Identifiers and numbers; any other character separates them.
void ParseOrdinals(const AnsiString& text, const SetLayout& layout, uint8_t* bits)
{
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        while (i < n && IsBlank(text[i]))
            ++i;
        if (i < n && !IsIdentChar(text[i]))
            ++i;
        while (i < n && IsBlank(text[i]))
            ++i;
        const size_t start = i;
        while (i < n && IsIdentChar(text[i]))
            ++i;
        if (i == start)
            continue;
        const AnsiString token = text.substr(start, i - start);
        const int32_t v = StringToOrd(layout.element, token);
        if (v < 0)
            throw EConvertError(Format("StringToSet: %s is not a valid literal for the set type",
                                       {AnsiString("'").append(token).append("'")}));
        if (v < layout.min || v > layout.max)
            throw EConvertError(Format("StringToSet: %0:d is out of range [%1:d..%2:d]",
                                       {v, layout.min, layout.max}));
        Include(layout, bits, v);
    }
}

// Characters as 'c' (the quote itself as ''' or ''''), #n or #$hex; one other
// character between them separates.
void ParseCharacters(const AnsiString& text, const SetLayout& layout, uint8_t* bits)
{
    constexpr int64_t kCap = int64_t(1) << 32;  // keeps long digit runs from overflowing
    const size_t n = text.size();
    size_t i = 0;
    auto skipBlanks = [&] {
        while (i < n && IsBlank(text[i]))
            ++i;
    };
    auto isElementStart = [&](size_t at) { return text[at] == '#' || text[at] == '\''; };
    for (;;) {
        skipBlanks();
        if (i < n && !isElementStart(i))
            ++i;
        skipBlanks();
        if (i >= n)
            break;
        if (!isElementStart(i)) {
            // A separator followed by nothing but blanks closes the text, so
            // that "[]" and "['A',]" parse.
            size_t j = i + 1;
            while (j < n && IsBlank(text[j]))
                ++j;
            if (j >= n)
                break;
        }
        const size_t start = i;
        int64_t code = -1;
        if (text[i] == '#') {
            ++i;
            const bool hex = i < n && text[i] == '$';
            if (hex)
                ++i;
            int64_t v = 0;
            const size_t digits = i;
            while (i < n && (hex ? HexDigit(text[i]) >= 0 : (text[i] >= '0' && text[i] <= '9'))) {
                v = std::min(v * (hex ? 16 : 10) + (hex ? HexDigit(text[i]) : text[i] - '0'), kCap);
                ++i;
            }
            if (i > digits)
                code = v;
        } else if (text[i] == '\'') {
            if (i + 3 < n && text.compare(i, 4, "''''") == 0) {
                code = '\'';
                i += 4;
            } else if (i + 2 < n && text[i + 2] == '\'') {
                code = uint8_t(text[i + 1]);
                i += 3;
            }
        }
        if (code < 0)
            throw EConvertError(Format("StringToSet: Not a valid character (%.10s)",
                                       {text.substr(start)}));
        if (code < layout.min || code > layout.max)
            throw EConvertError(
                Format("StringToSet: Character #%0:d is out of range [#%1:d..#%2:d]",
                       {code, layout.min, layout.max}));
        Include(layout, bits, int32_t(code));
    }
}

}  // namespace

AnsiString TypeKindName(TTypeKind Kind)
{
    static const char* const names[] = {
        "tkUnknown", "tkInteger", "tkChar",   "tkEnumeration", "tkFloat", "tkString",
        "tkSet",     "tkClass",   "tkMethod", "tkWChar",       "tkLString", "tkWString",
        "tkVariant", "tkArray",   "tkRecord", "tkInterface",   "tkInt64", "tkDynArray"};
    const int k = int(Kind);
    return k >= 0 && k < int(std::size(names)) ? names[k] : IntToStr(k);
}

TTypeInfo TTypeInfo::Enumeration(AnsiString Name, std::initializer_list<const char*> Names)
{
    TTypeInfo t;
    t.Kind = tkEnumeration;
    t.Name = std::move(Name);
    for (const char* s : Names)
        t.NameList.emplace_back(s);
    t.MinValue = 0;
    t.MaxValue = int32_t(t.NameList.size()) - 1;
    return t;
}

TTypeInfo TTypeInfo::Ordinal(TTypeKind Kind, AnsiString Name, int32_t MinValue, int32_t MaxValue)
{
    TTypeInfo t;
    t.Kind = Kind;
    t.Name = std::move(Name);
    t.MinValue = MinValue;
    t.MaxValue = MaxValue;
    return t;
}

TTypeInfo TTypeInfo::Set(AnsiString Name, const TTypeInfo& ElementType)
{
    const TTypeKind k = ElementType.Kind;
    if (k != tkInteger && k != tkChar && k != tkWChar && k != tkEnumeration && k != tkInt64)
        throw EInvalidArgument(Format("Set element type must be ordinal, not %s",
                                      {TypeKindName(k)}));
    if (ElementType.MinValue < 0 || ElementType.MaxValue > 255 ||
        ElementType.MinValue > ElementType.MaxValue)
        throw EInvalidArgument(Format("Set element range %d..%d is not within 0..255",
                                      {ElementType.MinValue, ElementType.MaxValue}));
    TTypeInfo t;
    t.Kind = tkSet;
    t.Name = std::move(Name);
    t.CompType = &ElementType;
    return t;
}

int32_t SetSize(const TTypeInfo* SetTypeInfo)
{
    RequireSetType(SetTypeInfo);
    const TTypeInfo* e = SetTypeInfo->CompType;
    return e->MaxValue / 8 - e->MinValue / 8 + 1;
}

AnsiString OrdToString(const TTypeInfo* TypeInfo, int32_t Value)
{
    switch (TypeInfo->Kind) {
    case tkInteger:
    case tkInt64:
        return IntToStr(Value);
    case tkChar:
    case tkWChar:
        if (Value >= 32 && Value <= 127)
            return AnsiString{'\'', char(Value), '\''};
        return AnsiString("#").append(IntToStr(Value));
    case tkEnumeration:
        if (Value >= 0 && Value < int32_t(TypeInfo->NameList.size()))
            return TypeInfo->NameList[size_t(Value)];
        return IntToStr(Value);
    default:
        throw EConvertError(Format("OrdToString: type kind must be ordinal, not %s",
                                   {TypeKindName(TypeInfo->Kind)}));
    }
}

int32_t StringToOrd(const TTypeInfo* TypeInfo, const AnsiString& Text)
{
    switch (TypeInfo->Kind) {
    case tkInteger:
        return StrToInt(Text);
    case tkInt64:
        return int32_t(StrToInt64(Text));
    case tkChar:
    case tkWChar:
        if (!Text.empty() && Text[0] == '#')
            return StrToInt(Text.substr(1));
        if (Text.size() == 3 && Text[0] == '\'' && Text[2] == '\'')
            return uint8_t(Text[1]);
        if (Text == "''''")
            return '\'';
        throw EConvertError(Format("StringToOrd: Cannot convert invalid character, %s", {Text}));
    case tkEnumeration:
        for (size_t v = 0; v < TypeInfo->NameList.size(); ++v)
            if (SameText(TypeInfo->NameList[v], Text))
                return int32_t(v);
        return -1;
    default:
        throw EConvertError(Format("StringToOrd: type kind must be ordinal, not %s",
                                   {TypeKindName(TypeInfo->Kind)}));
    }
}

AnsiString SetToString(const TTypeInfo* SetTypeInfo, const void* SetValue,
                       const AnsiString& Separator, const AnsiString& Prefix,
                       const AnsiString& Suffix)
{
    RequireSetType(SetTypeInfo);
    const SetLayout layout = LayoutOf(SetTypeInfo);
    const auto* bits = static_cast<const uint8_t*>(SetValue);
    AnsiString result = Prefix;
    bool first = true;
    for (int32_t v = layout.min; v <= layout.max; ++v) {
        if (!Contains(layout, bits, v))
            continue;
        if (!first)
            result += Separator;
        result += OrdToString(layout.element, v);
        first = false;
    }
    return result + Suffix;
}

void StringToSet(const AnsiString& Text, const TTypeInfo* SetTypeInfo, void* SetValue)
{
    RequireSetType(SetTypeInfo);
    auto* bits = static_cast<uint8_t*>(SetValue);
    std::memset(bits, 0, size_t(SetSize(SetTypeInfo)));
    const SetLayout layout = LayoutOf(SetTypeInfo);
    if (layout.element->Kind == tkChar || layout.element->Kind == tkWChar)
        ParseCharacters(Text, layout, bits);
    else
        ParseOrdinals(Text, layout, bits);
}
