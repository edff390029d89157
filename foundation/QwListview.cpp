#include "QwListview.h"

#include "Canvas.h"

#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

namespace {

const QRect cNoClip(-32000, -32000, 64000, 64000);

// Hands every item to the list's own drawing.
class TQwListviewDelegate : public QStyledItemDelegate {
public:
    explicit TQwListviewDelegate(TQwListview* List) : QStyledItemDelegate(List), FList(List) {}

    void paint(QPainter* Painter, const QStyleOptionViewItem& Option,
               const QModelIndex& Index) const override
    {
        TCustomDrawState state = 0;
        if (Option.state & QStyle::State_Selected)
            state |= cdsSelected;
        if (Option.state & QStyle::State_HasFocus)
            state |= cdsFocused;
        if (Option.state & QStyle::State_MouseOver)
            state |= cdsHot;
        if (!(Option.state & QStyle::State_Enabled))
            state |= cdsDisabled;
        FList->PaintItem(Painter, Option.rect, FList->item(Index.row()), state);
    }

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        // Item bounds: the cell less the 10 pixels the grid adds around each item.
        return FList->IconSpacing() - QSize(10, 10);
    }

private:
    TQwListview* FList;
};

}  // namespace

TQwListview::TQwListview(QWidget* Parent) : QListWidget(Parent), FUpdateRect(cNoClip)
{
    FItemBitmap = QImage(1, 1, QImage::Format_ARGB32);
    setViewMode(QListView::IconMode);
    setMovement(QListView::Free);
    setResizeMode(QListView::Fixed);
    setWrapping(true);
    setSpacing(0);
    setWordWrap(false);
    // The lists' drags are the program's own drop sources; the icon mode's
    // drops of item data from anywhere are not taken.
    setDragDropMode(QAbstractItemView::NoDragDrop);
    setItemDelegate(new TQwListviewDelegate(this));
    QPalette pal = palette();
    pal.setColor(QPalette::Base, Qt::white);
    setPalette(pal);
    SetThumbSize(92);
}

void TQwListview::SetThumbSize(int Size)
{
    FThumbSize = Size;
    setIconSize(QSize(Size, Size + 12));
    UpdateIconSpacing();
    viewport()->update();
}

void TQwListview::SetLabelWidth(int Width)
{
    FLabelWidth = Width;
    UpdateIconSpacing();
    viewport()->update();
}

void TQwListview::UpdateIconSpacing()
{
    FIconSpacing = QSize(LabelWidth() + 18, FThumbSize + 26);
    scheduleDelayedItemsLayout();
}

void TQwListview::ArrangeItems(bool Force)
{
    if (count() == 0)
        return;
    executeDelayedItemsLayout();
    const QSize cell = visualItemRect(item(0)).size() + QSize(10, 10);
    const int columns = std::max(1, (viewport()->width() + 10) / cell.width());
    if (columns == FColumns && !Force)
        return;
    FColumns = columns;
    setUpdatesEnabled(false);
    for (int i = 0; i < count(); ++i)
        setPositionForIndex(QPoint(cell.width() * (i % columns), cell.height() * (i / columns)),
                            indexFromItem(item(i)));
    // Moving items only ever grows the scrolled area: it becomes the grid's own extent.
    const int rows = (count() + columns - 1) / columns;
    resizeContents(cell.width() * std::min(columns, count()) - 10, cell.height() * rows - 10);
    setUpdatesEnabled(true);
    if (currentItem())
        scrollToItem(currentItem());
}

void TQwListview::InvalidateItem(int Index)
{
    QListWidgetItem* it = item(Index);
    if (!it)
        return;
    const QRect r = visualItemRect(it);
    if (r.intersects(viewport()->rect()))
        viewport()->update(r);
}

QRect TQwListview::IconRect() const
{
    const QSize bounds = FIconSpacing - QSize(10, 10);
    return QRect(0, 0, bounds.width(), FThumbSize + 2);
}

QRect TQwListview::LabelRect() const
{
    const QSize bounds = FIconSpacing - QSize(10, 10);
    return QRect(0, FThumbSize + 2, bounds.width(), bounds.height() - FThumbSize - 2);
}

void TQwListview::DrawItem(QListWidgetItem*, QImage&, TCustomDrawState)
{
}

void TQwListview::PaintItem(QPainter* Painter, const QRect& Bounds, QListWidgetItem* Item,
                            TCustomDrawState State)
{
    if (!Item || Bounds.isEmpty() || !Bounds.intersects(FUpdateRect)
        || !Bounds.intersects(viewport()->rect()))
        return;
    if (FItemBitmap.size() != Bounds.size())
        FItemBitmap = QImage(Bounds.size(), QImage::Format_ARGB32);
    DrawItem(Item, FItemBitmap, State);
    Painter->drawImage(Bounds.topLeft(), FItemBitmap);
}

bool TQwListview::MakeDragImage(QPixmap& DragImage, int X, int Y, QPoint& HotSpot)
{
    DragImage = QPixmap();
    QListWidgetItem* it = itemAt(X, Y);
    if (!it)
        return false;
    const QRect bounds = visualItemRect(it);
    QImage bmp(bounds.size(), QImage::Format_ARGB32);
    bmp.fill(Qt::white);
    DrawItem(it, bmp, 0);
    // Masked with the bitmap's transparent colour: its bottom-left pixel.
    const QRgb transparent = bmp.pixel(0, bmp.height() - 1);
    for (int y = 0; y < bmp.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(bmp.scanLine(y));
        for (int x = 0; x < bmp.width(); ++x)
            if (line[x] == transparent)
                line[x] = 0;
    }
    DragImage = QPixmap::fromImage(bmp);
    HotSpot = QPoint(X - bounds.left(), Y - bounds.top());
    return true;
}

void TQwListview::paintEvent(QPaintEvent* e)
{
    FUpdateRect = e->rect();
    QListWidget::paintEvent(e);
    FUpdateRect = cNoClip;
}

void TQwListview::resizeEvent(QResizeEvent* e)
{
    QListWidget::resizeEvent(e);
    ArrangeItems(false);
}

void TQwListview::MoveFocusTo(int Index, bool KeepSelection)
{
    QListWidgetItem* old = currentItem();
    QListWidgetItem* next = item(Index);
    if (!KeepSelection)
        clearSelection();
    setCurrentItem(next, QItemSelectionModel::Select);
    if (old)
        InvalidateItem(row(old));
    InvalidateItem(Index);
    scrollToItem(next);
}

void TQwListview::keyPressEvent(QKeyEvent* e)
{
    const int index = currentRow();
    const int columns = std::max(1, FColumns);
    const bool shift = e->modifiers() & Qt::ShiftModifier;
    if (index >= 0 && e->key() == Qt::Key_Left && index % columns == 0 && index > 0) {
        MoveFocusTo(index - 1, shift);
        return;
    }
    if (index >= 0 && e->key() == Qt::Key_Right && index % columns == columns - 1
        && index < count() - 1) {
        MoveFocusTo(index + 1, shift);
        return;
    }
    QListWidget::keyPressEvent(e);
}

AnsiString ShortenTextToWidth(const AnsiString& Text, TCanvas& Canvas, int MaxWidth)
{
    AnsiString s = Text.substr(0, Text.find('\0'));
    if (s.empty() || Canvas.TextWidth(s) <= MaxWidth)
        return s;
    const AnsiString ellipsis = "...";
    // The longest start of the text that fits with the ellipsis.
    size_t lo = 0, hi = s.size();
    while (lo < hi) {
        const size_t mid = (lo + hi + 1) / 2;
        if (Canvas.TextWidth(s.substr(0, mid) + ellipsis) <= MaxWidth)
            lo = mid;
        else
            hi = mid - 1;
    }
    return s.substr(0, lo) + ellipsis;
}
