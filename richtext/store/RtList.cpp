#include "RtList.h"

#include "RtObjBase.h"
#include "RtRtfTxt.h"

#include <algorithm>

// ---- TRtCustomList ---------------------------------------------------------------------------

TRtCustomList::TRtCustomList() : ItemSize(int32_t(sizeof(TRtListItem))) {}

TRtCustomList::~TRtCustomList()
{
    GroupFilter = 0;
    while (last_)
        DeleteLast();
}

void TRtCustomList::FreeItem(TRtListItem* Item) { delete Item; }

TRtListItem* TRtCustomList::CloneItem(const TRtListItem* Source)
{
    TRtListItem* item = NewItem();
    item->Id = Source->Id;
    item->Flags = Source->Flags;
    item->Group = Source->Group;
    return item;
}

void TRtCustomList::ClearItem(TRtListItem* Item) { ResetItem<TRtListItem>(Item); }

void TRtCustomList::GetItemName(const TRtListItem*, AnsiString& Name) const { Name.clear(); }

void TRtCustomList::SetItemName(TRtListItem*, const AnsiString&) {}

int32_t TRtCustomList::Add()
{
    if (ReuseCurrent && current_)
        return CurrentId;
    return LinkItem(NewItem());
}

TRtListItem* TRtCustomList::AddItem()
{
    TRtListItem* item = NewItem();
    LinkItem(item);
    return item;
}

int32_t TRtCustomList::LinkItem(TRtListItem* Item)
{
    if (Item->Id < 1) {
        Item->Id = ++LastId;
        Item->Prior = last_;
        Item->Next = nullptr;
        (last_ ? last_->Next : first_) = Item;
        last_ = Item;
    } else if (Item->Id <= LastId) {
        Item->Prior = nullptr;
        Item->Next = first_;
        (first_ ? first_->Prior : last_) = Item;
        first_ = Item;
    } else {
        LastId = Item->Id;
        Item->Prior = last_;
        Item->Next = nullptr;
        (last_ ? last_->Next : first_) = Item;
        last_ = Item;
    }
    current_ = Item;
    CurrentId = Item->Id;
    ++Item->RefCount;
    EndOfList = false;
    return Item->Id;
}

void TRtCustomList::Unlink(TRtListItem* Item)
{
    (Item->Prior ? Item->Prior->Next : first_) = Item->Next;
    (Item->Next ? Item->Next->Prior : last_) = Item->Prior;
    Item->Next = Item->Prior = nullptr;
}

void TRtCustomList::DeleteItem(TRtListItem* Item)
{
    if (!Item)
        return;
    TRtListItem* next = Item->Next;
    TRtListItem* prior = Item->Prior;
    Unlink(Item);
    if (Item == current_) {
        const bool forward = next != nullptr;
        TRtListItem* c = forward ? next : prior;
        while (c && GroupFilter != 0 && c->Group != GroupFilter)
            c = forward ? c->Next : c->Prior;
        current_ = c;
        CurrentId = c ? c->Id : 0;
    }
    if (Item == cached_) {
        cached_ = nullptr;
        cachedId_ = -1;
    }
    FreeItem(Item);
}

TRtListItem* TRtCustomList::DeleteLast()
{
    DeleteItem(last_);
    return last_;
}

int32_t TRtCustomList::Release(int32_t Id)
{
    TRtListItem* item = FindItem(Id);
    if (!item)
        return 0;
    const int32_t count = --item->RefCount;
    if (count < 0 && DeleteOnRelease)
        DeleteItem(item);
    return count;
}

void TRtCustomList::Assign(const TRtCustomList& Source)
{
    if (Source.ItemSize != ItemSize)
        throw ERtEngineModeError("TRtList was not created with correct Item");
    GroupFilter = 0;
    Clear();
    LastId = Source.LastId;
    for (const TRtListItem* s = Source.first_; s; s = s->Next) {
        TRtListItem* copy = const_cast<TRtCustomList&>(Source).CloneItem(s);
        copy->Prior = last_;
        copy->Next = nullptr;
        (last_ ? last_->Next : first_) = copy;
        last_ = copy;
    }
}

TRtListItem* TRtCustomList::First()
{
    current_ = first_;
    CurrentId = current_ ? current_->Id : 0;
    EndOfList = current_ == nullptr;
    return current_;
}

TRtListItem* TRtCustomList::Prior()
{
    current_ = current_ ? current_->Prior : last_;
    CurrentId = current_ ? current_->Id : 0;
    EndOfList = current_ == nullptr;
    return current_;
}

TRtListItem* TRtCustomList::Next()
{
    current_ = current_ ? current_->Next : first_;
    CurrentId = current_ ? current_->Id : 0;
    EndOfList = current_ == nullptr;
    return current_;
}

TRtListItem* TRtCustomList::Last()
{
    current_ = last_;
    CurrentId = current_ ? current_->Id : 0;
    EndOfList = current_ == nullptr;
    return current_;
}

void TRtCustomList::Clear()
{
    for (TRtListItem* item = first_; item;) {
        TRtListItem* next = item->Next;
        if (InGroup(item))
            DeleteItem(item);
        item = next;
    }
    LastId = 0;
    for (const TRtListItem* item = first_; item; item = item->Next)
        LastId = std::max(LastId, item->Id);
    if (!first_) {
        current_ = nullptr;
        CurrentId = 0;
    }
}

int32_t TRtCustomList::AddRef(int32_t Id)
{
    TRtListItem* item = FindItem(Id);
    return item ? ++item->RefCount : 0;
}

int32_t TRtCustomList::AddCopy(TRtListItem* Source)
{
    if (!Source)
        return 0;
    TRtListItem* copy = CloneItem(Source);
    copy->Id = 0;
    copy->RefCount = 0;
    copy->Source = Source;
    return LinkItem(copy);
}

int32_t TRtCustomList::FindCopyId(const TRtListItem* Source) const
{
    for (const TRtListItem* item = first_; item; item = item->Next)
        if (item->Source == Source)
            return item->Id;
    return 0;
}

TRtListItem* TRtCustomList::FindItem(int32_t Id)
{
    TRtListItem* found = nullptr;
    if (Id >= 1) {
        if (cached_ && Id == cachedId_)
            found = cached_;
        else if (last_ && last_->Id == Id)
            found = last_;
        else if (cached_ && cached_->Next && cached_->Next->Id == Id)
            found = cached_->Next;
        else if (cached_ && cached_->Prior && cached_->Prior->Id == Id)
            found = cached_->Prior;
        else
            for (TRtListItem* item = first_; item; item = item->Next)
                if (item->Id == Id) {
                    found = item;
                    break;
                }
    }
    if (found) {
        cached_ = found;
        cachedId_ = found->Id;
    }
    EndOfList = found == nullptr;
    return found;
}

int32_t TRtCustomList::FindByName(const AnsiString& Name)
{
    AnsiString name;
    for (TRtListItem* item = first_; item; item = item->Next) {
        GetItemName(item, name);
        if (SameText(name, Name)) {
            current_ = item;
            CurrentId = item->Id;
            EndOfList = false;
            return item->Id;
        }
    }
    EndOfList = true;
    return 0;
}

TRtListItem* TRtCustomList::SetCurrentId(int32_t Id)
{
    current_ = FindItem(Id);
    CurrentId = current_ ? current_->Id : 0;
    return current_;
}

AnsiString TRtCustomList::GetNameById(int32_t Id)
{
    AnsiString name;
    if (TRtListItem* item = FindItem(Id))
        GetItemName(item, name);
    return name;
}

void TRtCustomList::SetNameById(int32_t Id, const AnsiString& Name)
{
    if (TRtListItem* item = FindItem(Id))
        SetItemName(item, Name);
}

void TRtCustomList::ClearItemFlags()
{
    for (TRtListItem* item = first_; item; item = item->Next)
        if (InGroup(item))
            item->Flags &= uint8_t(~1u);
}

int32_t TRtCustomList::ReleaseLineRefs(const TLine* Line, int32_t FromPos, int32_t BitNr, int32_t ToPos)
{
    if (!Line || !Line->Attrs || BitNr < 0 || BitNr > 31)
        return 0;
    int32_t count = 0;
    const int32_t to = std::min<int32_t>(Line->Length, ToPos);
    for (int32_t i = std::max(FromPos, 0); i < to; ++i) {
        TAttr& a = Line->Attrs[i];
        if (!(a.Style.Bits & (1u << BitNr)))
            continue;
        Release(int32_t(a.Tag));
        a.Tag = 0;
        ++count;
    }
    return count;
}

int32_t TRtCustomList::ReleaseParRefs(const TParagraph* Par, int32_t BitNr)
{
    int32_t count = 0;
    for (const TLine* l = Par ? Par->Lines : nullptr; l; l = l->Next)
        count += ReleaseLineRefs(l, 0, BitNr, l->Length);
    return count;
}

int32_t TRtCustomList::Count() const
{
    int32_t n = 0;
    for (const TRtListItem* item = first_; item; item = item->Next)
        ++n;
    return n;
}

// ---- insert points ---------------------------------------------------------------------------------

int32_t TRtInsertpointList::AddInsertpoint(const AnsiString& Name, const AnsiString& Str1, int32_t Value,
                                           const AnsiString& Str2)
{
    auto* item = static_cast<TRtInsertpointItem*>(AddItem());
    item->Name = Name;
    item->Str1 = Str1;
    item->Str2 = Str2;
    item->Value = Value;
    return item->Id;
}

int32_t TRtInsertpointList::GetIntData(int32_t Id)
{
    auto* item = static_cast<TRtInsertpointItem*>(FindItem(Id));
    return item ? item->Value : 0;
}

AnsiString TRtInsertpointList::GetStrData1(int32_t Id)
{
    auto* item = static_cast<TRtInsertpointItem*>(FindItem(Id));
    return item ? item->Str1 : AnsiString();
}

AnsiString TRtInsertpointList::GetStrData2(int32_t Id)
{
    auto* item = static_cast<TRtInsertpointItem*>(FindItem(Id));
    return item ? item->Str2 : AnsiString();
}

// ---- tables ------------------------------------------------------------------------------------------

int32_t TRtTableList::AddTable(const AnsiString& Name, const AnsiString& Text, int32_t Value3, int32_t Right,
                               int32_t Left)
{
    auto* item = static_cast<TRtTableItem*>(AddItem());
    item->Name = Name;
    item->Text = Text;
    item->Value3 = Value3;
    item->Right = Right;
    item->Left = Left;
    return item->Id;
}

int32_t TRtTableList::GetTableLeft(int32_t Id)
{
    const TRtTableItem* t = GetTable(Id);
    return t ? t->Left : 0;
}

int32_t TRtTableList::GetTableRight(int32_t Id)
{
    const TRtTableItem* t = GetTable(Id);
    return t ? t->Right : 0;
}

int32_t TRtTableList::GetTableValue3(int32_t Id)
{
    const TRtTableItem* t = GetTable(Id);
    return t ? t->Value3 : 0;
}

void TRtTableList::SetTableLeft(int32_t Id, int32_t V)
{
    if (TRtTableItem* t = GetTable(Id))
        t->Left = V;
}

void TRtTableList::SetTableRight(int32_t Id, int32_t V)
{
    if (TRtTableItem* t = GetTable(Id))
        t->Right = V;
}

void TRtTableList::SetTableValue3(int32_t Id, int32_t V)
{
    if (TRtTableItem* t = GetTable(Id))
        t->Value3 = V;
}

bool TRtTableList::GetTableLeftRight(int32_t Id, int32_t& Left, int32_t& Right)
{
    const TRtTableItem* t = GetTable(Id);
    Left = t ? t->Left : 0;
    Right = t ? t->Right : 0;
    return t != nullptr;
}

// ---- footnotes ----------------------------------------------------------------------------------------

int32_t TRtFootnoteList::AddFootnote(const AnsiString& Text, uint8_t Kind, int32_t Value)
{
    auto* item = static_cast<TRtFootnoteItem*>(AddItem());
    item->Text = Text;
    item->Kind = Kind;
    item->Value = Value;
    return item->Id;
}

// ---- object references ---------------------------------------------------------------------------------

void TRtObjReferenceList::FreeItem(TRtListItem* Item)
{
    TTextObj& ref = Data(Item);
    ref.ItemName.clear();
    TRtObjectBase* obj = ref.Object;
    ref.Object = nullptr;
    bool shared = false;
    for (TRtListItem* i = first_; i && obj; i = i->Next)
        if (i != Item && Data(i).Object == obj) {
            shared = true;
            break;
        }
    // Whoever holds the reference or the object that goes lets go first.
    if (Owner) {
        Owner->Positions().ObjectGoes(&ref, shared ? nullptr : obj);
        for (TRtObjectBase* o : Owner->Objects())
            if (o->SelectedRef == &ref)
                o->SelectedRef = nullptr;
    }
    if (obj && obj->SelectedRef == &ref)
        obj->SelectedRef = nullptr;
    if (obj && !shared) {
        if (Owner) {
            auto& objs = Owner->Objects();
            objs.erase(std::remove(objs.begin(), objs.end(), obj), objs.end());
        }
        bool free = true;
        if (obj->OnDestroyQuery)
            free = obj->OnDestroyQuery(obj);
        if (free) {
            const bool destroying = Owner && Owner->OwnerControl && Owner->OwnerControl->IsDestroying();
            if (Owner && Owner->OnTextObjectDestroying && !destroying)
                Owner->OnTextObjectDestroying(Owner, obj);
            delete obj;
        }
    }
    TRtCustomList::FreeItem(Item);
}

void TRtObjReferenceList::GetItemName(const TRtListItem* Item, AnsiString& Name) const
{
    Name = static_cast<const TRtObjRefItem*>(Item)->Obj.ItemName;
}

void TRtObjReferenceList::SetItemName(TRtListItem* Item, const AnsiString& Name) { Data(Item).ItemName = Name; }

int32_t TRtObjReferenceList::Release(int32_t Id)
{
    // The reference goes before its count: a bookmark code is about to leave the text.
    if (const TTextObj* ref = GetTextObj(Id); ref && ref->Kind == 3 && ref->SubKind == 1)
        BookmarksChanged = true;
    const int32_t count = TRtCustomList::Release(Id);
    if (cached_ && !KeepPlaced)
        Data(cached_).Placed = 0;
    return count;
}

TTextObj* TRtObjReferenceList::AddObject(TRtObjectBase* Obj)
{
    const int32_t id = Add();
    TRtListItem* item = FindItem(id);
    Data(item).Object = Obj;
    return &Data(item);
}

TTextObj* TRtObjReferenceList::FindNamedRef(const AnsiString& Name, uint32_t Tag)
{
    for (TRtListItem* item = first_; item; item = item->Next) {
        TTextObj& ref = Data(item);
        if (ref.Kind == 3 && uint8_t(ref.Tag) == uint8_t(Tag) && SameText(ref.RefName, Name)) {
            current_ = item;
            CurrentId = item->Id;
            return &ref;
        }
    }
    return nullptr;
}

int32_t TRtObjReferenceList::AddNamedRef(const AnsiString& Name, uint32_t Tag)
{
    TTextObj* ref = FindNamedRef(Name, Tag);
    if (!ref) {
        ref = AddObject(nullptr);
        ref->Kind = 3;
    }
    ref->RefName = Name;
    ref->Tag = Tag;
    return CurrentId;
}

bool TRtObjReferenceList::FindNamedRefs(const AnsiString& Name, uint32_t Tag, std::vector<void*>* List)
{
    if (!List) {
        internal_.clear();
        List = &internal_;
    }
    bool any = false;
    for (TRtListItem* item = first_; item; item = item->Next) {
        TTextObj& ref = Data(item);
        if (ref.Kind == 3 && uint8_t(ref.Tag) == uint8_t(Tag) && SameText(ref.RefName, Name)) {
            List->push_back(ref.Object);
            any = true;
        }
    }
    return any;
}

bool TRtObjReferenceList::GetObjectsOfMode(std::vector<TTextObj*>& List, uint8_t Kind)
{
    bool any = false;
    for (TRtListItem* item = first_; item; item = item->Next)
        if (Data(item).Kind == Kind) {
            List.push_back(&Data(item));
            any = true;
        }
    return any;
}

TTextObj* TRtObjReferenceList::FindObject(const void* ObjOrRef)
{
    if (!ObjOrRef)
        return nullptr;
    for (TRtListItem* item = first_; item; item = item->Next) {
        TTextObj& ref = Data(item);
        if (ref.Object == ObjOrRef || &ref == ObjOrRef) {
            current_ = item;
            CurrentId = item->Id;
            return &ref;
        }
    }
    return nullptr;
}

TTextObj* TRtObjReferenceList::FindByObjectName(const AnsiString& Name)
{
    for (TRtListItem* item = first_; item; item = item->Next) {
        TTextObj& ref = Data(item);
        if (ref.Object && SameText(ref.Object->ObjName(), Name)) {
            current_ = item;
            CurrentId = item->Id;
            return &ref;
        }
    }
    return nullptr;
}

int32_t TRtObjReferenceList::IndexOfObject(const void* ObjOrRef)
{
    if (!ObjOrRef)
        return 0;
    if (current_ && (Data(current_).Object == ObjOrRef || &Data(current_) == ObjOrRef))
        return current_->Id;
    return FindObject(ObjOrRef) ? CurrentId : 0;
}

int32_t TRtObjReferenceList::FindObjectAt(int32_t X, int32_t Y)
{
    auto hit = [&](TRtListItem* item) {
        const TTextObj& r = Data(item);
        return InGroup(item) && r.Placed && X >= r.RectLeft && X < r.RectLeft + r.RectWidth &&
               Y >= r.RectTop && Y < r.RectTop + r.RectHeight;
    };
    if (cached_ && hit(cached_))
        return cached_->Id;
    for (TRtListItem* item = first_; item; item = item->Next)
        if (hit(item)) {
            cached_ = item;
            cachedId_ = item->Id;
            return item->Id;
        }
    return 0;
}

void TRtObjReferenceList::ResetPlaced()
{
    for (TRtListItem* item = first_; item; item = item->Next)
        if (InGroup(item))
            Data(item).Placed = 0;
}

TTextObj* TRtObjReferenceList::GetTextObj(int32_t Id)
{
    TRtListItem* item = FindItem(Id);
    return item ? &Data(item) : nullptr;
}
