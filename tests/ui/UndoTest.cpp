// The undo manager and its items: every kind of change undone restores the
// document byte for byte, merged zoom steps, the focus state, and indices
// that no longer fit the document.
#include "FBPictureElement.h"
#include "PageViewFixture.h"
#include "uUndo.h"
#include "uUndoItems.h"

#include <gtest/gtest.h>
#include <functional>

using namespace pvtest;

namespace {

// A photo book of spreads: four pages of two frames (one with a picture),
// a text box on page 1, a calendar on page 2 and a picture linked across
// the spread of pages 2 and 3.
struct Book {
    TFBDocument Doc;
    TFBPictureElement* Pic[4][2];
    TFBTextElement* Text;
    TFBKalenderElement* Cal;
    Book()
    {
        MakeDocument(Doc, 2, 4);
        for (int p = 0; p < 4; ++p) {
            TFBPage* page = Doc.Pages.GetPage(p);
            Pic[p][0] = AddFrame(page, 60, 75, 100, 80);
            Pic[p][1] = AddFrame(page, 160, 75, 60, 80);
            GivePicture(Pic[p][0], p);
        }
        Text = AddText(Doc.Pages.GetPage(1), 100, 30, 120, 20);
        Cal = AddCalendar(Doc.Pages.GetPage(2), 100, 130, 160, 30);
        Cal->KalenderData->SetJahr(2024);
        TFBPictureLink* link = Doc.AddPictureLink();
        link->AddElement(Pic[2][1]);
        link->AddElement(Pic[3][1]);
        GivePicture(Pic[2][1], 7);
        Pic[3][1]->SetRefIndex(Pic[2][1]->RefIndex);
        GetUndoManager().Clear();
        GetUndoManager().SetUIStateHost(nullptr);
    }
    ~Book() { GetUndoManager().Clear(); }
};

struct KindCase {
    const char* Name;
    const char* ItemClass;
    std::function<void(Book&)> Change;  // records the item, then changes the document
    bool RecordedAfter = false;         // the item is recorded after the change
};

}  // namespace

TEST(UndoManager, EveryItemKindRestoresTheSavedBytes)
{
    TUndoManager& u = GetUndoManager();
    const KindCase cases[] = {
        {"insert picture", "TUndoBildEinfuegen",
         [&](Book& b) {
             u.AddBildEinfuegen(b.Pic[0][1]);
             b.Pic[0][1]->AssignPicture(*b.Pic[1][0]);
         }},
        {"replace picture", "TUndoBildEinfuegen",
         [&](Book& b) {
             u.AddBildEinfuegen(b.Pic[0][0]);
             b.Pic[0][0]->ClearPicture();
             GivePicture(b.Pic[0][0], 9);
         }},
        {"colour area", "TUndoFarbeEinfuegen",
         [&](Book& b) {
             u.AddFarbeEinfuegen(b.Pic[1][0]);
             b.Pic[1][0]->FillWithColor(clRed);
         }},
        {"delete picture", "TUndoBildLoeschen",
         [&](Book& b) {
             u.AddBildLoeschen(b.Pic[3][0]);
             b.Pic[3][0]->ClearPicture();
         }},
        {"delete linked picture", "TUndoBildLoeschen",
         [&](Book& b) {
             u.AddBildLoeschen(b.Pic[2][1]);
             b.Pic[2][1]->ClearPicture();
         }},
        {"turn picture", "TUndoBildDrehen",
         [&](Book& b) {
             u.AddBildDrehen(b.Pic[1][0]);
             b.Pic[1][0]->RotatePicture(2);
         }},
        {"filter picture", "TUndoBildFilter",
         [&](Book& b) {
             u.AddBildFilter(b.Pic[0][0], [&] {
                 b.Pic[0][0]->RotatePicture(1);
                 b.Pic[0][0]->SetZoom(1.5f);
                 return true;
             });
         }},
        {"zoom and pan", "TUndoBildZoomPan",
         [&](Book& b) {
             u.AddBildZoomPan(b.Pic[0][0], false);
             b.Pic[0][0]->SetZoom(2.5f);
             b.Pic[0][0]->SetOffsetX(0.1f);
             b.Pic[0][0]->SetOffsetY(0.9f);
         }},
        {"exchange pictures", "TUndoBildAustauschen",
         [&](Book& b) {
             u.AddBildAustauschen(b.Pic[0][0], b.Pic[1][1]);
             b.Pic[0][0]->SwapPicture(*b.Pic[1][1]);
         }},
        {"frame border", "TUndoBildRahmen",
         [&](Book& b) {
             u.AddBildRahmen(b.Pic[1][0]);
             b.Pic[1][0]->SetBorderWidth(2.5f);
             b.Pic[1][0]->SetBorderColor(clBlue);
         }},
        {"insert screen", "TUndoSeiteEinfuegen",
         [&](Book& b) {
             u.AddSeiteEinfuegen(1);
             b.Doc.InsertScreen(1, 1);
         }},
        {"move screen", "TUndoSeiteVerschieben",
         [&](Book& b) {
             u.AddSeiteVerschieben(0, 1);
             b.Doc.MoveScreen(0, 1);
         }},
        {"delete spread", "TUndoSeiteLoeschen",
         [&](Book& b) {
             u.AddSeiteLoeschen(&b.Doc, 1);
             b.Doc.DeleteScreen(1);
         }},
        {"page layout", "TUndoLayoutEinfuegen",
         [&](Book& b) {
             u.AddLayoutEinfuegen(&b.Doc, 1);
             for (TFBPage* page : {b.Doc.GetLeftPage(1), b.Doc.GetRightPage(1)}) {
                 page->Pictures.Clear();
                 page->Elements.Clear();
                 page->Calendars.Clear();
                 AddFrame(page, 100, 75, 180, 130);
                 page->PageColor = clYellow;
             }
         }},
        {"move element", "TUndoElementSizePos",
         [&](Book& b) {
             u.AddElementSizePos(b.Text);
             b.Text->CenterX += 12;
             b.Text->Width = 40;
             b.Text->Angle = 15;
         }},
        {"move element to the facing page", "TUndoElementSizePos",
         [&](Book& b) {
             AddText(b.Doc.Pages.GetPage(1), 50, 50, 20, 10);  // the text is no longer last
             u.AddElementSizePos(b.Text);
             b.Doc.MoveElementToPage(b.Text, b.Doc.Pages.GetPage(0));
             b.Text->CenterX = 190;
             u.SetElementSizePosDest(b.Text);
         }},
        {"insert element", "TUndoElementEinfuegen",
         [&](Book& b) {
             TFBTextElement* t = AddText(b.Doc.Pages.GetPage(3), 100, 100, 50, 20);
             u.AddElementEinfuegen(t);
         },
         true},
        {"delete element", "TUndoElementLoeschen",
         [&](Book& b) {
             AddText(b.Doc.Pages.GetPage(1), 50, 50, 20, 10);
             u.AddElementLoeschen(b.Text);
             b.Doc.Pages.GetPage(1)->Elements.Remove(b.Text);
         }},
        {"calendar properties", "TUndoKalenderEigenschaften",
         [&](Book& b) {
             u.AddKalenderEigenschaften(b.Cal);
             b.Cal->KalenderData->ShowMonatJahr = false;
             b.Cal->Width = 10;
         }},
        {"calendar properties for all", "TUndoKalenderEigenschaftenFuerAlle",
         [&](Book& b) {
             AddCalendar(b.Doc.Pages.GetPage(3), 100, 130, 160, 30)->KalenderData->SetJahr(2024);
             u.AddKalenderEigenschaftenFuerAlle(&b.Doc);
             TKalenderData data;
             data.ShowMonatJahr = false;
             data.ShowMonatJahrOnBottom = true;
             b.Doc.AssignKalenderDataToAll(data);
         }},
        {"calendar year", "TUndoKalenderJahrSetzen",
         [&](Book& b) {
             u.AddKalenderJahrSetzen(b.Cal);
             b.Doc.SetKalenderJahr(2031);
         }},
        {"page colour", "TUndoSeitenhintergrund",
         [&](Book& b) {
             u.AddSeitenhintergrund(b.Doc.Pages.GetPage(2));
             b.Doc.Pages.GetPage(2)->PageColor = clRed;
         }},
    };
    for (const KindCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Book b;
        // Preparations inside Change come before the recording: the document
        // is taken as the item is recorded, through the focus-state hook.
        std::vector<uint8_t> before;
        if (c.RecordedAfter)
            before = SavedBytes(b.Doc);
        const int itemsBefore = u.Count();
        struct THost : TUndoUIStateHost {
            Book* B;
            std::vector<uint8_t>* Out;
            void SaveUIState(TCustomDataFile&, const AnsiString&) override
            {
                if (Out->empty())
                    *Out = SavedBytes(B->Doc);
            }
            void RestoreUIState(TCustomDataFile&, const AnsiString&) override {}
        } host;
        host.B = &b;
        host.Out = &before;
        u.SetUIStateHost(&host);
        c.Change(b);
        u.SetUIStateHost(nullptr);
        ASSERT_EQ(u.Count(), itemsBefore + 1);
        EXPECT_STREQ(u.Last()->ClassName(), c.ItemClass);
        ASSERT_FALSE(before.empty());
        EXPECT_FALSE(SavedBytes(b.Doc) == before) << "the change changed nothing";
        u.Undo(b.Doc);
        EXPECT_EQ(u.Count(), itemsBefore);
        EXPECT_SAME_DOCUMENT(SavedBytes(b.Doc), before);
    }
}

TEST(UndoManager, RestoredPicturesKeepTheirReferences)
{
    Book b;
    TUndoManager& u = GetUndoManager();
    const int32_t ref = b.Pic[3][0]->RefIndex;
    u.AddBildLoeschen(b.Pic[3][0]);
    b.Pic[3][0]->ClearPicture();
    ASSERT_EQ(BildManager().FindItem(ref), nullptr);  // its only reference is gone
    u.Undo(b.Doc);
    ASSERT_TRUE(b.Pic[3][0]->HasPicture());
    TBildManagerListItem* item = BildManager().FindItem(b.Pic[3][0]->RefIndex);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->RefCount, 1);
    ASSERT_NE(b.Pic[3][0]->GetBitmap(), nullptr);
    // An empty frame filled and undone stays empty and holds nothing.
    const int count = BildManager().Count();
    u.AddBildEinfuegen(b.Pic[0][1]);
    GivePicture(b.Pic[0][1], 3);
    u.Undo(b.Doc);
    EXPECT_FALSE(b.Pic[0][1]->HasPicture());
    EXPECT_EQ(BildManager().Count(), count);
}

TEST(UndoManager, SpreadDeleteRestoresPagesAndLinks)
{
    Book b;
    const std::vector<uint8_t> before = SavedBytes(b.Doc);
    GetUndoManager().AddSeiteLoeschen(&b.Doc, 1);
    b.Doc.DeleteScreen(1);
    ASSERT_EQ(b.Doc.Pages.Count(), 2);
    EXPECT_EQ(b.Doc.PictureLinkCount(), 0);  // the linked frames went with their pages
    GetUndoManager().Undo(b.Doc);
    ASSERT_EQ(b.Doc.Pages.Count(), 4);
    ASSERT_EQ(b.Doc.PictureLinkCount(), 1);
    const TFBPictureLink* link = b.Doc.GetPictureLink(0);
    ASSERT_EQ(link->Count(), 2);
    EXPECT_EQ(link->GetItem(0), b.Doc.Pages.GetPage(2)->Pictures.GetItem(1));
    EXPECT_EQ(link->GetItem(1), b.Doc.Pages.GetPage(3)->Pictures.GetItem(1));
    EXPECT_SAME_DOCUMENT(SavedBytes(b.Doc), before);
}

TEST(UndoManager, EmptyStackAndDropLast)
{
    Book b;
    TUndoManager& u = GetUndoManager();
    const std::vector<uint8_t> before = SavedBytes(b.Doc);
    EXPECT_FALSE(u.CanUndo());
    u.Undo(b.Doc);
    EXPECT_SAME_DOCUMENT(SavedBytes(b.Doc), before);
    u.AddSeitenhintergrund(b.Doc.Pages.GetPage(0));
    EXPECT_TRUE(u.CanUndo());
    u.DropLast();
    EXPECT_FALSE(u.CanUndo());
    u.DropLast();
    // A filter that was cancelled or failed records nothing.
    EXPECT_FALSE(u.AddBildFilter(b.Pic[0][0], [] { return false; }));
    EXPECT_THROW(u.AddBildFilter(b.Pic[0][0], []() -> bool { throw Exception("failed"); }), Exception);
    EXPECT_FALSE(u.CanUndo());
    u.AddSeitenhintergrund(b.Doc.Pages.GetPage(0));
    u.AddSeitenhintergrund(b.Doc.Pages.GetPage(1));
    u.Clear();
    EXPECT_EQ(u.Count(), 0);
}

TEST(UndoManager, ZoomStepsMergeOnOnePicture)
{
    Book b;
    TUndoManager& u = GetUndoManager();
    TFBPictureElement* a = b.Pic[0][0];
    TFBPictureElement* c = b.Pic[1][0];
    u.AddBildZoomPan(a, true);  // empty stack: added
    EXPECT_EQ(u.Count(), 1);
    a->SetZoom(1.2f);
    u.AddBildZoomPan(a, true);
    a->SetZoom(1.4f);
    EXPECT_EQ(u.Count(), 1);
    u.AddBildZoomPan(c, true);  // another picture in between
    c->SetZoom(2);
    u.AddBildZoomPan(a, true);
    a->SetZoom(3);
    EXPECT_EQ(u.Count(), 3);
    u.AddBildZoomPan(a, false);  // without merge always a new item
    EXPECT_EQ(u.Count(), 4);
    u.DropLast();
    u.Undo(b.Doc);
    EXPECT_FLOAT_EQ(a->Zoom, 1.4f);
    u.Undo(b.Doc);
    EXPECT_FLOAT_EQ(c->Zoom, 1.0f);
    u.Undo(b.Doc);
    EXPECT_FLOAT_EQ(a->Zoom, 1.0f);
}

TEST(UndoManager, SizePosDestCompletesOnlyTheNewestSizePosItem)
{
    Book b;
    TUndoManager& u = GetUndoManager();
    u.SetElementSizePosDest(b.Text);  // empty stack: nothing
    u.AddSeitenhintergrund(b.Doc.Pages.GetPage(0));
    u.SetElementSizePosDest(b.Text);
    EXPECT_EQ(u.Last()->Data().ReadInteger("", "DestPageIndex", -1), -1);
    u.AddElementSizePos(b.Text);
    u.SetElementSizePosDest(b.Text);
    EXPECT_EQ(u.Last()->Data().ReadInteger("", "DestPageIndex", -1), 1);
    EXPECT_EQ(u.Last()->Data().ReadInteger("", "DestElemIndex", -1), 0);
}

TEST(UndoItems, IndicesThatNoLongerFitDoNothing)
{
    // Items recorded on one document and undone on a smaller one.
    Book big;
    TFBDocument small;
    MakeDocument(small, 2, 2);
    AddFrame(small.Pages.GetPage(0), 60, 75, 100, 80);
    const std::vector<uint8_t> before = SavedBytes(small);
    std::vector<std::unique_ptr<TUndoItem>> items;
    items.push_back(std::make_unique<TUndoBildEinfuegen>(big.Pic[3][0]));
    items.push_back(std::make_unique<TUndoBildLoeschen>(big.Pic[0][1]));  // picture 1 of page 0
    items.push_back(std::make_unique<TUndoBildZoomPan>(big.Pic[2][0]));
    items.push_back(std::make_unique<TUndoBildAustauschen>(big.Pic[0][0], big.Pic[3][1]));
    items.push_back(std::make_unique<TUndoBildRahmen>(big.Pic[3][1]));
    items.push_back(std::make_unique<TUndoSeiteEinfuegen>(5));
    items.push_back(std::make_unique<TUndoSeiteVerschieben>(0, 3));
    items.push_back(std::make_unique<TUndoElementSizePos>(big.Text));  // page 1 has no element
    items.push_back(std::make_unique<TUndoElementEinfuegen>(big.Text));
    items.push_back(std::make_unique<TUndoKalenderEigenschaften>(big.Cal));
    items.push_back(std::make_unique<TUndoKalenderEigenschaftenFuerAlle>(&big.Doc));
    items.push_back(std::make_unique<TUndoSeitenhintergrund>(big.Doc.Pages.GetPage(3)));
    items.push_back(std::make_unique<TUndoLayoutEinfuegen>(&big.Doc, 4));
    for (auto& item : items) {
        SCOPED_TRACE(item->ClassName());
        item->Undo(small);
        EXPECT_SAME_DOCUMENT(SavedBytes(small), before);
    }
    // A deleted spread whose place lies beyond the pages: neither its pages
    // nor its picture links come back, not even as empty links.
    TUndoSeiteLoeschen spread(&big.Doc, 1);
    TFBDocument none;
    none.ScreenMode = 2;
    spread.Undo(none);
    EXPECT_EQ(none.Pages.Count(), 0);
    EXPECT_EQ(none.PictureLinkCount(), 0);
}

TEST(UndoItems, ElementDeleteWithoutClassNameUndoesNothing)
{
    Book b;
    TUndoElementLoeschen item(b.Text);
    // The same keys but an element section without "Classname".
    TUndoItem bare;
    bare.Data().WriteInteger("", "PageIndex", 1);
    bare.Data().WriteInteger("", "ElemIndex", 0);
    bare.Data().WriteFloat("Element", "Width", 10);
    // TUndoElementLoeschen reads only what its data file holds: copy the bare
    // bytes into a fresh item of the class.
    TUndoElementLoeschen copy(b.Text);
    copy.Stream().Clear();
    bare.Stream().SetPosition(0);
    copy.Stream().CopyFrom(bare.Stream(), 0);
    b.Doc.Pages.GetPage(1)->Elements.Remove(b.Text);
    copy.Undo(b.Doc);
    EXPECT_EQ(b.Doc.Pages.GetPage(1)->Elements.Count(), 0);
    item.Undo(b.Doc);  // the real copy restores it
    EXPECT_EQ(b.Doc.Pages.GetPage(1)->Elements.Count(), 1);
}

TEST(UndoItems, CalendarYearIsRestoredOnEveryCalendar)
{
    Book b;
    TFBKalenderElement* other = AddCalendar(b.Doc.Pages.GetPage(0), 100, 130, 160, 30);
    other->KalenderData->SetJahr(2024);
    GetUndoManager().AddKalenderJahrSetzen(b.Cal);
    b.Doc.SetKalenderJahr(2030);
    other->KalenderData->SetJahr(2019);  // even one changed otherwise
    GetUndoManager().Undo(b.Doc);
    EXPECT_EQ(b.Cal->KalenderData->Jahr(), 2024);
    EXPECT_EQ(other->KalenderData->Jahr(), 2024);
}
