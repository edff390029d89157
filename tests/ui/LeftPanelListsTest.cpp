#include "Classes.h"
#include "FBildRahmen.h"
#include "Graphics.h"
#include "QwColorPopupButton.h"
#include "uFotobuchPresets.h"
#include "uLeftPanelLists.h"
#include "uModalDialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QScrollBar>
#include <memory>

namespace {

template <class TList>
struct ListFixture {
    QWidget window;
    TList* list;
    explicit ListFixture(int Width = 240)
    {
        list = new TList(&window);
        list->resize(Width, 600);
        window.resize(Width + 20, 620);
        window.show();
        QApplication::processEvents();
    }
    QRect Bounds(int i) const { return list->visualItemRect(list->item(i)); }
    QImage Shot() const { return list->viewport()->grab().toImage(); }
};

}  // namespace

TEST(PageTemplateListview, HoldsEveryBuiltInTemplateInOrder)
{
    ListFixture<TPageTemplateListview> f;
    TFBPageTemplateList all;
    FillPageTemplateList(all, AllLayoutTypen, 0);
    ASSERT_FALSE(all.empty());
    ASSERT_EQ(f.list->Templates.size(), all.size());
    ASSERT_EQ(f.list->count(), int(all.size()));
    for (int i = 0; i < f.list->count(); ++i) {
        const TFBPageTemplate* t = f.list->TemplateOf(f.list->item(i));
        ASSERT_EQ(t, f.list->Templates[size_t(i)].get());
        EXPECT_EQ(t->Name, all[size_t(i)]->Name);
    }
    EXPECT_EQ(f.list->ThumbSize(), 92);

    // The cells widen so that the names show whole.
    for (int i = 0; i < f.list->count(); ++i)
        EXPECT_EQ(f.list->item(i)->text(), fromAnsi(all[size_t(i)]->Name));
    EXPECT_GT(f.list->LabelWidth(), 92);

    // Refilled from a changed list: a name wider than twice the thumbnail is cut.
    f.list->Templates.resize(2);
    f.list->Templates[1]->Name = "ein sehr langer Name einer Seitenvorlage mit Bildern";
    f.list->Fill();
    ASSERT_EQ(f.list->count(), 2);
    const QString caption = f.list->item(1)->text();
    EXPECT_TRUE(caption.endsWith("..."));
    EXPECT_LE(f.list->fontMetrics().horizontalAdvance(caption), 2 * 92 + 2);

    f.list->Templates.clear();
    f.list->Fill();
    EXPECT_EQ(f.list->count(), 0);
}

TEST(PageTemplateListview, SelectedTemplateShowsTheHighlightAroundItsMiniature)
{
    ListFixture<TPageTemplateListview> f;
    ASSERT_GE(f.list->count(), 2);
    f.list->setCurrentRow(1);
    const QImage shot = f.Shot();
    const QRect icon = f.list->IconRect();
    const QRgb style0 = toQColor(f.list->TemplateOf(f.list->item(0))->GetStyleColor()).rgb();
    // The ring between the icon's edge and the miniature.
    EXPECT_EQ(shot.pixel(f.Bounds(1).topLeft() + icon.topLeft() + QPoint(3, 3)), toQColor(clHighlight).rgb());
    EXPECT_EQ(shot.pixel(f.Bounds(0).topLeft() + icon.topLeft() + QPoint(3, 3)), style0);
    // Beside the icon the item shows its style colour, whether selected or not.
    EXPECT_EQ(shot.pixel(f.Bounds(0).topLeft() + f.list->LabelRect().bottomRight()), style0);
    // The miniature: white pages with grey frames inside the shrunk icon.
    bool white = false, grey = false;
    const QRect preview = icon.adjusted(8, 8, -8, -8).translated(f.Bounds(0).topLeft());
    for (int y = preview.top(); y <= preview.bottom(); ++y)
        for (int x = preview.left(); x <= preview.right(); ++x) {
            white |= shot.pixel(x, y) == qRgb(255, 255, 255);
            grey |= shot.pixel(x, y) == qRgb(0x80, 0x80, 0x80);
        }
    EXPECT_TRUE(white);
    EXPECT_TRUE(grey);
}

TEST(ColorListView, SwatchesOfPresetAndOwnColour)
{
    ListFixture<TColorListView> f;
    EXPECT_EQ(f.list->ThumbSize(), 48);
    TFBColorList presets;
    FillColorList(presets);
    ASSERT_EQ(f.list->count(), int(presets.size()));
    int own = -1;
    for (int i = 0; i < f.list->count(); ++i) {
        EXPECT_EQ(f.list->ColorOf(f.list->item(i)), f.list->Colors[size_t(i)].get());
        if (f.list->Colors[size_t(i)]->Color < 0)
            own = i;
    }
    ASSERT_GE(own, 0);
    EXPECT_EQ(f.list->Colors[size_t(own)]->Name, "Eigene Farbe");

    const QImage shot = f.Shot();
    const QRect swatch = f.list->IconRect().adjusted(8, 8, -8, -8);
    // A preset colour fills its swatch inside a grey frame.
    const QPoint at0 = f.Bounds(0).topLeft() + swatch.topLeft();
    EXPECT_EQ(shot.pixel(at0 + QPoint(swatch.width() / 2, 3)), toQColor(f.list->Colors[0]->Color).rgb());
    EXPECT_EQ(shot.pixel(at0), qRgb(0x80, 0x80, 0x80));
    // The user's own colour: white, crossed by both diagonals.
    const QPoint at = f.Bounds(own).topLeft() + swatch.topLeft();
    EXPECT_EQ(shot.pixel(at + QPoint(swatch.width() / 2, 2)), qRgb(255, 255, 255));
    const auto onDiagonal = [&](int X, bool Falling) {
        const int y = (Falling ? X : swatch.width() - 1 - X) * (swatch.height() - 1) / (swatch.width() - 1);
        for (int dy = -1; dy <= 1; ++dy)
            if (shot.pixel(at + QPoint(X, y + dy)) == qRgb(0x80, 0x80, 0x80))
                return true;
        return false;
    };
    for (int x : {5, 12, swatch.width() - 6}) {
        EXPECT_TRUE(onDiagonal(x, true)) << x;
        EXPECT_TRUE(onDiagonal(x, false)) << x;
    }

    // A selected item's icon turns to the highlight colour around the swatch.
    f.list->setCurrentRow(own);
    EXPECT_EQ(f.Shot().pixel(f.Bounds(own).topLeft() + QPoint(2, 2)), toQColor(clHighlight).rgb());

    f.list->Colors.erase(f.list->Colors.begin());
    f.list->SyncListviewItems();
    EXPECT_EQ(f.list->count(), int(presets.size()) - 1);
}

TEST(ColorListView, CaptionsShowTheWholeNames)
{
    ListFixture<TColorListView> f;
    const QFontMetrics metrics(f.list->font());
    int widest = 0;
    for (int i = 0; i < f.list->count(); ++i) {
        EXPECT_EQ(f.list->item(i)->text(), fromAnsi(f.list->Colors[size_t(i)]->Name)) << i;
        widest = std::max(widest, metrics.horizontalAdvance(f.list->item(i)->text()));
    }
    EXPECT_GE(f.list->LabelRect().width(), widest);
    EXPECT_EQ(f.list->LabelRect().width(), f.Bounds(0).width());
    // A name beyond twice the thumbnail size is still cut.
    f.list->Colors[0]->Name = "ein sehr langer Name einer Farbe";
    f.list->SyncListviewItems();
    EXPECT_TRUE(f.list->item(0)->text().endsWith("..."));
    EXPECT_LE(f.list->LabelWidth(), 2 * f.list->ThumbSize());
}

TEST(BildRahmen, OffersTheBorderWidths)
{
    std::unique_ptr<TBildRahmen> dlg(TLocalizerForm::create<TBildRahmen>(nullptr));
    EXPECT_EQ(dlg->size(), QSize(264, 157));
    QStringList items;
    for (int i = 0; i < dlg->cbDicke->count(); ++i)
        items << dlg->cbDicke->itemText(i);
    EXPECT_EQ(items, QStringList({"-ohne-", "0,18 mm", "0,25 mm", "0,35 mm", "0,50 mm", "0,70 mm",
                                  "1,00 mm", "2,00 mm", "5,00 mm"}));
    EXPECT_EQ(dlg->ColorButton->pos(), dlg->shRahmenColor->pos());
    EXPECT_FALSE(dlg->ColorButton->Flat());
    EXPECT_EQ(dlg->ColorButton->ColorPopupOptions(), cpDefColor | cpCustColor | cpMoreColor);
}

TEST(BildRahmen, SetWidthSelectsTheEntryOfThatText)
{
    std::unique_ptr<TBildRahmen> dlg(TLocalizerForm::create<TBildRahmen>(nullptr));
    struct Case {
        double width;
        QString text;  // empty: nothing selected
        double got;
    } cases[] = {
        {0.35, "0,35 mm", 0.35}, {0.4, "", 0}, {0, "-ohne-", 0}, {5.0, "5,00 mm", 5.0},
        {0.18, "0,18 mm", 0.18}, {-1, "", 0},
    };
    for (const Case& c : cases) {
        dlg->SetWidth(c.width);
        EXPECT_EQ(dlg->cbDicke->currentText(), c.text) << c.width;
        EXPECT_EQ(dlg->cbDicke->currentIndex() < 0, c.text.isEmpty()) << c.width;
        EXPECT_DOUBLE_EQ(dlg->GetWidth(), c.got) << c.width;
    }
}

TEST(BildRahmen, OkAndCancelReturnTheirResults)
{
    for (auto [button, result] : {std::pair{0, 1}, std::pair{1, 2}}) {
        std::unique_ptr<TBildRahmen> dlg(TLocalizerForm::create<TBildRahmen>(nullptr));
        dlg->SetColor(0x0000FF);
        dlg->SetWidth(0.7);
        ShowModalHook = [button = button](QDialog& D) {
            auto& frame = static_cast<TBildRahmen&>(D);
            (button == 0 ? frame.BtnOK : frame.BtnAbbrechen)->click();
            return D.result();
        };
        EXPECT_EQ(ShowModalDialog(*dlg), result);
        ShowModalHook = nullptr;
        EXPECT_EQ(dlg->GetColor(), 0x0000FF);
        EXPECT_DOUBLE_EQ(dlg->GetWidth(), 0.7);
    }
}

TEST(BildRahmen, FollowsTheLanguageAndKeepsTheChosenWidth)
{
    std::unique_ptr<TBildRahmen> dlg(TLocalizerForm::create<TBildRahmen>(nullptr));
    dlg->SetWidth(0.5);
    Localizer().SetLanguage(1);
    EXPECT_EQ(dlg->windowTitle(), "Picture frame");
    EXPECT_EQ(dlg->BtnAbbrechen->text(), "Cancel");
    EXPECT_EQ(dlg->cbDicke->itemText(0), "-none-");
    EXPECT_DOUBLE_EQ(dlg->GetWidth(), 0.5);
    Localizer().SetLanguage(0);
    EXPECT_EQ(dlg->cbDicke->itemText(0), "-ohne-");
    EXPECT_EQ(dlg->BtnAbbrechen->text(), "Abbrechen");
}
TEST(PageTemplateListview, ScrollsNoFurtherThanItsItems)
{
    ListFixture<TPageTemplateListview> f(400);  // two columns of whole names
    f.list->resize(400, 300);
    QApplication::processEvents();
    f.list->ArrangeItems(true);
    QApplication::processEvents();
    const int count = f.list->count();
    ASSERT_GT(count, 4);
    QRect items;
    for (int i = 0; i < count; ++i)
        items |= f.Bounds(i).translated(0, f.list->verticalScrollBar()->value());
    const int needed = items.bottom() + 1 + 10 - f.list->viewport()->height();
    EXPECT_GT(f.list->Columns(), 1);
    EXPECT_LE(f.list->verticalScrollBar()->maximum(), std::max(0, needed));
    EXPECT_GE(f.list->verticalScrollBar()->maximum(), needed - 10);
}
