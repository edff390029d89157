#include "uDocDrawer.h"

#include "Canvas.h"
#include "FBPictureElement.h"
#include "uDrawContext.h"
#include "uFotobuchDocument.h"
#include "uTransformation.h"

#include <algorithm>

namespace {

// Restores the clip selected by the page when the scope ends.
class TPageClip {
public:
    explicit TPageClip(TDrawContext& DC) : dc_(DC) {}
    ~TPageClip() { dc_.RestoreClip(); }
    TPageClip(const TPageClip&) = delete;
    TPageClip& operator=(const TPageClip&) = delete;

private:
    TDrawContext& dc_;
};

}  // namespace

void TDocumentDrawer::DrawSpread(TFBDocument& Document, TDrawContext& DC, int ScreenIndex,
                                 uint8_t Mode)
{
    const float W = Document.PageWidth;
    auto drawAt = [&](TFBPage* Page, float DX, float DY) {
        if (!Page)
            return;
        TTransformationScope pushed(*DC.Transformation);
        DC.Transformation->Translate(DX, DY);
        DrawPage(*Page, DC, Mode, false);
    };
    switch (Document.ScreenMode) {
    case 0:
        if (TFBPage* page = Document.GetLeftPage(ScreenIndex))
            DrawPage(*page, DC, Mode, false);
        break;
    case 1: {
        float SW, SH;
        Document.GetScreenSize(SW, SH);
        DC.SetPenColor(0xC0C0C0);
        DC.SetPenStyle(psClear);
        DC.Rectangle(3, 3, SW + 3, SH + 3);  // backdrop in the current brush colour
        DC.GetBrush().SetColor(0xF0F0F0);
        DC.Rectangle(0, 0, SW, SH);  // the cover
        DC.SetPenStyle(psSolid);
        const float U = Document.Umschlagbreite;
        drawAt(Document.GetLeftPage(ScreenIndex), U, U);
        drawAt(Document.GetRightPage(ScreenIndex), W + Document.Stegbreite + U, U);
        break;
    }
    case 2:
        drawAt(Document.GetLeftPage(ScreenIndex), 0, 0);
        drawAt(Document.GetRightPage(ScreenIndex), W, 0);
        break;
    default:
        break;
    }
}

void TDocumentDrawer::DrawPage(TFBPage& Page, TDrawContext& DC, uint8_t Mode, bool Bare)
{
    const float W = Page.Document->PageWidth;
    const float H = Page.Document->PageHeight;
    if (!Bare) {
        DC.SetPenColor(0xD0D0D0);
        DC.GetBrush().SetStyle(bsSolid);
        DC.GetBrush().SetColor(Page.PageColor);
        DC.Rectangle(0, 0, W, H);
    }
    DC.ClipRect(0, 0, W, H, RGN_COPY);
    TPageClip clip(DC);
    for (int i = 0; i < Page.Pictures.Count(); ++i)
        DrawPictureElement(*Page.Pictures.GetItem(i), DC, Mode, Bare);
    for (int i = 0; i < Page.Calendars.Count(); ++i)
        DrawKalenderElement(*Page.Calendars.GetItem(i), DC, Mode);
    for (int i = 0; i < Page.Elements.Count(); ++i)
        DrawElement(*Page.Elements.GetItem(i), DC, Mode);
}

void TDocumentDrawer::DrawPictureElement(TFBElement& Element, TDrawContext& DC, uint8_t Mode,
                                         bool Bare)
{
    const auto* frame = dynamic_cast<const TFBPictureElement*>(&Element);
    if (!frame || frame->HasPicture()) {
        Element.Draw(DC, Mode);
        return;
    }
    if (Bare)
        return;
    // The outline must not depend on the pen style a caller left behind.
    DC.SetPenColor(0xC0C0C0);
    DC.SetPenStyle(psSolid);
    DC.GetBrush().SetStyle(bsClear);
    DC.RotatedRectangle(Element.CenterX, Element.CenterY, Element.Width, Element.Height,
                        Element.Angle);
    DC.GetBrush().SetStyle(bsSolid);
}

void TDocumentDrawer::DrawKalenderElement(TFBElement& Element, TDrawContext& DC, uint8_t Mode)
{
    Element.Draw(DC, Mode);
}

void TDocumentDrawer::DrawElement(TFBElement& Element, TDrawContext& DC, uint8_t Mode)
{
    Element.Draw(DC, Mode);
}

TDocumentDrawer& DocumentDrawer()
{
    static TDocumentDrawer drawer;
    return drawer;
}

void FitScreenIntoPicture(TFBDocument& Document, int ScreenIndex, TDrawContext& DC, int Width, int Height)
{
    float w = 0, h = 0;
    Document.GetScreenSize(w, h);
    const bool landscape = Document.GetScreenOrientation(ScreenIndex) != 0;
    const float sw = landscape ? h : w;
    const float sh = landscape ? w : h;
    const float scale = std::min(float(Width - 60) / sw, float(Height - 50) / sh);
    TTransformation& t = *DC.Transformation;
    t.SetIdentity();
    t.Translate(float(Width) / 2, float(Height) / 2);
    if (landscape)
        t.Rotate(Document.ScreenQuerformatWinkel);
    t.ScaleUniform(scale);
    t.Translate(-w / 2, -h / 2);
}
