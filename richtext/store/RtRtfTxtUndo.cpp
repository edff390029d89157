#include "RtStoreUndo.h"

#include "RtHeaderFooter.h"
#include "RtObject.h"
#include "RtPlatform.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace {

// Steps merge into an earlier whole-text snapshot within this time.
constexpr uint32_t SnapshotMergeMs = 500;

TObject* UndoSourceOf(TRtRTFText* Text) { return Text->OwnerComponent ? Text->OwnerComponent : Text; }

// The offset of (Line, Pos) within Par: the lengths of the lines before Line plus Pos.
int32_t OffsetInPar(const TParagraph* Par, const TLine* Line, int32_t Pos)
{
    int32_t n = 0;
    for (const TLine* l = Par ? Par->Lines : nullptr; l && l != Line; l = l->Next)
        n += l->Length;
    return n + Pos;
}

// A chain of the text with what makes it the same text after a step: the body, or a header or
// footer item by its id or, where the step made the items anew (a whole-text snapshot read
// back), by its kind, range and name and how many items alike come before it.
struct TTextChain {
    TParagraph* Head = nullptr;
    uint32_t Id = 0;  // 0 for the body
    TRtPagePropertyKind Kind = rtIsHeader;
    TRtPagePropertyRange Range = rtraIgnored;
    AnsiString Name;
    int32_t Alike = 0;
    bool AlikeTo(const TTextChain& Other) const
    {
        return Kind == Other.Kind && Range == Other.Range && Name == Other.Name;
    }
    bool SameItemAs(const TTextChain& Other) const { return AlikeTo(Other) && Alike == Other.Alike; }
};

// The text's chains: the body's, then each header and footer text's.
std::vector<TTextChain> TextChains(TRtRTFText& Text)
{
    const uint32_t edited = Text.EditedHeaderFooterId();
    std::vector<TTextChain> chains(1);
    chains[0].Head = edited == 0 ? Text.FirstPar
        : Text.EditedSpecialText ? Text.EditedSpecialText->SavedFirstPar()
                                 : Text.BodyFirstPar;
    for (int32_t i = 0; i < Text.HeaderFooterCount(); ++i) {
        const TRtSpecialTextProperty* item = Text.GetHeaderFooter(i);
        TTextChain chain{item->Id() == edited ? Text.FirstPar : item->Paragraphs(), item->Id(), item->Kind,
                         item->Range, item->Name, 0};
        for (size_t c = 1; c < chains.size(); ++c)
            chain.Alike += chains[c].AlikeTo(chain);
        chains.push_back(std::move(chain));
    }
    return chains;
}

std::vector<TParagraph*> Heads(const std::vector<TTextChain>& Chains)
{
    std::vector<TParagraph*> heads;
    for (const TTextChain& c : Chains)
        heads.push_back(c.Head);
    return heads;
}

// For each chain Was, the index of the chain Now that continues it (the body the body, an item
// itself, else one made anew in its place); -1 for one that went.
std::vector<int32_t> ContinuedChains(const std::vector<TTextChain>& Was, const std::vector<TTextChain>& Now)
{
    std::vector<int32_t> to(Was.size(), -1);
    std::vector<bool> taken(Now.size(), false);
    auto match = [&](const auto& Same) {
        for (size_t c = 1; c < Was.size(); ++c)
            for (size_t n = 1; n < Now.size() && to[c] < 0; ++n)
                if (!taken[n] && Same(Was[c], Now[n])) {
                    to[c] = int32_t(n);
                    taken[n] = true;
                }
    };
    if (!Was.empty() && !Now.empty())
        to[0] = 0;
    match([](const TTextChain& A, const TTextChain& B) { return A.Id == B.Id; });
    match([](const TTextChain& A, const TTextChain& B) { return A.SameItemAs(B); });
    return to;
}

// The heads of the chains Now in the order of the chains Was that they continue; nil for one that went.
std::vector<TParagraph*> HeadsAsBefore(const std::vector<TTextChain>& Was, const std::vector<TTextChain>& Now)
{
    std::vector<TParagraph*> heads;
    for (const int32_t n : ContinuedChains(Was, Now))
        heads.push_back(n >= 0 ? Now[size_t(n)].Head : nullptr);
    return heads;
}

// Header and footer items read back in the place of those Was (a whole-text snapshot) keep their ids.
void KeepItemIds(TRtRTFText& Text, const std::vector<TTextChain>& Was)
{
    const std::vector<int32_t> to = ContinuedChains(Was, TextChains(Text));
    for (size_t c = 1; c < Was.size(); ++c)
        if (to[c] > 0)
            Text.GetHeaderFooter(to[c] - 1)->TakeIdOf(Was[c].Id);
}

// The property fields that the single-group kinds save and restore.
uint32_t RestoredProps(uint8_t Kind)
{
    constexpr auto bit = [](TParPropIndex I) { return 1u << I; };
    switch (Kind) {
    case ukIndents: return bit(ppiIndentLeft) | bit(ppiIndentRight) | bit(ppiIndentFirst);
    case ukSpacing: return bit(ppiSpaceBefore) | bit(ppiSpaceBetween) | bit(ppiSpaceAfter);
    case ukAlign: return bit(ppiAlign);
    case ukBorders: return bit(ppiBrdLines) | bit(ppiBrdWidth) | bit(ppiBrdColor) | bit(ppiBrdSpace);
    case ukTabs: return bit(ppiTabs);
    default: return 0;
    }
}

} // namespace

// ---- TRtStoreUndoObject ---------------------------------------------------------------------------

TRtStoreUndoObject::TRtStoreUndoObject(TRtRTFText* Text) : Text(Text)
{
    Source = UndoSourceOf(Text);
    Created = RtPlatform().TickCount();
}

TRtStoreUndoObject::~TRtStoreUndoObject() { FreeSavedPar(); }

void TRtStoreUndoObject::GetKindName(AnsiString& Name) { Name = GetUndoKindText(Level); }

void TRtStoreUndoObject::FreeSavedPar()
{
    if (!SavedPar)
        return;
    Text->ReleaseChainObjects(SavedPar->Lines);
    Text->FreeParChain(SavedPar);
    SavedPar = nullptr;
}

TParagraph* TRtStoreUndoObject::CopyPar(TParagraph* Par)
{
    // Every character in one line; a paragraph longer than a line can hold
    // goes on in further lines.
    constexpr int32_t chunk = RtMaxLineCapacity - 1;
    int32_t total = 0;
    bool rich = false;
    for (const TLine* l = Par->Lines; l; l = l->Next) {
        for (int32_t i = 0; i < l->Length; ++i)
            total += l->Chars[i] != 0;
        rich = rich || l->Attrs;
    }
    auto* copy = new TParagraph(*Par);
    copy->Next = copy->Prior = nullptr;
    copy->Lines = nullptr;
    copy->Objects = nullptr;
    copy->Cell = Par->Cell ? new TRtCell(*Par->Cell) : nullptr;
    TLine* line = nullptr;
    TAttr last = Par->ParAttr;
    auto newLine = [&](int32_t count) {
        TLine* l = TRtRTFText::NewLineRecord();
        Text->AllocLineText(l, count + 1);
        if (rich)
            Text->AllocLineAttrs(l, count + 1);
        if (line) {
            line->Next = l;
            l->Prior = line;
        } else {
            copy->Lines = l;
        }
        line = l;
    };
    newLine(std::min(total, chunk));
    int32_t left = total;
    for (const TLine* l = Par->Lines; l; l = l->Next)
        for (int32_t i = 0; i < l->Length; ++i) {
            if (l->Chars[i] == 0)
                continue;
            if (line->Length >= chunk) {
                left -= line->Length;
                newLine(std::min(left, chunk));
            }
            const int32_t n = line->Length;
            line->Chars[n] = l->Chars[i];
            if (line->Attrs) {
                TAttr a = l->Attrs ? l->Attrs[i] : Text->CurrentAttr;
                a.Style.Exclude(afsDelete);
                line->Attrs[n] = a;
                last = a;
            }
            line->Length = uint16_t(n + 1);
        }
    for (TLine* l = copy->Lines; l; l = l->Next) {
        l->Chars[l->Length] = 0;
        if (l->Attrs)
            l->Attrs[l->Length] = l->Length > 0 ? l->Attrs[l->Length - 1] : last;
    }
    Text->AddRefChainObjects(copy->Lines);
    return copy;
}

void TRtStoreUndoObject::SaveParData(TParagraph* Par)
{
    Props = *Par;
    Props.Next = Props.Prior = nullptr;
    Props.Lines = nullptr;
    Props.Objects = nullptr;
    Props.Cell = nullptr;
    if (Par->Cell)
        SavedCell = *Par->Cell;
    switch (UndoKind) {
    case ukParagraph:
    case ukLines:
        SavedPar = CopyPar(Par);
        break;
    case ukDeleted:
        PrevIndex = Par->Prior ? ParIndex - 1 : -1;
        SavedPar = CopyPar(Par);
        break;
    case ukTableCell:
        if (SavedCell && SavedCell->TableId > 0) {
            TRtTableList* tables = Text->TableList();
            TableLeft = tables->GetTableLeft(SavedCell->TableId);
            TableRight = tables->GetTableRight(SavedCell->TableId);
            TableValue3 = tables->GetTableValue3(SavedCell->TableId);
        }
        break;
    case ukSnapshot:
        Text->SaveSnapshot(GetStream());
        break;
    case ukPage: {
        TTextHeader* h = Text->Header();
        SavedPage = {h->PageWidth(), h->PageHeight(), h->LeftMargin(), h->RightMargin(),   h->TopMargin(),
                     h->BottomMargin(), h->MarginHeader(), h->MarginFooter(), h->Landscape(), h->MarginMirror()};
        break;
    }
    case ukAttr:
        SavedAttr = Text->CurrentAttr;
        break;
    default:
        break;
    }
}

void TRtStoreUndoObject::SaveObjectData(TTextObj* Ref)
{
    if (Ref)
        SavedRef = *Ref;
    if (UndoKind == ukObjectData)
        if (auto* obj = dynamic_cast<TRtObject*>(Object))
            obj->WriteToStream(GetStream());
}

void TRtStoreUndoObject::RestoreLines(TParagraph* Par, bool WithProps)
{
    if (!SavedPar)
        return;
    Text->ReleaseChainObjects(Par->Lines);
    TRtRTFText::FreeLines(Par->Lines);
    Par->Lines = nullptr;
    if (WithProps) {
        TParagraph keep = *Par;
        *Par = *SavedPar;
        Par->Next = keep.Next;
        Par->Prior = keep.Prior;
        Par->Objects = keep.Objects;
        Par->Serial = keep.Serial;
        Par->Index = keep.Index;
        Par->Cell = keep.Cell;
        Par->Owner = keep.Owner;
        if (SavedPar->Cell) {
            if (!Par->Cell)
                Par->Cell = new TRtCell;
            *Par->Cell = *SavedPar->Cell;
        } else if (Par->Cell) {
            Text->FreeParCell(Par);
        }
    }
    // The copy's lines and the object references they hold move into the paragraph.
    Par->Lines = SavedPar->Lines;
    SavedPar->Lines = nullptr;
    if (!Par->Lines) {
        TLine* line = nullptr;
        Text->InsertLine(line, 8);
        Par->Lines = line;
    }
    // Kept at the paragraph's start until the step is done and puts each on its character.
    Text->Positions().ParagraphGoes(Par, Par);
    Par->Flags |= parfReformat;
    FreeSavedPar();
}

void TRtStoreUndoObject::Apply()
{
    TRtRTFText* text = Text;
    const bool wasApplying = text->UndoApplying;
    text->UndoApplying = true;
    struct TRestore {
        TRtRTFText* T;
        bool Old;
        ~TRestore() { T->UndoApplying = Old; }
    } restore{text, wasApplying};

    // A step of a header or footer text that is no more changes nothing (not the text in its place).
    if (HeaderFooterId != text->EditedHeaderFooterId() && !text->SelectHeaderFooterById(HeaderFooterId))
        return;
    // The cursor and the selection may point into paragraphs that go away.
    text->SelStartPar = text->SelEndPar = nullptr;
    text->SelStartLine = text->SelEndLine = nullptr;
    text->CursorPar = text->FirstPar;
    text->CursorLine = text->FirstPar ? text->FirstPar->Lines : nullptr;
    text->CursorPos = 0;

    TParagraph* par = text->GetParByIndex(ParIndex);
    const bool needsPar = UndoKind >= ukParagraph && UndoKind <= ukTableCell && UndoKind != ukDeleted;
    if (needsPar && !par)
        return;
    if (UndoKind == ukDeleted && PrevIndex >= 0 && !text->GetParByIndex(PrevIndex))
        return;
    if (Stack && text->EditOptions.Has(rtActivateRedo))
        RecordOppositeStep(par);

    switch (UndoKind) {
    case ukParagraph:
        RestoreLines(par, true);
        break;
    case ukLines:
        RestoreLines(par, false);
        break;
    case ukIndents:
    case ukSpacing:
    case ukAlign:
    case ukBorders:
    case ukTabs: {
        // Borders change the layout only through their distance to the text.
        const bool reformat = UndoKind != ukBorders || par->BrdSpace != Props.BrdSpace;
        CopyParProps(*par, 0, Props, false, RestoredProps(UndoKind));
        if (reformat)
            par->Flags |= parfReformat;
        break;
    }
    case ukStyle:
        par->StyleFields = Props.StyleFields;
        break;
    case ukInserted:
        RemoveInsertedPar(par);
        break;
    case ukDeleted:
        InsertDeletedPar();
        break;
    case ukProperties:
    case ukCell:
    case ukTableCell:
        RestoreParAndCell(par);
        break;
    case ukSnapshot:
        if (HasStream()) {
            const std::vector<TTextChain> was = TextChains(*text);
            GetStream()->SetPosition(0);
            text->LoadSnapshot(GetStream());
            KeepItemIds(*text, was);
        }
        break;
    case ukObjectSize:
    case ukObjectRef:
        RestoreObjectRef();
        break;
    case ukObjectData:
        if (auto* obj = dynamic_cast<TRtObject*>(Object); obj && HasStream()) {
            GetStream()->SetPosition(0);
            obj->ReadFromStream(GetStream());
            obj->Changed();
        }
        break;
    case ukPage:
        RestorePageSetup();
        break;
    case ukAttr:
        text->CurrentAttr = SavedAttr;
        break;
    default:
        break;
    }
    text->InvalidatePageCount();
    text->PendingReformat = true;
    RestoreCursorAndSelection();
}

// Records the opposite step for redo: an inserted paragraph is undone by deleting
// it, so its redo step is a deletion, and the other way round.
void TRtStoreUndoObject::RecordOppositeStep(TParagraph* Par)
{
    TRtRTFText* text = Text;
    const bool toRedo = Stack->Undoing();
    auto redo = std::make_unique<TRtStoreUndoObject>(text);
    redo->HeaderFooterId = HeaderFooterId;
    redo->Level = Level;
    redo->CursorParIndex = CursorParIndex;
    redo->CursorOffset = CursorOffset;
    redo->SelStartParIndex = SelStartParIndex;
    redo->SelStartOffset = SelStartOffset;
    redo->SelEndParIndex = SelEndParIndex;
    redo->SelEndOffset = SelEndOffset;
    redo->Object = Object;
    if (UndoKind == ukInserted) {
        redo->UndoKind = ukDeleted;
        redo->ParIndex = ParIndex;
        redo->SaveParData(Par);
    } else if (UndoKind == ukDeleted) {
        redo->UndoKind = ukInserted;
        redo->ParIndex = PrevIndex + 1;
    } else if (UndoKind >= ukObjectSize && UndoKind <= ukObjectData) {
        redo->UndoKind = UndoKind;
        TRtObjReferenceList* refs = text->ObjRefList();
        redo->SaveObjectData(refs->FindObject(Object));
    } else {
        redo->UndoKind = UndoKind;
        redo->ParIndex = ParIndex;
        if (Par || UndoKind == ukSnapshot || UndoKind >= ukPage)
            redo->SaveParData(Par ? Par : text->FirstPar);
    }
    Stack->AddUndoObject(toRedo, std::move(redo));
}

// Undoes an insertion; the text's only paragraph is emptied instead.
void TRtStoreUndoObject::RemoveInsertedPar(TParagraph* Par)
{
    TRtRTFText* text = Text;
    if (!Par->Prior && !Par->Next) {
        text->EmptyParLines(Par);
        Par->Flags = parfReformat;
        Par->BrdLines = 0;
    } else {
        text->ReleaseParRefs(Par);
        TParagraph* p = Par;
        text->DeletePar(p);
        text->RenumberFrom(text->FirstPar);
    }
}

// Undoes a deletion: the saved paragraph goes back after the one at PrevIndex.
void TRtStoreUndoObject::InsertDeletedPar()
{
    TRtRTFText* text = Text;
    TParagraph* prev = PrevIndex >= 0 ? text->GetParByIndex(PrevIndex) : nullptr;
    TParagraph* p = prev;
    text->InsertPar(p, 8);
    if (!prev) {
        // InsertPar leaves a paragraph without predecessor unlinked: it becomes the first.
        if (p != text->FirstPar) {
            p->Next = text->FirstPar;
            if (p->Next)
                p->Next->Prior = p;
            text->FirstPar = p;
        }
    }
    text->RenumberFrom(text->FirstPar);
    RestoreLines(p, true);
}

// The paragraph's saved properties (ukProperties), its cell and its table's extent.
void TRtStoreUndoObject::RestoreParAndCell(TParagraph* Par)
{
    TRtRTFText* text = Text;
    if (UndoKind == ukProperties) {
        const TParagraph keep = *Par;
        CopyParProps(*Par, 0, Props, true, 0xFFFFF);
        // Numbering as saved: the property copy drops a number without a level.
        Par->Number = Props.Number;
        Par->NumLevel = Props.NumLevel;
        Par->StyleFields = Props.StyleFields;
        Par->NumberExtra = Props.NumberExtra;
        Par->Flags = Props.Flags;
        Par->Lines = keep.Lines;
    }
    if (SavedCell) {
        if (!Par->Cell)
            Par->Cell = new TRtCell;
        *Par->Cell = *SavedCell;
    } else if (UndoKind == ukProperties && Par->Cell) {
        text->FreeParCell(Par);
    }
    if (UndoKind == ukTableCell && SavedCell && SavedCell->TableId > 0) {
        TRtTableList* tables = text->TableList();
        tables->SetTableLeft(SavedCell->TableId, TableLeft);
        tables->SetTableRight(SavedCell->TableId, TableRight);
        tables->SetTableValue3(SavedCell->TableId, TableValue3);
    }
    if (UndoKind != ukTableCell)
        Par->Flags |= parfReformat;
}

// The object reference's saved size (ukObjectSize) or its whole placement (ukObjectRef).
void TRtStoreUndoObject::RestoreObjectRef()
{
    TRtRTFText* text = Text;
    TTextObj* ref = text->ObjRefList()->FindObject(Object);
    if (!ref)
        return;
    if (UndoKind == ukObjectRef) {
        ref->Kind = SavedRef.Kind;
        ref->Tag = SavedRef.Tag;
        ref->LayoutByte = SavedRef.LayoutByte;
        ref->WrapMode = SavedRef.WrapMode;
        ref->X = SavedRef.X;
        ref->Y = SavedRef.Y;
    }
    text->ResizeObject(ref, SavedRef.Width, SavedRef.Height);
}

void TRtStoreUndoObject::RestorePageSetup()
{
    TTextHeader* h = Text->Header();
    h->BeginUpdate();
    h->SetLandscape(SavedPage.Landscape);
    h->SetPageWidth(SavedPage.Width);
    h->SetPageHeight(SavedPage.Height);
    h->SetLeftMargin(SavedPage.Left);
    h->SetRightMargin(SavedPage.Right);
    h->SetTopMargin(SavedPage.Top);
    h->SetBottomMargin(SavedPage.Bottom);
    h->SetMarginHeader(SavedPage.Header);
    h->SetMarginFooter(SavedPage.Footer);
    h->SetMarginMirror(SavedPage.Mirror);
    h->EndUpdate();
}

// The cursor and the selection return to where they were when the step was recorded.
void TRtStoreUndoObject::RestoreCursorAndSelection()
{
    TRtRTFText* text = Text;
    TParagraph* cur = text->GetParByIndex(CursorParIndex);
    if (!cur) {
        cur = text->FirstPar;
        while (cur && cur->Next)
            cur = cur->Next;
    }
    if (cur) {
        int32_t pos = std::clamp(CursorOffset, 0, TRtRTFText::GetParLength(cur));
        text->CursorLine = TRtRTFText::LineAtParPos(cur, pos);
        text->CursorPar = cur;
        text->CursorPos = pos;
    }
    TParagraph* selStart = SelStartParIndex >= 0 ? text->GetParByIndex(SelStartParIndex) : nullptr;
    TParagraph* selEnd = SelEndParIndex >= 0 ? text->GetParByIndex(SelEndParIndex) : nullptr;
    if (selStart && selEnd) {
        int32_t from = std::clamp(SelStartOffset, 0, TRtRTFText::GetParLength(selStart));
        int32_t to = std::clamp(SelEndOffset, 0, TRtRTFText::GetParLength(selEnd));
        text->SelStartLine = TRtRTFText::LineAtParPos(selStart, from);
        text->SelEndLine = TRtRTFText::LineAtParPos(selEnd, to);
        text->SelStartPar = selStart;
        text->SelStartPos = from;
        text->SelEndPar = selEnd;
        text->SelEndPos = to;
        text->SelReversed = false;
    }
}

void TRtStoreUndoObject::SaveSelection()
{
    const TRtRTFText& t = *Text;
    if (!t.SelStartPar || !t.SelEndPar || !t.SelStartLine || !t.SelEndLine)
        return;
    int32_t startPar = t.CountParsTo(t.FirstPar, t.SelStartPar) - 1;
    int32_t endPar = t.CountParsTo(t.FirstPar, t.SelEndPar) - 1;
    int32_t start = OffsetInPar(t.SelStartPar, t.SelStartLine, t.SelStartPos);
    int32_t end = OffsetInPar(t.SelEndPar, t.SelEndLine, t.SelEndPos);
    if (endPar < startPar || (endPar == startPar && end < start)) {
        std::swap(startPar, endPar);
        std::swap(start, end);
    }
    if (startPar == endPar && start == end)
        return;
    SelStartParIndex = startPar;
    SelStartOffset = start;
    SelEndParIndex = endPar;
    SelEndOffset = end;
}

// ---- recording -------------------------------------------------------------------------------

TRtUndoStack* TRtRTFText::GetUndoStack()
{
    if (UndoStack)
        return UndoStack;
    OwnUndoStack = std::make_unique<TRtUndoStack>();
    UndoStack = OwnUndoStack.get();
    UndoStack->SetMaxCount(UndoMaxCount);
    LinkUndoStack(UndoStack);
    UndoStack->OnChange = [this](TObject*) {
        if (OnChangeUndoStack)
            OnChangeUndoStack(this);
    };
    return UndoStack;
}

void TRtRTFText::LinkUndoStack(TRtUndoStack* Stack)
{
    if (!Stack->OnTakeSnapshot) {
        Stack->OnTakeSnapshot = [this](TRtUndoStack*, TObject*, TRtUndoObject*& Obj) { Obj = CreateUndoObject(); };
        SnapshotStack = Stack;
    }
    TRtUndoManagerLink* link = Stack->AddManagerLink(UndoSourceOf(this));
    // The positions kept with the text leave a step's records alone: they go back to their
    // characters once the whole step is applied, as after an edit.
    struct TKept {
        std::vector<TTextChain> Chains;
        TRtLivePositions::TChainOffsets Offsets;
    };
    auto kept = std::make_shared<TKept>();
    link->BeforeApply = [this, kept](TRtUndoStack*, TObject*) {
        UndoClearSelection();
        kept->Chains = TextChains(*this);
        kept->Offsets = Positions().ChainOffsetsIn(Heads(kept->Chains));
    };
    link->AfterApply = [this, kept](TRtUndoStack*, TObject*) {
        Positions().PlaceInChains(HeadsAsBefore(kept->Chains, TextChains(*this)), kept->Offsets,
                                  {&CursorPar, &SelStartPar, &SelEndPar});
        *kept = {};
        UndoFinish();
    };
}

void TRtRTFText::SetUndoStack(TRtUndoStack* Stack)
{
    if (Stack == UndoStack)
        return;
    // A stack of another's keeps no step that points into this text.
    if (UndoStack && UndoStack != OwnUndoStack.get()) {
        UndoStack->RemoveObjectsOf(UndoSourceOf(this));
        UndoStack->RemoveManagerLink(UndoSourceOf(this));
        if (SnapshotStack == UndoStack) {
            UndoStack->OnTakeSnapshot = nullptr;
            SnapshotStack = nullptr;
        }
    }
    UndoStack = Stack;
    if (Stack && Stack != OwnUndoStack.get())
        LinkUndoStack(Stack);
    else if (!Stack)
        UndoStack = OwnUndoStack.get();
}

TRtUndoObject* TRtRTFText::CreateUndoObject()
{
    auto* obj = new TRtStoreUndoObject(this);
    obj->UndoKind = ukSnapshot;
    obj->HeaderFooterId = EditedHeaderFooterId();
    obj->CursorParIndex = CursorPar ? (CountParsTo(FirstPar, CursorPar) - 1) : 0;
    obj->CursorOffset = CursorPar ? OffsetInPar(CursorPar, CursorLine, CursorPos) : 0;
    obj->SaveParData(FirstPar);
    return obj;
}

void TRtRTFText::UndoClearSelection()
{
    for (TParagraph* p = FirstPar; p; p = p->Next) {
        p->Flags &= ~parfMarked;
        for (TLine* l = p->Lines; l; l = l->Next)
            l->Flags &= uint16_t(~(linfSelected | linfSelBoundary));
    }
    SelStartPar = SelEndPar = nullptr;
    SelStartLine = SelEndLine = nullptr;
    SelStartPos = SelEndPos = 0;
}

void TRtRTFText::UndoFinish()
{
    if (PendingReformat) {
        PendingReformat = false;
        UpdateAfterChange(true);
    }
}

void TRtRTFText::SaveUndo(TParagraph* Par, int32_t Kind, TRtUndoLevel Level)
{
    if (NoUndo)
        return;
    TRtUndoStack* stack = GetUndoStack();
    if (stack->IsDisabledFor(OwnerComponent))
        return;
    if (EditOptions.Has(rtStreamUndoOperation)) {
        if (Kind != ukLines && Kind != ukIndents && Kind != ukAlign && Kind != ukPage)
            Kind = ukSnapshot;
    } else if (Kind == ukSnapshot) {
        return;
    }
    if (Kind <= 0 || Kind > ukAttr || !Par || UndoSuspended > 0 || !EditOptions.Has(rtActivateUndo))
        return;
    const int32_t index = CountParsTo(FirstPar, Par) - 1;
    const uint32_t hf = EditedHeaderFooterId();
    if (auto* last = dynamic_cast<TRtStoreUndoObject*>(stack->GetLastObject(false));
        last && !UndoApplying && last->Source == UndoSourceOf(this) && last->HeaderFooterId == hf) {
        const bool snapshotWindow = last->UndoKind == ukSnapshot && !stack->NewStepRequested()
            && RtPlatform().TickCount() - last->Created <= SnapshotMergeMs;
        const bool samePar =
            last->UndoKind == Kind && last->ParIndex == index && Kind != ukInserted && Kind != ukDeleted;
        if (snapshotWindow || samePar)
            return;
    }
    auto obj = std::make_unique<TRtStoreUndoObject>(this);
    obj->HeaderFooterId = hf;
    obj->UndoKind = uint8_t(Kind);
    obj->Level = uint8_t(Level);
    obj->ParIndex = index;
    if (!NoUndoCursor && CursorPar) {
        obj->CursorParIndex = (CountParsTo(FirstPar, CursorPar) - 1);
        obj->CursorOffset = OffsetInPar(CursorPar, CursorLine, CursorPos);
    }
    obj->SaveSelection();
    obj->SaveParData(Par);
    stack->AddUndoObject(stack->Undoing(), std::move(obj));
}

void TRtRTFText::AddObjectUndo(TRtObjectBase* Obj, int32_t Kind, TRtUndoLevel Level)
{
    if (NoUndo || !Obj || Kind < ukObjectSize || Kind > ukObjectData || UndoSuspended > 0
        || !EditOptions.Has(rtActivateUndo))
        return;
    TRtUndoStack* stack = GetUndoStack();
    if (stack->IsDisabledFor(OwnerComponent))
        return;
    auto obj = std::make_unique<TRtStoreUndoObject>(this);
    obj->HeaderFooterId = EditedHeaderFooterId();
    obj->UndoKind = uint8_t(Kind);
    obj->Level = uint8_t(Level);
    obj->Object = Obj;
    if (!NoUndoCursor && CursorPar) {
        obj->CursorParIndex = (CountParsTo(FirstPar, CursorPar) - 1);
        obj->CursorOffset = OffsetInPar(CursorPar, CursorLine, CursorPos);
    }
    obj->SaveSelection();
    obj->SaveObjectData(ObjRefList()->FindObject(Obj));
    stack->AddUndoObject(stack->Undoing(), std::move(obj));
}

namespace {

// One step back (or forward) on Text's undo stack, then the finishing steps.
bool StepUndoStack(TRtRTFText& Text, bool Forward)
{
    TRtUndoStack* stack = Text.GetUndoStack();
    if (stack->IsDisabledFor(Text.OwnerComponent))
        return false;
    const bool more = Forward ? stack->Redo() : stack->Undo();
    Text.UndoFinish();
    return more;
}

} // namespace

bool TRtRTFText::Undo()
{
    return StepUndoStack(*this, false);
}

bool TRtRTFText::Redo()
{
    return StepUndoStack(*this, true);
}

void TRtRTFText::NewUndoLevel()
{
    if (EditOptions.Has(rtActivateUndo) && !GetUndoStack()->IsDisabledFor(OwnerComponent))
        GetUndoStack()->NewStep();
}

void TRtRTFText::ForceNewUndoLevel()
{
    if (EditOptions.Has(rtActivateUndo) && !GetUndoStack()->IsDisabledFor(OwnerComponent))
        GetUndoStack()->ForceNewStep();
}

void TRtRTFText::BeginUndoGroup()
{
    if (EditOptions.Has(rtActivateUndo) && !GetUndoStack()->IsDisabledFor(OwnerComponent))
        GetUndoStack()->BeginGroup();
}

bool TRtRTFText::EndUndoGroup()
{
    if (EditOptions.Has(rtActivateUndo) && !GetUndoStack()->IsDisabledFor(OwnerComponent))
        return GetUndoStack()->EndGroup();
    return false;
}
