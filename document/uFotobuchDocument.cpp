#include "uFotobuchDocument.h"

#include "FBDocumentSupport.h"
#include "FBPictureElement.h"
#include "SysUtils.h"
#include "uBitmapDrawContext.h"
#include "uDataFile.h"
#include "uDrawContext.h"
#include "uFotobuchBildManager.h"
#include "uInfoAusgabe.h"
#include "uKalenderPainter.h"
#include "uRTFDrawer.h"
#include "uSetToString.h"
#include "uShadowBitmap.h"
#include "uTransformation.h"
#include "ulocalize.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <string>

namespace {

// ---- texts -----------------------------------------------------------------------------

const char* const kPaperNameKey = "ID_DINA4";
const char* const kPaperTypeKey = "ID_Photopapier_gl\xE4nzend";
const char* const kSeite = "Seite";
const char* const kDocLoading = "Dokument wird geladen";
const char* const kPageLoading = "Seitenlayout %d wird geladen";
const char* const kPicturesLoading = "Bilder werden geladen";
const char* const kDocSaving = "Dokument wird gespeichert";
const char* const kPicturesSaving = "Bilder werden gespeichert";

const bool kTextsRegistered = [] {
    RegisterDefaultStringKey(fromAnsi(kPaperNameKey), QStringLiteral("DIN A4"));
    RegisterDefaultStringKey(fromAnsi(kPaperTypeKey), fromAnsi("Photopapier gl\xE4nzend"));
    for (const char* t : {kSeite, kDocLoading, kPageLoading, kPicturesLoading, kDocSaving,
                          kPicturesSaving})
        RegisterDefaultString(fromAnsi(t));
    return true;
}();

QString Localized(const char* Key)
{
    return LocalizedDefaultString(fromAnsi(Key));
}

// The localized status text with its number filled in (a text from a language
// file never goes through Format).
QString LocalizedWithNumber(const char* Key, int Number)
{
    return Localized(Key).replace(QLatin1String("%d"), QString::number(Number));
}

void ShowStatus(const QString& Text)
{
    InfoAusgabe().ShowInfo(Text);
}

const char* const kPrintSettingNames[PrintSettingCount] = {
    "",
    "PocketBooklet",
    "PhotoBook86",
    "10x15",
    "PhotoBook46",
    "PhotoBook85Randlos",
    "PhotoBook85Normal",
    "KalenderA4Randlos",
    "KalenderA5Randlos",
    "DINA4",
    "DINA4Randlos",
    "13x18",
    "Photobinding10x15",
    "PhotobookPro",
    "PhotobookProRandlos",
};

const char* const kLayoutStilNames[LayoutStilCount] = {
    "None",        "Tradition",  "Horizon",     "Verticon", "Fullicon",
    "Tradition R", "Horizon R",  "Verticon R",  "Spezial",  "OrvaneExtra",
};

const TTypeInfo& LayoutTypInfo()
{
    static const TTypeInfo info = TTypeInfo::Enumeration(
        "TFBLayoutTyp",
        {"ltPhotoBook86", "ltPhotoBook85", "ltPhotoBook46", "ltPhotoBooklet43", "ltSingles10x15",
         "ltPhotoBook88", "ltPhotoBook85Randlos", "ltDINA4", "ltDINA4Randlos", "ltSingles13x18",
         "ltPhotoBookPro", "ltPhotoBookProRandlos"});
    return info;
}

const TTypeInfo& LayoutTypenInfo()
{
    static const TTypeInfo info = TTypeInfo::Set("TFBLayoutTypen", LayoutTypInfo());
    return info;
}

} // namespace

// ---- layout types and names -------------------------------------------------------------

AnsiString LayoutTypenToString(TFBLayoutTypen Value)
{
    const uint8_t bytes[2] = {uint8_t(Value & 0xFF), uint8_t(Value >> 8)};
    return SetToString(&LayoutTypenInfo(), bytes);
}

TFBLayoutTypen StringToLayoutTypen(const AnsiString& Text)
{
    uint8_t bytes[2] = {0, 0};
    StringToSet(Text, &LayoutTypenInfo(), bytes);
    return TFBLayoutTypen((bytes[0] | (bytes[1] << 8)) & AllLayoutTypen);
}

AnsiString GetPrintSettingName(int PrintSetting)
{
    if (PrintSetting < 0 || PrintSetting >= PrintSettingCount)
        return AnsiString();
    return kPrintSettingNames[PrintSetting];
}

AnsiString GetLayoutStilName(int Stil)
{
    if (Stil < 0 || Stil >= LayoutStilCount)
        return AnsiString();
    return kLayoutStilNames[Stil];
}

// ---- owning lists ----------------------------------------------------------------------

template <class T>
TFBOwningList<T>::~TFBOwningList()
{
    Clear();
}

template <class T>
void TFBOwningList<T>::CheckIndex(int Index, int Limit) const
{
    if (Index < 0 || Index >= Limit)
        throw EListError(Format("List index out of bounds (%d)", {Index}));
}

template <class T>
int TFBOwningList<T>::Add(std::unique_ptr<T> Item)
{
    items_.push_back(std::move(Item));
    return Count() - 1;
}

template <class T>
void TFBOwningList<T>::Clear()
{
    // Freed one by one from the end, so an item's destructor sees the others.
    while (!items_.empty()) {
        std::unique_ptr<T> last = std::move(items_.back());
        items_.pop_back();
    }
}

template <class T>
void TFBOwningList<T>::Delete(int Index)
{
    CheckIndex(Index, Count());
    std::unique_ptr<T> item = std::move(items_[size_t(Index)]);
    items_.erase(items_.begin() + Index);
}

template <class T>
std::unique_ptr<T> TFBOwningList<T>::Extract(T* Item)
{
    const int i = IndexOf(Item);
    if (i < 0)
        return nullptr;
    std::unique_ptr<T> item = std::move(items_[size_t(i)]);
    items_.erase(items_.begin() + i);
    return item;
}

template <class T>
T* TFBOwningList<T>::Get(int Index) const
{
    CheckIndex(Index, Count());
    return items_[size_t(Index)].get();
}

template <class T>
int TFBOwningList<T>::IndexOf(const T* Item) const
{
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i].get() == Item)
            return int(i);
    return -1;
}

template <class T>
void TFBOwningList<T>::Insert(int Index, std::unique_ptr<T> Item)
{
    CheckIndex(Index, Count() + 1);
    items_.insert(items_.begin() + Index, std::move(Item));
}

template <class T>
void TFBOwningList<T>::Move(int CurIndex, int NewIndex)
{
    if (CurIndex == NewIndex)
        return;
    CheckIndex(CurIndex, Count());
    CheckIndex(NewIndex, Count());
    std::unique_ptr<T> item = std::move(items_[size_t(CurIndex)]);
    items_.erase(items_.begin() + CurIndex);
    items_.insert(items_.begin() + NewIndex, std::move(item));
}

template <class T>
int TFBOwningList<T>::Remove(T* Item)
{
    const int i = IndexOf(Item);
    if (i >= 0)
        Delete(i);
    return i;
}

// ---- document ---------------------------------------------------------------------------

TFBDocument::TFBDocument()
{
    Clear();
}

TFBDocument::~TFBDocument()
{
    PictureLinks.clear();
    Pages.Clear();
}

void TFBDocument::Clear()
{
    PictureLinks.clear();
    Pages.Clear();
    ScreenMode = 0;
    DocType = 0;
    PictureShadowsAllowed = true;
    Modified = false;
    PrintPaperName = kPaperNameKey;
    PrintPaperType = kPaperTypeKey;
    PageWidth = 210.0f;
    PageHeight = 297.0f;
    Stegbreite = 2.0f;
    Umschlagbreite = 4.0f;
    PrintPaperSize = 9;
    PrintPaperWidth = 210.0f;
    PrintPaperHeight = 297.0f;
    PrintSetting = 0;
    PicturesHaveShadows = true;
    PrintBorderless = false;
    DocVersion = 4;
    FileName.clear();
    Layouttypen = AllLayoutTypen;
    LayoutSubTyp.clear();
    LayoutStil = 0;
    ScreenQuerformatWinkel = 90.0f;
    BildManager().Clear();
    Holidays.Clear();
    Birthdays.Clear();
}

void TFBDocument::LoadFromDataFile(TCustomDataFile& DataFile)
{
    Clear();
    ShowStatus(Localized(kDocLoading));
    const AnsiString doc = "Doc";
    const int32_t storedVersion = DataFile.ReadInteger(doc, "DocVersion", 0);
    DocVersion = storedVersion;
    PageWidth = ReadMM(DataFile, doc, "PageWidth", 148.5f, 1);
    PageHeight = ReadMM(DataFile, doc, "PageHeight", 210.0f, 1);
    Stegbreite = ReadMM(DataFile, doc, "Stegbreite", 2.0f, 0);
    Umschlagbreite = ReadMM(DataFile, doc, "Umschlagbreite", 4.0f, 0);
    PrintPaperName = DataFile.ReadString(doc, "PrintPaperName", kPaperNameKey);
    PrintPaperSize = DataFile.ReadInteger(doc, "PrintPaperSize", 9);
    PrintPaperWidth = ReadMM(DataFile, doc, "PrintPaperWidth", 210.0f, 1);
    PrintPaperHeight = ReadMM(DataFile, doc, "PrintPaperHeight", 297.0f, 1);
    PrintPaperType = DataFile.ReadString(doc, "PrintPaperType", GetPrintPaperTypeCaption());
    Dokumentname = DataFile.ReadString(doc, "Dokumentname", "");
    PicturesHaveShadows = DataFile.ReadBool(doc, "PicturesHaveShadows", true);
    PrintBorderless = DataFile.ReadBool(doc, "PrintBorderless", false);
    PictureShadowsAllowed = DataFile.ReadBool(doc, "PictureShadowsAllowed", true);
    ScreenMode = uint8_t(DataFile.ReadInteger(doc, "ScreenMode", 1));
    DocType = uint8_t(DataFile.ReadInteger(doc, "DocType", 1));
    PrintSetting = uint8_t(DataFile.ReadInteger(doc, "PrintSetting", 0));
    const AnsiString layouts = DataFile.ReadString(doc, "Layouttypen", "");
    if (!layouts.empty())
        Layouttypen = StringToLayoutTypen(layouts);
    LayoutSubTyp = DataFile.ReadString(doc, "LayoutSubTyp", "");
    LayoutStil = uint8_t(DataFile.ReadInteger(doc, "LayoutStil", 0));
    ScreenQuerformatWinkel = ReadAngle(DataFile, doc, "ScreenQuerformatWinkel", 90.0f);

    // The document's lists share the file's records: their counts are kept
    // within the records the file holds, so that loading stays linear in the
    // file's size whatever the counts say. Every page up to the count is read,
    // one whose section is missing as an empty page, and a document keeps at
    // least one page, as a file without pages opens as one empty page.
    int64_t budget = DataFile.RecordCount();
    const int pageCount = std::max(ReadStoredCount(DataFile, "Doc/Pages", 1, &budget), 1);
    for (int i = 0; i < pageCount; ++i) {
        ShowStatus(LocalizedWithNumber(kPageLoading, i + 1));
        auto page = std::make_unique<TFBPage>(this);
        TFBPage* p = page.get();
        Pages.Add(std::move(page));
        p->LoadFromDataFile(DataFile, "Doc/Pages/Page" + Num(i), &budget);
    }

    ShowStatus(QStringLiteral("Picturelinks werden geladen"));
    const int linkCount = ReadStoredCount(DataFile, "Doc/PictureLinkList", 0, &budget);
    for (int i = 0; i < linkCount; ++i) {
        const AnsiString section = "Doc/PictureLinkList/Link" + Num(i);
        // A link that is not stored links nothing; the links after it are read.
        if (!StoredSectionExists(DataFile, section + "/List"))
            continue;
        auto link = std::make_unique<TFBPictureLink>(this);
        link->LoadFromDataFile(DataFile, section, &budget);
        PictureLinks.push_back(std::move(link));
    }

    ShowStatus(Localized(kPicturesLoading));
    BildManager().LoadFromDataFile(DataFile, "BildManager");
    Holidays.LoadFromDataFile(DataFile, "Feiertage");
    Birthdays.LoadFromDataFile(DataFile, "Geburtstage");
    ShowStatus(QString());

    if (storedVersion < 2) {
        if (Pos("Photobook", Dokumentname) > 0)
            PrintSetting = 2;
        else if (Pos("PocketBooklet", Dokumentname) > 0)
            PrintSetting = 1;
        else if (Pos("10x15", Dokumentname) > 0)
            PrintSetting = 3;
    }
    if (storedVersion < 3) {
        for (int s = 1; s < LayoutStilCount; ++s)
            if (Pos(kLayoutStilNames[s], LayoutSubTyp) > 0) {
                LayoutStil = uint8_t(s);
                break;
            }
    }
    DocVersion = 4;
    Modified = false;
}

void TFBDocument::SaveToDataFile(TCustomDataFile& DataFile)
{
    ShowStatus(Localized(kDocSaving));
    const AnsiString doc = "Doc";
    DataFile.WriteInteger(doc, "DocVersion", DocVersion);
    WriteSingle(DataFile, doc, "PageWidth", PageWidth);
    WriteSingle(DataFile, doc, "PageHeight", PageHeight);
    WriteSingle(DataFile, doc, "Stegbreite", Stegbreite);
    WriteSingle(DataFile, doc, "Umschlagbreite", Umschlagbreite);
    DataFile.WriteString(doc, "PrintPaperName", PrintPaperName);
    DataFile.WriteInteger(doc, "PrintPaperSize", PrintPaperSize);
    WriteSingle(DataFile, doc, "PrintPaperWidth", PrintPaperWidth);
    WriteSingle(DataFile, doc, "PrintPaperHeight", PrintPaperHeight);
    DataFile.WriteString(doc, "PrintPaperType", PrintPaperType);
    DataFile.WriteString(doc, "Dokumentname", Dokumentname);
    DataFile.WriteBool(doc, "PicturesHaveShadows", PicturesHaveShadows);
    DataFile.WriteBool(doc, "PrintBorderless", PrintBorderless);
    DataFile.WriteBool(doc, "PictureShadowsAllowed", PictureShadowsAllowed);
    DataFile.WriteInteger(doc, "ScreenMode", ScreenMode);
    DataFile.WriteInteger(doc, "DocType", DocType);
    DataFile.WriteInteger(doc, "PrintSetting", PrintSetting);
    DataFile.WriteString(doc, "Layouttypen", LayoutTypenToString(Layouttypen));
    DataFile.WriteString(doc, "LayoutSubTyp", LayoutSubTyp);
    DataFile.WriteInteger(doc, "LayoutStil", LayoutStil);
    WriteSingle(DataFile, doc, "ScreenQuerformatWinkel", ScreenQuerformatWinkel);

    DataFile.WriteInteger("Doc/Pages", "Anzahl", Pages.Count());
    for (int i = 0; i < Pages.Count(); ++i) {
        ShowStatus(fromAnsi(Format("Seite %d wird gespeichert", {i + 1})));
        Pages.GetPage(i)->SaveToDataFile(DataFile, "Doc/Pages/Page" + Num(i));
    }

    ShowStatus(QStringLiteral("Picturelinks werden gespeichert"));
    DataFile.WriteInteger("Doc/PictureLinkList", "Anzahl", PictureLinkCount());
    for (int i = 0; i < PictureLinkCount(); ++i)
        PictureLinks[size_t(i)]->SaveToDataFile(DataFile, "Doc/PictureLinkList/Link" + Num(i));

    ShowStatus(Localized(kPicturesSaving));
    BildManager().SaveToDataFile(DataFile, "BildManager");
    Holidays.SaveToDataFile(DataFile, "Feiertage");
    Birthdays.SaveToDataFile(DataFile, "Geburtstage");
    ShowStatus(QString());
    Modified = false;
}

int TFBDocument::GetScreenCount() const
{
    const int n = Pages.Count();
    switch (ScreenMode) {
    case 0: return n;
    case 1: return n / 2 + 1;
    case 2: return n / 2;
    default: return 0;
    }
}

int TFBDocument::GetLeftPageIndex(int ScreenIndex) const
{
    switch (ScreenMode) {
    case 0: return ScreenIndex;
    case 1: return 2 * ScreenIndex - 1;
    case 2: return 2 * ScreenIndex;
    default: return 0;
    }
}

int TFBDocument::GetRightPageIndex(int ScreenIndex) const
{
    switch (ScreenMode) {
    case 0: return ScreenIndex;
    case 1: return 2 * ScreenIndex;
    case 2: return 2 * ScreenIndex + 1;
    default: return 0;
    }
}

TFBPage* TFBDocument::GetLeftPage(int ScreenIndex) const
{
    const int i = GetLeftPageIndex(ScreenIndex);
    return i >= 0 && i < Pages.Count() ? Pages.GetPage(i) : nullptr;
}

TFBPage* TFBDocument::GetRightPage(int ScreenIndex) const
{
    const int i = GetRightPageIndex(ScreenIndex);
    return i >= 0 && i < Pages.Count() ? Pages.GetPage(i) : nullptr;
}

int TFBDocument::ScreenIndexOfPage(int PageIndex) const
{
    switch (ScreenMode) {
    case 0: return PageIndex;
    case 1: return (PageIndex + 1) / 2;
    case 2: return PageIndex / 2;
    default: return 0;
    }
}

void TFBDocument::GetScreenSize(float& Width, float& Height) const
{
    switch (ScreenMode) {
    case 0:
        Width = PageWidth;
        Height = PageHeight;
        break;
    case 1:
        Width = 2 * PageWidth + Stegbreite + 2 * Umschlagbreite;
        Height = PageHeight + 2 * Umschlagbreite;
        break;
    case 2:
        Width = 2 * PageWidth;
        Height = PageHeight;
        break;
    default:
        Width = 10;
        Height = 10;
        break;
    }
}

uint8_t TFBDocument::GetScreenOrientation(int ScreenIndex) const
{
    if (const TFBPage* p = GetLeftPage(ScreenIndex))
        return p->Orientation;
    if (const TFBPage* p = GetRightPage(ScreenIndex))
        return p->Orientation;
    return 0;
}

void TFBDocument::SetScreenOrientation(int ScreenIndex, uint8_t Orientation)
{
    if (TFBPage* p = GetLeftPage(ScreenIndex))
        p->SetOrientation(Orientation);
    if (TFBPage* p = GetRightPage(ScreenIndex))
        p->SetOrientation(Orientation);
}

void TFBDocument::TranslateToPage(TTransformation& Transformation, const TFBPage* Page) const
{
    if (!Page)
        return;
    const bool left = Page->IsLeftPage();
    if (ScreenMode == 1) {
        if (left)
            Transformation.Translate(Umschlagbreite, Umschlagbreite);
        else
            Transformation.Translate(PageWidth + Stegbreite + Umschlagbreite, Umschlagbreite);
    } else if (ScreenMode == 2 && !left) {
        Transformation.Translate(PageWidth, 0);
    }
}

AnsiString TFBDocument::GetScreenCaption(int ScreenIndex) const
{
    const AnsiString seite = toAnsi(Localized(kSeite));
    if (ScreenMode == 1 || ScreenMode == 2) {
        const int l = GetLeftPageIndex(ScreenIndex);
        const int r = GetRightPageIndex(ScreenIndex);
        AnsiString numbers;
        if (l >= 0)
            numbers = IntToStr(l + 1);
        if (r != l && r < Pages.Count()) {
            if (!numbers.empty())
                numbers += " - ";
            numbers += IntToStr(r + 1);
        }
        return seite + " " + numbers;
    }
    if (IsCalendarProduct()) {
        const TFBPage* p = ScreenIndex >= 0 && ScreenIndex < Pages.Count() ? Pages.GetPage(ScreenIndex)
                                                                           : nullptr;
        if (p && p->Calendars.Count() > 0)
            return GetMonthName(
                static_cast<TFBKalenderElement*>(p->Calendars.GetItem(0))->KalenderData->Monat());
        return GetMonthName(ScreenIndex + 1);
    }
    return seite + " " + IntToStr(ScreenIndex + 1);
}

bool TFBDocument::CanInsertScreen(int ScreenIndex) const
{
    if (IsCalendarProduct())
        return false;
    if (ScreenMode == 0)
        return true;
    if (ScreenMode == 1 || ScreenMode == 2)
        return ScreenIndex > 0 && ScreenIndex < GetScreenCount() - 1;
    return false;
}

bool TFBDocument::CanDeleteScreen(int ScreenIndex) const
{
    if (IsCalendarProduct())
        return false;
    if (ScreenMode == 0)
        return Pages.Count() > 1;
    if (ScreenMode == 1 || ScreenMode == 2)
        return ScreenIndex > 0 && ScreenIndex < GetScreenCount() - 1;
    return false;
}

void TFBDocument::InsertScreen(int AtScreen, int LikeScreen)
{
    auto pageLike = [this](const TFBPage* Like) {
        auto page = std::make_unique<TFBPage>(this);
        if (Like) {
            page->SetOrientation(Like->Orientation);
            page->CopyFramesFrom(*Like);
        }
        return page;
    };
    if (ScreenMode == 0) {
        const TFBPage* like =
            LikeScreen >= 0 && LikeScreen < Pages.Count() ? Pages.GetPage(LikeScreen) : nullptr;
        Pages.Insert(AtScreen, pageLike(like));
        return;
    }
    auto left = pageLike(GetLeftPage(LikeScreen));
    auto right = pageLike(GetRightPage(LikeScreen));
    const int at = GetLeftPageIndex(AtScreen);
    Pages.Insert(at, std::move(left));
    Pages.Insert(at + 1, std::move(right));
}

void TFBDocument::DeletePageIfPresent(int PageIndex)
{
    if (PageIndex >= 0 && PageIndex < Pages.Count())
        Pages.Delete(PageIndex);
}

void TFBDocument::DeleteScreen(int ScreenIndex)
{
    if (ScreenMode == 0) {
        DeletePageIfPresent(ScreenIndex);
    } else {
        const int l = GetLeftPageIndex(ScreenIndex);
        const int r = GetRightPageIndex(ScreenIndex);
        DeletePageIfPresent(r);
        if (l != r)
            DeletePageIfPresent(l);
    }
    Modified = true;
}

void TFBDocument::MoveScreen(int FromScreen, int ToScreen)
{
    if (ScreenMode == 0) {
        Pages.Move(FromScreen, ToScreen);
        return;
    }
    TFBPage* right = GetRightPage(FromScreen);
    TFBPage* left = GetLeftPage(FromScreen);
    if (!right || !left)
        return;
    std::unique_ptr<TFBPage> r = Pages.Extract(right);
    std::unique_ptr<TFBPage> l = Pages.Extract(left);
    Pages.Insert(GetLeftPageIndex(ToScreen), std::move(l));
    Pages.Insert(GetRightPageIndex(ToScreen), std::move(r));
}

int TFBDocument::IndexOfPage(const TFBPage* Page) const
{
    return Pages.IndexOf(Page);
}

int TFBDocument::GetLastUsedPageIndex() const
{
    for (int i = Pages.Count() - 1; i >= 0; --i)
        if (Pages.GetPage(i)->HasContent())
            return i;
    return -1;
}

TFBPictureLink* TFBDocument::AddPictureLink()
{
    PictureLinks.push_back(std::make_unique<TFBPictureLink>(this));
    return PictureLinks.back().get();
}

void TFBDocument::RemovePictureLink(TFBPictureLink* Link)
{
    auto it = std::find_if(PictureLinks.begin(), PictureLinks.end(),
                           [Link](const auto& l) { return l.get() == Link; });
    if (it == PictureLinks.end()) {
        if (Link)
            Link->Clear();
        return;
    }
    std::unique_ptr<TFBPictureLink> link = std::move(*it);
    PictureLinks.erase(it);
}

TFBPictureLink* TFBDocument::GetPictureLink(int Index) const
{
    if (Index < 0 || Index >= PictureLinkCount())
        throw EListError(Format("List index out of bounds (%d)", {Index}));
    return PictureLinks[size_t(Index)].get();
}

void TFBDocument::MoveElementToPage(TFBElement* Element, TFBPage* Page)
{
    const AnsiString error = "MoveElementToPage: el ist nicht zuordbar";
    if (!Element || !Element->Page || !Page)
        throw Exception(error);
    TFBElementList* from = Element->Page->ListFor(Element);
    TFBElementList* to = Page->ListFor(Element);
    if (!from || !to)
        throw Exception(error);
    std::unique_ptr<TFBElement> e = from->Extract(Element);
    if (!e)
        throw Exception(error);
    to->Add(std::move(e));
    Element->Page = Page;
    Modified = true;
}

void TFBDocument::SetPictureShadows(bool Value)
{
    PictureShadowsAllowed = Value;
    PicturesHaveShadows = Value;
}

void TFBDocument::SetKalenderJahr(int Year)
{
    for (int i = 0; i < Pages.Count(); ++i) {
        const TFBElementList& cals = Pages.GetPage(i)->Calendars;
        for (int j = 0; j < cals.Count(); ++j)
            static_cast<TFBKalenderElement*>(cals.GetItem(j))->KalenderData->SetJahr(Year);
    }
}

void TFBDocument::AssignKalenderDataToAll(const TKalenderData& Data)
{
    TMemoryStream stream;
    TMemoryDataFile file(stream);
    Data.SaveToDataFile(file, "data");
    for (int i = 0; i < Pages.Count(); ++i) {
        const TFBElementList& cals = Pages.GetPage(i)->Calendars;
        for (int j = 0; j < cals.Count(); ++j) {
            TKalenderData& d = *static_cast<TFBKalenderElement*>(cals.GetItem(j))->KalenderData;
            const int month = d.Monat();
            const int year = d.Jahr();
            d.LoadFromDataFile(file, "data");
            d.SetMonat(month);
            d.SetJahr(year);
        }
    }
}

namespace {

AnsiString CaptionOf(const AnsiString& Text)
{
    if (Text.compare(0, 3, "ID_") == 0)
        return toAnsi(LocalizedDefaultString(fromAnsi(Text)));
    return Text;
}

} // namespace

AnsiString TFBDocument::GetPrintPaperCaption() const
{
    return CaptionOf(PrintPaperName);
}

AnsiString TFBDocument::GetPrintPaperTypeCaption() const
{
    return CaptionOf(PrintPaperType);
}

// ---- page -------------------------------------------------------------------------------

TFBPage::TFBPage(TFBDocument* ADocument) : Document(ADocument) {}

TFBPage::~TFBPage()
{
    Elements.Clear();
    Calendars.Clear();
    Pictures.Clear();
}

namespace {

// The element a section describes, created but not yet read; null when its
// class name names no element class.
std::unique_ptr<TFBElement> CreateStoredElement(TCustomDataFile& DataFile, const AnsiString& Section,
                                                TFBPage* Page)
{
    return CreateElementByClassName(DataFile.ReadString(Section, "Classname", "##gg##"), Page);
}

struct TPageListKeys {
    TFBElementList TFBPage::*List;
    const char* Section;  // below the page section
    const char* Item;     // prefix of the element sections
};

const TPageListKeys kPageLists[3] = {
    {&TFBPage::Pictures, "/Piclist", "/Piclist/Pic"},
    {&TFBPage::Calendars, "/Kalenderlist", "/Kalenderlist/Kalender"},
    {&TFBPage::Elements, "/Elementlist", "/Elementlist/Element"},
};

} // namespace

void TFBPage::LoadFromDataFile(TCustomDataFile& DataFile, const AnsiString& Section,
                               int64_t* CountBudget)
{
    Pictures.Clear();
    Calendars.Clear();
    Elements.Clear();
    Orientation = uint8_t(DataFile.ReadInteger(Section, "Seitenausrichtung", 0));
    PageColor = DataFile.ReadInteger(Section, "Seitenfarbe", 0xFFFFFF);
    for (const TPageListKeys& k : kPageLists) {
        TFBElementList& list = this->*k.List;
        const int n = ReadStoredCount(DataFile, Section + k.Section, 0, CountBudget);
        for (int i = 0; i < n; ++i) {
            const AnsiString s = Section + k.Item + Num(i);
            std::unique_ptr<TFBElement> e = CreateStoredElement(DataFile, s, this);
            // Only an element of the list's own kind is kept, so that every
            // element of a list is of the class its users expect.
            if (!e || ListFor(e.get()) != &list)
                continue;
            e->LoadFromDataFile(DataFile, s);
            list.Add(std::move(e));
        }
    }
}

void TFBPage::SaveToDataFile(TCustomDataFile& DataFile, const AnsiString& Section) const
{
    DataFile.WriteInteger(Section, "Seitenausrichtung", Orientation);
    DataFile.WriteInteger(Section, "Seitenfarbe", PageColor);
    for (const TPageListKeys& k : kPageLists) {
        const TFBElementList& list = this->*k.List;
        DataFile.WriteInteger(Section + k.Section, "Anzahl", list.Count());
        for (int i = 0; i < list.Count(); ++i)
            list.GetItem(i)->SaveToDataFile(DataFile, Section + k.Item + Num(i));
    }
}

std::unique_ptr<TFBElement> TFBPage::LoadElement(TCustomDataFile& DataFile, const AnsiString& Section)
{
    std::unique_ptr<TFBElement> e = CreateStoredElement(DataFile, Section, this);
    if (e)
        e->LoadFromDataFile(DataFile, Section);
    return e;
}

int TFBPage::GetIndex() const
{
    return Document ? Document->IndexOfPage(this) : -1;
}

int TFBPage::GetScreenIndex() const
{
    return Document ? Document->ScreenIndexOfPage(GetIndex()) : 0;
}

bool TFBPage::IsLeftPage() const
{
    const int i = GetIndex();
    if (i < 0)
        return false;
    switch (Document->ScreenMode) {
    case 1: return i % 2 == 1;
    case 2: return i % 2 == 0;
    default: return false;
    }
}

bool TFBPage::HasContent() const
{
    if (Calendars.Count() > 0 || Elements.Count() > 0)
        return true;
    for (int i = 0; i < Pictures.Count(); ++i)
        if (static_cast<TFBPictureElement*>(Pictures.GetItem(i))->HasPicture())
            return true;
    return false;
}

void TFBPage::CopyFramesFrom(const TFBPage& Source)
{
    Pictures.Clear();
    Calendars.Clear();
    Elements.Clear();
    auto copyGeometry = [](TFBElement& To, const TFBElement& From) {
        To.CenterX = From.CenterX;
        To.CenterY = From.CenterY;
        To.Width = From.Width;
        To.Height = From.Height;
    };
    for (int i = 0; i < Source.Pictures.Count(); ++i) {
        auto frame = std::make_unique<TFBPictureElement>(this);
        copyGeometry(*frame, *Source.Pictures.GetItem(i));
        Pictures.Add(std::move(frame));
    }
    for (int i = 0; i < Source.Calendars.Count(); ++i) {
        auto cal = std::make_unique<TFBKalenderElement>(this);
        copyGeometry(*cal, *Source.Calendars.GetItem(i));
        Calendars.Add(std::move(cal));
    }
}

TFBElement* TFBPage::FindElementAt(float X, float Y, int Flags) const
{
    TTransformation t;
    auto search = [&](const TFBElementList& List) -> TFBElement* {
        for (int i = List.Count() - 1; i >= 0; --i) {
            TFBElement* e = List.GetItem(i);
            t.SetIdentity();
            t.Translate(e->CenterX, e->CenterY);
            t.Rotate(e->Angle);
            float lx, ly;
            t.InverseTransform(X, Y, lx, ly);
            if (e->ContainsPoint(lx, ly))
                return e;
        }
        return nullptr;
    };
    TFBElement* hit = nullptr;
    if (Flags & feaElements)
        hit = search(Elements);
    if (!hit && (Flags & feaCalendars))
        hit = search(Calendars);
    if (!hit && (Flags & feaPictures))
        hit = search(Pictures);
    return hit;
}

TFBElementList* TFBPage::ListFor(const TFBElement* Element)
{
    if (dynamic_cast<const TFBPictureElement*>(Element))
        return &Pictures;
    if (dynamic_cast<const TFBKalenderElement*>(Element))
        return &Calendars;
    if (dynamic_cast<const TFBSizeableElement*>(Element))
        return &Elements;
    return nullptr;
}

// ---- element base -----------------------------------------------------------------------

TFBElement::TFBElement(TFBPage* APage) : Page(APage) {}

TFBElement::~TFBElement() = default;

void TFBElement::Draw(TDrawContext&, uint8_t) {}

void TFBElement::SaveGeometry(TCustomDataFile& DataFile, const AnsiString& Section) const
{
    WriteSingle(DataFile, Section, "CenterX", CenterX);
    WriteSingle(DataFile, Section, "CenterY", CenterY);
    WriteSingle(DataFile, Section, "Width", Width);
    WriteSingle(DataFile, Section, "Height", Height);
    WriteSingle(DataFile, Section, "Angle", Angle);
}

void TFBElement::LoadGeometry(TCustomDataFile& DataFile, const AnsiString& Section)
{
    CenterX = ReadMM(DataFile, Section, "CenterX", 10);
    CenterY = ReadMM(DataFile, Section, "CenterY", 10);
    Width = ReadMM(DataFile, Section, "Width", 10, 0);
    Height = ReadMM(DataFile, Section, "Height", 10, 0);
    Angle = ReadAngle(DataFile, Section, "Angle", 0);
}

void TFBElement::SaveToDataFile(TCustomDataFile& DataFile, const AnsiString& Section)
{
    DataFile.WriteString(Section, "Classname", ClassName());
    SaveGeometry(DataFile, Section);
}

void TFBElement::LoadFromDataFile(TCustomDataFile& DataFile, const AnsiString& Section)
{
    LoadGeometry(DataFile, Section);
}

void TFBElement::SaveClipboardData(TCustomDataFile& DataFile, const AnsiString& Section)
{
    DataFile.WriteString(Section, "Classname", ClassName());
}

void TFBElement::LoadClipboardData(TCustomDataFile&, const AnsiString&) {}

int TFBElement::IndexInPage() const
{
    if (!Page)
        return -1;
    const TFBElementList* list = Page->ListFor(this);
    return list ? list->IndexOf(this) : -1;
}

bool TFBElement::HasShadow() const
{
    return false;
}

bool TFBElement::ContainsPoint(float X, float Y)
{
    return -Width / 2 <= X && X <= Width / 2 && -Height / 2 <= Y && Y <= Height / 2;
}

TRectF TFBElement::GetBoundingRect() const
{
    if (Angle == 0 || Angle == 180)
        return TRectF{GetLeft(), GetTop(), GetRight(), GetBottom()};
    const double a = double(Angle) * M_PI / 180.0;
    const double c = std::cos(a), s = std::sin(a);
    const float hw = Width / 2, hh = Height / 2;
    TRectF r{};
    bool first = true;
    for (const auto& [x, y] : {std::pair{-hw, -hh}, std::pair{hw, -hh}, std::pair{hw, hh}, std::pair{-hw, hh}}) {
        const float px = float(CenterX + x * c - y * s);
        const float py = float(CenterY + x * s + y * c);
        if (first) {
            r = TRectF{px, py, px, py};
            first = false;
        } else {
            r = UnionRectF(r, TRectF{px, py, px, py});
        }
    }
    return r;
}

void TFBElement::GetBoundingSize(float& W, float& H) const
{
    const TRectF r = GetBoundingRect();
    W = r.Right - r.Left;
    H = r.Bottom - r.Top;
}

TFBDocument* TFBElement::GetDocument() const
{
    return Page ? Page->Document : nullptr;
}

namespace {

template <class T>
std::unique_ptr<TFBElement> MakeElement(TFBPage* Page)
{
    return std::make_unique<T>(Page);
}

using TElementFactory = std::unique_ptr<TFBElement> (*)(TFBPage*);

const std::map<std::string, TElementFactory>& ElementClasses()
{
    static const std::map<std::string, TElementFactory> classes = {
        {TFBElement::StaticClassName(), &MakeElement<TFBElement>},
        {TFBPictureElement::StaticClassName(), &MakeElement<TFBPictureElement>},
        {TFBSizeableElement::StaticClassName(), &MakeElement<TFBSizeableElement>},
        {TFBKalenderElement::StaticClassName(), &MakeElement<TFBKalenderElement>},
        {TFBTextElement::StaticClassName(), &MakeElement<TFBTextElement>},
        {TFBClipartElement::StaticClassName(), &MakeElement<TFBClipartElement>},
    };
    return classes;
}

} // namespace

std::unique_ptr<TFBElement> CreateElementByClassName(const AnsiString& ClassName, TFBPage* Page)
{
    const auto& classes = ElementClasses();
    const auto it = classes.find(ClassName);
    return it == classes.end() ? nullptr : it->second(Page);
}

// ---- sizeable element -------------------------------------------------------------------

void TFBSizeableElement::SaveClipboardData(TCustomDataFile& DataFile, const AnsiString& Section)
{
    DataFile.WriteString(Section, "Classname", ClassName());
    SaveGeometry(DataFile, Section);
    DataFile.WriteBool(Section, "IsLeftPage", Page && Page->IsLeftPage());
}

void TFBSizeableElement::LoadClipboardData(TCustomDataFile& DataFile, const AnsiString& Section)
{
    LoadGeometry(DataFile, Section);
}

// ---- text element -----------------------------------------------------------------------

namespace {

constexpr float kShadowPixelsPerMM = 5.905512f;  // 150 dpi

} // namespace

TFBTextElement::TFBTextElement(TFBPage* APage)
    : TFBSizeableElement(APage), Drawer(std::make_unique<TRTFDrawer>())
{
    Drawer->OnChange = [this](TObject* Sender) { OnDrawerChange(Sender); };
}

TFBTextElement::~TFBTextElement()
{
    Drawer->OnChange = nullptr;
}

void TFBTextElement::OnDrawerChange(TObject*)
{
    ShadowDirty = true;
}

void TFBTextElement::SetHasShadow(bool Value)
{
    FHasShadow = Value;
    if (!Value) {
        Shadow.reset();
        return;
    }
    if (!Shadow)
        Shadow = std::make_unique<TShadowBitmap>();
    ShadowDirty = true;
}

void TFBTextElement::SetHorzAlign(uint8_t Value)
{
    HorzAlign = Value;
    ShadowDirty = true;
}

void TFBTextElement::SetVertAlign(uint8_t Value)
{
    VertAlign = Value;
    ShadowDirty = true;
}

void TFBTextElement::MakeShadow()
{
    if (!Shadow)
        return;
    ShadowDirty = false;
    ShadowWidth = Width;
    ShadowHeight = Height;
    ShadowAreaWidth = Width + 2;
    ShadowAreaHeight = Height + 2;
    Shadow->SetSize(std::max<int>(10, Round32(ShadowAreaWidth * kShadowPixelsPerMM)),
                    std::max<int>(10, Round32(ShadowAreaHeight * kShadowPixelsPerMM)));
    {
        TBitmapDrawContext dc(*Shadow);
        dc.Transformation->ScaleUniform(kShadowPixelsPerMM);
        Shadow->Clear();
        Shadow->SetTransparency(50);
        dc.ClipRect(0, 0, ShadowAreaWidth, ShadowAreaHeight, 5);
        Drawer->Draw(dc, HorzAlign, ShadowAreaWidth / 2, ShadowAreaHeight / 2, Width, Height, VertAlign);
        dc.RestoreClip();
    }
    Shadow->Blur(0, 1.5f);
}

void TFBTextElement::Draw(TDrawContext& DC, uint8_t)
{
    if (FHasShadow && Shadow) {
        if (Width != ShadowWidth || Height != ShadowHeight)
            ShadowDirty = true;
        if (ShadowDirty)
            MakeShadow();
        TTransformationScope scope(*DC.Transformation);
        DC.Transformation->Translate(CenterX + 0.5f, CenterY + 0.5f);
        DC.Transformation->Rotate(Angle);
        Shadow->Draw(DC, -ShadowAreaWidth / 2, -ShadowAreaHeight / 2, ShadowAreaWidth, ShadowAreaHeight);
    }
    DC.GetBrush().SetStyle(bsClear);
    {
        TTransformationScope scope(*DC.Transformation);
        DC.Transformation->Translate(CenterX, CenterY);
        DC.Transformation->Rotate(Angle);
        const float w = Width / 2, h = Height / 2;
        TRect visible;
        if (IntersectRect(visible, DC.Transformation->TransformBounds(-w, -h, w, h), DC.DeviceBounds)) {
            DC.ClipRect(-w, -h, w, h, 1);
            try {
                Drawer->Draw(DC, HorzAlign, 0, 0, Width, Height, VertAlign);
            } catch (...) {
                DC.RestoreClip();
                DC.GetBrush().SetStyle(bsSolid);
                throw;
            }
            DC.RestoreClip();
        }
    }
    DC.GetBrush().SetStyle(bsSolid);
}

void TFBTextElement::SaveTextKeys(TCustomDataFile& DataFile, const AnsiString& Section) const
{
    DataFile.WriteString(Section, "RTF", Drawer->RTFText());
    DataFile.WriteBool(Section, "HasShadow", FHasShadow);
    DataFile.WriteInteger(Section, "HorzAlign", HorzAlign);
    DataFile.WriteInteger(Section, "VertAlign", VertAlign);
}

void TFBTextElement::LoadTextKeys(TCustomDataFile& DataFile, const AnsiString& Section)
{
    Drawer->SetRTFText(DataFile.ReadString(Section, "RTF", ""));
    SetHasShadow(DataFile.ReadBool(Section, "HasShadow", false));
    if (FHasShadow)
        ShadowDirty = true;
    HorzAlign = uint8_t(DataFile.ReadInteger(Section, "HorzAlign", 0));
    VertAlign = uint8_t(DataFile.ReadInteger(Section, "VertAlign", 0));
}

void TFBTextElement::SaveToDataFile(TCustomDataFile& DataFile, const AnsiString& Section)
{
    TFBElement::SaveToDataFile(DataFile, Section);
    SaveTextKeys(DataFile, Section);
}

void TFBTextElement::LoadFromDataFile(TCustomDataFile& DataFile, const AnsiString& Section)
{
    TFBElement::LoadFromDataFile(DataFile, Section);
    LoadTextKeys(DataFile, Section);
}

void TFBTextElement::SaveClipboardData(TCustomDataFile& DataFile, const AnsiString& Section)
{
    TFBSizeableElement::SaveClipboardData(DataFile, Section);
    SaveTextKeys(DataFile, Section);
}

void TFBTextElement::LoadClipboardData(TCustomDataFile& DataFile, const AnsiString& Section)
{
    TFBSizeableElement::LoadClipboardData(DataFile, Section);
    LoadTextKeys(DataFile, Section);
}

// ---- clip-art element -------------------------------------------------------------------

TFBClipartElement::TFBClipartElement(TFBPage* APage) : TFBSizeableElement(APage) {}

TFBClipartElement::~TFBClipartElement()
{
    SetRefIndex(-1);
}

void TFBClipartElement::SetRefIndex(int32_t Value)
{
    const int32_t old = RefIndex;
    RefIndex = Value;
    BildManager().IncRefCount(Value);
    BildManager().Release(old);
}

void TFBClipartElement::LoadFromFile(const QString& FileName)
{
    SetRefIndex(-1);
    RefIndex = BildManager().AddFile(FileName);
    const TBildManagerListItem* item = BildManager().FindItem(RefIndex);
    const TFBDocument* doc = GetDocument();
    if (!item || item->PicWidth <= 0 || item->PicHeight <= 0)
        return;  // no picture: the size stays
    const float w = item->PicWidth, h = item->PicHeight;
    Width = w / 300.0f * 25.4f;
    Height = h / 300.0f * 25.4f;
    if (!doc)
        return;
    Width = doc->PageWidth / 2;
    Height = h * Width / w;
    if (Height > doc->PageHeight / 2) {
        Height = doc->PageHeight / 2;
        Width = w * Height / h;
    }
}

void TFBClipartElement::Draw(TDrawContext& DC, uint8_t)
{
    if (RefIndex == -1)
        return;
    const QImage* bmp = BildManager().GetFullBitmap(RefIndex);
    if (!bmp || bmp->isNull())
        return;
    DC.DrawImageGDIPlus(*bmp, CenterX, CenterY, Width, Height, Angle, 0, 0, bmp->width(),
                        bmp->height());
}

bool TFBClipartElement::ContainsPoint(float X, float Y)
{
    if (!TFBElement::ContainsPoint(X, Y))
        return false;
    if (RefIndex == -1 || Width <= 0 || Height <= 0)
        return true;
    const QImage* bmp = BildManager().GetFullBitmap(RefIndex);
    if (!bmp || bmp->isNull() || !bmp->hasAlphaChannel())
        return true;
    const int bw = bmp->width(), bh = bmp->height();
    // A point on the right or bottom edge addresses the last column or row.
    const int px = std::clamp(Round32(bw * (Width / 2 + X) / Width), 0, bw - 1);
    const int py = std::clamp(Round32(bh * (Height / 2 + Y) / Height), 0, bh - 1);
    return qAlpha(bmp->pixel(px, py)) >= 129;
}

void TFBClipartElement::SaveToDataFile(TCustomDataFile& DataFile, const AnsiString& Section)
{
    TFBElement::SaveToDataFile(DataFile, Section);
    DataFile.WriteInteger(Section, "RefIndex", RefIndex);
}

void TFBClipartElement::LoadFromDataFile(TCustomDataFile& DataFile, const AnsiString& Section)
{
    TFBElement::LoadFromDataFile(DataFile, Section);
    RefIndex = DataFile.ReadInteger(Section, "RefIndex", -1);
}

void TFBClipartElement::SaveClipboardData(TCustomDataFile& DataFile, const AnsiString& Section)
{
    TFBSizeableElement::SaveClipboardData(DataFile, Section);
    if (RefIndex != -1)
        BildManager().SaveItemCopy(DataFile, Section, RefIndex);
}

void TFBClipartElement::LoadClipboardData(TCustomDataFile& DataFile, const AnsiString& Section)
{
    TFBSizeableElement::LoadClipboardData(DataFile, Section);
    SetRefIndex(-1);
    if (HasPictureCopy(DataFile, Section))
        RefIndex = BildManager().AddCopyFromDataFile(DataFile, Section);
}

// ---- calendar element -------------------------------------------------------------------

TFBKalenderElement::TFBKalenderElement(TFBPage* APage)
    : TFBElement(APage), KalenderData(std::make_unique<TKalenderData>())
{
    MakePainter(0);
}

TFBKalenderElement::~TFBKalenderElement() = default;

void TFBKalenderElement::MakePainter(uint8_t Typ)
{
    Painter.reset();
    if (TFBDocument* doc = GetDocument())
        Painter = CreateKalenderPainter(Typ, *KalenderData, doc->Holidays, doc->Birthdays);
}

void TFBKalenderElement::Draw(TDrawContext& DC, uint8_t)
{
    MakePainter(KalenderData->Typ);
    if (Painter)
        Painter->Paint(DC, CenterX - Width / 2, CenterY - Height / 2, Width, Height);
}

void TFBKalenderElement::SaveToDataFile(TCustomDataFile& DataFile, const AnsiString& Section)
{
    TFBElement::SaveToDataFile(DataFile, Section);
    KalenderData->SaveToDataFile(DataFile, Section + "/KalenderData");
}

void TFBKalenderElement::LoadFromDataFile(TCustomDataFile& DataFile, const AnsiString& Section)
{
    TFBElement::LoadFromDataFile(DataFile, Section);
    KalenderData->LoadFromDataFile(DataFile, Section + "/KalenderData");
}

void TFBKalenderElement::SaveClipboardData(TCustomDataFile& DataFile, const AnsiString& Section)
{
    TFBElement::SaveClipboardData(DataFile, Section);
    KalenderData->SaveToDataFile(DataFile, Section + "/KalenderData");
}

void TFBKalenderElement::LoadClipboardData(TCustomDataFile& DataFile, const AnsiString& Section)
{
    KalenderData->LoadFromDataFile(DataFile, Section + "/KalenderData");
}

template class TFBOwningList<TFBElement>;
template class TFBOwningList<TFBPage>;
