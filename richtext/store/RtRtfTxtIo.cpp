#include "RtRtfTxtIo.h"

#include "RtHeaderFooter.h"
#include "RtNumbering.h"
#include "RtObject.h"
#include "RtTextIo.h"

#include <QFileInfo>
#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <vector>

namespace {

// Frees a filter the text created for one call.
template <class T>
struct TOwnedFilter {
    T* Filter = nullptr;
    bool Owned = false;
    ~TOwnedFilter()
    {
        if (Owned)
            delete Filter;
    }
};

bool IsCell(const TParagraph* Par) { return Par && (Par->Flags & parfTableCell); }

// Runs a cleanup when leaving the scope, also on exceptions.
template <class F>
struct TScopeExit {
    F Fn;
    ~TScopeExit() { Fn(); }
};
template <class F>
TScopeExit<F> OnExit(F Fn)
{
    return TScopeExit<F>{std::move(Fn)};
}

// Hands a reader its target through the shared reader fields and its own Setup.
void SetupReader(TRtCustomTextReader* Reader, const TRtReaderSetup& Setup)
{
    Reader->Text = Setup.Text;
    Reader->Header = Setup.Header;
    Reader->Attr = Setup.CurrentAttr;
    Reader->Par = Setup.StartPar;
    Reader->Setup(Setup);
}

} // namespace

TRtRTFTextIo::TRtRTFTextIo()
{
    CursorPar = FirstPar;
    CursorLine = FirstPar ? FirstPar->Lines : nullptr;
    CursorPos = 0;
    Inserting = 0;
    CellPadding = 25;
    Positions().Add(lastParHint_);
}

TRtRTFTextIo::~TRtRTFTextIo()
{
    // A header or footer being edited goes back to its item, the body to the text.
    SetLayer(0);
}

void TRtRTFTextIo::Clear()
{
    if (Busy)
        return;
    SetLayer(0);
    const bool wasLocked = SelectionLocked;
    SelectionLocked = true;
    Printing = false;
    CursorPar = nullptr;
    CursorLine = nullptr;
    CursorPos = 0;
    SelStartPar = SelEndPar = nullptr;
    SelStartLine = SelEndLine = nullptr;
    SelStartPos = SelEndPos = 0;
    TRtRTFText::Clear();
    SelectionLocked = wasLocked;
    CursorPar = FirstPar;
    CursorLine = FirstPar ? FirstPar->Lines : nullptr;
    CursorPos = 0;
    CurrentAttr = TAttr();
    if (FirstPar) {
        FirstPar->SpaceBefore = 0;
        FirstPar->SpaceAfter = 0;
        FirstPar->Flags |= parfReformat;
    }
}

// ---- filters by class name -------------------------------------------------------------------

TRtCustomTextReader* TRtRTFTextIo::CreateReader(const AnsiString& Name)
{
    const TRtClassFactory* factory = FindRtClass(Name);
    if (!factory)
        throw ERtIOClassError(GetRtUIString(meReaderClassNotFound) + Name);
    std::unique_ptr<TObject> obj((*factory)());
    auto* reader = dynamic_cast<TRtCustomTextReader*>(obj.get());
    if (!reader)
        throw ERtIOClassError(GetRtUIString(meIOClassError) + Name);
    obj.release();
    return reader;
}

TRtCustomTextWriter* TRtRTFTextIo::CreateWriter(const AnsiString& Name)
{
    const TRtClassFactory* factory = FindRtClass(Name);
    if (!factory)
        throw ERtIOClassError(GetRtUIString(meWriterClassNotFound) + Name);
    std::unique_ptr<TObject> obj((*factory)());
    auto* writer = dynamic_cast<TRtCustomTextWriter*>(obj.get());
    if (!writer)
        throw ERtIOClassError(GetRtUIString(meIOClassError) + Name);
    obj.release();
    return writer;
}

// ---- loading -------------------------------------------------------------------------------------

AnsiString TRtRTFTextIo::LoadFromStream(TStream* Stream, const AnsiString& Format)
{
    IOResult = 5;
    if (CustomReader && MemoryFormat() != fmPlainText) {
        LoadWithReader(Stream, CustomReader);
        return CustomReader->ClassName();
    }
    const AnsiString name = RtChooseReaderClass(FileExt, Format, *Stream);
    std::unique_ptr<TRtCustomTextReader> reader(CreateReader(name));
    LoadWithReader(Stream, reader.get());
    return name;
}

void TRtRTFTextIo::LoadWithReader(TStream* Stream, TRtCustomTextReader* Reader)
{
    TRtReaderSetup setup;
    setup.Header = Header();
    setup.DocName = toAnsi(FileName);
    setup.StoreOptions = Header()->StoreOptions;
    setup.CurrentAttr = CurrentAttr;
    setup.ParTemplate = CursorPar;
    IOResult = 6;
    ResetProgress();
    BeginProgress(100);
    SetProgressShare(50);
    auto progressEnd = OnExit([this] { EndProgress(); });

    const int32_t oldCursor = GetCursorCharPos();
    const bool insert = !IsEmpty() || InsertRequested;
    if (insert)
        InsertLoadedText(Stream, Reader, setup);
    else
        ReplaceByLoadedText(Stream, Reader, setup);
    if (KeepCursorOnLoad)
        SetCursorCharPos(oldCursor);
    StepProgress(50);
    PrepareObjects();
    UpdateNumbering();
    if (insert)
        UpdateAfterChange(true);
    else
        UpdateLayout();
    ReformatText(nullptr);
}

// The reader fills a separate text; its paragraphs are then copied with their fonts, colours,
// tabs and list items mapped into this text and pasted at the cursor.
void TRtRTFTextIo::InsertLoadedText(TStream* Stream, TRtCustomTextReader* Reader, TRtReaderSetup& Setup)
{
    if (!NoDeleteSelection)
        DeleteSelection();
    TRtRTFTextIo temp;
    temp.Header()->Assign(*Header());
    temp.Use256Colors = Use256Colors;
    temp.NoPictures = NoPictures;
    Setup.Text = &temp;
    Setup.Header = temp.Header();
    Setup.StartPar = temp.FirstPar;
    SetupReader(Reader, Setup);
    IOResult = uint8_t(temp.ReadIntoText(Reader, Stream));
    PrepareCopyMaps(&temp);
    TParagraph* chain = temp.IsEmpty() ? nullptr : DuplicateChain(temp.FirstPar, nullptr, &temp);
    if (!chain)
        return;
    bool doIt = !IsProtected(CursorPar, CursorLine, CursorPos);
    if (doIt && OnBeforePaste)
        OnBeforePaste(this, doIt, chain);
    if (!doIt) {
        for (TParagraph* p = chain; p; p = p->Next)
            for (TLine* l = p->Lines; l; l = l->Next)
                ReleaseChainObjects(l);
        FreeParChain(chain);
        return;
    }
    PasteLoadedChain(chain);
}

// Pastes Chain at the cursor with the cursor paragraph's borders, shading and indents where
// asked, recording undo.
void TRtRTFTextIo::PasteLoadedChain(TParagraph* Chain)
{
    for (TParagraph* p = Chain; p; p = p->Next) {
        if (PasteBorders) {
            p->BrdLines = CursorPar->BrdLines;
            p->BrdWidth = CursorPar->BrdWidth;
            p->BrdColor = CursorPar->BrdColor;
            p->BrdSpace = CursorPar->BrdSpace;
        }
        if (PasteShading) {
            p->Color = CursorPar->Color;
            p->Shading = CursorPar->Shading;
            p->PatColor = CursorPar->PatColor;
        }
        if (PasteIndents) {
            p->IndentLeft = CursorPar->IndentLeft;
            p->IndentRight = CursorPar->IndentRight;
            p->IndentFirst = CursorPar->IndentFirst;
        }
    }
    // Cells pasted into cells record each target cell themselves.
    const bool cellsIntoCells = IsCell(CursorPar) && IsCell(Chain);
    const bool recordUndo = EditOptions.Has(rtActivateUndo) && !cellsIntoCells && UndoSuspended == 0;
    TParagraph* before = CursorPar;
    TParagraph* after = CursorPar ? CursorPar->Next : nullptr;
    if (recordUndo)
        SaveUndo(CursorPar, ukParagraph, ulPaste);
    InsertParagraphs(CursorPar, CursorLine, CursorPos, Chain);
    if (recordUndo) {
        RenumberFrom(FirstPar);
        for (TParagraph* p = before ? before->Next : nullptr; p && p != after; p = p->Next)
            SaveUndo(p, ukInserted, ulPaste);
    }
}

// The reader writes into this text, cleared unless it keeps the text; the cursor goes to the
// end unless the reader keeps it.
void TRtRTFTextIo::ReplaceByLoadedText(TStream* Stream, TRtCustomTextReader* Reader, TRtReaderSetup& Setup)
{
    if (!Use256Colors)
        for (int i = 1; i <= 15; ++i)
            Header()->Colors[size_t(i)].Used = 0;
    if (!(Reader->LoadFlags() & rtlfKeepText))
        Clear();
    Setup.Text = this;
    Setup.StartPar = FirstPar;
    Setup.ParTemplate = FirstPar;
    SetupReader(Reader, Setup);
    IOResult = uint8_t(ReadIntoText(Reader, Stream));
    bool doIt = true;
    if (OnBeforePaste)
        OnBeforePaste(this, doIt, FirstPar);
    if (!doIt)
        TRtRTFText::Clear();
    Header()->UpdatePixelSizes();
    if (!(Reader->LoadFlags() & rtlfKeepCursor) || !CursorPar) {
        TParagraph* last = FirstPar;
        while (last && last->Next)
            last = last->Next;
        CursorPar = last;
        CursorLine = last ? GetLastLine(last) : nullptr;
        CursorPos = CursorLine ? CursorLine->Length : 0;
    }
    Header()->Changed();
}

int32_t TRtRTFTextIo::ReadIntoText(TRtCustomTextReader* Reader, TStream* Stream)
{
    // The reader writes into this text's lines: no layout may free or move them
    // (a header change notice lays out) until it has ended; the caller lays out then.
    // Paragraphs only gain tab stops meanwhile.
    const bool locked = FormatLock, reading = ReadingTabs;
    FormatLock = ReadingTabs = true;
    TabsAllUsed = false;
    auto unlock = OnExit([&] {
        FormatLock = locked;
        ReadingTabs = reading;
        TabsAllUsed = false;
    });
    return Reader->ReadStream(Stream);
}

int32_t TRtRTFTextIo::ReadRTFWithReader(TStream* Stream, TRtCustomTextReader* Reader)
{
    TOwnedFilter<TRtCustomTextReader> r{Reader, false};
    if (!r.Filter) {
        const TRtClassFactory* factory = FindRtClass(RtDefaultReaderWriter.RTFReader);
        if (!factory)
            return 6;
        std::unique_ptr<TObject> obj((*factory)());
        r.Filter = dynamic_cast<TRtCustomTextReader*>(obj.get());
        if (!r.Filter)
            return 6;
        obj.release();
        r.Owned = true;
    }
    TRtReaderSetup setup;
    setup.Text = this;
    setup.Header = Header();
    setup.DocName = toAnsi(FileName);
    setup.StoreOptions = Header()->StoreOptions;
    setup.CurrentAttr = CurrentAttr;
    setup.ParTemplate = FirstPar;
    setup.StartPar = IsEmpty() ? FirstPar : nullptr;
    SetupReader(r.Filter, setup);
    const int32_t result = ReadIntoText(r.Filter, Stream);
    UpdateAfterChange(true);
    return result;
}

void TRtRTFTextIo::LoadFromStreamWithName(TStream* Stream, const QString& Name)
{
    const bool ownBase = BasePath.isEmpty();
    if (ownBase)
        BasePath = QFileInfo(Name).absolutePath();
    FileExt = toAnsi(ExtractFileExt(Name).toUpper());
    auto reset = OnExit([&] {
        FileExt.clear();
        if (ownBase)
            BasePath.clear();
    });
    Header()->FormatName = LoadFromStream(Stream, TextLoadFormat);
    ShowCursor();
}

void TRtRTFTextIo::LoadFromFile(const QString& Name)
{
    TFileStream stream(Name, fmOpenRead | fmShareDenyWrite);
    LoadFromStreamWithName(&stream, Name);
}

void TRtRTFTextIo::ReadData(TStream* Stream)
{
    const TRtClassFactory* factory = FindRtClass(RtDefaultReaderWriter.RTFReader);
    if (!factory)
        return;
    Loading = true;
    auto reset = OnExit([this] { Loading = false; });
    Clear();
    std::unique_ptr<TObject> obj((*factory)());
    if (auto* reader = dynamic_cast<TRtCustomTextReader*>(obj.get()))
        LoadWithReader(Stream, reader);
}

void TRtRTFTextIo::InsertFromStream(int32_t Pos, bool Flag, TStream* Stream)
{
    TRtRTFTextIo temp;
    temp.Header()->Assign(*Header());
    temp.TextLoadFormat = TextLoadFormat;
    temp.LoadFromStream(Stream, TextLoadFormat);
    IOResult = temp.IOResult;
    if (temp.IsEmpty() && !Flag)
        return;
    TParagraph* at = Pos >= 0 ? GetParByIndex(Pos) : nullptr;
    if (Pos < 0) {
        PrepareCopyMaps(&temp);
        TParagraph* chain = DuplicateChain(temp.FirstPar, nullptr, &temp);
        InsertParagraphs(CursorPar, CursorLine, CursorPos, chain);
    } else {
        CopyParagraphsFrom(temp.FirstPar, at, &temp);
    }
    RenumberFrom(FirstPar);
    UpdateAfterChange(true);
}

// ---- saving ------------------------------------------------------------------------------------

AnsiString TRtRTFTextIo::ChooseWriterName(const AnsiString& Format, bool UseExt, bool UseStyles)
{
    const bool hasContent = !IsEmpty() || HasHeaderFooter();
    bool keepsStyles = false;
    if (UseStyles) {
        const TStoreOptions o = Header()->StoreOptions;
        keepsStyles = o.Has(soAllStylesInCollection) && !o.Has(soNoStyleTable) && OwnerControl
            && OwnerControl->RtStyleCollection();
    }
    return RtChooseWriterClass(UseExt ? FileExt : AnsiString(), Format, hasContent, keepsStyles);
}

void TRtRTFTextIo::SaveToStream(TStream* Stream)
{
    IOResult = 5;
    if (CustomWriter && MemoryFormat() != fmPlainText) {
        IOResult = uint8_t(WriteWithWriter(Stream, CustomWriter));
        return;
    }
    std::unique_ptr<TRtCustomTextWriter> writer(CreateWriter(ChooseWriterName(TextSaveFormat, true, true)));
    writer->Reset();
    IOResult = uint8_t(WriteWithWriter(Stream, writer.get()));
}

void TRtRTFTextIo::SaveSelectionToStream(TStream* Stream)
{
    IOResult = 5;
    // A selected object alone is written as its character.
    bool objectBlock = false;
    if (!SelStartPar && SelectedObj && SelectedObjId > 0) {
        TParagraph* par = nullptr;
        TLine* line = nullptr;
        int32_t pos = 0;
        if (FindNextObjectMarker(par, line, pos, {SelectedObjId}) > 0 && par && line) {
            SelStartPar = SelEndPar = par;
            SelStartLine = SelEndLine = line;
            SelStartPos = pos;
            SelEndPos = pos + 1;
            objectBlock = true;
        }
    }
    auto reset = OnExit([&] {
        if (objectBlock) {
            SelStartPar = SelEndPar = nullptr;
            SelStartLine = SelEndLine = nullptr;
        }
    });
    if (CustomWriter && MemoryFormat() != fmPlainText) {
        IOResult = uint8_t(WriteSelection(Stream, CustomWriter));
        return;
    }
    std::unique_ptr<TRtCustomTextWriter> writer(CreateWriter(ChooseWriterName(TextSaveFormat, true, true)));
    writer->Reset();
    IOResult = uint8_t(WriteSelection(Stream, writer.get()));
}

int32_t TRtRTFTextIo::WriteWithFormat(const AnsiString& FormatName, TParagraph* First, TParagraph* Last,
                                      TStream* Stream, TLine* FirstLine, int32_t FirstPos, TLine* LastLine,
                                      int32_t LastPos)
{
    std::unique_ptr<TRtCustomTextWriter> writer(CreateWriter(ChooseWriterName(FormatName, false, false)));
    writer->Reset();
    return WriteRange(First, Last, writer.get(), Stream, FirstLine, FirstPos, LastLine, LastPos);
}

TRtWriterSetup TRtRTFTextIo::MakeWriterSetup(TRtCustomTextWriter* Writer)
{
    TRtWriterSetup s;
    s.Text = this;
    s.StoreOptions = Header()->StoreOptions;
    s.DocName = toAnsi(FileName);
    s.BasePath = toAnsi(BasePath);
    s.Saving = Saving != 0;
    s.HeaderFooter = SelectionWithHeaderFooter;
    s.TextEmpty = IsEmpty();
    s.FirstPar = FirstPar;
    s.FirstLine = FirstPar ? FirstPar->Lines : nullptr;
    if (Writer->WantsUsedAttributes() || Use256Colors) {
        s.HasDefaults = true;
        CountUsedAttributes(s.DefaultFont, s.DefaultSize, s.DefaultColor);
    }
    return s;
}

int32_t TRtRTFTextIo::RunWriter(TStream* Stream, TRtCustomTextWriter* Writer, const TRtWriterSetup& Setup)
{
    Writer->Setup(Setup);
    Writer->Stream = Stream;
    auto* memory = dynamic_cast<TMemoryStream*>(Stream);
    if (memory) {
        const int64_t pos = memory->Position();
        memory->SetSize(memory->Size() + 10000);
        memory->SetPosition(pos);
    }
    int32_t result = Writer->WriteStart();
    if (result == 0)
        result = Writer->WriteBody();
    if (result == 0)
        result = Writer->WriteEnd();
    if (memory)
        memory->SetSize(memory->Position());
    return result;
}

int32_t TRtRTFTextIo::WriteWithWriter(TStream* Stream, TRtCustomTextWriter* Writer)
{
    if (!Writer)
        return 5;
    Writer->Reset();
    const TRtWholeTextScope whole(*this);
    return RunWriter(Stream, Writer, MakeWriterSetup(Writer));
}

int32_t TRtRTFTextIo::WriteRange(TParagraph* First, TParagraph* Last, TRtCustomTextWriter* Writer, TStream* Stream,
                                 TLine* FirstLine, int32_t FirstPos, TLine* LastLine, int32_t LastPos)
{
    TOwnedFilter<TRtCustomTextWriter> w{Writer, false};
    if (!w.Filter) {
        const TRtClassFactory* factory = FindRtClass(RtDefaultReaderWriter.RTFWriter);
        if (!factory)
            return 6;
        std::unique_ptr<TObject> obj((*factory)());
        w.Filter = dynamic_cast<TRtCustomTextWriter*>(obj.get());
        if (!w.Filter)
            return 6;
        obj.release();
        w.Owned = true;
        w.Filter->Reset();
    }
    TRtWriterSetup s = MakeWriterSetup(w.Filter);
    s.Selection = true;
    s.FirstPar = First ? First : FirstPar;
    s.FirstLine = FirstLine ? FirstLine : (s.FirstPar ? s.FirstPar->Lines : nullptr);
    s.FirstPos = FirstPos;
    if (Last) {
        s.LastPar = Last;
        s.LastLine = LastLine ? LastLine : GetLastLine(Last);
        s.LastPos = LastLine ? LastPos : (s.LastLine ? s.LastLine->Length : 0);
    } else {
        TParagraph* last = s.FirstPar;
        while (last && last->Next)
            last = last->Next;
        s.LastPar = last;
        s.LastLine = last ? GetLastLine(last) : nullptr;
        s.LastPos = s.LastLine ? s.LastLine->Length : 0;
    }
    return RunWriter(Stream, w.Filter, s);
}

int32_t TRtRTFTextIo::WriteSelection(TStream* Stream, TRtCustomTextWriter* Writer)
{
    bool anyMarked = false;
    for (TParagraph* p = FirstPar; p && !anyMarked; p = p->Next)
        anyMarked = (p->Flags & parfMarked) != 0;
    if (!anyMarked) {
        if (!SelStartPar || !SelEndPar)
            return 0;
        TParagraph *a = SelStartPar, *b = SelEndPar;
        TLine *la = SelStartLine, *lb = SelEndLine;
        int32_t pa = SelStartPos, pb = SelEndPos;
        if (CharPosOf(a, la, pa) > CharPosOf(b, lb, pb)) {
            std::swap(a, b);
            std::swap(la, lb);
            std::swap(pa, pb);
        }
        return WriteRange(a, b, Writer, Stream, la, pa, lb, pb);
    }
    // The marked paragraphs as a chain of record copies sharing lines and cells.
    std::vector<std::unique_ptr<TParagraph>> copies;
    std::vector<TParagraph*> originals;
    for (TParagraph* p = FirstPar; p; p = p->Next)
        if (p->Flags & parfMarked) {
            copies.push_back(std::make_unique<TParagraph>(*p));
            originals.push_back(p);
        }
    for (size_t i = 0; i < copies.size(); ++i) {
        TParagraph* c = copies[i].get();
        c->Prior = i > 0 ? copies[i - 1].get() : nullptr;
        c->Next = i + 1 < copies.size() ? copies[i + 1].get() : nullptr;
        const bool continuesRow = i > 0 && originals[i - 1]->Next == originals[i];
        if ((c->Flags & parfNotFirstCell) && !continuesRow)
            c->Flags &= ~parfNotFirstCell;
        const bool seamAfter = i + 1 == copies.size() || originals[i]->Next != originals[i + 1];
        if (seamAfter && (c->Flags & parfNotLastCell)) {
            c->Flags &= ~parfNotLastCell;
            if (originals[i]->Next && originals[i]->Next->BrdLines)
                c->BrdLines |= brdRight;
        }
    }
    TParagraph* last = copies.back().get();
    if (last->BrdLines & brdTop) {
        for (TParagraph* c = last; c; c = c->Prior) {
            c->BrdLines |= brdBottom;
            if (!(c->Flags & parfNotFirstCell))
                break;
        }
    }
    // Renumber the copied cells' left positions to the running sum of their widths.
    std::vector<std::pair<TRtCell*, uint8_t>> savedLeft;
    int32_t left = 0;
    for (auto& c : copies) {
        if (!c->Cell)
            continue;
        if (!(c->Flags & parfNotFirstCell))
            left = 0;
        savedLeft.emplace_back(c->Cell, c->Cell->Left);
        c->Cell->Left = uint8_t(std::min(left, 255));
        left += c->Cell->Width;
    }
    auto restore = OnExit([&] {
        for (auto it = savedLeft.rbegin(); it != savedLeft.rend(); ++it)
            it->first->Left = it->second;
    });
    TParagraph* first = copies.front().get();
    return WriteRange(first, last, Writer, Stream, first->Lines, 0, GetLastLine(last),
                      GetLastLine(last) ? GetLastLine(last)->Length : 0);
}

void TRtRTFTextIo::SaveRTFToStream(TStream* Stream)
{
    std::unique_ptr<TRtCustomTextWriter> writer(CreateWriter(RtDefaultReaderWriter.RTFWriter));
    WriteWithWriter(Stream, writer.get());
    const uint32_t zero = 0;
    Stream->WriteBuffer(&zero, 4);
}

void TRtRTFTextIo::SaveSnapshot(TStream* Stream)
{
    if (!FindRtClass(RtDefaultReaderWriter.RTFWriter))
        return;
    std::unique_ptr<TRtCustomTextWriter> writer(CreateWriter(RtDefaultReaderWriter.RTFWriter));
    WriteWithWriter(Stream, writer.get());
}

void TRtRTFTextIo::LoadSnapshot(TStream* Stream)
{
    if (Stream->Size() == 0 || !FindRtClass(RtDefaultReaderWriter.RTFReader))
        return;
    std::unique_ptr<TRtCustomTextReader> reader(CreateReader(RtDefaultReaderWriter.RTFReader));
    // Reloading keeps the undo stack that is applying the snapshot.
    const bool keep = KeepSettings;
    KeepSettings = true;
    ++UndoSuspended;
    auto reset = OnExit([&] {
        KeepSettings = keep;
        --UndoSuspended;
    });
    Clear();
    LoadWithReader(Stream, reader.get());
}

void TRtRTFTextIo::SaveRangeToStream(int32_t From, int32_t To, TStream* Stream)
{
    TParagraph* first = GetParByIndex(From);
    TParagraph* last = GetParByIndex(To);
    if (!first)
        return;
    TRtRTFTextIo temp;
    temp.Header()->Assign(*Header());
    temp.TextSaveFormat = TextSaveFormat;
    temp.PrepareCopyMaps(this);
    TParagraph* chain = temp.DuplicateChain(first, last, this);
    TParagraph* old = temp.FirstPar;
    temp.FirstPar = chain;
    temp.FreeParChain(old);
    temp.RenumberFrom(temp.FirstPar);
    temp.CursorPar = temp.FirstPar;
    temp.CursorLine = temp.FirstPar->Lines;
    temp.CursorPos = 0;
    temp.SaveToStream(Stream);
    IOResult = temp.IOResult;
}

void TRtRTFTextIo::SaveToFile(const QString& Name)
{
    const bool ownBase = BasePath.isEmpty();
    if (ownBase)
        BasePath = QFileInfo(Name).absolutePath();
    Saving = 1;
    FileExt = toAnsi(ExtractFileExt(Name).toUpper());
    SaveFileName = Name;
    auto reset = OnExit([&] {
        Saving = 0;
        FileExt.clear();
        SaveFileName.clear();
        if (ownBase)
            BasePath.clear();
    });
    RtSaveFileWithBackup(Name, Header()->StoreOptions, [this](TStream& S) {
        SaveToStream(&S);
        return int32_t(IOResult);
    });
}

// ---- the filters' character interface ---------------------------------------------------------

int32_t TRtRTFTextIo::ReadChar(uint8_t& Ch, TAttr& Attr)
{
    TParagraph props;
    return ReadChar(Attr, Ch, props) ? 1 : 0;
}

bool TRtRTFTextIo::ReadChar(TAttr& Attr, uint8_t& Ch, TParagraph& ParProps)
{
    if (!CursorPar) {
        Ch = 0;
        return false;
    }
    if (!CursorLine)
        CursorLine = CursorPar->Lines;
    if (CursorPar == FirstPar && CursorLine == FirstPar->Lines && CursorPos == 0)
        ParProps = *CursorPar;
    while (CursorLine && CursorPos >= CursorLine->Length && CursorLine->Next) {
        CursorLine = CursorLine->Next;
        CursorPos = 0;
    }
    if (CursorLine && CursorPos < CursorLine->Length) {
        Ch = CursorLine->Chars[CursorPos];
        Attr = CursorLine->Attrs ? CursorLine->Attrs[CursorPos] : CurrentAttr;
        ++CursorPos;
        return true;
    }
    TParagraph* next = CursorPar->Next;
    if (next == CursorPar) {
        CursorPar->Next = nullptr;
        throw ERtEngineError("Next paragraph error");
    }
    if (!next) {
        Ch = 0;
        return false;
    }
    CursorPar = next;
    CursorLine = next->Lines;
    CursorPos = 0;
    ParProps = *next;
    Ch = (next->Flags & parfNewPage) ? 12 : 13;
    Attr = next->ParAttr;
    return true;
}

TParagraph* TRtRTFTextIo::LastParFromCursor() const
{
    // Appending keeps the cursor at the end, so a reader's appends walk no paragraph twice.
    TParagraph* last = CursorPar ? CursorPar : FirstPar;
    while (last && last->Next)
        last = last->Next;
    return last;
}

bool TRtRTFTextIo::AppendChar(uint8_t Ch, const TAttr* Attr)
{
    TParagraph* last = LastParFromCursor();
    AppendChar(Attr ? *Attr : CurrentAttr, Ch, last ? *last : TParagraph());
    return true;
}

void TRtRTFTextIo::AppendChar(const TAttr& Attr, uint8_t Ch, const TParagraph& ParProps)
{
    TParagraph* last = LastParFromCursor();
    CursorPar = last;
    CursorLine = last ? GetLastLine(last) : nullptr;
    CursorPos = CursorLine ? CursorLine->Length : 0;
    if (Ch == 0 || !last)
        return;
    if (Ch == 13 || Ch == 12) {
        const TParagraph props = ParProps;
        TParagraph* par = last;
        InsertPar(par, 30);
        CopyParProps(*par, 0, props, true, 0xFFFFF);
        par->Flags = (props.Flags & ~(parfNewPage | parfMarked)) | parfReformat;
        if (Ch == 12)
            par->Flags |= parfNewPage;
        par->ParAttr = Attr;
        CursorPar = par;
        CursorLine = par->Lines;
        CursorPos = 0;
        return;
    }
    TLine* line = CursorLine;
    if (line->Length + 3 >= line->Capacity) {
        if (line->Length + 30 > RtMaxLineCapacity || !ResizeLine(line, line->Length + 30)) {
            InsertLine(line, 30);
            CursorLine = line;
        }
    }
    const bool rich = Header()->RichText != 0;
    if (rich && !line->Attrs && !(Attr == CurrentAttr)) {
        AllocLineAttrs(line, line->Capacity);
        for (int32_t i = 0; i <= line->Length && line->Attrs; ++i)
            line->Attrs[i] = CurrentAttr;
    }
    const int32_t n = line->Length;
    line->Chars[n] = Ch;
    line->Chars[n + 1] = 0;
    if (line->Attrs) {
        line->Attrs[n] = Attr;
        line->Attrs[n + 1] = Attr;
    }
    line->Length = uint16_t(n + 1);
    CursorPos = n + 1;
    last->Flags |= parfReformat;
}

// ---- copying paragraphs between texts --------------------------------------------------------

void TRtRTFTextIo::PrepareCopyMaps(TRtRTFText* Source)
{
    for (int i = 0; i < 256; ++i) {
        fontMap_[size_t(i)] = i;
        colorMap_[size_t(i)] = i;
    }
    for (int i = 0; i < 64; ++i)
        tabMap_[size_t(i)] = i;
    if (!Source || Source == this)
        return;
    TTextHeader* src = Source->Header();
    TTextHeader* dst = Header();
    for (int i = 0; i < 256; ++i) {
        const TRtFontEntry& f = src->Fonts[size_t(i)];
        if (!f.Name.empty())
            fontMap_[size_t(i)] = dst->GetFontIndexCharset(f.Name, f.Charset);
    }
    for (int i = 0; i < 64; ++i) {
        const TRtTabEntry& t = src->Tabs[size_t(i)];
        if (t.Pos > 0) {
            const int32_t index = dst->AddTab(t.Pos, t.Kind);
            tabMap_[size_t(i)] = index >= 0 ? index : i;
        }
    }
    dst->CurrentTabs = 0;
    for (int i = 0; i < 256; ++i) {
        const TRtColorEntry& c = src->Colors[size_t(i)];
        const TRtColorEntry& d = dst->Colors[size_t(i)];
        const bool differs = c.Red != d.Red || c.Green != d.Green || c.Blue != d.Blue;
        if (c.Used && differs) {
            int32_t index = i;
            if (dst->GetColorIndex(src->GetColor(i), Use256Colors, index) && index >= 0)
                colorMap_[size_t(i)] = index;
        }
    }
}

// What one DuplicateChain call keeps: the source text and the tables, numbering styles and
// numbering groups copied so far (their id, number or group here by theirs).
struct TRtRTFTextIo::TChainCopy {
    TRtRTFText* Source = nullptr;
    bool Foreign = false;
    std::map<int32_t, int32_t> TableIds;
    std::map<int32_t, int32_t> Numbers;
    std::set<int32_t> Groups;
};

// The id in Own of the item Id of Theirs; a foreign item is copied once, an own one gains a reference.
int32_t TRtRTFTextIo::CopyListItem(TRtCustomList* Own, TRtCustomList* Theirs, int32_t Id, bool Foreign)
{
    if (!Foreign) {
        Own->AddRef(Id);
        return Id;
    }
    TRtListItem* item = Theirs->FindItem(Id);
    if (!item)
        return 0;
    const int32_t existing = Own->FindCopyId(item);
    if (existing > 0) {
        Own->AddRef(existing);
        return existing;
    }
    const int32_t copyId = Own->AddCopy(item);
    // A copied object reference gets its own copy of the object: each text frees its own.
    if (Own == ObjRefList())
        if (TTextObj* ref = ObjRefList()->GetTextObj(copyId); ref && ref->Object) {
            auto* obj = dynamic_cast<TRtObject*>(ref->Object);
            ref->Object = obj ? obj->Clone(nullptr).release() : nullptr;
            if (ref->Object)
                ref->Object->Owner = this;
        }
    return copyId;
}

// Fonts and colours through the copy maps; objects, footnotes and insert points to their items here.
void TRtRTFTextIo::MapCopiedAttr(TAttr& Attr, TChainCopy& Copy)
{
    Attr.Font = uint16_t(fontMap_[Attr.Font & 0xFF]);
    if (Header()->Colors16 && !Use256Colors) {
        Attr.TextColor = uint8_t((colorMap_[Attr.TextColor & 0x0F] & 0x0F) | ((colorMap_[Attr.TextColor >> 4] & 0x0F) << 4));
    } else {
        Attr.TextColor = uint8_t(colorMap_[Attr.TextColor]);
        Attr.BGColor = uint8_t(colorMap_[Attr.BGColor]);
    }
    TRtRTFText* source = Copy.Source;
    if (!source)
        return;
    if (Attr.Style.Has(afsIsObject) && Attr.Tag)
        Attr.Tag = uint32_t(CopyListItem(ObjRefList(), source->ObjRefList(), int32_t(Attr.Tag), Copy.Foreign));
    else if (Attr.Style.Has(afsIsFootnote) && Attr.Tag)
        Attr.Tag = uint32_t(CopyListItem(FootnoteList(), source->FootnoteList(), int32_t(Attr.Tag), Copy.Foreign));
    else if ((Attr.Style.Has(afsIsInsertpoint) || Attr.Style.Has(afsAutomatic)) && (Attr.Tag & 0xFFFF)) {
        const int32_t id =
            CopyListItem(InsertpointList(), source->InsertpointList(), int32_t(Attr.Tag & 0xFFFF), Copy.Foreign);
        Attr.Tag = (Attr.Tag & 0xFFFF0000u) | uint32_t(id & 0xFFFF);
    }
}

// Every property of From into the new record Par, which keeps its own links and store fields; tabs,
// attributes and the cell's table mapped.
void TRtRTFTextIo::TakeParProperties(TParagraph* Par, const TParagraph* From, TChainCopy& Copy)
{
    TParagraph* next = Par->Next;
    TParagraph* prior = Par->Prior;
    TLine* lines = Par->Lines;
    const uint32_t serial = Par->Serial;
    const int32_t index = Par->Index;
    FreeParExtras(Par);
    *Par = *From;
    Par->Next = next;
    Par->Prior = prior;
    Par->Lines = lines;
    Par->Serial = serial;
    Par->Index = index;
    Par->Objects = nullptr;
    Par->Owner = nullptr;
    Par->Cell = nullptr;
    Par->Flags &= ~parfMarked;
    uint64_t tabs = 0;
    for (int i = 0; i < 64; ++i)
        if (From->Tabs & (uint64_t(1) << i))
            tabs |= uint64_t(1) << tabMap_[size_t(i)];
    Par->Tabs = tabs;
    if (Copy.Foreign && Par->Number != 0) {
        const int32_t number = CopyNumberingStyle(Par->Number, Copy);
        Par->Number = int16_t(number <= INT16_MAX ? number : 0);
    }
    MapCopiedAttr(Par->ParAttr, Copy);
    if (!From->Cell)
        return;
    Par->Cell = new TRtCell(*From->Cell);
    if (Copy.Foreign && Par->Cell->TableId > 0)
        Par->Cell->TableId = CopyTable(Par->Cell->TableId, Copy);
}

namespace {

int32_t TextWidthTw(TRtRTFText* Text)
{
    const TTextHeader* h = Text->Header();
    return h->PageWidth() - h->LeftMargin() - h->RightMargin();
}

// True when Own has a style equal to Theirs under the same number.
bool HasSameNumbering(TRtRTFNumberingStyleCollection* Own, const TRtRTFNumberingStyle& Theirs)
{
    const TRtRTFNumberingStyle* own = Own->FindStyle(Theirs.Number, 0);
    return own && own->Number == Theirs.Number
           && own->Matches(Theirs.Style, Theirs.TextB, Theirs.LevelInGroup, Theirs.Group, Theirs.UsePrev, Theirs.Size,
                           Theirs.Indent, Theirs.Font, Theirs.TextA);
}

}  // namespace

// The id here of the table Id of the copy's source. The table keeps its width and left offset in
// twips within this text's width: its margins are measured from the source's page, whose text
// width may differ (a pasted document's page).
int32_t TRtRTFTextIo::CopyTable(int32_t Id, TChainCopy& Copy)
{
    if (auto it = Copy.TableIds.find(Id); it != Copy.TableIds.end())
        return it->second;
    auto* item = static_cast<TRtTableItem*>(Copy.Source->TableList()->FindItem(Id));
    const int32_t id = item ? TableList()->AddCopy(item) : 0;
    Copy.TableIds.emplace(Id, id);
    TRtTableItem* table = id ? TableList()->GetTable(id) : nullptr;
    if (!table)
        return id;
    const int32_t theirs = TextWidthTw(Copy.Source), own = TextWidthTw(this);
    int32_t width = theirs - item->Left - item->Right;
    if (theirs == own || width <= 0 || own <= 0)
        return id;
    int32_t left = std::max(0, item->Left);
    if (width >= own) {
        width = own;
        left = 0;
    } else if (left + width > own)
        left = own - width;
    table->Left = left;
    table->Right = own - left - width;
    return id;
}

// The number here of the numbering style Number of the copy's source: the same number where this
// text has an equal style under it; else an equal plain style, found or added; a style of a
// list group brings its whole group along as a group of its own, so that each list keeps
// counting on its own.
int32_t TRtRTFTextIo::CopyNumberingStyle(int32_t Number, TChainCopy& Copy)
{
    if (auto it = Copy.Numbers.find(Number); it != Copy.Numbers.end())
        return it->second;
    TRtRTFNumberingStyleCollection* own = NumberingStyles();
    const TRtRTFNumberingStyle* st = Number > 0 ? Copy.Source->NumberingStyles()->FindStyle(Number, 0) : nullptr;
    int32_t mapped = Number;
    if (st && st->Group >= 1) {
        CopyNumberingGroup(st->Group, Copy);
        mapped = Copy.Numbers[Number];
    } else if (st && !HasSameNumbering(own, *st)) {
        const int32_t count = own->Count();
        mapped = own->FindOrAddStyle(st->Style, st->TextB, st->LevelInGroup, 0, st->UsePrev, st->Size, st->Indent,
                                     st->Font, st->TextA);
        if (own->Count() > count) {
            TRtRTFNumberingStyle* added = own->GetItem(count);
            added->IndentLeft = st->IndentLeft;
            added->IndentFirst = st->IndentFirst;
        }
    }
    Copy.Numbers[Number] = mapped;
    return mapped;
}

void TRtRTFTextIo::CopyNumberingGroup(int32_t Group, TChainCopy& Copy)
{
    if (!Copy.Groups.insert(Group).second)
        return;
    TRtRTFNumberingStyleCollection* theirs = Copy.Source->NumberingStyles();
    TRtRTFNumberingStyleCollection* own = NumberingStyles();
    bool same = true;
    int32_t newGroup = 1;
    for (int32_t i = 0; i < theirs->Count(); ++i)
        if (theirs->GetItem(i)->Group == Group)
            same = same && HasSameNumbering(own, *theirs->GetItem(i));
    for (int32_t i = 0; i < own->Count(); ++i)
        newGroup = std::max(newGroup, own->GetItem(i)->Group + 1);
    for (int32_t i = 0; i < theirs->Count(); ++i) {
        const TRtRTFNumberingStyle* from = theirs->GetItem(i);
        if (from->Group != Group)
            continue;
        int32_t number = from->Number;
        if (!same) {
            TRtRTFNumberingStyle* to = own->Add();
            number = to->Number;
            to->Assign(*from);
            to->Number = number;
            to->Group = newGroup;
            to->IndentLeft = from->IndentLeft;
            to->IndentFirst = from->IndentFirst;
        }
        Copy.Numbers[from->Number] = number;
    }
}

// The lines of From into Par; the first reuses Par's own line.
void TRtRTFTextIo::CopyParLines(TParagraph* Par, const TParagraph* From, TChainCopy& Copy)
{
    TLine* dst = Par->Lines;
    bool firstLine = true;
    for (TLine* l = From->Lines; l; l = l->Next) {
        if (!firstLine)
            InsertLine(dst, l->Length);
        else if (dst->Capacity <= l->Length)
            ResizeLine(dst, l->Length + 1);
        firstLine = false;
        std::memcpy(dst->Chars, l->Chars, l->Length);
        dst->Chars[l->Length] = 0;
        dst->Length = l->Length;
        dst->Flags = uint16_t(l->Flags & ~(linfSelected | linfSelBoundary));
        if (l->Attrs) {
            if (!dst->Attrs || dst->Capacity < l->Length + 1)
                AllocLineAttrs(dst, dst->Capacity);
            if (dst->Attrs)
                for (int32_t i = 0; i <= l->Length; ++i) {
                    dst->Attrs[i] = l->Attrs[i];
                    MapCopiedAttr(dst->Attrs[i], Copy);
                }
        }
    }
}

TParagraph* TRtRTFTextIo::DuplicateChain(TParagraph* First, TParagraph* Last, TRtRTFText* Source)
{
    TChainCopy copy;
    copy.Source = Source;
    copy.Foreign = Source && Source != this;
    TParagraph* head = nullptr;
    TParagraph* tail = nullptr;
    for (TParagraph* p = First; p; p = p->Next) {
        TParagraph* q = tail;
        InsertPar(q, 8);
        if (!head) {
            head = q;
            q->Prior = nullptr;
        }
        TakeParProperties(q, p, copy);
        CopyParLines(q, p, copy);
        tail = q;
        if (p == Last)
            break;
    }
    return head;
}

void TRtRTFTextIo::CopyParagraphsFrom(TParagraph* SourceFirstPar, TParagraph* Start, TRtRTFText* Source)
{
    if (!SourceFirstPar)
        return;
    if (Source && Source != this)
        PrepareCopyMaps(Source);
    else
        PrepareCopyMaps(nullptr);
    TParagraph* chain = DuplicateChain(SourceFirstPar, nullptr, Source ? Source : this);
    if (!chain)
        return;
    TParagraph* chainLast = chain;
    while (chainLast->Next)
        chainLast = chainLast->Next;
    TParagraph* before = Start ? Start->Prior : nullptr;
    if (!Start) {
        before = FirstPar;
        while (before && before->Next)
            before = before->Next;
    }
    chain->Prior = before;
    chainLast->Next = Start;
    if (before)
        before->Next = chain;
    else
        FirstPar = chain;
    if (Start)
        Start->Prior = chainLast;
    RenumberFrom(FirstPar);
}

void TRtRTFTextIo::TakeChainCopy(TParagraph* First, TRtRTFText* Source)
{
    TParagraph* old = FirstPar;
    FirstPar = First ? DuplicateChain(First, nullptr, Source) : nullptr;
    if (FirstPar)
        FreeParChain(old);
    else
        FirstPar = old;
    for (TParagraph* p = FirstPar; p; p = p->Next)
        p->Owner = nullptr;
    RenumberFrom(FirstPar);
    CursorPar = FirstPar;
    CursorLine = FirstPar->Lines;
    CursorPos = 0;
    UpdateAfterChange(true);
}

void TRtRTFTextIo::Assign(TRtRTFTextIo& Source)
{
    Clear();
    ClearHeaderFooters();
    Header()->Assign(*Source.Header());
    PrepareCopyMaps(nullptr);
    TRtRTFNumberingStyleCollection* styles = NumberingStyles();
    styles->Clear();
    for (int32_t i = 0; i < Source.NumberingStyles()->Count(); ++i) {
        const TRtRTFNumberingStyle* from = Source.NumberingStyles()->GetItem(i);
        TRtRTFNumberingStyle* to = styles->Add();
        to->Assign(*from);
        to->IndentLeft = from->IndentLeft;
        to->IndentFirst = from->IndentFirst;
    }
    for (int32_t i = 0; i < Source.HeaderFooterCount(); ++i) {
        TRtSpecialTextProperty* from = Source.GetHeaderFooter(i);
        TRtSpecialTextProperty* to = HeaderFooters()->Add();
        to->Name = from->Name;
        to->Kind = from->Kind;
        to->Range = from->Range;
        if (from->Paragraphs()) {
            TParagraph* chain = DuplicateChain(from->Paragraphs(), nullptr, &Source);
            for (TParagraph* p = chain; p; p = p->Next)
                p->Owner = to;
            to->SetParagraphs(chain);
        }
    }
    TakeChainCopy(Source.FirstPar, &Source);
}

void TRtRTFTextIo::Assign(TRtSpecialTextProperty& Item)
{
    Clear();
    TRtRTFText* source = Item.Owner();
    if (source)
        Header()->Assign(*source->Header());
    PrepareCopyMaps(nullptr);
    TakeChainCopy(Item.Paragraphs(), source);
}

// ---- header and footer texts as RTF ------------------------------------------------------------

// ---- TRtRtfStrings ------------------------------------------------------------------------------

int32_t TRtRtfStrings::Count() const { return Text->CountPars(); }

AnsiString TRtRtfStrings::Get(int32_t Index) const
{
    const int32_t n = Text->GetParLengthByIndex(Index);
    if (n <= 0)
        return AnsiString();
    std::vector<char> buf(size_t(n) + 2);
    const int32_t got = Text->GetParText(Index, buf.data(), n + 2);
    return AnsiString(buf.data(), size_t(std::clamp(got, 0, n)));
}

void TRtRtfStrings::Put(int32_t Index, const AnsiString& S)
{
    Text->InsertParText(Index, reinterpret_cast<const uint8_t*>(S.data()), &Text->CurrentAttr, int32_t(S.size()));
    Text->DeleteParIndex(Index + 1);
}

void TRtRtfStrings::Insert(int32_t Index, const AnsiString& S)
{
    const auto* chars = reinterpret_cast<const uint8_t*>(S.data());
    const int32_t count = Count();
    if (Index < count) {
        Text->InsertParText(Index, chars, &Text->CurrentAttr, int32_t(S.size()));
        return;
    }
    // At the end: a new last paragraph, or the first one of an empty text.
    if (!Text->IsEmpty()) {
        TParagraph* last = Text->GetParByIndex(count - 1);
        Text->InsertPar(last, int32_t(S.size()) + 4);
    }
    Text->AddParText(Text->IsEmpty() ? 0 : count, chars, &Text->CurrentAttr, int32_t(S.size()));
}

void TRtRtfStrings::Delete(int32_t Index) { Text->DeleteParIndex(Index); }

void TRtRtfStrings::Clear() { Text->Clear(); }

void TRtRtfStrings::SetUpdateState(bool Updating)
{
    if (!Updating)
        Text->Refresh();
}

void TRtRtfStrings::LoadFromStream(TStream* Stream)
{
    const AnsiString old = Text->TextLoadFormat;
    Text->TextLoadFormat = "AUTO";
    auto restore = OnExit([&] { Text->TextLoadFormat = old; });
    Text->Clear();
    Text->LoadFromStream(Stream, "AUTO");
}

void TRtRtfStrings::SaveToStream(TStream* Stream)
{
    Text->WriteWithFormat(RtDefaultReaderWriter.TextWriter, Text->FirstPar, nullptr, Stream);
}
