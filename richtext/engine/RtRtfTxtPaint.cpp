// Paint engine set-up: defaults, the reference canvas, resolution and zoom,
// the mapping of layout units to device pixels, the page metrics, the
// page-background cache and the engine's surface.
#include "RtRtfTxtPaint.h"

#include "RtFont.h"
#include "RtHeaderFooter.h"
#include "RtList.h"
#include "RtObjBase.h"
#include "RtPlatform.h"
#include "SysUtils.h"

#include <QPainter>
#include <QPaintDevice>

#include <algorithm>
#include <cstring>

// ---- unit start and end -----------------------------------------------------------------------

std::unique_ptr<TBitmap> RtEngineIcons;
int32_t RtAnchorIconWidth = 0;
int32_t RtAnchorIconHeight = 0;
AnsiString RtEngineVersion;
int32_t RtEngineVersionNr = 0;
std::array<uint8_t, 2> RtInsertPointDisplay{};

uint8_t RtInsertPointChar(uint8_t Ch)
{
    const uint8_t display = Ch == RtFieldStart ? RtInsertPointDisplay[0] : Ch == RtFieldEnd ? RtInsertPointDisplay[1] : 0;
    return display ? display : Ch;
}

namespace {

int32_t engineUnitUses = 0;

// Starts the unit with the program and ends it after main returns.
struct TEngineUnit {
    TEngineUnit() { RtEngineUnitStart(); }
    ~TEngineUnit() { RtEngineUnitEnd(); }
} engineUnit;

}  // namespace

void RtEngineUnitStart()
{
    if (engineUnitUses++ > 0)
        return;
    // The resources may not be registered yet while static objects are made.
    Q_INIT_RESOURCE(rtengine);
    RtEngineIcons = std::make_unique<TBitmap>();
    RtEngineIcons->Image() = QImage(QStringLiteral(":/richtext/RIDIRUZOZAV1610")).convertToFormat(QImage::Format_ARGB32);
    RtAnchorIconWidth = 10;
    RtAnchorIconHeight = 16;
    RtEngineVersion = "4.09";
    RtEngineVersionNr = 307;
}

void RtEngineUnitEnd()
{
    if (engineUnitUses == 0 || --engineUnitUses > 0)
        return;
    RtEngineIcons.reset();
    RtEngineVersion.clear();
}

int32_t RtEngineUnitUses() { return engineUnitUses; }

// ---- the engine ------------------------------------------------------------------------------------

TRtRTFTextPaint::TRtRTFTextPaint(bool AllocFlag)
{
    if (AllocFlag)
        workBitmap_ = std::make_unique<TBitmap>();
    PaperColor = clWindow;
    TopY = 0;
    LeftX = 0;
    CaretY = 16;
    CaretWidth = 1;
    Zooming = 100;
    Resizing = 100;
    EngineOptions = 0;
    Header()->Owner = this;
    Header()->OnChange = [this](bool Repaint) { UpdatePageMetrics(Repaint); };
    CurrentFont = std::make_unique<TRtFont>(this);
    Positions().Add(HotParagraph);
    Positions().Add(LastStyleParagraph);
}

TRtRTFTextPaint::~TRtRTFTextPaint()
{
    Positions().Remove(this, sizeof(*this));
    Header()->OnChange = nullptr;
    FreePageBuffers();
}

// ---- reference canvas and resolution ---------------------------------------------------------

void TRtRTFTextPaint::SetReferenceCanvas(TCanvas* NewCanvas)
{
    if (NewCanvas == referenceCanvas_)
        return;
    referenceCanvas_ = NewCanvas;
    InvalidateWidthTables();
    if (NewCanvas)
        UpdateDeviceMetrics();
    else
        EngineOptions = eoSuspended;
}

void TRtRTFTextPaint::UpdateDeviceMetrics()
{
    if (Suspended() || !referenceCanvas_)
        return;
    const QPaintDevice* device = referenceCanvas_->Device();
    DeviceTechnology = device && device->devType() == QInternal::Printer ? DT_RASPRINTER : DT_RASDISPLAY;
    ScreenResolution = referenceCanvas_->PixelsPerInchY();
    Header()->ScreenXRes = referenceCanvas_->PixelsPerInchX();
    Header()->ScreenYRes = ScreenResolution;
    UpdateResolution();
    const int32_t zoom = Zooming;
    Zooming = 100;
    TAttr plain;
    plain.Size = uint16_t(RtDefaultFontSize);
    SelectCharFont(&plain, nullptr, nullptr, 0);
    CharHeight = referenceCanvas_->TextHeight("A");
    Zooming = zoom;
    ReformatText(nullptr);
}

void TRtRTFTextPaint::UpdateResolution()
{
    if (FixedResMode) {
        if (Zooming < 1)
            Zooming = 1;
        ScaledFixedResolution =
            (EngineOptions & eoNoZoomScaling) ? FixedResolution : MulDiv(FixedResolution, 100, Zooming);
        SetResolution(ScaledFixedResolution, ScaledFixedResolution);
        OnePixel = ScreenToDoc(1);
    } else {
        OnePixel = 1;
        SetResolution(referenceCanvas_ ? referenceCanvas_->PixelsPerInchX() : 0,
                      referenceCanvas_ ? referenceCanvas_->PixelsPerInchY() : 0);
    }
    VisibleHeight = ScreenToDoc(VisibleHeightPx);
    VisibleWidth = ScreenToDoc(VisibleWidthPx);
    EffectiveResolution = Zooming < 1 ? ScreenResolution : MulDiv(ScreenResolution, Zooming, 100);
    UpdateObjectPositions();
}

void TRtRTFTextPaint::SetResolution(int32_t ResX, int32_t ResY)
{
    TTextHeader* h = Header();
    const int32_t fallback = FixedResMode ? FixedResolution : ScreenResolution;
    if (ResX == 0)
        ResX = fallback;
    if (ResY == 0)
        ResY = fallback;
    const bool noScaling = (EngineOptions & eoNoZoomScaling) != 0;
    const int32_t sx = std::max(1, noScaling ? ResX : MulDiv(ResX, Zooming, 100));
    const int32_t sy = std::max(1, noScaling ? ResY : MulDiv(ResY, Zooming, 100));
    const bool scaledLayout = ZoomByResolution || FixedResMode;
    h->LayoutXRes = h->XRes = scaledLayout ? sx : ResX;
    h->LayoutYRes = h->YRes = scaledLayout ? sy : ResY;
    const bool changed = h->PaintXRes != sx || h->PaintYRes != sy;
    h->PaintXRes = sx;
    h->PaintYRes = sy;
    h->FontRes = sy;
    ScaledFixedResolution = MulDiv(FixedResolution, 100, std::max(Zooming, 1));
    if (FixedResMode) {
        h->FontRes = FixedResolution;
        if (referenceCanvas_)
            referenceCanvas_->Font().SetPixelsPerInch(h->PaintYRes);
        h->PaintXRes = h->PaintYRes;
    } else if (!KeepMapMode && referenceCanvas_) {
        referenceCanvas_->Font().SetPixelsPerInch(sy);
    }
    if (Suspended())
        return;
    if (h->PaintXRes == 0)
        h->PaintXRes = 96;
    h->RescaleTabs();
    h->UpdatePixelSizes();
    h->LayoutTextWidth = h->PixTextWidth;
    UpdatePageMetrics(false);
    if (changed && !PassRunning && !FixedResMode)
        UpdateLayout();
}

// ---- mapping mode ------------------------------------------------------------------------------

void TRtRTFTextPaint::SelectMapMode(bool Force)
{
    const bool zoomMapped = Zooming != 100 && Zooming != 0 && !ZoomByResolution && !TargetCanvas &&
        !SuppressMapMode && !SuppressZoomMapMode;
    if (!zoomMapped && !OwnScale && !(FixedResMode && !SuppressMapMode))
        return;
    if (TargetCanvas)
        ApplyMapMode(TargetCanvas);
    else if (referenceCanvas_ && !(Force && MapModeOf(referenceCanvas_).Mode == MM_ANISOTROPIC))
        ApplyMapMode(referenceCanvas_);
}

void TRtRTFTextPaint::ApplyMapMode(TCanvas* Target)
{
    if (!Target)
        return;
    const bool zoomNeedsNone = ZoomByResolution || Zooming == 100 || Zooming == 0 || TargetCanvas;
    if (!FixedResMode && !OwnScale && zoomNeedsNone)
        return;
    const int32_t lx = Target->PixelsPerInchX();
    const int32_t ly = Target->PixelsPerInchY();
    TRtMapMode m;
    m.Mode = MM_ANISOTROPIC;
    if (FixedResMode)
        m.WindowExt = TSize{ScaledFixedResolution, ScaledFixedResolution};
    else if (OwnScale)
        m.WindowExt = TSize{Round32(lx * double(ScaleX)), Round32(ly * double(ScaleY))};
    else
        m.WindowExt = TSize{MulDiv(lx, 100, Zooming), MulDiv(ly, 100, Zooming)};
    m.ViewportExt = TSize{lx, ly};
    auto it = std::find_if(mapModes_.begin(), mapModes_.end(), [&](const auto& e) { return e.first == Target; });
    if (it == mapModes_.end())
        mapModes_.emplace_back(Target, m);
    else
        it->second = m;
    if (QPainter* p = Target->Painter()) {
        // Layout units of the window extent cover the viewport extent of device pixels.
        p->setWindow(0, 0, std::max(1, m.WindowExt.cx), std::max(1, m.WindowExt.cy));
        p->setViewport(0, 0, m.ViewportExt.cx, m.ViewportExt.cy);
    }
}

void TRtRTFTextPaint::ResetMapMode(TCanvas* Target)
{
    if (KeepMapMode || !Target)
        return;
    std::erase_if(mapModes_, [&](const auto& e) { return e.first == Target; });
    if (QPainter* p = Target->Painter())
        p->setViewTransformEnabled(false);
}

TRtMapMode TRtRTFTextPaint::MapModeOf(const TCanvas* Target) const
{
    for (const auto& e : mapModes_)
        if (e.first == Target)
            return e.second;
    return TRtMapMode{};
}

TColor TRtRTFTextPaint::GetPaperColor() const { return Displays() ? PaperColor : clWhite; }

// ---- page metrics --------------------------------------------------------------------------------

void TRtRTFTextPaint::UpdatePageMetrics(bool Repaint)
{
    TTextHeader* h = Header();
    if (!WrapAtWindow)
        h->UpdatePixelSizes();   // the page's text width, also after wrapping at the window
    h->LayoutTextWidth = h->PixTextWidth;
    const int32_t ppi = RtPlatform().ScreenPixelsPerInch();
    auto offset = [&](bool Show, int32_t Gap, int32_t MarginTwips) {
        if (!Displays())
            return 0;
        if (!Show)
            return Gap;
        if (WrapAtWindow)
            return 2 * Gap;
        return MulDiv(MarginTwips, ppi * Zooming, 144000) + Gap;
    };
    LeftScreenOffset = offset(ShowLeftMargin, GapWidth, h->LeftMargin());
    RightScreenOffset = offset(ShowRightMargin, GapWidth2, h->RightMargin());
    int32_t w, twips;
    if (WrapAtWindow) {
        w = VisibleWidth - ScreenToDoc(LeftScreenOffset + RightScreenOffset);
        twips = MulDiv(w, 1440, std::max(1, h->LayoutYRes));
    } else {
        twips = h->PageWidth() - h->LeftMargin() - h->RightMargin();
        w = h->LayoutTextWidth - ScreenToDoc(2);
    }
    const int32_t screen = FixedResMode ? DocToScreen(twips) : w;
    // Wrapping at the window: the window's width is the text width the lines break at.
    if (WrapAtWindow)
        h->PixTextWidth = h->LayoutTextWidth = std::max(1, w);
    if (w != WrapWidth || screen != WrapWidthScreen) {
        WrapWidth = w;
        WrapWidthScreen = screen;
        const bool was = MarginsChanging;
        MarginsChanging = true;
        UpdateLayout();
        MarginsChanging = was;
    }
    PageBuffersActive = ViewOptions.Has(rtUseWatermark) && PageView;
    UpdateScreenMargins();
    if (Repaint) {
        const bool was = MarginsChanging;
        MarginsChanging = true;
        UpdateLayout();
        MarginsChanging = was;
        Refresh();
    }
    if (OwnerControl && OnLayoutChanged)
        OnLayoutChanged();
}

TBitmap& TRtRTFTextPaint::WorkBitmap()
{
    if (!workBitmap_)
        workBitmap_ = std::make_unique<TBitmap>();
    return *workBitmap_;
}

void TRtRTFTextPaint::UpdateScreenMargins()
{
    auto conv = [this](int32_t v) { return FixedResMode ? ScreenToDoc(v) : v; };
    ScreenMargins = TRect{conv(TextRectPx.Left), conv(TextRectPx.Top), conv(TextRectPx.Right), conv(TextRectPx.Bottom)};
    HasScreenMargins = TextRectPx.Left != 0 || TextRectPx.Top != 0;
}

void TRtRTFTextPaint::Clear()
{
    FreePageBuffers();
    CurrentAttr = TAttr{};
    // The font table starts again: indices name other fonts.
    InvalidateWidthTables();
    TRtRTFTextIo::Clear();
    if (OnTextChange)
        OnTextChange(this);
}

// ---- page-background cache -------------------------------------------------------------------------

TRtPageBackgroundBuffer* TRtRTFTextPaint::GetPageBuffer(int32_t PageIndex)
{
    if (!pageBuffers_)
        pageBuffers_ = std::make_unique<std::vector<std::unique_ptr<TRtPageBackgroundBuffer>>>();
    auto& list = *pageBuffers_;
    ++PageBufferClock;
    const int32_t p = PageIndex + 1;
    size_t lru = 0;
    int32_t oldest = 0x7FFFFFFF;
    for (size_t i = 0; i < list.size(); ++i) {
        TRtPageBackgroundBuffer* b = list[i].get();
        if (b->FirstPage <= p && p <= b->LastPage) {
            if (!b->Bitmap)
                b->Bitmap = std::make_unique<TBitmap>();
            b->LastUse = PageBufferClock;
            return b;
        }
        if (b->LastUse < oldest) {
            oldest = b->LastUse;
            lru = i;
        }
    }
    TRtPageBackgroundBuffer* b;
    if (int32_t(list.size()) < MaxPageBuffers) {
        list.push_back(std::make_unique<TRtPageBackgroundBuffer>());
        b = list.back().get();
    } else {
        b = list[lru].get();
    }
    if (!b->Bitmap)
        b->Bitmap = std::make_unique<TBitmap>();
    if (MonochromePageBuffers)
        b->Monochrome = true;
    b->LastUse = PageBufferClock;
    b->FirstPage = b->LastPage = p;
    b->NeedsPaint = true;
    return b;
}

bool TRtRTFTextPaint::IsPageBufferValid(int32_t PageIndex) const
{
    if (!pageBuffers_)
        return false;
    const int32_t p = PageIndex + 1;
    for (const auto& b : *pageBuffers_)
        if (b->FirstPage <= p && p <= b->LastPage)
            return !b->NeedsPaint;
    return false;
}

void TRtRTFTextPaint::InvalidatePageBuffer(int32_t PageIndex)
{
    if (PageIndex < 0) {
        FreePageBuffers();
        return;
    }
    if (!pageBuffers_)
        return;
    const int32_t p = PageIndex + 1;
    for (const auto& b : *pageBuffers_)
        if (b->FirstPage <= p && p <= b->LastPage) {
            b->FirstPage = b->LastPage = 0;
            b->Bitmap.reset();
            b->LastUse = 0;
            return;
        }
}

void TRtRTFTextPaint::FreePageBuffers() { pageBuffers_.reset(); }

void TRtRTFTextPaint::RenderPageBuffer(bool Force, int32_t PageIndex)
{
    if (Suspended())
        return;
    if (!ViewOptions.Has(rtUseWatermark) || !PageView) {
        FreePageBuffers();
        PageBuffersActive = false;
        return;
    }
    if (!Force && IsPageBufferValid(PageIndex)) {
        PageBuffersActive = ScaleBackground = true;
        return;
    }
    TRtPageBackgroundBuffer* b = GetPageBuffer(PageIndex);
    b->NeedsPaint = false;
    const TTextHeader* h = Header();
    const int32_t ppi = RtPlatform().ScreenPixelsPerInch();
    const int32_t pw = MulDiv(h->PageWidth(), ppi, 1440);
    const int32_t ph = MulDiv(h->PageHeight(), ppi, 1440);
    if (b->Bitmap->Width() != pw + GapWidth || b->Bitmap->Height() != ph)
        b->Bitmap->SetSize(pw + GapWidth, ph);
    TParagraph* firstPar = nullptr;
    TLine* firstLine = nullptr;
    for (TParagraph* p = FirstPar; p && !firstLine; p = p->Next)
        for (TLine* l = p->Lines; l; l = l->Next)
            if (l->PageNr == PageIndex) {
                firstPar = p;
                firstLine = l;
                break;
            }
    const TRect r{0, 0, pw, ph};
    TCanvas& c = b->Bitmap->Canvas();
    if (!HasBackground) {
        c.SelectClipRegion(nullptr);
        c.Brush().SetStyle(bsSolid);
        c.Brush().SetColor(MonochromePageBuffers ? clWhite : GetPaperColor());
        c.FillRect(r);
    } else {
        RenderingPageBuffer = true;
        PaintBackground(&c, r);
        RenderingPageBuffer = false;
    }
    if (OnPaintPage)
        OnPaintPage(OwnerControl, &c, r, ppi, ppi, PageIndex, firstPar, firstLine, b);
    std::vector<TTextObj*> behind;
    ObjRefList()->GetObjectsOfMode(behind, 2);
    for (TTextObj* o : behind) {
        if (!o->Object)
            continue;
        const int32_t x = MulDiv(o->X, ppi, 1440), y = MulDiv(o->Y, ppi, 1440);
        o->Object->ObjRect = TRect{x, y, x + MulDiv(o->Width, ppi, 1440), y + MulDiv(o->Height, ppi, 1440)};
        o->Object->Paint(&c);
    }
    if (b->Monochrome) {
        // Every pixel becomes black or white by its brightness; the pixel format stays 32-bit.
        QImage& image = b->Bitmap->Image();
        image = image.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither).convertToFormat(QImage::Format_ARGB32);
    }
    PageBuffersActive = ScaleBackground = true;
}

// ---- surface ---------------------------------------------------------------------------------------

void TRtRTFTextPaint::SetSurfaceSize(int32_t Width, int32_t Height)
{
    Width = std::max(0, Width);
    Height = std::max(0, Height);
    if (surface_.width() == Width && surface_.height() == Height)
        return;
    QImage next(Width, Height, QImage::Format_RGB32);   // opaque: copied to the screen without blending
    next.fill(toQColor(ColorToRGB(GetPaperColor())));
    if (!surface_.isNull()) {
        QPainter p(&next);
        p.drawImage(0, 0, surface_);
    }
    surface_ = std::move(next);
    surfaceDirty_ = QRegion(surface_.rect());
    VisibleWidthPx = Width;
    VisibleHeightPx = Height;
    VisibleWidth = ScreenToDoc(Width);
    VisibleHeight = ScreenToDoc(Height);
}

void TRtRTFTextPaint::ScrollSurface(int32_t Dx, int32_t Dy, const TRect& Clip)
{
    if (surface_.isNull())
        return;
    const QRect clip = QRect(Clip.Left, Clip.Top, Clip.Width(), Clip.Height()) & surface_.rect();
    const QRect target = clip.translated(Dx, Dy) & clip;
    if (target.isEmpty())
        return;
    MarkSurfaceDirty(clip);
    // Rows move in the direction that never reads a row already overwritten; the
    // pixels are moved directly, so a painter open on the surface does not matter.
    const size_t bytes = size_t(target.width()) * 4;
    auto moveRow = [&](int32_t Y) {
        const uchar* from = surface_.constScanLine(Y - Dy) + size_t(target.left() - Dx) * 4;
        uchar* to = surface_.scanLine(Y) + size_t(target.left()) * 4;
        std::memmove(to, from, bytes);
    };
    if (Dy > 0)
        for (int32_t y = target.bottom(); y >= target.top(); --y)
            moveRow(y);
    else
        for (int32_t y = target.top(); y <= target.bottom(); ++y)
            moveRow(y);
}
