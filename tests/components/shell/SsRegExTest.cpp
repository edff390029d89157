#include "SsRegEx.h"

#include <gtest/gtest.h>

namespace {
bool Masks(const char* masks, const char* name, bool ignoreCase = true)
{
    TSsRegEx r;
    r.IgnoreCase = ignoreCase;
    EXPECT_TRUE(r.SetFileMasks(masks));
    TSsMatchPosition pos;
    return r.CheckString(name, pos);
}

int32_t ErrorOf(const char* pattern)
{
    TSsRegEx r;
    r.MatchPattern.Add(pattern);
    TSsMatchPosition pos;
    try {
        r.CheckString("x", pos);
    } catch (const ESsRegExError& e) {
        return e.ErrorCode;
    }
    return 0;
}

bool Pattern(const char* pattern, const char* text, TSsMatchPosition* where = nullptr)
{
    TSsRegEx r;
    r.MatchPattern.Add(pattern);
    TSsMatchPosition pos;
    const bool found = r.CheckString(text, pos);
    if (where)
        *where = pos;
    return found;
}
}  // namespace

TEST(SsRegEx, MaskToPatternIsBalanced)
{
    EXPECT_EQ(MaskToPattern("*.jpg"), "(.*\\.jpg\\n)");
    EXPECT_EQ(MaskToPattern("a?b"), "((^[a]).?b\\n)");
    EXPECT_EQ(MaskToPattern("?x"), "((^.)x\\n)");
    EXPECT_EQ(MaskToPattern("c:\\*"), "((^[c]):\\\\.*\\n)");
}

TEST(SsRegEx, FileMasks)
{
    struct Case {
        const char* masks;
        const char* name;
        bool ignoreCase;
        bool match;
    } cases[] = {
        {"*.JPG", "holiday.jpg", true, true},
        {"*.JPG", "holiday.jpg", false, false},
        {"*.jpg", "holiday.jpeg", true, false},
        {"*.jpg", "photo.jpg.txt", true, false},  // anchored at the end
        {"*.jpg;*.png", "a.png", true, true},
        {"*.jpg;*.png", "a.jpg", true, true},
        {"*.jpg;*.png", "a.gif", true, false},
        {";*.jpg", "a.gif", true, false},  // an empty first mask matches nothing
        {"a?b", "ab", true, true},
        {"a?b", "axb", true, true},
        {"a?b", "axxb", true, false},
        {"a?b", "xab", true, false},  // anchored at the start
        {"?x", "yx", true, true},
        {"img*", "IMG_0001.JPG", true, true},
        {"*", "", true, true},
        // Characters of file names that are pattern operators match themselves.
        {"a[1].jpg", "a[1].jpg", true, true},
        {"a[1].jpg", "a1.jpg", true, false},
        {"foto (1*", "foto (12).jpg", true, true},
        {"a+b|c{d}$", "a+b|c{d}$", true, true},
        {"a+b|c{d}$", "aab", true, false},
        {"^x*", "^xy", true, true},
        {"]*", "]z", true, true},
        {"-*", "-z", true, true},
        {"\\*", "\\z", true, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Masks(c.masks, c.name, c.ignoreCase), c.match) << c.masks << " / " << c.name;
    TSsRegEx r;
    EXPECT_FALSE(r.SetFileMasks(";;"));
    ASSERT_TRUE(r.SetFileMasks("*.a;*.b"));
    ASSERT_EQ(r.MatchPattern.Count(), 2);
    EXPECT_EQ(r.MatchPattern[1], "|(.*\\.b\\n)");
}

TEST(SsRegEx, Patterns)
{
    struct Case {
        const char* pattern;
        const char* text;
        bool match;
    } cases[] = {
        {"a+", "aaa", true},      {"a+", "", false},        {"^a+$", "aa", true},
        {"^a+$", "ab", false},    {"[a-c]x", "bx", true},   {"[a-c]x", "dx", false},
        {"[^a-c]", "d", true},    {"^[^a-c]", "a", false},  {"x[-]y", "x-y", true},
        {"a.c", "abc", true},     {"a.c", "ac", false},     {"\\h+", "1F", true},
        {"(ab)+c", "ababc", true}, {"(ab)+c", "c", false},  {"x|y", "y", true},
        {"ab*c", "ac", true},     {"ab*c", "abbbc", true},  {"*a", "*a", true},
        {"\\.", "a", false},      {"{a}b", "ab", true},     {"a\\w", "a,", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Pattern(c.pattern, c.text), c.match) << c.pattern << " / " << c.text;
    TSsMatchPosition pos;
    ASSERT_TRUE(Pattern("b+", "abbbc", &pos));
    EXPECT_EQ(pos.StartPos, 2);
    EXPECT_EQ(pos.EndPos, 4);
    EXPECT_EQ(pos.Length, 3);
}

TEST(SsRegEx, BadPatternsGiveTheirErrorIds)
{
    const std::pair<const char*, int32_t> cases[] = {
        {"a**", 294}, {"[ab", 291}, {"(ab", 293}, {"{ab", 296}, {"a*|b", 292},
        {"(*)*", 302}, {"(\\?)+", 302}, {"^*", 294}, {"ab)", 295}, {"a", 0}};
    for (auto [pattern, id] : cases)
        EXPECT_EQ(ErrorOf(pattern), id) << pattern;
    EXPECT_EQ(ErrorOf(""), 297);
}

TEST(SsStreamRegEx, SelectionAvoidanceAndOutput)
{
    TSsStreamRegEx e;
    TMemoryStream out;
    e.OutputStream = &out;
    e.SelAvoidPattern.Add("skip");
    e.Avoid = true;  // select lines without "skip"
    e.MatchPattern.Add("a");
    e.LineNumbers = true;
    e.OutputOptions = ooUnselected;
    TSsMatchPosition pos;
    EXPECT_FALSE(e.CheckString("skip a", pos));  // compiles both patterns
    EXPECT_TRUE(e.ProcessLine("cat\r\n", pos, false, 7));
    EXPECT_FALSE(e.ProcessLine("skip\r\n", pos, false, 8));
    EXPECT_EQ(e.LinesSelected, 1);
    EXPECT_EQ(e.LinesMatched, 1);
    const AnsiString written(reinterpret_cast<const char*>(out.Memory()), size_t(out.Size()));
    EXPECT_EQ(written, "     7  cat\r\nskip\r\n");

    TMemoryStream fixed;
    e.OutputStream = &fixed;
    e.LineNumbers = false;
    e.OutLineTerminator = ltNone;
    e.OutFixedLineLength = 5;
    e.ProcessLine("abcdefg\r\n", pos, false, 1);
    e.ProcessLine("ab\r\n", pos, false, 2);
    EXPECT_EQ(AnsiString(reinterpret_cast<const char*>(fixed.Memory()), size_t(fixed.Size())),
              "abcdeab   ");
    e.OutputOptions = ooCountOnly;
    e.OutputStream = nullptr;  // nothing is written when counting only
    EXPECT_TRUE(e.ProcessLine("a\r\n", pos, false, 3));
}

TEST(SsNodeHeap, RecyclesTokens)
{
    TSsNodeHeap heap;
    TSsToken* a = heap.New();
    a->Next = heap.New();
    a->Next->ClassText = std::make_unique<AnsiString>("xy");
    TSsToken* copy = heap.Copy(a);
    ASSERT_NE(copy->Next, a->Next);
    EXPECT_EQ(*copy->Next->ClassText, "xy");
    EXPECT_EQ(heap.Allocated(), 4u);
    heap.FreeList(copy);
    EXPECT_EQ(heap.FreeCount(), 2u);
    TSsToken* reused = heap.New();
    EXPECT_EQ(heap.Allocated(), 4u);
    EXPECT_EQ(reused->ClassText, nullptr);
    heap.Clear();
    EXPECT_EQ(heap.Allocated(), 3u);
}
