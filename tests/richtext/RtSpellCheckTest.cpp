#include "RtSpellCheck.h"
#include "RtTestSupport.h"

#include <set>

namespace {

// A checker over a word list of its own; "hyphenation" breaks after "hyp" and "hyphe".
class SpellCheck : public RtTextTest {
protected:
    SpellCheck()
    {
        Setup.OnSpellCheckWord = [this](TObject*, const AnsiString& Word, TSpellCheckResult& R,
                                        TSpellCheckHyphen& H) {
            Asked.push_back(Word);
            if (Word == "skip")
                return;  // leaves spIgnored
            R = Known.count(Word) ? TSpellCheckResult() : TSpellCheckResult{spMisSpelled};
            if (Word == "hyphenation") {
                R.Include(spHyphenate);
                H = {3, 6};
            }
        };
    }
    bool Check(bool Force = false) { return RtSpellCheckWords(Text, Text.FirstPar, Force, Setup, Pending); }
    // One letter per character: m misspelled, c checked only, - neither; h hyphen mark.
    std::string Marks() const
    {
        std::string s;
        for (const TLine* l = Text.FirstPar->Lines; l; l = l->Next)
            for (int32_t i = 0; i < l->Length; ++i) {
                const WrtStyle st = l->Attrs[i].Style;
                s += st.Has(afsHyphen) ? 'h' : st.Has(afsMisSpelled) ? 'm' : st.Has(afsWasChecked) ? 'c' : '-';
            }
        return s;
    }
    std::set<AnsiString> Known{"the", "fox", "see", "now", "mail", "hyphenation", "end"};
    TRtSpellSetup Setup;
    bool Pending = false;
    std::vector<AnsiString> Asked;
};

TEST_F(SpellCheck, MarksMisspelledWordsAndAsksEachWordOnce)
{
    FillText(Text, {"the qick, fox"});
    EXPECT_TRUE(Check());
    EXPECT_EQ(Marks(), "ccc-mmmm--ccc");
    EXPECT_EQ(Asked, (std::vector<AnsiString>{"the", "qick", "fox"}));
    Asked.clear();
    EXPECT_FALSE(Check());
    EXPECT_TRUE(Asked.empty());
}

TEST_F(SpellCheck, WebAndMailAddressesStayWholeAndCorrect)
{
    FillText(Text, {"see www.exampel.com/pahe now, mail jon.smiht@exampel.org end"});
    Check();
    // The checker never sees the addresses, and no part of them is marked.
    EXPECT_EQ(Asked, (std::vector<AnsiString>{"see", "now", "mail", "jon", "end"}));
    const std::string marks = Marks();
    EXPECT_EQ(marks.substr(4, 20), std::string(20, 'c'));
    EXPECT_EQ(marks.substr(35, 3), "mmm");
    EXPECT_EQ(marks.substr(39, 17), std::string(17, 'c'));
}

TEST_F(SpellCheck, WordAtTheCursorWaitsUntilTheCursorLeaves)
{
    FillText(Text, {"the qick"});
    Text.CursorPar = Text.FirstPar;
    Text.CursorLine = Text.FirstPar->Lines;
    Text.CursorPos = 8;
    Text.FirstPar->Lines->Attrs[5].Style.Include(afsMisSpelled);
    Setup.SkipWordAtCursor = true;
    EXPECT_TRUE(Check());
    EXPECT_EQ(Marks(), "ccc-----");
    EXPECT_TRUE(Pending);
    // The cursor moved on: the recheck runs without the skip.
    Text.CursorPos = 0;
    Setup.SkipWordAtCursor = false;
    EXPECT_TRUE(Check(true));
    EXPECT_EQ(Marks(), "ccc-mmmm");
}

TEST_F(SpellCheck, IgnoredAnswerChangesNothing)
{
    FillText(Text, {"skip"});
    Text.FirstPar->Lines->Attrs[1].Style.Include(afsMisSpelled);
    EXPECT_FALSE(Check());
    EXPECT_EQ(Marks(), "-m--");
}

TEST_F(SpellCheck, HyphenationPositionsMarkTheirCharacters)
{
    FillText(Text, {"hyphenation"});
    Check();
    EXPECT_EQ(Marks(), "ccchcchcccc");
}

TEST_F(SpellCheck, WordsAcrossLinesAndOverlongWords)
{
    FillText(Text, {"qi"});
    TLine* second = Text.SplitLineAt(Text.FirstPar->Lines, 1);
    ASSERT_NE(second, nullptr);
    Check();
    EXPECT_EQ(Asked, (std::vector<AnsiString>{"qi"}));
    EXPECT_EQ(Marks(), "mm");

    Asked.clear();
    FillText(Text, {std::string(300, 'q') + " end"});
    Check();
    EXPECT_EQ(Asked, (std::vector<AnsiString>{"end"}));
}

} // namespace

#include "RtInputTestSupport.h"

namespace {

// The engine checks words as they are typed, leaving the word at the cursor for later.
class SpellCheckAsYouType : public RtInputTest {};

TEST_F(SpellCheckAsYouType, MarksAWordWhenTheCursorLeavesIt)
{
    Layout({""}, 400);
    std::vector<AnsiString> asked;
    E->OnSpellCheckWord = [&](TObject*, const AnsiString& Word, TSpellCheckResult& R, TSpellCheckHyphen&) {
        asked.push_back(Word);
        R = Word == "the" ? TSpellCheckResult() : TSpellCheckResult{spMisSpelled};
    };
    auto misspelt = [&](int32_t I) { return Par(0)->Lines->Attrs[I].Style.Has(afsMisSpelled); };
    Type("the qick");
    EXPECT_EQ(asked, (std::vector<AnsiString>{"the"}));
    EXPECT_FALSE(misspelt(5));
    E->MoveCursor(ccLineStart, false);
    EXPECT_TRUE(misspelt(5));
    EXPECT_FALSE(misspelt(1));
    EXPECT_EQ(asked.back(), "qick");
    EXPECT_FALSE(E->CursorWordPending);
}

} // namespace
