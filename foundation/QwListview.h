#pragma once
// An icon list whose items are painted entirely by code: each visible item is
// drawn into one reused 32-bit bitmap by DrawItem and copied to the screen.
// Items sit in a grid of equal cells that follows the width of the list.
#include "AnsiString.h"

#include <QImage>
#include <QListWidget>
#include <QPixmap>
#include <QRect>
#include <algorithm>
#include <cstdint>

class TCanvas;

// Custom-draw state of an item (set of bits).
enum TCustomDrawStateFlag : uint16_t {
    cdsSelected = 1 << 0,
    cdsGrayed = 1 << 1,
    cdsDisabled = 1 << 2,
    cdsChecked = 1 << 3,
    cdsFocused = 1 << 4,
    cdsDefault = 1 << 5,
    cdsHot = 1 << 6,
    cdsMarked = 1 << 7,
    cdsIndeterminate = 1 << 8,
};
using TCustomDrawState = uint16_t;

class TQwListview : public QListWidget {
    Q_OBJECT
public:
    explicit TQwListview(QWidget* Parent = nullptr);

    int ThumbSize() const { return FThumbSize; }
    void SetThumbSize(int Size);
    // The width of the captions below the icons: the thumbnail size, or more
    // where a list widens its cells to show its captions whole.
    int LabelWidth() const { return std::max(FThumbSize, FLabelWidth); }
    void SetLabelWidth(int Width);
    // The distance between cells: label width + 18 across, thumbnail size + 26 down.
    void UpdateIconSpacing();
    QSize IconSpacing() const { return FIconSpacing; }
    // Places the items in a grid; without Force only when the column count changed.
    void ArrangeItems(bool Force);
    int Columns() const { return FColumns; }
    // Repaints one item when it is visible.
    void InvalidateItem(int Index);
    // Parts of an item, relative to its bounds: the icon (full width, the
    // thumbnail size + 2 high) and the caption below it.
    QRect IconRect() const;
    QRect LabelRect() const;

    // Paints one item into Bitmap, which has the size of the item's bounds.
    virtual void DrawItem(QListWidgetItem* Item, QImage& Bitmap, TCustomDrawState State);
    // The item at (X, Y) drawn as a drag image, its own transparent colour
    // masked out; HotSpot is the point's place in it. False over no item.
    virtual bool MakeDragImage(QPixmap& DragImage, int X, int Y, QPoint& HotSpot);

    // The custom-draw hook: draws one item at its bounds (used by the delegate).
    void PaintItem(QPainter* Painter, const QRect& Bounds, QListWidgetItem* Item,
                   TCustomDrawState State);

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void MoveFocusTo(int Index, bool KeepSelection);

    int FThumbSize = 92;
    int FLabelWidth = 0;
    QRect FUpdateRect;
    QImage FItemBitmap;
    int FColumns = 0;
    QSize FIconSpacing;
};

// Text cut to MaxWidth pixels in the canvas font, its end replaced by "...".
AnsiString ShortenTextToWidth(const AnsiString& Text, TCanvas& Canvas, int MaxWidth);
