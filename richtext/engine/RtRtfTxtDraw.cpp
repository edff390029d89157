// Painting the visible area: background, floating objects, the formatted
// lines and the free area below the text, and the object layer.
#include "RtRtfTxtInput.h"

#include "RtObject.h"
#include "RtObjectEnv.h"
#include "RtPlatform.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

bool Empty(const TRect& R) { return R.Right <= R.Left || R.Bottom <= R.Top; }

QRect ToQRect(const TRect& R) { return QRect(R.Left, R.Top, R.Right - R.Left, R.Bottom - R.Top); }

} // namespace

// ---- set-up --------------------------------------------------------------------------------------------

double TRtRTFTextInput::PaintScale() const { return DocToScreen(10000) / 10000.0; }

// Makes Canvas the one fonts are selected into and maps layout units to its pixels.
void TRtRTFTextInput::BeginPaint(TCanvas* C)
{
    PaintingCanvas = C;
    Canvas = C;
    if (QPainter* p = C ? C->Painter() : nullptr) {
        const double s = PaintScale();
        p->setWorldTransform(QTransform::fromScale(s, s));
    }
}

void TRtRTFTextInput::FillBrushRect(TCanvas* C, const TRect& R, TColor Colour)
{
    if (!C || Empty(R))
        return;
    C->Brush().SetStyle(bsSolid);
    C->Brush().SetColor(Colour);
    C->FillRect(R);
}

bool TRtRTFTextInput::HasBackground() const { return !BackgroundPicture.isNull() || PageBuffersActive; }

// ---- the visible area ----------------------------------------------------------------------------------------

void TRtRTFTextInput::PaintRect(const TRect& R)
{
    if (Surface().isNull())
        return;
    TCanvas c(&Surface());
    PaintRect(&c, R.Left, R.Top, R.Right - R.Left, R.Bottom - R.Top);
    c.Flush();
    MarkSurfaceDirty(QRect(R.Left, R.Top, R.Right - R.Left, R.Bottom - R.Top));
}

void TRtRTFTextInput::PaintRect(TCanvas* C, int32_t X, int32_t Y, int32_t W, int32_t H)
{
    PaintArea(C, ScreenToDoc(X), ScreenToDoc(Y), ScreenToDoc(W), ScreenToDoc(H));
}

void TRtRTFTextInput::PaintArea(TCanvas* C, int32_t X, int32_t Y, int32_t W, int32_t H)
{
    if (W < 1 || H < 1 || UpdatesLocked || RepaintLocked || LayoutBusy || !C)
        return;
    if (OnHideCaret)
        OnHideCaret(this);
    SelectMapMode(false);
    TCanvas* oldCanvas = Canvas;
    BeginPaint(C);
    const TRect area{X, Y, X + W, Y + H};
    const bool skip = !Displays() || Suspended() || PaintLocked;
    if (!skip) {
        PaintedTextId = EditedHeaderFooterId();
        const double s = PaintScale();
        const QRect device(int(std::floor(X * s)), int(std::floor(Y * s)), int(std::ceil(W * s)), int(std::ceil(H * s)));
        QRegion region;
        bool made = false;
        if (OwnerControl && NeedsObjectPass && !InRefresh) {
            region = QRegion(device);
            made = true;
            FirstObjectPass = true;
            PaintObjects(&region, 1);
            FirstObjectPass = false;
            C->ExtSelectClipRegion(region, RGN_AND);
            BeginPaint(C);
        }
        // Lines that overlap the band.
        const int32_t top = Y + TopY;
        const int32_t bottom = top + H;
        PaintedBottom = top;
        int32_t painted = 0;
        const bool pageLimited = (EngineOptions & (1u << 18)) != 0;
        bool stop = false;
        for (TParagraph* p = FirstPar; p && !stop; p = p->Next) {
            if (p->Lines && p->Lines->Top - p->Lines->SpaceAbove > top + std::max(VisibleHeight, H))
                break;
            if (pageLimited && painted > 3 && (p->Flags & parfNewPage))
                break;
            for (TLine* l = p->Lines; l; l = l->Next) {
                if (!PaintPageLine || l->PageNr != PaintPageLine->PageNr)
                    PaintPageLine = l;
                const int32_t lt = l->Top - l->SpaceAbove;
                const int32_t lb = l->Top + l->Height + l->SpaceBelow;
                if (l->Height == 0 && l->SpaceBelow == 0 && p != FirstPar)
                    continue;
                if (lb > top && lt < bottom) {
                    PaintLine(l, p);
                    ++painted;
                    PaintedBottom = std::max(PaintedBottom, lb);
                }
                if (pageLimited && painted > 3 && (l->Flags & linfPageBreakAfter)) {
                    stop = true;
                    break;
                }
            }
        }
        // The free area below the text.
        const bool noFill = !Displays() || (EngineOptions & (eoNoScrollDC | eoNoAreaFills));
        if (!noFill && std::max(PaintedBottom, top) < bottom) {
            const TRect free{X + 0, std::max(PaintedBottom, top) - TopY, X + W, bottom - TopY};
            const bool layoutView = (LayoutFlags & lfPageLayoutView) != 0;
            if (layoutView || !HasBackground() || !PaintPageBackground(C, free))
                FillBrushRect(C, free, layoutView ? GapColor : GetPaperColor());
        }
        if (made) {
            C->SelectClipRegion(nullptr);
            BeginPaint(C);
            PaintObjects(nullptr, 0);
        } else {
            PaintObjects(nullptr, 1);
        }
        NeedsObjectPass = ObjectsPainted;
    }
    if (BlankAreaMark)
        C->FillRect(area);
    Canvas = oldCanvas;
    PaintingCanvas = nullptr;
    PaintPageLine = nullptr;
}

bool TRtRTFTextInput::PaintPageBackground(TCanvas* C, const TRect& R)
{
    return PaintBackground(C, R, PaintPageLine, PaintPageLine ? PaintPageLine->PageNr : 0, 0, 0);
}

bool TRtRTFTextInput::PaintBackground(TCanvas* C, const TRect& R, TLine* PageLine, int32_t Page, int32_t DX,
                                      int32_t DY)
{
    if (EngineOptions & (eoNoScrollDC | eoNoBackground))
        return true;
    if (!C || Empty(R))
        return false;
    QPainter* p = C->Painter();
    if (!p)
        return false;
    if (PageBuffersActive && !RenderingPageBuffer && PageLine) {
        RenderPageBuffer(false, Page);
        if (TRtPageBackgroundBuffer* buffer = GetPageBuffer(Page); buffer && buffer->Bitmap) {
            // The buffer holds the page at zoom 100 in screen pixels; other zooms
            // stretch it, smoothly unless it is black and white.
            const QImage& img = buffer->Bitmap->Image();
            const TTextHeader* h = Header();
            const double ppi = RtPlatform().ScreenPixelsPerInch();
            const double sx = ppi / std::max(1, h->LayoutXRes), sy = ppi / std::max(1, h->LayoutYRes);
            const QRectF target(R.Left, R.Top, R.Right - R.Left, R.Bottom - R.Top);
            const QRectF source((R.Left - LeftX) * sx, (R.Top + TopY - PageLine->Top) * sy, target.width() * sx,
                                target.height() * sy);
            p->save();
            p->setRenderHint(QPainter::SmoothPixmapTransform, !buffer->Monochrome);
            p->drawImage(target, img, source);
            p->restore();
            return true;
        }
    }
    if (BackgroundPicture.isNull())
        return false;
    int32_t tw = BackgroundPicture.width();
    int32_t th = BackgroundPicture.height();
    const bool scaled = Zooming != 100 && ScaleBackground;
    if (scaled) {
        tw = MulDiv(tw, Zooming, 100);
        th = MulDiv(th, Zooming, 100);
    }
    if (tw <= 0 || th <= 0)
        return false;
    // Tiles in layout units: the picture's pixels are window pixels.
    const double s = PaintScale();
    const double tileW = tw / s, tileH = th / s;
    double y0 = R.Top + DY;
    if (BackgroundScrolling && !Transparent)
        y0 += TopY;
    double x0 = R.Left + DX;
    if (BackgroundScrolling)
        x0 -= LeftX;
    const double startY = R.Top - std::fmod(y0, tileH);
    const double startX = R.Left - std::fmod(x0, tileW);
    p->save();
    p->setClipRect(QRectF(R.Left, R.Top, R.Right - R.Left, R.Bottom - R.Top), Qt::IntersectClip);
    for (double y = startY; y < R.Bottom; y += tileH)
        for (double x = startX; x < R.Right; x += tileW)
            p->drawImage(QRectF(x, y, tileW, tileH), BackgroundPicture);
    p->restore();
    return true;
}

// ---- the object layer ------------------------------------------------------------------------------------------

QRegion TRtRTFTextInput::ObjectRegion(const TTextObj& Ref) const
{
    return QRegion(Ref.ScreenX, Ref.ScreenY, Ref.ScreenW, Ref.ScreenH);
}

void TRtRTFTextInput::PaintObjectLayer(QRegion* Region, int32_t Pass)
{
    if (RebuildLock || !PaintingCanvas)
        return;
    if (OnHideCaret)
        OnHideCaret(this);
    const bool noTransparent = ViewOptions.Has(rtNoTransparentFloatingObjects);
    TRtObjReferenceList* refs = ObjRefList();
    for (TRtListItem* it = refs->First(); it; it = refs->Next()) {
        TTextObj* ref = refs->GetTextObj(it->Id);
        if (!ref || ref->Kind != 1)
            continue;
        const bool listed = std::find(ObjectsToPlace.begin(), ObjectsToPlace.end(), ref) != ObjectsToPlace.end();
        const TRect rect = FloatingObjectRect(*ref);
        const int32_t y = rect.Top;
        const int32_t ht = rect.Height();
        const bool placed = ref->Placed && y + ht >= TopY && y <= TopY + VisibleHeight;
        if (!listed && !placed)
            continue;
        auto* obj = dynamic_cast<TRtObject*>(ref->Object);
        const bool transparent3 = ref->PlaceMode == 3 && !noTransparent && obj && obj->Color == clNone;
        if (!(Pass == 1 || noTransparent || transparent3))
            continue;
        const int32_t x = rect.Left;
        const int32_t w = rect.Width();
        ref->RectLeft = x;
        ref->RectTop = y;
        ref->RectWidth = w;
        ref->RectHeight = ht;
        ref->Placed = 1;
        ref->ScreenX = DocToScreen(x + LeftX);
        ref->ScreenY = DocToScreen(y - TopY);
        ref->ScreenW = DocToScreen(w);
        ref->ScreenH = DocToScreen(ht);
        if (obj)
            obj->ObjRect = TRect{ref->ScreenX, ref->ScreenY, ref->ScreenX + ref->ScreenW, ref->ScreenY + ref->ScreenH};
        const bool visible = (y - TopY + ht > 0 && y - TopY < VisibleHeight) || ref == SelectedObj;
        if (!visible)
            continue;
        const TRect r{x + LeftX, y - TopY, x + LeftX + w, y - TopY + ht};
        if (!Region || FirstObjectPass) {
            if (!transparent3 && Displays() && HasWorkBitmap() && !FixedResMode && !PageBuffersActive) {
                PaintObjectBuffered(ref, r);
            } else {
                if (!transparent3 && Displays()) {
                    if (!HasBackground() || !PaintPageBackground(PaintingCanvas, r))
                        FillBrushRect(PaintingCanvas, r, GetPaperColor());
                }
                PaintObjectAt(ref, PaintingCanvas, r, w, ht);
            }
        }
        if (Region && !transparent3)
            *Region = TCanvas::CombineRegion(*Region, ObjectRegion(*ref), RGN_DIFF);
        ObjectsPainted = true;
    }
}

// A floating object through the work bitmap: its background (or the paper) and the object
// are painted there first and the bitmap is copied onto the canvas at once.
void TRtRTFTextInput::PaintObjectBuffered(TTextObj* Ref, const TRect& R)
{
    const int32_t w = std::max(1, R.Width()), h = std::max(1, R.Height());
    TBitmap& b = WorkBitmap();
    if (b.Width() != w || b.Height() != h)
        b.SetSize(w, h);
    TCanvas& bc = b.Canvas();
    const TRect local{0, 0, w, h};
    if (!PaintBackground(&bc, local, nullptr, 0, R.Left, R.Top))
        FillBrushRect(&bc, local, GetPaperColor());
    PaintObjectAt(Ref, &bc, local, w, h);
    bc.Flush();
    PaintingCanvas->Draw(R.Left, R.Top, b.Image());
}

void TRtRTFTextInput::PaintObjectAt(TTextObj* Ref, TCanvas* C, const TRect& R, int32_t /*W*/, int32_t H)
{
    if (!Ref || !C)
        return;
    auto* obj = dynamic_cast<TRtObject*>(Ref->Object);
    if (!obj) {
        if (!Displays())
            return;
        // A placeholder box with one diagonal, and the name at its top left.
        C->Pen().SetColor(clGray);
        C->Pen().SetStyle(psSolid);
        C->Brush().SetStyle(bsClear);
        C->Rectangle(R.Left, R.Top, R.Right, R.Bottom);
        C->MoveTo(R.Left, R.Top);
        C->LineTo(R.Right, R.Bottom);
        if (!Ref->ItemName.empty())
            C->TextOut(R.Left + 1, R.Top + 1, Ref->ItemName);
        return;
    }
    if (OnHideCaret)
        OnHideCaret(this);
    TRect r = R;
    if (H > 0)
        r.Bottom = std::min(r.Bottom, r.Top + H);
    obj->EnsureLoaded();
    obj->PaintTo(C, r);
    Ref->Placed = 1;
}

TRect TRtRTFTextInput::FloatingObjectRect(const TTextObj& Ref) const
{
    const int32_t left = CanvasLeft + TwipsToLayoutX(Ref.X);
    const int32_t top = (Ref.AnchorLine ? Ref.AnchorLine->Top : 0) + TwipsToLayoutY(Ref.Y);
    return TRect{left, top, left + TwipsToLayoutX(Ref.Width), top + TwipsToLayoutY(Ref.Height)};
}

// The object's character in the text: its rectangle in layout units of the window.
bool TRtRTFTextInput::CalcObjectRect(TRtObjectBase* Obj)
{
    TRtObjReferenceList* refs = ObjRefList();
    TTextObj* ref = Obj ? refs->FindObject(Obj) : nullptr;
    if (!ref)
        return false;
    const int32_t id = refs->IndexOfObject(ref);
    if (ref->Kind == 1 || ref->Kind == 2) {
        const TRect r = FloatingObjectRect(*ref);
        ref->RectLeft = r.Left;
        ref->RectTop = r.Top;
        ref->RectWidth = r.Width();
        ref->RectHeight = r.Height();
        return true;
    }
    for (TParagraph* p = FirstPar; p; p = p->Next)
        for (TLine* l = p->Lines; l; l = l->Next)
            for (int32_t i = 0; l->Attrs && i < l->Length; ++i)
                if (l->Attrs[i].Style.Has(afsIsObject) && int32_t(l->Attrs[i].Tag) == id) {
                    const TAttr& a = l->Attrs[i];
                    ref->RectLeft = GetCharX(p, l, i);
                    ref->RectTop = l->Top + l->Base - a.Base;
                    ref->RectWidth = a.Width;
                    ref->RectHeight = a.Height;
                    ref->AnchorPar = p;
                    ref->AnchorLine = l;
                    ref->AnchorPos = i;
                    ref->Placed = 1;
                    return true;
                }
    return false;
}

bool TRtRTFTextInput::CalcObjectScreenRect(TRtObjectBase* Obj)
{
    if (!CalcObjectRect(Obj))
        return false;
    TTextObj* ref = ObjRefList()->FindObject(Obj);
    const int32_t x = DocToScreen(ref->RectLeft + LeftX);
    const int32_t y = DocToScreen(ref->RectTop - TopY);
    const int32_t w = DocToScreen(ref->RectWidth);
    const int32_t h = DocToScreen(ref->RectHeight);
    ref->ScreenX = x;
    ref->ScreenY = y;
    ref->ScreenW = w;
    ref->ScreenH = h;
    Obj->ObjRect = TRect{x, y, x + w, y + h};
    return x + w > 0 && y + h > 0 && x < VisibleWidthPx && y < VisibleHeightPx;
}

void TRtRTFTextInput::RepaintObject(TRtObjectBase* Obj)
{
    if (!Obj || Surface().isNull() || !CalcObjectScreenRect(Obj))
        return;
    TTextObj* ref = ObjRefList()->FindObject(Obj);
    TCanvas c(&Surface());
    c.SelectClipRegion(nullptr);
    TCanvas* oldCanvas = Canvas;
    BeginPaint(&c);
    const TRect r{ref->RectLeft + LeftX, ref->RectTop - TopY, ref->RectLeft + LeftX + ref->RectWidth,
                  ref->RectTop - TopY + ref->RectHeight};
    if (auto* obj = dynamic_cast<TRtObject*>(Obj))
        obj->EnsureLoaded();
    PaintObjectAt(ref, &c, r, ref->RectWidth, ref->RectHeight);
    c.Flush();
    MarkSurfaceDirty(Surface().rect());
    Canvas = oldCanvas;
    PaintingCanvas = nullptr;
}

// ---- window ------------------------------------------------------------------------------------------------------

void TRtRTFTextInput::PaintWindow()
{
    if (LayoutBusy || UpdatesLocked || RepaintLocked || LayoutUpdating || RebuildLock || PaintLocked || Suspended())
        return;
    SelectMapMode(true);
    if (!Displays() || Surface().isNull())
        return;
    const int32_t w = ClientWidthPx > 0 ? ClientWidthPx : VisibleWidthPx;
    const int32_t h = ClientHeightPx > 0 ? ClientHeightPx : VisibleHeightPx;
    TCanvas c(&Surface());
    PaintRect(&c, 0, 0, std::max(w, Surface().width()), std::max(h, Surface().height()));
    MarkSurfaceDirty(Surface().rect());
    if (ColumnResizing) {
        c.SelectClipRegion(nullptr);
        if (QPainter* p = c.Painter()) {
            p->resetTransform();
            p->setPen(QPen(QColor(ResizeGuideColor & 0xFF, (ResizeGuideColor >> 8) & 0xFF,
                                  (ResizeGuideColor >> 16) & 0xFF),
                           1, Qt::DotLine));
            p->drawLine(ResizeGuideX, 0, ResizeGuideX, h);
        }
    }
    c.Flush();
}

void TRtRTFTextInput::Refresh()
{
    if (RepaintLocked)
        return;
    // A refresh inside a vertical scroll leaves the flag to the scroll.
    const bool inRefresh = InRefresh;
    InRefresh = true;
    PaintWindow();
    // The owner hears of it once the window's picture is painted, so that it shows all of it.
    if (OnRefresh)
        OnRefresh(this);
    RefreshPending = false;
    InRefresh = inRefresh;
}

void TRtRTFTextInput::ResetView(int32_t /*Mode*/)
{
    const bool rebuild = RebuildLock;
    RebuildLock = false;
    TopY = 0;
    LeftX = 0;
    UpdateAfterChange(true);
    ReformatText(nullptr);
    Refresh();
    RebuildLock = rebuild;
}

void TRtRTFTextInput::RepaintLine(TParagraph* Par, TLine* Line)
{
    if (!Par || !Line || Surface().isNull() || UpdatesLocked || RepaintLocked || LayoutBusy)
        return;
    const int32_t top = Line->Top - Line->SpaceAbove - TopY;
    const int32_t bottom = Line->Top + Line->Height + Line->SpaceBelow - TopY;
    if (bottom <= 0 || top >= VisibleHeight)
        return;
    TCanvas c(&Surface());
    if (!Empty(ClipRectPx)) {
        const QRegion clip(ToQRect(ClipRectPx));
        c.SelectClipRegion(&clip);
    }
    TCanvas* oldCanvas = Canvas;
    BeginPaint(&c);
    if (PageBuffersActive) {
        // The first line of the line's page.
        PaintPageLine = Line;
        TParagraph* p = Par;
        for (TLine* l = Line; l && l->PageNr == Line->PageNr;) {
            PaintPageLine = l;
            if (l->Prior) {
                l = l->Prior;
            } else {
                p = p->Prior;
                l = p ? GetLastLine(p) : nullptr;
            }
        }
    }
    PaintLine(Line, Par);
    c.Flush();
    // The line's band across the whole width (with a pixel for rounding and
    // overhangs); the page-layout view places lines on pages of their own.
    if (PageBuffersActive || (LayoutFlags & lfPageLayoutView))
        MarkSurfaceDirty(Surface().rect());
    else
        MarkSurfaceDirty(QRect(0, DocToScreen(std::min(top, top + TextTopOffset)) - 2, Surface().width(),
                               DocToScreen(bottom - top + std::abs(TextTopOffset)) + 4));
    Canvas = oldCanvas;
    PaintingCanvas = nullptr;
    PaintPageLine = nullptr;
    Line->Flags &= uint16_t(~linfChanged);
}
