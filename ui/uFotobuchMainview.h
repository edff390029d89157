#pragma once
// The page view: one screen of the document (a page or a spread), zoomed and
// scrolled, with the focused element marked; selecting, moving, resizing and
// turning elements with mouse and keys, panning and zooming pictures in their
// frames, panning and zooming the view. Every change records its undo item
// first, then changes the document, repaints, fires the multicaster's notice
// and sets the modified flag.
#include "Canvas.h"
#include "Ole.h"
#include "ShiftState.h"
#include "uPaintWindow.h"
#include "uTracker.h"
#include "uUndo.h"
#include "uVectorLib.h"

#include <QPoint>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>

class QAction;
class QLabel;
class QMenu;
class TBitmapDrawContext;
class TDropEmptyTarget;
class TGenericDataFormat;
class TMemoryStream;
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

    // ---- context menu, clipboard and page commands (FBMainViewCommands.cpp)
    // Sets up the context menu for the page and element under the mouse
    // (either may be null): what is visible and enabled, and the captions.
    void BuildContextMenu(TFBPage* Page, TFBElement* Element);
    QMenu* ContextMenu() const { return FContextMenu; }

    bool CanCopy() const;
    bool CanDelete() const { return CanCopy(); }
    bool CanPaste() const;
    bool CanDuplicate() const;
    void CopyElement();
    void CutElement();
    void PasteElement();
    // Duplicating is offered by no command yet; it changes nothing.
    void DuplicateElement() {}
    void InsertTextElement();
    // Turns the current screen between portrait and landscape.
    void ToggleOrientation();

    // Turns the focused picture: 2 left, 0 right.
    void TurnPicture(int Direction);
    // Runs one of the filter dialogs on the focused picture.
    enum TPictureFilter { pfHKIG, pfHSL, pfSWCol, pfRedEye };
    void FilterPicture(TPictureFilter Filter);
    // The colour dialog for the focused colour area.
    void ChangeAreaColor();
    // The frame dialog for the focused picture's border.
    void PictureBorder();
    // The page colour of Page: chosen in the colour dialog, or white (Remove).
    void SetPageBackground(TFBPage* Page, bool Remove);
    // Inserts a screen like the current one before or after it.
    void InsertScreen(bool After);
    // Deletes the current screen after the question.
    void DeleteScreen();
    void PreviousScreen();
    void NextScreen();

    // Loads the files into the picture frames from Frame on, in document order;
    // surplus files are ignored.
    void FillFramesWithFiles(const QStringList& Files, TFBPictureElement* Frame);
    void ShowMessagePanel(const QString& Text);
    void HideMessagePanel();
    QLabel* MessagePanel() const { return FMessagePanel; }

    TNotifyEvent OnFocusChanged;
    TNotifyEvent OnZoomChanged;
    // A right click: the page and element under the mouse (either may be
    // null) and the screen point where the context menu belongs. Unset, the
    // view pops its own context menu up there.
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
    // Whether a drag step at the point changes anything; the first step away
    // from the mouse-down point records the drag's undo item, so a click records nothing.
    bool DragStep(int X, int Y);

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

    // The commands and the drop target (FBMainViewCommands.cpp).
    void CreateContextMenu();
    void CreateDropTarget();
    // The drop rules: DragOver refuses what no format accepts at the point.
    void DropDragOver(const QPoint& Point, int32_t& Effect);
    void DropDrop(const QPoint& Point, int32_t& Effect);
    // The picture element a "QwPic" drag carries, null when it names none.
    TFBPictureElement* DraggedPicture() const;
    TFBPictureElement* FocusedPicture() const;
    // Repaints the element, tells the others and marks the document modified.
    void ElementDone(TFBElement* Element);
    // Reads the clipboard's data of the format into Stream.
    void ReadClipboard(TClipFormat Format, TMemoryStream& Stream);

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
    std::function<void()> FDragUndo;  // records the undo item of the drag in progress
    bool FDragChanged = false;        // the drag in progress changed the document

    // context menu, message panel and drop target (children of the view)
    QMenu* FContextMenu = nullptr;
    std::array<QAction*, 20> FMenuItems{};
    TFBPage* FContextPage = nullptr;
    QLabel* FMessagePanel = nullptr;
    TDropEmptyTarget* FDropTarget = nullptr;
    enum TDropFormat { dfFileList, dfPageTemplate, dfColor, dfPic, dfClipart };
    std::array<TGenericDataFormat*, 5> FDropFormats{};
};
