#pragma once
// Sets of ordinal values as text ("[ltPhotoBook86,ltDINA4]") and back, driven by
// a run-time description of the set type, plus the conversion of single
// ordinal values that both directions use.
#include "AnsiString.h"

#include <cstdint>
#include <initializer_list>
#include <vector>

// Kinds of run-time type descriptions, named as the class library names them.
enum TTypeKind {
    tkUnknown, tkInteger, tkChar, tkEnumeration, tkFloat, tkString, tkSet, tkClass,
    tkMethod, tkWChar, tkLString, tkWString, tkVariant, tkArray, tkRecord, tkInterface,
    tkInt64, tkDynArray
};

// "tkEnumeration" etc.
AnsiString TypeKindName(TTypeKind Kind);

// Run-time description of a type. Ordinal types carry their range, enumerations
// the identifiers of their values (indexed by ordinal), sets their element type.
struct TTypeInfo {
    TTypeKind Kind = tkUnknown;
    AnsiString Name;
    int32_t MinValue = 0;
    int32_t MaxValue = 0;
    std::vector<AnsiString> NameList;
    const TTypeInfo* CompType = nullptr;

    // An enumeration with the values 0 .. Names.size()-1.
    static TTypeInfo Enumeration(AnsiString Name, std::initializer_list<const char*> Names);
    // An integer or character type (or a subrange of one).
    static TTypeInfo Ordinal(TTypeKind Kind, AnsiString Name, int32_t MinValue, int32_t MaxValue);
    // A set of the given element type, whose values lie within 0..255.
    static TTypeInfo Set(AnsiString Name, const TTypeInfo& ElementType);
};

// Bytes of a set value of the given set type: (max div 8) - (min div 8) + 1;
// bit (v - B) stands for element v, B being min rounded down to a multiple of 8.
int32_t SetSize(const TTypeInfo* SetTypeInfo);

// The names of the contained elements in ascending order between the brackets,
// joined by the separator. SetValue points at SetSize bytes.
AnsiString SetToString(const TTypeInfo* SetTypeInfo, const void* SetValue,
                       const AnsiString& Separator = ",", const AnsiString& Prefix = "[",
                       const AnsiString& Suffix = "]");
// Clears the set value and includes every element named in the text.
void StringToSet(const AnsiString& Text, const TTypeInfo* SetTypeInfo, void* SetValue);

// One ordinal value as text: decimal, 'c' or #n, or the identifier.
AnsiString OrdToString(const TTypeInfo* TypeInfo, int32_t Value);
// The inverse; -1 for an unknown enumeration identifier.
int32_t StringToOrd(const TTypeInfo* TypeInfo, const AnsiString& Text);
