#include "RtEngineTestSupport.h"

namespace {

class RtPaintSetup : public RtEngineTest {};

}  // namespace

TEST_F(RtPaintSetup, StartsSuspendedWithoutAReferenceCanvas)
{
    EXPECT_EQ(E->Zooming, 100);
    EXPECT_EQ(E->PaperColor, clWindow);
    EXPECT_EQ(E->GetPaperColor(), clWindow);
    E->EngineOptions |= eoNoDisplay;
    EXPECT_EQ(E->GetPaperColor(), clWhite);
    E->EngineOptions = 0;
    Attach();
    EXPECT_GT(E->CharHeight, 0);
    E->SetReferenceCanvas(nullptr);
    EXPECT_EQ(E->EngineOptions, eoSuspended);
    EXPECT_EQ(E->MeasureParagraph(E->FirstPar), 0);
}

TEST_F(RtPaintSetup, ZoomIsAppliedThroughTheMappingMode)
{
    Attach();
    E->SelectMapMode(false);
    EXPECT_EQ(E->MapModeOf(&Canvas).Mode, MM_TEXT);
    E->SetZooming(200);
    E->UpdateResolution();
    EXPECT_EQ(E->Header()->LayoutXRes, 96);   // layout does not change with the zoom
    EXPECT_EQ(E->Header()->PaintXRes, 192);
    E->SelectMapMode(false);
    const TRtMapMode m = E->MapModeOf(&Canvas);
    EXPECT_EQ(m.Mode, MM_ANISOTROPIC);
    EXPECT_EQ(m.WindowExt.cx, 48);
    EXPECT_EQ(m.ViewportExt.cx, 96);
    EXPECT_EQ(E->ScreenToDoc(100), 50);
    E->ResetMapMode(&Canvas);
    EXPECT_EQ(E->MapModeOf(&Canvas).Mode, MM_TEXT);
    // Zooming by resolution lays out at the zoomed resolution instead.
    E->ZoomByResolution = true;
    E->UpdateResolution();
    EXPECT_EQ(E->Header()->LayoutXRes, 192);
    E->ResetMapMode(&Canvas);
    E->SelectMapMode(false);
    EXPECT_EQ(E->MapModeOf(&Canvas).Mode, MM_TEXT);
}

TEST_F(RtPaintSetup, FixedResolutionModeLaysOutInTwips)
{
    Attach();
    E->SetScreenResMode(rm1440);
    E->UpdateResolution();
    EXPECT_EQ(E->OnePixel, 15);
    EXPECT_EQ(E->Header()->LayoutYRes, 1440);
    E->SetZooming(50);
    E->UpdateResolution();
    EXPECT_EQ(E->ScaledFixedResolution, 2880);
    EXPECT_EQ(E->Header()->LayoutYRes, 1440);
    EXPECT_EQ(E->ScreenToDoc(1), 30);
    E->SelectMapMode(false);
    EXPECT_EQ(E->MapModeOf(&Canvas).WindowExt.cx, 2880);
    // The screen height of a text of 1440 twips is one inch of pixels.
    UseFixedWidths();
    FillText(*E, std::vector<std::string>(4, "x"));
    E->UpdateLayout();
    EXPECT_EQ(E->ScreenTextHeight, MulDiv(E->TextHeight, 96, 1440));
}

TEST_F(RtPaintSetup, PageBuffersReuseTheLeastRecentlyUsed)
{
    E->InvalidatePageBuffer(-1);
    EXPECT_EQ(E->PageBuffers(), nullptr);
    TRtPageBackgroundBuffer* b0 = E->GetPageBuffer(0);
    TRtPageBackgroundBuffer* b1 = E->GetPageBuffer(1);
    TRtPageBackgroundBuffer* b2 = E->GetPageBuffer(2);
    EXPECT_EQ(E->PageBuffers()->size(), 3u);
    EXPECT_EQ(b0->FirstPage, 1);
    EXPECT_TRUE(b0->NeedsPaint);
    EXPECT_EQ(E->GetPageBuffer(0), b0);   // again: the same buffer, now the most recent
    EXPECT_EQ(E->GetPageBuffer(3), b1);   // b1 has the smallest stamp
    EXPECT_EQ(b1->FirstPage, 4);
    // Equal stamps: the earlier buffer in the list is reused.
    b0->LastUse = b2->LastUse = 0;
    EXPECT_EQ(E->GetPageBuffer(7), b0);
    E->InvalidatePageBuffer(7);
    EXPECT_EQ(b0->FirstPage, 0);
    EXPECT_EQ(b0->Bitmap, nullptr);
    E->InvalidatePageBuffer(-1);
    EXPECT_EQ(E->PageBuffers(), nullptr);
    EXPECT_NE(E->GetPageBuffer(0), nullptr);
}

TEST_F(RtPaintSetup, RenderedPageBufferIsValidUntilInvalidated)
{
    Attach();
    int32_t painted = 0;
    E->OnPaintPage = [&](TObject*, TCanvas*, const TRect& R, int32_t, int32_t, int32_t PageIndex, TParagraph* Par,
                         TLine*, TRtPageBackgroundBuffer*) {
        ++painted;
        EXPECT_EQ(PageIndex, 0);
        EXPECT_EQ(Par, E->FirstPar);
        EXPECT_EQ(R.Right, MulDiv(E->Header()->PageWidth(), 96, 1440));
    };
    E->RenderPageBuffer(false, 0);   // buffers off: nothing
    EXPECT_EQ(painted, 0);
    E->ViewOptions.Include(rtUseWatermark);
    E->PageView = true;
    EXPECT_FALSE(E->IsPageBufferValid(0));
    E->RenderPageBuffer(false, 0);
    EXPECT_EQ(painted, 1);
    EXPECT_TRUE(E->IsPageBufferValid(0));
    EXPECT_TRUE(E->PageBuffersActive);
    E->RenderPageBuffer(false, 0);
    EXPECT_EQ(painted, 1);
    E->RenderPageBuffer(true, 0);
    EXPECT_EQ(painted, 2);
    E->PageView = false;
    E->RenderPageBuffer(false, 0);
    EXPECT_EQ(E->PageBuffers(), nullptr);
    EXPECT_FALSE(E->PageBuffersActive);
}

TEST_F(RtPaintSetup, SurfaceScrollsItsPixelsWithinTheClip)
{
    E->SetSurfaceSize(20, 10);
    QImage& s = E->Surface();
    s.fill(0xFFFFFFFF);
    s.setPixel(3, 5, 0xFF000000);
    E->ScrollSurface(4, -2, TRect{0, 0, 20, 10});
    EXPECT_EQ(s.pixel(7, 3), 0xFF000000u);
    // Outside the clip nothing moves.
    E->ScrollSurface(-7, 0, TRect{10, 0, 20, 10});
    EXPECT_EQ(s.pixel(0, 3), 0xFFFFFFFFu);
    EXPECT_EQ(s.pixel(7, 3), 0xFF000000u);
    // Downwards the rows are copied from the bottom up; the uncovered band keeps its pixels.
    s.setPixel(7, 1, 0xFF00FF00);
    E->ScrollSurface(0, 3, TRect{0, 0, 20, 10});
    EXPECT_EQ(s.pixel(7, 6), 0xFF000000u);
    EXPECT_EQ(s.pixel(7, 4), 0xFF00FF00u);
    EXPECT_EQ(s.pixel(7, 3), 0xFFFFFFFFu);
    EXPECT_EQ(s.pixel(7, 1), 0xFF00FF00u);
}

TEST_F(RtPaintSetup, PageMetricsGiveTheScreenOffsetsAndTheWrapWidth)
{
    Layout({std::string(50, 'a')}, 1000);
    EXPECT_EQ(LinesOf(Par(0)).size(), 1u);
    E->GapWidth = 5;
    E->UpdatePageMetrics(false);
    EXPECT_EQ(E->LeftScreenOffset, 5);
    E->ShowLeftMargin = true;
    E->UpdatePageMetrics(false);
    EXPECT_EQ(E->LeftScreenOffset, 96 + 5);   // a 1-inch margin at 96 dpi
    E->EngineOptions |= eoNoDisplay;
    E->UpdatePageMetrics(false);
    EXPECT_EQ(E->LeftScreenOffset, 0);
    E->EngineOptions = 0;
    // Wrapping at the window: lines break at the window's width less both offsets.
    E->WrapAtWindow = true;
    E->UpdatePageMetrics(true);
    EXPECT_EQ(E->LeftScreenOffset, 10);
    EXPECT_EQ(E->WrapWidth, 400 - 10);
    EXPECT_EQ(LinesOf(Par(0)), (std::vector<std::string>{std::string(38, 'a'), std::string(12, 'a')}));
}

TEST_F(RtPaintSetup, WrappingAtThePageAgainRestoresThePageWidth)
{
    Layout({std::string(50, 'a')}, 1000);
    E->WrapAtWindow = true;
    E->UpdatePageMetrics(true);
    ASSERT_EQ(LinesOf(Par(0)).size(), 2u);
    E->WrapAtWindow = false;
    E->UpdatePageMetrics(true);
    EXPECT_EQ(LinesOf(Par(0)).size(), 1u);
    EXPECT_EQ(E->Header()->PixTextWidth, 1000);
}

TEST(RtEngineUnit, StartsOnceWithTheIconsAndTheVersion)
{
    ASSERT_GE(RtEngineUnitUses(), 1);
    ASSERT_NE(RtEngineIcons, nullptr);
    EXPECT_EQ(RtEngineVersion, "4.09");
    EXPECT_EQ(RtEngineVersionNr, 307);
    EXPECT_EQ(RtAnchorIconWidth, 10);
    EXPECT_EQ(RtAnchorIconHeight, 16);
    // The anchor and the object icon side by side, each with pixels drawn.
    QImage& icons = RtEngineIcons->Image();
    ASSERT_EQ(icons.size(), QSize(2 * RtAnchorIconWidth, RtAnchorIconHeight));
    for (int32_t icon = 0; icon < 2; ++icon) {
        int32_t drawn = 0;
        for (int32_t y = 0; y < RtAnchorIconHeight; ++y)
            for (int32_t x = 0; x < RtAnchorIconWidth; ++x)
                drawn += qAlpha(icons.pixel(icon * RtAnchorIconWidth + x, y)) == 255;
        EXPECT_GT(drawn, 10) << icon;
    }
    // A further start and end leave the unit as it is.
    TBitmap* before = RtEngineIcons.get();
    const int32_t uses = RtEngineUnitUses();
    RtEngineUnitStart();
    EXPECT_EQ(RtEngineUnitUses(), uses + 1);
    RtEngineUnitEnd();
    EXPECT_EQ(RtEngineUnitUses(), uses);
    EXPECT_EQ(RtEngineIcons.get(), before);
    EXPECT_EQ(RtEngineVersion, "4.09");
}

TEST_F(RtPaintSetup, MonochromePageBuffersHoldBlackAndWhiteOnly)
{
    Attach();
    E->ViewOptions.Include(rtUseWatermark);
    E->PageView = true;
    // Dark red and light yellow halves.
    E->OnPaintPage = [](TObject*, TCanvas* C, const TRect& R, int32_t, int32_t, int32_t, TParagraph*, TLine*,
                        TRtPageBackgroundBuffer*) {
        C->Brush().SetStyle(bsSolid);
        C->Brush().SetColor(0x000080);
        C->FillRect(TRect{0, 0, R.Right / 2, R.Bottom});
        C->Brush().SetColor(0x80FFFF);
        C->FillRect(TRect{R.Right / 2, 0, R.Right, R.Bottom});
    };
    auto pixelsOf = [&](int32_t Page) {
        QImage& image = E->GetPageBuffer(Page)->Bitmap->Image();
        return std::pair{image.pixel(2, 2) & 0xFFFFFF, image.pixel(image.width() - 2, 2) & 0xFFFFFF};
    };
    E->RenderPageBuffer(true, 0);
    EXPECT_FALSE(E->GetPageBuffer(0)->Monochrome);
    EXPECT_EQ(pixelsOf(0), std::pair(0x800000u, 0xFFFF80u));   // QRgb: red high
    E->MonochromePageBuffers = true;
    E->RenderPageBuffer(true, 1);
    EXPECT_TRUE(E->GetPageBuffer(1)->Monochrome);
    EXPECT_EQ(pixelsOf(1), std::pair(0x000000u, 0xFFFFFFu));
    EXPECT_TRUE(E->IsPageBufferValid(1));
}
