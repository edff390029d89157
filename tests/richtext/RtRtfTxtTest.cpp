#include "RtObjBase.h"
#include "RtRtfTxt.h"
#include "RtTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace {

const uint8_t* U(const char* s) { return reinterpret_cast<const uint8_t*>(s); }

TAttr AttrWith(uint32_t Tag, std::initializer_list<TOneWrtStyle> Styles)
{
    TAttr a;
    a.Tag = Tag;
    a.Style = WrtStyle(Styles);
    return a;
}

// Puts marker characters (code 1, 2 or 3 with afsIsObject) at positions of a paragraph's first line.
void PutMarker(TParagraph* Par, int32_t Pos, uint8_t Code, uint32_t Id)
{
    Par->Lines->Chars[Pos] = Code;
    Par->Lines->Attrs[Pos] = AttrWith(Id, {afsIsObject});
}

// The paragraphs of a new text of Pars, taken from it as a chain.
TParagraph* DetachedChain(const std::vector<std::string>& Pars)
{
    TRtRTFText source;
    FillText(source, Pars);
    TParagraph* chain = source.FirstPar;
    source.FirstPar = nullptr;
    return chain;
}

}  // namespace

using RtRTFText = RtTextTest;

TEST_F(RtRTFText, NewTextHasOneEmptyParagraph)
{
    ASSERT_NE(Text.FirstPar, nullptr);
    EXPECT_EQ(Text.FirstPar->Next, nullptr);
    EXPECT_EQ(Text.FirstPar->Serial, 1u);
    EXPECT_EQ(Text.FirstPar->Lines->Capacity, 44);
    EXPECT_TRUE(Text.IsEmpty());
    EXPECT_EQ(Text.CountPars(), 0);
    EXPECT_EQ(Text.CountPages(), 0);
    EXPECT_EQ(Text.CursorPar, Text.FirstPar);
    EXPECT_EQ(Text.ScreenResolution, 96);
    EXPECT_EQ(Text.InsertPointAttr()->TextColor(), 0x0000FF);
    EXPECT_TRUE(Text.HiddenTextAttr()->Hidden());
    EXPECT_EQ(Text.HyperlinkTextAttr()->Underline(), tsTRUE);
    EXPECT_EQ(Text.BookmarkTextAttr()->UnderlineColor(), 0x008000);
}

TEST_F(RtRTFText, ClearStartsTheSerialCounterAgain)
{
    FillText(Text, {"one", "two"});
    Text.Header()->GetFontIndex("Arial");
    Text.Clear();
    EXPECT_TRUE(Text.IsEmpty());
    EXPECT_EQ(Text.FirstPar->Serial, 1u);
    EXPECT_EQ(Text.FirstPar->Lines->Capacity, 104);
    EXPECT_TRUE(Text.Header()->Fonts[0].Name.empty());
    EXPECT_EQ(Text.Header()->Fonts[0].Charset, -1);
}

TEST_F(RtRTFText, LineCapacities)
{
    TLine* a = nullptr;
    Text.InsertLine(a, 0);
    EXPECT_EQ(a->Capacity, 8);
    EXPECT_EQ(a->Height, 16);
    TLine* b = a;
    Text.InsertLine(b, 8);
    EXPECT_EQ(b->Capacity, 12);
    EXPECT_EQ(a->Next, b);
    EXPECT_EQ(b->Prior, a);

    EXPECT_TRUE(Text.ResizeLine(a, 7));
    EXPECT_EQ(a->Capacity, 8);
    std::memset(b->Chars, 'x', 12);
    Text.ResizeLine(b, 30);
    std::memset(b->Chars, 'x', 20);
    b->Length = 20;
    b->Chars[20] = 0;
    Text.ResizeLine(b, 10);
    EXPECT_EQ(b->Length, 9);
    EXPECT_EQ(b->Chars[9], 0);
    // Sizes beyond the 16-bit limit stop at it, keeping room for the NUL.
    Text.ResizeLine(b, 70000);
    EXPECT_EQ(b->Capacity, RtMaxLineCapacity);
    EXPECT_FALSE(Text.ResizeLine(nullptr, 8));
    TRtRTFText::FreeLine(a);
    TRtRTFText::FreeLine(b);
}

TEST_F(RtRTFText, ReplaceCharsResults)
{
    FillText(Text, {"abcdef"});
    TParagraph* p = Text.FirstPar;
    TLine* l = p->Lines;
    EXPECT_EQ(Text.ReplaceChars(p, l, nullptr, 0, nullptr, 10, 4), 0);  // reaches the end: cut
    EXPECT_EQ(ParString(p), "abcd");
    EXPECT_EQ(Text.ReplaceChars(p, l, nullptr, 1, U("X"), 2, 1), -1);
    EXPECT_EQ(ParString(p), "aXd");
    EXPECT_EQ(Text.ReplaceChars(p, l, nullptr, 4, U("1234"), 1, 1), 3);
    EXPECT_EQ(ParString(p), "a1234d");
    EXPECT_EQ(Text.ReplaceChars(p, l, nullptr, 2, U("yz"), 2, 0), 0);
    EXPECT_EQ(ParString(p), "yz234d");
    EXPECT_EQ(Text.ReplaceChars(p, l, nullptr, 0, nullptr, 0, 0), 0);
    EXPECT_EQ(Text.ReplaceChars(p, nullptr, nullptr, 1, U("q"), 0, 0), 0);
    EXPECT_TRUE(p->Flags & parfReformat);
}

TEST_F(RtRTFText, NewCharactersTakeTheAttributeAtThePosition)
{
    FillText(Text, {"ab"});
    TLine* l = Text.FirstPar->Lines;
    l->Attrs[1].Font = 7;
    Text.InsertString(Text.FirstPar, l, "XY", 0, 1);
    EXPECT_EQ(ParString(Text.FirstPar), "aXYb");
    EXPECT_EQ(l->Attrs[1].Font, 7);
    EXPECT_EQ(l->Attrs[2].Font, 7);
    EXPECT_EQ(l->Attrs[3].Font, 7);
    EXPECT_EQ(l->Attrs[0].Font, 0);
}

TEST_F(RtRTFText, TypingInsertsOrOverwrites)
{
    TParagraph* p = Text.FirstPar;
    TAttr bold = AttrWith(0, {afsBold});
    for (char c : std::string("held"))
        ASSERT_TRUE(Text.InsertChar(p, nullptr, &bold, uint8_t(c), 100));
    EXPECT_TRUE(Text.InsertChar(p, nullptr, nullptr, 'l', 3));
    EXPECT_EQ(ParString(p), "helld");
    Text.InsertMode = false;
    EXPECT_TRUE(Text.InsertChar(p, nullptr, nullptr, 'o', 4));
    EXPECT_TRUE(Text.InsertChar(p, nullptr, nullptr, '!', 5));
    EXPECT_EQ(ParString(p), "hello!");
    EXPECT_TRUE(p->Lines->Attrs[0].Style.Has(afsBold));
    EXPECT_FALSE(p->Lines->Attrs[4].Style.Has(afsBold));
    EXPECT_TRUE(p->Lines->Flags & linfChanged);
    EXPECT_EQ(p->Lines->Chars[6], 0);
}

TEST_F(RtRTFText, FullLineRefusesAnotherCharacter)
{
    TParagraph* p = Text.FirstPar;
    const std::string big(RtMaxLineCapacity - 1, 'x');
    Text.AddParText(0, U(big.c_str()), nullptr, int32_t(big.size()));
    // The text did not fit one line: it goes on in a second line of the paragraph.
    EXPECT_EQ(LinesOf(p).size(), 2u);
    EXPECT_EQ(ParString(p), big);
    TLine* first = p->Lines;
    Text.ResizeLine(first, RtMaxLineCapacity);
    while (first->Length < RtMaxLineCapacity - 1)
        ASSERT_TRUE(Text.InsertChar(p, first, nullptr, 'y', 0));
    EXPECT_FALSE(Text.InsertChar(p, first, nullptr, 'z', 0));
    EXPECT_EQ(Text.ReplaceChars(p, first, nullptr, 2, U("zz"), 0, 0), 0);
    EXPECT_EQ(first->Length, RtMaxLineCapacity - 1);
    EXPECT_EQ(first->Chars[first->Length], 0);
}

TEST_F(RtRTFText, InsertTextAtMakesLinesOfTheirOwn)
{
    FillText(Text, {"abcdef"});
    TParagraph* p = Text.FirstPar;
    Text.InsertTextAt(p, 2, nullptr, "XY");
    EXPECT_EQ(LinesOf(p), (std::vector<std::string>{"ab", "XY", "cdef"}));
    Text.InsertTextAt(p, 0, nullptr, "S");
    EXPECT_EQ(LinesOf(p), (std::vector<std::string>{"S", "ab", "XY", "cdef"}));
    Text.CursorPar = p;
    Text.CursorLine = p->Lines->Next->Next->Next;
    Text.CursorPos = 1;
    Text.InsertTextLine("mid", nullptr);
    EXPECT_EQ(LinesOf(p), (std::vector<std::string>{"S", "ab", "XY", "c", "mid", "def"}));
    EXPECT_EQ(Text.CursorPos, 3);
    EXPECT_EQ(ParString(p), "SabXYcmiddef");
}

TEST_F(RtRTFText, DeleteTextAtEmptiesLines)
{
    FillText(Text, {"abcdef"});
    TParagraph* p = Text.FirstPar;
    Text.InsertTextAt(p, 3, nullptr, "XYZ");  // lines abc | XYZ | def
    Text.DeleteTextAt(p, 2, 5);
    EXPECT_EQ(ParString(p), "abef");
    Text.DeleteTextAt(p, 4, 3);  // at the end: nothing
    EXPECT_EQ(ParString(p), "abef");
    Text.DeleteTextAt(p, 1, 100);
    EXPECT_EQ(ParString(p), "a");
}

TEST_F(RtRTFText, DeletingTheOnlyCharacterLeavesAnEmptyText)
{
    FillText(Text, {"x"});
    EXPECT_FALSE(Text.IsEmpty());
    EXPECT_TRUE(Text.DeleteChar(Text.FirstPar, Text.FirstPar->Lines, 0));
    EXPECT_TRUE(Text.IsEmpty());
    EXPECT_EQ(Text.FirstPar->Lines->Next, nullptr);
}

TEST_F(RtRTFText, DeletingAnEmptyParagraph)
{
    FillText(Text, {"a", "", "b"});
    TParagraph* mid = Text.FirstPar->Next;
    Text.CursorPar = mid;
    Text.CursorLine = mid->Lines;
    Text.DeleteChar(mid, mid->Lines, 0);
    EXPECT_EQ(Pars(Text), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(Text.CursorPar, Text.FirstPar->Next);
    EXPECT_EQ(Text.CursorPos, 0);

    // In the first or last paragraph the empty one joins instead.
    FillText(Text, {"", "b"});
    Text.DeleteChar(Text.FirstPar, Text.FirstPar->Lines, 0);
    EXPECT_EQ(Pars(Text), (std::vector<std::string>{"b"}));
}

TEST_F(RtRTFText, JoiningParagraphsAtTheirEnd)
{
    FillText(Text, {"ab", "cd", "ef"});
    TParagraph* p = Text.FirstPar;
    Text.CursorPar = p->Next;
    Text.CursorLine = p->Next->Lines;
    Text.CursorPos = 1;
    Text.DeleteChar(p, p->Lines, 2);
    EXPECT_EQ(Pars(Text), (std::vector<std::string>{"abcd", "ef"}));
    EXPECT_EQ(LinesOf(p).size(), 2u);
    EXPECT_EQ(Text.CursorPar, p);  // the cursor keeps its characters
    EXPECT_EQ(Text.GetCursorCharPos(), 3);
    // Deleting at a soft line end takes the next line's first character and joins the lines.
    Text.DeleteChar(p, p->Lines, 2);
    EXPECT_EQ(LinesOf(p), (std::vector<std::string>{"abd"}));
    // At the end of the text nothing happens.
    TParagraph* last = p->Next;
    Text.DeleteChar(last, last->Lines, 2);
    EXPECT_EQ(Pars(Text), (std::vector<std::string>{"abd", "ef"}));
}

TEST_F(RtRTFText, JoiningATableCellTakesItsCell)
{
    FillText(Text, {"ab", "cell"});
    TParagraph* cell = Text.FirstPar->Next;
    cell->Flags |= parfTableCell;
    cell->Cell = new TRtCell;
    cell->Cell->Name = "A1";
    cell->Align = paralRight;
    Text.DeleteChar(Text.FirstPar, Text.FirstPar->Lines, 2);
    TParagraph* p = Text.FirstPar;
    EXPECT_EQ(Pars(Text), (std::vector<std::string>{"abcell"}));
    ASSERT_NE(p->Cell, nullptr);
    EXPECT_EQ(p->Cell->Name, "A1");
    EXPECT_TRUE(p->Flags & parfTableCell);
    EXPECT_EQ(p->Align, paralRight);
    // A table cell does not join the next paragraph.
    Text.InsertParText(1, U("x"), nullptr, 1);
    EXPECT_EQ(Pars(Text).size(), 2u);
    Text.DeleteChar(p, p->Lines, int32_t(p->Lines->Length));
    EXPECT_EQ(Pars(Text).size(), 2u);
}

TEST_F(RtRTFText, LockedCellBeeps)
{
    TParagraph* p = Text.FirstPar;
    p->Flags |= parfTableCell;
    p->Cell = new TRtCell;
    p->Cell->Combine = 0xF0;
    const int beeps = TestPlatform().Beeps;
    EXPECT_FALSE(Text.InsertChar(p, nullptr, nullptr, 'a', 0));
    EXPECT_EQ(TestPlatform().Beeps, beeps + 1);
}

TEST_F(RtRTFText, SplitParagraph)
{
    FillText(Text, {"hello world"});
    TParagraph* p = Text.FirstPar;
    p->Number = 2;
    p->RunNumber = 4;
    Text.InsertTextAt(p, 11, nullptr, "!!");  // second line
    ASSERT_TRUE(Text.SplitPar(p, p->Lines, 5));
    EXPECT_EQ(Pars(Text), (std::vector<std::string>{"hello", " world!!"}));
    TParagraph* n = p->Next;
    EXPECT_EQ(LinesOf(n), (std::vector<std::string>{" world", "!!"}));
    EXPECT_EQ(n->Prior, p);
    EXPECT_EQ(n->Serial, p->Serial + 1);
    EXPECT_EQ(n->Index, 1);
    EXPECT_EQ(n->RunNumber, 5);
    EXPECT_EQ(n->Number, 2);
    // At the end a new empty paragraph follows.
    ASSERT_TRUE(Text.SplitPar(n, n->Lines->Next, 2));
    EXPECT_EQ(Pars(Text), (std::vector<std::string>{"hello", " world!!", ""}));
}

TEST_F(RtRTFText, NewParagraphCopiesBordersOnlyWhenNotSplitAtEnd)
{
    FillText(Text, {"ab"});
    TParagraph* p = Text.FirstPar;
    p->BrdLines = brdPresent | brdNoBetween | brdTop;
    p->BrdWidth = 3;
    p->Flags |= parfTableCell | parfIsOutline | parfKeepTogether;
    p->Tabs = 5;
    Text.SplitPar(p, p->Lines, 1);
    TParagraph* n = p->Next;
    EXPECT_EQ(n->BrdLines, brdPresent | brdNoBetween | brdTop);
    EXPECT_EQ(p->BrdLines, brdPresent | brdTop);
    EXPECT_FALSE(n->Flags & (parfTableCell | parfIsOutline));
    EXPECT_TRUE(n->Flags & parfKeepTogether);
    EXPECT_EQ(n->Tabs, 0u);  // not taken from a table cell
    Text.SplitPar(n, n->Lines, 1);  // at the end
    EXPECT_EQ(n->Next->BrdLines, 0);
}

TEST_F(RtRTFText, DeleteRangeAcrossParagraphs)
{
    FillText(Text, {"abc", "def", "ghi", "jkl"});
    TParagraph* from = Text.FirstPar;
    TParagraph* to = from->Next->Next;
    Text.SetCursorCharPos(1);
    Text.DeleteTextRange(from, to, 2, 1, from->Lines, to->Lines);
    EXPECT_EQ(Pars(Text), (std::vector<std::string>{"ai", "jkl"}));
    EXPECT_EQ(Text.GetCursorCharPos(), 1);
    Text.DeleteTextRange(nullptr, nullptr, 0, 0, nullptr, nullptr);
    EXPECT_EQ(Pars(Text), (std::vector<std::string>{""}));
}

TEST_F(RtRTFText, DeleteRangeInOneLine)
{
    FillText(Text, {"abcdef", "gh"});
    TParagraph* p = Text.FirstPar;
    Text.DeleteTextRange(p, p, 4, 1, p->Lines, p->Lines);
    EXPECT_EQ(ParString(p), "aef");
    // A range whose end lies before its start deletes nothing.
    TParagraph* q = p->Next;
    Text.DeleteTextRange(q, p, 1, 0, q->Lines, p->Lines);
    EXPECT_EQ(Pars(Text), (std::vector<std::string>{"aef", "gh"}));
}

TEST_F(RtRTFText, DeletingAStartMarkerRemovesItsEndMarkerInALaterParagraph)
{
    FillText(Text, {"a<b", "c>d"});
    PutMarker(Text.FirstPar, 1, 2, 5);
    PutMarker(Text.FirstPar->Next, 1, 3, 5);
    Text.EditOptions.Include(rtObjectDeletion);
    Text.DeleteChar(Text.FirstPar, Text.FirstPar->Lines, 1);
    EXPECT_EQ(Pars(Text), (std::vector<std::string>{"ab", "cd"}));
    EXPECT_TRUE(Text.ObjectsChanged);
}

TEST_F(RtRTFText, NestedMarkersPairByNesting)
{
    // Code 2 and 3 stand for < and >: a < < > > with one id.
    FillText(Text, {"x<<y>z>w"});
    TParagraph* p = Text.FirstPar;
    for (int i : {1, 2})
        PutMarker(p, i, 2, 9);
    for (int i : {4, 6})
        PutMarker(p, i, 3, 9);
    TParagraph* par = p;
    TLine* line = p->Lines;
    int32_t pos = 1;
    ASSERT_TRUE(Text.FindPairedMarker(par, line, pos));
    EXPECT_EQ(pos, 6);
    pos = 4;
    ASSERT_TRUE(Text.FindPairedMarker(par, line, pos));
    EXPECT_EQ(pos, 2);
    // In the same paragraph the partner is marked as deleted and purged later.
    Text.EditOptions.Include(rtObjectDeletion);
    Text.DeleteChar(p, p->Lines, 2);
    EXPECT_TRUE(p->Lines->Attrs[3].Style.Has(afsDelete));
    Text.PurgeDeletedChars(p);
    EXPECT_EQ(ParString(p), std::string("x\x02yz\x03w"));
}

TEST_F(RtRTFText, FindNextObjectMarkerByIds)
{
    FillText(Text, {"ab", "c#d#"});
    PutMarker(Text.FirstPar->Next, 1, 1, 4);
    PutMarker(Text.FirstPar->Next, 3, 2, 6);
    TParagraph* par = nullptr;
    TLine* line = nullptr;
    int32_t pos = 0;
    EXPECT_EQ(Text.FindNextObjectMarker(par, line, pos, {6}), 6);
    EXPECT_EQ(pos, 3);
    par = nullptr;
    EXPECT_EQ(Text.FindNextObjectMarker(par, line, pos, {4, 6}), 4);
    EXPECT_EQ(Text.FindNextObjectMarker(par, line, pos, {4}), 0);
}

TEST_F(RtRTFText, DeletingAnObjectCharacterReleasesItsReference)
{
    int removed = 0;
    struct TObj : TRtObjectBase {
        int* Removed;
        explicit TObj(int* r) : Removed(r) {}
        void RemovedFromText(TRtRTFText*) override { ++*Removed; }
    };
    FillText(Text, {"a#b"});
    auto* obj = new TObj(&removed);
    Text.Objects().push_back(obj);
    TTextObj* ref = Text.ObjRefList()->AddObject(obj);
    ref->Placed = 1;
    PutMarker(Text.FirstPar, 1, 1, 1);
    // Objects are protected unless object deletion is allowed.
    Text.DeleteChar(Text.FirstPar, Text.FirstPar->Lines, 1);
    EXPECT_EQ(ParString(Text.FirstPar), "a\x01" "b");
    Text.EditOptions.Include(rtObjectDeletion);
    Text.DeleteChar(Text.FirstPar, Text.FirstPar->Lines, 1);
    EXPECT_EQ(ParString(Text.FirstPar), "ab");
    EXPECT_EQ(removed, 1);
    EXPECT_EQ(ref->Placed, 0);
    EXPECT_EQ(Text.ObjRefList()->FindItem(1)->RefCount, 0);
}

TEST_F(RtRTFText, ProtectedTextRefusesEdits)
{
    FillText(Text, {"abcd", "end"});
    TParagraph* p = Text.FirstPar;
    TLine* l = p->Lines;
    l->Attrs[1].Style.Include(afsProtected);
    l->Attrs[2].Style.Include(afsProtected);
    std::vector<std::pair<AnsiString, int32_t>> reports;
    Text.OnProtectedChange = [&](TObject*, const AnsiString& t, int32_t tag) { reports.emplace_back(t, tag); };
    EXPECT_FALSE(Text.IsProtected(p, l, 1));  // not without the option
    Text.ProtectOptions = TProtectProp{ppProtected};
    EXPECT_FALSE(Text.InsertChar(p, l, nullptr, 'x', 2));
    Text.DeleteChar(p, l, 1);
    EXPECT_FALSE(Text.SplitPar(p, l, 2));
    EXPECT_EQ(Pars(Text), (std::vector<std::string>{"abcd", "end"}));
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.front().first, "bc");
    EXPECT_TRUE(Text.InsertChar(p, l, nullptr, 'x', 3));
    Text.ProtectionOff = true;
    EXPECT_FALSE(Text.IsProtected(p, l, 1));
}

TEST_F(RtRTFText, ProtectionAtLineAndTextEnds)
{
    FillText(Text, {"ab", "cd"});
    TParagraph* p = Text.FirstPar;
    p->Next->Lines->Attrs[0].Style.Include(afsProtected);
    Text.ProtectOptions = TProtectProp{ppProtected};
    // The end of a paragraph takes the verdict of the next paragraph's first position.
    EXPECT_TRUE(Text.IsProtected(p, p->Lines, 2));
    Text.ProtectOptions.Include(ppInsertBetweenProtectedPar);
    EXPECT_FALSE(Text.IsProtected(p, p->Lines, 2));
    // The end of the text is open unless no editing after protection is asked for.
    TParagraph* last = p->Next;
    last->Lines->Attrs[1].Style.Include(afsProtected);
    Text.ProtectOptions = TProtectProp{ppProtected};
    EXPECT_FALSE(Text.IsProtected(last, last->Lines, 2));
    Text.ProtectOptions.Include(ppNoEditAfterProtection);
    EXPECT_TRUE(Text.IsProtected(last, last->Lines, 2));
    Text.ProtectOptions.Include(ppAllowEditAtTextEnd);
    EXPECT_FALSE(Text.IsProtected(last, last->Lines, 2));
}

TEST_F(RtRTFText, ProtectedParagraphsAndSkipFlags)
{
    FillText(Text, {"ab", "cd"});
    TParagraph* p = Text.FirstPar;
    p->Flags |= parfProtected;
    EXPECT_FALSE(Text.IsProtected(p, p->Lines, 0));
    Text.ProtectOptions = TProtectProp{ppParProtected};
    AnsiString reported = "-";
    Text.OnProtectedChange = [&](TObject*, const AnsiString& t, int32_t) { reported = t; };
    EXPECT_TRUE(Text.IsProtected(p, p->Lines, 0));
    EXPECT_EQ(reported, "ab");
    Text.ParProtectionSuspended = true;
    EXPECT_FALSE(Text.IsProtected(p, p->Lines, 0));
    p->Flags |= parfSkip2;
    EXPECT_TRUE(Text.IsProtected(p, p->Lines, 0));
}

TEST_F(RtRTFText, InsertPointsAreProtectedWhenDeleting)
{
    FillText(Text, {"a<F>b"});
    TParagraph* p = Text.FirstPar;
    for (int i = 1; i <= 3; ++i)
        p->Lines->Attrs[i] = AttrWith(0x10007, {afsIsInsertpoint});
    p->Lines->Attrs[4] = AttrWith(0x10007, {afsAutomatic});
    Text.ProtectOptions = TProtectProp{ppIsInsertpoint};
    std::pair<AnsiString, int32_t> report;
    Text.OnProtectedChange = [&](TObject*, const AnsiString& t, int32_t tag) { report = {t, tag}; };
    // Typing in insert mode may go on; deleting never does.
    EXPECT_FALSE(Text.IsProtected(p, p->Lines, 2));
    Text.DeleteChar(p, p->Lines, 2);
    EXPECT_EQ(ParString(p), "a<F>b");
    EXPECT_EQ(report.first, "<F>b");  // automatic text after the insert point joins its run
    EXPECT_EQ(report.second, 7);
}

TEST_F(RtRTFText, CursorPositionsCountParagraphEnds)
{
    FillText(Text, {"ab", "c"});
    TParagraph* second = Text.FirstPar->Next;
    Text.CursorPar = second;
    Text.CursorLine = second->Lines;
    Text.CursorPos = 1;
    EXPECT_EQ(Text.GetCursorCharPos(), 4);
    Text.SetCursorCharPos(0);
    EXPECT_EQ(Text.CursorPar, Text.FirstPar);
    EXPECT_EQ(Text.CursorPos, 0);
    Text.SetCursorCharPos(3);
    EXPECT_EQ(Text.CursorPar, second);
    EXPECT_EQ(Text.CursorPos, 0);
    Text.SetCursorCharPos(99);
    EXPECT_EQ(Text.CursorPar, second);
    EXPECT_EQ(Text.CursorPos, 1);
    // The end of a line with a next line is the start of that next line.
    Text.InsertTextAt(Text.FirstPar, 2, nullptr, "XY");  // lines ab | XY
    Text.SetCursorCharPos(2);
    EXPECT_EQ(Text.CursorLine, Text.FirstPar->Lines->Next);
    EXPECT_EQ(Text.CursorPos, 0);
    EXPECT_EQ(Text.GetCursorCharPos(), 2);
}

TEST_F(RtRTFText, CopyTextAndAttrs)
{
    FillText(Text, {"ab", "", "c"});
    char buf[16];
    EXPECT_EQ(Text.CopyTextAndAttrs(buf, nullptr, 16), 7);
    EXPECT_STREQ(buf, "ab\r\n\r\nc");
    TAttr attrs[8];
    Text.FirstPar->Lines->Attrs[1].Font = 4;
    EXPECT_EQ(Text.CopyTextAndAttrs(buf, attrs, 8), 5);
    EXPECT_STREQ(buf, "ab\r\rc");
    EXPECT_EQ(attrs[2].Font, 4);  // the paragraph mark takes the last entry
    EXPECT_EQ(Text.CopyTextAndAttrs(buf, nullptr, 3), 3);
    EXPECT_EQ(std::string(buf, 3), "ab\r");
    EXPECT_EQ(Text.CopyTextAndAttrs(nullptr, nullptr, 0), 7);
}

TEST_F(RtRTFText, ReadingParagraphs)
{
    FillText(Text, {"one", "two words", "three"});
    EXPECT_EQ(Text.CountPars(), 3);
    EXPECT_EQ(Text.GetParLengthByIndex(1), 9);
    EXPECT_EQ(Text.GetParLengthByIndex(5), 0);
    char buf[8];
    EXPECT_EQ(Text.GetParText(1, buf, 6), 4);
    EXPECT_STREQ(buf, "two ");
    EXPECT_EQ(Text.CopyParText(Text.FirstPar->Next, 4, buf, 3), 3);
    EXPECT_STREQ(buf, "wor");
    EXPECT_EQ(TRtRTFText::CountParsTo(Text.FirstPar, Text.FirstPar->Next->Next), 3);
    EXPECT_EQ(TRtRTFText::CountParsTo(Text.FirstPar, nullptr), 3);
    EXPECT_EQ(TRtRTFText::CountParsTo(nullptr, Text.FirstPar), 0);
    AnsiString word;
    EXPECT_TRUE(Text.GetWordAt(Text.FirstPar->Next->Lines, 3, word));
    EXPECT_EQ(word, "words");
    Text.InsertTextAt(Text.FirstPar, 2, nullptr, "ly");  // lines on | ly | e
    EXPECT_TRUE(Text.GetWordAt(Text.FirstPar->Lines, 0, word));
    EXPECT_EQ(word, "onlye");
}

TEST_F(RtRTFText, CountPagesByExplicitBreaks)
{
    FillText(Text, {"a", "b"});
    EXPECT_EQ(Text.CountPages(), 1);
    Text.FirstPar->Next->Flags |= parfNewPage;
    Text.FirstPar->Lines->Flags |= linfPageStart;
    EXPECT_EQ(Text.CountPages(), 3);
    EXPECT_TRUE(Text.IsLastPage(2));
    EXPECT_FALSE(Text.IsLastPage(1));
}

TEST_F(RtRTFText, WholeParagraphsByIndex)
{
    FillText(Text, {"one", "two", "three"});
    TParagraph* second = Text.FirstPar->Next;
    Text.InsertTextAt(second, 3, nullptr, "more");
    Text.AddParText(1, U("new"), nullptr, 3);
    EXPECT_EQ(LinesOf(second), (std::vector<std::string>{"new"}));
    Text.AddParText(9, U("last"), nullptr, 4);
    EXPECT_EQ(Pars(Text), (std::vector<std::string>{"one", "new", "last"}));
    Text.InsertParText(0, U("first"), nullptr, 5);
    Text.InsertParText(2, U("mid"), nullptr, 3);
    EXPECT_EQ(Pars(Text), (std::vector<std::string>{"first", "one", "mid", "new", "last"}));
    EXPECT_EQ(Text.FirstPar->Next->Index, 1);
    Text.CursorPar = Text.FirstPar->Next;
    Text.CursorLine = Text.CursorPar->Lines;
    Text.DeleteParIndex(1);
    Text.DeleteParIndex(0);
    Text.DeleteParIndex(7);
    EXPECT_EQ(Pars(Text), (std::vector<std::string>{"mid", "new", "last"}));
    EXPECT_EQ(ParString(Text.CursorPar), "mid");
}

TEST_F(RtRTFText, DeletingTheOnlyCursorParagraphEmptiesIt)
{
    FillText(Text, {"abc"});
    Text.CursorPar = Text.FirstPar;
    Text.DeleteParIndex(0);
    EXPECT_TRUE(Text.IsEmpty());
}

TEST_F(RtRTFText, MemoryFormatSwitch)
{
    FillText(Text, {"a\tb", "c"});
    Text.SetMemoryFormat(1);
    EXPECT_EQ(Text.MemoryFormat(), fmPlainText);
    EXPECT_EQ(Text.Header()->RichText, 0);
    for (const TParagraph* p = Text.FirstPar; p; p = p->Next) {
        EXPECT_EQ(p->Lines->Attrs, nullptr);
        EXPECT_EQ(p->Lines->Height, 16);
        EXPECT_EQ(p->Lines->Base, 14);
        EXPECT_TRUE(p->Flags & parfReformat);
    }
    // Plain text knows no character protection and edits go on without attributes.
    Text.ProtectOptions = TProtectProp{ppProtected, ppIsInvisible};
    EXPECT_FALSE(Text.IsProtected(Text.FirstPar, Text.FirstPar->Lines, 0));
    EXPECT_TRUE(Text.InsertChar(Text.FirstPar, nullptr, nullptr, 'x', 0));
    EXPECT_TRUE(Text.SplitPar(Text.FirstPar, Text.FirstPar->Lines, 2));
    EXPECT_EQ(Pars(Text), (std::vector<std::string>{"xa", "\tb", "c"}));
    EXPECT_EQ(Text.FirstPar->Next->Lines->Attrs, nullptr);

    Text.CurrentAttr.Size = 0;
    Text.CurrentAttr.Font = 3;
    Text.CurrentAttr.Height = 20;
    Text.CurrentAttr.Base = 15;
    Text.SetMemoryFormat(0);
    EXPECT_EQ(Text.CurrentAttr.Size, 10);
    const TLine* l = Text.FirstPar->Next->Lines;
    ASSERT_NE(l->Attrs, nullptr);
    EXPECT_EQ(l->Attrs[0].Font, 3);
    EXPECT_EQ(l->Attrs[0].Width, 16);  // the tab takes the blank's cached width
    EXPECT_EQ(l->Height, 20);
    EXPECT_EQ(l->Base, 15);
    Text.SetMemoryFormat(2);
    EXPECT_EQ(Text.MemoryFormat(), fmRichText);
}

TEST_F(RtRTFText, MergingAChainIntoTheMiddleOfAParagraph)
{
    FillText(Text, {"hello world", "after"});
    TParagraph* p = Text.FirstPar;
    TLine* line = p->Lines;
    int32_t pos = 6;
    EXPECT_TRUE(Text.InsertParagraphs(p, line, pos, DetachedChain({"AB", "CD"})));
    EXPECT_EQ(Pars(Text), (std::vector<std::string>{"hello AB", "CDworld", "after"}));
    EXPECT_EQ(ParString(p), "CDworld");
    EXPECT_EQ(Text.CharPosOf(p, line, pos), 9 + 2);
    EXPECT_EQ(Text.FirstPar->Next->Next->Index, 2);
}

TEST_F(RtRTFText, PositionsFollowTheirCharacterIntoAnotherParagraph)
{
    // Each edit moves the "world" of "hello world" into another paragraph, and with it every
    // position on it (here on its "r"): a split after "hello ", a chain "AB" / "CD" merged
    // there, and joining "world" as a paragraph of its own to "hello " (by deleting the break,
    // or the first line "xx" of "xxworld").
    struct TEdit {
        const char* Name;
        std::vector<std::string> Text;
        int32_t Par, Pos;   // the "r": its paragraph and its place in it
        std::function<TParagraph*(TRtRTFText&)> Run;   // the paragraph that holds "world" after it
        std::string Result;
    };
    const TEdit edits[] = {
        {"split", {"hello world", "after"}, 0, 8,
         [](TRtRTFText& T) {
             EXPECT_TRUE(T.SplitPar(T.FirstPar, T.FirstPar->Lines, 6));
             return T.FirstPar->Next;
         },
         "world"},
        {"merged chain", {"hello world", "after"}, 0, 8,
         [](TRtRTFText& T) {
             TParagraph* p = T.FirstPar;
             TLine* line = p->Lines;
             int32_t pos = 6;
             EXPECT_TRUE(T.InsertParagraphs(p, line, pos, DetachedChain({"AB", "CD"})));
             return p;
         },
         "CDworld"},
        {"joined", {"hello ", "world"}, 1, 2,
         [](TRtRTFText& T) {
             EXPECT_TRUE(T.DeleteChar(T.FirstPar, T.FirstPar->Lines, 6));
             return T.FirstPar;
         },
         "hello world"},
        {"joined as its first line goes", {"hello ", "xxworld"}, 1, 4,
         [](TRtRTFText& T) {
             TParagraph* p = T.FirstPar->Next;
             T.SplitLineAt(p->Lines, 2);
             T.DeleteLine(p, p->Lines);
             return T.FirstPar;
         },
         "hello world"},
    };
    for (const TEdit& edit : edits) {
        SCOPED_TRACE(edit.Name);
        TRtRTFText text;
        FillText(text, edit.Text);
        TParagraph* holding = text.GetParByIndex(edit.Par);
        TTestPosition own;
        text.Positions().Add(own.Par, own.Line, own.Pos);
        const TPositionFields holders[] = {
            {"cursor", text.CursorPar, text.CursorLine, text.CursorPos},
            {"body cursor", text.BodyCursorPar, text.BodyCursorLine, text.BodyCursorPos},
            {"registered", own.Par, own.Line, own.Pos},
        };
        for (const TPositionFields& h : holders) {
            h.Par = holding;
            h.Line = holding->Lines;
            h.Pos = edit.Pos;
        }
        TParagraph* p = edit.Run(text);
        ASSERT_EQ(ParString(p), edit.Result);
        for (const TPositionFields& h : holders)
            EXPECT_EQ(OffsetInPar(p, h), int32_t(edit.Result.find('r'))) << h.Name;
        text.Positions().Remove(&own, sizeof(own));
    }
}

TEST_F(RtRTFText, PositionsKeepTheirCharactersWhenARangeIsDeleted)
{
    // A position before the range stays, one in it goes to its start, one after it
    // keeps its character: across a paragraph break, across the lines of one
    // paragraph, and within a line where equal characters border the range.
    using TPlace = std::pair<int32_t, int32_t>;   // paragraph index, offset in it
    struct TCase {
        const char* Name;
        std::vector<std::string> Text;
        int32_t SplitAt;   // the first paragraph's second line starts there (0: one line)
        TPlace From, To;
        std::vector<TPlace> Held;
        std::vector<int32_t> Kept;   // their offsets in the first paragraph after it
        std::string Result;
    };
    const TCase cases[] = {
        {"paragraphs", {"hello woXX", "YYrld", "after"}, 0, {0, 8}, {1, 2},
         {{0, 1}, {0, 9}, {1, 0}, {1, 2}, {1, 4}}, {1, 8, 8, 8, 10}, "hello world"},
        {"lines", {"hello woXXYYrld", "after"}, 10, {0, 8}, {0, 12},
         {{0, 1}, {0, 9}, {0, 10}, {0, 12}, {0, 14}}, {1, 8, 8, 8, 10}, "hello world"},
        {"equal neighbours", {"xaay"}, 0, {0, 1}, {0, 2}, {{0, 1}, {0, 2}, {0, 3}}, {1, 1, 2}, "xay"},
        {"a paragraph between", {"hello woXX", "ZZ", "YYrld", "after"}, 0, {0, 8}, {2, 2},
         {{0, 1}, {1, 1}, {2, 4}}, {1, 8, 10}, "hello world"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        FillText(Text, c.Text);
        if (c.SplitAt > 0)
            Text.SplitLineAt(Text.FirstPar->Lines, c.SplitAt);
        auto place = [&](TPlace At, TParagraph*& Par, TLine*& Line, int32_t& Pos) {
            Par = Text.GetParByIndex(At.first);
            Pos = At.second;
            Line = TRtRTFText::LineAtParPos(Par, Pos);
        };
        std::vector<TTestPosition> held(c.Held.size());
        for (size_t i = 0; i < held.size(); ++i) {
            place(c.Held[i], held[i].Par, held[i].Line, held[i].Pos);
            Text.Positions().Add(held[i].Par, held[i].Line, held[i].Pos);
        }
        TParagraph *fromPar, *toPar;
        TLine *fromLine, *toLine;
        int32_t fromPos, toPos;
        place(c.From, fromPar, fromLine, fromPos);
        place(c.To, toPar, toLine, toPos);
        Text.DeleteTextRange(fromPar, toPar, toPos, fromPos, fromLine, toLine);
        ASSERT_EQ(ParString(Text.FirstPar), c.Result);
        for (size_t i = 0; i < held.size(); ++i) {
            TTestPosition& h = held[i];
            EXPECT_EQ(OffsetInPar(Text.FirstPar, {"held", h.Par, h.Line, h.Pos}), c.Kept[i]) << "position " << i;
            ASSERT_NE(h.Line, nullptr);
            EXPECT_LE(h.Pos, h.Line->Length) << "position " << i;
        }
        Text.Positions().Remove(held.data(), held.size() * sizeof(TTestPosition));
    }
}

TEST_F(RtRTFText, PositionsKeepTheirCharactersWhenALineJoinsTheOneBefore)
{
    // Deleting at the end of "hello " takes the "x" of the next line "xworld" and
    // joins the rest: a position on "r" stays there, one on "x" goes to the join.
    FillText(Text, {"hello xworld"});
    TParagraph* par = Text.FirstPar;
    TLine* second = Text.SplitLineAt(par->Lines, 6);
    TTestPosition onX{par, second, 0};
    TTestPosition onR{par, second, 3};
    Text.Positions().Add(onX.Par, onX.Line, onX.Pos);
    Text.Positions().Add(onR.Par, onR.Line, onR.Pos);
    Text.DeleteChar(par, par->Lines, 6);
    ASSERT_EQ(ParString(par), "hello world");
    EXPECT_EQ(OffsetInPar(par, {"x", onX.Par, onX.Line, onX.Pos}), 6);
    EXPECT_EQ(OffsetInPar(par, {"r", onR.Par, onR.Line, onR.Pos}), 8);
    Text.Positions().Remove(&onX, sizeof(onX));
    Text.Positions().Remove(&onR, sizeof(onR));
}

TEST_F(RtRTFText, AParagraphsHoldersGoWithItWhenItJoinsTheOneBefore)
{
    // A holder of the paragraph alone, and one whose line the join does not keep.
    FillText(Text, {"ab", "cd"});
    TParagraph* second = Text.FirstPar->Next;
    TParagraph* parOnly = second;
    TTestPosition stale{second, nullptr, 0};
    Text.Positions().Add(parOnly);
    Text.Positions().Add(stale.Par, stale.Line, stale.Pos);
    EXPECT_TRUE(Text.DeleteChar(Text.FirstPar, Text.FirstPar->Lines, 2));
    ASSERT_EQ(Pars(Text), (std::vector<std::string>{"abcd"}));
    EXPECT_EQ(parOnly, Text.FirstPar);
    EXPECT_EQ(stale.Par, Text.FirstPar);
    EXPECT_GE(OffsetInPar(Text.FirstPar, {"stale", stale.Par, stale.Line, stale.Pos}), 0);
    Text.Positions().Remove(&parOnly, sizeof(parOnly));
    Text.Positions().Remove(&stale, sizeof(stale));
}

TEST_F(RtRTFText, MergingAtAParagraphStartTakesTheChainsProperties)
{
    FillText(Text, {"xy"});
    Text.FirstPar->Flags |= parfNewPage;
    Text.FirstPar->IndentLeft = 100;
    TRtRTFText source;
    FillText(source, {"one", "two"});
    source.FirstPar->Align = paralCenter;
    TParagraph* chain = source.FirstPar;
    source.FirstPar = nullptr;
    TParagraph* p = Text.FirstPar;
    TLine* line = p->Lines;
    int32_t pos = 0;
    Text.InsertParagraphs(p, line, pos, chain);
    EXPECT_EQ(Pars(Text), (std::vector<std::string>{"one", "twoxy"}));
    EXPECT_EQ(Text.FirstPar->Align, paralCenter);
    EXPECT_TRUE(Text.FirstPar->Flags & parfNewPage);
    EXPECT_EQ(Text.FirstPar->IndentLeft, 0);
    EXPECT_EQ(Text.FirstPar->Next->IndentLeft, 100);  // the old properties go with the rest
}

TEST_F(RtRTFText, MergingIntoATableCellMakesSoftBreaks)
{
    FillText(Text, {"ab"});
    TParagraph* cell = Text.FirstPar;
    cell->Flags |= parfTableCell;
    TRtRTFText source;
    FillText(source, {"one", "two"});
    TParagraph* chain = source.FirstPar;
    source.FirstPar = nullptr;
    TLine* line = cell->Lines;
    int32_t pos = 1;
    EXPECT_FALSE(Text.InsertParagraphs(cell, line, pos, chain));
    EXPECT_EQ(Pars(Text), (std::vector<std::string>{"aone\ntwob"}));
    EXPECT_EQ(pos, 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(line->Chars), line->Length), "b");
}

TEST_F(RtRTFText, MergingCellsCellByCell)
{
    FillText(Text, {"a1", "a2", "b1", "b2"});
    TParagraph* t = Text.FirstPar;
    for (TParagraph* p = t; p; p = p->Next)
        p->Flags |= parfTableCell;
    t->Flags |= parfNotLastCell;
    t->Next->Flags |= parfNotFirstCell;
    t->Next->Next->Flags |= parfNotLastCell;
    t->Next->Next->Next->Flags |= parfNotFirstCell;
    TRtRTFText source;
    FillText(source, {"X", "Y"});
    TParagraph* chain = source.FirstPar;
    source.FirstPar = nullptr;
    chain->Flags |= parfTableCell | parfNotLastCell;
    chain->Next->Flags |= parfTableCell | parfNotFirstCell;
    TLine* line = t->Lines;
    int32_t pos = 0;
    EXPECT_FALSE(Text.InsertParagraphs(t, line, pos, chain));
    EXPECT_EQ(Pars(Text), (std::vector<std::string>{"X", "Y", "b1", "b2"}));
}

TEST_F(RtRTFText, MergingIntoAnEmptyText)
{
    Text.ClearParagraphs(false);
    TRtRTFText source;
    FillText(source, {"only"});
    TParagraph* chain = source.FirstPar;
    source.FirstPar = nullptr;
    TParagraph* p = nullptr;
    TLine* line = nullptr;
    int32_t pos = 5;
    EXPECT_TRUE(Text.InsertParagraphs(p, line, pos, chain));
    EXPECT_EQ(Pars(Text), (std::vector<std::string>{"only"}));
    EXPECT_EQ(pos, 0);
    EXPECT_FALSE(Text.InsertParagraphs(p, line, pos, nullptr));
}

TEST_F(RtRTFText, CharacterAttributesAndWidthCache)
{
    FillText(Text, {"a\tb"});
    TLine* l = Text.FirstPar->Lines;
    TAttr a = AttrWith(0, {afsItalic});
    a.Font = 2;
    Text.SetCharAttr(l, 1, a);
    EXPECT_EQ(l->Attrs[1].Font, 0);  // not while the construction flag is set
    Text.ConstructionFlag = false;
    Text.SetCurrentAttr(a);
    EXPECT_EQ(Text.CurrentAttr.Font, 2);
    Text.SetCharAttr(l, 1, a);
    EXPECT_EQ(l->Attrs[1].Font, 2);
    EXPECT_EQ(l->Attrs[1].Width, 16);
    EXPECT_EQ(l->Attrs[1].Height, 16);
    EXPECT_EQ(l->Attrs[1].Base, 14);
    Text.SetCharAttr(l, l->Capacity, a);  // outside: nothing
    EXPECT_EQ(Text.GetColorEntry(1), 0x0000FF);
    EXPECT_EQ(Text.GetColorEntry(-1), 0);
    EXPECT_EQ(Text.GetColorEntry(255), 0);
    Text.SetWidthCacheCount(0);
    EXPECT_EQ(Text.WidthCacheCount(), 1);
    Text.SetZooming(200);
    Text.ResetWidthCache();
    EXPECT_EQ(Text.CacheDefaultHeight, 8);
    EXPECT_EQ(Text.CacheDefaultBase, 7);
}

TEST_F(RtRTFText, ParagraphStyleMarks)
{
    FillText(Text, {"ab"});
    TLine* l = Text.FirstPar->Lines;
    l->Attrs[0].Style.Include(afsBold);
    l->Attrs[1].Size = 12;
    TAttr style;
    style.Size = 12;
    Text.MarkParStyleAttrs(style, 0, Text.FirstPar);
    EXPECT_FALSE(l->Attrs[0].Style.Has(afsParStyleBold));
    Text.MarkParStyleAttrs(style, 1 | 16, Text.FirstPar);
    EXPECT_TRUE(l->Attrs[0].Style.Has(afsParStyleBold));
    EXPECT_TRUE(l->Attrs[0].Style.Has(afsParStyleSize));
    EXPECT_FALSE(l->Attrs[1].Style.Has(afsParStyleBold));
    EXPECT_FALSE(l->Attrs[1].Style.Has(afsParStyleSize));
}

TEST_F(RtRTFText, ChangeCharAttrsVisitsEveryEntryOfTheRange)
{
    // The characters seen, '|' for a line's entry past its last character.
    std::string seen;
    TParagraph* par = nullptr;
    TLine* line = nullptr;
    int32_t pos = 0;
    auto visit = [&](TAttr& a) {
        const uint8_t ch = line->Chars[pos];
        seen += ch ? char(ch) : '|';
        a.Style.Include(afsBold);
        if (++pos > line->Length) {
            pos = 0;
            line = line->Next ? line->Next : (par = par->Next) ? par->Lines : nullptr;
        }
    };
    auto clearFlags = [this] {
        for (TParagraph* p = Text.FirstPar; p; p = p->Next) {
            p->Flags = 0;
            for (TLine* l = p->Lines; l; l = l->Next)
                l->Flags = 0;
        }
    };

    // An empty text has only the entry past its end.
    Text.Clear();
    clearFlags();
    par = Text.FirstPar;
    line = par->Lines;
    Text.ChangeCharAttrs(Text.FirstPar, nullptr, visit);
    EXPECT_EQ(seen, "|");
    EXPECT_TRUE(Text.FirstPar->Lines->Attrs[0].Style.Has(afsBold));
    EXPECT_TRUE(Text.FirstPar->Flags & parfReformat);
    EXPECT_TRUE(Text.FirstPar->Lines->Flags & linfChanged);

    FillText(Text, {"ab", "cd", "ef"});
    TParagraph* second = Text.FirstPar->Next;
    TLine* extra = second->Lines;
    Text.InsertLine(extra, 8);
    clearFlags();
    Text.ConstructionFlag = false;  // the base SetCharAttr now gives the cached metrics

    // One paragraph: each line with its entry past the end, nothing outside.
    seen.clear();
    par = second;
    line = par->Lines;
    Text.ChangeCharAttrs(second, second, visit);
    EXPECT_EQ(seen, "cd||");
    EXPECT_TRUE(second->Lines->Attrs[2].Style.Has(afsBold));
    EXPECT_TRUE(extra->Attrs[0].Style.Has(afsBold));
    EXPECT_EQ(second->Lines->Attrs[0].Width, 16);
    EXPECT_TRUE(second->Flags & parfReformat);
    EXPECT_TRUE(extra->Flags & linfChanged);
    for (TParagraph* p : {Text.FirstPar, second->Next}) {
        EXPECT_FALSE(p->Flags & parfReformat);
        for (int32_t i = 0; i <= p->Lines->Length; ++i)
            EXPECT_FALSE(p->Lines->Attrs[i].Style.Has(afsBold)) << ParString(p) << " " << i;
    }

    // Without a last paragraph the chain is visited to its end; entries the call
    // leaves as they were mark nothing.
    clearFlags();
    seen.clear();
    par = second;
    line = par->Lines;
    Text.ChangeCharAttrs(second, nullptr, visit);
    EXPECT_EQ(seen, "cd||ef|");
    EXPECT_FALSE(second->Flags & parfReformat);
    EXPECT_TRUE(second->Next->Flags & parfReformat);

    Text.ChangeCharAttrs(nullptr, nullptr, [](TAttr&) { ADD_FAILURE() << "no paragraph, no entry"; });
}

TEST_F(RtRTFText, ZoomConversions)
{
    EXPECT_EQ(Text.DocToScreen(100), 100);
    Text.SetZooming(150);
    EXPECT_EQ(Text.DocToScreen(100), 150);
    EXPECT_EQ(Text.ScreenToDoc(150), 100);
    Text.SetZooming(0);  // ignored
    EXPECT_EQ(Text.Zooming, 150);
    Text.ZoomByResolution = true;
    EXPECT_EQ(Text.DocToScreen(100), 100);
    Text.ZoomByResolution = false;
    Text.SetZooming(100);
    Text.SetScreenResMode(rm1440);
    EXPECT_EQ(Text.DocToScreen(1440), 96);
    EXPECT_EQ(Text.ScreenToDoc(96), 1440);
    Text.SetZooming(200);
    EXPECT_EQ(Text.DocToScreen(720), 96);
}

TEST_F(RtRTFText, NestedProgress)
{
    std::vector<int> percents;
    EXPECT_EQ(Text.BeginProgress(10), 1);  // no event: nothing
    Text.OnSetGaugeValue = [&](TObject*, int32_t v) { percents.push_back(v); };
    EXPECT_EQ(Text.BeginProgress(0), -1);
    Text.StepProgress(5);
    EXPECT_TRUE(percents.empty());
    Text.EndProgress();
    EXPECT_EQ(percents, (std::vector<int>{100, 0}));
    percents.clear();

    EXPECT_EQ(Text.BeginProgress(200), 2);
    Text.StepProgress(1);  // below one step
    Text.StepProgress(40);
    EXPECT_EQ(percents, (std::vector<int>{20}));
    Text.SetProgressShare(50);
    Text.BeginProgress(10);  // spans half of the remaining 80: 20..60
    EXPECT_EQ(Text.ProgressLevels().back().Start, 20);
    EXPECT_EQ(Text.ProgressLevels().back().End, 60);
    Text.StepProgress(5);
    EXPECT_EQ(percents.back(), 40);
    std::vector<std::pair<int, AnsiString>> status;
    Text.OnSetStatusString = [&](TObject*, TRtStatusItemCont i, const AnsiString& t) { status.emplace_back(i, t); };
    Text.GetStatusText(stGauge);
    Text.GetStatusText(stInsert);
    Text.GetStatusText(stLine);
    Text.GetStatusText(stString);  // beyond the status items: nothing
    const std::vector<std::pair<int, AnsiString>> expected = {{stGauge, "40%"}, {stInsert, "INS"}, {stLine, "1"}};
    EXPECT_EQ(status, expected);
    Text.EndProgress();
    EXPECT_EQ(percents.back(), 60);
    Text.ResetProgress();
    EXPECT_EQ(percents.back(), 0);
    EXPECT_TRUE(Text.ProgressLevels().empty());
}

TEST_F(RtRTFText, NamesAndSelectionChanges)
{
    EXPECT_EQ(Text.NameToIndex("Title"), 1);
    EXPECT_EQ(Text.NameToIndex("title"), 1);
    EXPECT_EQ(Text.NameToIndex("Other"), 2);
    EXPECT_EQ(Text.NameToIndex(""), 0);
    AnsiString name;
    Text.IndexToName(2, name);
    EXPECT_EQ(name, "other");
    Text.IndexToName(3, name);
    EXPECT_EQ(name, "");
    Text.CheckSelectionChanged();
    EXPECT_FALSE(Text.SelectionChanged);
    Text.SelEndPar = Text.FirstPar;
    Text.CheckSelectionChanged();
    EXPECT_TRUE(Text.SelectionChanged);
}

TEST_F(RtRTFText, AbstractIoOperationsRaise)
{
    uint8_t ch = 0;
    TAttr a;
    EXPECT_THROW(Text.ReadChar(ch, a), EAbstractError);
    EXPECT_THROW(Text.AppendChar('a', nullptr), EAbstractError);
}
