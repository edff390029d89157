#pragma once
// The text's side tables whose items characters and cells refer to by id:
// insert points, tables, footnotes and object references. Each is a doubly
// linked list of items with an id, a reference count, a flag byte and a group.
#include "RtDefs.h"

#include <memory>
#include <vector>

class TRtObjectBase;

// One item: the header all lists share; each list derives its data from it.
struct TRtListItem {
    virtual ~TRtListItem() = default;
    TRtListItem* Next = nullptr;
    TRtListItem* Prior = nullptr;
    int32_t Id = 0;
    TRtListItem* Source = nullptr;  // the item it was copied from (AddCopy)
    int32_t RefCount = 0;
    uint8_t Flags = 0;              // bit 0: marked
    int32_t Group = 0;
};

// Zero-fills an item's header and data, keeping its links.
template <class T>
void ResetItem(TRtListItem* Item)
{
    TRtListItem* next = Item->Next;
    TRtListItem* prior = Item->Prior;
    *static_cast<T*>(Item) = T{};
    Item->Next = next;
    Item->Prior = prior;
}

class TRtCustomList : public TObject {
public:
    LUMI_CLASSNAME(TRtCustomList)
    TRtCustomList();
    ~TRtCustomList() override;
    TRtCustomList(const TRtCustomList&) = delete;
    TRtCustomList& operator=(const TRtCustomList&) = delete;

    // Item handling that each list fills for its data.
    virtual void FreeItem(TRtListItem* Item);
    virtual TRtListItem* CloneItem(const TRtListItem* Source);
    virtual void ClearItem(TRtListItem* Item);
    virtual void GetItemName(const TRtListItem* Item, AnsiString& Name) const;
    virtual void SetItemName(TRtListItem* Item, const AnsiString& Name);

    int32_t Add();
    TRtListItem* AddItem();
    TRtListItem* DeleteLast();
    virtual int32_t Release(int32_t Id);
    void Assign(const TRtCustomList& Source);
    TRtListItem* First();
    TRtListItem* Prior();
    TRtListItem* Next();
    TRtListItem* Last();
    TRtListItem* CurrentItem() const { return current_; }

    void Clear();
    int32_t AddRef(int32_t Id);
    int32_t LinkItem(TRtListItem* Item);
    int32_t AddCopy(TRtListItem* Source);
    int32_t FindCopyId(const TRtListItem* Source) const;
    void DeleteItem(TRtListItem* Item);
    TRtListItem* FindItem(int32_t Id);
    int32_t FindByName(const AnsiString& Name);
    TRtListItem* SetCurrentId(int32_t Id);
    TRtListItem* CurrentData() const { return current_; }
    TRtListItem* GetData(int32_t Id) { return FindItem(Id); }
    TRtListItem* AddData() { return AddItem(); }
    AnsiString GetNameById(int32_t Id);
    void SetNameById(int32_t Id, const AnsiString& Name);
    void ClearItemFlags();
    int32_t ReleaseLineRefs(const TLine* Line, int32_t FromPos, int32_t BitNr, int32_t ToPos);
    int32_t ReleaseParRefs(const TParagraph* Par, int32_t BitNr);

    int32_t Count() const;
    TRtListItem* FirstItem() const { return first_; }
    TRtListItem* LastItem() const { return last_; }

    int32_t GroupFilter = 0;       // 0 = all groups
    int32_t LastId = 0;
    bool EndOfList = true;         // the last navigation or lookup found nothing
    int32_t CurrentId = 0;
    bool ReuseCurrent = false;     // Add returns the current id when one is current
    bool DeleteOnRelease = false;  // Release deletes an item whose count falls below 0
    int32_t ItemSize = 0;          // identifies the item layout (header + data)

protected:
    // A new zero item of the list's kind.
    virtual TRtListItem* NewItem() const { return new TRtListItem; }
    bool InGroup(const TRtListItem* Item) const { return GroupFilter == 0 || Item->Group == GroupFilter; }
    void Unlink(TRtListItem* Item);

    TRtListItem* first_ = nullptr;
    TRtListItem* last_ = nullptr;
    TRtListItem* current_ = nullptr;
    int32_t cachedId_ = -1;
    TRtListItem* cached_ = nullptr;
    std::vector<void*> internal_;  // the object-reference search's own result list
};

// A list whose items are TItem: it creates, clears and copies their data, and
// names them by the field NameField (none: the base's empty name).
template <class TItem, AnsiString TItem::*NameField = nullptr>
class TRtItemList : public TRtCustomList {
public:
    TRtItemList() { ItemSize += int32_t(sizeof(TItem) - sizeof(TRtListItem)); }
    void ClearItem(TRtListItem* Item) override { ResetItem<TItem>(Item); }
    // The base's copy of the header, then the item's data.
    TRtListItem* CloneItem(const TRtListItem* Source) override
    {
        auto* item = static_cast<TItem*>(TRtCustomList::CloneItem(Source));
        const TRtListItem header = *item;
        *item = *static_cast<const TItem*>(Source);
        static_cast<TRtListItem&>(*item) = header;
        return item;
    }
    void GetItemName(const TRtListItem* Item, AnsiString& Name) const override
    {
        if constexpr (NameField != nullptr)
            Name = static_cast<const TItem*>(Item)->*NameField;
        else
            TRtCustomList::GetItemName(Item, Name);
    }
    void SetItemName(TRtListItem* Item, const AnsiString& Name) override
    {
        if constexpr (NameField != nullptr)
            static_cast<TItem*>(Item)->*NameField = Name;
    }

protected:
    TRtListItem* NewItem() const override { return new TItem; }
};

// ---- insert points ----------------------------------------------------------------------

struct TRtInsertpointItem : TRtListItem {
    AnsiString Name;
    AnsiString Str1;
    AnsiString Str2;
    int32_t Value = 0;
};

class TRtInsertpointList : public TRtItemList<TRtInsertpointItem, &TRtInsertpointItem::Name> {
public:
    LUMI_CLASSNAME(TRtInsertpointList)
    int32_t AddInsertpoint(const AnsiString& Name, const AnsiString& Str1, int32_t Value,
                           const AnsiString& Str2);
    int32_t GetIntData(int32_t Id);
    AnsiString GetStrData1(int32_t Id);
    AnsiString GetStrData2(int32_t Id);
};

// ---- tables ---------------------------------------------------------------------------------

struct TRtTableItem : TRtListItem {
    AnsiString Name;
    AnsiString Text;
    int32_t Left = 0;
    int32_t Right = 0;
    int32_t Value3 = 0;
};

class TRtTableList : public TRtItemList<TRtTableItem, &TRtTableItem::Name> {
public:
    LUMI_CLASSNAME(TRtTableList)
    int32_t AddTable(const AnsiString& Name, const AnsiString& Text, int32_t Value3, int32_t Right,
                     int32_t Left);
    TRtTableItem* GetTable(int32_t Id) { return static_cast<TRtTableItem*>(FindItem(Id)); }
    int32_t GetTableLeft(int32_t Id);
    int32_t GetTableRight(int32_t Id);
    int32_t GetTableValue3(int32_t Id);
    void SetTableLeft(int32_t Id, int32_t V);
    void SetTableRight(int32_t Id, int32_t V);
    void SetTableValue3(int32_t Id, int32_t V);
    bool GetTableLeftRight(int32_t Id, int32_t& Left, int32_t& Right);
};

// ---- footnotes -------------------------------------------------------------------------------

struct TRtFootnoteItem : TRtListItem {
    AnsiString Text;
    int32_t Value = 0;
    uint8_t Kind = 0;
};

class TRtFootnoteList : public TRtItemList<TRtFootnoteItem, &TRtFootnoteItem::Text> {
public:
    LUMI_CLASSNAME(TRtFootnoteList)
    int32_t AddFootnote(const AnsiString& Text, uint8_t Kind, int32_t Value);
};

// ---- object references -------------------------------------------------------------------------

// The reference record of one embedded object.
struct TTextObj {
    uint8_t Kind = 0;          // 0 flows with the text, 1 positioned, 3 named reference
    uint32_t Tag = 0;
    TRtObjectBase* Object = nullptr;
    AnsiString ItemName;
    AnsiString RefName;
    int32_t Width = 0;         // twips
    int32_t Height = 0;
    uint8_t LayoutByte = 0;
    uint8_t WrapMode = 0;      // 0 side with more room, 1 left, 3 no wrap
    int32_t X = 0;             // twips; y from the top of its paragraph's first line
    int32_t Y = 0;
    int32_t RectLeft = 0;      // layout units
    int32_t RectTop = 0;
    int32_t RectWidth = 0;
    int32_t RectHeight = 0;
    uint8_t Placed = 0;        // True while the reference has a computed rectangle
    // Further fields of layout.
    uint8_t Type = 0;          // 1 bookmark, 3 page reference
    uint8_t SubKind = 0;       // of a text code: 1 bookmark start or end, 3 code with its own text
    uint8_t PlaceMode = 0;     // 3 behind the text
    TParagraph* AnchorPar = nullptr;
    TLine* AnchorLine = nullptr;
    int32_t AnchorPos = 0;
    int32_t ScreenX = 0, ScreenY = 0, ScreenW = 0, ScreenH = 0;
    AnsiString FormatText;
    AnsiString Command;
};
using PTTextObj = TTextObj*;

struct TRtObjRefItem : TRtListItem {
    TTextObj Obj;
};

class TRtObjReferenceList : public TRtItemList<TRtObjRefItem> {
public:
    LUMI_CLASSNAME(TRtObjReferenceList)
    explicit TRtObjReferenceList(TRtRTFText* Owner = nullptr) : Owner(Owner) {}
    // Frees the objects: the base's destructor no longer reaches this list's FreeItem.
    ~TRtObjReferenceList() override { Clear(); }
    void FreeItem(TRtListItem* Item) override;
    void GetItemName(const TRtListItem* Item, AnsiString& Name) const override;
    void SetItemName(TRtListItem* Item, const AnsiString& Name) override;
    int32_t Release(int32_t Id) override;

    TTextObj* AddObject(TRtObjectBase* Obj);
    int32_t AddNamedRef(const AnsiString& Name, uint32_t Tag);
    TTextObj* FindNamedRef(const AnsiString& Name, uint32_t Tag);
    bool FindNamedRefs(const AnsiString& Name, uint32_t Tag, std::vector<void*>* List);
    bool GetObjectsOfMode(std::vector<TTextObj*>& List, uint8_t Kind);
    TTextObj* FindObject(const void* ObjOrRef);
    TTextObj* FindByObjectName(const AnsiString& Name);
    int32_t IndexOfObject(const void* ObjOrRef);
    int32_t FindObjectAt(int32_t X, int32_t Y);
    // Forgets the computed rectangles of all references (of the group filter).
    void ResetPlaced();
    TTextObj* GetRef(int32_t Id) { return GetTextObj(Id); }  // kept: the list's published lookup
    TTextObj* GetTextObj(int32_t Id);

    TRtRTFText* Owner;
    bool KeepPlaced = false;
    // A bookmark code left the text since the bookmark marks were last counted
    // (set by releasing its reference and by deleting its character).
    bool BookmarksChanged = false;

protected:
    static TTextObj& Data(TRtListItem* Item) { return static_cast<TRtObjRefItem*>(Item)->Obj; }
};
