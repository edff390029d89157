#include "uSetToString.h"

#include "SysUtils.h"

#include <gtest/gtest.h>

#include <array>

namespace {

const TTypeInfo LayoutTyp = TTypeInfo::Enumeration(
    "TFBLayoutTyp",
    {"ltPhotoBook86", "ltPhotoBook85", "ltPhotoBook46", "ltPhotoBooklet43", "ltSingles10x15",
     "ltPhotoBook88", "ltPhotoBook85Randlos", "ltDINA4", "ltDINA4Randlos", "ltSingles13x18",
     "ltPhotoBookPro", "ltPhotoBookProRandlos"});
const TTypeInfo LayoutTypen = TTypeInfo::Set("TFBLayoutTypen", LayoutTyp);

const TTypeInfo CharType = TTypeInfo::Ordinal(tkChar, "Char", 0, 255);
const TTypeInfo CharSet = TTypeInfo::Set("TSysCharSet", CharType);

// set of 10..20: bits counted from 8, two bytes.
const TTypeInfo Small = TTypeInfo::Ordinal(tkInteger, "TSmall", 10, 20);
const TTypeInfo SmallSet = TTypeInfo::Set("TSmallSet", Small);

const TTypeInfo FloatType = TTypeInfo::Ordinal(tkFloat, "Double", 0, 0);

template <typename Fn>
void ExpectConvertError(Fn fn, const AnsiString& message)
{
    try {
        fn();
        ADD_FAILURE() << "no error, expected " << message;
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message, message);
    }
}

}  // namespace

TEST(SetToString, LayoutTypesRoundTrip)
{
    EXPECT_EQ(SetSize(&LayoutTypen), 2);
    uint16_t set = (1 << 0) | (1 << 7);
    EXPECT_EQ(SetToString(&LayoutTypen, &set), "[ltPhotoBook86,ltDINA4]");
    set = 0;
    EXPECT_EQ(SetToString(&LayoutTypen, &set), "[]");
    set = 4095;
    uint16_t back = 0;
    StringToSet(SetToString(&LayoutTypen, &set), &LayoutTypen, &back);
    EXPECT_EQ(back, 4095);
    set = (1 << 1) | (1 << 11);
    EXPECT_EQ(SetToString(&LayoutTypen, &set, "; "), "[ltPhotoBook85; ltPhotoBookProRandlos]");
    EXPECT_EQ(SetToString(&LayoutTypen, &set, " ", "<", ">"),
              "<ltPhotoBook85 ltPhotoBookProRandlos>");
}

TEST(SetToString, ParsesIdentifiersBetweenAnySeparators)
{
    const struct {
        const char* text;
        uint16_t set;
    } cases[] = {
        {"[]", 0},
        {"", 0},
        {"[   ]", 0},
        {"[ltPhotoBook85, ltPhotoBook86, ltPhotoBook85]", 0b11},
        {"[ltphotobook86;LTDINA4]", (1 << 0) | (1 << 7)},
        {"  ltDINA4Randlos  ", 1 << 8},
        {"[ltPhotoBook86,,ltDINA4]", (1 << 0) | (1 << 7)},
    };
    for (const auto& c : cases) {
        uint16_t set = 0xFFFF;  // cleared first, the bits above the range too
        StringToSet(c.text, &LayoutTypen, &set);
        EXPECT_EQ(set, c.set) << c.text;
    }
    uint16_t set = 0b11;
    EXPECT_EQ(SetToString(&LayoutTypen, &set), "[ltPhotoBook86,ltPhotoBook85]");
}

TEST(SetToString, IntegerElementsUseTheirOffset)
{
    EXPECT_EQ(SetSize(&SmallSet), 2);
    std::array<uint8_t, 2> set{};
    StringToSet("[20, 10,15]", &SmallSet, set.data());
    EXPECT_EQ(set, (std::array<uint8_t, 2>{0x84, 0x10}));  // bits 2, 7 and 12 from 8 on
    EXPECT_EQ(SetToString(&SmallSet, set.data()), "[10,15,20]");

    ExpectConvertError([&] { StringToSet("[9]", &SmallSet, set.data()); },
                       "StringToSet: 9 is out of range [10..20]");
    ExpectConvertError([&] { StringToSet("[10,x]", &SmallSet, set.data()); },
                       "'x' is not a valid integer value");
}

TEST(SetToString, CharacterSets)
{
    EXPECT_EQ(SetSize(&CharSet), 32);
    std::array<uint8_t, 32> set{};
    set['A' / 8] |= 1 << ('A' % 8);
    set[10 / 8] |= 1 << (10 % 8);
    const AnsiString text = SetToString(&CharSet, set.data());
    EXPECT_EQ(text, "[#10,'A']");

    std::array<uint8_t, 32> back;
    back.fill(0xFF);
    StringToSet(text, &CharSet, back.data());
    EXPECT_EQ(back, set);

    StringToSet("[ '''' , #$41 ,'z' #200]", &CharSet, back.data());
    EXPECT_EQ(SetToString(&CharSet, back.data()), "[''','A','z',#200]");
    std::array<uint8_t, 32> again{};
    StringToSet("[''','A','z',#200]", &CharSet, again.data());
    EXPECT_EQ(again, back);
    StringToSet("[]", &CharSet, back.data());
    EXPECT_EQ(SetToString(&CharSet, back.data()), "[]");

    const TTypeInfo digits = TTypeInfo::Ordinal(tkChar, "TDigit", '0', '9');
    const TTypeInfo digitSet = TTypeInfo::Set("TDigits", digits);
    ExpectConvertError([&] { StringToSet("['5','a']", &digitSet, back.data()); },
                       "StringToSet: Character #97 is out of range [#48..#57]");
    ExpectConvertError([&] { StringToSet("['5',ab,'c']", &CharSet, back.data()); },
                       "StringToSet: Not a valid character (ab,'c'])");
    ExpectConvertError([&] { StringToSet("[#x]", &CharSet, back.data()); },
                       "StringToSet: Not a valid character (#x])");
    ExpectConvertError([&] { StringToSet("['abcdefghijklmnop']", &CharSet, back.data()); },
                       "StringToSet: Not a valid character ('abcdefghi)");
    ExpectConvertError([&] { StringToSet("[#99999999999999999999]", &CharSet, back.data()); },
                       "StringToSet: Character #4294967296 is out of range [#0..#255]");
}

TEST(SetToString, Errors)
{
    uint16_t set = 0;
    ExpectConvertError([&] { StringToSet("[ltPhotoBook86,ltA3]", &LayoutTypen, &set); },
                       "StringToSet: 'ltA3' is not a valid literal for the set type");
    EXPECT_EQ(set, 1);  // what was parsed before the error
    ExpectConvertError([&] { SetToString(&LayoutTyp, &set); },
                       "SetToString: argument must be a set type; tkEnumeration not allowed");
    ExpectConvertError([&] { StringToSet("[]", &FloatType, &set); },
                       "SetToString: argument must be a set type; tkFloat not allowed");
    EXPECT_THROW(TTypeInfo::Set("TBig", TTypeInfo::Ordinal(tkInteger, "Integer", 0, 256)),
                 EInvalidArgument);
    EXPECT_THROW(TTypeInfo::Set("TFloats", FloatType), EInvalidArgument);
}

TEST(SetToString, OrdinalConversions)
{
    const TTypeInfo integer = TTypeInfo::Ordinal(tkInteger, "Integer", INT32_MIN, INT32_MAX);
    const struct {
        const TTypeInfo* type;
        int32_t value;
        const char* text;
    } cases[] = {
        {&integer, -42, "-42"},
        {&CharType, 'A', "'A'"},
        {&CharType, ' ', "' '"},
        {&CharType, 127, "'\x7F'"},
        {&CharType, 31, "#31"},
        {&CharType, 128, "#128"},
        {&CharType, '\'', "'''"},
        {&LayoutTyp, 7, "ltDINA4"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(OrdToString(c.type, c.value), c.text) << c.value;
        EXPECT_EQ(StringToOrd(c.type, c.text), c.value) << c.text;
    }
    EXPECT_EQ(StringToOrd(&integer, "$1F"), 31);
    EXPECT_EQ(StringToOrd(&CharType, "''''"), '\'');
    EXPECT_EQ(StringToOrd(&CharType, "#$41"), 'A');
    EXPECT_EQ(StringToOrd(&LayoutTyp, "LTdina4"), 7);
    EXPECT_EQ(StringToOrd(&LayoutTyp, "ltA3"), -1);
    EXPECT_THROW(StringToOrd(&integer, "zwei"), EConvertError);
    ExpectConvertError([] { StringToOrd(&CharType, "'ab'"); },
                       "StringToOrd: Cannot convert invalid character, 'ab'");
    ExpectConvertError([] { OrdToString(&FloatType, 1); },
                       "OrdToString: type kind must be ordinal, not tkFloat");
    ExpectConvertError([] { StringToOrd(&LayoutTypen, "x"); },
                       "StringToOrd: type kind must be ordinal, not tkSet");
}
