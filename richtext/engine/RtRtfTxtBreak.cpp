// Paragraph measuring and line breaking: every attribute entry gets the width,
// height and base of its character; a paragraph's characters are then
// distributed over new lines that fit the available width, block-aligned lines
// get their justification, and the cursor and selection move to the new lines.
#include "RtRtfTxtPaint.h"

#include "RtList.h"
#include "RtObjBase.h"
#include "Charsets.h"
#include "RtObject.h"
#include "SysUtils.h"

#include <algorithm>
#include <cstring>

namespace {

bool IsObjectCode(uint8_t Ch, const TAttr& A) { return Ch >= 1 && Ch <= 3 && A.Style.Has(afsIsObject); }

// Style bits that do not change a font look: a run goes on across them.
const uint32_t RunIgnoredStyles = WrtStyle{afsHyphen, afsDBCSOne, afsDBCSTwo}.Bits;

}  // namespace

void TRtRTFTextPaint::ComputeHiddenStyleMask()
{
    WrtStyle m;
    if (!ViewOptions.Has(rtShowInvisibleText)) {
        if (RtHideInsertPoints || InsertPointsHidden || InsertPointAttr()->Hidden())
            m.Include(afsIsInsertpoint);
        if (AutomaticTextHidden || AutomaticTextAttr()->Hidden())
            m.Include(afsAutomatic);
        if (HyperlinkTextAttr()->Hidden())
            m.Include(afsHyperLink);
        if (ProtectedTextAttr()->Hidden())
            m.Include(afsProtected);
        if (BookmarkTextAttr()->Hidden())
            m.Include(afsBookmark);
        if (HiddenTextAttr()->Hidden() && !(EngineOptions & eoHiddenShown))
            m.Include(afsHidden);
    }
    m.Include(afsDelete);
    HiddenStyleMask = m;
}

const TRtLeadTable* RtLeadTableOf(int32_t Charset)
{
    return CharsetLeadBytes(Charset);
}

void TRtRTFTextPaint::IsLeadByte(uint8_t Ch, const TAttr* Attr, const TRtLeadTable* LeadTable, bool& IsLead)
{
    if (DBCSMode.Has(rtdb_Test))
        IsLead = Ch == 'a';
    else if (OnIsLeadByte)
        IsLead = OnIsLeadByte(this, Ch);
    else if (LeadTable)
        IsLead = (*LeadTable)[Ch];
    else if (DBCSMode.Has(rtdb_OnlyNotANSIChar))
        IsLead = false;
    else  // the lead bytes of the character's font charset
        IsLead = Attr && IsCharsetLeadByte(Header()->Fonts[size_t(Attr->Font & 255)].Charset, Ch);
}

bool TRtRTFTextPaint::IsLeadByte(uint8_t Ch, const TAttr* Attr)
{
    bool isLead = false;
    IsLeadByte(Ch, Attr, Attr ? RtLeadTableOf(Header()->Fonts[size_t(Attr->Font & 255)].Charset) : nullptr, isLead);
    return isLead;
}

void TRtRTFTextPaint::MarkDBCSPairs(TLine* Line)
{
    if (!DBCSMode.Has(rtdb_Enabled) || !Line || !Line->Attrs)
        return;
    for (int32_t i = 0; i < Line->Length; ++i) {
        TAttr& a = Line->Attrs[i];
        const bool trail = i > 0 && Line->Attrs[i - 1].Style.Has(afsDBCSOne);
        a.Style.Exclude(afsDBCSOne);
        a.Style.Exclude(afsDBCSTwo);
        if (trail)
            a.Style.Include(afsDBCSTwo);
        else if (IsLeadByte(Line->Chars[i], &a))
            a.Style.Include(afsDBCSOne);
    }
}

int32_t TRtRTFTextPaint::TextWidth(const TAttr* Attr, const AnsiString& Text)
{
    if (!Attr)
        Attr = CursorLine && CursorLine->Attrs && CursorPos < CursorLine->Capacity ? &CursorLine->Attrs[CursorPos]
                                                                                    : &CurrentAttr;
    UpdateCharWidths(Attr);
    int32_t w = 0;
    for (char c : Text)
        w += CharWidth(uint8_t(c));
    return w;
}

void TRtRTFTextPaint::MeasureObject(TParagraph* Par, TLine* Line, int32_t Index, int32_t& OpenBookmarks,
                                    bool& EndCodeSeen)
{
    TAttr& a = Line->Attrs[Index];
    const uint8_t code = Line->Chars[Index];
    const int32_t fontHeight = currentTable_ ? currentTable_->LineHeight : 0;
    const int32_t fontBase = currentTable_ ? currentTable_->Ascent : 0;
    const TTextHeader* h = Header();
    TTextObj* ref = ObjRefList()->GetTextObj(int32_t(a.Tag));
    a.Height = uint16_t(fontHeight);
    a.Base = uint16_t(fontBase);
    if (!ref) {
        a.Width = 0;
        return;
    }
    const TAttr runAttr = a;
    ObjectAttr = &a;
    switch (ref->Kind) {
    case 1:
    case 2:
        if (ViewOptions.Has(rtShowObjectAnchors)) {
            a.Width = uint16_t(MulDiv(RtAnchorIconWidth, h->LayoutXRes, 96));
            a.Height = uint16_t(MulDiv(RtAnchorIconHeight, h->LayoutYRes, 96));
        } else {
            a.Width = 1;
        }
        Par->Flags |= parfHasFloating;
        break;
    case 0: {
        ref->AnchorPar = Par;
        ref->AnchorLine = Line;
        ref->AnchorPos = Index;
        auto* object = dynamic_cast<TRtObject*>(ref->Object);
        if (auto* field = dynamic_cast<TRtObjectField*>(object)) {
            a.Width = uint16_t(std::clamp(FieldWidth(field, runAttr), 0, 65535));
            Par->Flags |= parfHasFields;
            UpdateCharWidths(&runAttr);
            break;
        }
        int32_t w, ht;
        if (object) {
            w = object->UsePageWidth ? VisibleWidthPx : MulDiv(object->GetWidthTW(), h->LayoutXRes, 1440);
            ht = MulDiv(object->GetHeightTW(), h->LayoutYRes, 1440);
            if (object->UseTextFont && PaintCanvas()) {
                SelectCharFont(&runAttr, Par, Line, Index);
                object->Font.Assign(PaintCanvas()->Font());
                if (object->UseTextColor)
                    object->Color = GetPaperColor();
                object->Font.SetPixelsPerInch(ScreenResolution);
            }
        } else {
            w = MulDiv(ref->Width, h->LayoutXRes, 1440);
            ht = MulDiv(ref->Height, h->LayoutYRes, 1440);
        }
        a.Width = uint16_t(std::clamp(w, 0, 65535));
        a.Height = a.Base = uint16_t(std::clamp(ht, 0, 65535));
        if (ref->Object)
            ref->Object->ObjRect = TRect{0, 0, a.Width, a.Height};
        break;
    }
    default: {
        // A code shows its reference's text: a bookmark its name, a page reference its page.
        AnsiString text;
        GetReferenceText(ref, text);
        if (ref->SubKind == 3) {
            a.Width = uint16_t(std::clamp(TextWidth(&runAttr, text), 1, 65535));
        } else if (ref->SubKind == 1) {
            if (code == 2)
                ++OpenBookmarks;
            else if (code == 3) {
                OpenBookmarks = std::max(0, OpenBookmarks - 1);
                EndCodeSeen = true;
            }
            if (ViewOptions.Has(rtShowBookmarkCodes)) {
                a.Width = uint16_t(std::clamp(TextWidth(&runAttr, text) + 14, 0, 65535));
                if (code == 2)
                    Par->Flags |= parfOpensBookmark;
            } else {
                a.Width = 0;
            }
        } else {
            a.Width = ViewOptions.Has(rtShowEmbeddedCodes)
                          ? uint16_t(std::clamp(TextWidth(&runAttr, text) + 14, 0, 65535))
                          : 0;
        }
        // Measuring a text selected its font: the run's table comes back.
        UpdateCharWidths(&runAttr);
        break;
    }
    }
    ObjectAttr = nullptr;
}

int32_t TRtRTFTextPaint::FieldWidth(TRtObjectField* Field, const TAttr& Attr)
{
    if (!Field->Owner)
        Field->Owner = this;
    AnsiString text;
    Field->GetFieldText(true, text);
    const int32_t natural = Field->GetNaturalWidth();
    return natural < 0 ? TextWidth(&Attr, text) : MulDiv(natural, Header()->LayoutXRes, 1440);
}

void TRtRTFTextPaint::UpdateFieldWidths(TParagraph* Par, TLine* Line)
{
    if (!Par || !(Par->Flags & parfHasFields))
        return;
    for (TLine* l = Line ? Line : Par->Lines; l; l = Line ? nullptr : l->Next) {
        if (!l->Attrs)
            continue;
        for (int32_t i = 0; i < l->Length; ++i) {
            TAttr& a = l->Attrs[i];
            if (!IsObjectCode(l->Chars[i], a))
                continue;
            const TTextObj* ref = ObjRefList()->GetTextObj(int32_t(a.Tag));
            if (auto* field = ref ? dynamic_cast<TRtObjectField*>(ref->Object) : nullptr) {
                a.Width = uint16_t(std::clamp(FieldWidth(field, a), 0, 65535));
                Par->Flags |= parfHasFields;
            }
        }
    }
    AlignLines(Par);
}

// What measuring a paragraph carries from character to character.
struct TRtRTFTextPaint::TMeasureState {
    TParagraph* Par;
    uint32_t Hidden;                // style bits of characters not shown
    int32_t OpenBookmarks;          // bookmarks open at the current character
    bool EndCode = false;           // the character closes a bookmark
    int32_t Height = 0, Base = 0;   // the current line's largest
    const TRtLeadTable* LeadTable = nullptr;   // of the current run's font charset
};

int32_t TRtRTFTextPaint::MeasureParagraph(TParagraph* Par)
{
    if (Measuring || FormatLock || !referenceCanvas_ || !Par || (Par->ExtFlags & (parxNotMeasured | parxNotFormatted)) ||
        Suspended() || PaintLocked)
        return 0;
    Measuring = true;
    TMeasureState s{Par, HiddenStyleMask.Bits, Par->OpenBookmarks};
    Par->Flags &= ~(parfOpensBookmark | parfHasFields | parfHasFloating);
    const bool oneAttr = (Par->ExtFlags & parxOneAttr) != 0;
    const TAttr parFirst = Par->Lines && Par->Lines->Attrs && Par->Lines->Length > 0 ? Par->Lines->Attrs[0] : Par->ParAttr;
    for (TLine* l = Par->Lines; l; l = l->Next) {
        s.Height = s.Base = 0;
        if (l->Attrs) {
            if (oneAttr)
                for (int32_t i = 0; i < l->Length; ++i)
                    if (!IsObjectCode(l->Chars[i], l->Attrs[i]))
                        l->Attrs[i] = parFirst;
            MeasureLineRuns(s, l, oneAttr);
        }
        SetMeasuredLineHeight(Par, l, s.Height, s.Base);
    }
    Par->Flags |= parfReformat;
    if (Par->Next)
        Par->Next->OpenBookmarks = s.OpenBookmarks;
    Measuring = false;
    return 0;
}

void TRtRTFTextPaint::MeasureLineRuns(TMeasureState& S, TLine* Line, bool OneAttr)
{
    const TAttr* at = Line->Attrs;
    const int32_t n = Line->Length;
    S.EndCode = false;
    int32_t i = 0;
    while (i < n) {
        int32_t j = i + 1;
        if (OneAttr)
            j = n;
        else
            while (j < n && at[j].Font == at[i].Font && at[j].Size == at[i].Size &&
                   ((at[j].Style.Bits ^ at[i].Style.Bits) & ~RunIgnoredStyles) == 0)
                ++j;
        TAttr runAttr = at[i];
        if (runAttr.Size == 0)
            runAttr.Size = uint16_t(RtDefaultFontSize);
        UpdateCharWidths(&runAttr);
        S.LeadTable = RtLeadTableOf(Header()->Fonts[size_t(runAttr.Font & 255)].Charset);
        if (!MeasureRun(S, Line, i, j))
            break;
        i = j;
    }
}

bool TRtRTFTextPaint::MeasureRun(TMeasureState& S, TLine* Line, int32_t From, int32_t To)
{
    const int32_t fh = std::max(1, currentTable_->LineHeight);
    const int32_t fb = std::max(1, currentTable_->Ascent);
    for (int32_t k = From; k < To; ++k) {
        TAttr& a = Line->Attrs[k];
        const uint8_t c = Line->Chars[k];
        if (a.Size == 0)
            a.Size = uint16_t(RtDefaultFontSize);
        if (a.Style.Bits & S.Hidden) {
            a.Width = a.Base = a.Height = 0;
        } else if (IsObjectCode(c, a)) {
            MeasureObject(S.Par, Line, k, S.OpenBookmarks, S.EndCode);
        } else if (c == 0) {
            return false;
        } else {
            uint8_t code = c == 9 ? 32 : c;
            if (a.Style.Has(afsIsInsertpoint))
                code = RtInsertPointChar(code);
            a.Width = uint16_t(std::clamp(currentTable_->Widths[code], 1, 65535));
            a.Height = uint16_t(fh);
            a.Base = uint16_t(fb);
        }
        S.Height = std::max<int32_t>(S.Height, a.Height);
        S.Base = std::max<int32_t>(S.Base, a.Base);
        MarkBookmarkAndDBCS(S, Line, k);
    }
    return true;
}

void TRtRTFTextPaint::MarkBookmarkAndDBCS(TMeasureState& S, TLine* Line, int32_t Index)
{
    TAttr* at = Line->Attrs;
    TAttr& a = at[Index];
    if (S.OpenBookmarks > 0 || S.EndCode)
        a.Style.Include(afsBookmark);
    else
        a.Style.Exclude(afsBookmark);
    S.EndCode = false;
    if (!DBCSMode.Has(rtdb_Enabled))
        return;
    a.Style.Exclude(afsDBCSOne);
    a.Style.Exclude(afsDBCSTwo);
    if (Index > 0 && at[Index - 1].Style.Has(afsDBCSOne)) {
        a.Style.Include(afsDBCSTwo);
        if (DBCSMode.Has(rtdb_CalcCharWidth) && !DBCSMode.Has(rtdb_PairsMaySplit))
            MeasureDBCSPair(at[Index - 1], a, Line->Chars[Index - 1], Line->Chars[Index]);
    } else {
        bool lead = false;
        IsLeadByte(Line->Chars[Index], &a, S.LeadTable, lead);
        if (lead)
            a.Style.Include(afsDBCSOne);
    }
}

// The font a line without characters is as tall as: its own end mark's, not the one the last
// measuring happened to leave selected; the paragraph's own attribute when that is set and the
// line is its last.
static const TAttr* EmptyLineAttr(const TParagraph* Par, const TLine* Line)
{
    if (Line->Length != 0 || !Line->Attrs)
        return nullptr;
    return !Line->Next && Par->ParAttr.Font != 0 ? &Par->ParAttr : &Line->Attrs[0];
}

void TRtRTFTextPaint::SetMeasuredLineHeight(TParagraph* Par, TLine* Line, int32_t Height, int32_t Base)
{
    if (Line->Attrs && Line->Length == 0 && !Line->Next && Par->ParAttr.Font != 0) {
        UpdateCharWidths(&Par->ParAttr);
        Height = currentTable_->LineHeight;
        Base = currentTable_->Ascent;
    } else {
        if (const TAttr* a = EmptyLineAttr(Par, Line))
            UpdateCharWidths(a);
        else if (!currentTable_ || !Line->Attrs)
            UpdateCharWidths(&CurrentAttr);
        if (Line->Length == 0 || !Line->Attrs) {
            Height = std::max(Height, currentTable_->LineHeight);
            Base = std::max(Base, currentTable_->Ascent);
        }
    }
    Line->Height = uint16_t(std::clamp(Height, 0, 65535));
    Line->Base = uint16_t(std::clamp(Base, 0, 65535));
    CalcLineHeight(Par, Line);
}

void TRtRTFTextPaint::MeasureDBCSPair(TAttr& Lead, TAttr& Trail, uint8_t LeadCh, uint8_t TrailCh)
{
    if (!currentTable_)
        return;
    // The pair is one glyph: the lead byte takes its width but one unit, the trail byte that unit.
    Lead.Width = uint16_t(std::clamp(PairWidth(LeadCh, TrailCh) - 1, 1, 65535));
    Trail.Width = 1;
}

int32_t TRtRTFTextPaint::MarkBookmarkRanges(TParagraph* Par, int32_t Count)
{
    for (TParagraph* p = Par; p; p = p->Next) {
        p->OpenBookmarks = Count;
        for (TLine* l = p->Lines; l; l = l->Next) {
            if (!l->Attrs)
                continue;
            for (int32_t i = 0; i < l->Length; ++i) {
                TAttr& a = l->Attrs[i];
                bool endCode = false;
                if (IsObjectCode(l->Chars[i], a)) {
                    const TTextObj* ref = ObjRefList()->GetTextObj(int32_t(a.Tag));
                    if (ref && ref->Kind == 3 && ref->SubKind == 1) {
                        if (l->Chars[i] == 2)
                            ++Count;
                        else if (l->Chars[i] == 3) {
                            Count = std::max(0, Count - 1);
                            endCode = true;
                        }
                    }
                }
                const bool marked = Count > 0 || endCode;
                if (a.Style.Has(afsBookmark) != marked) {
                    a.Style.Set(afsBookmark, marked);
                    l->Flags |= linfChanged;
                }
            }
        }
    }
    return Count;
}

// ---- line breaking --------------------------------------------------------------------------------

namespace {

// The paragraph's characters in one run, with where each came from.
struct TFlatPar {
    std::vector<uint8_t> Chars;
    std::vector<TAttr> Attrs;
    std::vector<TLine*> SrcLine;
    std::vector<int32_t> SrcPos;
    std::vector<int32_t> OldCounts;
    std::vector<int32_t> Widths;
    // For each offset in the old lines' characters, the offset in Chars (deleted ones left out).
    std::vector<int32_t> FlatAt;
    void Clear()
    {
        Chars.clear();
        Attrs.clear();
        SrcLine.clear();
        SrcPos.clear();
        OldCounts.clear();
        FlatAt.clear();
    }
};

// One finished line of the new layout.
struct TNewLine {
    int32_t Start = 0;
    int32_t Count = 0;
    int32_t JustifyFrom = 0;
    int32_t JustifyExtra = 0;
    int32_t JustifyRest = 0;
    uint16_t Flags = 0;
    int32_t Avail = 0;
};

TFlatPar& Scratch()
{
    static TFlatPar flat;
    return flat;
}

}  // namespace

// What BreakParagraph's steps share: the flat text, the marks in it, the space and the new lines.
struct TRtRTFTextPaint::TBreakContext {
    TBreakContext(TParagraph* P, TFlatPar& F) : Par(P), Flat(F) {}
    TParagraph* Par;
    TFlatPar& Flat;
    bool Tracking = false;
    bool KeepBreaks = false;
    bool Rich = false;
    std::vector<std::pair<int32_t, uint16_t>> PageStarts;
    int32_t Total = 0;
    int32_t Left = 0, Right = 0;
    bool Cell = false, NoWrap = false, TabsAdvance = false, NoWrapAtSpace = false, AskObjects = false;
    uint8_t Align = 0;
    uint32_t Hidden = 0;
    int32_t BlankWidth = 0;
    std::vector<TNewLine> Lines;
};

// How far the characters from a line's start fit its space.
struct TRtRTFTextPaint::TLineFit {
    int32_t Count = 0;
    int32_t LastBlank = -1, LastTab = -1, HyphenAt = -1;
    int32_t Overflow = -1;    // the first character that did not fit; -1 = none
    bool LineFeed = false;
};

namespace {

// Justification: the blanks after the last tab, the trailing run left out.
void JustifyLine(const TFlatPar& Flat, bool TabsAdvance, TNewLine& Nl)
{
    int32_t from = 0, blanks = 0, sum = 0, run = 0, runSum = 0, xx = 0, endX = 0;
    for (int32_t k = 0; k < Nl.Count; ++k) {
        const uint8_t c = Flat.Chars[size_t(Nl.Start + k)];
        const int32_t w = Flat.Widths[size_t(Nl.Start + k)];
        xx += w;
        if (c == 9 && TabsAdvance) {
            from = k + 1;
            blanks = sum = run = runSum = 0;
        } else if (c == 32) {
            ++blanks;
            sum += w;
            ++run;
            runSum += w;
            continue;
        } else if (w > 0) {
            run = runSum = 0;
        }
        endX = xx;
    }
    const int32_t n = blanks - run;
    if (n > 0) {
        const int32_t d = std::max(0, sum - runSum + Nl.Avail - endX);
        Nl.JustifyFrom = from;
        Nl.JustifyExtra = d / n;
        Nl.JustifyRest = d % n;
    }
}

// The offset of Pos on Line in the lines from First; -1 when Line is not one of them.
int32_t OffsetOnLines(const TLine* First, const TLine* Line, int32_t Pos)
{
    int32_t start = 0;
    for (const TLine* l = First; l; l = l->Next) {
        if (l == Line)
            return start + Pos;
        start += l->Length;
    }
    return -1;
}

// How the new lines differ from the old: 0 = not, 1 = in text or widths, 2 = in a line's
// height, 3 = in the paragraph's height. Changed lines get linfChanged; the new lines take
// the old lines' page, page start and spacing.
int32_t CompareWithOldLines(TLine* OldFirst, TLine* NewFirst)
{
    int32_t result = 0;
    TLine* o = OldFirst;
    int32_t oldHeight = 0, newHeight = 0;
    for (TLine* l = OldFirst; l; l = l->Next)
        oldHeight += l->Height;
    for (TLine* l = NewFirst; l; l = l->Next)
        newHeight += l->Height;
    for (TLine* l = NewFirst; l; l = l->Next) {
        if (!o) {
            l->Flags |= linfChanged;
            result = std::max(result, 1);
            continue;
        }
        l->PageNr = o->PageNr;
        l->Flags = uint16_t((l->Flags & ~linfPageStart) | (o->Flags & linfPageStart));
        l->SpaceAbove = o->SpaceAbove;
        l->SpaceBelow = o->SpaceBelow;
        bool differs = l->Length != o->Length || l->JustifyExtra != o->JustifyExtra ||
                       std::memcmp(l->Chars, o->Chars, l->Length) != 0;
        if (!differs && l->Attrs && o->Attrs)
            for (int32_t k = 0; k < l->Length && !differs; ++k)
                differs = l->Attrs[k].Width != o->Attrs[k].Width;
        if (differs) {
            l->Flags |= linfChanged;
            result = std::max(result, 1);
        }
        if (l->Height != o->Height) {
            result = 2;
            break;
        }
        o = o->Next;
    }
    if (oldHeight != newHeight || NewFirst->Height != OldFirst->Height)
        result = 3;
    return result;
}

}  // namespace

int32_t TRtRTFTextPaint::BreakParagraph(TParagraph* Par, bool FullWrap)
{
    if (!Par || FormatLock || Suspended() || PaintLocked)
        return 0;
    Par->Flags &= ~parfReformat;
    if (!Par->Lines) {
        TLine* l = nullptr;
        InsertLine(l, 8);
        Par->Lines = l;
    }
    if (Par->Lines->Length == 0 && !Par->Lines->Next) {
        CalcLineHeight(Par, Par->Lines);
        UpdateObjectPositions(Par);
        return 0;
    }
    if (PlainNoWrap && Par->Lines->Attrs) {
        // The store keeps the lines as they are and only aligns them.
        AlignLines(Par);
        return 0;
    }
    if (Displays())
        SpellCheckParagraph(Par, false);
    TBreakContext c(Par, Scratch());
    c.Tracking = !CursorTrackingOff;
    c.KeepBreaks = KeepStoredLineBreaks || (Par->ExtFlags & parxKeepLineBreaks);
    c.Rich = Par->Lines->Attrs != nullptr;

    // Every kept position in the paragraph (the cursor and selection too), as an offset
    // in the flat text to place on the new lines.
    TRtLivePositions::TKeptOffsets keptOffsets = Positions().OffsetsIn(Par);
    FlattenParagraph(c);
    for (int32_t& off : keptOffsets.Offsets)
        off = c.Flat.FlatAt[size_t(std::min<int32_t>(off, int32_t(c.Flat.FlatAt.size()) - 1))];

    // Widths.
    c.Left = GetParLeftPix(Par, false);
    c.Right = GetParRightPix(Par, false) - GetIndentRightPix(Par);
    c.Cell = (Par->Flags & parfTableCell) != 0;
    c.NoWrap = (Par->Flags & parfNoWrap) != 0;
    c.Align = Par->Align;
    c.TabsAdvance = c.Align == paralLeft || c.Align == paralBlock;
    c.NoWrapAtSpace = DBCSMode.Has(rtdb_NoWordWrapAtSpace);
    c.AskObjects = ObjRefList()->Count() > 0;
    c.Hidden = HiddenStyleMask.Bits;
    c.BlankWidth = c.Rich ? 0 : CharWidth(32);
    BreakIntoLines(c);

    TLine* oldFirst = Par->Lines;
    const int32_t firstTop = oldFirst->Top;
    TLine* newFirst = BuildLineRecords(c, oldFirst);
    Positions().PlaceOffsets(Par, newFirst, keptOffsets);
    PlaceMarksOnNewLines(c, oldFirst, newFirst);
    Par->Lines = newFirst;
    StackNewLines(Par, firstTop);

    const int32_t result = FullWrap && c.Tracking ? CompareWithOldLines(oldFirst, newFirst) : 0;
    FreeLines(oldFirst);
    UpdateObjectPositions(Par);
    if (FullWrap && c.Cell && result > 0)
        ReformatText(nullptr);
    return result;
}

// Flattens the paragraph: deleted characters go, as does what follows a 0 on its line.
void TRtRTFTextPaint::FlattenParagraph(TBreakContext& C)
{
    TParagraph* Par = C.Par;
    TFlatPar& flat = C.Flat;
    flat.Clear();
    int32_t lineNo = 0;
    for (TLine* l = Par->Lines; l; l = l->Next, ++lineNo) {
        flat.OldCounts.push_back(l->Length);
        if (C.KeepBreaks && (l->Flags & linfPageStart) && C.PageStarts.size() < 10)
            C.PageStarts.emplace_back(lineNo, linfPageStart);
        bool ended = false;
        for (int32_t i = 0; i < l->Length; ++i) {
            flat.FlatAt.push_back(int32_t(flat.Chars.size()));
            if (ended || (l->Attrs && l->Attrs[i].Style.Has(afsDelete)))
                continue;
            if (l->Chars[i] == 0) {
                ended = true;
                continue;
            }
            flat.Chars.push_back(l->Chars[i]);
            flat.Attrs.push_back(l->Attrs ? l->Attrs[i] : CurrentAttr);
            flat.SrcLine.push_back(l);
            flat.SrcPos.push_back(i);
        }
    }
    C.Total = int32_t(flat.Chars.size());
    flat.FlatAt.push_back(C.Total);
}

// Distributes the flat text over new lines that fit the space beside indents and objects.
void TRtRTFTextPaint::BreakIntoLines(TBreakContext& C)
{
    TParagraph* Par = C.Par;
    TFlatPar& flat = C.Flat;
    C.Lines.clear();
    flat.Widths.assign(size_t(C.Total), 0);
    int32_t pos = 0;
    int32_t y = Par->Lines->Top;
    int32_t oldLineIndex = 0;
    do {
        TNewLine nl;
        nl.Start = pos;
        TLine* indentLine = C.Lines.empty() ? Par->Lines : nullptr;
        const int32_t start = (C.Lines.empty() ? GetNumberWidth(Par, Par->Lines) : 0) +
                              GetIndentLeftPix(Par, indentLine) + C.Left;
        int32_t avail = C.Right - start;
        if (C.Cell)
            avail -= ScreenToDoc(2);
        if (avail < 1)
            avail = 16;
        const int32_t extra = C.NoWrap ? 0x7FFFFFFF - avail : 0;
        int32_t narrow = 0;
        if (C.AskObjects) {
            int32_t rx = 0, li = 0;
            if (GetObjectWrapSpace(Par, y, rx, li, Par->Lines->Height))
                narrow = std::max(0, li) + (rx > 0 ? std::max(0, C.Right - rx) : 0);
        }
        const int64_t limit = int64_t(avail) + extra - narrow;
        nl.Avail = avail - narrow;

        const int32_t keepCount = C.KeepBreaks && oldLineIndex < int32_t(flat.OldCounts.size())
                                      ? flat.OldCounts[size_t(oldLineIndex)] +
                                            (oldLineIndex + 1 == int32_t(flat.OldCounts.size()) ? 10 : 0)
                                      : 0;
        const TLineFit fit = FitLine(C, pos, start, limit, keepCount);
        bool hyphenated = false;
        int32_t count = fit.Overflow >= 0 ? ChooseLineBreak(C, pos, fit, hyphenated) : fit.Count;
        // A DBCS lead byte never ends a line.
        if (C.Rich && count > 1 && pos + count < C.Total &&
            flat.Attrs[size_t(pos + count - 1)].Style.Has(afsDBCSOne))
            --count;
        nl.Count = count;
        nl.Flags = hyphenated ? linfHyphenated : 0;
        if (C.AskObjects && C.Rich) {
            int32_t lineHeight = 0;
            for (int32_t k = pos; k < pos + count; ++k)
                lineHeight = std::max<int32_t>(lineHeight, flat.Attrs[size_t(k)].Height);
            y += lineHeight;
        }

        const bool lastLine = pos + count >= C.Total;
        if (C.Align == paralBlock && !fit.LineFeed && (!lastLine || (Par->Flags & parfJustifyLastLine)))
            JustifyLine(flat, C.TabsAdvance, nl);
        C.Lines.push_back(nl);
        pos += count;
        ++oldLineIndex;
    } while (pos < C.Total);
}

// Measures the characters from Pos while they fit Limit, storing their widths; tabs get the
// width to their stop.
TRtRTFTextPaint::TLineFit TRtRTFTextPaint::FitLine(TBreakContext& C, int32_t Pos, int32_t Start, int64_t Limit,
                                                   int32_t KeepCount)
{
    TFlatPar& flat = C.Flat;
    const bool rich = C.Rich;
    TLineFit fit;
    int32_t x = 0;
    int32_t& count = fit.Count;
    for (int32_t i = Pos; i < C.Total; ++i) {
        if (C.KeepBreaks && count >= KeepCount && count > 0)
            break;
        if (MaxLineChars > 0 && count >= MaxLineChars)
            break;
        // A line record holds at most its 16-bit capacity with the terminating entry.
        if (count >= RtMaxLineCapacity - 1)
            break;
        const uint8_t c = flat.Chars[size_t(i)];
        TAttr& a = flat.Attrs[size_t(i)];
        if (rich && (a.Style.Bits & C.Hidden)) {
            ++count;
            continue;
        }
        const bool dbcs = rich && (a.Style.Has(afsDBCSOne) || a.Style.Has(afsDBCSTwo));
        const bool isTab = c == 9 && !dbcs;
        const bool isBlank = (c == 32 || c == 160) && !dbcs;
        int32_t w;
        if (isTab && C.TabsAdvance) {
            const int32_t from = Start - C.Left + x;
            w = std::max(0, GetTabWidth(C.Par, flat.SrcLine[size_t(i)], flat.SrcPos[size_t(i)], from) - from);
            if (w == 0)
                w = 1;
            if (rich)
                a.Width = uint16_t(std::min(w, 65535));
        } else if (isTab && rich) {
            // As wide as a blank of its font, whatever an earlier break stored.
            UpdateCharWidths(&a);
            w = CharWidth(32);
            a.Width = uint16_t(std::clamp(w, 0, 65535));
        } else if (isTab || isBlank) {
            w = rich ? a.Width : C.BlankWidth;
        } else {
            w = rich ? a.Width : CharWidth(c);
        }
        if (!C.KeepBreaks && count > 0 && !((isBlank || isTab) && !C.NoWrapAtSpace)) {
            const bool over = CenterMeasure ? int64_t(x) + w / 2 >= Limit : Limit <= int64_t(x) + w;
            if (over) {
                fit.Overflow = i;
                break;
            }
        }
        flat.Widths[size_t(i)] = w;
        if (c == 32 && !dbcs)
            fit.LastBlank = count + 1;
        else if (isTab && C.TabsAdvance)
            fit.LastTab = count + 1;
        if (rich && a.Style.Has(afsHyphen) && int64_t(x) + w < Limit)
            fit.HyphenAt = count + 1;
        x += w;
        ++count;
        if (c == 10) {
            fit.LineFeed = true;
            break;
        }
    }
    return fit;
}

// The count of characters on a line that overflowed: up to a hyphenation point, the last
// blank or tab, or the overflowing character.
int32_t TRtRTFTextPaint::ChooseLineBreak(const TBreakContext& C, int32_t Pos, const TLineFit& Fit, bool& Hyphenated)
{
    const TFlatPar& flat = C.Flat;
    const int32_t overCount = Fit.Overflow - Pos;
    int32_t hyphenBreak = -1;
    if (EditOptions.Has(rtUseHyphenation)) {
        const int32_t wordStart = std::max({Fit.LastBlank, Fit.LastTab, 0});
        std::vector<int32_t> candidates;
        if (Fit.HyphenAt > wordStart)
            candidates.push_back(Fit.HyphenAt - wordStart);
        if (OnHyphenate) {
            AnsiString word;
            for (int32_t k = Pos + wordStart; k < C.Total && flat.Chars[size_t(k)] > 32; ++k)
                word.push_back(char(flat.Chars[size_t(k)]));
            OnHyphenate(this, word, candidates);
        }
        for (int32_t cand : candidates)
            if (cand > 0 && wordStart + cand < overCount && wordStart + cand > hyphenBreak)
                hyphenBreak = wordStart + cand;
    }
    int32_t count;
    if (hyphenBreak > 0) {
        count = hyphenBreak;
        Hyphenated = true;
    } else if (!CenterMeasure && Fit.LastBlank >= 2 && !C.NoWrapAtSpace) {
        count = Fit.LastBlank;
    } else if (!CenterMeasure && Fit.LastTab >= 2) {
        count = Fit.LastTab;
    } else {
        count = overCount;
    }
    if (count < 1)
        count = 1;
    if (DBCSMode.Has(rtdb_Enabled) && !DBCSMode.Has(rtdb_PairsMaySplit) && C.Rich && count < 2 &&
        flat.Attrs[size_t(Pos)].Style.Has(afsDBCSOne) && Pos + 1 < C.Total)
        count = 2;
    return count;
}

// Makes the line records of the new lines, chained; page starts kept from the old lines.
TLine* TRtRTFTextPaint::BuildLineRecords(const TBreakContext& C, TLine* OldFirst)
{
    const TFlatPar& flat = C.Flat;
    const bool rich = C.Rich;
    TLine* newFirst = nullptr;
    TLine* prev = nullptr;
    for (size_t li = 0; li < C.Lines.size(); ++li) {
        const TNewLine& nl = C.Lines[li];
        TLine* l = NewLineRecord();
        const int32_t capacity = std::min(nl.Count + 4, RtMaxLineCapacity);
        AllocLineText(l, capacity);
        if (rich) {
            AllocLineAttrs(l, capacity);
            if (!l->Attrs) {
                FreeLine(l);
                throw std::bad_alloc();
            }
        }
        l->Length = uint16_t(nl.Count);
        l->JustifyFrom = uint16_t(nl.JustifyFrom);
        l->JustifyExtra = uint16_t(std::min(nl.JustifyExtra, 65535));
        l->JustifyRest = uint16_t(std::min(nl.JustifyRest, 65535));
        l->Flags = nl.Flags;
        int32_t x = 0;
        for (int32_t k = 0; k < nl.Count; ++k) {
            const size_t s = size_t(nl.Start + k);
            l->Chars[k] = flat.Chars[s];
            if (!rich)
                continue;
            TAttr& a = l->Attrs[k];
            a = flat.Attrs[s];
            if (C.NoWrap && x >= nl.Avail)
                a.Width = 0;
            x += a.Width;
        }
        if (rich)
            l->Attrs[nl.Count] = nl.Count > 0 ? l->Attrs[nl.Count - 1] : (OldFirst->Attrs ? OldFirst->Attrs[0] : CurrentAttr);
        l->Prior = prev;
        if (prev)
            prev->Next = l;
        else
            newFirst = l;
        prev = l;
    }
    for (const auto& ps : C.PageStarts) {
        TLine* l = newFirst;
        for (int32_t k = 0; l && k < ps.first; ++k)
            l = l->Next;
        if (l)
            l->Flags |= ps.second;
    }
    return newFirst;
}

// Marks the new lines the selection covers. Without tracking, the cursor and selection
// of the paragraph go to its start: the caller places them.
void TRtRTFTextPaint::PlaceMarksOnNewLines(const TBreakContext& C, TLine* OldFirst, TLine* NewFirst)
{
    TParagraph* Par = C.Par;
    if (!C.Tracking) {
        if (Par == CursorPar) {
            CursorLine = NewFirst;
            CursorPos = 0;
        }
        if (Par == SelStartPar) {
            SelStartLine = NewFirst;
            SelStartPos = 0;
        }
        if (Par == SelEndPar) {
            SelEndLine = NewFirst;
            SelEndPos = 0;
        }
    }
    const int32_t startOff = C.Tracking && Par == SelStartPar ? OffsetOnLines(NewFirst, SelStartLine, SelStartPos) : -1;
    const int32_t endOff = C.Tracking && Par == SelEndPar ? OffsetOnLines(NewFirst, SelEndLine, SelEndPos) : -1;
    const bool hasStart = startOff >= 0, hasEnd = endOff >= 0;
    if (hasStart || hasEnd) {
        int32_t lo, hi;
        if (hasStart && hasEnd) {
            lo = std::min(startOff, endOff);
            hi = std::max(startOff, endOff);
        } else {
            const int32_t off = hasStart ? startOff : endOff;
            const bool markFirst = hasStart != SelReversed;
            lo = markFirst ? off : 0;
            hi = markFirst ? C.Total : off;
        }
        int32_t s = 0;
        for (TLine* l = NewFirst; l; l = l->Next) {
            if (s + l->Length >= lo && s <= hi && lo < hi)
                l->Flags |= linfSelected;
            s += l->Length;
        }
    } else if (OldFirst->Flags & linfSelected) {
        for (TLine* l = NewFirst; l; l = l->Next)
            l->Flags |= linfSelected;
    }
}

// Heights and vertical positions of the paragraph's lines, stacked from Top.
void TRtRTFTextPaint::StackNewLines(TParagraph* Par, int32_t Top)
{
    int32_t yy = Top;
    for (TLine* l = Par->Lines; l; l = l->Next) {
        int32_t lh = 0, lb = 0;
        if (l->Attrs)
            for (int32_t k = 0; k < l->Length; ++k) {
                lh = std::max<int32_t>(lh, l->Attrs[k].Height);
                lb = std::max<int32_t>(lb, l->Attrs[k].Base);
            }
        if (lh == 0) {
            if (const TAttr* a = EmptyLineAttr(Par, l))
                UpdateCharWidths(a);
            int32_t fh = 0, fb = 0;
            GetFontMetrics(fh, fb);
            lh = fh;
            lb = fb;
        }
        l->Height = uint16_t(lh);
        l->Base = uint16_t(lb);
        CalcLineHeight(Par, l);
        l->Top = yy;
        yy += l->Height;
    }
}

void TRtRTFTextPaint::UpdateObjectPositions(TParagraph* Par)
{
    if (ObjRefList()->Count() == 0)
        return;
    for (TParagraph* p = Par ? Par : FirstPar; p; p = Par ? nullptr : p->Next)
        for (TLine* l = p->Lines; l; l = l->Next) {
            if (!l->Attrs)
                continue;
            l->Flags &= ~linfHasObject;
            int32_t x = 0;
            for (int32_t k = 0; k < l->Length; ++k) {
                const TAttr& a = l->Attrs[k];
                if (IsObjectCode(l->Chars[k], a))
                    if (TTextObj* ref = ObjRefList()->GetTextObj(int32_t(a.Tag))) {
                        ref->RectLeft = x;
                        ref->AnchorPar = p;
                        ref->AnchorLine = l;
                        ref->AnchorPos = k;
                        l->Flags |= linfHasObject;
                    }
                x += a.Width;
            }
        }
}
