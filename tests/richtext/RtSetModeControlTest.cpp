// The attribute control: reading and setting the attributes at the cursor,
// colour indices both ways, the update lock, and the field texts it relies on.
#include "RtControlTestSupport.h"

#include "RtNumbering.h"
#include "RtObject.h"

namespace {

class RtSetModeControlTest : public RtControlTest {
public:
    TRtSetModeControl* M() { return Rtf->GetSetModeControl(); }
};

TEST_F(RtSetModeControlTest, SetsAndReadsTheSelectionsAttributes)
{
    Type("abc def");
    E()->SetSelection(0, 3);
    M()->SetStyle(WrtStyle{afsBold, afsUnderline});
    M()->SetFontName("DejaVu Sans");
    M()->SetSize(20);
    M()->SetAlignment(paralCenter);
    EXPECT_TRUE(AttrAt(1)->Style.Has(afsBold));
    EXPECT_TRUE(AttrAt(1)->Style.Has(afsUnderline));
    EXPECT_EQ(AttrAt(1)->Size, 20);
    EXPECT_EQ(E()->Header()->GetFontName(AttrAt(1)->Font), "DejaVu Sans");
    EXPECT_FALSE(AttrAt(5)->Style.Has(afsBold));
    EXPECT_EQ(E()->CursorPar->Align, paralCenter);
    // Reading back at the cursor inside the changed word.
    E()->ClearSelection(false);
    QTest::mouseClick(Rtf->viewport(), Qt::LeftButton, {}, PointOf(2));
    M()->Reload();
    EXPECT_TRUE(M()->Style().Has(afsBold));
    EXPECT_EQ(M()->Size(), 20);
    EXPECT_EQ(M()->FontName(), "DejaVu Sans");
    EXPECT_EQ(M()->Alignment(), paralCenter);
    // The vertical alignment is two paragraph flags.
    M()->SetVertAlignment(paralVertBottom);
    EXPECT_TRUE(E()->CursorPar->Flags & parfCellVBottom);
    M()->SetVertAlignment(paralVertCenter);
    EXPECT_TRUE(E()->CursorPar->Flags & parfCellVCenter);
    EXPECT_FALSE(E()->CursorPar->Flags & parfCellVBottom);
}

TEST_F(RtSetModeControlTest, ColourIndicesMapBothWays)
{
    for (TColor c : {TColor(0x0000FF), TColor(0x00FF00), TColor(0x123456), TColor(0xFFFFFF)}) {
        int32_t index = -1;
        ASSERT_TRUE(M()->ColorToIndex(c, index, true)) << c;
        EXPECT_GT(index, 0);
        EXPECT_EQ(M()->IndexToColor(index), c);
        int32_t again = -1;
        M()->ColorToIndex(c, again, false);
        EXPECT_EQ(again, index);
    }
}

TEST_F(RtSetModeControlTest, SixteenColourModeKeepsTheBackgroundNibble)
{
    E()->Use256Colors = false;
    E()->CurrentAttr.TextColor = 0x34;
    M()->Reload();
    EXPECT_EQ(M()->Color(), 4);
    EXPECT_EQ(M()->BKColor(), 3);
    M()->SetColor(5);
    EXPECT_EQ(E()->CurrentAttr.TextColor, 0x35);
    M()->SetBKColor(7);
    EXPECT_EQ(E()->CurrentAttr.TextColor, 0x75);
}

TEST_F(RtSetModeControlTest, FontNumber255HasNoNameAndSizeZeroIsTheDefault)
{
    TAttr a;
    a.Font = 255;
    a.Size = 0;
    M()->LoadAttributes(nullptr, &a);
    EXPECT_EQ(M()->FontName(), "");
    EXPECT_EQ(M()->Size(), RtDefaultFontSize);
}

TEST_F(RtSetModeControlTest, SettersInsideAnUpdateApplyOnce)
{
    Type("abc");
    E()->SetSelection(0, 3);
    int applied = 0;
    M()->OnApplied = [&](TObject*) { ++applied; };
    M()->BeginUpdate();
    M()->SetStyle(WrtStyle{afsItalic});
    M()->SetSize(14);
    M()->SetIndentLeft(720);
    EXPECT_EQ(applied, 0);
    EXPECT_FALSE(AttrAt(1)->Style.Has(afsItalic));
    M()->EndUpdate();
    EXPECT_EQ(applied, 1);
    EXPECT_TRUE(AttrAt(1)->Style.Has(afsItalic));
    EXPECT_EQ(AttrAt(1)->Size, 14);
    EXPECT_EQ(E()->CursorPar->IndentLeft, 720);
    // AddStyle adds to what is there.
    M()->AddStyle(WrtStyle{afsHyperLink});
    EXPECT_TRUE(AttrAt(1)->Style.Has(afsHyperLink));
    EXPECT_TRUE(AttrAt(1)->Style.Has(afsItalic));
}

TEST_F(RtSetModeControlTest, AssignCopiesTheAttributesOfAnotherControl)
{
    Type("abc");
    E()->SetSelection(0, 3);
    TRtRTFTextInput other;
    TRtSetModeControl source(&other);
    TAttr a;
    a.Style = WrtStyle{afsBold};
    a.Size = 16;
    TParagraph p;
    p.Align = paralRight;
    p.IndentLeft = 360;
    source.LoadAttributes(&p, &a);
    M()->Assign(source);
    EXPECT_TRUE(AttrAt(1)->Style.Has(afsBold));
    EXPECT_EQ(AttrAt(1)->Size, 16);
    EXPECT_EQ(E()->CursorPar->Align, paralRight);
    EXPECT_EQ(E()->CursorPar->IndentLeft, 360);
}

TEST_F(RtSetModeControlTest, PageFieldsGiveTheirTexts)
{
    Type("x");
    TRtObjectField field;
    field.Owner = E();
    const std::pair<const char*, const char*> cases[] = {
        {"PAGE", "1"}, {"page", "1"}, {"NEXTPAGE", "2"}, {"PRIORPAGE", " "}, {"NUMPAGES", "1"}, {"UNKNOWN", ""}};
    for (const auto& [name, text] : cases) {
        field.FieldName = name;
        EXPECT_EQ(RtFieldTextProc(&field, false), text) << name;
    }
    // While measuring on screen a page number is as wide as the widest one.
    field.FieldName = "PAGE";
    EXPECT_EQ(RtFieldTextProc(&field, true), "9");
}

}  // namespace

namespace {

TEST_F(RtSetModeControlTest, StylesAreAppliedByName)
{
    TRtCustomStyleCollection styles;
    TRtParStyle heading;
    heading.Name = "Heading";
    heading.Par.IndentLeft = 720;
    heading.Par.Align = paralCenter;
    heading.ParMask = TRtParStyle::spIndentLeft | TRtParStyle::spAlign;
    heading.Attr.Size = 20;
    heading.Attr.Style.Include(afsBold);
    heading.StyleBits = WrtStyle{afsBold, afsItalic};
    heading.CharMask = TRtParStyle::scSize;
    styles.AddStyle(heading);
    Rtf->SetRtStyleCollection(&styles);
    Type("first");
    Key(Qt::Key_Return);
    Type("second");
    E()->SetSelection(2, 1);   // in the first paragraph
    M()->Reload();
    EXPECT_EQ(M()->StyleName(), "");
    M()->SetStyleName("heading");
    const TParagraph* first = E()->FirstPar;
    EXPECT_EQ(first->IndentLeft, 720);
    EXPECT_EQ(first->Align, paralCenter);
    EXPECT_EQ(M()->StyleName(), "Heading");
    for (int32_t pos : {0, 4}) {
        EXPECT_TRUE(AttrAt(pos)->Style.Has(afsBold)) << pos;
        EXPECT_EQ(AttrAt(pos)->Size, 20) << pos;
    }
    // The other paragraph keeps its own.
    EXPECT_EQ(first->Next->IndentLeft, 0);
    EXPECT_EQ(AttrAt(7)->Size, 12);
    EXPECT_FALSE(AttrAt(7)->Style.Has(afsBold));
    // A name the collection lacks changes nothing; undo takes the style back.
    M()->SetStyleName("Nope");
    EXPECT_EQ(M()->StyleName(), "Heading");
    Rtf->Undo();
    EXPECT_EQ(E()->FirstPar->IndentLeft, 0);
    EXPECT_EQ(AttrAt(0)->Size, 12);
    EXPECT_FALSE(AttrAt(0)->Style.Has(afsBold));
    // The paragraph-style box of the tool bar names the style too.
    Rtf->ExecuteValue(11 * 256, 83, 0, "Heading");
    EXPECT_EQ(E()->FirstPar->IndentLeft, 720);
    Rtf->SetRtStyleCollection(nullptr);
}

// Typing after a style goes on in the style's attributes, without the marks
// of the character before the cursor.
TEST_F(RtSetModeControlTest, TypingAfterAStyleTakesItsAttributesButNoMarks)
{
    TRtCustomStyleCollection styles;
    TRtParStyle heading;
    heading.Name = "Heading";
    heading.Attr.Size = 20;
    heading.Attr.Style.Include(afsBold);
    heading.StyleBits = WrtStyle{afsBold};
    heading.CharMask = TRtParStyle::scSize;
    styles.AddStyle(heading);
    Rtf->SetRtStyleCollection(&styles);
    Type("wrod");
    E()->CursorLine->Attrs[3].Style.Include(afsMisSpelled);
    M()->SetStyleName("Heading");
    EXPECT_EQ(E()->CurrentAttr.Size, 20);
    EXPECT_TRUE(E()->CurrentAttr.Style.Has(afsBold));
    EXPECT_FALSE(E()->CurrentAttr.Style.Has(afsMisSpelled));
    Rtf->SetRtStyleCollection(nullptr);
}

TEST_F(RtSetModeControlTest, NumberStartHasItsUndoRecord)
{
    Type("one");
    Key(Qt::Key_Return);
    Type("two");
    Rtf->SelectAll();
    M()->SetOutlineStyle(rt_1);
    const TRtRTFNumberingStyle* style = M()->ExNumberStyle();
    ASSERT_NE(style, nullptr);
    EXPECT_EQ(style->Style, rt_1);
    E()->ClearSelection(false);
    Key(Qt::Key_Home, Qt::ControlModifier);
    Type("x");
    M()->Reload();
    EXPECT_EQ(M()->NumberStart(), 0);
    M()->SetNumberStart(5);
    EXPECT_EQ(M()->NumberStart(), 5);
    EXPECT_EQ(E()->FirstPar->RunNumber, 5);
    EXPECT_EQ(E()->FirstPar->Next->RunNumber, 6);
    Rtf->Undo();
    EXPECT_EQ(E()->FirstPar->NumberExtra, 0);
    EXPECT_EQ(Text(), "xone\ntwo");
    // Another numbering style, equal to one given.
    TRtRTFNumberingStyle letters(E()->NumberingStyles());
    letters.Style = rt_a;
    letters.TextA = ")";
    M()->SetExNumberStyle(letters);
    ASSERT_NE(M()->ExNumberStyle(), nullptr);
    EXPECT_EQ(M()->ExNumberStyle()->Style, rt_a);
    EXPECT_EQ(M()->ExNumberStyle()->TextA, ")");
}

TEST_F(RtSetModeControlTest, CellAndTableNames)
{
    Type("x");
    EXPECT_EQ(M()->CellName(), "");
    M()->SetCellName("outside");
    M()->SetTableName("outside");
    EXPECT_EQ(M()->CellName(), "");
    EXPECT_EQ(M()->TableName(), "");
    Rtf->InsertTable(2, 1, true);
    ASSERT_TRUE(E()->CursorPar->Flags & parfTableCell);
    M()->Reload();
    M()->SetCellName("A1");
    M()->SetCellCommand("=SUM");
    M()->SetCellFormat(3);
    M()->SetTableName("Prices");
    M()->Reload();
    EXPECT_EQ(M()->CellName(), "A1");
    EXPECT_EQ(M()->CellCommand(), "=SUM");
    EXPECT_EQ(M()->CellFormat(), 3);
    EXPECT_EQ(M()->TableName(), "Prices");
    // The next cell has its own name, the same table.
    Key(Qt::Key_Tab);
    M()->Reload();
    EXPECT_EQ(M()->CellName(), "");
    EXPECT_EQ(M()->TableName(), "Prices");
    Key(Qt::Key_Tab, Qt::ShiftModifier);
    Rtf->Undo();
    M()->Reload();
    EXPECT_EQ(M()->CellFormat(), 0);
}

} // namespace
