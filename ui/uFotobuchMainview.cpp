#include "uFotobuchMainview.h"

#include "Application.h"
#include "FBildRahmen.h"
#include "FBPictureElement.h"
#include "SysUtils.h"
#include "uBitmapDrawContext.h"
#include "uCursors.h"
#include "uDebug.h"
#include "uDocDrawer.h"
#include "uFotobuchBildManager.h"
#include "uFotobuchDocument.h"
#include "uFotobuchPageTemplate.h"
#include "uModalDialog.h"
#include "uMulticaster.h"
#include "ulocalize.h"
#include "DragDropFormats.h"
#include "DragDropMime.h"
#include "DropTarget.h"
#include "WaitCursor.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace {

constexpr TColor PageGrey = RGB(208, 208, 208);
constexpr int BitmapMargin = 50;

// Keeps a pushed transformation balanced for a scope.
class TPushed {
public:
    explicit TPushed(TTransformation& T) : t_(T) { t_.Push(); }
    ~TPushed() { t_.Pop(); }
    TPushed(const TPushed&) = delete;
    TPushed& operator=(const TPushed&) = delete;

private:
    TTransformation& t_;
};

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
        TPushed pushed(T);
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
        TPushed pushed(T);
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
    TPushed pushed(T);
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
        TPushed pushed(T);
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
        TPushed pushed(T);
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
        TPushed pushed(T);
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
        TPushed pushed(T);
        FDoc->TranslateToPage(T, page);
        for (int i = 0; i < page->Calendars.Count(); ++i) {
            TFBElement* cal = page->Calendars.GetItem(i);
            drawer.DrawKalenderElement(*cal, DC, 0);
            if (cal == FFocused)
                focusFrame(*cal);
        }
    }
    for (TFBPage* page : pages) {
        TPushed pushed(T);
        FDoc->TranslateToPage(T, page);
        for (int i = 0; i < page->Elements.Count(); ++i) {
            TFBElement* e = page->Elements.GetItem(i);
            drawer.DrawElement(*e, DC, 0);
            if (!dynamic_cast<TFBTextElement*>(e))
                continue;
            TPushed turned(T);
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
        TPushed pushed(T);
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
            TPushed pushed(T);
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
            TPushed pushed(T);
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
        TPushed pushed(T);
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
        TPushed pushed(T);
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
        TPushed pushed(T);
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
            TPushed pushed(T);
            FDoc->TranslateToPage(T, e->Page);
            T.Transform(0, 0, ox, oy);
        }
        FDoc->MoveElementToPage(e, target);
        {
            TPushed pushed(T);
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
    TPushed pushed(T);
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

// ---- clipboard formats ------------------------------------------------------------------------

TClipFormat CF_QN_FotobuchData()
{
    static const TClipFormat format = RegisterClipboardFormatA("CF_QN_FotobuchData");
    return format;
}

TClipFormat CF_QN_FotobuchPic()
{
    static const TClipFormat format = RegisterClipboardFormatA("CF_QN_FotobuchPic");
    return format;
}

TClipFormat CF_QN_FotobuchKalender()
{
    static const TClipFormat format = RegisterClipboardFormatA("CF_QN_FotobuchKalender");
    return format;
}

namespace {

// Registered when the program starts, as the platform registers clipboard formats.
const bool clipboardFormatsRegistered = [] {
    CF_QN_FotobuchData();
    CF_QN_FotobuchPic();
    CF_QN_FotobuchKalender();
    return true;
}();

const char* const sClipboard = "Clipboard";
const char* const sSeiteLoeschen = "Soll die Seite wirklich gelöscht werden?";
const char* const sDoppelseiteLoeschen = "Soll die Doppelseite wirklich gelöscht werden?";
const char* const sBildWirdGeladen = "Bild %d von %d wird geladen";

enum TMenuItem {
    miTurnLeft, miTurnRight, miHKIG, miHSL, miSWCol, miRedEye, miColor, miOrientation, miBackground,
    miBackgroundRemove, miFrame, miInsertBefore, miInsertAfter, miDeleteScreen, miPrevious, miNext,
    miCut, miCopy, miPaste, miDelete, miCount
};

struct TMenuEntry {
    int Item;  // -1: a separator
    const char* Name;
    const char* Caption;
};

const TMenuEntry MenuEntries[] = {
    {miTurnLeft, "popBildLinksDrehen", "Bild nach links drehen"},
    {miTurnRight, "popBildRechtsDrehen", "Bild nach rechts drehen"},
    {-1, nullptr, nullptr},
    {miHKIG, "popFilterHKIG", "Helligkeit, Kontrast, Intensität, Gamma..."},
    {miHSL, "popFilterHSL", "Farbton, Sättigung, Helligkeit..."},
    {miSWCol, "popFilterSWCol", "Schwarz-Weiß, Kolorieren..."},
    {miRedEye, "popRoteAugen", "Rote Augen entfernen..."},
    {-1, nullptr, nullptr},
    {miColor, "popFarbeAendern", "Farbe ändern"},
    {-1, nullptr, nullptr},
    {miOrientation, "popAusrichtung", "Ausrichtung wechseln"},
    {-1, nullptr, nullptr},
    {miBackground, "popSeitenhintergrund", "Seitenhintergrund..."},
    {miBackgroundRemove, "popSeitenhintergrundEntfernen", "Seitenhintergrund entfernen"},
    {-1, nullptr, nullptr},
    {miFrame, "popRahmen", "Rahmen..."},
    {-1, nullptr, nullptr},
    {miInsertBefore, "popSeiteDavor", "Seite davor einfuegen"},
    {miInsertAfter, "popSeiteDahinter", "Seite dahinter einfügen"},
    {-1, nullptr, nullptr},
    {miDeleteScreen, "popSeiteLoeschen", "Seite löschen"},
    {-1, nullptr, nullptr},
    {miPrevious, "popVorherigeSeite", "Vorherige Seite"},
    {miNext, "popNaechsteSeite", "Nächste Seite"},
    {-1, nullptr, nullptr},
    {miCut, "popAusschneiden", "Ausschneiden"},
    {miCopy, "popKopieren", "Kopieren"},
    {miPaste, "popEinfuegen", "Einfügen"},
    {-1, nullptr, nullptr},
    {miDelete, "popLoeschen", "Löschen"},
};

bool ClipboardHas(TClipFormat Format)
{
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    return mime && mime->hasFormat(MimeTypeOfFormat(Format));
}

}  // namespace

QStringList FileNamesOf(const AnsiString& Data)
{
    QStringList files;
    for (const QString& line : QString::fromUtf8(Data.data(), qsizetype(Data.size())).split(QLatin1Char('\n'))) {
        const QString name = line.endsWith(QLatin1Char('\r')) ? line.chopped(1) : line;
        if (!name.isEmpty())
            files.append(name);
    }
    return files;
}

std::unique_ptr<TMemoryStream> StreamOf(const AnsiString& Data)
{
    auto stream = std::make_unique<TMemoryStream>();
    if (!Data.empty())
        stream->WriteBuffer(Data.data(), int32_t(Data.size()));
    stream->SetPosition(0);
    return stream;
}

AnsiString PictureDragData(const TFBPictureElement* Element)
{
    return AnsiString(std::to_string(reinterpret_cast<uintptr_t>(Element)));
}

TFBPictureElement* PictureOfDragData(const TFBDocument* Document, const AnsiString& Data)
{
    bool ok = false;
    const qulonglong identity = QByteArray(Data.data(), qsizetype(Data.size())).toULongLong(&ok);
    if (!Document || !ok)
        return nullptr;
    // The number is only compared with the document's frames, never used as an
    // address: a stale or foreign identity finds nothing.
    for (int p = 0; p < Document->Pages.Count(); ++p) {
        TFBPage* page = Document->Pages.GetPage(p);
        for (int i = 0; i < page->Pictures.Count(); ++i)
            if (qulonglong(reinterpret_cast<uintptr_t>(page->Pictures.GetItem(i))) == identity)
                return static_cast<TFBPictureElement*>(page->Pictures.GetItem(i));
    }
    return nullptr;
}

// ---- context menu -------------------------------------------------------------------------------

void TFBMainView::CreateContextMenu()
{
    FContextMenu = new QMenu(this);
    FContextMenu->setObjectName(QStringLiteral("PopupMenu"));
    for (const TMenuEntry& entry : MenuEntries) {
        if (entry.Item < 0) {
            FContextMenu->addSeparator();
            continue;
        }
        QAction* a = FContextMenu->addAction(QString::fromUtf8(entry.Caption));
        a->setObjectName(QString::fromLatin1(entry.Name));
        FMenuItems[size_t(entry.Item)] = a;
        RegisterLocalizedString(this, QString::fromUtf8(entry.Caption));
    }
    auto on = [this](int Item, std::function<void()> Command) {
        connect(FMenuItems[size_t(Item)], &QAction::triggered, this, Guarded(Command));
    };
    on(miTurnLeft, [this] { TurnPicture(2); });
    on(miTurnRight, [this] { TurnPicture(0); });
    on(miHKIG, [this] { FilterPicture(pfHKIG); });
    on(miHSL, [this] { FilterPicture(pfHSL); });
    on(miSWCol, [this] { FilterPicture(pfSWCol); });
    on(miRedEye, [this] { FilterPicture(pfRedEye); });
    on(miColor, [this] { ChangeAreaColor(); });
    on(miOrientation, [this] {
        ToggleOrientation();
        GetMulticaster().ScreenContentChanged(this, FDoc, FScreenIndex);
    });
    on(miBackground, [this] { SetPageBackground(FContextPage, false); });
    on(miBackgroundRemove, [this] { SetPageBackground(FContextPage, true); });
    on(miFrame, [this] { PictureBorder(); });
    on(miInsertBefore, [this] { InsertScreen(false); });
    on(miInsertAfter, [this] { InsertScreen(true); });
    on(miDeleteScreen, [this] { DeleteScreen(); });
    on(miPrevious, [this] { PreviousScreen(); });
    on(miNext, [this] { NextScreen(); });
    on(miCut, [this] { CutElement(); });
    on(miCopy, [this] { CopyElement(); });
    on(miPaste, [this] { PasteElement(); });
    on(miDelete, [this] { DeleteFocused(); });
    for (const char* text : {sSeiteLoeschen, sDoppelseiteLoeschen, sBildWirdGeladen})
        RegisterLocalizedString(this, QString::fromUtf8(text));
}

void TFBMainView::BuildContextMenu(TFBPage* Page, TFBElement* Element)
{
    FContextPage = Page;
    auto item = [this](int I) { return FMenuItems[size_t(I)]; };
    auto* pic = dynamic_cast<TFBPictureElement*>(Element);
    for (int i : {miTurnLeft, miTurnRight, miHKIG, miHSL, miSWCol, miRedEye, miColor}) {
        item(i)->setVisible(pic != nullptr);
        item(i)->setEnabled(false);
    }
    if (pic && pic->HasPicture()) {
        for (int i : {miTurnLeft, miTurnRight, miHKIG, miHSL, miSWCol, miRedEye})
            item(i)->setEnabled(pic->CanZoomAndTrack);
        item(miColor)->setEnabled(!pic->CanZoomAndTrack);
    }
    for (int i : {miOrientation, miInsertBefore, miInsertAfter, miDeleteScreen, miPrevious, miNext})
        item(i)->setVisible(Element == nullptr);
    for (int i : {miCut, miCopy, miPaste, miDelete})
        item(i)->setVisible(Element != nullptr);
    // The page-background and frame entries are not offered.
    for (int i : {miBackground, miBackgroundRemove, miFrame})
        item(i)->setVisible(false);

    const int count = FDoc ? FDoc->GetScreenCount() : 0;
    item(miOrientation)->setEnabled(true);
    const bool canInsert = FDoc && FDoc->CanInsertScreen(FScreenIndex);
    item(miInsertBefore)->setEnabled(canInsert);
    item(miInsertAfter)->setEnabled(canInsert);
    item(miDeleteScreen)->setEnabled(FDoc && FDoc->CanDeleteScreen(FScreenIndex));
    item(miPrevious)->setEnabled(FScreenIndex >= 1);
    item(miNext)->setEnabled(FScreenIndex < count - 1);
    item(miCut)->setEnabled(CanCopy());
    item(miCopy)->setEnabled(CanCopy());
    item(miPaste)->setEnabled(CanPaste());
    item(miDelete)->setEnabled(CanDelete());

    for (const TMenuEntry& entry : MenuEntries)
        if (entry.Item >= 0)
            item(entry.Item)->setText(LocalizedString(this, QString::fromUtf8(entry.Caption)));
}

// ---- queries ------------------------------------------------------------------------------------

TFBPictureElement* TFBMainView::FocusedPicture() const
{
    return dynamic_cast<TFBPictureElement*>(FFocused);
}

bool TFBMainView::CanCopy() const
{
    if (!FFocused || dynamic_cast<TFBKalenderElement*>(FFocused))
        return false;
    if (TFBPictureElement* pic = FocusedPicture())
        return pic->HasPicture();
    return true;
}

bool TFBMainView::CanPaste() const
{
    return (FocusedPicture() && ClipboardHas(CF_QN_FotobuchPic())) ||
           (dynamic_cast<TFBKalenderElement*>(FFocused) && ClipboardHas(CF_QN_FotobuchKalender())) ||
           ClipboardHas(CF_QN_FotobuchData());
}

bool TFBMainView::CanDuplicate() const
{
    return IsSizeable(FFocused);
}

// ---- clipboard ----------------------------------------------------------------------------------

void TFBMainView::ElementDone(TFBElement* Element)
{
    InvalidateElement(Element);
    GetMulticaster().ElementChanged(this, Element);
    FDoc->Modified = true;
}

void TFBMainView::CopyElement()
{
    if (!CanCopy())
        return;
    TMemoryStream stream;
    {
        TMemoryDataFile data(stream);
        FFocused->SaveClipboardData(data, sClipboard);
    }
    TClipFormat format = CF_QN_FotobuchData();
    if (FocusedPicture())
        format = CF_QN_FotobuchPic();
    else if (dynamic_cast<TFBKalenderElement*>(FFocused))
        format = CF_QN_FotobuchKalender();
    CopyStreamToClipboard(format, stream);
}

void TFBMainView::CutElement()
{
    if (!CanCopy())
        return;
    CopyElement();
    DeleteFocused();
}

void TFBMainView::ReadClipboard(TClipFormat Format, TMemoryStream& Stream)
{
    CopyStreamFromClipboard(Format, Stream);
    Stream.SetPosition(0);
}

void TFBMainView::PasteElement()
{
    if (!FDoc || !CanPaste())
        return;
    TMemoryStream stream;
    TFBPictureElement* pic = FocusedPicture();
    if (pic && ClipboardHas(CF_QN_FotobuchPic())) {
        ReadClipboard(CF_QN_FotobuchPic(), stream);
        TMemoryDataFile data(stream);
        if (data.ReadString(sClipboard, "Classname", "") != "TFBPictureElement")
            return;
        GetUndoManager().AddBildEinfuegen(pic);
        pic->LoadClipboardData(data, sClipboard);
        ElementDone(pic);
        return;
    }
    // No command writes the calendar format; finding it changes nothing.
    if (ClipboardHas(CF_QN_FotobuchKalender()) || !ClipboardHas(CF_QN_FotobuchData()))
        return;
    ReadClipboard(CF_QN_FotobuchData(), stream);
    TMemoryDataFile data(stream);
    const AnsiString className = data.ReadString(sClipboard, "Classname", "");
    if (className != "TFBTextElement" && className != "TFBClipartElement")
        return;
    TFBPage* left = FDoc->GetLeftPage(FScreenIndex);
    TFBPage* right = FDoc->GetRightPage(FScreenIndex);
    TFBPage* page = data.ReadBool(sClipboard, "IsLeftPage", true) ? (left ? left : right) : (right ? right : left);
    if (!page)
        return;
    std::unique_ptr<TFBElement> owned = CreateElementByClassName(className, page);
    TFBElement* element = owned.get();
    page->Elements.Add(std::move(owned));
    element->LoadClipboardData(data, sClipboard);
    GetUndoManager().AddElementEinfuegen(element);
    ElementDone(element);
    SetFocusedElement(element);
}

// ---- element and page commands --------------------------------------------------------------------

void TFBMainView::InsertTextElement()
{
    if (!FDoc)
        return;
    TFBPage* page = FDoc->GetLeftPage(FScreenIndex);
    if (!page)
        page = FDoc->GetRightPage(FScreenIndex);
    if (!page)
        return;
    auto owned = std::make_unique<TFBTextElement>(page);
    TFBTextElement* text = owned.get();
    text->SetHasShadow(true);
    text->NewText = true;
    const bool landscape = page->Orientation != 0;
    text->Width = 0.6f * (landscape ? FDoc->PageHeight : FDoc->PageWidth);
    text->Height = 20;
    text->CenterX = FDoc->PageWidth / 2;
    text->CenterY = FDoc->PageHeight / 2;
    if (landscape)
        text->Angle = -FDoc->ScreenQuerformatWinkel;
    page->Elements.Add(std::move(owned));
    GetUndoManager().AddElementEinfuegen(text);
    ElementDone(text);
    SetFocusedElement(text);
}

void TFBMainView::ToggleOrientation()
{
    if (!FDoc)
        return;
    FDoc->Modified = true;
    FDoc->SetScreenOrientation(FScreenIndex, FDoc->GetScreenOrientation(FScreenIndex) != 0 ? 0 : 1);
    SetupTransformation();
    if (FFocused && IsSizeable(FFocused))
        LoadTrackerFrom(FFocused);
    Invalidate();
}

void TFBMainView::TurnPicture(int Direction)
{
    TFBPictureElement* pic = FocusedPicture();
    if (!pic || !pic->HasPicture())
        return;
    GetUndoManager().AddBildDrehen(pic);
    pic->RotatePicture(Direction);
    ElementDone(pic);
}

void TFBMainView::FilterPicture(TPictureFilter Filter)
{
    TFBPictureElement* pic = FocusedPicture();
    if (!pic || !pic->HasPicture())
        return;
    const bool changed = GetUndoManager().AddBildFilter(pic, [pic, Filter] {
        switch (Filter) {
        case pfHKIG: return pic->ShowHKIGDlg();
        case pfHSL: return pic->ShowHSLDlg();
        case pfSWCol: return pic->ShowSWColDlg();
        case pfRedEye: return pic->ShowRedEyeDlg();
        }
        return false;
    });
    if (changed)
        ElementDone(pic);
}

void TFBMainView::ChangeAreaColor()
{
    TFBPictureElement* pic = FocusedPicture();
    if (!pic || !pic->HasPicture())
        return;
    TColor color = clWhite;
    if (const QImage* bmp = pic->GetBitmap(); bmp && !bmp->isNull()) {
        const QRgb px = bmp->pixel(0, 0);
        color = RGB(qRed(px), qGreen(px), qBlue(px));
    }
    if (!ExecuteColorDialog(color))
        return;
    GetUndoManager().AddFarbeEinfuegen(pic);
    pic->FillWithColor(color);
    ElementDone(pic);
}

void TFBMainView::PictureBorder()
{
    TFBPictureElement* pic = FocusedPicture();
    if (!pic)
        return;
    std::unique_ptr<TBildRahmen> dialog(TLocalizerForm::create<TBildRahmen>(this));
    dialog->SetColor(pic->BorderColor);
    dialog->SetWidth(pic->BorderWidth);
    if (ShowModalDialog(*dialog) != QDialog::Accepted)
        return;
    GetUndoManager().AddBildRahmen(pic);
    pic->SetBorderWidth(float(dialog->GetWidth()));
    pic->SetBorderColor(dialog->GetColor());
    ElementDone(pic);
}

void TFBMainView::SetPageBackground(TFBPage* Page, bool Remove)
{
    if (!Page)
        return;
    TColor color = RGB(255, 255, 255);
    if (!Remove) {
        color = Page->PageColor;
        if (!ExecuteColorDialog(color))
            return;
    }
    GetUndoManager().AddSeitenhintergrund(Page);
    Page->PageColor = color;
    GetMulticaster().PageContentChanged(this, Page);
    FDoc->Modified = true;
    Invalidate();
}

void TFBMainView::InsertScreen(bool After)
{
    if (!FDoc || !FDoc->CanInsertScreen(FScreenIndex))
        return;
    const int current = FScreenIndex;
    const int at = After ? current + 1 : current;
    SetFocusedElement(nullptr);
    GetUndoManager().AddSeiteEinfuegen(at);
    FDoc->InsertScreen(at, current);
    FDoc->Modified = true;
    if (After)
        SetScreen(at);
    SetupTransformation();
    GetMulticaster().FirePageListChanged(this);
    GetMulticaster().FireCurrentPageChanged(this, FScreenIndex);
    Invalidate();
}

void TFBMainView::DeleteScreen()
{
    if (!FDoc || !FDoc->CanDeleteScreen(FScreenIndex))
        return;
    QMessageBox question(QMessageBox::Question, ApplicationTitle(),
                         LocalizedString(this, QString::fromUtf8(FDoc->ScreenMode == 0 ? sSeiteLoeschen
                                                                                         : sDoppelseiteLoeschen)),
                         QMessageBox::Yes | QMessageBox::No, this);
    if (ShowModalDialog(question) == QMessageBox::No)
        return;
    // The focused element goes with its screen.
    SetFocusedElement(nullptr);
    GetUndoManager().AddSeiteLoeschen(FDoc, FScreenIndex);
    FDoc->DeleteScreen(FScreenIndex);
    FDoc->Modified = true;
    CheckScreen();
    SetupTransformation();
    GetMulticaster().FirePageListChanged(this);
    Invalidate();
}

void TFBMainView::PreviousScreen()
{
    if (FScreenIndex < 1)
        return;
    SetScreen(FScreenIndex - 1);
    GetMulticaster().FireCurrentPageChanged(this, FScreenIndex);
}

void TFBMainView::NextScreen()
{
    if (!FDoc || FScreenIndex >= FDoc->GetScreenCount() - 1)
        return;
    SetScreen(FScreenIndex + 1);
    GetMulticaster().FireCurrentPageChanged(this, FScreenIndex);
}

// ---- filling frames with files ------------------------------------------------------------------

void TFBMainView::ShowMessagePanel(const QString& Text)
{
    const int w = ClientWidth() / 2;
    FMessagePanel->setGeometry((ClientWidth() - w) / 2, (ClientHeight() - 50) / 2, w, 50);
    FMessagePanel->setText(Text);
    FMessagePanel->show();
    FMessagePanel->raise();
    FMessagePanel->repaint();
}

void TFBMainView::HideMessagePanel()
{
    FMessagePanel->hide();
}

void TFBMainView::FillFramesWithFiles(const QStringList& Files, TFBPictureElement* Frame)
{
    if (!FDoc)
        return;
    TWaitCursor wait;
    struct THidePanel {
        TFBMainView* View;
        ~THidePanel() { View->HideMessagePanel(); }
    } hidePanel{this};
    const int count = int(Files.size());
    for (int i = 0; i < count && Frame; ++i) {
        if (count > 1)
            ShowMessagePanel(FillNumbers(LocalizedString(this, QString::fromUtf8(sBildWirdGeladen)), {i + 1, count}));
        const bool oriented = LoadFileIntoFrame(*FDoc, *Frame, Files[i]);
        FDoc->Modified = true;
        if (oriented) {
            SetupTransformation();
            Invalidate();
        }
        TFBPage* page = Frame->Page;
        GetMulticaster().ElementChanged(this, Frame);
        if (QWidget* main = window(); main != this)
            main->repaint();
        if (IsOnScreen(page)) {
            InvalidateElement(Frame);
            UpdateNow();
        }
        Frame = Frame->GetNextPictureElement();
    }
}

QString FillNumbers(QString Text, std::initializer_list<int> Numbers)
{
    int from = 0;
    for (int n : Numbers) {
        const int at = Text.indexOf(QLatin1String("%d"), from);
        if (at < 0)
            break;
        const QString s = QString::number(n);
        Text.replace(at, 2, s);
        from = at + int(s.size());
    }
    return Text;
}

bool LoadFileIntoFrame(TFBDocument& Document, TFBPictureElement& Frame, const QString& File)
{
    GetUndoManager().AddBildEinfuegen(&Frame);
    try {
        Frame.LoadPictureFromFile(File);
    } catch (...) {
        GetUndoManager().DropLast();  // the frame is unchanged
        throw;
    }
    TFBPage* page = Frame.Page;
    bool oriented = false;
    if (Document.DocType == 0 && page && page->Pictures.Count() == 1 && page->Calendars.Count() == 0) {
        if (const QImage* bmp = Frame.GetBitmap()) {
            page->SetOrientation(bmp->width() < bmp->height() ? 0 : 1);
            oriented = true;
        }
    }
    if (page && page->Orientation != 0)
        Frame.RotatePicture(Document.ScreenQuerformatWinkel == -90 ? 0 : 2);
    return oriented;
}

// ---- drop target --------------------------------------------------------------------------------

void TFBMainView::CreateDropTarget()
{
    FDropTarget = new TDropEmptyTarget(this);
    FDropTarget->Dragtypes = DragTypeSet(dtCopy) | DragTypeSet(dtMove);
    const char* const names[] = {"QwFileList", "QwPageTemplate", "QwColor", "QwPic", "QwClipart"};
    for (size_t i = 0; i < FDropFormats.size(); ++i) {
        FDropFormats[i] = new TGenericDataFormat(FDropTarget);
        FDropFormats[i]->AddFormat(names[i]);
    }
    // Files dropped from other programs fill frames like the program's own file lists.
    auto files = std::make_unique<TGenericClipboardFormat>();
    files->SetClipboardFormat(Ole::CF_HDROP);
    files->DataDirections = ddRead;
    FDropFormats[dfFileList]->CompatibleFormats->Add(std::move(files));

    // Only moves are judged: a refused enter would drop the data for the whole visit,
    // so a drag entering beside a frame could never reach one.
    FDropTarget->OnDragOver = [this](TObject*, TShiftState, QPoint Point, int32_t& Effect) {
        HandleExceptions([&] { DropDragOver(Point, Effect); });
    };
    FDropTarget->OnDrop = [this](TObject*, TShiftState, QPoint Point, int32_t& Effect) {
        HandleExceptions([&] { DropDrop(Point, Effect); });
    };
    FDropTarget->Register(this);
}

TFBPictureElement* TFBMainView::DraggedPicture() const
{
    return PictureOfDragData(FDoc, FDropFormats[dfPic]->Data());
}

void TFBMainView::DropDragOver(const QPoint& Point, int32_t& Effect)
{
    IDataObject* data = FDropTarget->DataObject.get();
    if (!FDoc || !data) {
        Effect = Ole::DROPEFFECT_NONE;
        return;
    }
    const int x = Point.x(), y = Point.y();
    auto* pic = dynamic_cast<TFBPictureElement*>(ElementAt(x, y, eaPictures));
    const bool onPage = PageAt(x, y) != nullptr;
    // Every format present is tested; one refusal refuses the drop.
    bool present = false, refused = false;
    auto test = [&](int Format, const std::function<bool()>& Accept) {
        TGenericDataFormat* format = FDropFormats[size_t(Format)];
        if (!format->HasValidFormats(*data))
            return;
        present = true;
        if (!Accept())
            refused = true;
    };
    test(dfFileList, [&] { return pic != nullptr; });
    test(dfPageTemplate, [&] { return onPage; });
    test(dfClipart, [&] { return onPage; });
    test(dfColor, [&] { return pic != nullptr; });
    test(dfPic, [&] {
        FDropFormats[dfPic]->GetData(*data);
        // A number that names no picture of this document is refused.
        TFBPictureElement* dragged = DraggedPicture();
        return pic != nullptr && dragged != nullptr && pic != dragged;
    });
    if (!present || refused)
        Effect = Ole::DROPEFFECT_NONE;
}

void TFBMainView::DropDrop(const QPoint& Point, int32_t& Effect)
{
    if (!FDoc)
        return;
    const int x = Point.x(), y = Point.y();
    auto pictureAt = [&] { return dynamic_cast<TFBPictureElement*>(ElementAt(x, y, eaPictures)); };

    if (FDropFormats[dfFileList]->HasData()) {
        if (TFBPictureElement* pic = pictureAt()) {
            setFocus(Qt::OtherFocusReason);
            FillFramesWithFiles(FileNamesOf(FDropFormats[dfFileList]->Data()), pic);
            ElementDone(pic);
            if (OnFocusChanged)
                OnFocusChanged(this);
        }
    }
    if (FDropFormats[dfPageTemplate]->HasData()) {
        if (TFBPage* page = PageAt(x, y)) {
            TFBPageTemplate pageTemplate;
            pageTemplate.LoadFromStream(*StreamOf(FDropFormats[dfPageTemplate]->Data()));
            SetFocusedElement(nullptr);
            GetUndoManager().AddLayoutEinfuegen(FDoc, FScreenIndex);
            pageTemplate.ApplyToPage(page);
            FDoc->Modified = true;
            Invalidate();
            GetMulticaster().PageContentChanged(this, page);
        }
    }
    if (FDropFormats[dfColor]->HasData()) {
        if (TFBPictureElement* pic = pictureAt()) {
            setFocus(Qt::OtherFocusReason);
            TFBColor color;
            color.LoadFromStream(*StreamOf(FDropFormats[dfColor]->Data()));
            TColor value = 0;
            if (color.GetColor(value)) {
                GetUndoManager().AddFarbeEinfuegen(pic);
                pic->FillWithColor(value);
                ElementDone(pic);
            }
        }
    }
    if (FDropFormats[dfPic]->HasData()) {
        TFBPictureElement* target = pictureAt();
        TFBPictureElement* source = DraggedPicture();
        if (target && source && target != source) {
            if (Effect & Ole::DROPEFFECT_COPY) {
                GetUndoManager().AddBildEinfuegen(target);
                target->AssignPicture(*source);
            } else if (Effect & Ole::DROPEFFECT_MOVE) {
                GetUndoManager().AddBildAustauschen(target, source);
                target->SwapPicture(*source);
                ElementDone(source);
            }
            ElementDone(target);
        }
    }
    if (FDropFormats[dfClipart]->HasData()) {
        setFocus(Qt::OtherFocusReason);
        const QStringList files = FileNamesOf(FDropFormats[dfClipart]->Data());
        TFBPage* page = PageAt(x, y);
        TPointF p;
        if (!files.isEmpty() && page && ScreenPoint(x, y, p)) {
            auto owned = std::make_unique<TFBClipartElement>(page);
            TFBClipartElement* clipart = owned.get();
            clipart->LoadFromFile(files.first());
            if (page->Orientation != 0)
                clipart->Angle -= FDoc->ScreenQuerformatWinkel;
            const TPointF local = PageLocal(page, p);
            clipart->CenterX = local.X;
            clipart->CenterY = local.Y;
            page->Elements.Add(std::move(owned));
            GetUndoManager().AddElementEinfuegen(clipart);
            ElementDone(clipart);
            SetFocusedElement(clipart);
        }
    }
}
