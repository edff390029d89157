#include "RtEngineTestSupport.h"
#include "RtfTestSupport.h"
#include "RtObject.h"

#include <map>

namespace {

struct BreakCase {
    const char* Name;
    std::string Text;
    std::vector<std::string> Lines;
    uint8_t Align = paralLeft;
    std::map<uint8_t, int32_t> Widths = {};
    TRtDBCSMode Dbcs = {};
};

class RtLineBreak : public RtEngineTest {};

}  // namespace

TEST_F(RtLineBreak, BreaksParagraphsAtTheLimitOfFixedWidths)
{
    // Every character 10 wide unless given, 100 units of room.
    const BreakCase cases[] = {
        {"nine characters fit", "abcdefghi", {"abcdefghi"}},
        {"a character ending exactly at the limit starts the next line", "abcdefghij", {"abcdefghi", "j"}},
        {"a word longer than the line breaks inside it", "abcdefghijklmnop", {"abcdefghi", "jklmnop"}},
        {"words wrap after the last blank", "aaa bbb ccc ddd", {"aaa bbb ", "ccc ddd"}},
        {"trailing blanks hang in the margin", "abcdefgh   ij", {"abcdefgh   ", "ij"}},
        {"a blank at index 0 is no break opportunity", " abcdefghijklmn", {" abcdefgh", "ijklmn"}},
        {"a blank at index 1 is one", "a abcdefghijklmn", {"a ", "abcdefghi", "jklmn"}},
        {"a line feed ends the line after it", "ab\ncd", {"ab\n", "cd"}},
        {"without word wrap at blanks any character breaks", "aaa bbb ccc", {"aaa bbb c", "cc"}, paralLeft, {},
         TRtDBCSMode{rtdb_NoWordWrapAtSpace}},
        {"a wide character stays alone", "aW", {"a", "W"}, paralLeft, {{'W', 200}}},
        {"a tab is a break opportunity", "aaaa\tbbbbbbbbb", {"aaaa\t", "bbbbbbbbb"}},
    };
    for (const BreakCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Widths.fill(10);
        for (const auto& [ch, w] : c.Widths)
            Widths[ch] = w;
        E = std::make_unique<TTestEngine>();
        E->DBCSMode = c.Dbcs;
        Layout({c.Text});
        EXPECT_EQ(LinesOf(Par(0)), c.Lines);
    }
}

TEST_F(RtLineBreak, TabsAdvanceToTheNextStopOnlyInLeftAndBlockParagraphs)
{
    // Default stops every 720 twips = 48 units at 96 dpi.
    Layout({"a\tb", "a\tb"});
    EXPECT_EQ(Line(0, 0)->Attrs[1].Width, 38);
    Par(1)->Align = paralCenter;
    Par(1)->Flags |= parfReformat;
    E->FormatAll(false);
    EXPECT_EQ(Line(1, 0)->Attrs[1].Width, 10);
}

TEST_F(RtLineBreak, JustifiesBlanksAfterTheLastTabButNotTheLastLine)
{
    // 3 blanks of 5 and 7 units of free room: each widened blank is 22 div 3, the first gets one more.
    Widths[32] = 5;
    Widths['d'] = 18;
    UseFixedWidths();
    Attach();
    FillText(*E, {"aa bb cc d eeeeeeee"});
    SetTextWidth(100);
    Par(0)->Align = paralBlock;
    E->UpdateLayout();
    ASSERT_EQ(LinesOf(Par(0)), (std::vector<std::string>{"aa bb cc d ", "eeeeeeee"}));
    const TLine* first = Line(0, 0);
    EXPECT_EQ(first->JustifyFrom, 0);
    EXPECT_EQ(first->JustifyExtra, 7);
    EXPECT_EQ(first->JustifyRest, 1);
    const TLine* last = Line(0, 1);
    EXPECT_EQ(last->JustifyExtra, 0);
    EXPECT_EQ(last->JustifyRest, 0);
    // The widened blanks end the last word at the right edge: 20 + 8 + 20 + 7 + 20 + 7 = 82, "d" ends at 100.
    EXPECT_EQ(E->GetCharX(Par(0), Line(0, 0), 9) - E->GetCharX(Par(0), Line(0, 0), 0), 82);
    // With the last line justified too, it gets no blanks to widen (none in it).
    Par(0)->Flags |= parfJustifyLastLine | parfReformat;
    E->FormatAll(false);
    EXPECT_EQ(Line(0, 1)->JustifyExtra, 0);
}

TEST_F(RtLineBreak, NoWrapParagraphKeepsOneLineAndHidesWhatLiesBeyond)
{
    UseFixedWidths();
    Attach();
    FillText(*E, {"abcdefghijklmno"});
    SetTextWidth(100);
    Par(0)->Flags |= parfNoWrap;
    E->UpdateLayout();
    ASSERT_EQ(LinesOf(Par(0)), (std::vector<std::string>{"abcdefghijklmno"}));
    for (int i = 0; i < 15; ++i)
        EXPECT_EQ(Line(0, 0)->Attrs[i].Width, i < 10 ? 10 : 0) << i;
}

TEST_F(RtLineBreak, CursorAndSelectionFollowTheirCharactersToTheNewLines)
{
    Layout({"aaa bbb ccc ddd"});
    // The cursor after "bbb " (offset 8 = the first line's end) goes to the start of the next line.
    E->CursorPar = Par(0);
    E->CursorLine = Line(0, 1);
    E->CursorPos = 0;
    E->SetSelection(5, 6);   // "bb ccc"
    EXPECT_EQ(E->CursorLine, Line(0, 1));
    Par(0)->Flags |= parfReformat;
    E->CursorLine = Line(0, 0);
    E->CursorPos = 8;
    E->FormatAll(false);
    EXPECT_EQ(E->CursorLine, Line(0, 1));
    EXPECT_EQ(E->CursorPos, 0);
    EXPECT_EQ(E->SelStartLine, Line(0, 0));
    EXPECT_EQ(E->SelStartPos, 5);
    EXPECT_EQ(E->SelEndLine, Line(0, 1));
    EXPECT_EQ(E->SelEndPos, 3);
    EXPECT_TRUE(Line(0, 0)->Flags & linfSelected);
    EXPECT_TRUE(Line(0, 1)->Flags & linfSelected);
}

TEST_F(RtLineBreak, DeletedCharactersDisappearAtTheNextBreak)
{
    Layout({"abcdef"});
    Line(0, 0)->Attrs[1].Style.Include(afsDelete);
    Line(0, 0)->Attrs[2].Style.Include(afsDelete);
    E->BreakParagraph(Par(0), false);
    EXPECT_EQ(ParString(Par(0)), "adef");
}

TEST_F(RtLineBreak, KeptPositionsStayOnTheirCharacterWhenDeletedCharactersGo)
{
    // "aaa bbb " / "ccc ddd"; the "bbb" goes at the next break, every position after it
    // keeps its character: the second "c" (offset 9 before, 6 after).
    Layout({"aaa bbb ccc ddd"});
    for (int i = 4; i < 7; ++i)
        Line(0, 0)->Attrs[i].Style.Include(afsDelete);
    TTestPosition own{Par(0), Line(0, 1), 1};
    E->Positions().Add(own.Par, own.Line, own.Pos);
    const TPositionFields holders[] = {
        {"cursor", E->CursorPar, E->CursorLine, E->CursorPos},
        {"selection start", E->SelStartPar, E->SelStartLine, E->SelStartPos},
        {"selection end", E->SelEndPar, E->SelEndLine, E->SelEndPos},
        {"body cursor", E->BodyCursorPar, E->BodyCursorLine, E->BodyCursorPos},
        {"registered", own.Par, own.Line, own.Pos},
    };
    for (const TPositionFields& h : holders) {
        h.Par = Par(0);
        h.Line = Line(0, 1);
        h.Pos = 1;
    }
    E->BreakParagraph(Par(0), true);
    ASSERT_EQ(ParString(Par(0)), "aaa  ccc ddd");
    for (const TPositionFields& h : holders)
        EXPECT_EQ(OffsetInPar(Par(0), h), 6) << h.Name;
    E->Positions().Remove(&own, sizeof(own));
}

TEST_F(RtLineBreak, ChangeResultTellsWhatARebreakChanged)
{
    Layout({"aaa bbb ccc ddd", "x"});
    TParagraph* p = Par(0);
    EXPECT_EQ(E->BreakParagraph(p, true), 0);
    // Narrower letters move a word up: both lines change, the paragraph keeps its height.
    for (int i = 0; i < 3; ++i)
        Line(0, 0)->Attrs[i].Width = 1;
    EXPECT_EQ(E->BreakParagraph(p, true), 1);
    EXPECT_EQ(LinesOf(p), (std::vector<std::string>{"aaa bbb ccc ", "ddd"}));
    EXPECT_TRUE(Line(0, 0)->Flags & linfChanged);
    EXPECT_TRUE(Line(0, 1)->Flags & linfChanged);
    // Narrow characters join the lines: the paragraph's height changes.
    for (TLine* l = p->Lines; l; l = l->Next)
        for (int i = 0; i < l->Length; ++i)
            l->Attrs[i].Width = 1;
    EXPECT_EQ(E->BreakParagraph(p, true), 3);
    EXPECT_EQ(LinesOf(p).size(), 1u);
}

TEST_F(RtLineBreak, HyphenationBreaksAtTheLastPointBeforeTheOverflow)
{
    UseFixedWidths();
    Attach();
    E->EditOptions.Include(rtUseHyphenation);
    std::vector<AnsiString> asked;
    E->OnHyphenate = [&](TObject*, const AnsiString& Word, std::vector<int32_t>& Positions) {
        asked.push_back(Word);
        Positions = {2, 5, 11};
    };
    FillText(*E, {"ab hyphenation"});
    SetTextWidth(100);
    E->UpdateLayout();
    EXPECT_EQ(LinesOf(Par(0)), (std::vector<std::string>{"ab hyphe", "nation"}));
    EXPECT_TRUE(Line(0, 0)->Flags & linfHyphenated);
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked.front(), "hyphenation");
    // Without the event a soft hyphen mark is the candidate.
    E->OnHyphenate = nullptr;
    FillText(*E, {"ab hyphenation"});
    SetTextWidth(100);
    int32_t offset = 0;
    for (TLine* l = Par(0)->Lines; l; l = l->Next)
        for (int32_t i = 0; i < l->Length; ++i, ++offset)
            l->Attrs[i].Style.Set(afsHyphen, offset == 5);   // after "hyp"
    Par(0)->Flags |= parfReformat;
    E->FormatAll(false);
    EXPECT_EQ(LinesOf(Par(0)), (std::vector<std::string>{"ab hyp", "henation"}));
    // Without hyphenation in the edit options the word moves whole.
    E->EditOptions.Exclude(rtUseHyphenation);
    Par(0)->Flags |= parfReformat;
    E->FormatAll(false);
    EXPECT_EQ(LinesOf(Par(0)), (std::vector<std::string>{"ab ", "hyphenati", "on"}));
}

TEST_F(RtLineBreak, ObjectsAndFieldsAreMeasuredByTheirReferences)
{
    Layout({"ab"}, 300);
    auto addObject = [&](TRtObjectBase* Obj, uint8_t Kind, int32_t Pos) {
        E->Objects().push_back(Obj);
        TTextObj* ref = E->ObjRefList()->AddObject(Obj);
        ref->Kind = Kind;
        TAttr a = Line(0, 0)->Attrs[0];
        a.Style.Include(afsIsObject);
        a.Tag = uint32_t(E->ObjRefList()->IndexOfObject(ref));
        TLine* line = Line(0, 0);
        E->InsertChar(Par(0), line, &a, 1, Pos);
    };
    auto* picture = new TRtObject;   // 1440 x 720 twips
    addObject(picture, 0, 1);
    auto* field = new TRtObjectField;
    field->FieldName = "PAGE";
    addObject(field, 0, 3);
    addObject(new TRtObject, 1, 4);   // positioned: only its anchor stands in the text
    Par(0)->Flags |= parfReformat;
    E->FormatAll(true);
    const TLine* l = Line(0, 0);
    ASSERT_EQ(l->Length, 5);
    EXPECT_EQ(l->Attrs[1].Width, 96);
    EXPECT_EQ(l->Attrs[1].Height, 48);
    EXPECT_EQ(l->Attrs[1].Base, 48);
    EXPECT_EQ(l->Height, 48);
    // Without a natural width a field is as wide as its text.
    AnsiString text;
    field->GetFieldText(true, text);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(l->Attrs[3].Width, 10 * int32_t(text.size()));
    EXPECT_EQ(l->Attrs[4].Width, 1);
    EXPECT_TRUE(Par(0)->Flags & parfHasFields);
    EXPECT_TRUE(Par(0)->Flags & parfHasFloating);
    // A field's text that changes is measured again.
    E->OnGetFieldText = [](TObject*, TRtObjectBase*, bool& Done) {
        Done = true;
        return AnsiString("12");
    };
    E->UpdateFieldWidths(Par(0), nullptr);
    EXPECT_EQ(Line(0, 0)->Attrs[3].Width, 20);
    // With a natural width in twips that width counts.
    E->OnGetFieldBounds = [](TObject*, TRtObjectBase*, int32_t& W, int32_t&, int32_t&) { W = 720; };
    E->UpdateFieldWidths(Par(0), Line(0, 0));
    EXPECT_EQ(Line(0, 0)->Attrs[3].Width, 48);
}

TEST_F(RtLineBreak, HiddenTextTakesNoRoomUnlessShown)
{
    Layout({"abcdefgXXXXij"});
    ASSERT_EQ(LinesOf(Par(0)), (std::vector<std::string>{"abcdefgXX", "XXij"}));
    // Characters 7 to 10 become hidden text.
    int32_t offset = 0;
    for (TLine* l = Par(0)->Lines; l; l = l->Next)
        for (int32_t i = 0; i < l->Length; ++i, ++offset)
            l->Attrs[i].Style.Set(afsHidden, offset >= 7 && offset < 11);
    Par(0)->Flags |= parfReformat;
    E->FormatAll(true);
    ASSERT_EQ(LinesOf(Par(0)), (std::vector<std::string>{"abcdefgXXXXij"}));
    EXPECT_EQ(Line(0, 0)->Attrs[9].Width, 0);
    EXPECT_EQ(E->GetCharX(Par(0), Line(0, 0), 12) - E->GetCharX(Par(0), Line(0, 0), 0), 80);
    E->EngineOptions |= eoHiddenShown;
    Par(0)->Flags |= parfReformat;
    E->FormatAll(true);
    EXPECT_EQ(LinesOf(Par(0)), (std::vector<std::string>{"abcdefgXX", "XXij"}));
}

TEST_F(RtLineBreak, KeptLineBreaksRepeatTheStoredLineLengths)
{
    Layout({"aaa bbb ccc ddd"});
    ASSERT_EQ(LinesOf(Par(0)), (std::vector<std::string>{"aaa bbb ", "ccc ddd"}));
    E->FrozenPageBreaks = true;   // the page layout leaves the marks alone
    Line(0, 1)->Flags |= linfPageStart;
    Par(0)->ExtFlags |= parxKeepLineBreaks;
    SetTextWidth(300);   // room for everything on one line
    EXPECT_EQ(LinesOf(Par(0)), (std::vector<std::string>{"aaa bbb ", "ccc ddd"}));
    EXPECT_TRUE(Line(0, 1)->Flags & linfPageStart);
    Par(0)->ExtFlags &= ~parxKeepLineBreaks;
    E->UpdateLayout();
    EXPECT_EQ(LinesOf(Par(0)), (std::vector<std::string>{"aaa bbb ccc ddd"}));
}

TEST_F(RtLineBreak, BookmarkRangesMarkTheCharactersBetweenTheirCodes)
{
    Layout({"ab", "cd"});
    TTextObj* ref = E->ObjRefList()->AddObject(nullptr);
    ref->Kind = 3;
    ref->SubKind = 1;
    TAttr code = Line(0, 0)->Attrs[0];
    code.Style.Include(afsIsObject);
    code.Tag = uint32_t(E->ObjRefList()->IndexOfObject(ref));
    E->InsertChar(Par(0), Line(0, 0), &code, 2, 1);   // a<start>b
    E->InsertChar(Par(1), Line(1, 0), &code, 3, 1);   // c<end>d
    EXPECT_EQ(E->MarkBookmarkRanges(E->FirstPar, 0), 0);
    const bool expected[2][3] = {{false, true, true}, {true, true, false}};
    for (int p = 0; p < 2; ++p)
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(Line(p, 0)->Attrs[i].Style.Has(afsBookmark), expected[p][i]) << p << "," << i;
    // Measuring keeps the marks and hides the codes.
    E->UpdateLayout();
    EXPECT_TRUE(Line(0, 0)->Attrs[2].Style.Has(afsBookmark));
    EXPECT_EQ(Line(0, 0)->Attrs[1].Width, 0);
    EXPECT_FALSE(Line(1, 0)->Attrs[2].Style.Has(afsBookmark));
}

TEST_F(RtLineBreak, BookmarksAndPageReferencesReadFromRtfAreMeasuredAsTheirKind)
{
    UseFixedWidths();
    Attach();
    TMemoryStream rtf = RtfStreamOf("{\\rtf1 a{\\*\\bkmkstart mark}b{\\*\\bkmkend mark}c"
                                    "{\\field{\\*\\fldinst PAGEREF mark \\\\h}{\\fldrslt 1}}}");
    E->LoadFromStream(&rtf, "RTF");
    ASSERT_EQ(ParString(Par(0)), "a\x02" "b\x03" "c\x01");
    TLine* l = Line(0, 0);
    // The text between the codes, and the end code, are the bookmark's.
    const bool marked[6] = {false, true, true, true, false, false};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(l->Attrs[i].Style.Has(afsBookmark), marked[i]) << i;
    E->SelectCharFont(&l->Attrs[2], Par(0), l, 2);
    EXPECT_EQ(Canvas.Pen().Color(), E->BookmarkTextAttr()->UnderlineColor());
    EXPECT_TRUE(E->FontUnderline);
    // Hidden bookmark codes; the page reference shows its page number.
    EXPECT_EQ(l->Attrs[1].Width, 0);
    EXPECT_EQ(l->Attrs[3].Width, 0);
    EXPECT_EQ(l->Attrs[5].Width, 10);
    // Shown, a code is as wide as the bookmark's name and 14 more.
    E->ViewOptions.Include(rtShowBookmarkCodes);
    Par(0)->Flags |= parfReformat;
    E->FormatAll(true);
    l = Line(0, 0);
    EXPECT_EQ(l->Attrs[1].Width, 4 * 10 + 14);
    EXPECT_EQ(l->Attrs[3].Width, 4 * 10 + 14);
    EXPECT_TRUE(Par(0)->Flags & parfOpensBookmark);
}

TEST_F(RtLineBreak, FirstLineIndentNarrowsOnlyTheFirstLine)
{
    Layout({"aaaaaaa bbbbbbbbb"});
    Par(0)->IndentFirst = 300;   // 20 units
    Par(0)->Flags |= parfReformat;
    E->FormatAll(false);
    EXPECT_EQ(LinesOf(Par(0)), (std::vector<std::string>{"aaaaaaa ", "bbbbbbbbb"}));
    EXPECT_EQ(E->GetCharX(Par(0), Line(0, 0), 0), Left() + 20);
    EXPECT_EQ(E->GetCharX(Par(0), Line(0, 1), 0), Left());
}

TEST_F(RtLineBreak, NoWrapParagraphLongerThanALineRecordContinuesInANewLine)
{
    Layout({"x"});
    const std::string text(70000, 'a');
    E->SetParChars(Par(0), reinterpret_cast<const uint8_t*>(text.data()), int32_t(text.size()), nullptr);
    Par(0)->Flags |= parfNoWrap | parfReformat;
    E->FormatAll(true);
    ASSERT_EQ(ParString(Par(0)), text);
    for (TLine* l = Par(0)->Lines; l; l = l->Next) {
        EXPECT_LT(l->Length, l->Capacity);
        EXPECT_LE(l->Capacity, RtMaxLineCapacity);
    }
    EXPECT_EQ(LinesOf(Par(0)).size(), 2u);
}

TEST_F(RtLineBreak, PlainNoWrapModeKeepsTheStoredLines)
{
    Layout({"aa bb cc dd ee"});
    ASSERT_EQ(LinesOf(Par(0)), (std::vector<std::string>{"aa bb cc ", "dd ee"}));
    E->PlainNoWrap = true;
    SetTextWidth(300);
    Par(0)->Flags |= parfReformat;
    Par(0)->Align = paralBlock;
    EXPECT_EQ(E->BreakParagraph(Par(0), true), 0);
    EXPECT_EQ(LinesOf(Par(0)), (std::vector<std::string>{"aa bb cc ", "dd ee"}));
    EXPECT_FALSE(Par(0)->Flags & parfReformat);
    // The store aligned them: the first line's inner blanks share the free room.
    const int32_t avail = E->GetParRightPix(Par(0), false) - Left();
    EXPECT_EQ(Line(0, 0)->JustifyExtra, (20 + avail - 90) / 2);
    E->PlainNoWrap = false;
    E->BreakParagraph(Par(0), true);
    EXPECT_EQ(LinesOf(Par(0)), (std::vector<std::string>{"aa bb cc dd ee"}));
}

TEST_F(RtLineBreak, InsertPointMarkersMeasureAsTheirDisplayCharacters)
{
    Widths[RtFieldStart] = 12;
    Widths[RtFieldEnd] = 14;
    Widths['W'] = 30;
    Layout({"a\xAB\xBB" "b"});
    TLine* l = Line(0, 0);
    for (int i = 1; i <= 2; ++i)
        l->Attrs[i].Style.Include(afsIsInsertpoint);
    auto measured = [&] {
        E->MeasureParagraph(Par(0));
        return std::pair{int32_t(Line(0, 0)->Attrs[1].Width), int32_t(Line(0, 0)->Attrs[2].Width)};
    };
    EXPECT_EQ(measured(), std::pair(12, 14));   // no display characters: the markers themselves
    RtInsertPointDisplay = {'W', 0};
    EXPECT_EQ(measured(), std::pair(30, 14));
    l->Attrs[1].Style.Exclude(afsIsInsertpoint);
    EXPECT_EQ(measured(), std::pair(12, 14));   // only insert points are substituted
    RtInsertPointDisplay = {0, 0};
    EXPECT_EQ(RtInsertPointChar(RtFieldEnd), RtFieldEnd);
}

TEST_F(RtLineBreak, DBCSPairsAreMeasuredAsOneExtent)
{
    // The test flag makes "a" a lead byte.
    E->DBCSMode = TRtDBCSMode{rtdb_Enabled, rtdb_Test, rtdb_CalcCharWidth};
    Layout({"xabyab"});
    // A named font, so that the canvas draws with the face the width table measures.
    E->Header()->Fonts[0].Name = "Liberation Sans";
    E->InvalidateWidthTables();
    E->MeasureParagraph(Par(0));
    const TAttr* at = Line(0, 0)->Attrs;
    E->SelectCharFont(&at[1], nullptr, nullptr, 0);
    const int32_t extent = Canvas.TextWidth("ab");
    ASSERT_GT(extent, 2);
    for (int i : {1, 4}) {
        EXPECT_TRUE(at[i].Style.Has(afsDBCSOne)) << i;
        EXPECT_TRUE(at[i + 1].Style.Has(afsDBCSTwo)) << i;
        EXPECT_EQ(at[i].Width, extent - 1) << i;
        EXPECT_EQ(at[i + 1].Width, 1) << i;
    }
    EXPECT_EQ(at[0].Width, 10);
    // A byte that no longer follows a lead byte loses its mark.
    Line(0, 0)->Chars[1] = 'x';
    E->MeasureParagraph(Par(0));
    EXPECT_FALSE(at[2].Style.Has(afsDBCSTwo));
    EXPECT_EQ(at[2].Width, 10);
    // Pairs that may split keep the table's widths.
    E->DBCSMode.Include(rtdb_PairsMaySplit);
    E->MeasureParagraph(Par(0));
    EXPECT_TRUE(at[5].Style.Has(afsDBCSTwo));
    EXPECT_EQ(at[4].Width, 10);
    EXPECT_EQ(at[5].Width, 10);
}

TEST_F(RtLineBreak, WithoutTrackingTheMarksGoToTheParagraphStart)
{
    Layout({"aaa bbb ccc ddd", "x"});
    E->CursorPar = Par(0);
    E->CursorLine = Line(0, 1);
    E->CursorPos = 2;
    E->SelStartPar = E->SelEndPar = Par(0);
    E->SelStartLine = Line(0, 0);
    E->SelStartPos = 1;
    E->SelEndLine = Line(0, 1);
    E->SelEndPos = 3;
    E->CursorTrackingOff = true;
    // Wider characters: the old lines are freed by the break, and no change is reported.
    for (TLine* l = Par(0)->Lines; l; l = l->Next)
        for (int i = 0; i < l->Length; ++i)
            l->Attrs[i].Width = 20;
    EXPECT_EQ(E->BreakParagraph(Par(0), true), 0);
    ASSERT_EQ(LinesOf(Par(0)), (std::vector<std::string>{"aaa ", "bbb ", "ccc ", "ddd"}));
    EXPECT_EQ(E->CursorLine, Line(0, 0));
    EXPECT_EQ(E->CursorPos, 0);
    EXPECT_EQ(E->SelStartLine, Line(0, 0));
    EXPECT_EQ(E->SelEndLine, Line(0, 0));
    EXPECT_EQ(E->SelEndPos, 0);
    // Marks in other paragraphs stay where they are.
    E->CursorPar = Par(1);
    E->CursorLine = Line(1, 0);
    E->CursorPos = 1;
    E->BreakParagraph(Par(0), true);
    EXPECT_EQ(E->CursorLine, Line(1, 0));
    EXPECT_EQ(E->CursorPos, 1);
    // Tracking again: the cursor keeps its character.
    E->CursorTrackingOff = false;
    E->CursorPar = Par(0);
    E->CursorLine = Line(0, 2);
    E->CursorPos = 1;   // "c|cc"
    E->MeasureParagraph(Par(0));
    EXPECT_GT(E->BreakParagraph(Par(0), true), 0);
    ASSERT_EQ(LinesOf(Par(0)), (std::vector<std::string>{"aaa bbb ", "ccc ddd"}));
    EXPECT_EQ(E->CursorLine, Line(0, 1));
    EXPECT_EQ(E->CursorPos, 1);
}

TEST_F(RtLineBreak, ObjectsRecordTheirPlaceInTheText)
{
    Layout({"ab", "c"}, 300);
    auto* picture = new TRtObject;   // 1440 twips wide: 96 units
    E->Objects().push_back(picture);
    TTextObj* ref = E->ObjRefList()->AddObject(picture);
    TAttr a = Line(0, 0)->Attrs[0];
    a.Style.Include(afsIsObject);
    a.Tag = uint32_t(E->ObjRefList()->IndexOfObject(ref));
    TLine* line = Line(0, 0);
    E->InsertChar(Par(0), line, &a, 1, 1);
    Par(0)->Flags |= parfReformat;
    E->FormatAll(true);
    EXPECT_EQ(ref->AnchorPar, Par(0));
    EXPECT_EQ(ref->AnchorLine, Line(0, 0));
    EXPECT_EQ(ref->AnchorPos, 1);
    EXPECT_EQ(ref->RectLeft, 10);
    EXPECT_TRUE(Line(0, 0)->Flags & linfHasObject);
    // Wrapped onto a line of its own, the object follows.
    SetTextWidth(100);
    ASSERT_EQ(LinesOf(Par(0)), (std::vector<std::string>{"a", "\x01", "b"}));
    EXPECT_EQ(ref->AnchorLine, Line(0, 1));
    EXPECT_EQ(ref->AnchorPos, 0);
    EXPECT_EQ(ref->RectLeft, 0);
    EXPECT_FALSE(Line(0, 0)->Flags & linfHasObject);
    // A new resolution recomputes the positions of every paragraph.
    SetTextWidth(300);
    ASSERT_EQ(ref->RectLeft, 10);
    Line(0, 0)->Attrs[0].Width = 25;
    E->UpdateResolution();
    EXPECT_EQ(ref->RectLeft, 25);
}

TEST_F(RtLineBreak, AnchorIconsTakeTheUnitsIconSize)
{
    Layout({"ab"}, 300);
    auto* floating = new TRtObject;
    E->Objects().push_back(floating);
    TTextObj* ref = E->ObjRefList()->AddObject(floating);
    ref->Kind = 1;
    TAttr a = Line(0, 0)->Attrs[0];
    a.Style.Include(afsIsObject);
    a.Tag = uint32_t(E->ObjRefList()->IndexOfObject(ref));
    TLine* line = Line(0, 0);
    E->InsertChar(Par(0), line, &a, 1, 1);
    E->ViewOptions.Include(rtShowObjectAnchors);
    E->MeasureParagraph(Par(0));
    EXPECT_EQ(Line(0, 0)->Attrs[1].Width, 10);
    EXPECT_EQ(Line(0, 0)->Attrs[1].Height, 16);
    const int32_t saved = RtAnchorIconWidth;
    RtAnchorIconWidth = 12;
    E->MeasureParagraph(Par(0));
    RtAnchorIconWidth = saved;
    EXPECT_EQ(Line(0, 0)->Attrs[1].Width, 12);
}

TEST_F(RtLineBreak, LinesReadWithTheirStoredWidthsKeepTheirBreaks)
{
    E->Header()->PreformattedTextAllowed = 1;
    ReadRtf(*E, "{\\rtf1\\rtformatted1 aaa bbb \\rtlin80 ccc ddd\\rtlin-70 \\par free text\\par"
                "{\\header \\pard head one \\rtlin90 two\\rtlin-30 \\par}}");
    ASSERT_TRUE(E->TextFormatted1);
    EXPECT_TRUE(Par(0)->ExtFlags & parxKeepLineBreaks);
    EXPECT_FALSE(Par(1)->ExtFlags & parxKeepLineBreaks);
    TRtSpecialTextProperty* header = E->FindHeaderFooter(rtraOnAllPages, rtIsHeader);
    ASSERT_TRUE(header && header->Paragraphs());
    EXPECT_TRUE(header->Paragraphs()->ExtFlags & parxKeepLineBreaks);
    UseFixedWidths();
    SetTextWidth(300);   // room for each paragraph on one line
    E->UpdateLayout();
    EXPECT_EQ(LinesOf(Par(0)), (std::vector<std::string>{"aaa bbb ", "ccc ddd"}));
    EXPECT_EQ(LinesOf(Par(1)), (std::vector<std::string>{"free text"}));

    // Without stored widths, or when the header does not allow them, the text is broken anew.
    E->Header()->PreformattedTextAllowed = 0;
    ReadRtf(*E, "{\\rtf1\\rtformatted1 aaa bbb \\rtlin80 ccc ddd\\rtlin-70 }");
    EXPECT_FALSE(Par(0)->ExtFlags & parxKeepLineBreaks);
    SetTextWidth(300);
    E->UpdateLayout();
    EXPECT_EQ(LinesOf(Par(0)), (std::vector<std::string>{"aaa bbb ccc ddd"}));
}
