#pragma once
// The page overview: a strip of thumbnails, one cell per screen of the
// document. A click makes a screen current, a drag on a caption moves the
// screen, a drag on a frame carries its picture to another frame; pictures,
// colours and page templates dropped from the left panel land in frames and
// pages; the context menu inserts and deletes screens. Every change is
// recorded in the undo manager first and announced through the multicaster.
#include "uSubForm.h"

#include "Canvas.h"

#include <QEvent>
#include <QList>
#include <QPixmap>
#include <QRect>
#include <QStringList>
#include <functional>
#include <memory>

class QAction;
class QMenu;
class QScrollArea;
class TDropEmptySource;
class TDropEmptyTarget;
class TFBDocument;
class TFBPictureElement;
class TGenericDataFormat;
class TTransformation;

// Cursors of the overview: a screen can be dragged, a picture can be dragged.
constexpr int crOverviewPicture = 123;
constexpr int crOverviewScreen = 124;

class TSFormSeiten : public TSubForm {
public:
    LUMI_CLASSNAME(TSFormSeiten)
    TSFormSeiten(TCreateKey Key, QWidget* Parent);
    ~TSFormSeiten() override;

    // The private message posted to the panel after a resize; its value is
    // the screen to make current again.
    static constexpr int WM_SHOWSCREEN = 389;
    class TShowScreenEvent : public QEvent {
    public:
        explicit TShowScreenEvent(int AScreen)
            : QEvent(QEvent::Type(QEvent::User + WM_SHOWSCREEN)), Screen(AScreen) {}
        int Screen;
    };

    enum TCellPart { cpCell, cpPicture, cpCaption };

    // The overview binds no element; content notices repaint it.
    void SetElement(TFBElement*) override {}
    void ContentChanged(TFBPage* Page, TFBElement* Element) override;

    void SetDocument(TFBDocument* Document);
    TFBDocument* Document() const { return FDocument; }
    // Rebuilds the strip after the page list changed.
    void Refresh();
    // Clamped to -1 .. count - 1; a new screen is announced and scrolled into view.
    void SetCurrentScreen(int Index);
    void InvalidateScreen(int ScreenIndex);
    void ScrollScreenIntoView(int ScreenIndex);

    // Geometry in paint-box pixels.
    QRect CellRect(int Index, TCellPart Part) const;
    // The screen boundary near X, -3 for none.
    int InsertPosition(int X) const;
    // The screen may be dragged to another place at all.
    bool CanDragScreen(int Screen) const;
    // Screen may be moved to Boundary.
    bool MoveAllowed(int Screen, int Boundary) const;
    // The picture frame under the point, null for none.
    TFBPictureElement* FrameAt(int X, int Y) const;
    // The page under the point, null for none.
    TFBPage* PageAt(int X, int Y) const;

    // Loads the files one after another into First and the frames after it.
    void LoadFilesIntoFrames(const QStringList& Files, TFBPictureElement* First);
    // The drag image of a frame: added to ImgList; false when it has no area.
    bool MakeDragImage(TFBPictureElement* Frame);
    // Paints the cell of a screen into the off-screen bitmap (cell pixels).
    void DrawCell(int Screen);
    // The off-screen bitmap of the last drawn cell.
    TBitmap& CellBitmap() { return *FCellBitmap; }

    // Menu commands on ClickedScreen.
    void mnuSeiteVorAktuellerEinfuegenClick();
    void mnuSeiteNachAktuellerEinfuegenClick();
    void mnuSeiteloeschenClick();
    // Enables and names the menu items for ClickedScreen.
    void UpdateMenu();
    // Lets the page view release a focused element on the screen's pages.
    void ReleaseFocusOnScreen(int Screen);

    QScrollArea* sb;
    QWidget* pb;
    TDropEmptyTarget* droptarget;
    TDropEmptySource* dropsrcPics;
    TDropEmptySource* DropSrcView;
    QList<QPixmap> ImgList;
    QMenu* pmSeiten;
    QAction* mnuSeiteVorAktuellerEinfuegen;
    QAction* mnuSeiteNachAktuellerEinfuegen;
    QAction* mnuSeiteloeschen;

    int CellWidth = 250;
    int CurrentScreen = -1;
    int ClickedScreen = 0;
    int InsertMarker = -3;
    int LastUsedPage = -1;

    // Whether a press at the point starts a drag (the system's detection).
    std::function<bool(QWidget* Window, const QPoint& Point)> DetectDrag;
    // Shows the loading progress text (the progress window).
    std::function<void(const QString& Text)> ShowProgressText;
    // Set by the main window: clears the page view's focus when its focused
    // element lies on the page (before a layout replaces the page's elements
    // or the page is deleted).
    std::function<void(TFBPage* Page)> OnReleaseFocusOnPage;

    // Event handlers (paint box, scroll box, drop target).
    // Makes the previews of the pictures on the screens whose cells lie
    // between Left and Right, all at once on every core.
    void PreparePreviews(int Left, int Right);
    void pbPaint(const QRect& Update);
    void pbMouseDown(Qt::MouseButton Button, int X, int Y);
    void pbMouseMove(int X, int Y);
    void pbMouseUp(int X, int Y);
    void sbResize();
    bool sbKeyDown(int Key);
    void droptargetDragOver(QPoint Point, int32_t& Effect);
    void droptargetDrop(QPoint Point, int32_t& Effect);

protected:
    void BeforeLocalize() override;
    bool event(QEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    int ScreenCount() const;
    // Maps screen millimetres into the picture part of the cell at CellLeft.
    void BuildTransformation(TTransformation& T, int Screen, int CellLeft) const;
    void SetMarker(int Boundary);
    void MakeCurrent(int Index);
    void MarkModified();
    QString FormText(const char* Text) const;
    QPoint PaintBoxPoint(QPoint TargetPoint) const;

    TFBDocument* FDocument = nullptr;
    std::unique_ptr<TBitmap> FCellBitmap;
    TGenericDataFormat* FFormatPic;       // "QwPic" of the drop source
    TGenericDataFormat* FFormatView;      // "QwView" of the drop source
    TGenericDataFormat* FTargetPic;
    TGenericDataFormat* FTargetView;
    TGenericDataFormat* FTargetFileList;
    TGenericDataFormat* FTargetColor;
    TGenericDataFormat* FTargetPageTemplate;
};
