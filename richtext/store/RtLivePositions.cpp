#include "RtLivePositions.h"

#include "RtDefs.h"

#include <algorithm>

void TRtLivePositions::Add(TParagraph*& Par, TLine*& Line, int32_t& Pos) { positions_.push_back({&Par, &Line, &Pos}); }

void TRtLivePositions::Add(TParagraph*& Par) { positions_.push_back({&Par, nullptr, nullptr}); }

void TRtLivePositions::Add(TTextObj*& Entry) { entries_.push_back(&Entry); }

void TRtLivePositions::Add(TRtObjectBase*& Object) { objects_.push_back(&Object); }

void TRtLivePositions::Remove(const void* Holder, size_t Size)
{
    const auto* from = static_cast<const char*>(Holder);
    auto inside = [&](const void* Field) {
        const auto* f = static_cast<const char*>(Field);
        return std::less_equal<const char*>()(from, f) && std::less<const char*>()(f, from + Size);
    };
    std::erase_if(positions_, [&](const TPosition& p) { return inside(p.Par); });
    std::erase_if(entries_, [&](TTextObj** e) { return inside(e); });
    std::erase_if(objects_, [&](TRtObjectBase** o) { return inside(o); });
}

void TRtLivePositions::Visit(const TVisitor& Fn)
{
    for (const TPosition& p : positions_) {
        if (p.Line) {
            Fn(*p.Par, *p.Line, *p.Pos);
            continue;
        }
        TLine* line = nullptr;
        int32_t pos = 0;
        Fn(*p.Par, line, pos);
    }
    if (ForEachExtra)
        ForEachExtra(Fn);
}

void TRtLivePositions::ParagraphGoes(const TParagraph* Par, TParagraph* To)
{
    if (!Par)
        return;
    Visit([&](TParagraph*& P, TLine*& L, int32_t& Pos) {
        if (P != Par)
            return;
        P = To;
        L = To ? To->Lines : nullptr;
        Pos = 0;
    });
}

void TRtLivePositions::LineGoes(const TLine* Line, TLine* To, int32_t ToPos)
{
    if (!Line)
        return;
    Visit([&](TParagraph*&, TLine*& L, int32_t& Pos) {
        if (L != Line)
            return;
        L = To;
        Pos = To ? std::clamp<int32_t>(ToPos, 0, To->Length) : 0;
    });
}

std::vector<int32_t> TRtLivePositions::OffsetsIn(const TParagraph* Par)
{
    std::vector<int32_t> offsets;
    Visit([&](TParagraph*& P, TLine*& L, int32_t& Pos) {
        int32_t offset = -1;
        if (Par && L) {
            int32_t before = 0;
            for (const TLine* l = Par->Lines; l; l = l->Next) {
                if (l == L) {
                    offset = before + std::clamp<int32_t>(Pos, 0, l->Length);
                    break;
                }
                before += l->Length;
            }
            // In the paragraph on a line that is no longer its own: its start.
            if (offset < 0 && P == Par)
                offset = 0;
        }
        offsets.push_back(offset);
    });
    return offsets;
}

void TRtLivePositions::PlaceOffsets(TParagraph* Par, TLine* FirstLine, const std::vector<int32_t>& Offsets)
{
    size_t i = 0;
    Visit([&](TParagraph*& P, TLine*& L, int32_t& Pos) {
        const int32_t offset = i < Offsets.size() ? Offsets[i] : -1;
        ++i;
        if (offset < 0)
            return;
        TLine* l = FirstLine;
        int32_t start = 0;
        while (l && l->Next && offset > start + l->Length) {
            start += l->Length;
            l = l->Next;
        }
        P = Par;
        L = l;
        Pos = l ? std::clamp<int32_t>(offset - start, 0, l->Length) : 0;
    });
}

void TRtLivePositions::ObjectGoes(const TTextObj* Entry, const TRtObjectBase* Object)
{
    for (TTextObj** e : entries_)
        if (Entry && *e == Entry)
            *e = nullptr;
    for (TRtObjectBase** o : objects_)
        if (Object && *o == Object)
            *o = nullptr;
    if (OnObjectGoes)
        OnObjectGoes(Entry, Object);
}
