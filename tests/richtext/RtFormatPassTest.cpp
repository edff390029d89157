#include "RtEngineTestSupport.h"
#include "RtHeaderFooter.h"

namespace {

class RtFormatPass : public RtEngineTest {
protected:
    std::vector<TLine*> FirstLines()
    {
        std::vector<TLine*> v;
        for (TParagraph* p = E->FirstPar; p; p = p->Next)
            v.push_back(p->Lines);
        return v;
    }
};

}  // namespace

TEST_F(RtFormatPass, WholeTextIsMeasuredBrokenAndPlaced)
{
    Layout({"aaa bbb ccc ddd", "x", "yy"});
    EXPECT_EQ(LinesOf(Par(0)).size(), 2u);
    int32_t y = 0;
    for (TParagraph* p = E->FirstPar; p; p = p->Next)
        for (TLine* l = p->Lines; l; l = l->Next) {
            EXPECT_EQ(l->Top, y);
            EXPECT_EQ(l->Height, 20);
            EXPECT_FALSE(p->Flags & parfReformat);
            y += l->Height;
        }
    EXPECT_EQ(E->TextHeight, 80);
    EXPECT_EQ(E->ScreenTextHeight, 80);
}

TEST_F(RtFormatPass, OnlyChangedParagraphsAreBrokenAgain)
{
    Layout({"aaa bbb", "ccc ddddd", "eee fff"});
    const std::vector<TLine*> before = FirstLines();
    E->InsertChar(Par(1), Line(1, 0), nullptr, 'z', 0);
    Par(1)->Flags |= parfReformat;
    E->FormatAll(true);
    const std::vector<TLine*> after = FirstLines();
    EXPECT_EQ(after[0], before[0]);
    EXPECT_NE(after[1], before[1]);
    EXPECT_EQ(after[2], before[2]);
    EXPECT_EQ(LinesOf(Par(1)), (std::vector<std::string>{"zccc ", "ddddd"}));
    // The paragraph below moved down by the new line.
    EXPECT_EQ(Line(2, 0)->Top, 60);
}

TEST_F(RtFormatPass, WidthChangeDuringTheFirstPassRunsASecondPass)
{
    Layout({"aaa", "bbb", "ccc"});
    E->WrapAtWindow = true;
    int32_t duringPass = 0;
    E->OnVertScrolled = [&](TObject*) {
        if (!E->InFormatting)
            return false;
        ++duringPass;
        return duringPass == 1;
    };
    const std::vector<TLine*> before = FirstLines();
    E->FormatAll(false);
    // Called once in the first pass (which it abandons), never in the second.
    EXPECT_EQ(duringPass, 1);
    const std::vector<TLine*> after = FirstLines();
    for (size_t i = 0; i < after.size(); ++i)
        EXPECT_NE(after[i], before[i]) << i;
}

TEST_F(RtFormatPass, ProgressOnlyForMoreThanAHundredParagraphs)
{
    for (int n : {100, 101}) {
        SCOPED_TRACE(n);
        E = std::make_unique<TTestEngine>();
        Layout(std::vector<std::string>(size_t(n), "ab"));
        std::vector<int32_t> percents;
        E->OnSetGaugeValue = [&](TObject*, int32_t Percent) { percents.push_back(Percent); };
        for (TParagraph* p = E->FirstPar; p; p = p->Next)
            p->Flags |= parfReformat;
        E->FormatAll(false);
        if (n == 100) {
            EXPECT_TRUE(percents.empty());
            continue;
        }
        ASSERT_GE(percents.size(), 3u);
        EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end() - 1));
        EXPECT_EQ(percents[percents.size() - 2], 100);
        EXPECT_EQ(percents.back(), 0);
    }
}

TEST_F(RtFormatPass, UpdateAfterChangeFormatsAndFiresTheChangeEvent)
{
    Layout({"aaa bbb ccc ddd"});
    int32_t changes = 0;
    E->OnTextChange = [&](TObject* Sender) {
        EXPECT_EQ(Sender, E.get());
        ++changes;
    };
    E->CursorPar = nullptr;
    E->InsertChar(Par(0), Line(0, 0), nullptr, 'q', 0);
    Par(0)->Flags |= parfReformat;
    E->UpdateAfterChange(true);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(E->CursorPar, Par(0));
    EXPECT_EQ(LinesOf(Par(0)), (std::vector<std::string>{"qaaa bbb ", "ccc ddd"}));
    // A suspended engine does nothing.
    E->EngineOptions |= eoSuspended;
    EXPECT_EQ(E->ReformatText(nullptr), 0);
}

TEST_F(RtFormatPass, HeaderAndFooterTextsAreFormattedAsTheirOwnChains)
{
    Layout({"body"});
    TRtSpecialTextProperty* header = E->GetOrAddHeaderFooter(rtraOnAllPages, rtIsHeader);
    ASSERT_NE(header, nullptr);
    TParagraph* hp = nullptr;
    E->InsertPar(hp, 40);
    header->SetParagraphs(hp);
    hp->Owner = header;
    E->InsertTextAt(hp, 0, nullptr, "aaa bbb ccc ddd");
    EXPECT_EQ(E->FormatParagraphChain(hp), 40);
    EXPECT_EQ(LinesOf(hp).size(), 2u);
    EXPECT_EQ(E->HeaderFooterPass, 0);
}

TEST_F(RtFormatPass, MaxLengthsRefuseInsertsThatWouldReachThem)
{
    Layout({"abcdef"});
    E->MaxTextLength = 10;
    // 6 + 2 + 2 = 10 is not below 10 - 1.
    EXPECT_FALSE(E->CheckMaxLength(13, 1));
    EXPECT_TRUE(E->CheckMaxLength(8, 1));
    EXPECT_TRUE(E->CheckMaxLength('a', 1));    // 8 < 9
    EXPECT_FALSE(E->CheckMaxLength('a', 2));   // 8 < 8 fails
    E->MaxTextLength = 0;
    E->MaxParLength = 7;
    EXPECT_FALSE(E->CheckMaxLength('a', 1));
    EXPECT_TRUE(E->CheckMaxLength(13, 1));
    E->EngineOptions |= eoNoLengthCheck;
    EXPECT_TRUE(E->CheckMaxLength('a', 5));
}
