#include "RtLivePositions.h"

#include "RtDefs.h"

#include <algorithm>

void TRtLivePositions::Add(TParagraph*& Par, TLine*& Line, int32_t& Pos, bool Caret)
{
    positions_.push_back({&Par, &Line, &Pos, Caret});
}

void TRtLivePositions::Add(TParagraph*& Par) { positions_.push_back({&Par, nullptr, nullptr, false}); }

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

template <typename TFn>
void TRtLivePositions::Visit(const TFn& Fn)
{
    for (const TPosition& p : positions_) {
        if (p.Line) {
            Fn(*p.Par, *p.Line, *p.Pos, p.Caret);
            continue;
        }
        TLine* line = nullptr;
        int32_t pos = 0;
        Fn(*p.Par, line, pos, false);
    }
    if (ForEachExtra)
        ForEachExtra([&](TParagraph*& P, TLine*& L, int32_t& Pos) { Fn(P, L, Pos, false); });
}

void TRtLivePositions::ParagraphGoes(const TParagraph* Par, TParagraph* To)
{
    if (!Par)
        return;
    Visit([&](TParagraph*& P, TLine*& L, int32_t& Pos, bool) {
        if (P != Par)
            return;
        P = To;
        L = To ? To->Lines : nullptr;
        Pos = 0;
    });
}

void TRtLivePositions::ChainGoes(const TParagraph* First)
{
    std::vector<const TParagraph*> chain;
    for (const TParagraph* p = First; p; p = p->Next)
        chain.push_back(p);
    if (chain.empty())
        return;
    std::sort(chain.begin(), chain.end(), std::less<const TParagraph*>());
    Visit([&](TParagraph*& P, TLine*& L, int32_t& Pos, bool) {
        if (!P || !std::binary_search(chain.begin(), chain.end(), P, std::less<const TParagraph*>()))
            return;
        P = nullptr;
        L = nullptr;
        Pos = 0;
    });
}

void TRtLivePositions::LineGoes(const TLine* Line, TLine* To, int32_t ToPos)
{
    if (!Line)
        return;
    Visit([&](TParagraph*&, TLine*& L, int32_t& Pos, bool) {
        if (L != Line)
            return;
        L = To;
        Pos = To ? std::clamp<int32_t>(ToPos, 0, To->Length) : 0;
    });
}

void TRtLivePositions::LineSplits(const TLine* Line, int32_t At, TLine* Rest)
{
    Visit([&](TParagraph*&, TLine*& L, int32_t& Pos, bool) {
        if (L != Line || Pos <= At)
            return;
        L = Rest;
        Pos -= At;
    });
}

void TRtLivePositions::LineJoins(const TLine* Line, TLine* To, int32_t At, int32_t Skip)
{
    Visit([&](TParagraph*&, TLine*& L, int32_t& Pos, bool) {
        if (L != Line)
            return;
        L = To;
        Pos = At + std::max(Pos - Skip, 0);
    });
}

void TRtLivePositions::LinesMove(const TParagraph* From, TParagraph* To)
{
    Visit([&](TParagraph*& P, TLine*& L, int32_t&, bool) {
        if (P != From || !L)
            return;
        for (const TLine* l = To->Lines; l; l = l->Next)
            if (l == L) {
                P = To;
                return;
            }
    });
}

void TRtLivePositions::ParagraphJoins(const TParagraph* From, TParagraph* To)
{
    Visit([&](TParagraph*& P, TLine*& L, int32_t& Pos, bool) {
        if (P != From)
            return;
        P = To;
        for (const TLine* l = To->Lines; l; l = l->Next)
            if (l == L)
                return;
        L = To->Lines;
        Pos = 0;
    });
}

std::vector<int32_t> TRtLivePositions::OffsetsIn(const TParagraph* Par)
{
    std::vector<int32_t> offsets;
    if (!Par)
        return offsets;
    // Par's lines by address with their first character's offset, made at the first position in Par.
    std::vector<std::pair<const TLine*, int32_t>> lines;
    auto below = [](const auto& A, const TLine* B) { return std::less<const TLine*>()(A.first, B); };
    bool any = false;
    Visit([&](TParagraph*& P, TLine*& L, int32_t& Pos, bool) {
        int32_t offset = -1;
        if (P == Par) {
            if (!any) {
                int32_t before = 0;
                for (const TLine* l = Par->Lines; l; l = l->Next) {
                    lines.emplace_back(l, before);
                    before += l->Length;
                }
                std::sort(lines.begin(), lines.end(), [&](const auto& A, const auto& B) { return below(A, B.first); });
                any = true;
            }
            const auto it = std::lower_bound(lines.begin(), lines.end(), L, below);
            // On no line of its own: the paragraph's start.
            offset = L && it != lines.end() && it->first == L ? it->second + std::clamp<int32_t>(Pos, 0, L->Length)
                                                               : 0;
        }
        offsets.push_back(offset);
    });
    if (!any)
        offsets.clear();
    return offsets;
}

void TRtLivePositions::PlaceOffsets(TParagraph* Par, TLine* FirstLine, const std::vector<int32_t>& Offsets)
{
    if (Offsets.empty())
        return;
    size_t i = 0;
    Visit([&](TParagraph*& P, TLine*& L, int32_t& Pos, bool Caret) {
        const int32_t offset = i < Offsets.size() ? Offsets[i] : -1;
        ++i;
        if (offset < 0)
            return;
        TLine* l = FirstLine;
        int32_t start = 0;
        while (l && l->Next &&
               (offset > start + l->Length || (Caret && offset == start + l->Length && l->Length > 0))) {
            start += l->Length;
            l = l->Next;
        }
        P = Par;
        L = l;
        Pos = l ? std::clamp<int32_t>(offset - start, 0, l->Length) : 0;
    });
}

namespace {

std::string ParChars(const TParagraph* Par)
{
    std::string chars;
    for (const TLine* l = Par->Lines; l; l = l->Next)
        chars.append(reinterpret_cast<const char*>(l->Chars), size_t(l->Length));
    return chars;
}

}  // namespace

TRtLivePositions::TTextOffsets TRtLivePositions::TextOffsetsIn(const TParagraph* Par, const TLine* ChangeLine,
                                                               int32_t ChangePos)
{
    TTextOffsets kept{OffsetsIn(Par), {}};
    if (kept.Offsets.empty())
        return kept;
    kept.Chars = ParChars(Par);
    int32_t before = 0;
    for (const TLine* l = ChangeLine ? Par->Lines : nullptr; l; l = l->Next) {
        if (l == ChangeLine) {
            kept.ChangeFrom = before + ChangePos;
            break;
        }
        before += l->Length;
    }
    return kept;
}

void TRtLivePositions::PlaceOnText(TParagraph* Par, TTextOffsets Kept)
{
    if (Kept.Offsets.empty())
        return;
    const std::string now = ParChars(Par);
    const std::string& was = Kept.Chars;
    const size_t shorter = std::min(was.size(), now.size());
    size_t head = 0;
    // Where the change starts is known: equal characters after it are not taken as unchanged.
    while (head < shorter && int32_t(head) < Kept.ChangeFrom && was[head] == now[head])
        ++head;
    size_t tail = 0;
    while (tail < shorter - head && was[was.size() - 1 - tail] == now[now.size() - 1 - tail])
        ++tail;
    const auto changedEnd = int32_t(was.size() - tail);
    const auto grown = int32_t(now.size()) - int32_t(was.size());
    for (int32_t& offset : Kept.Offsets) {
        if (offset < 0 || offset < int32_t(head))
            continue;
        offset = offset >= changedEnd ? offset + grown : int32_t(head);
    }
    PlaceOffsets(Par, Par->Lines, Kept.Offsets);
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
