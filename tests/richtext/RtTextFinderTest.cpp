#include "RtTestSupport.h"
#include "RtTextFinder.h"

namespace {

class TextFinder : public RtTextTest {
protected:
    void Fill(const std::vector<std::string>& P)
    {
        FillText(Text, P);
        Finder.SetText(&Text);
    }
    // The attribute of character Pos of paragraph Par (one-line paragraphs).
    TAttr& AttrAt(int32_t Par, int32_t Pos) { return Text.GetParByIndex(Par)->Lines->Attrs[Pos]; }
    TRtTextFinder Finder;
};

TEST_F(TextFinder, WildcardSplitsIntoHeadAndTail)
{
    Fill({"abcd"});
    Finder.Wildcard = '*';
    ASSERT_TRUE(Finder.FindNext("b*d"));
    EXPECT_EQ(Finder.GetFoundPosition(), 1);
    EXPECT_EQ(Finder.GetFoundLength(), 3);
    AnsiString s;
    Finder.GetFoundText(s);
    EXPECT_EQ(s, "bcd");
}

TEST_F(TextFinder, WholeWordsCaseAndPositionsOverParagraphs)
{
    struct Case {
        std::vector<std::string> Pars;
        const char* Pattern;
        bool WholeWord, MatchCase;
        int32_t Position;  // -1: not found
    };
    const Case cases[] = {
        {{"concat"}, "cat", true, false, -1},
        {{"concat cat"}, "cat", true, false, 7},
        {{"concat"}, "cat", false, false, 3},
        {{"xabc"}, "ABC", false, false, 1},
        {{"xabc"}, "ABC", false, true, -1},
        {{"x\xC4rger"}, "\xE4r", false, false, 1},  // lower case of the code page
        {{"one", "two", "three"}, "three", false, false, 8},
        {{"one", "two", "three"}, "one", true, false, 0},
    };
    for (const Case& c : cases) {
        Fill(c.Pars);
        Finder.WholeWord = c.WholeWord;
        Finder.MatchCase = c.MatchCase;
        const bool found = Finder.FindNext(c.Pattern);
        EXPECT_EQ(found ? Finder.GetFoundPosition() : -1, c.Position) << c.Pattern;
    }
}

TEST_F(TextFinder, AttributeMaskRequiresTheStyleAndTheObjectId)
{
    Fill({"aaa"});
    AttrAt(0, 2).Style.Include(afsBold);
    Finder.AttrMask = fmBold;
    ASSERT_TRUE(Finder.FindNext("a"));
    EXPECT_EQ(Finder.GetFoundPosition(), 2);
    EXPECT_TRUE(Finder.FoundAttr.Style.Has(afsBold));
    EXPECT_FALSE(Finder.FindNext("a"));

    Fill({"\x01\x01"});
    AttrAt(0, 0).Style.Include(afsIsObject);
    AttrAt(0, 0).Tag = 4;
    AttrAt(0, 1).Style.Include(afsIsObject);
    AttrAt(0, 1).Tag = 7;
    Finder.AttrMask = fmObject;
    Finder.CompareObjectId = 7;
    ASSERT_TRUE(Finder.FindNext("\x01"));
    EXPECT_EQ(Finder.GetFoundPosition(), 1);
}

TEST_F(TextFinder, SkippedStylesAreSteppedOver)
{
    Fill({"abXc"});
    AttrAt(0, 2).Style.Include(afsHidden);
    Finder.SkipStyles = WrtStyle{afsHidden};
    ASSERT_TRUE(Finder.FindNext("abc"));
    EXPECT_EQ(Finder.GetFoundPosition(), 0);
    EXPECT_EQ(Finder.GetFoundLength(), 4);
}

TEST_F(TextFinder, WordMatchKeepsApostrophesAndFindsWordsInOrder)
{
    Fill({"  foo, bar's end"});
    Finder.Wildcard = '*';
    Finder.WordEnd = ' ';
    std::vector<std::pair<int32_t, int32_t>> words;
    while (Finder.FindNext("*"))
        words.emplace_back(Finder.GetFoundPosition(), Finder.GetFoundLength());
    EXPECT_EQ(words, (std::vector<std::pair<int32_t, int32_t>>{{2, 3}, {7, 5}, {13, 3}}));
}

TEST_F(TextFinder, FindPriorStartsOneBeforeTheLastMatch)
{
    Fill({"ab ab", "ab"});
    std::vector<int32_t> forward, backward;
    while (Finder.FindNext("ab"))
        forward.push_back(Finder.GetFoundPosition());
    EXPECT_EQ(forward, (std::vector<int32_t>{0, 3, 6}));
    Finder.SetPosition(6);
    Finder.FoundLength = 0;
    // From the match at 6 backwards.
    ASSERT_TRUE(Finder.FindNext("ab"));
    while (Finder.FindPrior("ab"))
        backward.push_back(Finder.GetFoundPosition());
    EXPECT_EQ(backward, (std::vector<int32_t>{3, 0}));
    EXPECT_FALSE(Finder.Found);
}

TEST_F(TextFinder, SearchPastTheEndFindsNothing)
{
    Fill({"abc"});
    Finder.SetPosition(100);
    EXPECT_FALSE(Finder.FindNext("a"));
    EXPECT_EQ(Finder.GetFoundPosition(), 0);
}

TEST_F(TextFinder, ReplaceAllDoesNotSearchTheInsertedText)
{
    Fill({"aaa", "xa"});
    EXPECT_EQ(Finder.ReplaceAll("a", "aa"), 4);
    EXPECT_EQ(Pars(Text), (std::vector<std::string>{"aaaaaa", "xaa"}));
    EXPECT_EQ(Finder.LastReplaceText, "aa");

    Fill({"a-b-c"});
    EXPECT_EQ(Finder.ReplaceAll("-", ""), 2);
    EXPECT_EQ(Pars(Text), (std::vector<std::string>{"abc"}));
}

TEST_F(TextFinder, ReplaceAllStopsWhenCancelledFromTheEventLoop)
{
    Fill({std::string(100, 'a')});
    int polls = 0;
    Finder.OnPollEvents = [&] {
        ++polls;
        Finder.CancelRequested = true;
    };
    EXPECT_EQ(Finder.ReplaceAll("a", "b"), 30);
    EXPECT_EQ(polls, 1);
    EXPECT_EQ(ParString(Text.FirstPar), std::string(30, 'b') + std::string(70, 'a'));
}

TEST_F(TextFinder, ProtectedTextIsNotReplaced)
{
    Fill({"a a"});
    Text.ProtectOptions.Include(ppProtected);
    AttrAt(0, 0).Style.Include(afsProtected);
    EXPECT_EQ(Finder.ReplaceAll("a", "b"), 1);
    EXPECT_EQ(ParString(Text.FirstPar), "a b");
}

TEST_F(TextFinder, LongPatternsAreCutTo255)
{
    Fill({std::string(300, 'x')});
    ASSERT_TRUE(Finder.FindNext(AnsiString(400, 'x')));
    EXPECT_EQ(Finder.GetFoundLength(), 255);
}

} // namespace
