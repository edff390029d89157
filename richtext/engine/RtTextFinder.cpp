#include "RtTextFinder.h"

#include "SysUtils.h"

#include <algorithm>

namespace {

constexpr int32_t MaxSegment = 255;
constexpr int32_t PollEvery = 30;

// Lower case of every byte of the Windows code page.
const AnsiString& LowerTable()
{
    static const AnsiString table = [] {
        AnsiString all(256, '\0');
        for (int i = 0; i < 256; ++i)
            all[size_t(i)] = char(i);
        return AnsiLowerCase(all);
    }();
    return table;
}

} // namespace

TRtTextFinder::~TRtTextFinder()
{
    if (Text)
        Text->Positions().Remove(this, sizeof(*this));
}

void TRtTextFinder::SetText(TRtRTFText* Value)
{
    // The paragraphs it walks are kept up to date by the text.
    if (Text)
        Text->Positions().Remove(this, sizeof(*this));
    if (Value) {
        Value->Positions().Add(FirstPar);
        Value->Positions().Add(CurrentPar);
    }
    Text = Value;
    Header = Value ? Value->Header() : nullptr;
    Reset();
}

void TRtTextFinder::Reset()
{
    Found = false;
    FoundPosition = 0;
    FoundLength = 0;
    if (Text)
        FirstPar = Text->FirstPar;
    CurrentPar = FirstPar;
    ParStartPosition = 0;
    CurrentIndex = 0;
}

void TRtTextFinder::Clear()
{
    FoundPosition = FoundLength = ParStartPosition = 0;
    Found = Backwards = false;
    Pattern.clear();
    LastReplaceText.clear();
    FoundAttr = TAttr();
    AttrMask = 0;
    CompareAttr = TAttr();
    CompareObjectId = 0;
    MatchCase = false;
    Wildcard = WordEnd = 0;
    WordMode = BlankDelimiters = StopAtHiddenAndObjects = WholeWord = false;
    SkipStyles = WrtStyle();
    Header = nullptr;
    if (Text)
        Text->Positions().Remove(this, sizeof(*this));
    Text = nullptr;
    FirstPar = CurrentPar = nullptr;
    CurrentIndex = ReplaceCount = 0;
    NoReposition = false;
    Reset();
}

int32_t TRtTextFinder::SetStartPosition(int32_t Pos)
{
    if (Pos <= 0) {
        Reset();
        // Before the text's start: a backward scan finds nothing more.
        if (Pos < 0)
            CurrentIndex = -1;
        return ParStartPosition;
    }
    Found = false;
    FoundPosition = Pos;
    FoundLength = 0;
    if (Text)
        FirstPar = Text->FirstPar;
    int32_t start = 0;
    TParagraph* p = FirstPar;
    for (; p; p = p->Next) {
        const int32_t length = TRtRTFText::GetParLength(p);
        if (Pos <= start + length)
            break;
        start += length + 1;
    }
    CurrentPar = p;
    ParStartPosition = start;
    CurrentIndex = p ? Pos - start : 0;
    return ParStartPosition;
}

bool TRtTextFinder::IsDelimiter(uint8_t Ch)
{
    return BlankDelimiters ? Ch < 33 : RtWordDelimiter[Ch];
}

bool TRtTextFinder::CharMatches(uint8_t PatternChar, uint8_t TextChar, const TAttr* PatternAttr,
                                const TAttr* TextAttr)
{
    if (AttrMask != 0 && PatternAttr && TextAttr) {
        const WrtStyle s = TextAttr->Style;
        auto styleMissing = [&](uint16_t Bit, TOneWrtStyle Style) { return (AttrMask & Bit) && !s.Has(Style); };
        if ((AttrMask & fmSameFont) && TextAttr->Font != PatternAttr->Font)
            return false;
        if ((AttrMask & fmSameSize) && TextAttr->Size != PatternAttr->Size)
            return false;
        if (styleMissing(fmBold, afsBold) || styleMissing(fmUnderline, afsUnderline) ||
            styleMissing(fmHidden, afsHidden) || styleMissing(fmItalic, afsItalic) ||
            styleMissing(fmHyperlink, afsHyperLink) || styleMissing(fmBookmark, afsBookmark))
            return false;
        const bool wide = !Text || !Text->Header()->Colors16;
        if ((AttrMask & fmSameColor) &&
            (wide ? TextAttr->TextColor != PatternAttr->TextColor
                  : (TextAttr->TextColor & 0x0F) != (PatternAttr->TextColor & 0x0F)))
            return false;
        if ((AttrMask & fmSameBGColor) &&
            (wide ? TextAttr->BGColor != PatternAttr->BGColor
                  : (TextAttr->TextColor & 0xF0) != (PatternAttr->TextColor & 0xF0)))
            return false;
        auto idMissing = [&](uint16_t Bit, TOneWrtStyle Style) {
            return (AttrMask & Bit) &&
                   (!s.Has(Style) || (CompareObjectId != 0 && int32_t(TextAttr->Tag) != CompareObjectId));
        };
        if (idMissing(fmObject, afsIsObject) || idMissing(fmInsertpoint, afsIsInsertpoint) ||
            idMissing(fmFootnote, afsIsFootnote))
            return false;
    }
    if (Wildcard != 0 && PatternChar == uint8_t(Wildcard))
        return true;
    if (MatchCase)
        return PatternChar == TextChar;
    const auto& lower = LowerTable();
    return lower[PatternChar] == lower[TextChar];
}

void TRtTextFinder::LoadParagraph(TParagraph* Par)
{
    chars_.clear();
    int32_t offset = 0;
    for (const TLine* l = Par ? Par->Lines : nullptr; l; l = l->Next)
        for (int32_t i = 0; i < l->Length; ++i, ++offset) {
            const TAttr* a = l->Attrs ? &l->Attrs[i] : nullptr;
            if (a && !(a->Style & SkipStyles).Empty())
                continue;
            chars_.push_back({l->Chars[i], a, offset});
        }
}

int32_t TRtTextFinder::IndexAtOffset(int32_t Offset) const
{
    const auto it = std::lower_bound(chars_.begin(), chars_.end(), Offset,
                                     [](const TScanChar& c, int32_t o) { return c.Offset < o; });
    return int32_t(it - chars_.begin());
}

void TRtTextFinder::BeginScan(const AnsiString& APattern, AnsiString& Head, AnsiString& Tail)
{
    Found = false;
    Pattern = APattern.substr(0, size_t(MaxSegment));
    const size_t w = Wildcard != 0 ? APattern.find(Wildcard) : AnsiString::npos;
    if (w != AnsiString::npos && w < size_t(MaxSegment)) {
        Head = APattern.substr(0, w);
        Tail = APattern.substr(w + 1, size_t(MaxSegment));
    } else {
        Head = Pattern;
        Tail.clear();
    }
}

// Whether Segment matches the characters from Start; End is one past the match.
bool TRtTextFinder::SegmentAt(const AnsiString& Segment, int32_t Start, int32_t& End)
{
    const int32_t n = int32_t(Segment.size());
    if (Start < 0 || Start + n > int32_t(chars_.size()))
        return false;
    for (int32_t j = 0; j < n; ++j) {
        const TScanChar& c = chars_[size_t(Start + j)];
        if (!CharMatches(uint8_t(Segment[size_t(j)]), c.Ch, &CompareAttr, c.Attr))
            return false;
    }
    End = Start + n;
    return true;
}

// The word match from Start (an empty Head): an attribute-only run, or a word
// between delimiters.
bool TRtTextFinder::WordAt(int32_t Start, TRange& R)
{
    const int32_t size = int32_t(chars_.size());
    int32_t i = std::max(Start, 0);
    if (WordEnd != ' ' && !WordMode) {
        auto inRun = [&](int32_t k) {
            const TScanChar& c = chars_[size_t(k)];
            return c.Ch != uint8_t(WordEnd) && CharMatches(c.Ch, c.Ch, &CompareAttr, c.Attr);
        };
        while (i < size && !inRun(i))
            ++i;
        R.From = i;
        while (i < size && inRun(i))
            ++i;
        R.To = i;
        return R.To > R.From;
    }
    auto ends = [&](int32_t k) {
        const TScanChar& c = chars_[size_t(k)];
        if (c.Ch == '\'' && k > R.From)
            return false;
        if (IsDelimiter(c.Ch))
            return true;
        if (StopAtHiddenAndObjects && c.Attr &&
            (c.Attr->Style.Has(afsHidden) || c.Attr->Style.Has(afsIsObject) || c.Attr->Width == 0))
            return true;
        return false;
    };
    while (i < size && IsDelimiter(chars_[size_t(i)].Ch))
        ++i;
    R.From = i;
    while (i < size && !ends(i))
        ++i;
    R.To = i;
    return R.To > R.From;
}

// Finds Head (and Tail after it) in the loaded paragraph: forwards the first
// match starting at From or later, backwards the last one starting at From or
// earlier.
bool TRtTextFinder::MatchIn(const AnsiString& Head, const AnsiString& Tail, int32_t From, bool Forward,
                            TRange& R)
{
    const int32_t size = int32_t(chars_.size());
    const bool hasTail = !Tail.empty();
    auto delimAt = [&](int32_t k) { return k < 0 || k >= size || IsDelimiter(chars_[size_t(k)].Ch); };

    // The head's match starting exactly at s: [s, headEnd).
    auto headAt = [&](int32_t s, int32_t& headEnd) {
        if (Head.empty()) {
            TRange w;
            if (!WordAt(s, w) || w.From != s)
                return false;
            // Not inside a word or run that starts earlier.
            TRange before;
            if (s > 0 && WordAt(s - 1, before) && before.From == s - 1)
                return false;
            headEnd = hasTail ? s : w.To;
            return true;
        }
        if (!SegmentAt(Head, s, headEnd))
            return false;
        return !WholeWord || delimAt(s - 1);
    };
    // The tail's first match at or after From: its end.
    auto tailFrom = [&](int32_t from, int32_t& tailEnd) {
        for (int32_t t = from; t + int32_t(Tail.size()) <= size; ++t)
            if (SegmentAt(Tail, t, tailEnd) && (!WholeWord || delimAt(tailEnd)))
                return true;
        return false;
    };
    // The whole match from the head [s, headEnd) into R; tailMissing when no tail follows.
    auto complete = [&](int32_t s, int32_t headEnd, bool& tailMissing) {
        tailMissing = false;
        if (!hasTail) {
            if (!Head.empty() && WholeWord && !delimAt(headEnd))
                return false;
            R.From = s;
            R.To = headEnd;
            return true;
        }
        int32_t e = 0;
        if (!tailFrom(headEnd, e)) {
            tailMissing = true;
            return false;
        }
        R.From = s;
        R.To = e;
        return R.To > R.From;
    };

    if (Forward) {
        int32_t s = std::max(From, 0);
        while (s < size) {
            int32_t headEnd = 0;
            int32_t start = s;
            if (Head.empty()) {
                // The word match skips to the next word by itself.
                TRange w;
                if (!WordAt(s, w))
                    return false;
                start = w.From;
                headEnd = hasTail ? w.From : w.To;
            } else if (!headAt(s, headEnd)) {
                ++s;
                continue;
            }
            bool tailMissing = false;
            if (complete(start, headEnd, tailMissing))
                return true;
            if (tailMissing) {
                // No tail anywhere after this head: none after a later head either.
                return false;
            }
            s = start + 1;
        }
        return false;
    }
    for (int32_t s = std::min(From, size - 1); s >= 0; --s) {
        int32_t headEnd = 0;
        if (!headAt(s, headEnd))
            continue;
        bool tailMissing = false;
        if (complete(s, headEnd, tailMissing))
            return true;
    }
    return false;
}

void TRtTextFinder::Accept(const TRange& R)
{
    const TScanChar& first = chars_[size_t(R.From)];
    const TScanChar& last = chars_[size_t(R.To - 1)];
    FoundLength = last.Offset + 1 - first.Offset;
    FoundPosition = ParStartPosition + first.Offset;
    CurrentIndex = first.Offset;
    Found = true;
    FoundAttr = first.Attr ? *first.Attr : TAttr();
}

bool TRtTextFinder::ScanForward(const AnsiString& APattern)
{
    AnsiString head, tail;
    BeginScan(APattern, head, tail);
    while (CurrentPar) {
        LoadParagraph(CurrentPar);
        TRange r;
        if (MatchIn(head, tail, IndexAtOffset(std::max(CurrentIndex, 0)), true, r)) {
            Accept(r);
            return true;
        }
        ParStartPosition += TRtRTFText::GetParLength(CurrentPar) + 1;
        CurrentPar = CurrentPar->Next;
        CurrentIndex = 0;
    }
    return false;
}

bool TRtTextFinder::ScanBackward(const AnsiString& APattern)
{
    AnsiString head, tail;
    BeginScan(APattern, head, tail);
    while (CurrentPar) {
        LoadParagraph(CurrentPar);
        TRange r;
        // The last scanned character at or before CurrentIndex.
        const int32_t from = CurrentIndex < 0 ? -1 : IndexAtOffset(CurrentIndex + 1) - 1;
        if (from >= 0 && MatchIn(head, tail, from, false, r)) {
            Accept(r);
            return true;
        }
        TParagraph* prior = CurrentPar->Prior;
        if (!prior) {
            // Nothing before: the position stays at the text's start.
            CurrentIndex = -1;
            return false;
        }
        const int32_t length = TRtRTFText::GetParLength(prior);
        ParStartPosition -= length + 1;
        CurrentPar = prior;
        CurrentIndex = length - 1;
    }
    return false;
}

bool TRtTextFinder::FindNext(const AnsiString& APattern)
{
    if (!NoReposition)
        SetStartPosition(CurrentIndex + ParStartPosition + FoundLength);
    if (!CurrentPar || APattern.empty())
        return false;
    CurrentIndex += FoundLength;
    Found = false;
    Backwards = false;
    return ScanForward(APattern);
}

bool TRtTextFinder::FindPrior(const AnsiString& APattern)
{
    CurrentIndex -= 1;
    if (!NoReposition)
        SetStartPosition(CurrentIndex + ParStartPosition);
    if (!CurrentPar || APattern.empty())
        return false;
    Found = false;
    Backwards = true;
    return ScanBackward(APattern);
}

int32_t TRtTextFinder::ReplaceAll(const AnsiString& APattern, const AnsiString& NewText)
{
    if (!CurrentPar)
        return 0;
    if (!NoReposition)
        SetStartPosition(CurrentIndex + ParStartPosition + FoundLength);
    if (APattern.empty() || !CurrentPar)
        return 0;
    CurrentIndex += FoundLength;
    Found = false;
    ReplaceCount = 0;
    CancelRequested = false;
    int32_t steps = 0;
    while (ScanForward(APattern)) {
        if (ReplaceFound(NewText))
            ++ReplaceCount;
        // The inserted text (or a refused match) is not searched again.
        CurrentIndex += FoundLength;
        if (++steps % PollEvery == 0) {
            if (OnPollEvents)
                OnPollEvents();
            if (CancelRequested)
                break;
        }
    }
    return ReplaceCount;
}

void TRtTextFinder::GetFoundText(AnsiString& S) const
{
    S.clear();
    if (!Found || FoundLength < 1 || !CurrentPar)
        return;
    int32_t pos = CurrentIndex;
    int32_t rest = FoundLength;
    for (const TLine* l = CurrentPar->Lines; l && rest > 0; l = l->Next) {
        if (pos >= l->Length) {
            pos -= l->Length;
            continue;
        }
        const int32_t n = std::min<int32_t>(rest, l->Length - pos);
        S.append(reinterpret_cast<const char*>(l->Chars) + pos, size_t(n));
        rest -= n;
        pos = 0;
    }
}

bool TRtTextFinder::ReplaceFound(const AnsiString& NewText)
{
    if (!Found || !Text || !CurrentPar)
        return false;
    // Protected characters are never replaced.
    for (int32_t i = 0; i < FoundLength; ++i) {
        int32_t pos = CurrentIndex + i;
        TLine* line = TRtRTFText::LineAtParPos(CurrentPar, pos);
        if (line && Text->IsProtected(CurrentPar, line, pos))
            return false;
    }
    Text->DeleteTextAt(CurrentPar, CurrentIndex, FoundLength);
    const AnsiString insert(NewText.c_str());  // up to a NUL, as the text takes it
    Text->InsertTextAt(CurrentPar, CurrentIndex, &FoundAttr, insert.c_str());
    FoundLength = int32_t(insert.size());
    LastReplaceText = insert;
    return true;
}
