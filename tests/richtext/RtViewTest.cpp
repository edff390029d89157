#include "RtEngineTestSupport.h"

namespace {

class RtView : public RtEngineTest {
protected:
    void LayoutWithOwner(const std::vector<std::string>& Pars, int32_t Px = 100)
    {
        Layout(Pars, Px);
        E->OwnerControl = &Owner;
        E->OnPostChange = [this] { ++Posts; };
        E->ChangeFlags = 0;
        Posts = 0;
    }
    TTestOwnerControl Owner;
    int32_t Posts = 0;
};

}  // namespace

TEST_F(RtView, ChangesPostOneMessageUntilTheyAreHandled)
{
    LayoutWithOwner({"abc"});
    E->NotifyChange(rtchCharAttr);
    E->NotifyChange(rtchCursor);
    EXPECT_EQ(Posts, 1);
    EXPECT_EQ(E->ChangeFlags, 5u);
    E->ChangeFlags = 0;   // handled
    E->NotifyChange(rtchParAttr);
    EXPECT_EQ(Posts, 2);
    E->PostEveryChange = true;
    E->NotifyChange(rtchCursor);
    E->NotifyChange(rtchCursor);
    EXPECT_EQ(Posts, 4);
    // Without an owner the post waits for the next change.
    E->PostEveryChange = false;
    E->OwnerControl = nullptr;
    E->ChangeFlags = 0;
    E->NotifyChange(rtchCharAttr);
    EXPECT_EQ(Posts, 4);
    E->OwnerControl = &Owner;
    E->NotifyChange(rtchCursor);
    EXPECT_EQ(Posts, 5);
    // A pending selection change fires its event first.
    int32_t selections = 0;
    E->OnChangeSelection = [&](TObject* Sender) {
        EXPECT_EQ(Sender, &Owner);
        ++selections;
    };
    E->SelChangePending = true;
    E->NotifyChange(rtchCursor);
    EXPECT_EQ(selections, 1);
    EXPECT_FALSE(E->SelChangePending);
    // An engine that does not display notifies nothing.
    E->EngineOptions |= eoNoDisplay;
    E->ChangeFlags = 0;
    E->NotifyChange(rtchAll);
    EXPECT_EQ(E->ChangeFlags, 0u);
}

TEST_F(RtView, VerticalScrollingByCodes)
{
    LayoutWithOwner(std::vector<std::string>(30, "line"));   // 30 x 20 = 600 high, window 300
    ASSERT_EQ(E->TextHeight, 600);
    ASSERT_EQ(E->VisibleHeight, 300);
    // A marker row moves up with a small scroll; only the uncovered band is repainted.
    E->Surface().setPixel(5, 100, 0xFF123456);
    E->VScroll(SB_LINEDOWN, 0);
    EXPECT_EQ(E->TopY, 16);
    EXPECT_EQ(E->Surface().pixel(5, 84), 0xFF123456u);
    ASSERT_FALSE(E->Painted.empty());
    EXPECT_EQ(E->Painted.back().Top, 284);
    EXPECT_EQ(E->Painted.back().Bottom, 300);
    E->VScroll(SB_LINEUP, 0);
    EXPECT_EQ(E->TopY, 0);
    E->VScroll(SB_LINEUP, 0);   // at the top: refused
    EXPECT_EQ(E->TopY, 0);
    E->VScroll(SB_THUMBTRACK, 200);
    EXPECT_EQ(E->TopY, 200);
    // The bottom shows the last line in the upper third of the window.
    E->VScroll(SB_BOTTOM, 0);
    EXPECT_EQ(E->TopY, 580 - 2 * (300 / 3));
    // At the end of the text a line down does nothing.
    E->TopY = 300;
    E->VScroll(SB_LINEDOWN, 0);
    EXPECT_EQ(E->TopY, 300);
    E->VScroll(SB_TOP, 0);
    EXPECT_EQ(E->TopY, 0);
    E->NoVertScroll = true;
    E->VScroll(SB_PAGEDOWN, 0);
    EXPECT_EQ(E->TopY, 0);
}

TEST_F(RtView, AVerticalScrollRunsAsARefreshForItsDuration)
{
    LayoutWithOwner(std::vector<std::string>(30, "line"));
    std::vector<bool> seen;
    E->OnHideCaret = [&](TObject*) { seen.push_back(E->InRefresh); };
    E->OnShowCaret = [&](TObject*) { seen.push_back(E->InRefresh); };
    // A small scroll repaints a band, a large one the window; up and down alike.
    for (const int32_t code : {SB_LINEDOWN, SB_PAGEDOWN, SB_LINEUP, SB_TOP}) {
        seen.clear();
        E->VScroll(code, 0);
        ASSERT_GE(seen.size(), 2u) << code;
        EXPECT_EQ(seen, std::vector<bool>(seen.size(), true)) << code;
        EXPECT_FALSE(E->InRefresh) << code;
    }
    // A horizontal scroll is no refresh.
    LayoutWithOwner({"abc"}, 1000);
    seen.clear();
    E->OnHideCaret = [&](TObject*) { seen.push_back(E->InRefresh); };
    E->HScroll(SB_LINERIGHT, 0);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen, std::vector<bool>(seen.size(), false));
}

TEST_F(RtView, TheFormattingPassesHoldPaintingOffWhileTheyRun)
{
    LayoutWithOwner(std::vector<std::string>(5, "line"));
    std::vector<bool> measured, laidOut;
    const TRtMeasureCharEvent measure = E->OnMeasureChar;
    E->OnMeasureChar = [&](TRtRTFTextPaint* S, const TAttr& A, int32_t& C, int32_t& H, int32_t& B,
                           std::array<int32_t, 256>& W) {
        measured.push_back(E->LayoutBusy);
        measure(S, A, C, H, B, W);
    };
    E->OnReformat = [&](TObject*, bool Starting) {
        if (Starting)
            laidOut.push_back(E->LayoutBusy);
    };
    // UpdateLayout measures the paragraphs again while busy and then lays out the pages.
    E->InvalidateWidthTables();
    E->UpdateLayout();
    ASSERT_FALSE(measured.empty());
    EXPECT_EQ(measured, std::vector<bool>(measured.size(), true));
    EXPECT_EQ(laidOut, std::vector<bool>{false});
    EXPECT_FALSE(E->LayoutBusy);
    // UpdateAfterChange breaks and lays out while busy, then refreshes with painting allowed.
    laidOut.clear();
    E->Refreshes = 0;
    E->UpdateAfterChange(false);
    EXPECT_FALSE(laidOut.empty());
    EXPECT_EQ(laidOut, std::vector<bool>(laidOut.size(), true));
    EXPECT_FALSE(E->LayoutBusy);
    EXPECT_GE(E->Refreshes, 1);
    // A caller's own busy state is kept.
    E->LayoutBusy = true;
    E->UpdateLayout();
    EXPECT_TRUE(E->LayoutBusy);
}

TEST_F(RtView, HorizontalScrollingStaysWithinTheText)
{
    LayoutWithOwner({"abc"}, 1000);   // text 1000 wide, window 400
    E->HScroll(SB_PAGERIGHT, 0);
    EXPECT_EQ(E->LeftX, -300);   // three quarters of the window
    EXPECT_EQ(E->ChangeFlags & rtchHorzScroll, rtchHorzScroll);
    E->HScroll(SB_RIGHT, 0);
    EXPECT_EQ(E->LeftX, -(E->Header()->LayoutTextWidth - 400));
    E->HScroll(SB_PAGELEFT, 0);
    EXPECT_EQ(E->LeftX, -(E->Header()->LayoutTextWidth - 400) + 300);
    E->HScroll(SB_LEFT, 0);
    EXPECT_EQ(E->LeftX, 0);
    E->HScroll(SB_LINELEFT, 0);
    EXPECT_EQ(E->LeftX, 0);
}

TEST_F(RtView, SelectionByAbsolutePositions)
{
    LayoutWithOwner({"aaa bbb ccc ddd", "xyz"});
    int32_t start = -1, length = -1;
    E->SetSelection(5, 0);
    EXPECT_FALSE(E->GetSelection(start, length));
    E->SetSelection(2, 10);
    ASSERT_TRUE(E->GetSelection(start, length));
    EXPECT_EQ(start, 2);
    EXPECT_EQ(length, 10);
    EXPECT_EQ(E->SelStartLine, Line(0, 0));
    EXPECT_EQ(E->SelEndLine, Line(0, 1));
    EXPECT_EQ(E->SelEndPos, 4);
    EXPECT_EQ(E->CursorLine, Line(0, 1));
    EXPECT_TRUE(Line(0, 0)->Flags & linfSelected);
    EXPECT_FALSE(Line(1, 0)->Flags & linfSelected);
    // The start at a line's end moves to the next line's start.
    E->SetSelection(8, 2);
    EXPECT_EQ(E->SelStartLine, Line(0, 1));
    EXPECT_EQ(E->SelStartPos, 0);
    // Positions past the end of the text are clamped: the text holds 15 + 1 + 3 = 19 positions.
    E->SetSelection(17, 1000);
    ASSERT_TRUE(E->GetSelection(start, length));
    EXPECT_EQ(start, 17);
    EXPECT_EQ(length, 2);
    EXPECT_EQ(E->SelEndPar, Par(1));
    EXPECT_EQ(E->SelEndPos, 3);
    E->SetSelection(5000, 10);
    EXPECT_FALSE(E->GetSelection(start, length));
    // Start and length given one by one.
    E->SetSelStart(1);
    EXPECT_FALSE(E->GetSelection(start, length));
    E->SetSelLength(2);
    ASSERT_TRUE(E->GetSelection(start, length));
    EXPECT_EQ(start, 1);
    EXPECT_EQ(length, 2);
}

TEST_F(RtView, CaretFollowsTheCursorAndItsMode)
{
    LayoutWithOwner({"abc def"});
    E->CursorPar = Par(0);
    E->CursorLine = Line(0, 0);
    E->CursorPos = 2;
    E->Inserting = 1;
    E->UpdateCaretMetrics();
    EXPECT_EQ(E->CaretX, Left() + 20);
    EXPECT_EQ(E->CaretWidth, 1);
    E->Inserting = 0;   // overwrite: as wide as the character under the caret
    E->UpdateCaretMetrics();
    EXPECT_EQ(E->CaretWidth, 10);
    EXPECT_LE(E->CaretY + E->CaretHeight, Line(0, 0)->Top + Line(0, 0)->Height);
    int32_t shown = 0, hidden = 0;
    E->OnShowCaret = [&](TObject*) { ++shown; };
    E->OnHideCaret = [&](TObject*) { ++hidden; };
    E->UpdateCaret();
    EXPECT_EQ(shown, 1);
    E->TopY = 500;
    E->UpdateCaret();
    EXPECT_EQ(hidden, 1);
}

TEST_F(RtView, ShowCursorScrollsTheCursorLineIntoView)
{
    LayoutWithOwner(std::vector<std::string>(30, "line"));
    E->CursorPar = Par(20);
    E->CursorLine = Line(20, 0);
    E->CursorPos = 0;
    E->ShowCursor();
    // The line (400..420) ends inside the window.
    EXPECT_LE(Line(20, 0)->Top + 20, E->TopY + E->VisibleHeight);
    EXPECT_GT(E->TopY, 100);
    E->CursorPar = Par(1);
    E->CursorLine = Line(1, 0);
    E->ShowCursor();
    EXPECT_LE(E->TopY, 20);
    // A cursor line taller than the window goes to the top.
    E->SetSurfaceSize(400, 15);
    E->CursorPar = Par(10);
    E->CursorLine = Line(10, 0);
    E->ShowCursor();
    EXPECT_EQ(E->TopY, 200);
}

TEST_F(RtView, CursorMovesToTheCharacterAtAPoint)
{
    LayoutWithOwner({"aaa bbb ccc ddd", "xyz"});
    const int32_t left = Left();
    EXPECT_TRUE(E->MoveCursorToPoint(left + 26, 25, false, false));
    EXPECT_EQ(E->CursorLine, Line(0, 1));
    EXPECT_EQ(E->CursorPos, 3);
    EXPECT_TRUE(E->MoveCursorToPoint(left + 14, 45, false, false));
    EXPECT_EQ(E->CursorPar, Par(1));
    EXPECT_EQ(E->CursorPos, 1);
    E->EngineOptions |= eoNoCursorMoves;
    EXPECT_TRUE(E->MoveCursorToPoint(0, 0, false, false));
    EXPECT_EQ(E->CursorPar, Par(1));
}

TEST_F(RtView, AttributeChangesApplyToTheSelectionInTextOrder)
{
    LayoutWithOwner({"aaa bbb", "ccc"});
    E->SetSelection(6, 3);   // "b", the paragraph end, "c"
    std::swap(E->SelStartPar, E->SelEndPar);
    std::swap(E->SelStartLine, E->SelEndLine);
    std::swap(E->SelStartPos, E->SelEndPos);
    E->SelReversed = true;
    TAttr bold;
    bold.Style = WrtStyle{afsBold};
    E->SetCurrentAttr(bold, 64);
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(Line(0, 0)->Attrs[i].Style.Has(afsBold), i == 6) << i;
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Line(1, 0)->Attrs[i].Style.Has(afsBold), i == 0) << i;
    EXPECT_TRUE(E->CurrentAttr.Style.Has(afsBold));
    // Without a selection only the current attribute changes.
    E->SetSelection(0, 0);
    E->ChangeStyle(WrtStyle{afsItalic}, 1);
    EXPECT_TRUE(E->CurrentAttr.Style.Has(afsItalic));
    EXPECT_FALSE(Line(0, 0)->Attrs[0].Style.Has(afsItalic));
}
