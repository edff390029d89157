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
    Visit([&](TParagraph*&, TLine*& L, int32_t& Pos, bool Caret) {
        if (L != Line || Pos < At || (Pos == At && Caret))
            return;
        L = Rest;
        Pos -= At;
    });
}

template <typename TFn>
void TRtLivePositions::VisitLine(const TLine* Line, const TFn& Fn)
{
    for (const TPosition& p : positions_)
        if (p.Line && *p.Line == Line)
            Fn(*p.Pos, p.Caret);
    if (ForEachExtraOn)
        ForEachExtraOn(Line, [&](TParagraph*&, TLine*& L, int32_t& Pos) {
            if (L == Line)
                Fn(Pos, false);
        });
}

void TRtLivePositions::CharsInserted(const TLine* Line, int32_t At, int32_t Count)
{
    VisitLine(Line, [&](int32_t& Pos, bool Caret) {
        if (Pos > At || (Pos == At && !Caret))
            Pos += Count;
    });
}

void TRtLivePositions::CharsDeleted(const TLine* Line, int32_t At, int32_t Count)
{
    VisitLine(Line, [&](int32_t& Pos, bool) {
        if (Pos > At)
            Pos = std::max(At, Pos - Count);
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

TRtLivePositions::TKeptOffsets TRtLivePositions::OffsetsIn(const TParagraph* Par)
{
    TKeptOffsets kept;
    if (!Par)
        return kept;
    // Par's lines by address with their first character's offset, made at the first position in Par.
    std::vector<std::pair<const TLine*, int32_t>> lines;
    auto below = [](const auto& A, const TLine* B) { return std::less<const TLine*>()(A.first, B); };
    std::vector<std::pair<TKeptOffsets::THolder, int32_t>> found;
    Visit([&](TParagraph*& P, TLine*& L, int32_t& Pos, bool) {
        if (P != Par)
            return;
        if (lines.empty()) {
            int32_t before = 0;
            for (const TLine* l = Par->Lines; l; l = l->Next) {
                lines.emplace_back(l, before);
                before += l->Length;
            }
            std::sort(lines.begin(), lines.end(), [&](const auto& A, const auto& B) { return below(A, B.first); });
        }
        const auto it = std::lower_bound(lines.begin(), lines.end(), L, below);
        // On no line of its own: the paragraph's start.
        found.push_back({{&P, L, Pos}, L && it != lines.end() && it->first == L
                                           ? it->second + std::clamp<int32_t>(Pos, 0, L->Length)
                                           : 0});
    });
    std::sort(found.begin(), found.end(),
              [](const auto& A, const auto& B) { return std::less<const void*>()(A.first.Par, B.first.Par); });
    for (const auto& [holder, offset] : found) {
        kept.Holders.push_back(holder);
        kept.Offsets.push_back(offset);
    }
    return kept;
}

void TRtLivePositions::PlaceOffsets(TParagraph* Par, TLine* FirstLine, const TKeptOffsets& Kept)
{
    if (Kept.Offsets.empty())
        return;
    Visit([&](TParagraph*& P, TLine*& L, int32_t& Pos, bool) {
        if (P != Par)
            return;
        // Matched by holder: holders may come, go or change between the two calls.
        const auto it = std::lower_bound(Kept.Holders.begin(), Kept.Holders.end(), &P, [](const auto& H, auto* Field) {
            return std::less<const void*>()(H.Par, Field);
        });
        const bool same = it != Kept.Holders.end() && it->Par == &P && it->Line == L && it->Pos == Pos;
        const int32_t offset = same ? Kept.Offsets[size_t(it - Kept.Holders.begin())] : 0;
        TLine* l = FirstLine;
        int32_t start = 0;
        // On the character behind it: at a line's end, at the next line's start.
        while (l && l->Next && (offset > start + l->Length || (offset == start + l->Length && l->Length > 0))) {
            start += l->Length;
            l = l->Next;
        }
        L = l;
        Pos = l ? std::clamp<int32_t>(offset - start, 0, l->Length) : 0;
        // Never between the lead and the trail byte of a double-byte character.
        if (l && l->Attrs && Pos > 0 && Pos < l->Length && l->Attrs[Pos].Style.Has(afsDBCSTwo))
            --Pos;
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

TRtLivePositions::TTextOffsets TRtLivePositions::TextOffsetsIn(const TParagraph* Par)
{
    TTextOffsets kept{OffsetsIn(Par), {}};
    if (!kept.Kept.Offsets.empty())
        kept.Chars = ParChars(Par);
    return kept;
}

void TRtLivePositions::PlaceOnText(TParagraph* Par, TTextOffsets Kept)
{
    if (Kept.Kept.Offsets.empty())
        return;
    const std::string now = ParChars(Par);
    const std::string& was = Kept.Chars;
    const size_t shorter = std::min(was.size(), now.size());
    size_t head = 0;
    while (head < shorter && was[head] == now[head])
        ++head;
    size_t tail = 0;
    while (tail < shorter - head && was[was.size() - 1 - tail] == now[now.size() - 1 - tail])
        ++tail;
    const auto changedEnd = int32_t(was.size() - tail);
    const auto grown = int32_t(now.size()) - int32_t(was.size());
    for (int32_t& offset : Kept.Kept.Offsets) {
        if (offset < int32_t(head))
            continue;
        offset = offset >= changedEnd ? offset + grown : int32_t(head);
    }
    PlaceOffsets(Par, Par->Lines, Kept.Kept);
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
