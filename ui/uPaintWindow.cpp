#include "uPaintWindow.h"

#include "Application.h"

#include <QPaintEvent>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>

TPaintWindow::TPaintWindow(QWidget* Parent)
    : QWidget(Parent),
      UpdateRect(PaintWindowWholePlane),
      FHorz(new QScrollBar(Qt::Horizontal, this)),
      FVert(new QScrollBar(Qt::Vertical, this)),
      FCorner(new QWidget(this))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    FCorner->setAutoFillBackground(true);
    for (QScrollBar* bar : {FHorz, FVert}) {
        bar->hide();
        bar->setRange(0, 0);
        connect(bar, &QScrollBar::actionTriggered, this, Guarded([this, bar](int Action) {
            ScrollAction(bar, bar == FHorz ? FBarX : FBarY, Action);
        }));
    }
    FCorner->hide();
}

TPaintWindow::~TPaintWindow() = default;

int TPaintWindow::ClientWidth() const
{
    return std::max(0, width() - (FVert->isVisibleTo(this) ? FVert->width() : 0));
}

int TPaintWindow::ClientHeight() const
{
    return std::max(0, height() - (FHorz->isVisibleTo(this) ? FHorz->height() : 0));
}

void TPaintWindow::SetVirtualSize(int Width, int Height)
{
    FVirtualWidth = Width;
    FVirtualHeight = Height;
    UpdateScrollBars();
}

void TPaintWindow::SetDisableNoScroll(bool Value)
{
    FDisableNoScroll = Value;
    UpdateScrollBars();
}

bool TPaintWindow::LayoutBars()
{
    const int extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    bool horz = FDisableNoScroll, vert = FDisableNoScroll;
    if (!FDisableNoScroll) {
        // A bar that appears narrows the other direction; two rounds settle it.
        for (int round = 0; round < 3; ++round) {
            const int cw = width() - (vert ? extent : 0);
            const int ch = height() - (horz ? extent : 0);
            horz = cw < FVirtualWidth;
            vert = ch < FVirtualHeight;
        }
    }
    const int cw = std::max(0, width() - (vert ? extent : 0));
    const int ch = std::max(0, height() - (horz ? extent : 0));
    FHorz->setGeometry(0, ch, cw, extent);
    FVert->setGeometry(cw, 0, extent, ch);
    FCorner->setGeometry(cw, ch, extent, extent);
    FHorz->setVisible(horz);
    FVert->setVisible(vert);
    FCorner->setVisible(horz && vert);
    const TSize client{cw, ch};
    const bool changed = client != FLastClient;
    FLastClient = client;
    return changed;
}

void TPaintWindow::SetBar(QScrollBar* Bar, TBar& State, int Client, int Virtual)
{
    int pos = 0;
    if (Client <= Virtual) {
        State.Max = Virtual;
        State.Page = Client;
        pos = (Virtual - Client) / 2;
    } else {
        State = TBar{};
    }
    const QSignalBlocker block(Bar);
    Bar->setRange(0, State.Max - State.Page);
    Bar->setPageStep(std::max(1, State.Page));
    Bar->setSingleStep(10);
    Bar->setValue(pos);
    Bar->setEnabled(State.Max - State.Page > 0);
}

void TPaintWindow::UpdateScrollBars()
{
    if (!FInResize) {
        OldScrollPos = Point(GetScrollPosX(), GetScrollPosY());
        OldScrollMax = Point(GetScrollMaxX(), GetScrollMaxY());
    }
    if (LayoutBars())
        FResizePending = true;
    SetBar(FHorz, FBarX, ClientWidth(), FVirtualWidth);
    SetBar(FVert, FBarY, ClientHeight(), FVirtualHeight);
    // The bars changed the client area: the window hears of its new size,
    // again when its own handling made bars appear or vanish.
    if (FInResize)
        return;
    for (int round = 0; FResizePending && round < 4; ++round) {
        FResizePending = false;
        FInResize = true;
        struct TDone {
            bool& f;
            ~TDone() { f = false; }
        } done{FInResize};
        Resize();
    }
    FResizePending = false;
}

int TPaintWindow::GetScrollPosX() const
{
    return FHorz->value();
}

int TPaintWindow::GetScrollPosY() const
{
    return FVert->value();
}

void TPaintWindow::SetBarPos(QScrollBar* Bar, const TBar& State, int Pos)
{
    const QSignalBlocker block(Bar);
    Bar->setValue(std::clamp(Pos, 0, std::max(0, State.Max - State.Page)));
}

void TPaintWindow::SetScrollPosX(int Pos)
{
    SetBarPos(FHorz, FBarX, ClientWidth() > FVirtualWidth ? 0 : Pos);
}

void TPaintWindow::SetScrollPosY(int Pos)
{
    SetBarPos(FVert, FBarY, ClientHeight() > FVirtualHeight ? 0 : Pos);
}

void TPaintWindow::ScrollAction(QScrollBar* Bar, const TBar& State, int Action)
{
    const int pos = Bar->value();  // the slider has moved, the value not yet
    int to = pos;
    switch (Action) {
    case QAbstractSlider::SliderSingleStepSub: to = pos - 10; break;
    case QAbstractSlider::SliderSingleStepAdd: to = pos + 10; break;
    case QAbstractSlider::SliderPageStepSub: to = pos - 50; break;
    case QAbstractSlider::SliderPageStepAdd: to = pos + 50; break;
    case QAbstractSlider::SliderMove: to = Bar->sliderPosition(); break;
    case QAbstractSlider::SliderToMinimum: to = 0; break;
    case QAbstractSlider::SliderToMaximum: to = State.Max; break;
    default: return;
    }
    SetBarPos(Bar, State, to);
    Bar->setSliderPosition(Bar->value());
    Invalidate();
    if (OnScroll)
        OnScroll(this);
}

void TPaintWindow::InvalidateRect(const TRect& R)
{
    if (IsRectEmpty(R))
        return;
    const QRect r(R.Left, R.Top, R.Width(), R.Height());
    FInvalid += r & rect();
    update(r);
}

void TPaintWindow::Invalidate()
{
    FInvalid = QRegion(rect());
    update();
}

void TPaintWindow::UpdateNow()
{
    if (!FInvalid.isEmpty())
        repaint(FInvalid);
}

void TPaintWindow::SetRedraw(bool On)
{
    setUpdatesEnabled(On);
}

void TPaintWindow::Paint()
{
    if (OnPaint)
        OnPaint(this);
}

void TPaintWindow::paintEvent(QPaintEvent* Event)
{
    FInvalid -= Event->region();
    const QRect r = Event->rect();
    UpdateRect = Rect(r.left(), r.top(), r.right() + 1, r.bottom() + 1);
    FPaintCanvas = std::make_unique<TCanvas>(this);
    struct TEndPaint {
        TPaintWindow* w;
        ~TEndPaint()
        {
            w->FPaintCanvas.reset();
            w->UpdateRect = PaintWindowWholePlane;
        }
    } endPaint{this};
    FPaintGuard.Run(this, [this] { Paint(); });
}

void TPaintWindow::resizeEvent(QResizeEvent*)
{
    HandleExceptions([this] {
        FLastClient = TSize{-1, -1};
        UpdateScrollBars();
    });
}
