#include "uUndoItems.h"

#include "FBPictureElement.h"
#include "SysUtils.h"
#include "uFotobuchBildManager.h"
#include "uFotobuchDocument.h"
#include "uKalender.h"

namespace {

const AnsiString Root = "";

TFBPage* PageAt(TFBDocument& Document, int Index)
{
    return Index >= 0 && Index < Document.Pages.Count() ? Document.Pages.GetPage(Index) : nullptr;
}

// The element at the list index of the page at the page index; null when
// either index does not fit the document.
TFBElement* ElementAt(TFBDocument& Document, int PageIndex, TFBElementList TFBPage::*List,
                      int ElementIndex)
{
    TFBPage* page = PageAt(Document, PageIndex);
    if (!page)
        return nullptr;
    const TFBElementList& list = page->*List;
    return ElementIndex >= 0 && ElementIndex < list.Count() ? list.GetItem(ElementIndex) : nullptr;
}

// Looks the element up by the page key and the index key of the root section.
TFBElement* FindElement(TCustomDataFile& Data, TFBDocument& Document, const AnsiString& PageKey,
                        const AnsiString& IndexKey, TFBElementList TFBPage::*List)
{
    return ElementAt(Document, Data.ReadInteger(Root, PageKey, -1), List,
                     Data.ReadInteger(Root, IndexKey, -1));
}

TFBPictureElement* FindPicture(TCustomDataFile& Data, TFBDocument& Document,
                               const AnsiString& PageKey = "PageIndex",
                               const AnsiString& IndexKey = "PicIndex")
{
    return dynamic_cast<TFBPictureElement*>(
        FindElement(Data, Document, PageKey, IndexKey, &TFBPage::Pictures));
}

void WriteAddress(TCustomDataFile& Data, const TFBElement* Element, const AnsiString& PageKey,
                  const AnsiString& IndexKey)
{
    Data.WriteInteger(Root, PageKey, Element->Page ? Element->Page->GetIndex() : -1);
    Data.WriteInteger(Root, IndexKey, Element->IndexInPage());
}

// A loaded picture element refers to a picture it holds no reference to:
// the picture entry of Section goes back into the picture manager (which
// keeps an equal picture it already holds) and the element takes one
// reference to it. A picture that comes back anew gets its former index when
// that is free, so the document reads exactly as before.
void RestorePictureReference(TFBPictureElement& Element, TCustomDataFile& Data,
                             const AnsiString& Section)
{
    if (!Element.HasPicture())
        return;
    const int32_t stored = Element.RefIndex;
    Element.RefIndex = -1;
    TBildmanager& manager = BildManager();
    int32_t index = manager.AddItemFromDataFile(Data, Section);
    TBildManagerListItem* item = manager.FindItem(index);
    if (item && item->RefCount == 0 && index != stored && stored >= 0 && !manager.FindItem(stored)) {
        item->RefIndex = stored;
        index = stored;
    }
    Element.SetRefIndex(index);
}

AnsiString PicsSection(const AnsiString& Prefix, int Index)
{
    return Format("%s/%d", {Prefix, Index});
}

void SavePagePictures(TCustomDataFile& Data, const TFBPage& Page, const AnsiString& Prefix)
{
    for (int i = 0; i < Page.Pictures.Count(); ++i) {
        auto* e = static_cast<TFBPictureElement*>(Page.Pictures.GetItem(i));
        if (e->HasPicture())
            BildManager().SaveItemToDataFile(Data, PicsSection(Prefix, i), e->RefIndex);
    }
}

void RestorePagePictures(TCustomDataFile& Data, TFBPage& Page, const AnsiString& Prefix)
{
    for (int i = 0; i < Page.Pictures.Count(); ++i)
        if (auto* e = dynamic_cast<TFBPictureElement*>(Page.Pictures.GetItem(i)))
            RestorePictureReference(*e, Data, PicsSection(Prefix, i));
}

bool LinkTouches(const TFBPictureLink& Link, const TFBPage* Left, const TFBPage* Right)
{
    for (const TFBPictureElement* e : Link.Elements)
        if (e->Page && (e->Page == Left || e->Page == Right))
            return true;
    return false;
}

}  // namespace

// ---- pictures ------------------------------------------------------------------------------

TUndoBildEinfuegen::TUndoBildEinfuegen(TFBPictureElement* Element)
{
    WriteAddress(Data(), Element, "PageIndex", "PicIndex");
    Element->SaveToDataFile(Data(), "PicElement");
    if (Element->HasPicture())
        BildManager().SaveItemToDataFile(Data(), "Bild", Element->RefIndex);
}

void TUndoBildEinfuegen::Undo(TFBDocument& Document)
{
    TFBPictureElement* e = FindPicture(Data(), Document);
    if (!e)
        return;
    e->ClearPicture();
    e->LoadFromDataFile(Data(), "PicElement");
    RestorePictureReference(*e, Data(), "Bild");
    if (e->Link)
        e->Link->UpdateLinkedElements(e);
}

TUndoBildZoomPan::TUndoBildZoomPan(TFBPictureElement* Element)
{
    WriteAddress(Data(), Element, "PageIndex", "PicIndex");
    Data().WriteFloat(Root, "Zoom", Element->Zoom);
    Data().WriteFloat(Root, "OffsetX", Element->OffsetX);
    Data().WriteFloat(Root, "OffsetY", Element->OffsetY);
}

bool TUndoBildZoomPan::Designates(TFBPictureElement* Element)
{
    TFBDocument* doc = Element ? Element->GetDocument() : nullptr;
    return doc && FindPicture(Data(), *doc) == Element;
}

void TUndoBildZoomPan::Undo(TFBDocument& Document)
{
    TFBPictureElement* e = FindPicture(Data(), Document);
    if (!e)
        return;
    e->SetZoom(float(Data().ReadFloat(Root, "Zoom", 1.0)));
    e->SetOffsetX(float(Data().ReadFloat(Root, "OffsetX", 0.5)));
    e->SetOffsetY(float(Data().ReadFloat(Root, "OffsetY", 0.5)));
}

TUndoBildAustauschen::TUndoBildAustauschen(TFBPictureElement* Source, TFBPictureElement* Dest)
{
    WriteAddress(Data(), Source, "SrcPageIndex", "SrcPicIndex");
    WriteAddress(Data(), Dest, "DestPageIndex", "DestPicIndex");
}

void TUndoBildAustauschen::Undo(TFBDocument& Document)
{
    TFBPictureElement* src = FindPicture(Data(), Document, "SrcPageIndex", "SrcPicIndex");
    TFBPictureElement* dest = FindPicture(Data(), Document, "DestPageIndex", "DestPicIndex");
    if (src && dest)
        src->SwapPicture(*dest);
}

TUndoBildRahmen::TUndoBildRahmen(TFBPictureElement* Element)
{
    WriteAddress(Data(), Element, "PageIndex", "PicIndex");
    Data().WriteInteger(Root, "BorderColor", Element->BorderColor);
    Data().WriteFloat(Root, "BorderWidth", Element->BorderWidth);
}

void TUndoBildRahmen::Undo(TFBDocument& Document)
{
    TFBPictureElement* e = FindPicture(Data(), Document);
    if (!e)
        return;
    e->SetBorderColor(Data().ReadInteger(Root, "BorderColor", e->BorderColor));
    e->SetBorderWidth(float(Data().ReadFloat(Root, "BorderWidth", e->BorderWidth)));
}

// ---- screens -------------------------------------------------------------------------------

TUndoSeiteEinfuegen::TUndoSeiteEinfuegen(int ScreenIndex)
{
    Data().WriteInteger(Root, "NewPageIndex", ScreenIndex);
}

void TUndoSeiteEinfuegen::Undo(TFBDocument& Document)
{
    const int screen = Data().ReadInteger(Root, "NewPageIndex", -1);
    if (screen >= 0 && screen < Document.GetScreenCount())
        Document.DeleteScreen(screen);
}

TUndoSeiteVerschieben::TUndoSeiteVerschieben(int SourceIndex, int DestIndex)
{
    Data().WriteInteger(Root, "SrcIndex", SourceIndex);
    Data().WriteInteger(Root, "DestIndex", DestIndex);
}

void TUndoSeiteVerschieben::Undo(TFBDocument& Document)
{
    const int src = Data().ReadInteger(Root, "SrcIndex", -1);
    const int dest = Data().ReadInteger(Root, "DestIndex", -1);
    const int count = Document.GetScreenCount();
    if (src >= 0 && src < count && dest >= 0 && dest < count)
        Document.MoveScreen(dest, src);
}

TUndoScreenCopy::TUndoScreenCopy(TFBDocument* Document, int ScreenIndex)
{
    TCustomDataFile& d = Data();
    d.WriteInteger(Root, "ViewIndex", ScreenIndex);
    TFBPage* left = Document->GetLeftPage(ScreenIndex);
    TFBPage* right = Document->GetRightPage(ScreenIndex);
    if (left) {
        d.WriteBool(Root, "HasLeftPage", true);
        left->SaveToDataFile(d, "Left");
        SavePagePictures(d, *left, "LeftPics");
    }
    if (right && right != left) {
        d.WriteBool(Root, "HasRightPage", true);
        right->SaveToDataFile(d, "Right");
        SavePagePictures(d, *right, "RightPics");
    } else {
        right = nullptr;
    }
    int k = 0;
    for (const auto& link : Document->PictureLinks)
        if (LinkTouches(*link, left, right))
            link->SaveToDataFile(d, "PicLink" + IntToStr(k++));
    d.WriteInteger(Root, "PictureLinkCount", k);
}

void TUndoScreenCopy::RestoreScreen(TFBDocument& Document, bool Insert)
{
    TCustomDataFile& d = Data();
    const int screen = d.ReadInteger(Root, "ViewIndex", -1);
    if (screen == -1)
        return;
    struct TSide {
        const char* key;
        const char* section;
        const char* pics;
        bool left;
    };
    for (const TSide& side : {TSide{"HasLeftPage", "Left", "LeftPics", true},
                              TSide{"HasRightPage", "Right", "RightPics", false}}) {
        if (!d.ReadBool(Root, side.key, false))
            continue;
        if (Insert) {
            const int at = side.left ? Document.GetLeftPageIndex(screen)
                                     : Document.GetRightPageIndex(screen);
            if (at < 0 || at > Document.Pages.Count())
                continue;
            auto page = std::make_unique<TFBPage>(&Document);
            page->LoadFromDataFile(d, side.section);
            RestorePagePictures(d, *page, side.pics);
            Document.Pages.Insert(at, std::move(page));
        } else {
            TFBPage* page = side.left ? Document.GetLeftPage(screen) : Document.GetRightPage(screen);
            if (!page)
                continue;
            page->LoadFromDataFile(d, side.section);
            RestorePagePictures(d, *page, side.pics);
        }
    }
    const int links = d.ReadInteger(Root, "PictureLinkCount", 0);
    for (int k = 0; k < links; ++k) {
        TFBPictureLink* link = Document.AddPictureLink();
        link->LoadFromDataFile(d, "PicLink" + IntToStr(k));
        // None of its frames is there (their pages did not fit the document).
        if (link->Count() == 0)
            Document.RemovePictureLink(link);
    }
}

void TUndoSeiteLoeschen::Undo(TFBDocument& Document)
{
    RestoreScreen(Document, true);
}

void TUndoLayoutEinfuegen::Undo(TFBDocument& Document)
{
    RestoreScreen(Document, false);
}

// ---- free elements -------------------------------------------------------------------------

TUndoElementSizePos::TUndoElementSizePos(TFBElement* Element)
{
    WriteAddress(Data(), Element, "PageIndex", "ElemIndex");
    Element->SaveToDataFile(Data(), "Element");
}

void TUndoElementSizePos::SetDest(TFBElement* Element)
{
    WriteAddress(Data(), Element, "DestPageIndex", "DestElemIndex");
}

void TUndoElementSizePos::Undo(TFBDocument& Document)
{
    TCustomDataFile& d = Data();
    const int destPage = d.ReadInteger(Root, "DestPageIndex", -1);
    const int destElem = d.ReadInteger(Root, "DestElemIndex", -1);
    const int pageIndex = d.ReadInteger(Root, "PageIndex", -1);
    const int elemIndex = d.ReadInteger(Root, "ElemIndex", -1);
    TFBPage* page = PageAt(Document, pageIndex);
    if (!page)
        return;
    TFBElement* e = nullptr;
    if (destPage >= 0 && destPage != pageIndex) {
        e = ElementAt(Document, destPage, &TFBPage::Elements, destElem);
        if (!e)
            return;
        Document.MoveElementToPage(e, page);
        const int now = page->Elements.IndexOf(e);
        if (elemIndex >= 0 && elemIndex < page->Elements.Count())
            page->Elements.Move(now, elemIndex);
    } else {
        // An element dragged onto the facing page and back again comes home
        // at the end of its list: it goes back to its place first, so that
        // the copy is loaded into it and not into the one now at that place.
        if (destPage == pageIndex && destElem != elemIndex && destElem >= 0 &&
            destElem < page->Elements.Count() && elemIndex >= 0 &&
            elemIndex < page->Elements.Count())
            page->Elements.Move(destElem, elemIndex);
        e = ElementAt(Document, pageIndex, &TFBPage::Elements, elemIndex);
        if (!e)
            return;
    }
    e->LoadFromDataFile(d, "Element");
}

TUndoElementEinfuegen::TUndoElementEinfuegen(TFBElement* Element)
{
    WriteAddress(Data(), Element, "PageIndex", "ElemIndex");
}

void TUndoElementEinfuegen::Undo(TFBDocument& Document)
{
    if (TFBElement* e = FindElement(Data(), Document, "PageIndex", "ElemIndex", &TFBPage::Elements))
        e->Page->Elements.Remove(e);
}

TUndoElementLoeschen::TUndoElementLoeschen(TFBElement* Element)
{
    WriteAddress(Data(), Element, "PageIndex", "ElemIndex");
    Element->SaveToDataFile(Data(), "Element");
}

void TUndoElementLoeschen::Undo(TFBDocument& Document)
{
    const AnsiString className = Data().ReadString("Element", "Classname", "##gg##");
    if (className == "##gg##")
        return;
    TFBPage* page = PageAt(Document, Data().ReadInteger(Root, "PageIndex", -1));
    const int at = Data().ReadInteger(Root, "ElemIndex", -1);
    if (!page || at < 0 || at > page->Elements.Count())
        return;
    std::unique_ptr<TFBElement> e = CreateElementByClassName(className, page);
    if (!e || page->ListFor(e.get()) != &page->Elements)
        return;
    e->LoadFromDataFile(Data(), "Element");
    page->Elements.Insert(at, std::move(e));
}

// ---- calendars and pages -------------------------------------------------------------------

TUndoKalenderEigenschaften::TUndoKalenderEigenschaften(TFBKalenderElement* Element)
{
    WriteAddress(Data(), Element, "PageIndex", "KalIndex");
    Element->SaveToDataFile(Data(), "Kalender");
}

void TUndoKalenderEigenschaften::Undo(TFBDocument& Document)
{
    if (TFBElement* e = FindElement(Data(), Document, "PageIndex", "KalIndex", &TFBPage::Calendars))
        e->LoadFromDataFile(Data(), "Kalender");
}

TUndoKalenderEigenschaftenFuerAlle::TUndoKalenderEigenschaftenFuerAlle(TFBDocument* Document)
{
    int n = 0;
    for (int p = 0; p < Document->Pages.Count(); ++p) {
        const TFBElementList& cals = Document->Pages.GetPage(p)->Calendars;
        for (int k = 0; k < cals.Count(); ++k) {
            const AnsiString section = "data" + IntToStr(n++);
            Data().WriteInteger(section, "PageIndex", p);
            Data().WriteInteger(section, "KalIndex", k);
            cals.GetItem(k)->SaveToDataFile(Data(), section);
        }
    }
    Data().WriteInteger(Root, "Anzahl", n);
}

void TUndoKalenderEigenschaftenFuerAlle::Undo(TFBDocument& Document)
{
    const int n = Data().ReadInteger(Root, "Anzahl", 0);
    for (int i = 0; i < n; ++i) {
        const AnsiString section = "data" + IntToStr(i);
        TFBElement* e = ElementAt(Document, Data().ReadInteger(section, "PageIndex", -1),
                                  &TFBPage::Calendars, Data().ReadInteger(section, "KalIndex", -1));
        if (e)
            e->LoadFromDataFile(Data(), section);
    }
}

TUndoKalenderJahrSetzen::TUndoKalenderJahrSetzen(TFBKalenderElement* Element)
{
    Data().WriteInteger(Root, "Jahr", Element->KalenderData->Jahr());
}

void TUndoKalenderJahrSetzen::Undo(TFBDocument& Document)
{
    const int year = Data().ReadInteger(Root, "Jahr", -1);
    if (year != -1)
        Document.SetKalenderJahr(year);
}

TUndoSeitenhintergrund::TUndoSeitenhintergrund(TFBPage* Page)
{
    Data().WriteInteger(Root, "PageIndex", Page->GetIndex());
    Data().WriteInteger(Root, "Color", Page->PageColor);
}

void TUndoSeitenhintergrund::Undo(TFBDocument& Document)
{
    if (TFBPage* page = PageAt(Document, Data().ReadInteger(Root, "PageIndex", -1)))
        page->PageColor = Data().ReadInteger(Root, "Color", page->PageColor);
}
