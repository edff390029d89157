#pragma once
// An owner-painted window with a virtual drawing area and its own scroll
// bars. The bars keep the platform's arithmetic: the maximum is the whole
// virtual extent, the page is the client extent and the position runs from 0
// to maximum - page; lines move 10 pixels and page clicks 50. Every update
// of the bars centres the view.
#include "Application.h"
#include "Canvas.h"
#include "Object.h"
#include "Types.h"

#include <QRegion>
#include <QWidget>
#include <memory>

class QScrollBar;

class TPaintWindow : public QWidget, public TObject {
    Q_OBJECT
public:
    LUMI_CLASSNAME(TPaintWindow)
    explicit TPaintWindow(QWidget* Parent = nullptr);
    ~TPaintWindow() override;

    void SetVirtualSize(int Width, int Height);
    int VirtualWidth() const { return FVirtualWidth; }
    int VirtualHeight() const { return FVirtualHeight; }
    void UpdateScrollBars();
    int GetScrollPosX() const;
    int GetScrollPosY() const;
    // The bar's maximum (the virtual extent); 0 when the client area is larger.
    int GetScrollMaxX() const { return FBarX.Max; }
    int GetScrollMaxY() const { return FBarY.Max; }
    void SetScrollPosX(int Pos);
    void SetScrollPosY(int Pos);
    // When set, bars that are not needed show disabled instead of vanishing.
    bool DisableNoScroll() const { return FDisableNoScroll; }
    void SetDisableNoScroll(bool Value);

    // The client area: the window less its visible scroll bars.
    int ClientWidth() const;
    int ClientHeight() const;
    TRect ClientRect() const { return Rect(0, 0, ClientWidth(), ClientHeight()); }
    // Invalidates without erasing; an empty rectangle does nothing.
    void InvalidateRect(const TRect& R);
    void Invalidate();
    // Paints what is invalid at once.
    void UpdateNow();
    // Switches redrawing of the window off and on (on repaints it).
    void SetRedraw(bool On);
    // The window's canvas, only during a paint (null otherwise).
    TCanvas* PaintCanvas() const { return FPaintCanvas.get(); }
    QScrollBar* HorzScrollBar() const { return FHorz; }
    QScrollBar* VertScrollBar() const { return FVert; }

    TNotifyEvent OnPaint;
    TNotifyEvent OnScroll;
    // The region being painted, in client pixels; the whole plane outside a paint.
    TRect UpdateRect;

protected:
    // Paints the window; calls OnPaint.
    virtual void Paint();
    // Runs after every change of the client size, once the bars are updated.
    virtual void Resize() {}
    // The scroll positions and maxima before the bars were updated for the
    // change that Resize reports.
    TPoint OldScrollPos;
    TPoint OldScrollMax;

    void paintEvent(QPaintEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;

private:
    struct TBar {
        int Max = 0;   // the virtual extent, 0 when the client area is larger
        int Page = 0;  // the client extent, 0 when the client area is larger
    };
    void SetBar(QScrollBar* Bar, TBar& State, int Client, int Virtual);
    void SetBarPos(QScrollBar* Bar, const TBar& State, int Pos);
    void ScrollAction(QScrollBar* Bar, const TBar& State, int Action);
    // Shows the bars the virtual size needs and places them; true when the
    // client size changed.
    bool LayoutBars();

    int FVirtualWidth = 0;
    int FVirtualHeight = 0;
    bool FDisableNoScroll = false;
    TBar FBarX;
    TBar FBarY;
    QScrollBar* FHorz;
    QScrollBar* FVert;
    QWidget* FCorner;
    TSize FLastClient{-1, -1};
    bool FInResize = false;
    bool FResizePending = false;
    std::unique_ptr<TCanvas> FPaintCanvas;
    QRegion FInvalid;  // invalidated and not yet painted
    TPaintGuard FPaintGuard;
};

// The whole plane: the update rectangle outside a paint.
constexpr TRect PaintWindowWholePlane{-35000, -35000, 35000, 35000};
