// The attribute control: reading and setting the attributes at the cursor,
// colour indices both ways, the update lock, and the field texts it relies on.
#include "RtControlTestSupport.h"

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
