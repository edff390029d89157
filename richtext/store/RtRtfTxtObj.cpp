#include "RtList.h"
#include "RtObjBase.h"
#include "RtRtfTxt.h"

#include <algorithm>

TRtParObject* TRtRTFText::FindParObject(TParagraph* Par) const
{
    if (!Par || !(Par->Flags & (parfObjectPar | parfObjectPar2)))
        return nullptr;
    return Par->Objects;
}

void TRtRTFText::ReleaseChainObjects(TLine* First)
{
    for (TLine* l = First; l; l = l->Next)
        for (int32_t i = 0; l->Attrs && i < l->Length; ++i)
            if (l->Attrs[i].Style.Has(afsIsObject) && l->Attrs[i].Tag)
                ObjRefList()->Release(int32_t(l->Attrs[i].Tag));
}

void TRtRTFText::AddRefChainObjects(TLine* First)
{
    for (TLine* l = First; l; l = l->Next)
        for (int32_t i = 0; l->Attrs && i < l->Length; ++i)
            if (l->Attrs[i].Style.Has(afsIsObject) && l->Attrs[i].Tag)
                ObjRefList()->AddRef(int32_t(l->Attrs[i].Tag));
}

void TRtRTFText::ResizeObject(TTextObj* Ref, int32_t Width, int32_t Height)
{
    if (!Ref)
        return;
    const int32_t id = ObjRefList()->IndexOfObject(Ref);
    if (id < 1)
        return;
    Ref->Width = Width;
    Ref->Height = Height;
    if (Ref->Kind != 0) {
        if (Ref->Object)
            RepaintObject(Ref->Object);
        if (OwnerControl)
            OwnerControl->ObjectResized();
        else
            Refresh();
        return;
    }
    const int32_t oldFilter = ObjectIdFilter;
    ObjectIdFilter = id;
    MarkParsWithStyles(WrtStyle{afsIsObject});
    ObjectIdFilter = oldFilter;
    UpdateAfterChange(false);
}

void TRtRTFText::PrepareObjects()
{
    for (TRtListItem* item = ObjRefList()->FirstItem(); item; item = item->Next) {
        TTextObj& ref = static_cast<TRtObjRefItem*>(item)->Obj;
        TRtObjectBase* obj = ref.Object;
        if (!obj || obj->LoadedMark)
            continue;
        bool answer = false;
        obj->RefField = &ref.Object;
        if (OnObjectLoadQuery) {
            OnObjectLoadQuery(this, obj, answer);
            if (obj != ref.Object) {
                ref.Object = obj;
                if (obj)
                    obj->RefField = &ref.Object;
            }
        }
        if (obj) {
            obj->LoadedMark = !answer;
            obj->RefField = nullptr;
        }
    }
}

void TRtRTFText::GetReferenceText(TTextObj* Ref, AnsiString& Text)
{
    Text.clear();
    if (!Ref || Ref->Kind != 3)
        return;
    const AnsiString& name = Ref->RefName;
    const AnsiString& item = Ref->ItemName;
    bool done = false;
    if (Ref->Tag != 3) {
        Text = Ref->Tag == 1 ? name : item;
        if (OnReferenceGetText)
            OnReferenceGetText(this, name, item, Ref, Text, done);
        return;
    }
    if (ViewOptions.Has(rtShowReferenceObjects)) {
        Text = "<PAGEREF " + name + ">";
        if (!item.empty())
            Text += " " + item;
        return;
    }
    const AnsiString format = item.empty() ? AnsiString("%d") : item;
    if (OnReferenceGetText) {
        OnReferenceGetText(this, name, format, Ref, Text, done);
        if (done)
            return;
        Text.clear();
    }
    // The first marker of a bookmark of that name, from the start of the text.
    std::vector<int32_t> ids;
    for (TRtListItem* it = ObjRefList()->FirstItem(); it; it = it->Next) {
        const TTextObj& r = static_cast<TRtObjRefItem*>(it)->Obj;
        if (r.Kind == 3 && r.Tag == 1 && SameText(r.RefName, name))
            ids.push_back(it->Id);
    }
    TParagraph* par = nullptr;
    TLine* line = nullptr;
    int32_t pos = 0;
    if (ids.empty() || FindNextObjectMarker(par, line, pos, ids) <= 0 || !par || !line) {
        Text = "[?]";
        return;
    }
    // One integer goes into the format: only its first %d is replaced.
    const AnsiString page = IntToStr(GetLinePageNr(par, line));
    const size_t at = format.find("%d");
    Text = at == AnsiString::npos ? page : format.substr(0, at) + page + format.substr(at + 2);
}
