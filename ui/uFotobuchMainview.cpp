#include "uFotobuchMainview.h"

#include "Application.h"
#include "FBPictureElement.h"
#include "SysUtils.h"
#include "uBitmapDrawContext.h"
#include "uCursors.h"
#include "uDebug.h"
#include "uDocDrawer.h"
#include "uFotobuchBildManager.h"
#include "uFotobuchDocument.h"
#include "uMulticaster.h"
#include "ulocalize.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace {

constexpr TColor PageGrey = RGB(208, 208, 208);
constexpr int BitmapMargin = 50;

// Restores the clip of the draw context at the end of a scope.
class TClipped {
public:
    explicit TClipped(TDrawContext& DC) : dc_(DC) {}
    ~TClipped() { dc_.RestoreClip(); }
    TClipped(const TClipped&) = delete;
    TClipped& operator=(const TClipped&) = delete;

private:
    TDrawContext& dc_;
};

bool IsSizeable(const TFBElement* E)
{
    return dynamic_cast<const TFBSizeableElement*>(E) != nullptr;
}

// The outline of an element in its own turned frame.
void OutlineElement(TDrawContext& DC, const TFBElement& E)
{
    DC.RotatedRectangle(E.CenterX, E.CenterY, E.Width, E.Height, E.Angle);
}

}  // namespace

TFBMainView::TFBMainView(QWidget* Owner, TFBDocument* Document)
    : TPaintWindow(Owner), FDoc(Document), FBitmap(std::make_unique<TBitmap>())
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    RegisterLocalizedString(this, "Cover");
    LoadViewCursors();
    FBitmap->SetPixelFormat(pf32bit);
    FBitmap->SetSize(ClientWidth() + BitmapMargin, ClientHeight() + BitmapMargin);
    FDC = std::make_unique<TBitmapDrawContext>(*FBitmap);
    UpdateVirtualSize();
    SetupTransformation();
    CreateContextMenu();
    FMessagePanel = new QLabel(this);
    FMessagePanel->setObjectName(QStringLiteral("MessagePanel"));
    FMessagePanel->setAlignment(Qt::AlignCenter);
    FMessagePanel->setFrameShape(QFrame::Panel);
    FMessagePanel->setFrameShadow(QFrame::Raised);
    FMessagePanel->setAutoFillBackground(true);
    FMessagePanel->hide();
    CreateDropTarget();
    // The page view holds the focus state that every undo item records.
    if (!GetUndoManager().UIStateHost())
        GetUndoManager().SetUIStateHost(this);
}

TFBMainView::~TFBMainView()
{
    if (GetUndoManager().UIStateHost() == this)
        GetUndoManager().SetUIStateHost(nullptr);
}

TTransformation& TFBMainView::Transformation()
{
    return *FDC->Transformation;
}

// ---- screen, zoom and transformation -----------------------------------------------------

void TFBMainView::CheckScreen()
{
    if (!FDoc)
        return;
    const int count = FDoc->GetScreenCount();
    const int index = std::clamp(FScreenIndex, 0, std::max(0, count - 1));
    if (index != FScreenIndex) {
        FScreenIndex = index;
        Invalidate();
    }
    ValidateFocus();
}

void TFBMainView::ValidateFocus()
{
    if (!FFocused || !FDoc)
        return;
    // Compare by address only: an element that left the screen may be gone.
    for (TFBPage* page : {FDoc->GetLeftPage(FScreenIndex), FDoc->GetRightPage(FScreenIndex)}) {
        if (!page)
            continue;
        for (TFBElementList* list : {&page->Pictures, &page->Calendars, &page->Elements})
            if (list->IndexOf(FFocused) >= 0)
                return;
    }
    FFocused = nullptr;
    FTracker.Shown = false;
    FMoveHandler = FUpHandler = nullptr;
    Invalidate();
    if (OnFocusChanged)
        OnFocusChanged(this);
}

void TFBMainView::SetScreen(int Index)
{
    if (FDoc)
        Index = std::clamp(Index, 0, std::max(0, FDoc->GetScreenCount() - 1));
    if (Index == FScreenIndex)
        return;
    SetFocusedElement(nullptr);
    FScreenIndex = Index;
    SetupTransformation();
    Invalidate();
}

void TFBMainView::SetZoom(float Zoom)
{
    ZoomAt(ClientWidth() / 2, ClientHeight() / 2, Zoom);
}

void TFBMainView::UpdateVirtualSize()
{
    SetVirtualSize(int(Round(ClientWidth() * double(FZoom) - 1)),
                   int(Round(ClientHeight() * double(FZoom) - 1)));
}

void TFBMainView::SetupTransformation()
{
    if (!FDoc)
        return;
    CheckScreen();
    float w, h;
    FDoc->GetScreenSize(w, h);
    if (w == 0 || h == 0) {
        w = w == 0 ? 1.0f : w;
        h = h == 0 ? 1.0f : h;
        Debug().Log("TFBMainView.SetupTransformation: FDoc.GetDisplaySize ist (0,0)");
    }
    TTransformation& T = Transformation();
    T.SetIdentity();
    const bool landscape = FDoc->GetScreenOrientation(FScreenIndex) != 0;
    float sx = (ClientWidth() - 60) / (landscape ? h : w);
    float sy = (ClientHeight() - 60) / (landscape ? w : h);
    sx = std::max(sx, 0.1f);
    sy = std::max(sy, 0.1f);
    const float fit = std::min(sx, sy);
    T.Translate(float(-GetScrollPosX()), float(-GetScrollPosY()));
    T.Translate(VirtualWidth() / 2.0f, VirtualHeight() / 2.0f);
    if (landscape)
        T.Rotate(FDoc->ScreenQuerformatWinkel);
    T.ScaleUniform(fit * FZoom);
    T.Translate(-w / 2, -h / 2);
}

void TFBMainView::ZoomAt(int X, int Y, float Zoom)
{
    const float z = std::clamp(Zoom, 1.0f, 8.0f);
    SetupTransformation();
    TPointF p;
    Transformation().InverseTransform(float(X), float(Y), p.X, p.Y);
    const float old = FZoom;
    FZoom = z;
    SetRedraw(false);
    UpdateVirtualSize();
    SetScrollPosX(0);
    SetScrollPosY(0);
    SetupTransformation();
    TPointF d;
    Transformation().Transform(p.X, p.Y, d.X, d.Y);
    SetScrollPosX(int(Round(d.X - X)));
    SetScrollPosY(int(Round(d.Y - Y)));
    SetupTransformation();
    SetRedraw(true);
    Invalidate();
    if (old != FZoom && OnZoomChanged)
        OnZoomChanged(this);
}

void TFBMainView::Resize()
{
    const int cw = ClientWidth();
    const int ch = ClientHeight();
    int bw = FBitmap->Width();
    int bh = FBitmap->Height();
    if (bw < cw || bw > cw + 150)
        bw = cw + BitmapMargin;
    if (bh < ch || bh > ch + 150)
        bh = ch + BitmapMargin;
    if (bw != FBitmap->Width() || bh != FBitmap->Height())
        FBitmap->SetSize(bw, bh);
    const TPoint oldPos = OldScrollPos;
    const TPoint oldMax = OldScrollMax;
    UpdateVirtualSize();
    if (oldMax.X > 0)
        SetScrollPosX(int(int64_t(GetScrollMaxX()) * oldPos.X / oldMax.X));
    if (oldMax.Y > 0)
        SetScrollPosY(int(int64_t(GetScrollMaxY()) * oldPos.Y / oldMax.Y));
    SetupTransformation();
    Invalidate();
}

// ---- hit tests ----------------------------------------------------------------------------

bool TFBMainView::ScreenPoint(int X, int Y, TPointF& P)
{
    if (!FDoc)
        return false;
    SetupTransformation();
    float w, h;
    FDoc->GetScreenSize(w, h);
    TTransformation& T = Transformation();
    if (!PtInRect(T.TransformBounds(0, 0, w, h), Point(X, Y)))
        return false;
    T.InverseTransform(float(X), float(Y), P.X, P.Y);
    return true;
}

TPointF TFBMainView::PageLocal(const TFBPage* Page, const TPointF& P) const
{
    TTransformation t;
    FDoc->TranslateToPage(t, Page);
    TPointF local;
    t.InverseTransform(P.X, P.Y, local.X, local.Y);
    return local;
}

TFBElement* TFBMainView::ElementAt(int X, int Y, int Flags)
{
    TPointF p;
    if (!ScreenPoint(X, Y, p))
        return nullptr;
    TFBPage* left = FDoc->GetLeftPage(FScreenIndex);
    TFBPage* right = FDoc->GetRightPage(FScreenIndex);
    if (FDoc->ScreenMode == 0)
        return left ? left->FindElementAt(p.X, p.Y, Flags) : nullptr;
    TFBElement* hit = nullptr;
    if (left) {
        const TPointF l = PageLocal(left, p);
        // On a spread with cover the left page reaches to the middle of the spine.
        if (FDoc->ScreenMode != 1 || l.X < FDoc->PageWidth - FDoc->Stegbreite / 2)
            hit = left->FindElementAt(l.X, l.Y, Flags);
    }
    if (!hit && right) {
        const TPointF r = PageLocal(right, p);
        hit = right->FindElementAt(r.X, r.Y, Flags);
    }
    return hit;
}

TFBPage* TFBMainView::PageAt(int X, int Y)
{
    TPointF p;
    if (!ScreenPoint(X, Y, p))
        return nullptr;
    TFBPage* left = FDoc->GetLeftPage(FScreenIndex);
    if (FDoc->ScreenMode == 0)
        return left;
    for (TFBPage* page : {left, FDoc->GetRightPage(FScreenIndex)}) {
        if (!page)
            continue;
        const TPointF l = PageLocal(page, p);
        if (l.X >= 0 && l.X < FDoc->PageWidth && l.Y >= 0 && l.Y < FDoc->PageHeight)
            return page;
    }
    return nullptr;
}

bool TFBMainView::IsOnScreen(const TFBPage* Page) const
{
    return Page && FDoc &&
           (Page == FDoc->GetLeftPage(FScreenIndex) || Page == FDoc->GetRightPage(FScreenIndex));
}

// ---- focus and invalidation ------------------------------------------------------------------

void TFBMainView::InvalidateElement(TFBElement* Element)
{
    if (!Element || !FDoc)
        return;
    TTransformation& T = Transformation();
    auto invalidateOne = [&](TFBElement* E) {
        TTransformationScope pushed(T);
        FDoc->TranslateToPage(T, E->Page);
        T.Translate(E->CenterX, E->CenterY);
        T.Rotate(E->Angle);
        TRect r = T.TransformBounds(-E->Width / 2 - 1, -E->Height / 2 - 1, E->Width / 2 + 1,
                                    E->Height / 2 + 1);
        InflateRect(r, 10, 10);
        InvalidateRect(r);
    };
    invalidateOne(Element);
    if (auto* pic = dynamic_cast<TFBPictureElement*>(Element); pic && pic->Link)
        for (TFBPictureElement* linked : pic->Link->Elements)
            if (linked != pic && IsOnScreen(linked->Page))
                invalidateOne(linked);
    if (FFocused) {
        TTransformationScope pushed(T);
        FDoc->TranslateToPage(T, FFocused->Page);
        FTracker.InvalidateHandles(this, T);
    }
}

void TFBMainView::LoadTrackerFrom(TFBElement* Element)
{
    FTracker.CenterX = Element->CenterX;
    FTracker.CenterY = Element->CenterY;
    FTracker.Width = Element->Width;
    FTracker.Height = Element->Height;
    FTracker.Angle = Element->Angle;
    FTracker.Shown = true;
}

void TFBMainView::SetFocusedElement(TFBElement* Element)
{
    ValidateFocus();
    if (Element != FFocused) {
        // A drag belongs to the element it started on (and to its undo item).
        FMoveHandler = FUpHandler = nullptr;
        FMoving = false;
        FTracker.Shown = false;
        InvalidateElement(FFocused);
        FFocused = Element;
        if (IsSizeable(Element))
            LoadTrackerFrom(Element);
        InvalidateElement(Element);
        if (OnFocusChanged)
            OnFocusChanged(this);
    } else if (IsSizeable(Element)) {
        LoadTrackerFrom(Element);
    }
}

void TFBMainView::ContentChanged(TFBPage* Page, TFBElement* Element)
{
    CheckScreen();
    if (!IsOnScreen(Page))
        return;
    if (Element)
        InvalidateElement(Element);
    else
        Invalidate();
}

void TFBMainView::Changed(TFBElement* Element)
{
    GetMulticaster().ElementChanged(this, Element);
    FDoc->Modified = true;
}

// ---- painting -----------------------------------------------------------------------------

void TFBMainView::Paint()
{
    if (!FDoc) {
        TPaintWindow::Paint();
        return;
    }
    TCanvas& canvas = FBitmap->Canvas();
    TRect area;
    if (!IntersectRect(area, UpdateRect, Rect(0, 0, FBitmap->Width(), FBitmap->Height())))
        return;
    const QRect rect(area.Left, area.Top, area.Width(), area.Height());

    // Background: white, then a soft diagonal gradient over the whole bitmap.
    canvas.SelectClipRegion(nullptr);
    if (QPainter* p = canvas.Painter()) {
        p->fillRect(rect, Qt::white);
        QLinearGradient gradient(0, 0, FBitmap->Width(), FBitmap->Height());
        gradient.setColorAt(0, QColor(252, 252, 254));
        gradient.setColorAt(1, QColor(244, 243, 238));
        p->fillRect(rect, gradient);
    }

    SetupTransformation();
    FDC->ClipBounds = area;
    FDC->ClipStack.clear();
    const QRegion clip(rect);
    canvas.SelectClipRegion(&clip);
    // What was drawn before a failure is shown all the same; the failure goes
    // on to the window's paint guard afterwards.
    std::exception_ptr failure;
    try {
        PaintScreen(*FDC);
    } catch (...) {
        failure = std::current_exception();
    }
    canvas.SelectClipRegion(nullptr);

    // Blending (shadows) leaves partial alpha in the bitmap's pixels; the window
    // takes the bitmap as it is instead of mixing it with what it showed before.
    const QImage& image = FBitmap->Image();
    const QImage opaque(image.constBits(), image.width(), image.height(), image.bytesPerLine(), QImage::Format_RGB32);
    if (TCanvas* window = PaintCanvas())
        if (QPainter* p = window->Painter())
            p->drawImage(rect.topLeft(), opaque, rect);
    if (failure)
        std::rethrow_exception(failure);
}

void TFBMainView::PaintPageOutline(TDrawContext& DC, TFBPage* Page)
{
    const float pw = FDoc->PageWidth;
    const float ph = FDoc->PageHeight;
    DC.GetBrush().SetStyle(bsSolid);
    DC.GetBrush().SetColor(Page->PageColor);
    DC.SetPenColor(PageGrey);
    DC.SetPenWidthPixels(1);
    DC.SetPenStyle(FDoc->ScreenMode == 1 ? psClear : psSolid);
    if (FDoc->PrintSetting != 4) {
        DC.Rectangle(0, 0, pw, ph);
        return;
    }
    // The top edge has three punched notches: a slot opening into a round hole.
    auto notch = [&DC](float c) {
        DC.LineTo(c - 0.7f, 0);
        DC.LineTo(c - 0.7f, 4.25f);
        DC.LineTo(c - 3.1f, 4.55f);
        DC.BezierTo({c - 3.3f, 4.6f}, {c - 3.5f, 4.8f}, {c - 3.5f, 5.25f});
        DC.BezierTo({c - 3.5f, 5.8f}, {c - 1.8f, 7}, {c, 7});
        DC.BezierTo({c + 1.8f, 7}, {c + 3.5f, 5.8f}, {c + 3.5f, 5.25f});
        DC.BezierTo({c + 3.5f, 4.8f}, {c + 3.3f, 4.6f}, {c + 3.1f, 4.55f});
        DC.LineTo(c + 0.7f, 4.25f);
        DC.LineTo(c + 0.7f, 0);
    };
    DC.BeginPath();
    DC.MoveTo(0, 0);
    notch(13);
    notch(pw / 2);
    notch(pw - 13);
    DC.LineTo(pw, 0);
    DC.LineTo(pw, ph);
    DC.LineTo(0, ph);
    DC.LineTo(0, 0);
    DC.EndPath();
    DC.StrokeAndFillPath();
}

void TFBMainView::PaintMarkedArea(TDrawContext& DC)
{
    TRectF r;
    switch (FDoc->PrintSetting) {
    case 1: r = RectF(20.5f, 31, 60, 70.5f); break;
    case 2: r = RectF(48.5f, 70, 117, 134.5f); break;
    case 5:
    case 6: r = RectF(47, 70, 117, 125); break;
    case 12: r = RectF(19, 45, 73, 107); break;
    default: return;
    }
    if (FDoc->Pages.Count() == 0)
        return;
    TTransformation& T = *DC.Transformation;
    TTransformationScope pushed(T);
    FDoc->TranslateToPage(T, FDoc->Pages.GetPage(0));
    DC.SetPenColor(PageGrey);
    DC.SetPenWidthPixels(1);
    DC.SetPenStyle(psDot);
    DC.GetBrush().SetStyle(bsClear);
    DC.RectangleRect(r);
    DC.SetPenStyle(psSolid);
}

void TFBMainView::PaintScreen(TDrawContext& DC)
{
    TTransformation& T = *DC.Transformation;
    TDocumentDrawer& drawer = DocumentDrawer();
    float w, h;
    FDoc->GetScreenSize(w, h);
    w = w == 0 ? 1.0f : w;
    h = h == 0 ? 1.0f : h;
    const bool landscape = FDoc->GetScreenOrientation(FScreenIndex) != 0;

    // A soft shadow around the screen, always down and to the right as seen.
    {
        const float d = (w < 175 && h < 175) ? 1.0f : 2.0f;
        TTransformationScope pushed(T);
        float sw = w, sh = h;
        if (landscape) {
            T.RotateAt(w / 2, h / 2, -FDoc->ScreenQuerformatWinkel);
            std::swap(sw, sh);
        }
        DC.ClipRect(w / 2 - sw / 2, h / 2 - sh / 2, w / 2 + sw / 2, h / 2 + sh / 2, RGN_DIFF);
        TClipped clipped(DC);
        DC.DrawShadowRect(w / 2 + d, h / 2 + d, sw, sh, 0, d);
    }
    if (FDoc->ScreenMode == 1) {
        DC.SetPenColor(RGB(128, 128, 128));
        DC.SetPenWidthPixels(1);
        DC.SetPenStyle(psSolid);
        DC.GetBrush().SetStyle(bsSolid);
        DC.GetBrush().SetColor(RGB(240, 240, 240));
        DC.Rectangle(0, 0, w, h);
        TFont font;
        font.SetName("Arial");
        font.SetSize(int(Round(h / 5)));
        font.SetStyle(fsBold);
        font.SetColor(PageGrey);
        DC.SetFont(font);
        const AnsiString cover = toAnsi(LocalizedString(this, "Cover"));
        DC.GetBrush().SetStyle(bsClear);
        DC.DrawText(cover, DT_HCENTER | DT_VCENTER, 0, 0, w / 2, h);
        DC.DrawText(cover, DT_HCENTER | DT_VCENTER, w / 2, 0, w, h);
    }

    std::vector<TFBPage*> pages;
    if (TFBPage* left = FDoc->GetLeftPage(FScreenIndex))
        pages.push_back(left);
    if (FDoc->ScreenMode != 0)
        if (TFBPage* right = FDoc->GetRightPage(FScreenIndex))
            pages.push_back(right);

    for (TFBPage* page : pages) {
        TTransformationScope pushed(T);
        FDoc->TranslateToPage(T, page);
        PaintPageOutline(DC, page);
    }

    auto focusFrame = [&DC](const TFBElement& E) {
        DC.SetPenColor(RGB(0, 0, 255));
        DC.SetPenStyle(psSolid);
        DC.SetPenWidthPixels(2);
        DC.GetBrush().SetStyle(bsClear);
        OutlineElement(DC, E);
        DC.SetPenWidthPixels(1);
    };
    // The screen's pictures are decoded together, on every core.
    std::vector<int32_t> refs;
    for (TFBPage* page : pages)
        for (int i = 0; i < page->Pictures.Count(); ++i)
            if (auto* pic = dynamic_cast<TFBPictureElement*>(page->Pictures.GetItem(i)); pic && pic->HasPicture())
                refs.push_back(pic->RefIndex);
    BildManager().PrepareFullBitmaps(refs);

    auto* focusedPic = dynamic_cast<TFBPictureElement*>(FFocused);
    for (TFBPage* page : pages) {
        TTransformationScope pushed(T);
        FDoc->TranslateToPage(T, page);
        DC.ClipRect(0, 0, FDoc->PageWidth, FDoc->PageHeight, RGN_AND);
        TClipped clipped(DC);
        for (int i = 0; i < page->Pictures.Count(); ++i) {
            auto* pic = static_cast<TFBPictureElement*>(page->Pictures.GetItem(i));
            drawer.DrawPictureElement(*pic, DC, 0, false);
            if (focusedPic && (pic == focusedPic || (focusedPic->Link && pic->Link == focusedPic->Link)))
                focusFrame(*pic);
        }
    }
    for (TFBPage* page : pages) {
        TTransformationScope pushed(T);
        FDoc->TranslateToPage(T, page);
        for (int i = 0; i < page->Calendars.Count(); ++i) {
            TFBElement* cal = page->Calendars.GetItem(i);
            drawer.DrawKalenderElement(*cal, DC, 0);
            if (cal == FFocused)
                focusFrame(*cal);
        }
    }
    for (TFBPage* page : pages) {
        TTransformationScope pushed(T);
        FDoc->TranslateToPage(T, page);
        for (int i = 0; i < page->Elements.Count(); ++i) {
            TFBElement* e = page->Elements.GetItem(i);
            drawer.DrawElement(*e, DC, 0);
            if (!dynamic_cast<TFBTextElement*>(e))
                continue;
            TTransformationScope turned(T);
            T.Translate(e->CenterX, e->CenterY);
            T.Rotate(e->Angle);
            const float hw = e->Width / 2, hh = e->Height / 2;
            DC.SetPenColor(PageGrey);
            DC.SetPenWidthPixels(1);
            DC.GetBrush().SetStyle(bsClear);
            if (e == FFocused) {
                DC.SetPenStyle(psDot);
                DC.Rectangle(-hw, -hh, hw, hh);
                DC.SetPenStyle(psSolid);
            } else {
                DC.SetPenStyle(psSolid);
                for (const float sx : {-1.0f, 1.0f})
                    for (const float sy : {-1.0f, 1.0f}) {
                        DC.Line(sx * hw, sy * hh, sx * (hw - 2), sy * hh);
                        DC.Line(sx * hw, sy * hh, sx * hw, sy * (hh - 2));
                    }
            }
        }
    }
    if (FScreenIndex == 0)
        PaintMarkedArea(DC);
    if (FFocused && IsSizeable(FFocused) && FTracker.Shown) {
        TTransformationScope pushed(T);
        FDoc->TranslateToPage(T, FFocused->Page);
        FTracker.Draw(DC);
    }
}

// ---- mouse ----------------------------------------------------------------------------------

void TFBMainView::SetCursorNumber(int Cursor)
{
    if (Cursor == FCursor)
        return;
    FCursor = Cursor;
    setCursor(ScreenCursor(Cursor));
}

bool TFBMainView::CanPanView() const
{
    return GetScrollMaxX() >= 1 || GetScrollMaxY() >= 1;
}

void TFBMainView::MouseDown(Qt::MouseButton Button, TShiftState Shift, int X, int Y, bool Double,
                            const QPoint& ScreenPos)
{
    setFocus(Qt::MouseFocusReason);
    if (!FDoc)
        return;
    SetupTransformation();
    if (Button == Qt::RightButton) {
        TFBElement* e = ElementAt(X, Y, eaAll);
        TFBPage* p = PageAt(X, Y);
        SetFocusedElement(e);
        BuildContextMenu(p, e);
        if (OnContextMenu)
            OnContextMenu(p, e, ScreenPos);
        else
            FContextMenu->popup(ScreenPos);
        return;
    }
    if (Double)
        return;
    if (CanPanView() && ((Shift & ssShift) || Button == Qt::MiddleButton)) {
        FPanStart = Point(X, Y);
        FPanStartPos = Point(GetScrollPosX(), GetScrollPosY());
        FPanStartMax = Point(GetScrollMaxX(), GetScrollMaxY());
        FMoveHandler = &TFBMainView::ViewPanMove;
        FUpHandler = nullptr;
        return;
    }
    if (FTracker.Shown && IsSizeable(FFocused)) {
        TTransformation& T = Transformation();
        bool hit;
        {
            TTransformationScope pushed(T);
            FDoc->TranslateToPage(T, FFocused->Page);
            hit = FTracker.BeginDrag(T, X, Y);
        }
        if (hit) {
            FMouseDown = Point(X, Y);
            FDragChanged = false;
            FDragUndo = [e = FFocused] { GetUndoManager().AddElementSizePos(e); };
            FMoveHandler = &TFBMainView::TrackerDragMove;
            FUpHandler = &TFBMainView::TrackerDragUp;
            return;
        }
    }
    TFBElement* e = ElementAt(X, Y, eaAll);
    SetFocusedElement(e);
    FMouseDown = FLastMouse = Point(X, Y);
    FDragChanged = false;
    if (auto* pic = dynamic_cast<TFBPictureElement*>(e)) {
        if (pic->HasPicture()) {
            FDragUndo = [pic] { GetUndoManager().AddBildZoomPan(pic, false); };
            ComputePictureRect(pic);
            FMoveHandler = &TFBMainView::PicturePanMove;
            FUpHandler = &TFBMainView::PicturePanUp;
        }
    } else if (IsSizeable(e)) {
        FDragUndo = [e] { GetUndoManager().AddElementSizePos(e); };
        FMoving = true;
        FMoveStartCenter = PointF(e->CenterX, e->CenterY);
        FTracker.Shown = false;
        FMoveHandler = &TFBMainView::ElementMove;
        FUpHandler = &TFBMainView::ElementMoveUp;
    }
}

void TFBMainView::MouseMove(TShiftState Shift, int X, int Y)
{
    if (!FDoc)
        return;
    SetupTransformation();
    if (FMoveHandler) {
        (this->*FMoveHandler)(X, Y, Shift);
        FLastMouse = Point(X, Y);
        return;
    }
    FLastMouse = Point(X, Y);
    int cursor = 0;
    if (CanPanView() && ((Shift & ssShift) || (Shift & ssMiddle))) {
        cursor = crViewPan;
    } else {
        bool overHandle = false;
        if (FTracker.Shown && IsSizeable(FFocused)) {
            TTransformation& T = Transformation();
            TTransformationScope pushed(T);
            FDoc->TranslateToPage(T, FFocused->Page);
            overHandle = FTracker.GetCursor(T, X, Y, cursor);
        }
        if (!overHandle) {
            TFBElement* e = ElementAt(X, Y, eaAll);
            auto* pic = dynamic_cast<TFBPictureElement*>(e);
            if (IsSizeable(e))
                cursor = crDrag;
            else if (pic && pic->HasPicture() && pic->CanZoomAndTrack)
                cursor = crPicturePan;
        }
    }
    SetCursorNumber(cursor);
}

void TFBMainView::MouseUp(TShiftState Shift, int X, int Y)
{
    const TMouseHandler up = FUpHandler;
    FMoveHandler = FUpHandler = nullptr;
    if (up && FDoc) {
        SetupTransformation();
        (this->*up)(X, Y, Shift);
    }
    FDragUndo = nullptr;
}

bool TFBMainView::DragStep(int X, int Y)
{
    if (!FDragChanged) {
        if (X == FMouseDown.X && Y == FMouseDown.Y)
            return false;
        FDragChanged = true;
        if (FDragUndo)
            FDragUndo();
    }
    return true;
}

void TFBMainView::ViewPanMove(int X, int Y, TShiftState)
{
    if (FPanStartMax.X > 0)
        SetScrollPosX(std::clamp(FPanStartPos.X + (FPanStart.X - X), 0, FPanStartMax.X));
    if (FPanStartMax.Y > 0)
        SetScrollPosY(std::clamp(FPanStartPos.Y + (FPanStart.Y - Y), 0, FPanStartMax.Y));
    SetupTransformation();
    Invalidate();
}

void TFBMainView::TrackerDragMove(int X, int Y, TShiftState)
{
    TFBElement* e = FFocused;
    if (!e || !DragStep(X, Y))
        return;
    FTracker.Shown = false;
    InvalidateElement(e);
    TTransformation& T = Transformation();
    int cursor;
    {
        TTransformationScope pushed(T);
        FDoc->TranslateToPage(T, e->Page);
        cursor = FTracker.DragTo(T, X, Y);
    }
    if (cursor != 0)
        SetCursorNumber(cursor);
    e->CenterX = FTracker.CenterX;
    e->CenterY = FTracker.CenterY;
    e->Width = std::fabs(FTracker.Width);
    e->Height = std::fabs(FTracker.Height);
    e->Angle = FTracker.Angle;
    InvalidateElement(e);
    UpdateNow();
    Changed(e);
}

void TFBMainView::TrackerDragUp(int, int, TShiftState)
{
    FTracker.Width = std::fabs(FTracker.Width);
    FTracker.Height = std::fabs(FTracker.Height);
    FTracker.Shown = true;
    if (FFocused) {
        TTransformation& T = Transformation();
        TTransformationScope pushed(T);
        FDoc->TranslateToPage(T, FFocused->Page);
        FTracker.InvalidateHandles(this, T);
    }
}

void TFBMainView::ComputePictureRect(TFBPictureElement* E)
{
    TRectF frame = CenterRectF(E->CenterX, E->CenterY, E->Width, E->Height);
    if (E->Link)
        E->Link->GetLinkedRect(E, frame);
    FFrameRect = frame;
    const float fw = frame.Right - frame.Left;
    const float fh = frame.Bottom - frame.Top;
    float pw = fw, ph = fh;
    if (const QImage* bmp = E->GetBitmap(); bmp && bmp->width() > 0 && bmp->height() > 0) {
        ph = float(bmp->height()) * fw / float(bmp->width());
        if (ph < fh) {
            ph = fh;
            pw = float(bmp->width()) * ph / float(bmp->height());
        }
    }
    pw *= E->Zoom;
    ph *= E->Zoom;
    const float left = frame.Left - (pw - fw) * E->OffsetX;
    const float top = frame.Top - (ph - fh) * E->OffsetY;
    FPicRect = RectF(left, top, left + pw, top + ph);
}

void TFBMainView::PicturePanMove(int X, int Y, TShiftState)
{
    auto* pic = dynamic_cast<TFBPictureElement*>(FFocused);
    if (!pic || !pic->HasPicture() || !DragStep(X, Y))
        return;
    TTransformation& T = Transformation();
    TPointF a, b;
    {
        TTransformationScope pushed(T);
        FDoc->TranslateToPage(T, pic->Page);
        T.InverseTransform(float(FMouseDown.X), float(FMouseDown.Y), a.X, a.Y);
        T.InverseTransform(float(X), float(Y), b.X, b.Y);
    }
    const TRectF r = OffsetRectF(FPicRect, b.X - a.X, b.Y - a.Y);
    const float dw = (r.Right - r.Left) - (FFrameRect.Right - FFrameRect.Left);
    const float dh = (r.Bottom - r.Top) - (FFrameRect.Bottom - FFrameRect.Top);
    const float ox = std::fabs(dw) > 0.0001f ? (FFrameRect.Left - r.Left) / dw : 0.5f;
    const float oy = std::fabs(dh) > 0.0001f ? (FFrameRect.Top - r.Top) / dh : 0.5f;
    pic->SetOffsetX(std::clamp(ox, 0.0f, 1.0f));
    pic->SetOffsetY(std::clamp(oy, 0.0f, 1.0f));
    InvalidateElement(pic);
    Changed(pic);
    UpdateNow();
}

void TFBMainView::PicturePanUp(int, int, TShiftState)
{
    if (FDragChanged)
        GetMulticaster().ElementChanged(this, FFocused);
}

void TFBMainView::ElementMove(int X, int Y, TShiftState)
{
    TFBElement* e = FFocused;
    if (!FMoving || !e || !DragStep(X, Y))
        return;
    TTransformation& T = Transformation();
    TFBPage* target = PageAt(X, Y);
    if (target && target != e->Page) {
        InvalidateElement(e);
        float ox, oy, nx, ny;
        {
            TTransformationScope pushed(T);
            FDoc->TranslateToPage(T, e->Page);
            T.Transform(0, 0, ox, oy);
        }
        FDoc->MoveElementToPage(e, target);
        {
            TTransformationScope pushed(T);
            FDoc->TranslateToPage(T, target);
            T.Transform(0, 0, nx, ny);
        }
        FMouseDown.X += int(Round(nx - ox));
        FMouseDown.Y += int(Round(ny - oy));
    }
    float dx, dy;
    T.InverseTransformVector(float(X - FMouseDown.X), float(Y - FMouseDown.Y), dx, dy);
    InvalidateElement(e);
    e->CenterX = FMoveStartCenter.X + dx;
    e->CenterY = FMoveStartCenter.Y + dy;
    FTracker.CenterX = e->CenterX;
    FTracker.CenterY = e->CenterY;
    InvalidateElement(e);
    UpdateNow();
    Changed(e);
}

void TFBMainView::ElementMoveUp(int, int, TShiftState)
{
    if (!FFocused)
        return;
    if (FDragChanged)
        GetUndoManager().SetElementSizePosDest(FFocused);
    FMoving = false;
    FTracker.Shown = true;
    TTransformation& T = Transformation();
    TTransformationScope pushed(T);
    FDoc->TranslateToPage(T, FFocused->Page);
    FTracker.InvalidateHandles(this, T);
}

// ---- keys -------------------------------------------------------------------------------------

void TFBMainView::MoveElementBy(TFBElement* Element, bool FollowLandscape, float DX, float DY)
{
    if (!Element || !FDoc)
        return;
    InvalidateElement(Element);
    GetUndoManager().AddElementSizePos(Element);
    if (FollowLandscape && Element->Page && Element->Page->Orientation != 0) {
        const float dx = DX, dy = DY;
        if (FDoc->ScreenQuerformatWinkel == 90) {
            DX = dy;
            DY = -dx;
        } else {
            DX = -dy;
            DY = dx;
        }
    }
    Element->CenterX += DX;
    Element->CenterY += DY;
    TFBPage* page = Element->Page;
    const int screen = page ? page->GetScreenIndex() : -1;
    if (FDoc->ScreenMode == 1 && screen >= 1 && screen < FDoc->GetScreenCount() - 1) {
        const float across = FDoc->PageWidth + FDoc->Stegbreite;
        if (page->IsLeftPage() && Element->CenterX > across) {
            if (TFBPage* right = FDoc->GetRightPage(screen)) {
                FDoc->MoveElementToPage(Element, right);
                Element->CenterX -= across;
            }
        } else if (!page->IsLeftPage() && Element->CenterX < -FDoc->Stegbreite) {
            if (TFBPage* left = FDoc->GetLeftPage(screen)) {
                FDoc->MoveElementToPage(Element, left);
                Element->CenterX += across;
            }
        }
    }
    GetUndoManager().SetElementSizePosDest(Element);
    if (Element == FFocused) {
        FTracker.CenterX = Element->CenterX;
        FTracker.CenterY = Element->CenterY;
    }
    InvalidateElement(Element);
    Changed(Element);
}

void TFBMainView::RemovePicture()
{
    auto* pic = dynamic_cast<TFBPictureElement*>(FFocused);
    if (!pic)
        return;
    if (pic->HasPicture())
        GetUndoManager().AddBildLoeschen(pic);
    pic->ClearPicture();
    InvalidateElement(pic);
    GetMulticaster().ElementChanged(this, pic);
    if (OnFocusChanged)
        OnFocusChanged(this);
    FDoc->Modified = true;
}

void TFBMainView::DeleteElement()
{
    TFBElement* e = FFocused;
    if (!IsSizeable(e))
        return;
    InvalidateElement(e);
    GetUndoManager().AddElementLoeschen(e);
    SetFocusedElement(nullptr);
    TFBPage* page = e->Page;
    page->Elements.Remove(e);
    GetMulticaster().PageContentChanged(this, page);
    FDoc->Modified = true;
}

void TFBMainView::DeleteFocused()
{
    if (dynamic_cast<TFBPictureElement*>(FFocused))
        RemovePicture();
    else if (IsSizeable(FFocused))
        DeleteElement();
}

void TFBMainView::KeyDown(int Key)
{
    if (!FDoc)
        return;
    CheckScreen();
    if (Key == Qt::Key_Delete && dynamic_cast<TFBPictureElement*>(FFocused)) {
        RemovePicture();
        return;
    }
    if (!IsSizeable(FFocused))
        return;
    switch (Key) {
    case Qt::Key_Left: MoveElementBy(FFocused, true, -1, 0); break;
    case Qt::Key_Up: MoveElementBy(FFocused, true, 0, -1); break;
    case Qt::Key_Right: MoveElementBy(FFocused, true, 1, 0); break;
    case Qt::Key_Down: MoveElementBy(FFocused, true, 0, 1); break;
    case Qt::Key_Delete: DeleteElement(); break;
    default: break;
    }
}

// ---- wheel ------------------------------------------------------------------------------------

bool TFBMainView::MouseWheel(int Delta, TShiftState Shift, int X, int Y)
{
    // A wheel event without a turn (a tilt or a touch-pad's end) changes nothing.
    if (Delta == 0 || !FDoc)
        return false;
    SetupTransformation();
    if (!(Shift & ssCtrl)) {
        auto* pic = dynamic_cast<TFBPictureElement*>(ElementAt(X, Y, eaAll));
        if (!pic || !pic->HasPicture())
            return false;
        SetFocusedElement(pic);
        GetUndoManager().AddBildZoomPan(pic, true);
        const float step = float(std::abs(Delta)) / 4000.0f;
        pic->SetZoom(Delta > 0 ? pic->Zoom - step : pic->Zoom + step);
        InvalidateElement(pic);
        UpdateNow();
        Changed(pic);
        return true;
    }
    Debug().LogFmt("Wheeldelta: %d", {Delta});
    ZoomAt(X, Y, FZoom * (Delta >= 0 ? 0.952381f : 1.05f));
    return true;
}

// ---- Qt events --------------------------------------------------------------------------------

bool TFBMainView::event(QEvent* Event)
{
    // Tab reaches the view like the arrow keys do.
    if (Event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(Event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            keyPressEvent(key);
            return true;
        }
    }
    return TPaintWindow::event(Event);
}

void TFBMainView::mousePressEvent(QMouseEvent* Event)
{
    const QPoint p = Event->position().toPoint();
    const TShiftState shift = ShiftStateOf(Event->modifiers(), Event->buttons());
    const QPoint global = Event->globalPosition().toPoint();
    HandleExceptions([&] { MouseDown(Event->button(), shift, p.x(), p.y(), false, global); });
}

void TFBMainView::mouseDoubleClickEvent(QMouseEvent* Event)
{
    const QPoint p = Event->position().toPoint();
    const TShiftState shift = ShiftStateOf(Event->modifiers(), Event->buttons()) | ssDouble;
    const QPoint global = Event->globalPosition().toPoint();
    HandleExceptions([&] { MouseDown(Event->button(), shift, p.x(), p.y(), true, global); });
}

void TFBMainView::mouseMoveEvent(QMouseEvent* Event)
{
    const QPoint p = Event->position().toPoint();
    const TShiftState shift = ShiftStateOf(Event->modifiers(), Event->buttons());
    HandleExceptions([&] { MouseMove(shift, p.x(), p.y()); });
}

void TFBMainView::mouseReleaseEvent(QMouseEvent* Event)
{
    const QPoint p = Event->position().toPoint();
    const TShiftState shift = ShiftStateOf(Event->modifiers(), Event->buttons());
    HandleExceptions([&] { MouseUp(shift, p.x(), p.y()); });
}

void TFBMainView::keyPressEvent(QKeyEvent* Event)
{
    HandleExceptions([&] { KeyDown(Event->key()); });
}

void TFBMainView::wheelEvent(QWheelEvent* Event)
{
    const QPoint p = Event->position().toPoint();
    const TShiftState shift = ShiftStateOf(Event->modifiers(), Event->buttons());
    bool handled = false;
    HandleExceptions([&] { handled = MouseWheel(Event->angleDelta().y(), shift, p.x(), p.y()); });
    Event->setAccepted(handled);
}

// ---- focus state for undo -----------------------------------------------------------------------

void TFBMainView::SaveUIState(TCustomDataFile& DataFile, const AnsiString& Section)
{
    DataFile.WriteInteger(Section, "ViewIndex", FScreenIndex);
    if (!FFocused || !FFocused->Page)
        return;
    DataFile.WriteBool(Section, "HasFocusedElement", true);
    if (dynamic_cast<TFBPictureElement*>(FFocused))
        DataFile.WriteString(Section, "Focustyp", "Pic");
    else if (dynamic_cast<TFBKalenderElement*>(FFocused))
        DataFile.WriteString(Section, "Focustyp", "Kalender");
    else if (IsSizeable(FFocused))
        DataFile.WriteString(Section, "Focustyp", "Sizeable");
    DataFile.WriteInteger(Section, "PageIndex", FFocused->Page->GetIndex());
    DataFile.WriteInteger(Section, "ElementIndex", FFocused->IndexInPage());
}

void TFBMainView::RestoreUIState(TCustomDataFile& DataFile, const AnsiString& Section)
{
    const int view = DataFile.ReadInteger(Section, "ViewIndex", -99);
    if (view == -99 || !FDoc)
        return;
    TFBElement* element = nullptr;
    if (DataFile.ReadBool(Section, "HasFocusedElement", false)) {
        const int pageIndex = DataFile.ReadInteger(Section, "PageIndex", -1);
        const int index = DataFile.ReadInteger(Section, "ElementIndex", -1);
        if (pageIndex >= 0 && index >= 0 && pageIndex < FDoc->Pages.Count()) {
            TFBPage* page = FDoc->Pages.GetPage(pageIndex);
            const AnsiString type = DataFile.ReadString(Section, "Focustyp", "");
            TFBElementList* list = type == "Pic"        ? &page->Pictures
                                   : type == "Kalender" ? &page->Calendars
                                   : type == "Sizeable" ? &page->Elements
                                                        : nullptr;
            if (list && index < list->Count())
                element = list->GetItem(index);
        }
    }
    ShowScreenAndFocus(view, element);
}

void TFBMainView::ShowScreenAndFocus(int ScreenIndex, TFBElement* Element)
{
    SetScreen(ScreenIndex);
    CheckScreen();
    Invalidate();
    GetMulticaster().FireCurrentPageChanged(this, FScreenIndex);
    if (Element && Element->Page && Element->Page->GetScreenIndex() == FScreenIndex)
        SetFocusedElement(Element);
    else
        SetFocusedElement(nullptr);
}
