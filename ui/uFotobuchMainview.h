#pragma once
// The page view: one screen of the document (a page or a spread), zoomed and
// scrolled, with the focused element marked; selecting, moving, resizing and
// turning elements with mouse and keys, panning and zooming pictures in their
// frames, panning and zooming the view. Every change records its undo item
// first, then changes the document, repaints, fires the multicaster's notice
// and sets the modified flag.
#include "Canvas.h"
#include "ShiftState.h"
#include "uPaintWindow.h"
#include "uTracker.h"
#include "uUndo.h"
#include "uVectorLib.h"

#include <QPoint>
#include <functional>
#include <memory>

class TBitmapDrawContext;
class TDrawContext;
class TTransformation;
class TFBDocument;
class TFBPage;
class TFBElement;
class TFBPictureElement;

// Flags of ElementAt (as the page's FindElementAt).
constexpr int eaPictures = 1;
constexpr int eaElements = 2;
constexpr int eaCalendars = 4;
constexpr int eaAll = 7;

class TFBMainView : public TPaintWindow, public TUndoUIStateHost {
    Q_OBJECT
public:
    LUMI_CLASSNAME(TFBMainView)
    TFBMainView(QWidget* Owner, TFBDocument* Document);
    ~TFBMainView() override;

    TFBDocument* Document() const { return FDoc; }
    int ScreenIndex() const { return FScreenIndex; }
    // Shows another screen (kept within the document's screens); clears the focus.
    void SetScreen(int Index);
    float Zoom() const { return FZoom; }
    void SetZoom(float Zoom);
    // Zooms (1 .. 8) so that the page point under the client pixel stays there.
    void ZoomAt(int X, int Y, float Zoom);
    void SetupTransformation();
    void UpdateVirtualSize();
    // The element (Flags: eaPictures, eaElements, eaCalendars) or page under a client pixel.
    TFBElement* ElementAt(int X, int Y, int Flags);
    TFBPage* PageAt(int X, int Y);
    void InvalidateElement(TFBElement* Element);
    TFBElement* FocusedElement() const { return FFocused; }
    void SetFocusedElement(TFBElement* Element);
    // The multicaster's content notice: repaints what changed on this screen.
    void ContentChanged(TFBPage* Page, TFBElement* Element);

    // Moves an element by millimetres; with FollowLandscape in the directions
    // seen on a turned page. On an inner spread with cover it crosses the spine.
    void MoveElementBy(TFBElement* Element, bool FollowLandscape, float DX, float DY);
    void DeleteFocused();
    void RemovePicture();
    void DeleteElement();

    // The focus state for undo: screen and focused element.
    void SaveUIState(TCustomDataFile& DataFile, const AnsiString& Section) override;
    void RestoreUIState(TCustomDataFile& DataFile, const AnsiString& Section) override;
    // Shows the screen (telling the others through the multicaster) and
    // focuses the element when its page lies on that screen.
    void ShowScreenAndFocus(int ScreenIndex, TFBElement* Element);

    // The view's transformation (page millimetres of the screen to client pixels).
    TTransformation& Transformation();
    TTracker& Tracker() { return FTracker; }
    TBitmap& OffscreenBitmap() { return *FBitmap; }
    // The cursor number last set on the window.
    int CurrentCursor() const { return FCursor; }

    TNotifyEvent OnFocusChanged;
    TNotifyEvent OnZoomChanged;
    // A right click: the page and element under the mouse (either may be
    // null) and the screen point where the context menu belongs.
    std::function<void(TFBPage* Page, TFBElement* Element, const QPoint& ScreenPos)> OnContextMenu;

protected:
    void Paint() override;
    void Resize() override;
    bool event(QEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void wheelEvent(QWheelEvent* Event) override;

private:
    using TMouseHandler = void (TFBMainView::*)(int X, int Y, TShiftState Shift);

    void MouseDown(Qt::MouseButton Button, TShiftState Shift, int X, int Y, bool Double,
                   const QPoint& ScreenPos);
    void MouseMove(TShiftState Shift, int X, int Y);
    void MouseUp(TShiftState Shift, int X, int Y);
    void KeyDown(int Key);
    bool MouseWheel(int Delta, TShiftState Shift, int X, int Y);

    bool CanPanView() const;
    void ViewPanMove(int X, int Y, TShiftState Shift);
    void TrackerDragMove(int X, int Y, TShiftState Shift);
    void TrackerDragUp(int X, int Y, TShiftState Shift);
    void PicturePanMove(int X, int Y, TShiftState Shift);
    void PicturePanUp(int X, int Y, TShiftState Shift);
    void ElementMove(int X, int Y, TShiftState Shift);
    void ElementMoveUp(int X, int Y, TShiftState Shift);
    void ComputePictureRect(TFBPictureElement* Element);
    void SetCursorNumber(int Cursor);

    // The page point of the screen under a client pixel, and whether the
    // pixel lies on the screen's rectangle.
    bool ScreenPoint(int X, int Y, TPointF& P);
    // The point in a page's own millimetres for a screen point.
    TPointF PageLocal(const TFBPage* Page, const TPointF& P) const;
    bool IsOnScreen(const TFBPage* Page) const;
    // Keeps the screen index within the document and drops a focus whose
    // element is no longer on the screen.
    void CheckScreen();
    // Drops the focus when its element no longer lies on the screen.
    void ValidateFocus();
    void LoadTrackerFrom(TFBElement* Element);
    void Changed(TFBElement* Element);

    void PaintScreen(TDrawContext& DC);
    void PaintPageOutline(TDrawContext& DC, TFBPage* Page);
    void PaintMarkedArea(TDrawContext& DC);

    TFBDocument* FDoc;  // not owned
    int FScreenIndex = 0;
    float FZoom = 1.0f;
    std::unique_ptr<TBitmap> FBitmap;
    std::unique_ptr<TBitmapDrawContext> FDC;
    TFBElement* FFocused = nullptr;
    TTracker FTracker;
    int FCursor = 0;

    // mouse state
    TPoint FMouseDown;
    TPoint FLastMouse;
    TMouseHandler FMoveHandler = nullptr;
    TMouseHandler FUpHandler = nullptr;
    bool FMoving = false;
    TPointF FMoveStartCenter;
    TRectF FPicRect;    // left, top, right, bottom of the picture at mouse-down (mm)
    TRectF FFrameRect;  // of the frame (or of its link)
    TPoint FPanStart;
    TPoint FPanStartPos;
    TPoint FPanStartMax;
};
