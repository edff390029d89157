#include "RtFrameObject.h"

#include "Canvas.h"
#include "RtObject.h"
#include "RtObjectEnv.h"
#include "RtPlatform.h"
#include "RtRtfTxtInput.h"

#include <QApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

struct THandleDef {
    int32_t XFactor, YFactor;
    Qt::CursorShape Cursor;
};
constexpr THandleDef HandleDefs[8] = {
    {-1, -1, Qt::SizeFDiagCursor}, {0, 1, Qt::SizeVerCursor},  {-1, -1, Qt::SizeBDiagCursor},
    {1, 0, Qt::SizeHorCursor},     {-1, -1, Qt::SizeFDiagCursor}, {0, 1, Qt::SizeVerCursor},
    {-1, -1, Qt::SizeBDiagCursor}, {1, 0, Qt::SizeHorCursor},
};
constexpr int32_t HandlePixels = 7;

QColor ToQColor(TColor C)
{
    const TColor rgb = RtPlatform().SysColor(C);
    return QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}

int32_t Sign(int32_t V) { return V < 0 ? -1 : 1; }

} // namespace

// ---- handles ------------------------------------------------------------------------------------------

TRtFrameObjectIcon::TRtFrameObjectIcon(TRtFrameObject* AFrame, uint8_t AKind)
    : QWidget(AFrame), Frame(AFrame), Kind(AKind), XFactor(HandleDefs[AKind].XFactor),
      YFactor(HandleDefs[AKind].YFactor)
{
    resize(HandlePixels, HandlePixels);
    setCursor(HandleDefs[AKind].Cursor);
}

void TRtFrameObjectIcon::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setBrush(ToQColor(clWindow));
    p.setPen(QPen(ToQColor(RtObjectHandleColor), 1));
    p.drawRect(0, 0, width() - 1, height() - 1);
}

void TRtFrameObjectIcon::mousePressEvent(QMouseEvent* Event)
{
    Frame->HandleDown(this, Event->globalPosition().toPoint());
}

void TRtFrameObjectIcon::mouseMoveEvent(QMouseEvent* Event)
{
    Frame->HandleMove(this, Event->globalPosition().toPoint());
}

void TRtFrameObjectIcon::mouseReleaseEvent(QMouseEvent*) { Frame->HandleUp(this); }

// ---- frame ---------------------------------------------------------------------------------------------

TRtFrameObject::TRtFrameObject(QWidget* Parent) : QWidget(Parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    for (uint8_t k = 0; k < 8; ++k)
        Handles[k] = new TRtFrameObjectIcon(this, k);
}

TRtFrameObject::~TRtFrameObject()
{
    for (TRtFrameObjectIcon*& h : Handles) {
        delete h;
        h = nullptr;
    }
}

void TRtFrameObject::PlaceHandles()
{
    PlacingHandles = true;
    const int32_t s = Handles[0]->width();
    const int32_t w = width(), h = height();
    const QPoint at[8] = {{0, 0},         {(w - s) / 2, 0}, {w - s, 0},         {w - s, (h - s) / 2},
                          {w - s, h - s}, {(w - s) / 2, h - s}, {0, h - s}, {0, (h - s) / 2}};
    for (int k = 0; k < 8; ++k)
        Handles[size_t(k)]->move(at[k]);
    PlacingHandles = false;
}

void TRtFrameObject::resizeEvent(QResizeEvent*)
{
    if (width() < 2 * HandleSize || height() < 2 * HandleSize)
        resize(std::max(width(), 2 * HandleSize), std::max(height(), 2 * HandleSize));
    if (!Sizing)
        PlaceHandles();
}

void TRtFrameObject::paintEvent(QPaintEvent*)
{
    TCanvas c(this);
    TRtRTFTextInput* engine = Env ? Env->Engine : nullptr;
    const int32_t w = width(), h = height(), b = HandleSize;
    if (!engine || !engine->ViewOptions.Has(rtThinObjectFrames)) {
        QPainter* p = c.Painter();
        if (p) {
            p->setPen(Qt::NoPen);
            p->setBrush(QBrush(Qt::black, Qt::BDiagPattern));
            p->fillRect(0, 0, w, h, ToQColor(clWindow));
            p->drawRect(0, 0, w, b);
            p->drawRect(0, h - b, w, b);
            p->drawRect(0, b, b, h - 2 * b);
            p->drawRect(w - b, b, b, h - 2 * b);
            p->setBrush(Qt::NoBrush);
            p->setPen(QPen(Qt::black, 1));
            p->drawRect(b - 1, b - 1, w - 2 * b + 1, h - 2 * b + 1);
        }
    }
    if (Obj && engine) {
        // The object through an off-screen bitmap over the paper colour.
        TBitmap bitmap;
        bitmap.SetSize(std::max(1, w - 2 * b), std::max(1, h - 2 * b));
        bitmap.Canvas().Brush().SetColor(RtPlatform().SysColor(engine->GetPaperColor()));
        bitmap.Canvas().FillRect(TRect{0, 0, bitmap.Width(), bitmap.Height()});
        if (Obj->UseTextFont)
            bitmap.Canvas().Font().Assign(Obj->Font);
        Obj->PaintTo(&bitmap.Canvas(), TRect{0, 0, bitmap.Width(), bitmap.Height()});
        c.Draw(b, b, bitmap.Image());
    }
}

void TRtFrameObject::HandleDown(TRtFrameObjectIcon* /*Handle*/, const QPoint& Global)
{
    if (Sizing)
        return;
    grabMouse();
    Sizing = true;
    StartWidth = width();
    StartHeight = height();
    StartPoint = Global;
    if (Env)
        Env->Moved = false;
}

void TRtFrameObject::HandleMove(TRtFrameObjectIcon* Handle, const QPoint& Global)
{
    if (!Sizing || PlacingHandles || !Handle)
        return;
    int32_t dx = Global.x() - StartPoint.x();
    int32_t dy = Global.y() - StartPoint.y();
    if (Handle->XFactor == 0)
        dx = 0;
    if (Handle->YFactor == 0)
        dy = 0;
    if (std::abs(dx) < 2 && std::abs(dy) < 2)
        return;
    const bool corner = Handle->XFactor < 0;
    if (corner) {
        KeepRatio = true;
        const int32_t wt = Obj ? Obj->GetWidthTW() : 0;
        const int32_t ht = Obj ? Obj->GetHeightTW() : 0;
        ratio_ = ht != 0 ? double(wt) / ht : 0;
        // The larger movement for both axes; a still axis follows the corner's diagonal.
        const int32_t m = std::max(std::abs(dx), std::abs(dy));
        const bool antiDiagonal = Handle->Kind == 2 || Handle->Kind == 6;
        const int32_t sx = dx != 0 ? Sign(dx) : (antiDiagonal ? -Sign(dy) : Sign(dy));
        const int32_t sy = dy != 0 ? Sign(dy) : (antiDiagonal ? -Sign(dx) : Sign(dx));
        dx = sx * m;
        dy = sy * m;
    }
    int32_t left = x(), top = y(), w = width(), h = height();
    if (Handle->XFactor != 0) {
        if (Handle->MovesLeft()) {
            left += dx;
            w -= dx;
            if (Env)
                Env->Moved = true;
        } else {
            w += dx;
        }
    }
    if (Handle->YFactor != 0) {
        if (Handle->MovesTop()) {
            top += dy;
            h -= dy;
            if (Env)
                Env->Moved = true;
        } else {
            h += dy;
        }
    }
    const bool line = dynamic_cast<TRtOHorzLine*>(Obj) != nullptr;
    w = std::max(w, 16);
    h = std::max(h, line ? 8 : 16);
    if (KeepRatio && ratio_ != 0)
        w = Round32((h - 2 * HandleSize) * ratio_) + 2 * HandleSize;
    setGeometry(left, top, w, h);
    StartPoint += QPoint(dx, dy);
    PlaceHandles();
    update();
}

void TRtFrameObject::HandleUp(TRtFrameObjectIcon* /*Handle*/)
{
    if (!Sizing)
        return;
    TRtRTFTextInput* e = Env ? Env->Engine : nullptr;
    releaseMouse();
    Sizing = false;
    if (!e || !Obj || !Entry) {
        KeepRatio = false;
        return;
    }
    if (e->OnHideCaret)
        e->OnHideCaret(e);
    const bool updates = e->UpdatesLocked;
    const int32_t topY = e->TopY;
    e->AddObjectUndo(Obj, ukObjectSize, ulGraphic);
    const int32_t ppi = MulDiv(RtPlatform().ScreenPixelsPerInch(), e->Zooming, 100);
    int32_t wt = std::max(10, MulDiv(width() - 2 * HandleSize, 1440, ppi));
    const int32_t ht = std::max(10, MulDiv(height() - 2 * HandleSize, 1440, ppi));
    if (KeepRatio && ratio_ != 0)
        wt = std::max(10, Round32(ht * ratio_));
    KeepRatio = false;
    if (Env->Moved && (Entry->Kind == 1 || Entry->Kind == 2) && e->OnObjectMove) {
        const int32_t px = x() - e->DocToScreen(e->LeftX);
        const int32_t py = y() + e->DocToScreen(e->TopY);
        e->OnObjectMove(e->OwnerControl, Entry, px, py);
    }
    Env->ApplySize(Entry, wt, ht);
    if (e->OnTextChange)
        e->OnTextChange(e);
    Env->PlaceFrame();
    e->InvalidateVisibleParagraphs();
    e->UpdatesLocked = updates;
    e->Refresh();
    e->TopY = topY;
    e->UpdateCaret();
    e->Refresh();
    if (e->OnShowCaret)
        e->OnShowCaret(e);
}

// ---- moving the frame ------------------------------------------------------------------------------------

void TRtFrameObject::FrameDown(bool Right, const QPoint& Local, const QPoint& Global)
{
    TRtRTFTextInput* e = Env ? Env->Engine : nullptr;
    if (Right) {
        if (QWidget* parent = parentWidget()) {
            QMouseEvent ev(QEvent::MouseButtonPress, QPointF(pos() + Local), QPointF(Global), Qt::RightButton,
                           Qt::RightButton, Qt::NoModifier);
            QApplication::sendEvent(parent, &ev);
        }
        return;
    }
    if (!e || !e->EditOptions.Has(rtObjectMoving) || Moving)
        return;
    if (RtPlatform().TickCount() < IgnoreClicksUntil)
        return;
    Moving = true;
    StartPoint = Global;
    grabMouse();
    DropPar = nullptr;
    DropIndex = 0;
}

void TRtFrameObject::FrameMove(const QPoint& Local, const QPoint& Global)
{
    if (IgnoreNextMove) {
        IgnoreNextMove = false;
        return;
    }
    TRtRTFTextInput* e = Env ? Env->Engine : nullptr;
    if (!Moving || !e) {
        if (QWidget* parent = parentWidget()) {
            QMouseEvent ev(QEvent::MouseMove, QPointF(pos() + Local), QPointF(Global), Qt::NoButton, Qt::NoButton,
                           Qt::NoModifier);
            QApplication::sendEvent(parent, &ev);
        }
        return;
    }
    if (!isVisible())
        return;
    const QPoint d = Global - StartPoint;
    move(pos() + d);
    StartPoint = Global;
    TParagraph* par = nullptr;
    TLine* line = nullptr;
    const int32_t lx = e->ScreenToDoc(x()) - e->LeftX;
    e->FindLineAtPosition(par, line, lx, e->ScreenToDoc(y()) + e->TopY);
    if (par && line) {
        int32_t index = 0;
        if (Entry && Entry->Kind == 0) {
            index = e->GetCharIndexAtX(par, line, lx);
            e->CursorPos = index;
            for (TLine* l = par->Lines; l && l != line; l = l->Next)
                index += l->Length;
            e->CursorLine = line;
        } else {
            line = par->Lines;
            e->CursorLine = line;
            e->CursorPos = 0;
        }
        e->CursorPar = par;
        DropPar = par;
        DropIndex = index;
    }
    const int32_t oldTop = e->TopY;
    if (y() < 0)
        e->ScrollUp(-y());
    else if (y() + height() > e->VisibleHeightPx && height() < e->VisibleHeightPx)
        e->ScrollDown(y() + height() - e->VisibleHeightPx);
    if (e->TopY != oldTop) {
        const int32_t scrolled = e->DocToScreen(e->TopY - oldTop);
        StartPoint.ry() -= scrolled;
        IgnoreNextMove = true;
        QCursor::setPos(QCursor::pos() - QPoint(0, scrolled));
    }
    e->UpdateCaret();
}

void TRtFrameObject::FrameUp(bool Right, const QPoint& Local)
{
    TRtRTFTextInput* e = Env ? Env->Engine : nullptr;
    if (e)
        e->DropEntry = nullptr;
    if (!Moving) {
        if (Right)
            if (QWidget* parent = parentWidget()) {
                QMouseEvent ev(QEvent::MouseButtonRelease, QPointF(pos() + Local), QPointF(mapToGlobal(Local)),
                               Qt::RightButton, Qt::NoButton, Qt::NoModifier);
                QApplication::sendEvent(parent, &ev);
            }
        return;
    }
    releaseMouse();
    Moving = false;
    if (!e || !Entry || RtPlatform().TickCount() < IgnoreClicksUntil)
        return;
    Env->MovingPositioned = Entry->Kind == 1 || Entry->Kind == 2;
    TTextObj* entry = Entry;
    if (Env->MoveObjectToCursor(entry)) {
        e->SetCaretRect(nullptr, nullptr, 0, 0);
        if (!Env->MovingPositioned) {
            if (e->OnObjectDrop)
                e->OnObjectDrop(e->OwnerControl, entry);
        } else {
            entry->X = MulDiv(x() + HandleSize, 1440, RtPlatform().ScreenPixelsPerInch());
            entry->Y = MulDiv(y() + HandleSize, 1440, RtPlatform().ScreenPixelsPerInch());
            if (e->OnObjectMove)
                e->OnObjectMove(e->OwnerControl, entry, x() + HandleSize, y() + HandleSize);
            e->DropEntry = entry;
        }
    }
    Env->ReselectObject();
    e->Refresh();
}

void TRtFrameObject::FrameDoubleClick()
{
    TRtRTFTextInput* e = Env ? Env->Engine : nullptr;
    if (Obj && Entry && e) {
        bool changed = false;
        auto oldChange = Obj->OnChange;
        Obj->OnChange = [&changed, &oldChange](TRtObject* Sender, int32_t Arg) {
            changed = true;
            if (oldChange)
                oldChange(Sender, Arg);
        };
        Obj->DblClick();
        Obj->OnChange = oldChange;
        if (e->OnObjectEdit)
            e->OnObjectEdit(e->OwnerControl, Entry, changed);
        Moving = false;
        hide();
        TRtObject* obj = Obj;
        Env->ReselectObject();
        if (changed)
            Env->RefreshObjects(obj);
    }
    IgnoreClicksUntil = RtPlatform().TickCount() + 300;
}

void TRtFrameObject::mousePressEvent(QMouseEvent* Event)
{
    FrameDown(Event->button() == Qt::RightButton, Event->position().toPoint(), Event->globalPosition().toPoint());
}

void TRtFrameObject::mouseMoveEvent(QMouseEvent* Event)
{
    FrameMove(Event->position().toPoint(), Event->globalPosition().toPoint());
}

void TRtFrameObject::mouseReleaseEvent(QMouseEvent* Event)
{
    FrameUp(Event->button() == Qt::RightButton, Event->position().toPoint());
}

void TRtFrameObject::mouseDoubleClickEvent(QMouseEvent*) { FrameDoubleClick(); }
