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
    if (At == 0)
        EndsBeforeGo(Line, Rest, 0);
}

template <typename TFn>
void TRtLivePositions::VisitLine(const TLine* Line, const TFn& Fn)
{
    for (const TPosition& p : positions_)
        if (p.Line && *p.Line == Line)
            Fn(*p.Line, *p.Pos, p.Caret);
    if (ForEachExtraOn)
        ForEachExtraOn(Line, [&](TParagraph*&, TLine*& L, int32_t& Pos) {
            if (L == Line)
                Fn(L, Pos, false);
        });
}

void TRtLivePositions::CharsInserted(TLine* Line, int32_t At, int32_t Count)
{
    VisitLine(Line, [&](TLine*&, int32_t& Pos, bool Caret) {
        if (Pos > At || (Pos == At && !Caret))
            Pos += Count;
    });
    if (At == 0)
        EndsBeforeGo(Line, Line, Count);
}

void TRtLivePositions::EndsBeforeGo(const TLine* Line, TLine* To, int32_t ToPos)
{
    for (const TLine* l = Line->Prior; l; l = l->Length > 0 ? nullptr : l->Prior)
        VisitLine(l, [&](TLine*& L, int32_t& Pos, bool Caret) {
            if (Pos < l->Length || Caret)
                return;
            L = To;
            Pos = ToPos;
        });
}

void TRtLivePositions::CharsDeleted(const TLine* Line, int32_t At, int32_t Count)
{
    VisitLine(Line, [&](TLine*&, int32_t& Pos, bool) {
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

namespace {

// Offset within the lines from First: on the character behind it (at a line's end, at the next
// line's start), never between the lead and the trail byte of a double-byte character.
void PlaceOnLines(TLine* First, int32_t Offset, TLine*& L, int32_t& Pos)
{
    TLine* l = First;
    int32_t start = 0;
    while (l && l->Next && (Offset > start + l->Length || (Offset == start + l->Length && l->Length > 0))) {
        start += l->Length;
        l = l->Next;
    }
    L = l;
    Pos = l ? std::clamp<int32_t>(Offset - start, 0, l->Length) : 0;
    if (l && l->Attrs && Pos > 0 && Pos < l->Length && l->Attrs[Pos].Style.Has(afsDBCSTwo))
        --Pos;
}

}  // namespace

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
        PlaceOnLines(FirstLine, offset, L, Pos);
    });
}

namespace {

// The paragraphs of the chains from Heads by address, with their chain and the offset of their start.
struct TParPlace {
    const TParagraph* Par;
    size_t Chain;
    int32_t Start;
};
std::vector<TParPlace> ParPlaces(const std::vector<TParagraph*>& Heads, std::vector<std::u16string>* Chars)
{
    std::vector<TParPlace> places;
    for (size_t c = 0; c < Heads.size(); ++c) {
        std::u16string chars;
        for (const TParagraph* p = Heads[c]; p; p = p->Next) {
            if (p != Heads[c])
                chars += char16_t(0x100);
            places.push_back({p, c, int32_t(chars.size())});
            for (const TLine* l = p->Lines; l; l = l->Next)
                for (int32_t i = 0; i < l->Length; ++i)
                    chars += char16_t(l->Chars[i]);
        }
        if (Chars)
            Chars->push_back(std::move(chars));
    }
    std::sort(places.begin(), places.end(),
              [](const TParPlace& A, const TParPlace& B) { return std::less<const TParagraph*>()(A.Par, B.Par); });
    return places;
}

const TParPlace* PlaceOf(const std::vector<TParPlace>& Places, const TParagraph* Par)
{
    const auto it = std::lower_bound(Places.begin(), Places.end(), Par, [](const TParPlace& A, const TParagraph* B) {
        return std::less<const TParagraph*>()(A.Par, B);
    });
    return it != Places.end() && it->Par == Par ? &*it : nullptr;
}

// The offset of (Line, Pos) in Par; -1 for a line not in it.
int32_t OffsetInPar(const TParagraph* Par, const TLine* Line, int32_t Pos)
{
    int32_t before = 0;
    for (const TLine* l = Par->Lines; l; l = l->Next) {
        if (l == Line)
            return before + std::clamp<int32_t>(Pos, 0, l->Length);
        before += l->Length;
    }
    return -1;
}

int32_t ParLength(const TParagraph* Par)
{
    int32_t n = 0;
    for (const TLine* l = Par->Lines; l; l = l->Next)
        n += l->Length;
    return n;
}

}  // namespace

TRtLivePositions::TChainOffsets TRtLivePositions::ChainOffsetsIn(const std::vector<TParagraph*>& Heads)
{
    TChainOffsets kept;
    const std::vector<TParPlace> places = ParPlaces(Heads, &kept.Chars);
    Visit([&](TParagraph*& P, TLine*& L, int32_t& Pos, bool) {
        if (const TParPlace* place = P ? PlaceOf(places, P) : nullptr)
            // On no line of its own: the paragraph's start.
            kept.Held.push_back({&P, place->Chain, place->Start + std::max(OffsetInPar(P, L, Pos), 0)});
    });
    std::sort(kept.Held.begin(), kept.Held.end(), [](const auto& A, const auto& B) {
        return std::less<const void*>()(A.Par, B.Par);
    });
    return kept;
}

void TRtLivePositions::PlaceInChains(const std::vector<TParagraph*>& Heads, const TChainOffsets& Kept,
                                     const std::vector<const void*>& Skip)
{
    if (Kept.Held.empty())
        return;
    std::vector<std::u16string> chars;
    const std::vector<TParPlace> places = ParPlaces(Heads, &chars);
    // Each chain's changed middle: its unchanged start and end, and how much it grew.
    struct TChange {
        int32_t Head = 0, ChangedEnd = 0, Grown = 0;
    };
    std::vector<TChange> changes(std::min(chars.size(), Kept.Chars.size()));
    for (size_t c = 0; c < changes.size(); ++c) {
        const std::u16string& was = Kept.Chars[c];
        const std::u16string& now = chars[c];
        const size_t shorter = std::min(was.size(), now.size());
        size_t head = 0;
        while (head < shorter && was[head] == now[head])
            ++head;
        size_t tail = 0;
        while (tail < shorter - head && was[was.size() - 1 - tail] == now[now.size() - 1 - tail])
            ++tail;
        changes[c] = {int32_t(head), int32_t(was.size() - tail), int32_t(now.size()) - int32_t(was.size())};
    }
    Visit([&](TParagraph*& P, TLine*& L, int32_t& Pos, bool) {
        const auto it = std::lower_bound(Kept.Held.begin(), Kept.Held.end(), &P, [](const auto& H, auto* Field) {
            return std::less<const void*>()(H.Par, Field);
        });
        if (it == Kept.Held.end() || it->Par != &P || std::find(Skip.begin(), Skip.end(), &P) != Skip.end())
            return;
        if (it->Chain >= changes.size())
            return;
        const TChange& change = changes[it->Chain];
        int32_t offset = it->Offset;
        if (offset >= change.ChangedEnd)
            offset += change.Grown;
        else if (offset >= change.Head)
            offset = change.ChangedEnd + change.Grown;
        // Left alone where it already is.
        if (const TParPlace* now = P ? PlaceOf(places, P) : nullptr; now && now->Chain == it->Chain) {
            const int32_t inPar = OffsetInPar(P, L, Pos);
            if (inPar >= 0 && now->Start + inPar == offset)
                return;
        }
        P = Heads[it->Chain];
        int32_t start = 0;
        while (P && P->Next && offset > start + ParLength(P)) {
            start += ParLength(P) + 1;
            P = P->Next;
        }
        L = nullptr;
        Pos = 0;
        if (P)
            PlaceOnLines(P->Lines, offset - start, L, Pos);
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
