#include "RtEngineTestSupport.h"

namespace {

class RtGeometry : public RtEngineTest {
protected:
    // Real fonts: three faces in several sizes and styles, one run every few characters.
    void MixFonts(TParagraph* P)
    {
        TTextHeader* h = E->Header();
        const int32_t fonts[] = {h->GetFontIndex("Liberation Sans"), h->GetFontIndex("Liberation Serif"),
                                 h->GetFontIndex("DejaVu Sans")};
        const uint16_t sizes[] = {10, 14, 20, 8};
        int32_t n = 0;
        for (TLine* l = P->Lines; l; l = l->Next)
            for (int32_t i = 0; i < l->Length; ++i, ++n) {
                TAttr& a = l->Attrs[i];
                a.Font = uint16_t(fonts[(n / 3) % 3]);
                a.Size = sizes[(n / 5) % 4];
                a.Style.Set(afsBold, (n / 7) % 2 == 1);
                a.Style.Set(afsItalic, (n / 4) % 3 == 1);
            }
        P->Flags |= parfReformat;
    }

    // Every character's left edge maps to it, a point right of its middle to the next position.
    // Returns how many characters were checked.
    int32_t ExpectBothWaysAgree(TParagraph* P)
    {
        int32_t checked = 0;
        for (TLine* l = P->Lines; l; l = l->Next)
            for (int32_t i = 0; i < l->Length; ++i, ++checked) {
                const int32_t x = E->GetCharX(P, l, i);
                const int32_t w = E->GetCharX(P, l, i + 1) - x;
                EXPECT_EQ(w, l->Attrs[i].Width) << "line width walk, char " << i;
                EXPECT_EQ(E->GetCharIndexAtX(P, l, x), i) << "left edge of " << i;
                TParagraph* fp = nullptr;
                TLine* fl = nullptr;
                EXPECT_TRUE(E->FindLineAtPosition(fp, fl, x + 1, l->Top + l->Height / 2));
                EXPECT_EQ(fp, P);
                EXPECT_EQ(fl, l);
                if (w < 2)
                    continue;
                const int32_t after = i + 1 == l->Length && l->Next ? l->Length - 1 : i + 1;
                EXPECT_EQ(E->GetCharIndexAtX(P, l, x + w / 2 + 1), after) << "right half of " << i;
            }
        return checked;
    }
};

}  // namespace

TEST_F(RtGeometry, CharacterAtAPointAndXOfACharacterAgreeInAMixedFontParagraph)
{
    Attach();
    FillText(*E, {"The quick brown fox jumps over the lazy dog; Wim swam with 12 ducks, fast."});
    SetTextWidth(300);
    MixFonts(Par(0));
    E->UpdateLayout();
    ASSERT_GT(LinesOf(Par(0)).size(), 1u);
    EXPECT_EQ(ExpectBothWaysAgree(Par(0)), TRtRTFText::GetParLength(Par(0)));
}

TEST_F(RtGeometry, CharacterAtAPointAndXOfACharacterAgreeInTableCells)
{
    Attach();
    FillText(*E, {""});
    SetTextWidth(400);
    TRtCellDescriptor cells[3];
    cells[0].Text = "First cell with some words";
    cells[1].Text = "Second, longer cell that wraps onto lines";
    cells[2].Text = "Third";
    TParagraph* p = Par(0);
    E->ApplyParProps(p, 3, cells);
    for (int i = 0; i < 3; ++i)
        MixFonts(Par(i));
    E->UpdateLayout();
    ASSERT_TRUE(Par(1)->Flags & parfTableCell);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(Par(i)->Flags & parfTableCell);
        EXPECT_EQ(ExpectBothWaysAgree(Par(i)), TRtRTFText::GetParLength(Par(i)));
    }
    EXPECT_GT(LinesOf(Par(1)).size(), 1u);
}

TEST_F(RtGeometry, AlignmentShiftsTheLineByItsFreeSpace)
{
    Layout({"abcdefgh", "abcdefgh", "abcdefgh", "abcdefgh  "});
    Par(1)->Align = paralRight;
    Par(2)->Align = paralCenter;
    Par(3)->Align = paralRight;
    const int32_t left = Left();
    EXPECT_EQ(E->GetCharX(Par(0), Line(0, 0), 0), left);
    EXPECT_EQ(E->GetLineFreeSpace(Par(1), Line(1, 0)), 20);
    EXPECT_EQ(E->GetCharX(Par(1), Line(1, 0), 0), left + 20);
    EXPECT_EQ(E->GetCharX(Par(2), Line(2, 0), 0), left + 10);
    // Trailing blanks do not count: the right-aligned line ends with its last letter at the edge.
    EXPECT_EQ(E->GetLineTextWidth(Par(3), Line(3, 0)), 80);
    EXPECT_EQ(E->GetCharX(Par(3), Line(3, 0), 8), left + 100);
}

TEST_F(RtGeometry, PointsOutsideTheTextAndBeyondLineEnds)
{
    Layout({"aaa bbb ccc ddd", "xyz"});
    TParagraph* p = nullptr;
    TLine* l = nullptr;
    EXPECT_FALSE(E->FindLineAtPosition(p, l, 5, 10000));
    EXPECT_EQ(p, Par(1));
    EXPECT_EQ(l, Line(1, 0));
    // Beyond the end of a wrapped line the cursor stays on it; on a paragraph's last line it goes to the end.
    EXPECT_EQ(E->GetCharIndexAtX(Par(0), Line(0, 0), 5000), 7);
    EXPECT_EQ(E->GetCharIndexAtX(Par(1), Line(1, 0), 5000), 3);
    Line(0, 0)->Flags |= linfHyphenated;
    EXPECT_EQ(E->GetCharIndexAtX(Par(0), Line(0, 0), 5000), 8);
    EXPECT_EQ(E->GetCharIndexAtX(Par(0), Line(0, 0), -50), 0);
}

TEST_F(RtGeometry, HeightBackToThePageStart)
{
    Layout({"aaa bbb ccc ddd", "x", "y"});
    EXPECT_EQ(E->GetHeightToPageStart(Par(0), Line(0, 0), false), 0);
    EXPECT_EQ(E->GetHeightToPageStart(Par(2), Line(2, 0), false), 60);
    Line(1, 0)->Flags |= linfPageStart;
    Line(1, 0)->PageStart = 7;
    EXPECT_EQ(E->GetHeightToPageStart(Par(2), Line(2, 0), false), 20);
    EXPECT_EQ(E->GetHeightToPageStart(Par(2), Line(2, 0), true), 27);
}

TEST_F(RtGeometry, CellBordersMoveByWholeGridUnitsAndColumnsSelect)
{
    UseFixedWidths();
    Attach();
    FillText(*E, {""});
    SetTextWidth(510);   // 2 units per 1/255 of the row
    TRtCellDescriptor cells[2];
    TParagraph* p = Par(0);
    E->ApplyParProps(p, 2, cells);
    TParagraph* last = Par(1);
    E->ApplyParProps(last, 2, cells);
    E->UpdateLayout();
    TParagraph* a = Par(0);
    TParagraph* b = Par(1);
    const int32_t w = a->Cell->Width;
    EXPECT_FALSE(E->BalanceCellBorder(a, -0));
    EXPECT_FALSE(E->BalanceCellBorder(b, 8));   // the last cell has no right neighbour
    EXPECT_TRUE(E->BalanceCellBorder(a, 9));     // 4 steps of 2
    EXPECT_EQ(a->Cell->Width, w + 4);
    EXPECT_EQ(b->Cell->Left, a->Cell->Width);
    EXPECT_TRUE(E->BalanceCellBorder(a, -8));
    EXPECT_EQ(a->Cell->Width, w);

    E->SelectTableColumn(Par(2));
    EXPECT_EQ(E->MarkedCells, 2);
    EXPECT_TRUE(Par(0)->Flags & parfMarked);
    EXPECT_FALSE(Par(1)->Flags & parfMarked);
    EXPECT_TRUE(Par(2)->Flags & parfMarked);
    EXPECT_EQ(E->SelStartPar, Par(0));
    E->SelectTableRows(Par(1), 2);
    EXPECT_EQ(E->MarkedCells, 4);
    EXPECT_EQ(E->SelStartPar, Par(0));
    EXPECT_EQ(E->SelEndPar, Par(3));
}
