#include "RtTextWriter.h"

#include "Charsets.h"
#include "RtList.h"

#include <algorithm>

namespace {

// Style bits that do not split a run (spelling and double-byte layout marks).
const WrtStyle RunNeutral{afsMisSpelled, afsWasChecked, afsDBCSOne, afsDBCSTwo};

bool SameRun(const TAttr& a, const TAttr& b)
{
    return a.Font == b.Font && a.Size == b.Size && a.TextColor == b.TextColor && a.BGColor == b.BGColor
        && (a.Style - RunNeutral) == (b.Style - RunNeutral);
}

} // namespace

void TRtTextWriter::Setup(const TRtWriterSetup& S)
{
    Text = S.Text;
    FirstPar = S.FirstPar;
    StartLine = S.FirstLine;
    StartPos = S.FirstPos;
    if (S.Selection) {
        LastPar = S.LastPar;
        EndLine = S.LastLine;
        EndPos = S.LastPos;
    } else {
        LastPar = nullptr;
        EndLine = nullptr;
        EndPos = 0;
    }
    NoTerminator = S.StoreOptions.Has(soNoNULLChar);
    RangeWithHeaderFooter = S.HeaderFooter;
}

TStoreOptions TRtTextWriter::Options() const { return Text->Header()->StoreOptions; }

int32_t TRtTextWriter::Put(const void* Data, size_t Count)
{
    if (Count == 0)
        return 0;
    if (!Stream || Stream->Write(Data, int32_t(Count)) != int32_t(Count)) {
        State = 5;
        return 5;
    }
    return 0;
}

int32_t TRtTextWriter::SetStream(TStream* S)
{
    Stream = S;
    return 0;
}

int32_t TRtTextWriter::WriteTrailer()
{
    if (NoTerminator)
        return 0;
    const char zero = 0;
    return Put(&zero, 1);
}

int32_t TRtTextWriter::WriteDocument()
{
    if (!FirstPar)
        return 6;
    CurAttr = TAttr();
    // Number texts come from the paragraphs' counters, which only a layout
    // pass recounts: a text read and written without one would carry the
    // readers' running numbers.
    Text->UpdateNumbering();
    SingleCell = FirstPar == LastPar && (FirstPar->Flags & parfTableCell);
    TParagraph* par = FirstPar;
    TLine* line = StartLine ? StartLine : par->Lines;
    int64_t total = 0;
    for (TParagraph* p = FirstPar; p && p != LastPar; p = p->Next)
        for (TLine* l = p->Lines; l; l = l->Next)
            total += l->Length;
    Text->BeginProgress(int32_t(std::min<int64_t>(total, INT32_MAX)));
    int32_t r = 0;
    CharsWritten = 0;
    OpenBookmarks.clear();
    MarkTag = 0;
    while (par && r == 0) {
        CurPar = par;
        CurLine = line;
        if ((r = WriteParStart()) != 0)
            break;
        for (TLine* l = line; l && r == 0; l = l->Next) {
            CurLine = l;
            const int32_t from = (par == FirstPar && l == line) ? StartPos : 0;
            if (par == LastPar && l == EndLine) {
                r = WriteLine(std::min<int32_t>(EndPos, l->Length), from);
                break;
            }
            if ((r = WriteLine(l->Length, from)) != 0)
                break;
            CharsWritten += l->Length;
            r = WriteLineEnd();
        }
        if (r)
            break;
        if (par == LastPar) {
            NextParFollows = false;
            if ((par->Flags & parfTableCell) && !SingleCell)
                r = WriteParEnd();
            break;
        }
        NextParFollows = par->Next != nullptr;
        r = WriteParEnd();
        par = par->Next;
        line = par ? par->Lines : nullptr;
        Text->StepProgress(int32_t(std::min<int64_t>(CharsWritten, INT32_MAX)));
    }
    // Bookmarks that end outside the range end here.
    for (auto it = OpenBookmarks.rbegin(); it != OpenBookmarks.rend() && r == 0; ++it)
        if (TTextObj* ref = Text->ObjRefList()->GetTextObj(*it))
            r = WriteReference(3, ref);
    OpenBookmarks.clear();
    Text->EndProgress();
    return r;
}

int32_t TRtTextWriter::WriteMarker(uint8_t Ch)
{
    TTextObj* ref = Text->ObjRefList()->GetTextObj(int32_t(CurAttr.Tag));
    if (!ref)
        return 0;
    if (ref->Object)
        return WriteObject(ref);
    if (ref->Type != 1)
        return WriteReference(Ch, ref);
    const int32_t id = int32_t(CurAttr.Tag);
    if (Ch == 2)
        OpenBookmarks.push_back(id);
    else if (Ch == 3) {
        const auto it = std::find(OpenBookmarks.begin(), OpenBookmarks.end(), id);
        if (it == OpenBookmarks.end())
            return 0; // its start lies outside the range
        OpenBookmarks.erase(it);
    }
    return WriteReference(Ch, ref);
}

int32_t TRtTextWriter::WriteLine(int32_t End, int32_t Start)
{
    TLine* l = CurLine;
    End = std::clamp<int32_t>(End, 0, l->Length);
    Start = std::clamp<int32_t>(Start, 0, End);
    if (Start == 0)
        if (int32_t r = WriteLineStart())
            return r;
    if (!l->Attrs) {
        CurPos = Start;
        return End > Start ? WriteChars(End - Start) : 0;
    }
    if (l->Length == 0 && l == CurPar->Lines) {
        CurAttr = CurPar->ParAttr;
        CurAttr.Style = CurAttr.Style - WrtStyle{afsIsInsertpoint, afsIsObject, afsHyperLink};
        return WriteAttr();
    }
    int32_t i = Start;
    while (i < End) {
        CurAttr = l->Attrs[i];
        CurPos = i;
        if (int32_t r = WriteAttr())
            return r;
        if (!CurAttr.Style.Has(afsIsFootnote))
            MarkTag = 0;
        const uint8_t ch = l->Chars[i];
        if (CurAttr.Style.Has(afsIsObject) && ch >= 1 && ch <= 3) {
            if (WriteMarker(ch) != 0)
                return 5;
            ++i;
            continue;
        }
        if (CurAttr.Style.Has(afsIsFootnote)) {
            // A mark is all the characters of one footnote in a row; a mark
            // that goes on from the line before was written there.
            int32_t n = 1;
            while (i + n < End && l->Attrs[i + n].Style.Has(afsIsFootnote) && l->Attrs[i + n].Tag == CurAttr.Tag)
                ++n;
            if (CurAttr.Tag != MarkTag) {
                FootnoteMarkLength = n;
                if (WriteFootnote() != 0)
                    return 5;
            }
            MarkTag = CurAttr.Tag;
            i += n;
            continue;
        }
        int32_t n = 1;
        if (!(CurAttr.Style.Has(afsIsObject) || CurAttr.Style.Has(afsIsInsertpoint)))
            while (i + n < End && SameRun(l->Attrs[i + n], CurAttr))
                ++n;
        const bool skip = (SkipInsertPointText && CurAttr.Style.Has(afsIsInsertpoint))
                       || (SkipAutomaticText && CurAttr.Style.Has(afsAutomatic));
        if (!skip)
            if (WriteChars(n) != 0)
                return 5;
        i += n;
    }
    return 0;
}

int32_t TRtTextWriter::WriteChars(int32_t Count)
{
    if (SkipHiddenText && CurAttr.Style.Has(afsHidden))
        return 0;
    return Put(CurLine->Chars + CurPos, size_t(Count));
}

int32_t TRtUtf8TextWriter::WriteChars(int32_t Count)
{
    if (SkipHiddenText && CurAttr.Style.Has(afsHidden))
        return 0;
    const int32_t charset = CurLine->Attrs ? Text->Header()->FontCharset(CurAttr.Font) : ANSI_CHARSET;
    if (charset == SYMBOL_CHARSET) {
        // A symbol font's bytes are its own marks: give the characters they show.
        const AnsiString font = Text->Header()->GetFontName(CurAttr.Font);
        std::u32string shown;
        for (int32_t i = 0; i < Count; ++i)
            shown.push_back(RtCharToUnicode(CurLine->Chars[CurPos + i], charset, font));
        return Put(QString::fromStdU32String(shown).toStdString());
    }
    const std::string_view bytes(reinterpret_cast<const char*>(CurLine->Chars + CurPos), size_t(Count));
    return Put(CharsetToUnicode(charset, bytes).toStdString());
}

int32_t TRtTextWriter::WriteLineEnd()
{
    return Options().Has(soHardLineBreaks) ? Put("\r\n", 2) : 0;
}

int32_t TRtTextWriter::WriteParEnd()
{
    if (Options().Has(soHardLineBreaks) || !NextParFollows)
        return 0;
    if ((CurPar->Flags & parfTableCell) && (CurPar->Flags & parfNotLastCell))
        return Put("\t", 1);
    return Put("\r\n", 2);
}

int32_t TRtTextWriter::WriteParStart()
{
    int32_t r = 0;
    if ((CurPar->Flags & parfNewPage) && Options().Has(soANSIFormfeedCode))
        r = Put("\f", 1);
    CurAttr = TAttr();
    return r;
}

std::u32string TRtTextWriter::HyperlinkTarget() const
{
    std::u32string link, hidden;
    TLine* l = CurLine;
    int32_t i = CurPos;
    bool inHidden = false;
    for (; l && l->Attrs; l = l->Next, i = 0)
        for (; i < l->Length; ++i) {
            const TAttr& a = l->Attrs[i];
            std::u32string* into = nullptr;
            if (!inHidden && a.Style.Has(afsHyperLink) && !a.Style.Has(afsHidden))
                into = &link;
            else if (a.Style.Has(afsHidden)) {
                inHidden = true;
                into = &hidden;
            } else
                return hidden.empty() ? link : hidden;
            // A double-byte character takes its trail byte along.
            const int32_t charset = Text->Header()->FontCharset(a.Font);
            const uint8_t c = l->Chars[i];
            char32_t u;
            if (IsCharsetLeadByte(charset, c) && i + 1 < l->Length)
                u = CharsetCharToUnicode(charset, c, l->Chars[++i]);
            else
                u = CharsetCharToUnicode(charset, c);
            if (u)
                *into += u;
        }
    return hidden.empty() ? link : hidden;
}
