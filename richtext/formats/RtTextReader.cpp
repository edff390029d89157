#include "RtTextReader.h"

#include <algorithm>

void AssignParFormat(TParagraph& Dest, const TParagraph& Source)
{
    TParagraph keep = std::move(Dest);
    Dest = Source;
    Dest.Lines = keep.Lines;
    Dest.Next = keep.Next;
    Dest.Prior = keep.Prior;
    Dest.Serial = keep.Serial;
    Dest.RunNumber = keep.RunNumber;
    Dest.Index = keep.Index;
    Dest.LinesBefore = keep.LinesBefore;
    Dest.Objects = keep.Objects;
    Dest.Owner = keep.Owner;
    Dest.Cell = keep.Cell;
    Dest.PrevCell = keep.PrevCell;
    Dest.NextCell = keep.NextCell;
    Dest.TextField = std::move(keep.TextField);
}

void TRtTextReader::Setup(const TRtReaderSetup& S)
{
    Text = S.Text;
    Header = S.Header;
    Attr = S.CurrentAttr;
    Par = S.StartPar;
    if (S.ParTemplate) {
        AssignParFormat(ParTemplate, *S.ParTemplate);
        // Read paragraphs do not join the table of the paragraph given as template.
        ParTemplate.Flags &= ~(parfTableCell | parfNotFirstCell | parfNotLastCell | parfNewPage);
        ParTemplate.TableLevel = 0;
    }
}

bool TRtTextReader::HandleEscapeChar() { return AddTextChar(EscapeChar); }

bool TRtTextReader::ProcessChar(uint8_t Ch)
{
    if (Ch == 12) {
        if (Header->PageBreakOnFormFeed) {
            if ((CurLine && CurLine->Length > 0) || CharsAdded > 0)
                NewParagraph();
            Par->Flags |= parfNewPage;
        }
    } else if (Ch == 13)
        NewParagraph();
    else if (Ch == EscapeChar)
        HandleEscapeChar();
    else if (Ch != 10)
        AddTextChar(Ch);
    return false;
}

bool TRtTextReader::AddTextChar(uint8_t Ch)
{
    if (Collapse && (Ch == 9 || Ch == 10 || Ch == 13 || Ch == 32)) {
        Pending = ' ';
        return false;
    }
    if (Ch == 10 || Ch == 13 || Ch == 0)
        Ch = 0;
    return AppendChar(Ch);
}

bool TRtTextReader::AppendChar(uint8_t Ch)
{
    if (Pending) {
        const uint8_t p = Pending;
        Pending = 0;
        AppendChar(p);
    }
    if (Ch == 0)
        return false;
    TAttr a = Attr;
    if (Hyphen) {
        a.Style.Include(afsHyphen);
        Hyphen = false;
    }
    PutChar(Ch, a);
    return false;
}

void TRtTextReader::PutChar(uint8_t Ch, const TAttr& Attr)
{
    TextAdded = true;
    if (CurLine->Length + 2 >= CurLine->Capacity) {
        const int32_t grown = CurLine->Capacity + 200;
        if (grown > RtMaxLineCapacity || !Text->ResizeLine(CurLine, grown)
            || CurLine->Length + 2 >= CurLine->Capacity)
            Text->InsertLine(CurLine, 200);
        Par->Flags |= parfReformat;
    }
    const int32_t n = CurLine->Length;
    CurLine->Chars[n] = Ch;
    CurLine->Chars[n + 1] = 0;
    if (CurLine->Attrs) {
        CurLine->Attrs[n] = Attr;
        CurLine->Attrs[n + 1] = Attr;
    }
    CurLine->Length = uint16_t(n + 1);
    ++CharsAdded;
}

void TRtTextReader::SetStream(TStream* Stream)
{
    In.Attach(Stream);
    ColorMap.fill(0);
    ParCount = 0;
}

int32_t TRtTextReader::ReadStream(TStream* Stream)
{
    TParagraph* first = nullptr;
    return Parse(Stream, first);
}

TParagraph* TRtTextReader::StartParse(TStream* Stream, int32_t Capacity)
{
    Pending = 0;
    if (!Header || !Text)
        throw ERtEngineModeError(GetRtUIString(meReaderClassNotFound));
    if (In.Stream() != Stream)
        SetStream(Stream);
    if (Automatic)
        Attr.Style.Include(afsAutomatic);
    if (!Par) {
        // A new paragraph at the end of the text, so that the chain read stays owned by it.
        TParagraph* par = Text->FirstPar;
        while (par && par->Next)
            par = par->Next;
        Text->InsertPar(par, Capacity);
        AssignParFormat(*par, ParTemplate);
        Par = par;
        ParNumber = 0;
    }
    BeginParagraph(Par);
    CurLine = TRtRTFText::GetLastLine(Par);
    Par->Flags |= parfReformat;
    return Par;
}

void TRtTextReader::BeginParagraph(TParagraph* P)
{
    Par = P;
    CurLine = P->Lines;
    CharsAdded = 0;
    Pending = 0;
}

int32_t TRtTextReader::Parse(TStream* Stream, TParagraph*& FirstPar)
{
    FirstPar = StartParse(Stream, LineCapacity);
    const int32_t step = Text->BeginProgress(int32_t(std::min<int64_t>(Stream->Size(), INT32_MAX)));
    int64_t reported = 0;
    for (;;) {
        const int c = ReadChar();
        if (c < 1)
            break;
        if (step > 0 && In.StreamPosition() - reported > step) {
            reported = In.StreamPosition();
            Text->StepProgress(int32_t(std::min<int64_t>(reported, INT32_MAX)));
        }
        if (ProcessChar(uint8_t(c)))
            break;
    }
    In.SyncStream();
    Text->EndProgress();
    return 0;
}

void TRtTextReader::CountParagraph()
{
    if (++ParCount == 50 && OnParagraph)
        OnParagraph(Par);
}

void TRtTextReader::TrimLines()
{
    for (TLine* l = Par->Lines; l; l = l->Next)
        Text->ResizeLine(l, l->Length + 2);
}

void TRtTextReader::NewParagraph()
{
    CountParagraph();
    TrimLines();
    TParagraph* par = Par;
    Text->InsertPar(par, LineCapacity > 0 ? LineCapacity : 6);
    AssignParFormat(*par, *Par);
    par->RunNumber = uint16_t(++ParNumber);
    par->Flags = (par->Flags | parfReformat) & ~parfNewPage;
    BeginParagraph(par);
}

int32_t TRtTextReader::InsertTextObject(uint8_t Kind, uint32_t Tag, bool WithEnd, bool IsEnd,
                                        const AnsiString& Name, const AnsiString& Command)
{
    TRtObjReferenceList* refs = Text->ObjRefList();
    int32_t id;
    TTextObj* obj;
    if (!Name.empty()) {
        id = refs->AddNamedRef(Name, Tag);
        obj = refs->GetTextObj(id);
    } else {
        obj = refs->AddObject(nullptr);
        id = refs->IndexOfObject(obj);
    }
    if (obj) {
        obj->Type = 3;
        obj->Kind = Kind;
        obj->Tag = Tag;
        obj->RefName = Name;
        obj->Command = Command;
        obj->StartFlag = WithEnd && !IsEnd;
        obj->EndFlag = IsEnd;
    }
    TAttr a = Attr;
    a.Tag = uint32_t(id);
    a.Style.Include(afsIsObject);
    PutChar(IsEnd ? 3 : (WithEnd ? 2 : 1), a);
    return id;
}
