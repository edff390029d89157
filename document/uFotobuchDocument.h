#pragma once
// The project document: pages with their picture frames, calendar months and
// free elements (text and clip-art), the product settings, the picture links
// and the special-day lists; stored as one keyed data file.
#include "AnsiString.h"
#include "Graphics.h"
#include "Object.h"
#include "Types.h"
#include "uKalender.h"
#include "uVectorLib.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

class TCustomDataFile;
class TDrawContext;
class TTransformation;
class TRTFDrawer;
class TShadowBitmap;
class TKalenderPainter;  // calendar painters: uKalenderPainter.h

class TFBDocument;
class TFBPage;
class TFBElement;
class TFBPictureElement;
class TFBPictureLink;

// ---- layout types, print formats and layout styles -----------------------------------

enum TFBLayoutTyp : uint8_t {
    ltPhotoBook86,
    ltPhotoBook85,
    ltPhotoBook46,
    ltPhotoBooklet43,
    ltSingles10x15,
    ltPhotoBook88,
    ltPhotoBook85Randlos,
    ltDINA4,
    ltDINA4Randlos,
    ltSingles13x18,
    ltPhotoBookPro,
    ltPhotoBookProRandlos,
};

// Set of layout types: bit n stands for the member of ordinal n.
using TFBLayoutTypen = uint16_t;
constexpr TFBLayoutTypen AllLayoutTypen = 0x0FFF;
constexpr TFBLayoutTypen LayoutTypSet(TFBLayoutTyp T) { return TFBLayoutTypen(1u << T); }

// "[ltPhotoBook86,ltDINA4]" and back; a name in the text that names no layout
// type raises EConvertError.
AnsiString LayoutTypenToString(TFBLayoutTypen Value);
TFBLayoutTypen StringToLayoutTypen(const AnsiString& Text);

// Name of a print format (PrintSetting 1..14; "" for 0 and out of range).
AnsiString GetPrintSettingName(int PrintSetting);
constexpr int PrintSettingCount = 15;
// Name of a layout style (0..9; "" out of range).
AnsiString GetLayoutStilName(int Stil);
constexpr int LayoutStilCount = 10;

// ---- lists -------------------------------------------------------------------------

// An owning list; its order is the drawing order (elements) or book order (pages).
template <class T>
class TFBOwningList {
public:
    TFBOwningList() = default;
    ~TFBOwningList();
    TFBOwningList(const TFBOwningList&) = delete;
    TFBOwningList& operator=(const TFBOwningList&) = delete;

    int Add(std::unique_ptr<T> Item);  // the new index
    void Clear();
    int Count() const { return int(items_.size()); }
    int GetCount() const { return Count(); }
    void Delete(int Index);                      // frees
    std::unique_ptr<T> Extract(T* Item);         // null when absent
    T* Get(int Index) const;                     // EListError out of range
    int IndexOf(const T* Item) const;            // -1 when absent
    void Insert(int Index, std::unique_ptr<T> Item);
    void Move(int CurIndex, int NewIndex);
    int Remove(T* Item);  // frees; the former index, -1 when absent

private:
    void CheckIndex(int Index, int Limit) const;
    std::vector<std::unique_ptr<T>> items_;
};

class TFBElementList : public TFBOwningList<TFBElement> {
public:
    TFBElement* GetItem(int Index) const { return Get(Index); }
};

class TFBPageList : public TFBOwningList<TFBPage> {
public:
    TFBPage* GetPage(int Index) const { return Get(Index); }
};

// ---- document ----------------------------------------------------------------------

class TFBDocument : public TObject {
public:
    LUMI_CLASSNAME(TFBDocument)
    TFBDocument();
    ~TFBDocument() override;
    TFBDocument(const TFBDocument&) = delete;
    TFBDocument& operator=(const TFBDocument&) = delete;

    void Clear();
    void LoadFromDataFile(TCustomDataFile& DataFile);
    void SaveToDataFile(TCustomDataFile& DataFile);

    // Screens: one page (ScreenMode 0) or a spread (1 with cover, 2 without).
    int GetScreenCount() const;
    int GetLeftPageIndex(int ScreenIndex) const;
    int GetRightPageIndex(int ScreenIndex) const;
    TFBPage* GetLeftPage(int ScreenIndex) const;   // null outside the page list
    TFBPage* GetRightPage(int ScreenIndex) const;
    int ScreenIndexOfPage(int PageIndex) const;
    void GetScreenSize(float& Width, float& Height) const;
    uint8_t GetScreenOrientation(int ScreenIndex) const;
    void SetScreenOrientation(int ScreenIndex, uint8_t Orientation);
    // Moves the page millimetres of Page to their place on its screen.
    void TranslateToPage(TTransformation& Transformation, const TFBPage* Page) const;
    AnsiString GetScreenCaption(int ScreenIndex) const;

    bool CanInsertScreen(int ScreenIndex) const;
    bool CanDeleteScreen(int ScreenIndex) const;
    void InsertScreen(int AtScreen, int LikeScreen);
    void DeleteScreen(int ScreenIndex);
    void MoveScreen(int FromScreen, int ToScreen);

    int IndexOfPage(const TFBPage* Page) const;
    int GetLastUsedPageIndex() const;  // -1 when no page has content
    TFBPictureLink* AddPictureLink();
    // Dissolves the link (its members are unlinked) and frees it.
    void RemovePictureLink(TFBPictureLink* Link);
    int PictureLinkCount() const { return int(PictureLinks.size()); }
    TFBPictureLink* GetPictureLink(int Index) const;

    // Raises Exception "MoveElementToPage: el ist nicht zuordbar" for an element
    // that belongs to no page list.
    void MoveElementToPage(TFBElement* Element, TFBPage* Page);
    void SetPictureShadows(bool Value);
    void SetKalenderJahr(int Year);
    // Every calendar gets Data's settings and keeps its own month and year.
    void AssignKalenderDataToAll(const TKalenderData& Data);

    AnsiString GetPrintPaperCaption() const;
    AnsiString GetPrintPaperTypeCaption() const;

    TFBPageList Pages;
    std::vector<std::unique_ptr<TFBPictureLink>> PictureLinks;
    TKalenderTageListe Holidays;   // "Feiertage"
    TKalenderTageListe Birthdays;  // "Geburtstage"

    uint8_t ScreenMode = 0;
    uint8_t DocType = 0;
    bool PictureShadowsAllowed = true;
    bool Modified = false;
    AnsiString PrintPaperName;
    AnsiString PrintPaperType;
    float PageWidth = 210.0f;
    float PageHeight = 297.0f;
    float Stegbreite = 2.0f;
    float Umschlagbreite = 4.0f;
    int32_t PrintPaperSize = 9;
    float PrintPaperWidth = 210.0f;
    float PrintPaperHeight = 297.0f;
    uint8_t PrintSetting = 0;
    AnsiString Dokumentname;  // the product's name; Clear keeps it
    bool PicturesHaveShadows = true;
    bool PrintBorderless = false;
    int32_t DocVersion = 4;
    QString FileName;  // path of the project file; not stored in it
    TFBLayoutTypen Layouttypen = AllLayoutTypen;
    AnsiString LayoutSubTyp;
    uint8_t LayoutStil = 0;
    float ScreenQuerformatWinkel = 90.0f;

private:
    bool IsCalendarProduct() const { return PrintSetting == 7 || PrintSetting == 8; }
    void DeletePageIfPresent(int PageIndex);
};

// ---- page --------------------------------------------------------------------------

// FindElementAt flags.
constexpr int feaPictures = 1;
constexpr int feaElements = 2;
constexpr int feaCalendars = 4;

class TFBPage : public TObject {
public:
    LUMI_CLASSNAME(TFBPage)
    explicit TFBPage(TFBDocument* ADocument);
    ~TFBPage() override;
    TFBPage(const TFBPage&) = delete;
    TFBPage& operator=(const TFBPage&) = delete;

    // With CountBudget, the page's lists take their counts from it (see ReadStoredCount).
    void LoadFromDataFile(TCustomDataFile& DataFile, const AnsiString& Section,
                          int64_t* CountBudget = nullptr);
    void SaveToDataFile(TCustomDataFile& DataFile, const AnsiString& Section) const;
    // The element stored in Section, or null when it names no element class.
    std::unique_ptr<TFBElement> LoadElement(TCustomDataFile& DataFile, const AnsiString& Section);

    void SetOrientation(uint8_t Value) { Orientation = Value; }
    int GetIndex() const;
    int GetScreenIndex() const;
    bool IsLeftPage() const;
    bool HasContent() const;
    // Empty frames and default calendars in the places of Source's; no free elements.
    void CopyFramesFrom(const TFBPage& Source);
    // Page millimetres; Flags: feaPictures, feaElements, feaCalendars.
    TFBElement* FindElementAt(float X, float Y, int Flags) const;

    // The list an element of this class lives in (pictures, calendars or free
    // elements), null for any other class.
    TFBElementList* ListFor(const TFBElement* Element);

    TFBElementList Pictures;   // picture frames, drawn first
    TFBElementList Elements;   // text and clip-art, drawn last
    uint8_t Orientation = 0;   // non-zero: landscape
    TFBElementList Calendars;  // calendar months, drawn between the two
    TColor PageColor = 0xFFFFFF;
    TFBDocument* Document;  // not owned
};

// ---- elements ----------------------------------------------------------------------

class TFBElement : public TObject {
public:
    LUMI_CLASSNAME(TFBElement)
    explicit TFBElement(TFBPage* APage);
    ~TFBElement() override;
    TFBElement(const TFBElement&) = delete;
    TFBElement& operator=(const TFBElement&) = delete;

    // Mode 0: full-resolution pictures (editing view, printing); 1: previews.
    virtual void Draw(TDrawContext& DC, uint8_t Mode);
    virtual void SaveToDataFile(TCustomDataFile& DataFile, const AnsiString& Section);
    virtual void LoadFromDataFile(TCustomDataFile& DataFile, const AnsiString& Section);
    virtual void SaveClipboardData(TCustomDataFile& DataFile, const AnsiString& Section);
    virtual void LoadClipboardData(TCustomDataFile& DataFile, const AnsiString& Section);
    // Index in the page list of its kind, -1 when none.
    virtual int IndexInPage() const;
    virtual bool HasShadow() const;
    // A point in element coordinates (origin at the centre, axes turned with it).
    virtual bool ContainsPoint(float X, float Y);

    // Unrotated edges.
    float GetLeft() const { return CenterX - Width / 2; }
    float GetRight() const { return CenterX + Width / 2; }
    float GetTop() const { return CenterY - Height / 2; }
    float GetBottom() const { return CenterY + Height / 2; }
    // The axis-aligned box around the rotated element.
    TRectF GetBoundingRect() const;
    void GetBoundingSize(float& W, float& H) const;
    TFBDocument* GetDocument() const;

    TFBPage* Page;  // not owned; null for template frames
    float CenterX = 0;
    float CenterY = 0;
    float Width = 0;
    float Height = 0;
    float Angle = 0;

protected:
    void SaveGeometry(TCustomDataFile& DataFile, const AnsiString& Section) const;
    void LoadGeometry(TCustomDataFile& DataFile, const AnsiString& Section);
};

// "TFBElement", "TFBPictureElement", "TFBSizeableElement", "TFBKalenderElement",
// "TFBTextElement", "TFBClipartElement" (exact case); null for any other name.
std::unique_ptr<TFBElement> CreateElementByClassName(const AnsiString& ClassName, TFBPage* Page);

// Freely sized elements: their clipboard copy carries geometry and "IsLeftPage".
class TFBSizeableElement : public TFBElement {
public:
    LUMI_CLASSNAME(TFBSizeableElement)
    using TFBElement::TFBElement;

    void SaveClipboardData(TCustomDataFile& DataFile, const AnsiString& Section) override;
    void LoadClipboardData(TCustomDataFile& DataFile, const AnsiString& Section) override;
};

// A rich-text box, optionally with a soft drop shadow.
class TFBTextElement : public TFBSizeableElement {
public:
    LUMI_CLASSNAME(TFBTextElement)
    explicit TFBTextElement(TFBPage* APage);
    ~TFBTextElement() override;

    void Draw(TDrawContext& DC, uint8_t Mode) override;
    void SaveToDataFile(TCustomDataFile& DataFile, const AnsiString& Section) override;
    void LoadFromDataFile(TCustomDataFile& DataFile, const AnsiString& Section) override;
    void SaveClipboardData(TCustomDataFile& DataFile, const AnsiString& Section) override;
    void LoadClipboardData(TCustomDataFile& DataFile, const AnsiString& Section) override;
    bool HasShadow() const override { return FHasShadow; }

    void SetHasShadow(bool Value);
    void SetHorzAlign(uint8_t Value);
    void SetVertAlign(uint8_t Value);
    void OnDrawerChange(TObject* Sender);
    // Makes the shadow bitmap again (only while there is one).
    void MakeShadow();

    float ShadowWidth = 0;
    float ShadowHeight = 0;
    bool ShadowDirty = true;
    std::unique_ptr<TRTFDrawer> Drawer;     // holds the rich text
    std::unique_ptr<TShadowBitmap> Shadow;  // exists exactly while HasShadow()
    float ShadowAreaWidth = 0;
    float ShadowAreaHeight = 0;
    uint8_t HorzAlign = 0;  // 0 left, 1 centre, 2 right, 3 justify
    uint8_t VertAlign = 0;  // 0 top, 1 centre, 2 bottom
    // Set for a newly inserted text box until the text panel first binds it; not stored.
    bool NewText = false;

private:
    void SaveTextKeys(TCustomDataFile& DataFile, const AnsiString& Section) const;
    void LoadTextKeys(TCustomDataFile& DataFile, const AnsiString& Section);
    bool FHasShadow = false;
};

// A picture with transparency, hit only on its opaque pixels.
class TFBClipartElement : public TFBSizeableElement {
public:
    LUMI_CLASSNAME(TFBClipartElement)
    explicit TFBClipartElement(TFBPage* APage);
    ~TFBClipartElement() override;

    void Draw(TDrawContext& DC, uint8_t Mode) override;
    void SaveToDataFile(TCustomDataFile& DataFile, const AnsiString& Section) override;
    void LoadFromDataFile(TCustomDataFile& DataFile, const AnsiString& Section) override;
    void SaveClipboardData(TCustomDataFile& DataFile, const AnsiString& Section) override;
    void LoadClipboardData(TCustomDataFile& DataFile, const AnsiString& Section) override;
    bool HasShadow() const override { return true; }
    bool ContainsPoint(float X, float Y) override;

    void SetRefIndex(int32_t Value);
    // Takes the picture and sizes the element to fit half the page.
    void LoadFromFile(const QString& FileName);

    int32_t RefIndex = -1;
};

// One calendar month.
class TFBKalenderElement : public TFBElement {
public:
    LUMI_CLASSNAME(TFBKalenderElement)
    explicit TFBKalenderElement(TFBPage* APage);
    ~TFBKalenderElement() override;

    void Draw(TDrawContext& DC, uint8_t Mode) override;
    void SaveToDataFile(TCustomDataFile& DataFile, const AnsiString& Section) override;
    void LoadFromDataFile(TCustomDataFile& DataFile, const AnsiString& Section) override;
    void SaveClipboardData(TCustomDataFile& DataFile, const AnsiString& Section) override;
    void LoadClipboardData(TCustomDataFile& DataFile, const AnsiString& Section) override;

    std::unique_ptr<TKalenderData> KalenderData;
    std::unique_ptr<TKalenderPainter> Painter;  // null without a document

private:
    void MakePainter(uint8_t Typ);
};
