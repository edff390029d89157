#include "RtEngineTestSupport.h"
#include "RtFont.h"

namespace {

class RtFontFacade : public RtEngineTest {};

}  // namespace

TEST_F(RtFontFacade, StandaloneFontKeepsWhatWasSet)
{
    TRtFont f;
    EXPECT_EQ(f.Name(), "Arial");
    EXPECT_EQ(f.Size(), 11);
    EXPECT_EQ(f.Color(), clNone);
    EXPECT_EQ(f.BKColor(), clNone);
    f.SetName("Liberation Serif");
    f.SetSize(0);
    f.SetColor(clRed);
    f.SetBKColor(clYellow);
    f.SetStyle(WrtStyle{afsItalic});
    EXPECT_EQ(f.Name(), "Liberation Serif");
    EXPECT_EQ(f.Size(), 0);
    EXPECT_EQ(f.Color(), clRed);
    EXPECT_EQ(f.BKColor(), clYellow);
    EXPECT_EQ(f.Style(), WrtStyle{afsItalic});

    TFont font;
    font.SetStyle(fsBold | fsUnderline);
    font.SetName("Liberation Sans");
    font.SetSize(14);
    f.Assign(font);
    EXPECT_EQ(f.Style().Bits, 0x201u);
    EXPECT_EQ(f.BKColor(), clNone);
    TFont back;
    f.AssignTo(back);
    EXPECT_EQ(back.Style(), fsBold | fsUnderline);
    EXPECT_EQ(back.Size(), 14);
}

TEST_F(RtFontFacade, BoundFontChangesOnePropertyOfTheCurrentAttribute)
{
    Layout({"abc"});
    TRtFont& f = *E->CurrentFont;
    f.SetSize(14);
    EXPECT_EQ(E->CurrentAttr.Size, 14);
    f.SetSize(0);   // stored, not applied
    EXPECT_EQ(E->CurrentAttr.Size, 14);
    EXPECT_EQ(f.Size(), 14);
    f.SetName("Liberation Serif");
    EXPECT_EQ(E->Header()->GetFontName(E->CurrentAttr.Font), "Liberation Serif");
    EXPECT_EQ(E->CurrentAttr.Size, 14);
    const uint8_t before = E->CurrentAttr.TextColor;
    f.SetColor(clNone);
    EXPECT_EQ(E->CurrentAttr.TextColor, before);
    f.SetColor(clRed);
    EXPECT_EQ(f.Color(), clRed);
    f.SetBKColor(clYellow);
    EXPECT_EQ(f.BKColor(), clNone);   // not in use
    f.UseBKColor = true;
    EXPECT_EQ(f.BKColor(), clYellow);
    f.SetStyle(WrtStyle{afsBold});
    EXPECT_TRUE(E->CurrentAttr.Style.Has(afsBold));
    EXPECT_FALSE(E->CurrentAttr.Style.Has(afsItalic));
    EXPECT_EQ(E->Header()->GetFontName(E->CurrentAttr.Font), "Liberation Serif");

    // A selection takes the change.
    E->SetSelection(0, 2);
    f.SetSize(20);
    EXPECT_EQ(Line(0, 0)->Attrs[0].Size, 20);
    EXPECT_EQ(Line(0, 0)->Attrs[1].Size, 20);
    EXPECT_NE(Line(0, 0)->Attrs[2].Size, 20);

    // Copying to a bound font applies every property.
    TRtFont plain;
    plain.SetSize(9);
    plain.SetName("DejaVu Sans");
    plain.AssignTo(f);
    EXPECT_EQ(f.Size(), 9);
    EXPECT_EQ(f.Name(), "DejaVu Sans");
}
