#include "uLeftPanelLists.h"

#include "Canvas.h"
#include "Graphics.h"
#include "WaitCursor.h"
#include "uDebug.h"
#include "uFotobuchPresets.h"

#include <QFontInfo>
#include <QPainter>
#include <algorithm>

namespace {

QColor Colour(TColor Color)
{
    return toQColor(Color);
}

// Rebuilds the items of List from Entries (each with a Name); an item's
// caption is the name cut to the label width, its data the entry. With
// FitCaptions the cells widen (up to twice the thumbnail size) so that the
// names show whole.
template <class TEntries>
void FillNamedItems(TQwListview& List, const TEntries& Entries, bool FitCaptions)
{
    TWaitCursor wait;
    TBitmap measure;
    TCanvas& canvas = measure.Canvas();
    canvas.Font().SetName(toAnsi(QFontInfo(List.font()).family()));
    canvas.Font().SetHeight(-QFontInfo(List.font()).pixelSize());
    List.setUpdatesEnabled(false);
    List.clear();
    if (FitCaptions) {
        int widest = 0;
        for (const auto& entry : Entries)
            widest = std::max(widest, canvas.TextWidth(entry->Name));
        List.SetLabelWidth(std::min(widest, 2 * List.ThumbSize()));
    }
    for (const auto& entry : Entries) {
        auto* item = new QListWidgetItem(fromAnsi(ShortenTextToWidth(entry->Name, canvas, List.LabelWidth())), &List);
        item->setData(Qt::UserRole, QVariant::fromValue<quintptr>(quintptr(entry.get())));
    }
    if (List.count() > 0)
        List.UpdateIconSpacing();
    List.ArrangeItems(true);
    List.setUpdatesEnabled(true);
    List.viewport()->update();
}

template <class T>
T* EntryOf(const QListWidgetItem* Item)
{
    return Item ? reinterpret_cast<T*>(Item->data(Qt::UserRole).value<quintptr>()) : nullptr;
}

// The caption at the label's top left, transparent, in the window-text colour.
void DrawCaption(QPainter& Painter, const TQwListview& List, const QListWidgetItem* Item)
{
    Painter.setFont(List.font());
    Painter.setPen(Colour(clWindowText));
    Painter.drawText(List.LabelRect(), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, Item->text());
}

void DrawFocusRect(QPainter& Painter, const QRect& R)
{
    Painter.setBrush(Qt::NoBrush);
    Painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
    Painter.drawRect(R.adjusted(0, 0, -1, -1));
}

}  // namespace

// ---- page templates ------------------------------------------------------------------------

TPageTemplateListview::TPageTemplateListview(QWidget* Parent)
    : TQwListview(Parent), FBitmap(std::make_unique<TBitmap>())
{
    setObjectName(QStringLiteral("PageTemplateListview"));
    // The items are always arranged to the width of the list.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FillPageTemplateList(Templates, AllLayoutTypen, 0);
    Fill();
}

TPageTemplateListview::~TPageTemplateListview() = default;

void TPageTemplateListview::Fill()
{
    FillNamedItems(*this, Templates, true);
}

TFBPageTemplate* TPageTemplateListview::TemplateOf(const QListWidgetItem* Item) const
{
    return EntryOf<TFBPageTemplate>(Item);
}

void TPageTemplateListview::DrawItem(QListWidgetItem* Item, QImage& Bitmap, TCustomDrawState State)
{
    const TFBPageTemplate* pageTemplate = TemplateOf(Item);
    if (!pageTemplate)
        return;
    const QColor style = Colour(pageTemplate->GetStyleColor());
    FBitmap->SetSize(Bitmap.width(), Bitmap.height());
    const QRect icon = IconRect();
    const QRect preview = icon.adjusted(8, 8, -8, -8);
    {
        QPainter p(&FBitmap->Image());
        p.fillRect(FBitmap->Image().rect(), palette().color(QPalette::Base));
        p.fillRect(FBitmap->Image().rect(), style);
        p.fillRect(icon, (State & cdsSelected) ? Colour(clHighlight) : style);
    }
    pageTemplate->DrawPreview(*FBitmap, Rect(preview.left(), preview.top(), preview.right() + 1, preview.bottom() + 1));
    {
        QPainter p(&FBitmap->Image());
        DrawCaption(p, *this, Item);
        if (State & cdsFocused)
            DrawFocusRect(p, preview);
    }
    Bitmap = FBitmap->Image().copy();
}

// ---- colours -------------------------------------------------------------------------------

TColorListView::TColorListView(QWidget* Parent) : TQwListview(Parent)
{
    setObjectName(QStringLiteral("ColorListView"));
    // The items are always arranged to the width of the list.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    SetThumbSize(48);
    FillColorList(Colors);
    SyncListviewItems();
}

void TColorListView::SyncListviewItems()
{
    Debug().Log("TColorListView.SyncListviewItems");
    FillNamedItems(*this, Colors, true);
}

TFBColor* TColorListView::ColorOf(const QListWidgetItem* Item) const
{
    return EntryOf<TFBColor>(Item);
}

void TColorListView::DrawItem(QListWidgetItem* Item, QImage& Bitmap, TCustomDrawState State)
{
    const TFBColor* entry = ColorOf(Item);
    if (!entry)
        return;
    QPainter p(&Bitmap);
    p.fillRect(Bitmap.rect(), palette().color(QPalette::Base));
    const QRect icon = IconRect();
    if (State & cdsSelected)
        p.fillRect(icon, Colour(clHighlight));
    const QRect swatch = icon.adjusted(8, 8, -8, -8);
    p.setPen(QColor(0x80, 0x80, 0x80));
    if (entry->Color >= 0) {
        p.setBrush(Colour(entry->Color));
        p.drawRect(swatch.adjusted(0, 0, -1, -1));
    } else {
        // The user's own colour: a white swatch crossed out.
        p.setBrush(Qt::white);
        p.drawRect(swatch.adjusted(0, 0, -1, -1));
        p.drawLine(swatch.topLeft(), swatch.bottomRight());
        p.drawLine(swatch.topRight(), swatch.bottomLeft());
    }
    DrawCaption(p, *this, Item);
    if (State & cdsFocused)
        DrawFocusRect(p, swatch);
}
