#include "RtTextReader.h"

#include "RtPlatform.h"
#include "SysUtils.h"

#include <algorithm>
#include <string_view>

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
    // CR, LF and CR LF each end a paragraph.
    const bool afterCR = AfterCR;
    AfterCR = Ch == 13;
    if (Ch == 12) {
        if (Header->PageBreakOnFormFeed) {
            if ((CurLine && CurLine->Length > 0) || CharsAdded > 0)
                NewParagraph();
            Par->Flags |= parfNewPage;
        }
    } else if (Ch == 13 || (Ch == 10 && !afterCR))
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
    AfterCR = false;
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

namespace {

// Text is UTF-8 when it starts with its byte-order mark, or when it holds
// multi-byte sequences and nothing that is no UTF-8; otherwise it is 8-bit text.
bool IsUtf8(std::string_view Text)
{
    if (Text.starts_with("\xEF\xBB\xBF"))
        return true;
    bool multiByte = false;
    for (size_t i = 0; i < Text.size(); ++i) {
        if (uint8_t(Text[i]) < 0x80)
            continue;
        const size_t n = size_t(Utf8SequenceAt(Text, i));
        if (n == 0)
            return false;
        multiByte = true;
        i += n - 1;
    }
    return multiByte;
}

}  // namespace

int32_t TRtTextReader::Parse(TStream* Stream, TParagraph*& firstParagraph)
{
    firstParagraph = StartParse(Stream, LineCapacity);
    // The text ends at its first zero byte; the stream stays behind it.
    std::string bytes;
    for (int c = ReadChar(); c > 0; c = ReadChar())
        bytes.push_back(char(c));
    In.SyncStream();
    const int32_t step = Text->BeginProgress(int32_t(std::min<size_t>(bytes.size(), INT32_MAX)));
    size_t reported = 0;
    auto progress = [&](size_t Pos) {
        if (step > 0 && Pos - reported > size_t(step)) {
            reported = Pos;
            Text->StepProgress(int32_t(std::min<size_t>(reported, INT32_MAX)));
        }
    };
    if (IsUtf8(bytes)) {
        // Characters as Unicode; those the font's charset cannot hold switch the font's charset.
        const size_t bom = bytes.starts_with("\xEF\xBB\xBF") ? 3 : 0;
        const std::u32string chars =
            QString::fromUtf8(bytes.data() + bom, qsizetype(bytes.size() - bom)).toStdU32String();
        bool refused = false;
        for (size_t i = 0; i < chars.size(); ++i) {
            progress(i);
            if (chars[i] < 0x80) {
                if (ProcessChar(uint8_t(chars[i])))
                    break;
            } else if (!AppendUnicode(std::u32string_view(chars).substr(i)))
                refused = true;
        }
        if (refused)
            RtPlatform().Beep();
    } else {
        for (size_t i = 0; i < bytes.size(); ++i) {
            progress(i);
            if (ProcessChar(uint8_t(bytes[i])))
                break;
        }
    }
    Text->EndProgress();
    return 0;
}

bool TRtTextReader::AppendUnicode(std::u32string_view Chars)
{
    std::string bytes;
    uint16_t font = Attr.Font;
    if (!Header->UnicodeToFontChars(Chars, font, bytes))
        return false;
    if (font != Attr.Font) {
        Attr.Font = font;
        Attr.Charset = uint8_t(Header->FontCharset(font));
    }
    for (const char b : bytes)
        AppendChar(uint8_t(b));
    return true;
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

int32_t TRtTextReader::InsertTextObject(uint8_t SubKind, uint32_t Tag, bool withEnd, bool isEnd,
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
        obj->Kind = 3;
        obj->SubKind = SubKind;
        obj->Type = SubKind;
        obj->Tag = Tag;
        obj->RefName = Name;
        obj->Command = Command;
    }
    TAttr a = Attr;
    a.Tag = uint32_t(id);
    a.Style.Include(afsIsObject);
    PutChar(isEnd ? 3 : (withEnd ? 2 : 1), a);
    return id;
}
