#include "Canvas.h"
#include "QwListview.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>

namespace {

// Paints each item in its own colour with a white bottom-left corner.
class TColourList : public TQwListview {
public:
    using TQwListview::TQwListview;
    void DrawItem(QListWidgetItem* Item, QImage& Bitmap, TCustomDrawState State) override
    {
        sizes.push_back(Bitmap.size());
        states.push_back(State);
        Bitmap.fill(ColourOf(row(Item)));
        Bitmap.setPixel(0, Bitmap.height() - 1, qRgb(255, 255, 255));
    }
    void Place(int Row, QPoint At) { setPositionForIndex(At, indexFromItem(item(Row))); }
    static QRgb ColourOf(int row) { return qRgb(10 * row, 200, 100); }
    std::vector<QSize> sizes;
    std::vector<TCustomDrawState> states;
};

struct Fixture {
    QWidget window;
    TColourList* list;
    explicit Fixture(int items = 7)
    {
        list = new TColourList(&window);
        list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        for (int i = 0; i < items; ++i)
            list->addItem(QString::number(i));
        window.resize(800, 600);
        window.show();
        SetClientWidth(330);
        list->ArrangeItems(true);
    }
    void SetClientWidth(int w)
    {
        const int frame = list->width() - list->viewport()->width();
        list->resize(w + frame, 560);
        QApplication::processEvents();
    }
    QPoint At(int i) { return list->visualItemRect(list->item(i)).topLeft(); }
    void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QKeyEvent e(QEvent::KeyPress, key, mods);
        QApplication::sendEvent(list, &e);
    }
};

}  // namespace

TEST(QwListview, ColumnsFollowTheClientWidth)
{
    Fixture f;
    EXPECT_EQ(f.list->ThumbSize(), 92);
    EXPECT_EQ(f.list->visualItemRect(f.list->item(0)).size(), QSize(100, 108));
    EXPECT_EQ(f.list->Columns(), 3);  // (330 + 10) div 110
    EXPECT_EQ(f.At(4), QPoint(110, 118));
    EXPECT_EQ(f.At(6), QPoint(0, 236));
    f.SetClientWidth(320);
    EXPECT_EQ(f.list->Columns(), 3);  // (320 + 10) div 110
    EXPECT_EQ(f.At(4), QPoint(110, 118));
    f.SetClientWidth(319);
    EXPECT_EQ(f.list->Columns(), 2);
    EXPECT_EQ(f.At(4), QPoint(0, 236));
    f.SetClientWidth(40);
    EXPECT_EQ(f.list->Columns(), 1);  // narrower than a cell: still one column
    EXPECT_EQ(f.At(2), QPoint(0, 236));
}

TEST(QwListview, ResizeWithoutNewColumnCountMovesNothing)
{
    Fixture f;
    f.list->Place(0, QPoint(500, 400));
    f.SetClientWidth(360);
    EXPECT_EQ(f.At(0), QPoint(500, 400));
    f.list->ArrangeItems(false);
    EXPECT_EQ(f.At(0), QPoint(500, 400));
    f.list->ArrangeItems(true);
    EXPECT_EQ(f.At(0), QPoint(0, 0));

    Fixture empty(0);
    empty.list->ArrangeItems(true);
    EXPECT_EQ(empty.list->Columns(), 0);
}

TEST(QwListview, ThumbSizeSetsIconsAndSpacing)
{
    Fixture f;
    f.list->SetThumbSize(48);
    EXPECT_EQ(f.list->iconSize(), QSize(48, 60));
    EXPECT_EQ(f.list->IconSpacing(), QSize(66, 74));
    f.list->ArrangeItems(true);
    EXPECT_EQ(f.list->Columns(), 5);  // (330 + 10) div 66
    EXPECT_EQ(f.At(6), QPoint(66, 74));
}

TEST(QwListview, ArrowKeysCrossRowEnds)
{
    Fixture f;
    f.list->setCurrentRow(3);
    f.Key(Qt::Key_Left);
    EXPECT_EQ(f.list->currentRow(), 2);
    EXPECT_EQ(f.list->selectedItems().size(), 1);
    f.Key(Qt::Key_Right);
    EXPECT_EQ(f.list->currentRow(), 3);
    f.list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    f.Key(Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(f.list->currentRow(), 2);
    EXPECT_EQ(f.list->selectedItems().size(), 2);  // Shift keeps the selection

    f.list->setCurrentRow(0);
    f.Key(Qt::Key_Left);
    EXPECT_EQ(f.list->currentRow(), 0);
    f.list->setCurrentRow(6);
    f.Key(Qt::Key_Right);
    EXPECT_EQ(f.list->currentRow(), 6);
}

TEST(QwListview, ItemsArePaintedByDrawItem)
{
    Fixture f;
    f.list->setCurrentRow(1);
    const QImage shot = f.list->viewport()->grab().toImage();
    ASSERT_FALSE(f.list->sizes.empty());
    for (const QSize& s : f.list->sizes)
        EXPECT_EQ(s, QSize(100, 108));
    EXPECT_EQ(shot.pixel(f.At(4) + QPoint(50, 50)), TColourList::ColourOf(4));
    EXPECT_EQ(shot.pixel(f.At(1) + QPoint(99, 0)), TColourList::ColourOf(1));
    EXPECT_EQ(shot.pixel(f.At(1) + QPoint(0, 107)), qRgb(255, 255, 255));
    EXPECT_EQ(shot.pixel(f.At(0) + QPoint(102, 50)), qRgb(255, 255, 255));  // white background
    bool selectedSeen = false;
    for (TCustomDrawState s : f.list->states)
        selectedSeen |= (s & cdsSelected) != 0;
    EXPECT_TRUE(selectedSeen);
}

TEST(QwListview, DragImageOfTheItemUnderThePoint)
{
    Fixture f;
    QPixmap image;
    QPoint hot;
    const QPoint p = f.At(4) + QPoint(30, 40);
    ASSERT_TRUE(f.list->MakeDragImage(image, p.x(), p.y(), hot));
    EXPECT_EQ(image.size(), QSize(100, 108));
    EXPECT_EQ(hot, QPoint(30, 40));
    const QImage img = image.toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(img.pixel(10, 10), TColourList::ColourOf(4));
    EXPECT_EQ(qAlpha(img.pixel(0, 107)), 0);  // the transparent colour is masked
    EXPECT_FALSE(f.list->MakeDragImage(image, 105, 5, hot));  // between cells
    EXPECT_TRUE(image.isNull());
}

TEST(QwListview, ShortenTextToWidth)
{
    TCanvas canvas;
    canvas.Font().SetName("Arial");
    canvas.Font().SetSize(10);
    const AnsiString text = "Urlaub am Gardasee im Sommer";
    const int full = canvas.TextWidth(text);
    EXPECT_EQ(ShortenTextToWidth(text, canvas, full), text);
    EXPECT_EQ(ShortenTextToWidth("", canvas, 5), "");
    const AnsiString cut = ShortenTextToWidth(text, canvas, full / 2);
    ASSERT_GT(cut.size(), 3u);
    EXPECT_EQ(cut.substr(cut.size() - 3), "...");
    const AnsiString kept = cut.substr(0, cut.size() - 3);
    EXPECT_EQ(text.substr(0, kept.size()), kept);
    EXPECT_LE(canvas.TextWidth(cut), full / 2);
    EXPECT_GT(canvas.TextWidth(text.substr(0, kept.size() + 1) + "..."), full / 2);
    EXPECT_EQ(ShortenTextToWidth(AnsiString("ab\0cd", 5), canvas, 1000), "ab");
}
